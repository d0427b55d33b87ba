#include "skin/KUtilities.h"

#include <cstddef>
#include <cstring>
#include <functional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/GfxFilters.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

std::vector<TRect> AlphaRunRects(const uint32_t* Bits, int Width, int Height, int Threshold) {
  std::vector<TRect> rects;
  if (Bits == nullptr || Width <= 0 || Height <= 0) return rects;
  // A threshold above 255 keeps nothing; one at or below 0 keeps every pixel.
  if (Threshold > 255) return rects;
  const uint32_t threshold = Threshold < 0 ? 0u : static_cast<uint32_t>(Threshold);
#if defined(__SSE2__)
  // Alphas compare as signed bytes after packing: both sides are shifted by -128 (threshold 0, where
  // every pixel reaches, is handled by the mask below).
  const __m128i thresholdMinusOne =
      _mm_set1_epi8(static_cast<char>(threshold == 0 ? -128 : static_cast<int>(threshold) - 1 - 128));
  const uint32_t everything = threshold == 0 ? 0xFFFFu : 0u;
  const __m128i bias = _mm_set1_epi8(static_cast<char>(-128));
#endif
  for (int y = 0; y < Height; ++y) {
    const uint32_t* row = Bits + static_cast<size_t>(y) * static_cast<size_t>(Width);
    bool inRun = false;
    int start = 0;
    int x = 0;
#if defined(__SSE2__)
    // Sixteen pixels at a time: only the places where the run state flips are visited.
    for (; x + 16 <= Width; x += 16) {
      const __m128i* p = reinterpret_cast<const __m128i*>(row + x);
      const __m128i a0 = _mm_srli_epi32(_mm_loadu_si128(p), 24);
      const __m128i a1 = _mm_srli_epi32(_mm_loadu_si128(p + 1), 24);
      const __m128i a2 = _mm_srli_epi32(_mm_loadu_si128(p + 2), 24);
      const __m128i a3 = _mm_srli_epi32(_mm_loadu_si128(p + 3), 24);
      const __m128i alphas = _mm_packus_epi16(_mm_packs_epi32(a0, a1), _mm_packs_epi32(a2, a3));
      const uint32_t reach = everything | static_cast<uint32_t>(_mm_movemask_epi8(
                                              _mm_cmpgt_epi8(_mm_add_epi8(alphas, bias), thresholdMinusOne)));
      uint32_t flips = (inRun ? ~reach : reach) & 0xFFFFu;
      while (flips != 0) {
        const int b = __builtin_ctz(flips);
        if (inRun) {
          rects.push_back(Rect(start, y, x + b, y + 1));
        } else {
          start = x + b;
        }
        inRun = !inRun;
        const uint32_t above = 0xFFFFu & ~((2u << b) - 1u);
        flips = (inRun ? ~reach : reach) & above;
      }
    }
#endif
    for (; x < Width; ++x) {
      const bool reaches = (row[x] >> 24) >= threshold;
      if (reaches == inRun) continue;
      if (inRun) {
        rects.push_back(Rect(start, y, x, y + 1));
      } else {
        start = x;
      }
      inRun = reaches;
    }
    if (inRun) rects.push_back(Rect(start, y, Width, y + 1));
  }
  return rects;
}

// ---- TRegionData -------------------------------------------------------------------------------------

const RGNDATA* TRegionData::Data() const {
  return FBlock.empty() ? nullptr : reinterpret_cast<const RGNDATA*>(FBlock.data());
}

RGNDATAHEADER TRegionData::Header() const {
  RGNDATAHEADER header;
  if (FBlock.size() >= sizeof header)
    std::memcpy(&header, FBlock.data(), sizeof header);
  else
    header.dwSize = 0;
  return header;
}

int TRegionData::Count() const {
  if (FBlock.size() < sizeof(RGNDATAHEADER)) return 0;
  const uint64_t room = (FBlock.size() - sizeof(RGNDATAHEADER)) / sizeof(RECT);
  const uint64_t count = Header().nCount;
  return static_cast<int>(count < room ? count : room);
}

TRect TRegionData::Rects(int Index) const {
  TRect r;
  if (Index < 0 || Index >= Count()) return r;
  std::memcpy(&r, FBlock.data() + sizeof(RGNDATAHEADER) + static_cast<size_t>(Index) * sizeof(RECT),
              sizeof r);
  return r;
}

std::vector<TRect> TRegionData::RectList() const {
  std::vector<TRect> rects(static_cast<size_t>(Count()));
  if (!rects.empty()) {
    std::memcpy(rects.data(), FBlock.data() + sizeof(RGNDATAHEADER), rects.size() * sizeof(RECT));
  }
  return rects;
}

