#pragma once
// Small readers that check the generated files from the outside: a 24-bit BMP reader and a PCM wave
// reader that validate every header field they rely on.

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline uint32_t U16(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8);
}
inline uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (U16(b, at + 2) << 16);
}

struct Bmp24 {
  bool valid = false;
  std::string problem;
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0xRRGGBB, top row first

  [[nodiscard]] uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Bmp24 ReadBmp24(const std::string& path) {
  Bmp24 bmp;
  const std::vector<uint8_t> b = ReadAll(path);
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return bmp.problem = "not a bitmap file", bmp;
  if (U32(b, 2) != b.size()) return bmp.problem = "file size field", bmp;
  if (U32(b, 14) != 40 || U16(b, 26) != 1 || U16(b, 28) != 24 || U32(b, 30) != 0)
    return bmp.problem = "not an uncompressed 24-bit bitmap", bmp;
  const int32_t w = static_cast<int32_t>(U32(b, 18));
  const int32_t h = static_cast<int32_t>(U32(b, 22));
  if (w <= 0 || h <= 0) return bmp.problem = "size", bmp;
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
  const size_t offset = U32(b, 10);
  if (offset + stride * static_cast<size_t>(h) != b.size()) return bmp.problem = "pixel data size", bmp;
  bmp.width = w;
  bmp.height = h;
  bmp.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int y = 0; y < h; ++y) {
    const size_t row = offset + stride * static_cast<size_t>(h - 1 - y);  // bottom-up rows
    for (int x = 0; x < w; ++x) {
      const size_t p = row + static_cast<size_t>(x) * 3;
      bmp.pixels[static_cast<size_t>(y) * w + x] = (b[p + 2] << 16) | (b[p + 1] << 8) | b[p];
    }
  }
  bmp.valid = true;
  return bmp;
}

struct Wave {
  bool valid = false;
  std::string problem;
  uint32_t rate = 0;
  uint16_t channels = 0, bits = 0;
  std::vector<int16_t> samples;
};

inline Wave ReadWave(const std::string& path) {
  Wave w;
  const std::vector<uint8_t> b = ReadAll(path);
  if (b.size() < 44 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    return w.problem = "not a RIFF/WAVE file", w;
  if (U32(b, 4) + 8 != b.size()) return w.problem = "RIFF size", w;
  size_t at = 12;
  bool haveFormat = false;
  while (at + 8 <= b.size()) {
    const std::string id(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 4);
    const uint32_t size = U32(b, at + 4);
    if (at + 8 + size > b.size()) return w.problem = "chunk " + id + " runs past the end", w;
    if (id == "fmt ") {
      if (U16(b, at + 8) != 1) return w.problem = "not PCM", w;
      w.channels = static_cast<uint16_t>(U16(b, at + 10));
      w.rate = U32(b, at + 12);
      w.bits = static_cast<uint16_t>(U16(b, at + 22));
      if (U32(b, at + 16) != w.rate * w.channels * w.bits / 8) return w.problem = "byte rate", w;
      haveFormat = true;
    } else if (id == "data" && haveFormat && w.bits == 16) {
      for (size_t i = 0; i + 1 < size; i += 2)
        w.samples.push_back(static_cast<int16_t>(U16(b, at + 8 + i)));
    }
    at += 8 + size + (size & 1);
  }
  w.valid = haveFormat && !w.samples.empty();
  if (!w.valid) w.problem = "no format or no samples";
  return w;
}
