#include "gif/GIFReduce.h"

#include <algorithm>

#include "gif/GIFDither.h"

namespace {

HPALETTE PaletteOf(const std::vector<PALETTEENTRY>& Entries) {
  TMaxLogPalette log;
  log.palVersion = 0x300;
  log.palNumEntries = static_cast<WORD>(Entries.size());
  std::copy(Entries.begin(), Entries.end(), log.palPalEntry);
  return static_cast<HPALETTE>(CheckGDIHandle(CreatePalette(&log)));
}

HPALETTE GrayLevels(std::initializer_list<int> Levels) {
  std::vector<PALETTEENTRY> entries;
  for (const int level : Levels) {
    const auto v = static_cast<BYTE>(level);
    entries.push_back({v, v, v, PC_NOCOLLAPSE});
  }
  return PaletteOf(entries);
}

}  // namespace

HPALETTE CreateGrayPalette() {
  std::vector<PALETTEENTRY> entries(256);
  for (int i = 0; i < 256; ++i) {
    const auto v = static_cast<BYTE>(i);
    entries[static_cast<size_t>(i)] = {v, v, v, PC_NOCOLLAPSE};
  }
  return PaletteOf(entries);
}

HPALETTE CreateMonochromePalette() {
  return GrayLevels({0, 255});
}

HPALETTE CreateGray4Palette() {
  return GrayLevels({0, 128, 192, 255});
}

HPALETTE CreateHalftoneScreenPalette() {
  HDC dc = static_cast<HDC>(nullptr);
  dc = GetDC(nullptr);
  if (!dc) throw EOutOfResources("Systemressourcen erschöpft.");
  struct Release {
    HDC DC;
    ~Release() { ReleaseDC(nullptr, DC); }
  } release{dc};
  return static_cast<HPALETTE>(CheckGDIHandle(CreateHalftonePalette(dc)));
}

// ---- Octree ------------------------------------------------------------------------------------------

TOctreeNode::TOctreeNode(int Level, int DepthBits, int& LeafCount, TReducibleNodes& ReducibleNodes)
    : Leaf(Level == DepthBits) {
  if (Leaf) {
    ++LeafCount;
  } else {
    Next = ReducibleNodes[static_cast<size_t>(Level)];
    ReducibleNodes[static_cast<size_t>(Level)] = this;
  }
}

TColorQuantizer::TColorQuantizer(int MaxColors, int DepthBits)
    : FMaxColors(std::max(MaxColors, 1)), FDepthBits(std::clamp(DepthBits, 1, 8)) {}

TColorQuantizer::~TColorQuantizer() {
  FreeSubtree(FRoot);
}

void TColorQuantizer::FreeSubtree(std::unique_ptr<TOctreeNode>& Node) {
  if (!Node) return;
  for (int i = 7; i >= 0; --i)
    FreeSubtree(Node->Children[static_cast<size_t>(i)]);
  Node.reset();
}

void TColorQuantizer::AddColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
  InsertColor(FRoot, Red, Green, Blue, 0);
  // A merge of a node with one child removes no leaf; merging goes on up the tree until the leaves
  // are within the maximum, which the root alone always is.
  while (FLeafCount > FMaxColors)
    if (!MergeDeepestNode()) break;
}

bool TColorQuantizer::AddImagePixels(TDIBReader* Reader) {
  const int width = Reader->Bitmap()->Width();
  const int height = Reader->Bitmap()->Height();
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = Reader->RowAddress(y);
    for (int x = 0; x < width; ++x, p += 3)
      AddColor(p[2], p[1], p[0]);
  }
  return true;
}

void TColorQuantizer::InsertColor(std::unique_ptr<TOctreeNode>& Node, uint8_t Red, uint8_t Green,
                                  uint8_t Blue, int Level) {
  TOctreeNode* node = nullptr;
  std::unique_ptr<TOctreeNode>* slot = &Node;
  for (;;) {
    if (!*slot) *slot = std::make_unique<TOctreeNode>(Level, FDepthBits, FLeafCount, FReducibleNodes);
    node = slot->get();
    if (node->Leaf) break;
    const int m = 0x80 >> Level;
    const int s = 7 - Level;
    const int index = (((Red & m) >> s) << 2) | (((Green & m) >> s) << 1) | ((Blue & m) >> s);
    slot = &node->Children[static_cast<size_t>(index)];
    ++Level;
  }
  ++node->PixelCount;
  node->RedSum += Red;
  node->GreenSum += Green;
  node->BlueSum += Blue;
}

bool TColorQuantizer::MergeDeepestNode() {
  int level = FDepthBits - 1;
  while (level > 0 && !FReducibleNodes[static_cast<size_t>(level)])
    --level;
  TOctreeNode* node = FReducibleNodes[static_cast<size_t>(level)];
  if (!node) return false;  // no reducible node is left
  FReducibleNodes[static_cast<size_t>(level)] = node->Next;
  node->Next = nullptr;
  int children = 0;
  for (auto& child : node->Children) {
    if (!child) continue;
    node->PixelCount += child->PixelCount;
    node->RedSum += child->RedSum;
    node->GreenSum += child->GreenSum;
    node->BlueSum += child->BlueSum;
    ++children;
    FreeSubtree(child);
  }
  node->Leaf = true;
  FLeafCount -= children - 1;
  return true;
}

void TColorQuantizer::Walk(const TOctreeNode* Node, std::array<RGBQUAD, 256>& Table, int& Index) {
  if (!Node) return;
  if (Node->Leaf) {
    if (Index >= 256) return;
    RGBQUAD& q = Table[static_cast<size_t>(Index++)];
    q = RGBQUAD{};
    if (Node->PixelCount > 0) {
      q.rgbRed = static_cast<BYTE>(Node->RedSum / Node->PixelCount);
      q.rgbGreen = static_cast<BYTE>(Node->GreenSum / Node->PixelCount);
      q.rgbBlue = static_cast<BYTE>(Node->BlueSum / Node->PixelCount);
    }
    return;
  }
  for (const auto& child : Node->Children)
    Walk(child.get(), Table, Index);
}

