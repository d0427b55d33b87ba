#include "gif/GIFCore.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "gif/GIFSubImage.h"
#include "platform/rtl/Lists.h"

void RaiseGIFError(const std::string& Msg) {
  throw GIFException(Msg);
}

HGDIOBJ CheckGDIHandle(HGDIOBJ Handle) {
  if (Handle) return Handle;
  const uint32_t error = GetLastError();
  const std::string text = error != 0 ? SysErrorMessage(error) : std::string();
  throw EOutOfResources(text.empty() ? "Systemressourcen erschöpft." : text);
}

HPALETTE CreateWebPalette() {
  TMaxLogPalette log;
  log.palVersion = 0x300;
  log.palNumEntries = 216;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        log.palPalEntry[36 * r + 6 * g + b] = {static_cast<BYTE>(51 * r), static_cast<BYTE>(51 * g),
                                               static_cast<BYTE>(51 * b), 0};
  return CreatePalette(&log);
}

bool IsLowColorDisplay() {
  // Read once per process, as the screen's depth does not change while the program runs.
  static const bool lowColor = [] {
    HDC dc = GetDC(nullptr);
    const bool result = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) <= 8;
    ReleaseDC(nullptr, dc);
    return result;
  }();
  return lowColor;
}

int PaddedByteCount(int Count, int BitsPerItem, int Alignment) {
  const int64_t bits = int64_t{Count} * BitsPerItem + Alignment - 1;
  return static_cast<int>((bits & ~int64_t{Alignment - 1}) / 8);
}

int BitsForColorCount(int n) {
  if (n <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < n)
    ++bits;
  return bits;
}

void PutByte(TStream* Stream, uint8_t Value) {
  Stream->Write(&Value, 1);
}

uint8_t GetByte(TStream* Stream) {
  uint8_t value = 0;
  Stream->Read(&value, 1);
  return value;
}

bool TryReadByte(TStream* Stream, uint8_t& Value) {
  return Stream->Read(&Value, 1) == 1;
}

void ReadExactly(TStream* Stream, void* Buffer, int64_t Count) {
  if (Stream->Read(Buffer, Count) != Count) RaiseGIFError("Premature end of data");
}

int64_t BytesLeft(TStream* Stream) {
  const int64_t position = Stream->Position();
  return std::max<int64_t>(0, Stream->Size() - position);
}

void StringsToSubBlocks(TStream* Stream, TStrings* Strings) {
  for (int i = 0; i < Strings->Count(); ++i) {
    const std::string s = Strings->Strings(i);
    size_t offset = 0;
    while (offset < s.size()) {
      const size_t chunk = std::min<size_t>(255, s.size() - offset);
      PutByte(Stream, static_cast<uint8_t>(chunk));
      Stream->WriteBuffer(s.data() + offset, static_cast<int64_t>(chunk));
      offset += chunk;
    }
  }
  PutByte(Stream, 0);
}

void SubBlocksToStrings(TStream* Stream, TStrings* Strings) {
  Strings->Clear();
  uint8_t count = 0;
  std::array<char, 256> buffer{};
  while (TryReadByte(Stream, count) && count != 0) {
    ReadExactly(Stream, buffer.data(), count);
    const auto* end = static_cast<const char*>(std::memchr(buffer.data(), 0, count));
    Strings->Add(std::string(buffer.data(), end ? static_cast<size_t>(end - buffer.data()) : count));
  }
}

// --- TGIFItem, TGIFList ---

void TGIFItem::ReportWarning(int Severity, const std::string& Message) {
  if (FOwnerImage) FOwnerImage->ReportWarning(this, Severity, Message);
}

void TGIFItem::WriteToFile(const std::string& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

void TGIFItem::ReadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

TGIFList::~TGIFList() {
  Clear();
}

void TGIFList::ReportWarning(int Severity, const std::string& Message) {
  if (FOwnerImage) FOwnerImage->ReportWarning(this, Severity, Message);
}

void TGIFList::SaveToStream(TStream* Stream) {
  for (auto& item : FItems)
    item->SaveToStream(Stream);
}

TGIFItem* TGIFList::Items(int Index) const {
  if (Index < 0 || Index >= Count())
    throw EListError("Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)].get();
}

int TGIFList::Add(std::unique_ptr<TGIFItem> Item) {
  FItems.push_back(std::move(Item));
  return Count() - 1;
}

void TGIFList::Delete(int Index) {
  (void)Items(Index);
  // Out of the list first, so that the item's own removal on destruction finds nothing.
  std::unique_ptr<TGIFItem> item = std::move(FItems[static_cast<size_t>(Index)]);
  FItems.erase(FItems.begin() + Index);
  item.reset();
}

void TGIFList::Remove(TGIFItem* Item) {
  const int index = IndexOf(Item);
  if (index < 0) return;
  (void)FItems[static_cast<size_t>(index)].release();
  FItems.erase(FItems.begin() + index);
}

int TGIFList::IndexOf(const TGIFItem* Item) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == Item) return static_cast<int>(i);
  return -1;
}

