// Row access to bitmaps for colour reduction and frame rendering: a reader over an existing TBitmap in a
// chosen pixel format, and a writer that builds a private 8- or 24-bit DIB and moves it into a TBitmap
// when it is destroyed.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Windows.h"
#include "platform/rtl/Objects.h"

class TDIB : public TObject {
 public:
  TDIB(TBitmap* ABitmap, TPixelFormat APixelFormat) : FBitmap(ABitmap), FPixelFormat(APixelFormat) {}
  // First byte of row Row (0 = top row).
  [[nodiscard]] virtual uint8_t* RowAddress(int Row) = 0;
  [[nodiscard]] TBitmap* Bitmap() const { return FBitmap; }
  [[nodiscard]] TPixelFormat PixelFormat() const { return FPixelFormat; }

 protected:
  TBitmap* FBitmap;
  TPixelFormat FPixelFormat;
};

// Converts the bitmap to the given format (it keeps that format) and hands out its rows.
class TDIBReader final : public TDIB {
 public:
  TDIBReader(TBitmap* ABitmap, TPixelFormat APixelFormat);
  [[nodiscard]] uint8_t* RowAddress(int Row) override;
};

// Builds an 8-bit (with the palette's colours, the rest black) or 24-bit DIB on first row access; on
// destruction the picture goes into the bitmap as a BMP stream would give it. A writer whose rows were
// never asked for leaves the bitmap alone. Raises "Unsupported PixelFormat" for other formats and
// "Invalid image dimensions" for a zero width or height.
class TDIBWriter final : public TDIB {
 public:
  TDIBWriter(TBitmap* ABitmap, TPixelFormat APixelFormat, int AWidth, int AHeight, HPALETTE APalette);
  ~TDIBWriter() override;
  TDIBWriter(const TDIBWriter&) = delete;
  TDIBWriter& operator=(const TDIBWriter&) = delete;
  // Raises EInvalidGraphicOperation "Bereichsüberschreitung bei Zeilenindex" outside 0..Height-1.
  [[nodiscard]] uint8_t* RowAddress(int Row) override;
  [[nodiscard]] int RowBytes() const;

  // Rewrites palette entries (red, green, blue, flags) in place as colour-table entries (blue, green,
  // red, 0).
  static void PaletteEntriesToRGBQuads(uint8_t* Entries, int Count);

 private:
  void AllocateDIB();
  void ReleaseDIB();
  void EnsureDIB();
  void FlushToBitmap();

  std::vector<uint8_t> FHeader;
  std::vector<uint8_t> FPixels;
  bool FBuilt = false;
  HPALETTE FPalette;
  int FHeight;
  int FWidth;
};
