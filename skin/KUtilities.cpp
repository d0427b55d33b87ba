#include "skin/KUtilities.h"

#include <cstddef>
#include <cstring>
#include <functional>

#include <algorithm>
#include <bit>

#include "graphics/GfxFilters.h"
#include "graphics/GfxSimd.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

#ifdef PELLORAN_SIMD_X86
#include <immintrin.h>
#endif

// ---- Row scans ---------------------------------------------------------------------------------------

TRunRule AlphaRule(int Threshold) {
  if (Threshold > 255) return {TRunRule::rkNone, 0};
  return {TRunRule::rkAlpha, static_cast<uint32_t>(Threshold < 0 ? 0 : Threshold)};
}

TRunRule NotKeyRule(TColor32 Key) {
  return {TRunRule::rkNotKey, Key & 0x00FFFFFFu};
}

namespace {

bool Keeps(uint32_t Pixel, const TRunRule& Rule) {
  switch (Rule.Kind) {
    case TRunRule::rkAlpha:
      return (Pixel >> 24) >= Rule.Value;
    case TRunRule::rkNotKey:
      return (Pixel & 0x00FFFFFFu) != Rule.Value;
    default:
      return false;
  }
}

// Turns the keep-masks of a row (bit i set when pixel X + i is kept), 64 pixels at a time, into the
// edges of its runs: an edge is where a pixel differs from the one before it.
struct TEdgeWriter {
  int* Edges;
  int Count = 0;
  uint64_t Carry = 0;  // whether the last pixel seen is kept

  [[gnu::always_inline]] void Add(uint64_t Mask, int X) {
    uint64_t edges = Mask ^ ((Mask << 1) | Carry);
    Carry = Mask >> 63;
    for (; edges != 0; edges &= edges - 1)
      Edges[Count++] = X + std::countr_zero(edges);
  }
  // Pixels From..Width - 1 one at a time, then the end of a run that reaches the end of the row.
  int Finish(const uint32_t* Row, int From, int Width, const TRunRule& Rule) {
    for (int x = From; x < Width; ++x) {
      const uint64_t kept = Keeps(Row[x], Rule) ? 1 : 0;
      if (kept != Carry) Edges[Count++] = x;
      Carry = kept;
    }
    if (Carry != 0) Edges[Count++] = Width;
    return Count;
  }
};

using TRowScan = int (*)(const uint32_t* Row, int Width, const TRunRule& Rule, int* Edges);

int ScanPlain(const uint32_t* Row, int Width, const TRunRule& Rule, int* Edges) {
  return TEdgeWriter{Edges}.Finish(Row, 0, Width, Rule);
}

#ifdef PELLORAN_SIMD_X86
// The alpha rule gathers the alpha bytes of the pixels and compares them at once: an alpha reaches the
// threshold when the bytewise maximum of the two is the alpha itself. The key rule compares the low 24
// bits of each pixel with the key and keeps the pixels where they differ. A, B are the rule's constants:
// the threshold in every byte, or the colour mask and the key.

template <bool Alpha>
__m128i WordsSse2(const uint32_t* P, __m128i A, __m128i B) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(P));
  return Alpha ? _mm_srli_epi32(v, 24) : _mm_cmpeq_epi32(_mm_and_si128(v, A), B);
}

// The keep-mask of 16 pixels.
template <bool Alpha>
uint64_t MaskSse2(const uint32_t* P, __m128i A, __m128i B) {
  const __m128i lo = _mm_packs_epi32(WordsSse2<Alpha>(P, A, B), WordsSse2<Alpha>(P + 4, A, B));
  const __m128i hi = _mm_packs_epi32(WordsSse2<Alpha>(P + 8, A, B), WordsSse2<Alpha>(P + 12, A, B));
  if constexpr (Alpha) {
    const __m128i alphas = _mm_packus_epi16(lo, hi);
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(alphas, A), alphas)));
  } else {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(lo, hi))) ^ 0xFFFFu;
  }
}

