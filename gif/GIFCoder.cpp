#include "gif/GIFCoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "gif/GIFSubImage.h"

namespace {

constexpr int kTableSize = 4096;
// The longest string a valid table holds is below this; a deeper unwinding means a loop in the table.
constexpr int kMaxStackDepth = 4096;
constexpr int kEndOfData = -2;

// Skips data sub-blocks up to and including the zero terminator (or the end of the stream).
void SkipSubBlocks(TStream* Stream) {
  uint8_t count = 0;
  while (TryReadByte(Stream, count) && count != 0) {
    const int64_t left = BytesLeft(Stream);
    Stream->Seek(std::min<int64_t>(count, left), soFromCurrent);
  }
}

// The state of decoding one frame's data.
class TGIFDecoder {
 public:
  TGIFDecoder(TStream* Stream, const TGIFWarningProc& Warning) : FStream(Stream), FWarning(Warning) {}

  // Reads the minimum code size; false when the stream has no byte left.
  bool Start() {
    uint8_t size = 0;
    if (!TryReadByte(FStream, size)) return false;
    if (size > 11) RaiseGIFError("Invalid GIF data");
    FMinCodeSize = size;
    FClearCode = 1 << size;
    FEndCode = FClearCode + 1;
    FCodeWidth = size + 1;
    FWidthLimit = 2 * FClearCode;
    FNextFree = FClearCode + 2;
    return true;
  }

  // The next pixel value, or a negative value when the data ends.
  int ReadPixel() {
    if (FStackTop > 0) return FStack[--FStackTop];
    return DecodeNext();
  }

  // After the pixels: read the end code that should follow, then skip whatever data remains.
  void Finish() {
    if (!FEnded && !FTerminatorSeen) (void)ReadPixel();
    if (!FTerminatorSeen) SkipSubBlocks(FStream);
  }

 private:
  void Warn(const std::string& Message) {
    if (FWarning) FWarning(Message);
  }

  // Returns false when no more data can be had.
  bool Refill() {
    if (FTerminatorSeen) return false;
    uint8_t count = 0;
    if (!TryReadByte(FStream, count)) {
      // The stream ends: decoding stops quietly and there is nothing left to skip.
      FTerminatorSeen = true;
      FStreamEnded = true;
      return false;
    }
    if (count == 0) {
      FTerminatorSeen = true;
      return false;
    }
    const int64_t got = FStream->Read(FBlock, count);
    if (got < count) Warn("Premature end of data");
    FBlockPos = 0;
    FBlockLen = static_cast<int>(std::max<int64_t>(got, 0));
    return true;
  }

  int ReadCode(int n) {
    if (FFirstCall) {
      FFirstCall = false;
      return FClearCode;
    }
    while (FBitCount < n) {
      if (FBlockPos < FBlockLen) {
        FBitBuffer |= static_cast<uint32_t>(FBlock[FBlockPos++]) << FBitCount;
        FBitCount += 8;
        continue;
      }
      if (!Refill()) {
        // Bits are wanted after the zero-length block that ends the data.
        if (!FStreamEnded) Warn("Decoder bit buffer under-run");
        return -1;
      }
    }
    const int code = static_cast<int>(FBitBuffer & ((1u << n) - 1));
    FBitBuffer >>= n;
    FBitCount -= n;
    return code;
  }

  void ResetTable() {
    for (int i = 0; i < FClearCode; ++i) {
      FPrefix[i] = 0;
      FSuffix[i] = static_cast<uint8_t>(i);
    }
    std::fill(FPrefix + FClearCode, FPrefix + kTableSize, 0);
    std::fill(FSuffix + FClearCode, FSuffix + kTableSize, 0);
    FCodeWidth = FMinCodeSize + 1;
    FWidthLimit = 2 * FClearCode;
    FNextFree = FClearCode + 2;
    FStackTop = 0;
  }

  int EndOfData() {
    FEnded = true;
    if (!FTerminatorSeen) {
      SkipSubBlocks(FStream);
      FTerminatorSeen = true;
    }
    return kEndOfData;
  }

  void Push(int Value) {
    if (FStackTop >= kMaxStackDepth) RaiseGIFError("Circular decoder table entry");
    FStack[FStackTop++] = static_cast<uint8_t>(Value);
  }

