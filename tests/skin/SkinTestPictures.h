// Pictures and folders for the skin tests: 24-bit BMP files written byte by byte, and a scratch folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace skintest {

// Writes a bottom-up 24-bit BMP whose pixel (x, y) is Color(x, y) as 0x00RRGGBB.
inline void WriteBmp24(const std::string& Path, int W, int H,
                       const std::function<uint32_t(int, int)>& Color) {
  const int stride = (W * 3 + 3) & ~3;
  const uint32_t dataSize = static_cast<uint32_t>(stride * H);
  std::vector<uint8_t> b;
  auto put16 = [&](uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto put32 = [&](uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  put16(0x4D42);
  put32(54 + dataSize);
  put32(0);
  put32(54);
  put32(40);
  put32(static_cast<uint32_t>(W));
  put32(static_cast<uint32_t>(H));
  put16(1);
  put16(24);
  put32(0);
  put32(dataSize);
  put32(2835);
  put32(2835);
  put32(0);
  put32(0);
  for (int y = H - 1; y >= 0; --y) {
    int written = 0;
    for (int x = 0; x < W; ++x) {
      const uint32_t c = Color(x, y);
      b.push_back(static_cast<uint8_t>(c));
      b.push_back(static_cast<uint8_t>(c >> 8));
      b.push_back(static_cast<uint8_t>(c >> 16));
      written += 3;
    }
    for (; written < stride; ++written)
      b.push_back(0);
  }
  std::ofstream out(Path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A fresh folder below the system's temporary folder, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    Path = (std::filesystem::temp_directory_path() / ("pelloran-skin-" + std::to_string(rd()))).string();
    std::filesystem::create_directories(Path);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  [[nodiscard]] std::string File(const std::string& Name) const { return Path + "/" + Name; }
  std::string Path;
};

}  // namespace skintest