void TGIFList::Clear() {
  // All items leave the list at once, then go in order: each one's own removal on destruction finds
  // an empty list, so clearing takes time linear in the count.
  std::vector<std::unique_ptr<TGIFItem>> items = std::move(FItems);
  FItems.clear();
  for (std::unique_ptr<TGIFItem>& item : items)
    item.reset();
}

// --- TGIFColorMap ---

void TGIFColorMap::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FCount = 0;
  FCapacity = 0;
  FSorted = false;
}

void TGIFColorMap::ColorToTriplet(TColor Color, uint8_t& Red, uint8_t& Green, uint8_t& Blue) {
  Red = static_cast<uint8_t>(Color & 0xFF);
  Green = static_cast<uint8_t>((Color >> 8) & 0xFF);
  Blue = static_cast<uint8_t>((Color >> 16) & 0xFF);
}

TColor TGIFColorMap::TripletToColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
  return static_cast<TColor>(Red | (Green << 8) | (Blue << 16));
}

void TGIFColorMap::Reserve(int Count) {
  if (Count < FCapacity) return;
  int capacity = Count <= 16 ? 16 : (Count + 31) / 32 * 32;
  capacity = std::min(capacity, 256);
  FCapacity = capacity;
  FData.resize(static_cast<size_t>(capacity) * 3, 0);
}

int TGIFColorMap::Add(TColor Color) {
  if (FCount >= 256) RaiseGIFError("Color table overflow");
  if (FCount >= FCapacity) Reserve(FCount + 1);
  ColorToTriplet(Color, FData[FCount * 3], FData[FCount * 3 + 1], FData[FCount * 3 + 2]);
  ++FCount;
  FSorted = false;
  ColorsChanged();
  return FCount - 1;
}

int TGIFColorMap::FindColor(TColor Color) const {
  uint8_t r, g, b;
  ColorToTriplet(Color, r, g, b);
  auto matches = [&](int i) { return FData[i * 3] == r && FData[i * 3 + 1] == g && FData[i * 3 + 2] == b; };
  if (FSorted) {
    for (int i = 0; i < FCount; ++i)
      if (matches(i)) return i;
  } else {
    for (int i = FCount - 1; i >= 0; --i)
      if (matches(i)) return i;
  }
  return -1;
}

int TGIFColorMap::FindOrAdd(TColor Color) {
  const int index = FindColor(Color);
  return index >= 0 ? index : Add(Color);
}

void TGIFColorMap::RemoveColor(int Index) {
  if (Index < 0 || Index >= FCount) RaiseGIFError("Invalid color index");
  std::memmove(FData.data() + Index * 3, FData.data() + (Index + 1) * 3,
               static_cast<size_t>(FCount - Index - 1) * 3);
  --FCount;
  FSorted = false;
  ColorsChanged();
}

TColor TGIFColorMap::ColorAt(int Index) {
  if (Index < 0 || Index >= FCount) {
    ReportWarning(1, "Invalid color index");
    if (FCount == 0) RaiseGIFError("Color table is empty");
    Index = 0;
  }
  return TripletToColor(FData[Index * 3], FData[Index * 3 + 1], FData[Index * 3 + 2]);
}

void TGIFColorMap::LoadFromColorTable(const uint8_t* Entries, int Count) {
  Clear();
  if (Count <= 0) return;
  Count = std::min(Count, 256);
  Reserve(Count);
  for (int i = 0; i < Count; ++i) {
    FData[i * 3] = Entries[i * 4 + 2];
    FData[i * 3 + 1] = Entries[i * 4 + 1];
    FData[i * 3 + 2] = Entries[i * 4];
  }
  FCount = Count;
  ColorsChanged();
}

