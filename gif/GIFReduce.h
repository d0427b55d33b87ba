// Colour reduction of true-colour pictures to 8-bit ones: the fixed palettes, the octree quantizer that
// computes a palette from a picture's colours, and ReduceBitmapColors, which chooses palette, lookup and
// dither engine and writes the reduced rows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "gif/GIFDIB.h"
#include "gif/GIFDither.h"
#include "gif/GIFImage.h"
#include "platform/gdi/Bitmap.h"

// The fixed palettes (the caller owns each). CreateWebPalette is in GIFCore.h.
[[nodiscard]] HPALETTE CreateGrayPalette();
[[nodiscard]] HPALETTE CreateMonochromePalette();
[[nodiscard]] HPALETTE CreateGray4Palette();
[[nodiscard]] HPALETTE CreateHalftoneScreenPalette();

class TOctreeNode;
using TReducibleNodes = std::array<TOctreeNode*, 8>;

class TOctreeNode final : public TObject {
 public:
  TOctreeNode(int Level, int DepthBits, int& LeafCount, TReducibleNodes& ReducibleNodes);
  ~TOctreeNode() override = default;

  bool Leaf = false;
  int PixelCount = 0;
  int RedSum = 0;
  int GreenSum = 0;
  int BlueSum = 0;
  TOctreeNode* Next = nullptr;
  std::array<std::unique_ptr<TOctreeNode>, 8> Children;
};

// An octree of the picture's colours, merged from the deepest level (newest node first) whenever it
// holds more leaves than the maximum; the leaves' mean colours make the palette.
class TColorQuantizer final : public TObject {
 public:
  // DepthBits is kept within 1..8.
  TColorQuantizer(int MaxColors, int DepthBits);
  ~TColorQuantizer() override;
  // Adds every pixel of a 24-bit reader, rows from the top; always true.
  bool AddImagePixels(TDIBReader* Reader);
  void AddColor(uint8_t Red, uint8_t Green, uint8_t Blue);
  // Writes one colour-table entry (blue, green, red, 0) per leaf, depth first, children in index order.
  // Returns the number of entries written.
  int FillColorTable(std::array<RGBQUAD, 256>& Table);
  [[nodiscard]] int LeafCount() const { return FLeafCount; }

 private:
  void InsertColor(std::unique_ptr<TOctreeNode>& Node, uint8_t Red, uint8_t Green, uint8_t Blue, int Level);
  // Merges the newest reducible node of the deepest level that has one; false when none is left.
  bool MergeDeepestNode();
  static void FreeSubtree(std::unique_ptr<TOctreeNode>& Node);
  static void Walk(const TOctreeNode* Node, std::array<RGBQUAD, 256>& Table, int& Index);

  std::unique_ptr<TOctreeNode> FRoot;
  int FLeafCount = 0;
  TReducibleNodes FReducibleNodes{};
  int FMaxColors;
  int FDepthBits;
};

// A palette of ColorCount colours computed from the reader's rows; with system colours the first and
// last ten entries are the default palette's twenty and 236 colours are computed. Entries the picture
// does not fill are black.
[[nodiscard]] HPALETTE CreateQuantizedPalette(TDIBReader* Reader, int ColorCount, int DepthBits,
                                              bool WithSystemColors);
// Converts Bitmap to 24 bits and computes its palette.
[[nodiscard]] HPALETTE CreateQuantizedBitmapPalette(TBitmap* Bitmap, int ColorCount, int DepthBits,
                                                    bool WithSystemColors);

// A new 8-bit copy of Bitmap reduced by Method and dithered by Dither (a 24-bit copy for rcNone). The
// source is converted to 24 bits (except for rcNone). Palette is used by rcCustomPalette (copied).
// An unknown method or dither kind, or a palette without colours, gives an empty bitmap.
[[nodiscard]] std::unique_ptr<TBitmap> ReduceBitmapColors(TBitmap* Bitmap, TReductionMethod Method,
                                                          TDitherKind Dither, HPALETTE Palette,
                                                          int ReductionBits);
// The dither engine of a kind (null for an unknown kind).
[[nodiscard]] std::unique_ptr<TDitherEngine> CreateDitherEngine(TDitherKind Dither, int RowWidth,
                                                                TColorLookup* Lookup);
