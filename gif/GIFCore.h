// The common ground of the GIF reader and writer: the exception, small stream and arithmetic helpers,
// the base classes of every GIF block and block list, colour tables and the file header.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Windows.h"
#include "platform/rtl/Objects.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

class TStrings;
class TGIFImage;
class TGIFSubImage;
class TGIFHeader;

// The one exception class of the GIF subsystem; it carries a fixed English message.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

[[noreturn]] void RaiseGIFError(const std::string& Msg);
// Returns a GDI handle unchanged; a null handle raises EOutOfResources with the system's error text.
HGDIOBJ CheckGDIHandle(HGDIOBJ Handle);

// Bytes of Count items of BitsPerItem bits, each row padded to Alignment bits (a power of two).
[[nodiscard]] int PaddedByteCount(int Count, int BitsPerItem, int Alignment);
// The 216-colour web palette: entry 36 r + 6 g + b holds (51 r, 51 g, 51 b); the caller owns it.
[[nodiscard]] HPALETTE CreateWebPalette();
// True when the screen shows at most 256 colours (bits per pixel times planes at most 8).
[[nodiscard]] bool IsLowColorDisplay();

// The smallest b >= 1 with 2^b >= n; 0 for n = 0.
[[nodiscard]] int BitsForColorCount(int n);

// Largest pixel buffer a frame may have: width x height bytes must fit in a signed 32-bit count.
inline constexpr int64_t MaxGIFPixels =
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    int64_t{1} << 24;  // keeps the fuzzer fast and within its memory limit
#else
    int64_t{0x7FFFFFFF};
#endif

// Pixels that the frames read from one file may hold together: eight pictures of the largest size a
// file may declare (PictureSizeAccepted).
inline constexpr int64_t MaxGIFFilePixels = 8 * MaxPicturePixels;
// Frames that one file may hold: loading them all stays well within a second.
inline constexpr int MaxGIFFrames = 100000;
// Bytes of one file a reader takes: room for the compressed pixels of its frames at the worst ratio of the
// coder, with its extensions, so extension data cannot take memory beyond what the pixels may.
inline constexpr int64_t MaxGIFFileBytes = 8 * MaxPictureFileBytes;

void PutByte(TStream* Stream, uint8_t Value);
// Reads one byte; 0 when the stream has none left.
[[nodiscard]] uint8_t GetByte(TStream* Stream);
// Reads one byte into Value; false at the end of the stream.
[[nodiscard]] bool TryReadByte(TStream* Stream, uint8_t& Value);
// Reads Count bytes or raises "Premature end of data".
void ReadExactly(TStream* Stream, void* Buffer, int64_t Count);
// Bytes between the position and the end of the stream.
[[nodiscard]] int64_t BytesLeft(TStream* Stream);
// Writes each string as data sub-blocks of up to 255 bytes, then one terminator.
void StringsToSubBlocks(TStream* Stream, TStrings* Strings);
// Fills Strings with one string per data sub-block, up to the terminator or the end of the stream.
void SubBlocksToStrings(TStream* Stream, TStrings* Strings);

// Base of every GIF block (header, frame, extension, trailer). The block belongs to one image.
class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* Image) : FOwnerImage(Image) {}

  [[nodiscard]] TGIFImage* OwnerImage() const { return FOwnerImage; }
  // 1 for GIF87a, 2 for GIF89a.
  [[nodiscard]] virtual int RequiredVersion() const { return 1; }
  virtual void ReportWarning(int Severity, const std::string& Message);
  virtual void SaveToStream(TStream* Stream) = 0;
  virtual void LoadFromStream(TStream* Stream) = 0;
  void WriteToFile(const std::string& FileName);
  void ReadFromFile(const std::string& FileName);

 protected:
  TGIFImage* FOwnerImage;
};

// An ordered list that owns its GIF blocks.
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* Image) : FOwnerImage(Image) {}
  ~TGIFList() override;

  [[nodiscard]] TGIFImage* OwnerImage() const { return FOwnerImage; }
  virtual void ReportWarning(int Severity, const std::string& Message);
  virtual void SaveToStream(TStream* Stream);

  [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
  // Raises EListError for an index outside the list.
  [[nodiscard]] TGIFItem* Items(int Index) const;
  // Takes ownership; returns the index.
  int Add(std::unique_ptr<TGIFItem> Item);
  // Takes the item out and frees it.
  void Delete(int Index);
  // Takes the item out without freeing it; the caller (usually the item itself) owns it then.
  void Remove(TGIFItem* Item);
  [[nodiscard]] int IndexOf(const TGIFItem* Item) const;
  void Clear();

 protected:
  TGIFImage* FOwnerImage;

 private:
  std::vector<std::unique_ptr<TGIFItem>> FItems;
};

// One entry of a colour-use histogram.
struct TUsageCount {
  int Count = 0;
  int Index = 0;
};
using TColormapHistogram = std::array<TUsageCount, 256>;
using TColormapReverse = std::array<uint8_t, 256>;

