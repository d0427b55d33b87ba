// TBitmap: a device-independent bitmap with its canvas, mask and palette, read from and written to BMP.
#pragma once

#include "platform/gdi/Graphics.h"

// The pixel formats of TBitmap. pfDevice stands for the screen's 32 bits; pfCustom is not settable.
enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
using enum TPixelFormat;
enum class TTransparentMode { tmAuto, tmFixed };
using enum TTransparentMode;
enum class TBitmapHandleType { bmDIB, bmDDB };
using enum TBitmapHandleType;

// Bytes of one DIB row of the given width and depth (padded to 4 bytes).
[[nodiscard]] int BytesPerScanline(int PixelsPerScanline, int BitsPerPixel, int Alignment = 32);

class TBitmapCanvas;

// A device-independent bitmap: rows in DIB layout (padded to 4 bytes; 24 bits as B, G, R; 1 bit MSB
// first), row 0 the top row whatever the memory order, a colour table for 1, 4 and 8 bits. New pixels
// are zero. OnChange fires after every change (also after drawing on its Canvas).
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;

  void Assign(TPersistent* Source) override;
  [[nodiscard]] bool Empty() const override;
  [[nodiscard]] int Width() const override;
  void SetWidth(int Value) override;
  [[nodiscard]] int Height() const override;
  void SetHeight(int Value) override;
  void SetSize(int AWidth, int AHeight);

  [[nodiscard]] TCanvas* Canvas();
  [[nodiscard]] TPixelFormat PixelFormat() const;
  // Converts the pixels in place (to the 16- or 256-colour system palettes for 4 and 8 bits, black and
  // white for 1 bit, choosing the nearest colour).
  void SetPixelFormat(TPixelFormat Value);
  [[nodiscard]] TBitmapHandleType HandleType() const { return FHandleType; }
  void SetHandleType(TBitmapHandleType Value) { FHandleType = Value; }
  // Row Row of the picture (0 = top); raises EInvalidGraphicOperation "Bereichsüberschreitung bei
  // Zeilenindex" outside 0..Height-1.
  [[nodiscard]] void* ScanLine(int Row);
  [[nodiscard]] int BytesPerRow() const;

  // The DIB section (owned by the bitmap; null while empty).
  [[nodiscard]] HBITMAP Handle();
  // Takes over a bitmap handle (a DIB section or a device bitmap); null empties the bitmap.
  void SetHandle(HBITMAP Value);
  // Gives up the handle: the caller owns it; the bitmap becomes empty.
  [[nodiscard]] HBITMAP ReleaseHandle();
  // A monochrome mask: 1 (white) where a pixel has TransparentColor, 0 elsewhere. Owned by the bitmap.
  [[nodiscard]] HBITMAP MaskHandle();
  [[nodiscard]] HBITMAP ReleaseMaskHandle();
  // The colour table as a palette (owned by the bitmap); null for bitmaps without a colour table.
  [[nodiscard]] HPALETTE Palette() override;
  void SetPalette(HPALETTE Value) override;
  [[nodiscard]] HPALETTE ReleasePalette();
  [[nodiscard]] bool Monochrome() const;
  void SetMonochrome(bool Value);

  [[nodiscard]] TColor TransparentColor();
  void SetTransparentColor(TColor Value);
  [[nodiscard]] TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);

  void Dormant() {}
  void FreeImage() {}
  void Mask(TColor TransparentColor);

  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  // Decodes a BMP file held in memory (all or nothing).
  void LoadFromBytes(const uint8_t* Data, size_t Size);
  [[nodiscard]] std::vector<uint8_t> SaveToBytes();

  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void Changed(TObject* Sender) override;

 protected:
  std::string ClassName() const override { return "TBitmap"; }
  void AssignTo(TPersistent* Dest) override;

 private:
  friend class TBitmapCanvas;
  void NewImage(HBITMAP Bitmap);
  void FreeMask();
  void FreePalette();
  void FreeCanvasHandle();
  HBITMAP FHandle = nullptr;
  HBITMAP FMaskHandle = nullptr;
  HPALETTE FPalette = nullptr;
  int FEmptyWidth = 0;  // size kept while there are no pixels (a side set to 0)
  int FEmptyHeight = 0;
  TPixelFormat FPendingFormat = pfDevice;  // format for the next allocation
  std::unique_ptr<TBitmapCanvas> FCanvas;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  TBitmapHandleType FHandleType = bmDIB;
  bool FMonochromeRequested = false;
};

// The canvas of a TBitmap: a memory DC with the bitmap selected, created on demand.
class TBitmapCanvas final : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* ABitmap) : FBitmap(ABitmap) {}
  ~TBitmapCanvas() override;
  void FreeContext();

 protected:
  void CreateHandle() override;

 private:
  TBitmap* FBitmap;
  HGDIOBJ FOldBitmap = nullptr;
};