  int DecodeNext() {
    if (FEnded) return kEndOfData;
    int code = ReadCode(FCodeWidth);
    if (code < 0) return code;
    if (code == FClearCode) {
      ResetTable();
      do {
        code = ReadCode(FCodeWidth);
      } while (code == FClearCode);
      if (code < 0) return code;
      if (code == FEndCode) return EndOfData();
      FFirstChar = FPrevCode = code;
      return code & 0xFF;
    }
    if (code == FEndCode) return EndOfData();

    const int incoming = code;
    if (code >= FNextFree) {
      Push(FFirstChar);
      code = FPrevCode;
    }
    while (code >= FClearCode) {
      Push(FSuffix[code]);
      if (FPrefix[code] == code) RaiseGIFError("Circular decoder table entry");
      code = FPrefix[code];
    }
    FFirstChar = FSuffix[code];
    Push(FFirstChar);
    if (FNextFree < kTableSize) {
      FPrefix[FNextFree] = static_cast<int16_t>(FPrevCode);
      FSuffix[FNextFree] = static_cast<uint8_t>(FFirstChar);
      ++FNextFree;
      if (FNextFree >= FWidthLimit && FWidthLimit < kTableSize) {
        FWidthLimit *= 2;
        ++FCodeWidth;
      }
    }
    FPrevCode = incoming;
    return FStack[--FStackTop];
  }

  TStream* FStream;
  const TGIFWarningProc& FWarning;
  int FMinCodeSize = 0;
  int FClearCode = 0;
  int FEndCode = 0;
  int FCodeWidth = 0;
  int FWidthLimit = 0;
  int FNextFree = 0;
  int FFirstChar = 0;
  int FPrevCode = 0;
  int16_t FPrefix[kTableSize] = {};
  uint8_t FSuffix[kTableSize] = {};
  uint8_t FStack[kMaxStackDepth] = {};
  int FStackTop = 0;
  uint8_t FBlock[256] = {};
  int FBlockPos = 0;
  int FBlockLen = 0;
  uint32_t FBitBuffer = 0;
  int FBitCount = 0;
  bool FFirstCall = true;
  bool FTerminatorSeen = false;
  bool FStreamEnded = false;
  bool FEnded = false;
};

}  // namespace

void DecompressPixels(TStream* Stream, uint8_t* Pixels, int Width, int Height, bool Interlaced,
                      const TGIFWarningProc& Warning) {
  auto decoder = std::make_unique<TGIFDecoder>(Stream, Warning);
  if (!decoder->Start()) return;
  const bool hasPixels = Pixels && Width > 0 && Height > 0;
  bool complete = true;
  if (hasPixels) {
    int row = 0, step = 8, pass = 0;
    for (int rowsDone = 0; rowsDone < Height && complete; ++rowsDone) {
      uint8_t* line = Pixels + int64_t{row} * Width;
      for (int x = 0; x < Width; ++x) {
        const int value = decoder->ReadPixel();
        if (value < 0) {
          complete = false;
          break;
        }
        line[x] = static_cast<uint8_t>(value);
      }
      if (!Interlaced) {
        ++row;
        continue;
      }
      row += step;
      while (row >= Height && step > 0) {
        if (pass > 0) step /= 2;
        ++pass;
        row = step / 2;
      }
    }
  }
  decoder->Finish();
}

void DecompressImage(TGIFSubImage* SubImage, TStream* Stream) {
  SubImage->AllocatePixels();
  uint8_t* pixels = SubImage->Pixels();
  const uint8_t fill = (SubImage->Transparent() && SubImage->ControlExtension())
                           ? static_cast<uint8_t>(SubImage->ControlExtension()->TransparentColorIndex())
                           : 0;
  if (pixels && fill != 0) std::memset(pixels, fill, static_cast<size_t>(SubImage->PixelsSize()));
  DecompressPixels(Stream, pixels, SubImage->Width(), SubImage->Height(), SubImage->Interlaced(),
                   [SubImage](const std::string& Message) { SubImage->ReportWarning(1, Message); });
}

