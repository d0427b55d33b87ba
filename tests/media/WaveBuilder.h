// Builds wave images byte by byte for tests, with every header field open to damage.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

struct TWaveBuilder {
  uint16_t FormatTag = 1;
  uint16_t Channels = 1;
  uint32_t Rate = 8000;
  uint16_t Bits = 16;
  int BlockAlignDelta = 0;
  int ByteRateDelta = 0;
  std::vector<uint8_t> Samples;

  // Fills Samples with Frames frames of a sine at Hz, full scale times Level.
  TWaveBuilder& Tone(uint32_t Frames, double Hz, double Level = 0.5) {
    Samples.clear();
    for (uint32_t i = 0; i < Frames; ++i) {
      const double v = Level * std::sin(2 * M_PI * Hz * i / Rate);
      for (int c = 0; c < Channels; ++c) {
        if (Bits == 8) {
          Samples.push_back(static_cast<uint8_t>(std::lround(128 + 127 * v)));
        } else {
          const auto s = static_cast<int16_t>(std::lround(32767 * v));
          Samples.push_back(static_cast<uint8_t>(s & 0xFF));
          Samples.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
      }
    }
    return *this;
  }

  static void Put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
  }
  static void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
  }
  static void Tag(std::vector<uint8_t>& b, const char* t) {
    for (int i = 0; i < 4; ++i)
      b.push_back(static_cast<uint8_t>(t[i]));
  }

  std::vector<uint8_t> FormatChunk() const {
    std::vector<uint8_t> b;
    Tag(b, "fmt ");
    Put32(b, 16);
    Put16(b, FormatTag);
    Put16(b, Channels);
    Put32(b, Rate);
    const uint32_t align = Channels * (Bits / 8) + BlockAlignDelta;
    Put32(b, Channels * (Bits / 8) * Rate + ByteRateDelta);
    Put16(b, align);
    Put16(b, Bits);
    return b;
  }

  std::vector<uint8_t> DataChunk() const {
    std::vector<uint8_t> b;
    Tag(b, "data");
    Put32(b, static_cast<uint32_t>(Samples.size()));
    b.insert(b.end(), Samples.begin(), Samples.end());
    if (Samples.size() & 1) b.push_back(0);
    return b;
  }

  // RIFF header around the given chunks.
  static std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& Chunks) {
    std::vector<uint8_t> body;
    Tag(body, "WAVE");
    for (const auto& c : Chunks)
      body.insert(body.end(), c.begin(), c.end());
    std::vector<uint8_t> b;
    Tag(b, "RIFF");
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
  }

  std::vector<uint8_t> Build() const { return Riff({FormatChunk(), DataChunk()}); }

  static void Write(const std::string& Path, const std::vector<uint8_t>& Bytes) {
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()), static_cast<std::streamsize>(Bytes.size()));
  }
};

inline std::string MediaFixture(const std::string& Name) {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/media/data/" + Name;
}
