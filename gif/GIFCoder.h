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

// The encoder's dictionary: an open-addressing table of 8192 entries (twice the 4096 possible codes), each
// holding key << 12 | code, where key = prefix code << 8 | pixel. Entries are grouped in buckets of four
// that a search compares at once: a key's home bucket comes from a multiplicative hash, and a full bucket
// passes the search on to the next one. Buckets fill from their first entry and nothing is ever removed,
// so a search may stop at the first empty entry. The table never holds more than 4096 keys, so every
// search ends. Keys are below 0xFFFFF (prefix codes stop at 4094).
class THashTable final : public TObject {
 public:
  static constexpr int HashSize = 8192;
  static constexpr int BucketSize = 4;
  THashTable() { Reset(); }
  void Reset();
  // Stores Key with Code in the first empty entry from Key's home bucket on.
  void Insert(uint32_t Key, int Code);
  // The code stored for Key, or -1.
  [[nodiscard]] int Lookup(uint32_t Key) const;

  // The code stored for Key, or else -1 and in Slot the empty slot where the search ended: the encoder
  // asks once per pixel, and after a miss stores the new code in that very slot. Defined beside the
  // encoder, inline.
  [[nodiscard]] int Find(uint32_t Key, uint32_t& Slot) const;
  // Stores Key with Code in Slot, the empty slot Find(Key) gave.
  void Store(uint32_t Slot, uint32_t Key, int Code) {
    FTable[Slot] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
  }

  // The first slot of Key's home bucket.
  [[nodiscard]] static uint32_t HomeSlotOf(uint32_t Key) { return HomeSlot(Key); }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static uint32_t HomeSlot(uint32_t Key) { return ((Key * 2654435761u) >> (32 - 11)) * BucketSize; }
  static uint32_t NextBucket(uint32_t Slot) { return (Slot + BucketSize) & (HashSize - 1); }
  alignas(16) uint32_t FTable[HashSize];
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
  // Four bytes, the low byte first.
  void WriteWord(uint32_t Value) {
    if (FBufferCount > 252) {
      for (int shift = 0; shift < 32; shift += 8)
        WriteByte(static_cast<uint8_t>(Value >> shift));
      return;
    }
    FNeedsFlush = true;
    uint8_t* out = FBuffer + FBufferCount;
    out[0] = static_cast<uint8_t>(Value);
    out[1] = static_cast<uint8_t>(Value >> 8);
    out[2] = static_cast<uint8_t>(Value >> 16);
    out[3] = static_cast<uint8_t>(Value >> 24);
    FBufferCount += 4;
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
  // Packs Code at the current width into the output, least significant bit first; the end code also
  // writes the last partial byte. What EmitCode does, inline for the encoders' loops. Whole bytes wait in
  // the accumulator until four of them can go to the writer at once.
  void PutCode(int Code) {
    FAccumulator = (FAccumulator & ((uint64_t{1} << FBits) - 1)) | (static_cast<uint64_t>(Code) << FBits);
    FBits += FCodeWidth;
    if (FBits >= 32) {
      FWriter->WriteWord(static_cast<uint32_t>(FAccumulator));
      FAccumulator >>= 32;
      FBits -= 32;
    }
    if (Code == FEOICode) FlushBits();
  }
  // The next pixel in encoding order, or -1 after the last. Raises "Color not in color table".
  [[nodiscard]] int NextPixel() {
    if (FPixelsLeft <= 0) return NextRow();
    --FPixelsLeft;
    const int value = *FPixel++;
    CheckColor(value);
    return value;
  }
  // The pixels from the walk's position to the end of its row (interlaced) or of the image, in encoding
  // order, as First up to Last; the walk moves past them. False after the last pixel. The caller checks
  // each pixel with CheckColor before it uses it.
  [[nodiscard]] bool NextPixels(const uint8_t*& First, const uint8_t*& Last) {
    if (FPixelsLeft <= 0 && !NextRowStart()) return false;
    First = FPixel;
    Last = FPixel + FPixelsLeft;
    FPixel = Last;
    FPixelsLeft = 0;
    return true;
  }
  // Raises "Color not in color table" for a pixel value outside the colour count.
  void CheckColor(int Value) const {
    if (Value >= FColorCount) RaiseGIFError("Color not in color table");
  }

  int FColorCount = 0;
  int FBitsPerPixel = 0;
  TStream* FStream = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FPixels = nullptr;
  TGIFWriter* FWriter = nullptr;
  uint64_t FAccumulator = 0;
  int FBits = 0;  // bits held in the accumulator, below 32 between codes
  bool FClearFlag = false;
  int FCodeWidth = 0;
  int FInitialWidth = 0;
  int FMaxCode = 0;
  int FClearCode = 0;
  int FEOICode = 0;
  int FBaseCode = 0;

 private:
  // Moves to the next row in interlace order and reads its first pixel; -1 when the picture is done.
  [[nodiscard]] int NextRow();
  // Moves to the next row in interlace order; false when the picture is done.
  [[nodiscard]] bool NextRowStart();
  // Writes the whole bytes held in the accumulator.
  void WriteHeldBytes();
  // Writes the bits still held, padded to whole bytes.
  void FlushBits();
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
  // What EmitCode does, inline for the loop of EncodeImage.
  void PutCodeAndWiden(int Code);
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