// ---- Regions from bitmaps ----------------------------------------------------------------------------

namespace {

// Merges each row whose runs repeat the row above into the rectangles of that row (which grow one row
// taller), in place. The region stays the same; it just takes fewer rectangles to say it.
void MergeRepeatedRows(std::vector<TRect>& Runs) {
  size_t out = 0;        // end of the merged list
  size_t bandStart = 0;  // first rectangle of the last band in the merged list
  size_t i = 0;
  while (i < Runs.size()) {
    size_t rowEnd = i;
    while (rowEnd < Runs.size() && Runs[rowEnd].Top == Runs[i].Top)
      ++rowEnd;
    const size_t count = rowEnd - i;
    bool repeats = out > 0 && out - bandStart == count && Runs[bandStart].Bottom == Runs[i].Top;
    for (size_t k = 0; repeats && k < count; ++k) {
      repeats =
          Runs[bandStart + k].Left == Runs[i + k].Left && Runs[bandStart + k].Right == Runs[i + k].Right;
    }
    if (repeats) {
      for (size_t k = 0; k < count; ++k)
        Runs[bandStart + k].Bottom = Runs[i + k].Bottom;
    } else {
      bandStart = out;
      for (size_t k = 0; k < count; ++k)
        Runs[out++] = Runs[i + k];
    }
    i = rowEnd;
  }
  Runs.resize(out);
}

// The region-data block of the row runs of Bitmap. The runs go once the block holds them, so a skin of
// many runs does not keep two lists of them while its region is made.
std::vector<uint8_t> RunBlock(const TBitmap32* Bitmap, int Threshold) {
  std::vector<TRect> runs;
  int width = 0;
  int height = 0;
  if (Bitmap != nullptr && !Bitmap->IsEmpty()) {
    width = Bitmap->Width();
    height = Bitmap->Height();
    runs = AlphaRunRects(Bitmap->Bits(), width, height, Threshold);
    MergeRepeatedRows(runs);
  }
  std::vector<uint8_t> block(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(runs.size());
  header.nRgnSize = 0;
  header.rcBound = Rect(0, 0, width - 1, height - 1);
  std::memcpy(block.data(), &header, sizeof header);
  if (!runs.empty()) std::memcpy(block.data() + sizeof header, runs.data(), runs.size() * sizeof(RECT));
  return block;
}

}  // namespace

HRGN BitmapToRegion(const TBitmap32* Bitmap, int Threshold) {
  // The rectangles go into one region-data block, and the region is made from it in one step.
  const std::vector<uint8_t> block = RunBlock(Bitmap, Threshold);
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()),
                         reinterpret_cast<const RGNDATA*>(block.data()));
}

TRegionData RegionDataFromBitmap(const TBitmap32* Bitmap, int Threshold) {
  HRGN region = BitmapToRegion(Bitmap, Threshold);
  if (region == nullptr) return {};
  const DWORD size = GetRegionData(region, 0, nullptr);
  std::vector<uint8_t> block(size, 0);
  if (size > 0) GetRegionData(region, size, reinterpret_cast<RGNDATA*>(block.data()));
  DeleteObject(region);
  return TRegionData(std::move(block));
}

// ---- Start directory ---------------------------------------------------------------------------------

namespace {

std::string& StartDirectoryValue() {
  static std::string value = ExcludeTrailingPathDelimiter(GetCurrentDir());
  return value;
}

// Takes the current directory while the program starts, before main runs.
const bool StartDirectoryTaken = (StartDirectoryValue(), true);

}  // namespace

const std::string& StartDirectory() {
  return StartDirectoryValue();
}

void SetStartDirectory(const std::string& Directory) {
  StartDirectoryValue() = ExcludeTrailingPathDelimiter(Directory);
}

// ---- KMediaList --------------------------------------------------------------------------------------

KMediaList::KMediaList() = default;
KMediaList::~KMediaList() = default;

int KMediaList::IndexOf(const std::string& FileName) const {
  return IndexOfFile(*this, FileName);
}

KMediaList* KMediaList::Instance() {
  // Lives until the process ends and is never destroyed: its pictures hold drawing objects whose own
  // process-wide tables may already be gone while static objects are being destroyed.
  static KMediaList* const list = new KMediaList;
  return list;
}

