// Reading of RIFF/WAVE sound images: uncompressed PCM, 8 or 16 bits, mono or stereo, any rate.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

// Raised for an image that is not a playable wave: not RIFF/WAVE, odd or contradictory format fields,
// a chunk that runs past the end of the image, or a format other than PCM.
PELLORAN_EXCEPTION(EInvalidWave, Exception)

// A decoded sound: the format and the sample bytes exactly as they lie in the file's data chunk
// (8-bit samples unsigned, 16-bit samples signed little-endian, channels interleaved).
struct TWaveSound {
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint16_t BitsPerSample = 0;
  std::vector<uint8_t> Data;

  [[nodiscard]] uint32_t BlockAlign() const { return Channels * (BitsPerSample / 8u); }
  [[nodiscard]] uint64_t FrameCount() const { return BlockAlign() ? Data.size() / BlockAlign() : 0; }
  // Playing time, rounded up to whole milliseconds.
  [[nodiscard]] std::chrono::milliseconds Duration() const;
};

// Decodes a complete wave image of Size bytes. Chunks other than "fmt " and "data" are skipped; a
// trailing partial sample frame is dropped. Raises EInvalidWave for anything else it cannot play.
[[nodiscard]] TWaveSound ReadWave(const void* Image, size_t Size);

// The extent of a wave image in memory as its RIFF header gives it (header included), or 0 when the
// first twelve bytes are not a RIFF/WAVE header.
[[nodiscard]] size_t WaveImageSize(const void* Image);

// The largest wave file LoadWaveFile reads; a larger one is refused unread.
inline constexpr uint64_t MaxWaveFileSize = uint64_t{1} << 30;

// Reads a wave file; raises EInvalidWave for bad content and EFOpenError when it cannot be read.
[[nodiscard]] TWaveSound LoadWaveFile(const std::string& FileName);