void TGIFColorMap::LoadFromPalette(HPALETTE Palette) {
  Clear();
  PALETTEENTRY entries[256];
  const int n = static_cast<int>(GetPaletteEntries(Palette, 0, 256, entries));
  if (n <= 0) return;
  Reserve(n);
  for (int i = 0; i < n; ++i) {
    FData[static_cast<size_t>(i) * 3] = entries[i].peRed;
    FData[static_cast<size_t>(i) * 3 + 1] = entries[i].peGreen;
    FData[static_cast<size_t>(i) * 3 + 2] = entries[i].peBlue;
  }
  FCount = n;
  ColorsChanged();
}

static_assert(sizeof(RGBQUAD) == 4);

void TGIFColorMap::LoadFromDIBColorTable(HDC DC) {
  Clear();
  std::vector<RGBQUAD> table(256);
  const int n = static_cast<int>(GetDIBColorTable(DC, 0, 256, table.data()));
  LoadFromColorTable(reinterpret_cast<const uint8_t*>(table.data()), n);
  ColorsChanged();
}

HPALETTE TGIFColorMap::CreatePaletteHandle() const {
  if (FCount == 0) return nullptr;
  TMaxLogPalette log;
  log.palVersion = 0x300;
  log.palNumEntries = static_cast<WORD>(FCount);
  for (int i = 0; i < FCount; ++i)
    log.palPalEntry[i] = {FData[static_cast<size_t>(i) * 3], FData[static_cast<size_t>(i) * 3 + 1],
                          FData[static_cast<size_t>(i) * 3 + 2], PC_NOCOLLAPSE};
  return CreatePalette(&log);
}

void TGIFColorMap::SaveToStream(TStream* Stream) const {
  if (FCount == 0) return;
  // The written table always has a power-of-two number of entries: pad with black.
  std::vector<uint8_t> table(static_cast<size_t>(3) << IndexBits(), 0);
  std::memcpy(table.data(), FData.data(), static_cast<size_t>(FCount) * 3);
  Stream->WriteBuffer(table.data(), static_cast<int64_t>(table.size()));
}

void TGIFColorMap::LoadFromStream(TStream* Stream, int Count) {
  Clear();
  Count = std::clamp(Count, 0, 256);
  Reserve(Count);
  ReadExactly(Stream, FData.data(), int64_t{Count} * 3);
  FCount = Count;
}

void TGIFColorMap::Assign(TPersistent* Source) {
  auto* source = dynamic_cast<TGIFColorMap*>(Source);
  if (!source) {
    TPersistent::Assign(Source);
    return;
  }
  if (source == this) return;
  Clear();
  FCapacity = source->FCapacity;
  FCount = source->FCount;
  FSorted = source->FSorted;
  FData.assign(static_cast<size_t>(FCapacity) * 3, 0);
  if (FCount > 0) std::memcpy(FData.data(), source->FData.data(), static_cast<size_t>(FCount) * 3);
  ColorsChanged();
}