int TColorQuantizer::FillColorTable(std::array<RGBQUAD, 256>& Table) {
  int index = 0;
  Walk(FRoot.get(), Table, index);
  return index;
}

HPALETTE CreateQuantizedPalette(TDIBReader* Reader, int ColorCount, int DepthBits, bool WithSystemColors) {
  ColorCount = std::clamp(ColorCount, 1, 256);
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(ColorCount));
  int maximum = ColorCount;
  int first = 0;
  if (WithSystemColors) {
    entries.assign(256, PALETTEENTRY{});
    const PALETTEENTRY* system = DefaultPaletteEntries();
    std::copy(system, system + 10, entries.begin());
    std::copy(system + 10, system + 20, entries.begin() + 246);
    maximum = 236;
    first = 10;
  }
  std::array<RGBQUAD, 256> table{};  // unfilled entries stay black
  {
    TColorQuantizer quantizer(maximum, DepthBits);
    quantizer.AddImagePixels(Reader);
    quantizer.FillColorTable(table);
  }
  for (int i = 0; i < maximum; ++i) {
    const RGBQUAD& q = table[static_cast<size_t>(i)];
    entries[static_cast<size_t>(first + i)] = {q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
  }
  return PaletteOf(entries);
}

HPALETTE CreateQuantizedBitmapPalette(TBitmap* Bitmap, int ColorCount, int DepthBits, bool WithSystemColors) {
  TDIBReader reader(Bitmap, pf24bit);
  return CreateQuantizedPalette(&reader, ColorCount, DepthBits, WithSystemColors);
}

// ---- Reduction ---------------------------------------------------------------------------------------

std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherKind Dither, int RowWidth, TColorLookup* Lookup) {
  switch (Dither) {
    case dtNearest:
      return std::make_unique<TDitherEngine>(RowWidth, Lookup);
    case dtFloydSteinberg:
      return std::make_unique<TFloydSteinbergDitherer>(RowWidth, Lookup);
    case dtStucki:
      return std::make_unique<TStuckiDitherer>(RowWidth, Lookup);
    case dtSierra:
      return std::make_unique<TSierraDitherer>(RowWidth, Lookup);
    case dtJaJuNi:
      return std::make_unique<TJaJuNiDitherer>(RowWidth, Lookup);
    case dtSteveArche:
      return std::make_unique<TSteveArcheDitherer>(RowWidth, Lookup);
    case dtBurkes:
      return std::make_unique<TBurkesDitherer>(RowWidth, Lookup);
  }
  return nullptr;
}

namespace {

struct TPaletteHolder {
  HPALETTE Handle = nullptr;
  ~TPaletteHolder() {
    if (Handle) DeleteObject(Handle);  // the stock palette ignores this
  }
};

}  // namespace

std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap* Bitmap, TReductionMethod Method, TDitherKind Dither,
                                            HPALETTE Palette, int ReductionBits) {
  auto result = std::make_unique<TBitmap>();
  if (Method == rcNone) {
    result->Assign(Bitmap);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  const int width = Bitmap->Width();
  const int height = Bitmap->Height();
  if (int64_t{width} * height > 500000) result->SetPixelFormat(pf1bit);
  TDIBReader reader(Bitmap, pf24bit);
  if (static_cast<int>(Method) > static_cast<int>(rcCustomPalette)) return result;

  TPaletteHolder palette;
  std::unique_ptr<TColorLookup> lookup;
  switch (Method) {
    case rcSystem20:
      palette.Handle = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
      break;
    case rcHalftone:
      palette.Handle = CreateHalftoneScreenPalette();
      break;
    case rcGray4:
      palette.Handle = CreateGray4Palette();
      break;
    case rcMonochrome:
      palette.Handle = CreateMonochromePalette();
      lookup = std::make_unique<TMonochromeLookup>();
      break;
    case rcGray256:
      palette.Handle = CreateGrayPalette();
      lookup = std::make_unique<TGrayScaleLookup>();
      break;
    case rcWebPalette:
      palette.Handle = static_cast<HPALETTE>(CheckGDIHandle(CreateWebPalette()));
      lookup = std::make_unique<TNetscapeColorLookup>();
      break;
    case rcQuantize:
      palette.Handle = CreateQuantizedPalette(&reader, 1 << std::clamp(ReductionBits, 1, 8), 8, false);
      break;
    case rcQuantizeWithSystem:
      palette.Handle = CreateQuantizedPalette(&reader, 256, 8, true);
      break;
    case rcCustomPalette:
      palette.Handle = Palette ? CopyPalette(Palette) : nullptr;
      break;
    case rcNone:
      break;
  }
  if (!lookup) lookup = std::make_unique<TFastColorLookup>(palette.Handle);
  if (lookup->ColorCount() == 0 || width <= 0 || height <= 0) return result;
  std::unique_ptr<TDitherEngine> engine = CreateDitherEngine(Dither, width, lookup.get());
  if (!engine) return result;
  {
    TDIBWriter writer(result.get(), pf8bit, width, height, palette.Handle);
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = reader.RowAddress(y);
      uint8_t* dst = writer.RowAddress(y);
      int x = engine->CurrentColumn();
      while (x >= 0 && x < width) {
        const uint8_t* p = src + 3 * x;
        dst[x] = engine->DitherPixel(p[2], p[1], p[0]);
        x = engine->CurrentColumn();
      }
      engine->StartNextRow();
    }
  }
  return result;
}