void CompressImage(TGIFSubImage* SubImage, TStream* Stream) {
  int colorCount, bitsPerPixel;
  if (SubImage->ColorMap()->Count() > 0) {
    colorCount = SubImage->ColorMap()->Count();
    bitsPerPixel = SubImage->ColorMap()->IndexBits();
  } else {
    bitsPerPixel = SubImage->OwnerImage() ? SubImage->OwnerImage()->BitsPerPixel() : 8;
    colorCount = 1 << bitsPerPixel;
  }
  std::unique_ptr<TGIFEncoder> encoder;
  if (SubImage->OwnerImage() && SubImage->OwnerImage()->Compression() == gcRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Compress(Stream, bitsPerPixel, SubImage->Width(), SubImage->Height(), SubImage->Interlaced(),
                    SubImage->Pixels(), colorCount);
}

// --- THashTable ---

void THashTable::Reset() {
  std::fill(std::begin(FTable), std::end(FTable), kEmpty);
}

void THashTable::Insert(uint32_t Key, int Code) {
  uint32_t slot = HomeSlot(Key);
  while (FTable[slot] != kEmpty)
    slot = (slot + 1) & (HashSize - 1);  // the last entry of a bucket is followed by the next bucket's first
  Store(slot, Key, Code);
}

inline int THashTable::Find(uint32_t Key, uint32_t& Slot) const {
  const uint32_t wanted = Key << 12;
#ifdef __SSE2__
  // The four entries of a bucket at once: one mask of the entries holding the key, one of the empty ones.
  const __m128i keyBits = _mm_set1_epi32(static_cast<int>(0xFFFFF000u));
  const __m128i want = _mm_set1_epi32(static_cast<int>(wanted));
  const __m128i empty = _mm_set1_epi32(-1);
  for (uint32_t bucket = HomeSlot(Key);; bucket = NextBucket(bucket)) {
    const __m128i entries = _mm_load_si128(reinterpret_cast<const __m128i*>(FTable + bucket));
    const int found =
        _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_and_si128(entries, keyBits), want)));
    if (found)
      return static_cast<int>(FTable[bucket + std::countr_zero(static_cast<unsigned>(found))] & 0xFFF);
    const int free = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(entries, empty)));
    if (free) {
      Slot = bucket + static_cast<uint32_t>(std::countr_zero(static_cast<unsigned>(free)));
      return -1;
    }
  }
#else
  for (uint32_t bucket = HomeSlot(Key);; bucket = NextBucket(bucket))
    for (uint32_t slot = bucket; slot < bucket + BucketSize; ++slot) {
      if ((FTable[slot] & 0xFFFFF000u) == wanted) return static_cast<int>(FTable[slot] & 0xFFF);
      if (FTable[slot] == kEmpty) {
        Slot = slot;
        return -1;
      }
    }
#endif
}

int THashTable::Lookup(uint32_t Key) const {
  uint32_t slot = 0;
  return Find(Key, slot);
}

// --- TGIFStream, TGIFWriter ---

int64_t TGIFStream::Read(void*, int64_t) {
  throw Exception("Invalid stream operation");
}
int64_t TGIFStream::Write(const void*, int64_t) {
  throw Exception("Invalid stream operation");
}
int64_t TGIFStream::Seek(int64_t, TSeekOrigin) {
  throw Exception("Invalid stream operation");
}

TGIFWriter::~TGIFWriter() {
  try {
    if (FNeedsFlush) Flush();
  } catch (...) {
    // A destructor never throws; Compress flushes explicitly so a write failure reaches the caller.
  }
}

int64_t TGIFWriter::Write(const void* Buffer, int64_t Count) {
  FNeedsFlush = true;
  const auto* bytes = static_cast<const uint8_t*>(Buffer);
  int64_t left = Count;
  while (left > 0) {
    const int n = static_cast<int>(std::min<int64_t>(left, 256 - FBufferCount));
    std::memcpy(FBuffer + FBufferCount, bytes, static_cast<size_t>(n));
    FBufferCount += n;
    bytes += n;
    left -= n;
    if (FBufferCount == 256) Flush();
  }
  return Count;
}

void TGIFWriter::Flush() {
  if (FBufferCount > 1) {
    FBuffer[0] = static_cast<uint8_t>(FBufferCount - 1);
    FStream->WriteBuffer(FBuffer, FBufferCount);
  }
  FBufferCount = 1;
  FNeedsFlush = false;
}

// --- TGIFEncoder ---

void TGIFEncoder::Compress(TStream* Stream, int BitsPerPixel, int Width, int Height, bool Interlaced,
                           const uint8_t* Pixels, int ColorCount) {
  FStream = Stream;
  FBitsPerPixel = std::max(BitsPerPixel, 2);
  FWidth = Width;
  FHeight = Height;
  FInterlaced = Interlaced;
  FPixels = Pixels;
  FColorCount = ColorCount;
  FInitialWidth = FBitsPerPixel + 1;
  PutByte(Stream, static_cast<uint8_t>(FBitsPerPixel));

  FCodeWidth = FInitialWidth;
  FMaxCode = (1 << FCodeWidth) - 1;
  FClearCode = 1 << (FInitialWidth - 1);
  FEOICode = FClearCode + 1;
  FBaseCode = FClearCode + 2;
  FAccumulator = 0;
  FBits = 0;
  FClearFlag = false;
  FPixel = Pixels;
  FPixelsLeft = Interlaced ? Width : int64_t{Width} * Height;
  FRow = 0;
  FPass = 0;

  TGIFWriter writer(Stream);
  FWriter = &writer;
  struct ResetWriter {
    TGIFEncoder* Encoder;
    ~ResetWriter() { Encoder->FWriter = nullptr; }
  } reset{this};
  try {
    if (Pixels && Width > 0 && Height > 0) EncodeImage();
    EmitCode(FEOICode);
  } catch (...) {
    WriteHeldBytes();
    writer.Flush();
    throw;
  }
  writer.Flush();
  PutByte(Stream, 0);
}