namespace {

// Sorts entries lo..hi by descending use count (a partitioning quicksort; equal counts keep the order
// the partitioning leaves).
void SortByUse(TColormapHistogram& h, int lo, int hi) {
  int i;
  do {
    i = lo;
    int j = hi;
    const int pivot = h[static_cast<size_t>((lo + hi) / 2)].Count;
    do {
      while (h[static_cast<size_t>(i)].Count > pivot)
        ++i;
      while (h[static_cast<size_t>(j)].Count < pivot)
        --j;
      if (i <= j) {
        std::swap(h[static_cast<size_t>(i)], h[static_cast<size_t>(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (lo < j) SortByUse(h, lo, j);
    lo = i;
  } while (i < hi);
}

}  // namespace

bool TGIFColorMap::ReorderByUse() {
  if (!CanReorder() || FCount <= 1) return false;
  FSorted = true;
  TColormapHistogram histogram{};
  CountUses(histogram);
  SortByUse(histogram, 0, FCount - 1);
  bool inOrder = true;
  for (int i = 0; i < FCount; ++i)
    if (histogram[static_cast<size_t>(i)].Index != i) inOrder = false;
  if (inOrder) return true;

  TColormapReverse table{};
  for (int i = 0; i < 256; ++i)
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  for (int i = 0; i < FCount; ++i)
    table[static_cast<size_t>(histogram[static_cast<size_t>(i)].Index)] = static_cast<uint8_t>(i);
  RemapPixels(table);

  std::vector<uint8_t> old(FData);
  int used = FCount;
  for (int i = 0; i < FCount; ++i) {
    const int from = histogram[static_cast<size_t>(i)].Index;
    std::memcpy(&FData[i * 3], &old[from * 3], 3);
    if (histogram[static_cast<size_t>(i)].Count == 0 && used == FCount) used = i;
  }
  FCount = used;
  ColorsChanged();
  return true;
}

// --- Global and local colour maps ---

namespace {

void CountFrameUses(TGIFSubImage* Frame, TColormapHistogram& Histogram) {
  const uint8_t* pixels = Frame->Pixels();
  if (!pixels) return;
  for (int64_t i = 0, n = Frame->PixelsSize(); i < n; ++i)
    ++Histogram[pixels[i]].Count;
}

void RemapFramePixels(TGIFSubImage* Frame, const TColormapReverse& Table) {
  uint8_t* pixels = Frame->Pixels();
  if (pixels)
    for (int64_t i = 0, n = Frame->PixelsSize(); i < n; ++i)
      pixels[i] = Table[pixels[i]];
  if (Frame->Transparent() && Frame->ControlExtension()) {
    TGIFGraphicControlExtension* gce = Frame->ControlExtension();
    gce->SetTransparentColorIndexRaw(Table[gce->TransparentColorIndex()]);
  }
  Frame->PixelsChanged();
}

void InitHistogram(TColormapHistogram& Histogram, int Count) {
  for (int i = 0; i < Count; ++i)
    Histogram[static_cast<size_t>(i)] = {0, i};
}

}  // namespace

void TGIFGlobalColorMap::ReportWarning(int Severity, const std::string& Message) {
  if (FHeader && FHeader->OwnerImage()) FHeader->OwnerImage()->ReportWarning(this, Severity, Message);
}

void TGIFGlobalColorMap::CountUses(TColormapHistogram& Histogram) {
  InitHistogram(Histogram, Count());
  TGIFImage* image = FHeader ? FHeader->OwnerImage() : nullptr;
  if (!image) return;
  for (int i = 0; i < image->Images()->Count(); ++i) {
    TGIFSubImage* frame = image->Images()->SubImage(i);
    if (frame->ActiveColorTable() == this) CountFrameUses(frame, Histogram);
  }
  // The screen's background colour stays in the table when the colours are reordered.
  const int background = FHeader->LogicalScreenDescriptor.BackgroundColorIndex;
  if (background < Count()) ++Histogram[static_cast<size_t>(background)].Count;
}

void TGIFGlobalColorMap::RemapPixels(const TColormapReverse& Table) {
  TGIFImage* image = FHeader ? FHeader->OwnerImage() : nullptr;
  if (!image) return;
  for (int i = 0; i < image->Images()->Count(); ++i) {
    TGIFSubImage* frame = image->Images()->SubImage(i);
    if (frame->ActiveColorTable() == this) RemapFramePixels(frame, Table);
  }
  uint8_t& background = FHeader->LogicalScreenDescriptor.BackgroundColorIndex;
  if (background < Count()) background = Table[background];
}

void TGIFGlobalColorMap::ColorsChanged() {
  if (FHeader && FHeader->OwnerImage()) FHeader->OwnerImage()->GlobalColorsChanged();
}

bool TGIFGlobalColorMap::CanReorder() const {
  TGIFImage* image = FHeader ? FHeader->OwnerImage() : nullptr;
  return image && image->Images()->Count() > 0;
}

void TGIFLocalColorMap::ReportWarning(int Severity, const std::string& Message) {
  if (FSubImage && FSubImage->OwnerImage()) FSubImage->OwnerImage()->ReportWarning(this, Severity, Message);
}

void TGIFLocalColorMap::CountUses(TColormapHistogram& Histogram) {
  InitHistogram(Histogram, Count());
  if (FSubImage) CountFrameUses(FSubImage, Histogram);
}

void TGIFLocalColorMap::RemapPixels(const TColormapReverse& Table) {
  if (FSubImage) RemapFramePixels(FSubImage, Table);
}

void TGIFLocalColorMap::ColorsChanged() {
  if (FSubImage) FSubImage->ColorsChanged();
}

// --- TGIFHeader ---

TGIFHeader::TGIFHeader(TGIFImage* Image)
    : TGIFItem(Image), FGlobalColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {
  Clear();
}

TGIFHeader::~TGIFHeader() = default;

void TGIFHeader::Clear() {
  FGlobalColorMap->Clear();
  LogicalScreenDescriptor = {};
}

void TGIFHeader::Assign(TPersistent* Source) {
  if (auto* header = dynamic_cast<TGIFHeader*>(Source)) {
    if (header == this) return;
    FGlobalColorMap->Assign(header->FGlobalColorMap.get());
    LogicalScreenDescriptor = header->LogicalScreenDescriptor;
  } else if (auto* map = dynamic_cast<TGIFColorMap*>(Source)) {
    Clear();
    FGlobalColorMap->Assign(map);
  } else {
    TGIFItem::Assign(Source);
  }
}

void TGIFHeader::UpdateFlags() {
  const int resolution = FOwnerImage ? FOwnerImage->ColorResolution() : GlobalColorResolution();
  const int bitsPerPixel = FOwnerImage ? FOwnerImage->BitsPerPixel() : GlobalIndexBits();
  int packed = 0;
  int sizeBits = bitsPerPixel;
  if (FGlobalColorMap->Count() > 0) {
    packed = lsdGlobalColorTable | (FGlobalColorMap->Sorted() ? lsdSort : 0);
    // The size field announces exactly the entries the global table writes.
    sizeBits = FGlobalColorMap->IndexBits();
  }
  packed |= (resolution * 16) & lsdColorResolution;
  packed |= (sizeBits - 1) & lsdColorTableSize;
  LogicalScreenDescriptor.PackedFields = static_cast<uint8_t>(packed);
}

void TGIFHeader::SaveToStream(TStream* Stream) {
  int version = FOwnerImage ? FOwnerImage->RequiredVersion() : 0;
  if (version == 0) RaiseGIFError("Unsupported GIF version");
  version = std::max(version, RequiredVersion());
  Stream->WriteBuffer(version == 1 ? "GIF87a" : "GIF89a", 6);
  UpdateFlags();
  const TLogicalScreenDescriptor& d = LogicalScreenDescriptor;
  const uint8_t bytes[7] = {static_cast<uint8_t>(d.ScreenWidth & 0xFF),
                            static_cast<uint8_t>(d.ScreenWidth >> 8),
                            static_cast<uint8_t>(d.ScreenHeight & 0xFF),
                            static_cast<uint8_t>(d.ScreenHeight >> 8),
                            d.PackedFields,
                            d.BackgroundColorIndex,
                            d.AspectRatio};
  Stream->WriteBuffer(bytes, 7);
  if (d.PackedFields & lsdGlobalColorTable) FGlobalColorMap->SaveToStream(Stream);
}

namespace {

bool IsGIFSignature(const char* s) {
  return (s[0] == 'G' || s[0] == 'g') && (s[1] == 'I' || s[1] == 'i') && (s[2] == 'F' || s[2] == 'f');
}

}  // namespace

void TGIFHeader::LoadFromStream(TStream* Stream) {
  const int64_t start = Stream->Position();
  char signature[6];
  ReadExactly(Stream, signature, 6);
  if (!IsGIFSignature(signature)) {
    Stream->SetPosition(start);
    Stream->Seek(4, soFromCurrent);
    ReadExactly(Stream, signature, 6);
    if (!IsGIFSignature(signature)) RaiseGIFError("Invalid GIF signature");
  }
  uint8_t bytes[7];
  ReadExactly(Stream, bytes, 7);
  const auto width = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
  const auto height = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
  // The picture is drawn at the logical screen's size: a larger screen is refused before it is taken.
  if (!PictureSizeAccepted(width, height)) RaiseGIFError("Invalid image dimensions");
  TLogicalScreenDescriptor& d = LogicalScreenDescriptor;
  d.ScreenWidth = width;
  d.ScreenHeight = height;
  d.PackedFields = bytes[4];
  d.BackgroundColorIndex = bytes[5];
  d.AspectRatio = bytes[6];
  if (d.PackedFields & lsdGlobalColorTable)
    FGlobalColorMap->LoadFromStream(Stream, 2 << (d.PackedFields & lsdColorTableSize));
  else
    FGlobalColorMap->Clear();
}

int TGIFHeader::RequiredVersion() const {
  return (FGlobalColorMap->Sorted() || LogicalScreenDescriptor.AspectRatio != 0) ? 2 : 1;
}

TColor TGIFHeader::ScreenBackground() {
  return FGlobalColorMap->ColorAt(LogicalScreenDescriptor.BackgroundColorIndex);
}
