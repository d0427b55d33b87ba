// Colour lookups (which palette index stands for an RGB value) and the dither engines that walk the
// rows of a picture in serpentine order, asking a lookup for each pixel and, in the error-diffusing
// engines, spreading the difference between wanted and chosen colour over the neighbours.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/gdi/Windows.h"
#include "platform/rtl/Objects.h"

class TColorLookup : public TObject {
 public:
  // The palette index for (Red, Green, Blue); R, G, B receive that index's colour.
  virtual uint8_t MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                             uint8_t& B) = 0;
  [[nodiscard]] int ColorCount() const { return FColorCount; }

 protected:
  int FColorCount = 0;
};

// Nearest colour of a palette (sum of absolute channel differences; the lowest index wins a tie),
// remembered per 15-bit cell: every colour of a cell gets the answer of the first one asked.
class TFastColorLookup final : public TColorLookup {
 public:
  explicit TFastColorLookup(HPALETTE Palette);
  uint8_t MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;

 private:
  [[nodiscard]] static int Cell(uint8_t Red, uint8_t Green, uint8_t Blue) {
    return ((Blue >> 3) << 10) | ((Green >> 3) << 5) | (Red >> 3);
  }
  std::array<PALETTEENTRY, 256> FEntries{};
  std::vector<int16_t> FCache;
};

// The 216-colour web palette: level (c + 3) div 51 per channel, index 36 r + 6 g + b.
class TNetscapeColorLookup final : public TColorLookup {
 public:
  TNetscapeColorLookup() { FColorCount = 216; }
  uint8_t MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};

// Grey level (77 R + 150 G + 29 B) shr 8.
class TGrayScaleLookup final : public TColorLookup {
 public:
  TGrayScaleLookup() { FColorCount = 256; }
  uint8_t MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};

// Black (0) or white (1) by the weighted brightness 77 R + 150 G + 29 B against 32512.
class TMonochromeLookup final : public TColorLookup {
 public:
  TMonochromeLookup() { FColorCount = 2; }
  uint8_t MatchColor(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
};

// One weight of an error-diffusion kernel: Row 0 is the current row, Offset counts pixels ahead in the
// direction the row runs.
struct TKernelTap {
  int Row;
  int Offset;
  int Weight;
};

// The plain engine: nearest colour, no diffusion. Rows alternate direction, the first left to right.
class TDitherEngine : public TObject {
 public:
  TDitherEngine(int ARowWidth, TColorLookup* AColorLookup);
  // The palette index for the pixel at CurrentColumn; moves CurrentColumn by Step.
  virtual uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B);
  uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue) {
    uint8_t r, g, b;
    return DitherPixel(Red, Green, Blue, r, g, b);
  }
  virtual void StartNextRow();
  // Passes over the pixel at CurrentColumn without reading or spreading any error.
  virtual void StepColumn() { FCurrentColumn += FStep; }
  [[nodiscard]] int Step() const { return FStep; }
  [[nodiscard]] int CurrentColumn() const { return FCurrentColumn; }
  [[nodiscard]] int RowWidth() const { return FRowWidth; }
  [[nodiscard]] TColorLookup* ColorLookup() const { return FColorLookup; }

 protected:
  // Matches the (already corrected) colour and steps on.
  uint8_t MatchAndStep(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B);

  int FStep = 1;
  int FCurrentColumn = 0;
  TColorLookup* FColorLookup;
  int FRowWidth;
};

class TFloydSteinbergDitherer final : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int ARowWidth, TColorLookup* AColorLookup);
  using TDitherEngine::DitherPixel;
  uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
  void StartNextRow() override;
  void StepColumn() override;
  static constexpr int Divisor = 16;
  [[nodiscard]] static std::span<const TKernelTap> Kernel();
  // The error carried to the next pixel of the row, per channel (0 at the start of every row).
  [[nodiscard]] int CarriedError(int Channel) const { return FCarry[Channel]; }

 private:
  std::array<std::vector<int>, 3> FThisRow;  // errors this row collected from the previous one
  std::array<std::vector<int>, 3> FNextRow;
  std::array<int, 3> FCarry{};
};

// Engines that keep several rows of errors, each array with a margin on both sides so that every kernel
// position of a pixel in the row lands inside it.
class TRowErrorDitherer : public TDitherEngine {
 public:
  TRowErrorDitherer(int ARowWidth, TColorLookup* AColorLookup, int ARows, int AMargin, int ADivisor);
  using TDitherEngine::DitherPixel;
  uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override;
  void StartNextRow() override;
  [[nodiscard]] int Divisor() const { return FDivisor; }

 protected:
  // Adds Error times each weight of the kernel around the pixel at Column (channel Channel).
  virtual void SpreadError(int Channel, int Column, int Error) = 0;
  void SpreadByKernel(std::span<const TKernelTap> Kernel, int Channel, int Column, int Error);

  int FDivisor;

 private:
  int FMargin;
  // FErrors[row][channel][margin + column]; row 0 is the current row.
  std::vector<std::array<std::vector<int>, 3>> FErrors;
};

class T5by3Ditherer : public TRowErrorDitherer {
 public:
  T5by3Ditherer(int ARowWidth, TColorLookup* AColorLookup, int ADivisor)
      : TRowErrorDitherer(ARowWidth, AColorLookup, 3, 2, ADivisor) {}
};

class TStuckiDitherer final : public T5by3Ditherer {
 public:
  TStuckiDitherer(int ARowWidth, TColorLookup* AColorLookup) : T5by3Ditherer(ARowWidth, AColorLookup, 42) {}
  [[nodiscard]] static std::span<const TKernelTap> Kernel();

 protected:
  void SpreadError(int Channel, int Column, int Error) override {
    SpreadByKernel(Kernel(), Channel, Column, Error);
  }
};

class TSierraDitherer final : public T5by3Ditherer {
 public:
  TSierraDitherer(int ARowWidth, TColorLookup* AColorLookup) : T5by3Ditherer(ARowWidth, AColorLookup, 32) {}
  [[nodiscard]] static std::span<const TKernelTap> Kernel();

 protected:
  void SpreadError(int Channel, int Column, int Error) override {
    SpreadByKernel(Kernel(), Channel, Column, Error);
  }
};

class TJaJuNiDitherer final : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int ARowWidth, TColorLookup* AColorLookup) : T5by3Ditherer(ARowWidth, AColorLookup, 48) {}
  [[nodiscard]] static std::span<const TKernelTap> Kernel();

 protected:
  void SpreadError(int Channel, int Column, int Error) override {
    SpreadByKernel(Kernel(), Channel, Column, Error);
  }
};

class TSteveArcheDitherer final : public TRowErrorDitherer {
 public:
  TSteveArcheDitherer(int ARowWidth, TColorLookup* AColorLookup)
      : TRowErrorDitherer(ARowWidth, AColorLookup, 4, 3, 200) {}
  [[nodiscard]] static std::span<const TKernelTap> Kernel();

 protected:
  void SpreadError(int Channel, int Column, int Error) override {
    SpreadByKernel(Kernel(), Channel, Column, Error);
  }
};

class TBurkesDitherer final : public TRowErrorDitherer {
 public:
  TBurkesDitherer(int ARowWidth, TColorLookup* AColorLookup)
      : TRowErrorDitherer(ARowWidth, AColorLookup, 2, 2, 32) {}
  [[nodiscard]] static std::span<const TKernelTap> Kernel();

 protected:
  void SpreadError(int Channel, int Column, int Error) override {
    SpreadByKernel(Kernel(), Channel, Column, Error);
  }
};