void TGIFEncoder::EmitCode(int Code) {
  PutCode(Code);
}

void TGIFEncoder::WriteHeldBytes() {
  for (; FBits >= 8; FBits -= 8) {
    FWriter->WriteByte(static_cast<uint8_t>(FAccumulator & 0xFF));
    FAccumulator >>= 8;
  }
}

void TGIFEncoder::FlushBits() {
  WriteHeldBytes();
  if (FBits > 0) FWriter->WriteByte(static_cast<uint8_t>(FAccumulator & 0xFF));
  FAccumulator = 0;
  FBits = 0;
}

void TGIFEncoder::EmitClear() {
  FClearFlag = true;
  EmitCode(FClearCode);
}

int TGIFEncoder::NextRow() {
  return NextRowStart() ? NextPixel() : -1;
}

bool TGIFEncoder::NextRowStart() {
  if (!FInterlaced || FPass > 3) return false;
  // Next row in interlace order: passes start at rows 0, 4, 2, 1 and step by 8, 8, 4, 2.
  static constexpr int kStep[4] = {8, 8, 4, 2};
  static constexpr int kStart[4] = {0, 4, 2, 1};
  FRow += kStep[FPass];
  while (FRow >= FHeight) {
    if (++FPass > 3) return false;
    FRow = kStart[FPass];
  }
  FPixelsLeft = FWidth;
  FPixel = FPixels + int64_t{FRow} * FWidth;
  return true;
}

// --- TLZWEncoder ---

inline void TLZWEncoder::PutCodeAndWiden(int Code) {
  PutCode(Code);
  if (FFreeEntry > FMaxCode || FClearFlag) {
    if (FClearFlag) {
      FCodeWidth = FInitialWidth;
      FMaxCode = (1 << FCodeWidth) - 1;
      FClearFlag = false;
    } else {
      ++FCodeWidth;
      FMaxCode = FCodeWidth == 12 ? 4096 : (1 << FCodeWidth) - 1;
    }
  }
}

void TLZWEncoder::EmitCode(int Code) {
  PutCodeAndWiden(Code);
}

void TLZWEncoder::EmitClear() {
  TGIFEncoder::EmitClear();
  FHashTable->Reset();
  FFreeEntry = FClearCode + 2;
}

void TLZWEncoder::EncodeImage() {
  FHashTable = std::make_unique<THashTable>();
  THashTable& table = *FHashTable;
  FFreeEntry = FClearCode + 2;
  EmitClear();
  int prefix = NextPixel();
  const uint8_t* pixel = nullptr;
  const uint8_t* last = nullptr;
  while (NextPixels(pixel, last))
    for (; pixel != last; ++pixel) {
      const int c = *pixel;
      CheckColor(c);
      const uint32_t key = (static_cast<uint32_t>(prefix) << 8) | static_cast<uint32_t>(c);
      uint32_t slot = 0;
      const int code = table.Find(key, slot);
      if (code >= 0) {
        prefix = code;
        continue;
      }
      PutCodeAndWiden(prefix);
      prefix = c;
      if (FFreeEntry >= 4095) {
        EmitClear();
      } else {
        table.Store(slot, key, FFreeEntry);  // emitting left the table as it was
        ++FFreeEntry;
      }
    }
  FPrefix = prefix;
  EmitCode(FPrefix);
  FHashTable.reset();
}

// --- TRLEEncoder ---

int64_t IntegerSquareRoot(int64_t X) {
  if (X < 2) return X;
  int64_t r = 1;
  for (int64_t v = X; v > 0; v /= 4)
    r *= 2;
  for (;;) {
    const int64_t q = (X / r + r) / 2;
    if (q == r || q == r + 1) return r;
    r = q;
  }
}

void TRLEEncoder::EmitRunCode(int Code) {
  FClearFlag = false;
  EmitCode(Code);
  ++FCodesSinceClear;
  if (FCodesSinceClear >= FBumpCount) {
    ++FCodeWidth;
    FBumpCount += 1 << (FCodeWidth - 1);
  }
  if (FCodesSinceClear >= FClearCount) EmitClear();
}