template <bool Alpha>
int ScanSse2(const uint32_t* Row, int Width, const TRunRule& Rule, int* Edges) {
  const __m128i a = Alpha ? _mm_set1_epi8(static_cast<char>(Rule.Value)) : _mm_set1_epi32(0x00FFFFFF);
  const __m128i b = _mm_set1_epi32(static_cast<int>(Rule.Value));
  TEdgeWriter writer{Edges};
  int x = 0;
  for (; x + 64 <= Width; x += 64) {
    writer.Add(MaskSse2<Alpha>(Row + x, a, b) | MaskSse2<Alpha>(Row + x + 16, a, b) << 16 |
                   MaskSse2<Alpha>(Row + x + 32, a, b) << 32 | MaskSse2<Alpha>(Row + x + 48, a, b) << 48,
               x);
  }
  return writer.Finish(Row, x, Width, Rule);
}

template <bool Alpha>
__attribute__((target("avx2"))) __m256i WordsAvx2(const uint32_t* P, __m256i A, __m256i B) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(P));
  return Alpha ? _mm256_srli_epi32(v, 24) : _mm256_cmpeq_epi32(_mm256_and_si256(v, A), B);
}

// The keep-mask of 32 pixels.
template <bool Alpha>
__attribute__((target("avx2"))) uint64_t MaskAvx2(const uint32_t* P, __m256i A, __m256i B) {
  const __m256i lo = _mm256_packs_epi32(WordsAvx2<Alpha>(P, A, B), WordsAvx2<Alpha>(P + 8, A, B));
  const __m256i hi = _mm256_packs_epi32(WordsAvx2<Alpha>(P + 16, A, B), WordsAvx2<Alpha>(P + 24, A, B));
  // The packs work within 128-bit lanes; the permutation puts the four-pixel groups back in row order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  if constexpr (Alpha) {
    const __m256i alphas = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(lo, hi), order);
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(alphas, A), alphas)));
  } else {
    const __m256i equal = _mm256_permutevar8x32_epi32(_mm256_packs_epi16(lo, hi), order);
    return static_cast<uint32_t>(_mm256_movemask_epi8(equal)) ^ 0xFFFFFFFFu;
  }
}

template <bool Alpha>
__attribute__((target("avx2"))) int ScanAvx2(const uint32_t* Row, int Width, const TRunRule& Rule,
                                             int* Edges) {
  const __m256i a = Alpha ? _mm256_set1_epi8(static_cast<char>(Rule.Value)) : _mm256_set1_epi32(0x00FFFFFF);
  const __m256i b = _mm256_set1_epi32(static_cast<int>(Rule.Value));
  TEdgeWriter writer{Edges};
  int x = 0;
  for (; x + 64 <= Width; x += 64)
    writer.Add(MaskAvx2<Alpha>(Row + x, a, b) | MaskAvx2<Alpha>(Row + x + 32, a, b) << 32, x);
  return writer.Finish(Row, x, Width, Rule);
}
#endif

}  // namespace

// ---- Key colour -------------------------------------------------------------------------------------

