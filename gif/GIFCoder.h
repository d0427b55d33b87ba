// LZW coding of GIF image data: the decoder, the two encoders (true LZW and a run encoder that writes a
// valid LZW code stream of literals and run codes), the sub-block output stream and the encoder choice.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFCore.h"

// Receives the decoder's and encoders' warnings.
using TGIFWarningProc = std::function<void(const std::string& Message)>;

// Reads the minimum code size and the data sub-blocks of one frame from Stream into Pixels (Width x Height
// bytes, already holding the fill value). Rows come in interlace order when Interlaced. Damaged data ends
// the decoding early with a warning; the stream is left after the frame's block terminator.
void DecompressPixels(TStream* Stream, uint8_t* Pixels, int Width, int Height, bool Interlaced,
                      const TGIFWarningProc& Warning);

// Allocates the frame's pixels, fills them with the transparent index (or 0) and decodes its data.
void DecompressImage(TGIFSubImage* SubImage, TStream* Stream);
// Writes the frame's minimum code size, data sub-blocks and terminator with the image's encoder.
void CompressImage(TGIFSubImage* SubImage, TStream* Stream);

// The encoder's dictionary: an open-addressing table of 8009 entries, each holding key << 12 | code.
class THashTable final : public TObject {
 public:
  static constexpr int HashSize = 8009;
  THashTable() { Reset(); }
  void Reset();
  void Insert(uint32_t Key, int Code);
  // The code stored for Key, or -1. Inline: the encoder asks once per pixel.
  [[nodiscard]] int Lookup(uint32_t Key) const {
    const uint32_t wanted = Key << 12;
    int slot = HomeSlot(Key);
    for (int probe = 0;; ++probe) {
      const uint32_t entry = FTable[static_cast<size_t>(slot)];
      if ((entry >> 12) == 0xFFFFF) return -1;
      if ((entry & 0xFFFFF000u) == wanted) return static_cast<int>(entry & 0xFFF);
      slot = NextSlot(slot, probe);
    }
  }

 private:
  static int HomeSlot(uint32_t Key) { return static_cast<int>(((Key * 2654435761u) >> 12) % HashSize); }
  // A few probes of a scattering sequence, then a linear walk down: every probe sequence ends, since the
  // table never holds more than 4096 of its 8009 entries.
  static int NextSlot(int Slot, int Probe) {
    int next = Probe < 4 ? (Slot == 0 ? -1 : Slot - (HashSize - Slot)) : Slot - 1;
    if (next < 0) next += HashSize;
    return next;
  }
  std::vector<uint32_t> FTable = std::vector<uint32_t>(HashSize);

 public:
  [[nodiscard]] static int HomeSlotOf(uint32_t Key) { return HomeSlot(Key); }
};

// A stream that only stands in for the GIF data sub-block writers: it neither reads, writes nor seeks.
class TGIFStream : public TStream {
 public:
  explicit TGIFStream(TStream* Stream) : FStream(Stream) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

 protected:
  TStream* FStream;
  uint8_t FBuffer[256] = {};
  // Bytes held in FBuffer including its count byte; 1 when no data is held.
  int FBufferCount = 1;
};

// Cuts what is written to it into data sub-blocks of up to 255 bytes on the underlying stream. It never
// writes the zero terminator, and never an empty block.
class TGIFWriter final : public TGIFStream {
 public:
  explicit TGIFWriter(TStream* Stream) : TGIFStream(Stream) {}
  ~TGIFWriter() override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  // The same as a one-byte Write, without the call through the stream interface.
  void WriteByte(uint8_t Value) {
    FNeedsFlush = true;
    FBuffer[FBufferCount++] = Value;
    if (FBufferCount == 256) Flush();
  }
  void Flush();

 private:
  bool FNeedsFlush = false;
};

// Common driver of both encoders: bit packing, pixel walk (with interlace order) and sub-block output.
class TGIFEncoder : public TObject {
 public:
  // Writes the minimum code size, the data sub-blocks and the terminator for Width x Height pixels.
  void Compress(TStream* Stream, int BitsPerPixel, int Width, int Height, bool Interlaced,
                const uint8_t* Pixels, int ColorCount);

 protected:
  virtual void EmitCode(int Code);
  virtual void EmitClear();
  virtual void EncodeImage() = 0;
  // The next pixel in encoding order, or -1 after the last. Raises "Color not in color table".
  [[nodiscard]] int NextPixel() {
    if (FPixelsLeft <= 0) return NextRow();
    --FPixelsLeft;
    const int value = *FPixel++;
    if (value >= FColorCount) RaiseGIFError("Color not in color table");
    return value;
  }

  int FColorCount = 0;
  int FBitsPerPixel = 0;
  TStream* FStream = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FPixels = nullptr;
  TGIFWriter* FWriter = nullptr;
  uint32_t FAccumulator = 0;
  int FBits = 0;
  bool FClearFlag = false;
  int FCodeWidth = 0;
  int FInitialWidth = 0;
  int FMaxCode = 0;
  int FClearCode = 0;
  int FEOICode = 0;
  int FBaseCode = 0;

 private:
  // Moves to the next row in interlace order; -1 when the picture is done.
  [[nodiscard]] int NextRow();
  const uint8_t* FPixel = nullptr;
  int64_t FPixelsLeft = 0;
  int FRow = 0;
  int FPass = 0;
};

// A true LZW compressor.
class TLZWEncoder final : public TGIFEncoder {
 protected:
  void EmitCode(int Code) override;
  void EmitClear() override;
  void EncodeImage() override;

 private:
  int FPrefix = 0;
  int FFreeEntry = 0;
  std::unique_ptr<THashTable> FHashTable;
};

// Writes a valid LZW code stream made of literals and run codes only: after a clear and a literal p, the
// codes base, base + 1, ... stand for runs of 2, 3, ... copies of p.
class TRLEEncoder final : public TGIFEncoder {
 protected:
  void EmitClear() override;
  void EncodeImage() override;

 private:
  void EmitRunCode(int Code);
  void LiftClearCount();
  void RestoreClearCount();
  [[nodiscard]] int64_t RunCodeCost(int64_t Count, int64_t MaxCodes) const;
  void EmitRunAfterClear(int64_t Count);
  void EmitRunByRepeatOrClear(int64_t Count);
  void EmitRunWithTable(int64_t Count);
  void EmitRun(int64_t Count);

  int FMaxCodes = 0;
  int FInitialBump = 0;
  int FInitialClear = 0;
  int FCurrentPixel = -1;
  int FRunTableMax = 0;
  int FRunTablePixel = 0;
  int FCodesSinceClear = 0;
  int FClearCount = 0;
  int FBumpCount = 0;
};

// Integer square root (the largest r with r * r <= x).
[[nodiscard]] int64_t IntegerSquareRoot(int64_t X);