void TRLEEncoder::EmitClear() {
  FBumpCount = FInitialBump;
  FClearCount = FInitialClear;
  FCodesSinceClear = 0;
  FRunTableMax = 0;
  TGIFEncoder::EmitClear();
  FCodeWidth = FInitialWidth;
}

void TRLEEncoder::LiftClearCount() {
  FClearCount = FMaxCodes;
}

void TRLEEncoder::RestoreClearCount() {
  FClearCount = FInitialClear;
  if (FCodesSinceClear >= FClearCount) EmitClear();
}

int64_t TRLEEncoder::RunCodeCost(int64_t Count, int64_t MaxCodes) const {
  int64_t cost = 0;
  const int64_t full = MaxCodes * (MaxCodes + 1) / 2;
  while (Count >= full) {
    cost += MaxCodes;
    Count -= full;
  }
  if (Count > 0) {
    int64_t n = IntegerSquareRoot(Count);
    while (n > 0 && (n - 1) * n >= 2 * Count)
      --n;
    while (n * (n + 1) < 2 * Count)
      ++n;
    cost += n;
  }
  return cost;
}

void TRLEEncoder::EmitRunAfterClear(int64_t Count) {
  LiftClearCount();
  FRunTablePixel = FCurrentPixel;
  int64_t n = 1;
  while (Count > 0) {
    if (n == 1) {
      FRunTableMax = 1;
      EmitRunCode(FCurrentPixel);
      Count -= 1;
    } else if (Count >= n) {
      FRunTableMax = static_cast<int>(n);
      EmitRunCode(FBaseCode + static_cast<int>(n) - 2);
      Count -= n;
    } else if (Count == 1) {
      ++FRunTableMax;
      EmitRunCode(FCurrentPixel);
      break;
    } else {
      ++FRunTableMax;
      EmitRunCode(FBaseCode + static_cast<int>(Count) - 2);
      break;
    }
    n = FCodesSinceClear == 0 ? 1 : n + 1;
  }
  RestoreClearCount();
}

void TRLEEncoder::EmitRunByRepeatOrClear(int64_t Count) {
  if (Count > 1 + RunCodeCost(Count, FMaxCodes)) {
    EmitClear();
    EmitRunAfterClear(Count);
  } else {
    for (int64_t i = 0; i < Count; ++i)
      EmitRunCode(FCurrentPixel);
  }
}

void TRLEEncoder::EmitRunWithTable(int64_t Count) {
  const int64_t m = FRunTableMax;
  int64_t reps = Count / m;
  int64_t left = Count % m;
  int64_t extra = left > 0 ? 1 : 0;
  if (FCodesSinceClear + reps + extra > FMaxCodes) {
    reps = FMaxCodes - FCodesSinceClear;
    left = Count - reps * m;
    extra = 1 + RunCodeCost(left, FMaxCodes);
  }
  if (1 + RunCodeCost(Count, FMaxCodes) < reps + extra) {
    EmitClear();
    EmitRunAfterClear(Count);
    return;
  }
  LiftClearCount();
  for (int64_t i = 0; i < reps; ++i)
    EmitRunCode(FBaseCode + static_cast<int>(m) - 2);
  if (left > 0) {
    if (FClearFlag)
      EmitRunAfterClear(left);
    else if (left == 1)
      EmitRunCode(FCurrentPixel);
    else
      EmitRunCode(FBaseCode + static_cast<int>(left) - 2);
  }
  RestoreClearCount();
}

void TRLEEncoder::EmitRun(int64_t Count) {
  if (Count == 1)
    EmitRunCode(FCurrentPixel);
  else if (FClearFlag)
    EmitRunAfterClear(Count);
  else if (FRunTableMax >= 2 && FRunTablePixel == FCurrentPixel)
    EmitRunWithTable(Count);
  else
    EmitRunByRepeatOrClear(Count);
}

void TRLEEncoder::EncodeImage() {
  FInitialBump = FClearCode - 1;
  FInitialClear = FBitsPerPixel <= 3 ? 9 : FClearCode - 2;
  FMaxCodes = 4095 - FBaseCode;
  EmitClear();
  FCurrentPixel = -1;
  int64_t run = 0;
  for (int c = NextPixel(); c >= 0; c = NextPixel()) {
    if (run > 0 && c != FCurrentPixel) {
      EmitRun(run);
      run = 0;
    }
    if (c == FCurrentPixel) {
      ++run;
    } else {
      FCurrentPixel = c;
      run = 1;
    }
  }
  EmitRun(run);
}
