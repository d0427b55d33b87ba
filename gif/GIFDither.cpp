#include "gif/GIFDither.h"

#include <algorithm>
#include <cstdlib>

namespace {

uint8_t Clamp255(int Value) {
  return static_cast<uint8_t>(std::clamp(Value, 0, 255));
}

constexpr TKernelTap FloydSteinbergKernel[] = {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}};
constexpr TKernelTap StuckiKernel[] = {{0, 1, 8}, {0, 2, 4},  {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4},
                                       {1, 2, 2}, {2, -2, 1}, {2, -1, 2}, {2, 0, 4},  {2, 1, 2}, {2, 2, 1}};
constexpr TKernelTap SierraKernel[] = {{0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5},
                                       {1, 1, 4}, {1, 2, 2}, {2, -1, 2}, {2, 0, 3},  {2, 1, 2}};
constexpr TKernelTap JaJuNiKernel[] = {{0, 1, 7}, {0, 2, 5},  {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5},
                                       {1, 2, 3}, {2, -2, 1}, {2, -1, 3}, {2, 0, 5},  {2, 1, 3}, {2, 2, 1}};
constexpr TKernelTap SteveArcheKernel[] = {{0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30},
                                           {1, 3, 16}, {2, -2, 12}, {2, 0, 26},  {2, 2, 12},
                                           {3, -3, 5}, {3, -1, 12}, {3, 1, 12},  {3, 3, 5}};
constexpr TKernelTap BurkesKernel[] = {{0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4},
                                       {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};

}  // namespace

// ---- Lookups -----------------------------------------------------------------------------------------

TFastColorLookup::TFastColorLookup(HPALETTE Palette) : FCache(32768, -1) {
  FColorCount = Palette ? static_cast<int>(GetPaletteEntries(Palette, 0, 256, FEntries.data())) : 0;
  for (int i = FColorCount - 1; i >= 0; --i) {  // backwards, so the lowest index wins a shared cell
    const PALETTEENTRY& e = FEntries[static_cast<size_t>(i)];
    FCache[static_cast<size_t>(Cell(e.peRed, e.peGreen, e.peBlue))] = static_cast<int16_t>(i);
  }
}

uint8_t TFastColorLookup::MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                     uint8_t& B) {
  int16_t& cell = FCache[static_cast<size_t>(Cell(Red, Green, Blue))];
  if (cell < 0) {
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < FColorCount; ++i) {
      const PALETTEENTRY& e = FEntries[static_cast<size_t>(i)];
      const int distance = std::abs(e.peRed - Red) + std::abs(e.peGreen - Green) + std::abs(e.peBlue - Blue);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    cell = static_cast<int16_t>(best);
  }
  const PALETTEENTRY& e = FEntries[static_cast<size_t>(cell)];
  R = e.peRed;
  G = e.peGreen;
  B = e.peBlue;
  return static_cast<uint8_t>(cell);
}

uint8_t TNetscapeColorLookup::MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                         uint8_t& B) {
  const int r = (Red + 3) / 51;
  const int g = (Green + 3) / 51;
  const int b = (Blue + 3) / 51;
  R = static_cast<uint8_t>(r * 51);
  G = static_cast<uint8_t>(g * 51);
  B = static_cast<uint8_t>(b * 51);
  return static_cast<uint8_t>(36 * r + 6 * g + b);
}

uint8_t TGrayScaleLookup::MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                     uint8_t& B) {
  const auto y = static_cast<uint8_t>((77 * Red + 150 * Green + 29 * Blue) >> 8);
  R = G = B = y;
  return y;
}

uint8_t TMonochromeLookup::MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                      uint8_t& B) {
  const bool white = 77 * Red + 150 * Green + 29 * Blue > 32512;
  R = G = B = white ? 255 : 0;
  return white ? 1 : 0;
}

// ---- Plain engine ------------------------------------------------------------------------------------

TDitherEngine::TDitherEngine(int ARowWidth, TColorLookup* AColorLookup)
    : FColorLookup(AColorLookup), FRowWidth(ARowWidth) {}

uint8_t TDitherEngine::MatchAndStep(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                    uint8_t& B) {
  const uint8_t index = FColorLookup->MatchColor(Red, Green, Blue, R, G, B);
  FCurrentColumn += FStep;
  return index;
}

uint8_t TDitherEngine::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                   uint8_t& B) {
  return MatchAndStep(Red, Green, Blue, R, G, B);
}

void TDitherEngine::StartNextRow() {
  FStep = -FStep;
  FCurrentColumn = FStep > 0 ? 0 : FRowWidth - 1;
}