// A GIF colour table: up to 256 triplets (red, green, blue) in file order.
class TGIFColorMap : public TPersistent {
 public:
  void Clear();
  static void ColorToTriplet(TColor Color, uint8_t& Red, uint8_t& Green, uint8_t& Blue);
  [[nodiscard]] static TColor TripletToColor(uint8_t Red, uint8_t Green, uint8_t Blue);
  void Reserve(int Count);
  int Add(TColor Color);
  [[nodiscard]] int FindColor(TColor Color) const;
  int FindOrAdd(TColor Color);
  void RemoveColor(int Index);
  // Warns "Invalid color index" for an index outside the table and answers colour 0 instead.
  [[nodiscard]] TColor ColorAt(int Index);
  void LoadFromPalette(HPALETTE Palette);
  // Entries in colour-table order: blue, green, red, reserved.
  void LoadFromColorTable(const uint8_t* Entries, int Count);
  void LoadFromDIBColorTable(HDC DC);
  // A palette of the colours (null when the map is empty); the caller owns it.
  [[nodiscard]] HPALETTE CreatePaletteHandle() const;
  void SaveToStream(TStream* Stream) const;
  void LoadFromStream(TStream* Stream, int Count);
  [[nodiscard]] int IndexBits() const { return BitsForColorCount(FCount); }
  void Assign(TPersistent* Source) override;
  // Sorts the colours by descending use, renumbers the pixels and drops unused colours.
  bool ReorderByUse();

  [[nodiscard]] int Count() const { return FCount; }
  [[nodiscard]] int Capacity() const { return FCapacity; }
  [[nodiscard]] bool Sorted() const { return FSorted; }
  // The triplet of entry Index (0 <= Index < Count()): red, green, blue.
  [[nodiscard]] const uint8_t* Data() const { return FData.data(); }

  virtual void ReportWarning(int Severity, const std::string& Message) = 0;
  virtual void CountUses(TColormapHistogram& Histogram) = 0;
  virtual void RemapPixels(const TColormapReverse& Table) = 0;
  virtual void ColorsChanged() = 0;

 protected:
  [[nodiscard]] virtual bool CanReorder() const { return true; }
  [[nodiscard]] std::string ClassName() const override { return "TGIFColorMap"; }

 private:
  std::vector<uint8_t> FData;
  int FCount = 0;
  int FCapacity = 0;
  bool FSorted = false;
};

// The global colour table of an image; it belongs to the header.
class TGIFGlobalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* Header) : FHeader(Header) {}
  void ReportWarning(int Severity, const std::string& Message) override;
  void CountUses(TColormapHistogram& Histogram) override;
  void RemapPixels(const TColormapReverse& Table) override;
  void ColorsChanged() override;

 protected:
  [[nodiscard]] bool CanReorder() const override;

 private:
  TGIFHeader* FHeader;
};

// The local colour table of a frame.
class TGIFLocalColorMap final : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* SubImage) : FSubImage(SubImage) {}
  void ReportWarning(int Severity, const std::string& Message) override;
  void CountUses(TColormapHistogram& Histogram) override;
  void RemapPixels(const TColormapReverse& Table) override;
  void ColorsChanged() override;

 private:
  TGIFSubImage* FSubImage;
};

// The Logical Screen Descriptor, field by field as stored (little-endian in the file).
struct TLogicalScreenDescriptor {
  uint16_t ScreenWidth = 0;
  uint16_t ScreenHeight = 0;
  uint8_t PackedFields = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;
};

inline constexpr uint8_t lsdGlobalColorTable = 0x80;
inline constexpr uint8_t lsdColorResolution = 0x70;
inline constexpr uint8_t lsdSort = 0x08;
inline constexpr uint8_t lsdColorTableSize = 0x07;

// Signature, version, Logical Screen Descriptor and global colour table of a GIF file.
class TGIFHeader final : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* Image);
  ~TGIFHeader() override;

  void Clear();
  void Assign(TPersistent* Source) override;
  void UpdateFlags();
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;
  [[nodiscard]] int RequiredVersion() const override;
  [[nodiscard]] TColor ScreenBackground();
  [[nodiscard]] int GlobalIndexBits() const { return FGlobalColorMap->IndexBits(); }
  [[nodiscard]] int GlobalColorResolution() const { return FGlobalColorMap->IndexBits() - 1; }
  [[nodiscard]] TGIFGlobalColorMap* GlobalColorMap() const { return FGlobalColorMap.get(); }
  // The descriptor; the owning image reads and writes its fields directly.
  TLogicalScreenDescriptor LogicalScreenDescriptor;

 protected:
  [[nodiscard]] std::string ClassName() const override { return "TGIFHeader"; }

 private:
  std::unique_ptr<TGIFGlobalColorMap> FGlobalColorMap;
};
