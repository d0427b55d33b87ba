#include "platform/media/WaveFile.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/rtl/Streams.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The sub-format GUID of PCM in an extensible format block: 00000001-0000-0010-8000-00AA00389B71.
constexpr uint8_t kPcmSubFormat[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                       0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
bool Is(const uint8_t* p, const char* fourcc) {
  return std::memcmp(p, fourcc, 4) == 0;
}

[[noreturn]] void Refuse(const std::string& why) {
  throw EInvalidWave("Invalid wave data: " + why);
}

struct TFormat {
  uint16_t Channels = 0;
  uint32_t SamplesPerSec = 0;
  uint16_t BitsPerSample = 0;
};

TFormat ReadFormat(const uint8_t* p, uint32_t size) {
  if (size < 16) Refuse("format chunk too short");
  uint16_t tag = Get16(p);
  TFormat f;
  f.Channels = Get16(p + 2);
  f.SamplesPerSec = Get32(p + 4);
  const uint32_t bytesPerSec = Get32(p + 8);
  const uint16_t blockAlign = Get16(p + 12);
  f.BitsPerSample = Get16(p + 14);
  if (tag == kFormatExtensible) {
    // cbSize (2), valid bits (2), channel mask (4), sub-format GUID (16).
    if (size < 40 || Get16(p + 16) < 22) Refuse("extensible format chunk too short");
    if (std::memcmp(p + 24, kPcmSubFormat, 16) != 0) Refuse("not PCM");
    if (Get16(p + 18) != f.BitsPerSample) Refuse("valid bits differ from the sample size");
    tag = kFormatPcm;
  }
  if (tag != kFormatPcm) Refuse("not PCM");
  if (f.Channels != 1 && f.Channels != 2) Refuse("unsupported channel count");
  if (f.BitsPerSample != 8 && f.BitsPerSample != 16) Refuse("unsupported sample size");
  if (f.SamplesPerSec == 0 || f.SamplesPerSec > 768000) Refuse("unsupported sample rate");
  const uint32_t align = f.Channels * (f.BitsPerSample / 8u);
  if (blockAlign != align) Refuse("block alignment does not match the format");
  if (bytesPerSec != uint64_t{align} * f.SamplesPerSec) Refuse("byte rate does not match the format");
  return f;
}

}  // namespace

std::chrono::milliseconds TWaveSound::Duration() const {
  if (SamplesPerSec == 0) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds((FrameCount() * 1000 + SamplesPerSec - 1) / SamplesPerSec);
}

size_t WaveImageSize(const void* Image) {
  const auto* p = static_cast<const uint8_t*>(Image);
  if (!p || !Is(p, "RIFF") || !Is(p + 8, "WAVE")) return 0;
  return size_t{Get32(p + 4)} + 8;
}

namespace {

// Reads Len bytes at Pos of the image into Dst; the caller keeps Pos + Len within the image.
using TReadAt = std::function<void(uint64_t Pos, void* Dst, uint64_t Len)>;

// Walks the chunks of an image of Size bytes, reading only chunk headers, the format and the samples,
// so that a file is never held whole beside its samples.
TWaveSound ParseWave(uint64_t Size, const TReadAt& ReadAt) {
  uint8_t header[12];
  if (Size < 12) Refuse("not a RIFF/WAVE image");
  ReadAt(0, header, 12);
  if (!Is(header, "RIFF") || !Is(header + 8, "WAVE")) Refuse("not a RIFF/WAVE image");
  // The RIFF size bounds the chunks; bytes after it (padding some writers add) are ignored.
  const uint64_t end = std::min<uint64_t>(Size, uint64_t{Get32(header + 4)} + 8);
  uint64_t pos = 12;
  bool haveFormat = false;
  TFormat format;
  while (pos + 8 <= end) {
    uint8_t chunk[8];
    ReadAt(pos, chunk, 8);
    const uint64_t size = Get32(chunk + 4);
    const uint64_t body = pos + 8;
    if (Is(chunk, "fmt ")) {
      if (haveFormat) Refuse("second format chunk");
      if (body + size > end) Refuse("format chunk is truncated");
      // Only the first 40 bytes of a format chunk are ever looked at.
      uint8_t fields[40] = {};
      ReadAt(body, fields, std::min<uint64_t>(size, sizeof fields));
      format = ReadFormat(fields, static_cast<uint32_t>(size));
      haveFormat = true;
    } else if (Is(chunk, "data")) {
      if (!haveFormat) Refuse("data before format");
      if (body + size > end) Refuse("sample data is truncated");
      TWaveSound sound;
      sound.Channels = format.Channels;
      sound.SamplesPerSec = format.SamplesPerSec;
      sound.BitsPerSample = format.BitsPerSample;
      sound.Data.resize(size - size % sound.BlockAlign());
      ReadAt(body, sound.Data.data(), sound.Data.size());
      return sound;
    }
    pos = body + size + (size & 1);  // chunks are padded to even sizes
  }
  Refuse(haveFormat ? "no data chunk" : "no format chunk");
}

}  // namespace

TWaveSound ReadWave(const void* Image, size_t Size) {
  const auto* p = static_cast<const uint8_t*>(Image);
  if (!p) Refuse("not a RIFF/WAVE image");
  return ParseWave(Size, [p](uint64_t Pos, void* Dst, uint64_t Len) {
    if (Len) std::memcpy(Dst, p + Pos, Len);
  });
}

TWaveSound LoadWaveFile(const std::string& FileName) {
  // A regular file only, opened without waiting: a FIFO or device is refused like a missing file.
  TFileStream in(FileName, fmOpenRead);
  const int64_t size = in.Size();
  const auto unreadable = [&FileName] {
    return EFOpenError("Datei " + FileName + " kann nicht geöffnet werden");
  };
  if (size < 0) throw unreadable();
  if (static_cast<uint64_t>(size) > MaxWaveFileSize) Refuse("file too large");
  return ParseWave(static_cast<uint64_t>(size), [&](uint64_t Pos, void* Dst, uint64_t Len) {
    in.SetPosition(static_cast<int64_t>(Pos));
    if (in.Read(Dst, static_cast<int64_t>(Len)) != static_cast<int64_t>(Len)) throw unreadable();
  });
}