// ---- Floyd-Steinberg ---------------------------------------------------------------------------------

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int ARowWidth, TColorLookup* AColorLookup)
    : TDitherEngine(ARowWidth, AColorLookup) {
  for (int c = 0; c < 3; ++c) {
    FThisRow[static_cast<size_t>(c)].assign(static_cast<size_t>(ARowWidth + 2), 0);
    FNextRow[static_cast<size_t>(c)].assign(static_cast<size_t>(ARowWidth + 2), 0);
  }
}

std::span<const TKernelTap> TFloydSteinbergDitherer::Kernel() {
  return FloydSteinbergKernel;
}

uint8_t TFloydSteinbergDitherer::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                             uint8_t& B) {
  const int x = FCurrentColumn;
  const int s = FStep;
  const std::array<int, 3> input{Red, Green, Blue};
  std::array<uint8_t, 3> corrected{};
  for (size_t c = 0; c < 3; ++c) {
    const int accumulated = FThisRow[c][static_cast<size_t>(x + 1)] + 7 * FCarry[c];
    corrected[c] = Clamp255(input[c] + (accumulated + 8) / Divisor);
  }
  const uint8_t index = MatchAndStep(corrected[0], corrected[1], corrected[2], R, G, B);
  const std::array<int, 3> chosen{R, G, B};
  for (size_t c = 0; c < 3; ++c) {
    const int e = corrected[c] - chosen[c];
    FCarry[c] = e;
    // Columns -1 and RowWidth are the margins: written, never read.
    FNextRow[c][static_cast<size_t>(x - s + 1)] += 3 * e;
    FNextRow[c][static_cast<size_t>(x + 1)] += 5 * e;
    FNextRow[c][static_cast<size_t>(x + s + 1)] += e;
  }
  return index;
}

void TFloydSteinbergDitherer::StepColumn() {
  FCarry.fill(0);
  TDitherEngine::StepColumn();
}

void TFloydSteinbergDitherer::StartNextRow() {
  for (size_t c = 0; c < 3; ++c) {
    std::swap(FThisRow[c], FNextRow[c]);
    std::fill(FNextRow[c].begin(), FNextRow[c].end(), 0);
  }
  FCarry.fill(0);
  TDitherEngine::StartNextRow();
}

// ---- Engines with several error rows -----------------------------------------------------------------

TRowErrorDitherer::TRowErrorDitherer(int ARowWidth, TColorLookup* AColorLookup, int ARows, int AMargin,
                                     int ADivisor)
    : TDitherEngine(ARowWidth, AColorLookup), FDivisor(ADivisor), FMargin(AMargin) {
  FErrors.resize(static_cast<size_t>(ARows));
  for (auto& row : FErrors)
    for (auto& channel : row)
      channel.assign(static_cast<size_t>(ARowWidth + 2 * AMargin), 0);
}

uint8_t TRowErrorDitherer::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                       uint8_t& B) {
  const int x = FCurrentColumn;
  const int bias = FDivisor / 2;
  const std::array<int, 3> input{Red, Green, Blue};
  std::array<uint8_t, 3> corrected{};
  for (size_t c = 0; c < 3; ++c) {
    const int accumulated = FErrors[0][c][static_cast<size_t>(x + FMargin)];
    corrected[c] = Clamp255(input[c] + (accumulated + bias) / FDivisor);
  }
  const uint8_t index = MatchAndStep(corrected[0], corrected[1], corrected[2], R, G, B);
  const std::array<int, 3> chosen{R, G, B};
  for (size_t c = 0; c < 3; ++c) {
    const int e = corrected[c] - chosen[c];
    if (e != 0) SpreadError(static_cast<int>(c), x, e);
  }
  return index;
}

void TRowErrorDitherer::SpreadByKernel(std::span<const TKernelTap> Kernel, int Channel, int Column,
                                       int Error) {
  for (const TKernelTap& tap : Kernel) {
    auto& row = FErrors[static_cast<size_t>(tap.Row)][static_cast<size_t>(Channel)];
    row[static_cast<size_t>(Column + tap.Offset * FStep + FMargin)] += Error * tap.Weight;
  }
}

void TRowErrorDitherer::StartNextRow() {
  // The current row's arrays are cleared and become the farthest row.
  for (auto& channel : FErrors.front())
    std::fill(channel.begin(), channel.end(), 0);
  std::rotate(FErrors.begin(), FErrors.begin() + 1, FErrors.end());
  TDitherEngine::StartNextRow();
}

std::span<const TKernelTap> TStuckiDitherer::Kernel() {
  return StuckiKernel;
}
std::span<const TKernelTap> TSierraDitherer::Kernel() {
  return SierraKernel;
}
std::span<const TKernelTap> TJaJuNiDitherer::Kernel() {
  return JaJuNiKernel;
}
std::span<const TKernelTap> TSteveArcheDitherer::Kernel() {
  return SteveArcheKernel;
}
std::span<const TKernelTap> TBurkesDitherer::Kernel() {
  return BurkesKernel;
}