TObject* KMediaList::AddOwned(const std::string& FileName, std::unique_ptr<TObject> Object) {
  const int index = IndexOf(FileName);
  if (index >= 0) return Objects(index);
  TObject* object = Object.get();
  if (Object) FOwned.push_back(std::move(Object));
  AddObject(FileName, object);
  return object;
}

namespace {

// A picture loaded by Load and kept in Owned. One that cannot be read is answered by the stock picture
// (GetStock); while the stock picture itself is being loaded (LoadingStock), a failure gives an empty
// picture instead, so a missing stock picture ends the request.
template <class T>
T* LoadOrStock(std::vector<std::unique_ptr<TObject>>& Owned, bool& LoadingStock,
               const std::function<void(T&)>& Load, const std::function<T*()>& GetStock) {
  auto picture = std::make_unique<T>();
  try {
    Load(*picture);
    T* result = picture.get();
    Owned.push_back(std::move(picture));
    return result;
  } catch (const Exception&) {
    picture.reset();
  }
  if (LoadingStock) {
    auto empty = std::make_unique<T>();
    T* result = empty.get();
    Owned.push_back(std::move(empty));
    return result;
  }
  LoadingStock = true;
  T* result = nullptr;
  try {
    result = GetStock();
  } catch (...) {
    LoadingStock = false;
    throw;
  }
  LoadingStock = false;
  return result;
}

}  // namespace

TBitmap32* KMediaList::GetBitmap(const std::string& FileName) {
  const int index = IndexOf(FileName);
  if (index >= 0) {
    TObject* object = Objects(index);
    if (auto* bitmap = dynamic_cast<TBitmap32*>(object)) return bitmap;
    // Another kind of picture (a GIF) is cached under this name: answer with a bitmap of it, made once.
    auto& converted = FConverted[object];
    if (!converted) {
      converted = std::make_unique<TBitmap32>();
      if (auto* gif = dynamic_cast<TGIFImage*>(object)) {
        // The first frame at the picture's size, rendered once; no painter is started for it.
        try {
          if (TBitmap* rendered = gif->RenderBitmap())
            converted->Assign(rendered);
          else
            converted->SetSize(0, 0);
        } catch (const Exception&) {
          converted->SetSize(0, 0);
        }
      } else if (auto* persistent = dynamic_cast<TPersistent*>(object)) {
        try {
          converted->Assign(persistent);
        } catch (const Exception&) {
          converted->SetSize(0, 0);
        }
      }
    }
    return converted.get();
  }

  TBitmap32* result = LoadOrStock<TBitmap32>(
      FOwned, FLoadingStock, [&](TBitmap32& b) { LoadBitmap32FromFile(&b, FileName); },
      [this] { return GetBitmap(StartDirectory() + "\\Data\\noimage.bmp"); });
  AddObject(FileName, result);
  return result;
}

bool IsGifFile(const std::string& FileName) {
  return LowerCase(ExtractFileExt(FileName)) == ".gif";
}

TGIFImage* KMediaList::GetGIF(const std::string& FileName) {
  const int index = IndexOf(FileName);
  if (index >= 0) {
    TObject* object = Objects(index);
    if (auto* gif = dynamic_cast<TGIFImage*>(object)) return gif;
    // A bitmap is cached under this name: answer with a GIF made from it, once.
    auto& converted = FConvertedGIF[object];
    if (!converted) {
      converted = std::make_unique<TGIFImage>();
      if (auto* bitmap32 = dynamic_cast<TBitmap32*>(object)) {
        try {
          TBitmap bitmap;
          bitmap.Assign(bitmap32);
          if (!bitmap.Empty()) converted->Assign(&bitmap);
        } catch (const Exception&) {
          converted->ClearImage();
        }
      }
    }
    return converted.get();
  }

  TGIFImage* result = LoadOrStock<TGIFImage>(
      FOwned, FLoadingStockGIF, [&](TGIFImage& g) { g.LoadFromFile(FileName); },
      [this] { return GetGIF(StartDirectory() + "\\Data\\noimage.gif"); });
  AddObject(FileName, result);
  return result;
}

// ---- KGraphic ----------------------------------------------------------------------------------------

KGraphic::KGraphic(TComponent* AOwner) : TComponent(AOwner), FBitmap(std::make_unique<TBitmap32>()) {}

KGraphic::~KGraphic() = default;

void KGraphic::Changed() {
  if (OnChange) OnChange(this);
}

