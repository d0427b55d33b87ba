#include "assets/WavFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace {

void PutTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(tag[i]));
}

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeWav16(const std::vector<float>& samples, uint32_t sampleRate) {
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes + 1);
  PutTag(out, "RIFF");
  PutU32(out, 36 + dataBytes);
  PutTag(out, "WAVE");
  PutTag(out, "fmt ");
  PutU32(out, 16);
  PutU16(out, 1);               // PCM
  PutU16(out, 1);               // mono
  PutU32(out, sampleRate);      // frames per second
  PutU32(out, sampleRate * 2);  // bytes per second
  PutU16(out, 2);               // block alignment
  PutU16(out, 16);              // bits per sample
  PutTag(out, "data");
  PutU32(out, dataBytes);
  for (const float s : samples) {
    const float clipped = std::clamp(s, -1.0f, 1.0f);
    const auto v = static_cast<int16_t>(std::lround(clipped * 32767.0f));
    PutU16(out, static_cast<uint16_t>(v));
  }
  return out;
}

void WriteWav16(const std::string& fileName, const std::vector<float>& samples, uint32_t sampleRate) {
  const std::vector<uint8_t> bytes = EncodeWav16(samples, sampleRate);
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}
