// One image of a GIF file: its descriptor, local colour table, the extensions in front of it and its
// pixels as one colour index per byte.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFCore.h"
#include "gif/GIFExtensions.h"
#include "platform/gdi/Bitmap.h"
#include "platform/rtl/Types.h"

// The Image Descriptor, field by field as stored (little-endian in the file).
struct TImageDescriptor {
  uint8_t Separator = 0x2C;
  uint16_t Left = 0;
  uint16_t Top = 0;
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t PackedFields = 0;
};

inline constexpr uint8_t idLocalColorTable = 0x80;
inline constexpr uint8_t idInterlaced = 0x40;
inline constexpr uint8_t idSort = 0x20;
inline constexpr uint8_t idReserved = 0x18;
inline constexpr uint8_t idColorTableSize = 0x07;

class TGIFSubImage final : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* Image);
  // Leaves the image's frame list.
  ~TGIFSubImage() override;

  void Clear();
  [[nodiscard]] int Left() const { return FDescriptor.Left; }
  [[nodiscard]] int Top() const { return FDescriptor.Top; }
  [[nodiscard]] int Width() const { return FDescriptor.Width; }
  [[nodiscard]] int Height() const { return FDescriptor.Height; }
  void SetLeft(int Value) { SetBounds(Value, Top(), Width(), Height()); }
  void SetTop(int Value) { SetBounds(Left(), Value, Width(), Height()); }
  void SetWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }
  void SetHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }
  // Places the frame; a new size gives a zeroed pixel buffer, and the logical screen grows to hold it.
  // Raises "Invalid image dimensions" for a frame reaching past 65535 or too many pixels.
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
  [[nodiscard]] TRect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }
  [[nodiscard]] bool IsEmpty() const;
  [[nodiscard]] bool Interlaced() const { return (FDescriptor.PackedFields & idInterlaced) != 0; }
  void SetInterlaced(bool Value);
  [[nodiscard]] const TImageDescriptor& Descriptor() const { return FDescriptor; }

  [[nodiscard]] TGIFLocalColorMap* ColorMap() const { return FColorMap.get(); }
  [[nodiscard]] int ColorTableBits() const { return FColorMap->IndexBits(); }
  [[nodiscard]] int ColorTableSizeField() const { return FColorMap->IndexBits() - 1; }
  // The local table when it has colours, else the image's global table when that has colours, else the
  // (empty) local table.
  [[nodiscard]] TGIFColorMap* ActiveColorTable() const;

  [[nodiscard]] uint8_t* Pixels() const { return FPixels.get(); }
  [[nodiscard]] int64_t PixelsSize() const { return FPixelsSize; }
  [[nodiscard]] uint8_t PixelAt(int X, int Y);
  [[nodiscard]] uint8_t* RowPointer(int Y);
  void RequirePixels();
  void AllocatePixels();
  void ReleasePixels();

  [[nodiscard]] TGIFExtensionList* Extensions() const { return FExtensions.get(); }
  [[nodiscard]] bool Transparent() const { return FTransparent; }
  [[nodiscard]] TGIFGraphicControlExtension* ControlExtension() const { return FControlExtension; }
  // Kept up to date by the graphic control extension that controls the frame.
  void SetControlExtension(TGIFGraphicControlExtension* Extension) { FControlExtension = Extension; }
  void SetTransparentFlag(bool Value);

  [[nodiscard]] int RequiredVersion() const override;
  void SaveToStream(TStream* Stream) override;
  void LoadFromStream(TStream* Stream) override;
  void Assign(TPersistent* Source) override;

  // Cuts away rows and columns at the edges that show only the transparent colour.
  void TrimTransparentBorder();
  // Makes the pixels that repeat what Previous shows at the same screen position transparent.
  void MaskUnchangedPixels(TGIFSubImage* Previous);

  // The palette the frame is shown with: its cached handle, else a new one from its own colour table
  // (the web palette when the image dithers), else the image's palette (not cached).
  [[nodiscard]] HPALETTE Palette();
  // Replaces the cached palette handle (the frame owns it).
  void SetPalette(HPALETTE Value);

  // Caches that depend on the pixels, the colours or the transparency are dropped.
  void ReleaseBitmap() { FBitmap.reset(); }
  void ReleaseMask();

  // The 8-bit rendering of the frame (dithered to the web palette when the image dithers), made on
  // first use; null for an empty frame. With transparency it also builds the mask.
  [[nodiscard]] TBitmap* GetBitmap();
  [[nodiscard]] bool HasBitmap() const { return FBitmap != nullptr; }
  // An empty bitmap in place of the rendered one.
  TBitmap* NewBitmap();
  // A transparent frame renders again (which builds the mask) while its mask is due; true when a mask
  // of its transparent pixels exists.
  [[nodiscard]] bool HasMask();
  // Monochrome mask, a set bit marking a transparent pixel; null without transparent pixels.
  [[nodiscard]] HBITMAP Mask() const { return FMask; }
  // Draws the frame at its place in the logical screen that Rect stands for, or (Tile) repeated in steps
  // of the screen size from the rectangle's top-left corner plus the frame's offset.
  void Draw(TCanvas* ACanvas, const TRect& Rect, bool DoTransparent, bool DoTile);
  // Where Draw puts the frame for a logical screen drawn into Rect (not tiled).
  [[nodiscard]] TRect ScaledRect(const TRect& Rect) const;
  // Copies through a mask (set bits keep the destination), stretching when the sizes differ.
  static bool MaskedStretchBlt(HDC DestDC, int DestX, int DestY, int DestWidth, int DestHeight, HDC SrcDC,
                               int SrcX, int SrcY, int SrcWidth, int SrcHeight, HBITMAP MaskBitmap, int MaskX,
                               int MaskY);
  // Pixels whose mask pixel is set take a new black entry and become transparent.
  void ImportMask(TBitmap* MaskBitmap);
  void PixelsChanged();
  void ColorsChanged();

 protected:
  [[nodiscard]] std::string ClassName() const override { return "TGIFSubImage"; }
  // A TBitmap destination takes a copy of the rendered frame.
  void AssignTo(TPersistent* Dest) override;

 private:
  void CheckedStoreBounds(int ALeft, int ATop, int AWidth, int AHeight);
  [[nodiscard]] int ChooseTransparentIndex();
  [[nodiscard]] bool HasRoomForTransparentIndex(int& Reusable) const;
  [[nodiscard]] std::unique_ptr<TBitmap> StartRendering();
  std::unique_ptr<TBitmap> RenderDirect();
  std::unique_ptr<TBitmap> RenderDithered();
  // Pixels flagged in Transparent (one byte per pixel, row by row) take a new black entry.
  void ImportTransparency(const std::vector<uint8_t>& Transparent);
  void FinishMask(std::vector<uint8_t>& MaskBits, bool AnySet);
  void AssignBitmap(TBitmap* Source);
  void AssignGraphic(TGraphic* Source);
  void Progress(TProgressStage Stage, int Percent, const std::string& Message);

  struct FreePixels {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  using TPixelBuffer = std::unique_ptr<uint8_t[], FreePixels>;

  std::unique_ptr<TBitmap> FBitmap;
  HBITMAP FMask = nullptr;
  bool FMaskNeeded = true;
  HPALETTE FPaletteHandle = nullptr;
  TPixelBuffer FPixels;
  int64_t FPixelsSize = 0;
  std::unique_ptr<TGIFLocalColorMap> FColorMap;
  TImageDescriptor FDescriptor;
  std::unique_ptr<TGIFExtensionList> FExtensions;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FControlExtension = nullptr;
};