namespace {

constexpr TColor32 kCutOut = 0x0000FF00u;  // a key-coloured pixel of modes 3 and 4: alpha 0, green

TColor32 KeyedOut(TColor32 Pixel, TColor32 Key) {
  return (Pixel & 0x00FFFFFFu) == Key ? kCutOut : Pixel | 0xFF000000u;
}

void KeyOutPlain(TColor32* Pixels, size_t Count, TColor32 Key) {
  for (size_t i = 0; i < Count; ++i)
    Pixels[i] = KeyedOut(Pixels[i], Key);
}

#ifdef PELLORAN_SIMD_X86
void KeyOutSse2(TColor32* Pixels, size_t Count, TColor32 Key) {
  const __m128i rgb = _mm_set1_epi32(0x00FFFFFF);
  const __m128i key = _mm_set1_epi32(static_cast<int>(Key));
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i cut = _mm_set1_epi32(static_cast<int>(kCutOut));
  size_t i = 0;
  for (; i + 4 <= Count; i += 4) {
    auto* p = reinterpret_cast<__m128i*>(Pixels + i);
    const __m128i v = _mm_loadu_si128(p);
    const __m128i keyed = _mm_cmpeq_epi32(_mm_and_si128(v, rgb), key);
    _mm_storeu_si128(
        p, _mm_or_si128(_mm_and_si128(keyed, cut), _mm_andnot_si128(keyed, _mm_or_si128(v, opaque))));
  }
  KeyOutPlain(Pixels + i, Count - i, Key);
}

__attribute__((target("avx2"))) void KeyOutAvx2(TColor32* Pixels, size_t Count, TColor32 Key) {
  const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
  const __m256i key = _mm256_set1_epi32(static_cast<int>(Key));
  const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i cut = _mm256_set1_epi32(static_cast<int>(kCutOut));
  size_t i = 0;
  for (; i + 8 <= Count; i += 8) {
    auto* p = reinterpret_cast<__m256i*>(Pixels + i);
    const __m256i v = _mm256_loadu_si256(p);
    const __m256i keyed = _mm256_cmpeq_epi32(_mm256_and_si256(v, rgb), key);
    _mm256_storeu_si256(p, _mm256_blendv_epi8(_mm256_or_si256(v, opaque), cut, keyed));
  }
  KeyOutPlain(Pixels + i, Count - i, Key);
}
#endif

// The scanner's routines at one level.
struct TScanKernels {
  TRowScan AlphaRuns;  // rows under the alpha rule
  TRowScan KeyRuns;    // rows under the key rule
  void (*KeyOut)(TColor32* Pixels, size_t Count, TColor32 Key);
};

constexpr TScanKernels kPlainScan{ScanPlain, ScanPlain, KeyOutPlain};
#ifdef PELLORAN_SIMD_X86
constexpr TScanKernels kSse2Scan{ScanSse2<true>, ScanSse2<false>, KeyOutSse2};
constexpr TScanKernels kAvx2Scan{ScanAvx2<true>, ScanAvx2<false>, KeyOutAvx2};
constexpr TSimdTables<TScanKernels> ScanKernels{kPlainScan, &kSse2Scan, &kAvx2Scan};
#else
constexpr TSimdTables<TScanKernels> ScanKernels{kPlainScan, nullptr, nullptr};
#endif

}  // namespace

int RowRuns(const uint32_t* Row, int Width, const TRunRule& Rule, int* Edges) {
  if (Rule.Kind == TRunRule::rkNone || Width <= 0) return 0;
  const TScanKernels& kernels = ScanKernels.Selected();
  return (Rule.Kind == TRunRule::rkAlpha ? kernels.AlphaRuns : kernels.KeyRuns)(Row, Width, Rule, Edges);
}

void KeyOut(TColor32* Pixels, size_t Count, TColor32 Key) {
  ScanKernels.Selected().KeyOut(Pixels, Count, Key & 0x00FFFFFFu);
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

HRGN BitmapToRegion(const TBitmap32* Bitmap, int Threshold) {
  // Each row's runs go straight into the region's bands.
  TRegionBuilder bands;
  if (Bitmap != nullptr && !Bitmap->IsEmpty()) {
    const int width = Bitmap->Width();
    const TRunRule rule = AlphaRule(Threshold);
    std::vector<int> edges(static_cast<size_t>(width) + 1);
    for (int y = 0; y < Bitmap->Height(); ++y) {
      const int n = RowRuns(Bitmap->ScanLine(y), width, rule, edges.data());
      bands.AddRow(y, edges.data(), static_cast<size_t>(n));
    }
  }
  return bands.CreateRegion();
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
      FBitmap->BeginUpdate();
      try {
        // Opaque, then every pixel of the key colour cut out, in one pass.
        if (FBitmap->IsEmpty()) {
          FBitmap->MakeOpaque();
        } else {
          const TColor32 key =
              FMode == 3 ? FBitmap->Pixel(0, FBitmap->Height() - 1) : Color32FromTColor(FInvisibleColor);
          KeyOut(FBitmap->Bits(),
                 static_cast<size_t>(FBitmap->Width()) * static_cast<size_t>(FBitmap->Height()),
                 key & 0x00FFFFFFu);
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