void KGraphic::RunPasses(uint8_t Mask) {
  if ((FDirtyPasses & Mask) == 0) return;
  if ((FDirtyPasses & DirtyPicture) != 0) PicturePass();
  if ((FDirtyPasses & DirtyMode) != 0) ModePass();
  FDirtyPasses &= static_cast<uint8_t>(~DirtyOther);
  if ((Mask & DirtyRegion) != 0 && (FDirtyPasses & DirtyRegion) != 0) {
    FRegionData = RegionDataFromBitmap(FBitmap.get(), 1);
    FDirtyPasses &= static_cast<uint8_t>(~DirtyRegion);
  }
}

TBitmap32* KGraphic::GetBitmap() {
  RunPasses(DirtyPicture | DirtyMode | DirtyOther);
  return FBitmap.get();
}

const TRegionData& KGraphic::GetRegionData() {
  RunPasses(DirtyAll);
  return FRegionData;
}

void KGraphic::PicturePass() {
  FBitmap->Assign(KMediaList::Instance()->GetBitmap(FFileName));
  FDirtyPasses &= static_cast<uint8_t>(~DirtyPicture);
}

void KGraphic::ModePass() {
  FDirtyPasses &= static_cast<uint8_t>(~DirtyMode);
  switch (FMode) {
    case 0:
      FBitmap->MakeOpaque();
      break;
    case 1:
      AlphaFromIntensity(FBitmap.get(), KMediaList::Instance()->GetBitmap(FFileName));
      break;
    case 2: {
      TBitmap32* alpha = KMediaList::Instance()->GetBitmap(FAlphaFileName);
      // The intensity filter sizes its destination like its source, which would wipe a skin of another
      // size: an alpha picture of another size is stretched to the skin first.
      if (!FBitmap->IsEmpty() && !alpha->IsEmpty() &&
          (alpha->Width() != FBitmap->Width() || alpha->Height() != FBitmap->Height())) {
        TBitmap32 fitted;
        fitted.SetSize(FBitmap->Width(), FBitmap->Height());
        alpha->DrawTo(&fitted, fitted.BoundsRect());
        AlphaFromIntensity(FBitmap.get(), &fitted);
      } else if (!FBitmap->IsEmpty() && !alpha->IsEmpty()) {
        AlphaFromIntensity(FBitmap.get(), alpha);
      }
      break;
    }
    case 3:
    case 4: {
      // An empty picture has no bottom-left pixel to take the key from.
      if (FMode == 3 && FBitmap->IsEmpty()) break;
      TColor32 key;
      FBitmap->BeginUpdate();
      try {
        FBitmap->MakeOpaque();
        key = (FMode == 3 ? FBitmap->Pixel(0, FBitmap->Height() - 1) : Color32FromTColor(FInvisibleColor)) &
              0x00FFFFFFu;
        if (!FBitmap->IsEmpty()) {
          TColor32* p = FBitmap->Bits();
          const size_t n = static_cast<size_t>(FBitmap->Width()) * static_cast<size_t>(FBitmap->Height());
          for (size_t i = 0; i < n; ++i) {
            if ((p[i] & 0x00FFFFFFu) == key) p[i] = 0x0000FF00u;
          }
        }
      } catch (...) {
        FBitmap->EndUpdate();
        throw;
      }
      FBitmap->EndUpdate();
      FBitmap->Changed();
      break;
    }
    default:
      break;
  }
}

void KGraphic::SetFileName(const std::string& Value) {
  if (Value == FFileName) return;
  // A GIF skin is decoded and cached under its name before the name is stored.
  if (IsGifFile(Value)) (void)KMediaList::Instance()->GetGIF(Value);
  FFileName = Value;
  FDirtyPasses = DirtyAll;
  Changed();
}

void KGraphic::SetInnerRect(const TRect& Value) {
  if (Value == FInnerRect) return;
  FInnerRect = Value;
  if (FStretch) Changed();
}

void KGraphic::SetAlphaFileName(const std::string& Value) {
  if (Value == FAlphaFileName) return;
  FAlphaFileName = Value;
  if (FMode == 2) FDirtyPasses = DirtyAll;
  Changed();
}

void KGraphic::SetStretch(bool Value) {
  if (Value == FStretch) return;
  FStretch = Value;
  Changed();
}

void KGraphic::SetMode(uint8_t Value) {
  if (Value == FMode) return;
  FMode = Value;
  FDirtyPasses = DirtyAll;
  Changed();
}

void KGraphic::SetInvisibleColor(TColor Value) {
  if (Value == FInvisibleColor) return;
  FInvisibleColor = Value;
  if (FMode == 4) FDirtyPasses = DirtyAll;
  Changed();
}

void KGraphic::Invalidate() {
  FDirtyPasses = DirtyAll;
  Changed();
}
