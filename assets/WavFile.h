#pragma once
// Writes sounds as RIFF/WAVE files with 16-bit signed PCM samples, one channel.

#include <cstdint>
#include <string>
#include <vector>

// The bytes of a mono 16-bit PCM wave file; samples in -1..1 are clipped and scaled to 16 bits.
[[nodiscard]] std::vector<uint8_t> EncodeWav16(const std::vector<float>& samples, uint32_t sampleRate);

// Writes EncodeWav16 to the file; throws std::runtime_error when the file cannot be written.
void WriteWav16(const std::string& fileName, const std::vector<float>& samples, uint32_t sampleRate);
