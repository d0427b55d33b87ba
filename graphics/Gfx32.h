// The 32-bit bitmap: TColor32 pixels kept top-down in a 32-bit DIB section with its own memory device
// context, so the pixels can be addressed directly and copied with GDI. Its ancestors give it a
// per-object lock with change notification (TThreadPersistent) and a size with a resize event
// (TCustomMap). Beside it: colour and rectangle helpers, a gamma table and loading of any registered
// picture file into a bitmap.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/GfxLowLevel.h"
#include "platform/gdi/Windows.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SyncObjs.h"

class TStream;
class TFiler;
class TFont;
class TGraphic;
class TBitmap;

// How a bitmap is laid onto another when drawn.
enum TDrawMode : uint8_t { dmOpaque, dmBlend, dmCustom };
// How a bitmap is resampled when drawn stretched.
enum TStretchFilter : uint8_t { sfNearest, sfLinear, sfLinear2, sfSpline };

// Combines the source pixel F into the destination pixel B with the master alpha M (dmCustom).
using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;

// A persistent object with its own lock (re-entrant for the thread holding it) and update counting.
class TThreadPersistent : public TPersistent {
 public:
  TThreadPersistent() = default;
  ~TThreadPersistent() override = default;

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate() { --FUpdateCount; }
  // Fires OnChange when no update is pending and the event is assigned.
  virtual void Changed();
  // Counts the lock under the process-wide lock, then enters the object's lock (waiting for another
  // thread that holds it). The process-wide lock is never held while the object lock is awaited.
  void Lock();
  // Leaves the object's lock, then counts down under the process-wide lock.
  void Unlock();

  [[nodiscard]] int LockCount() const;
  [[nodiscard]] int UpdateCount() const { return FUpdateCount; }

  TNotifyEvent OnChange;

 private:
  TCriticalSection FLock;
  int FLockCount = 0;
  int FUpdateCount = 0;
};

// A size with a resize event.
class TCustomMap : public TThreadPersistent {
 public:
  virtual void MakeEmpty() { SetSize(0, 0); }
  [[nodiscard]] virtual bool IsEmpty() const { return FWidth == 0 || FHeight == 0; }
  // Fires OnResize when assigned (whatever the update count).
  virtual void Resized();
  // Stores both values; True when either differed.
  virtual bool SetSize(int NewWidth, int NewHeight);

  [[nodiscard]] int Width() const { return FWidth; }
  [[nodiscard]] int Height() const { return FHeight; }
  void SetWidth(int Value) { SetSize(Value, FHeight); }
  void SetHeight(int Value) { SetSize(FWidth, Value); }

  TNotifyEvent OnResize;

 protected:
  int FHeight = 0;
  int FWidth = 0;
};

class TBitmap32 : public TCustomMap {
 public:
  TBitmap32();
  ~TBitmap32() override;

  // Takes the image of another TBitmap32 (with its draw settings), of a class-library bitmap (alpha
  // only from 32 bits), of any other graphic or picture (drawn, made opaque), or of the clipboard
  // (through a picture); null empties. OnChange fires once at the end.
  void Assign(TPersistent* Source) override;

  // Values below 1 become 0. Unchanged sizes return False and do nothing. Otherwise the old image is
  // released and, when both values are positive, a new zero-filled one is made; Changed and Resized
  // follow in every case, also when making the image failed. Raises Exception "Can't allocate the DIB
  // handle" when the pixel memory would exceed 2^31 - 1 bytes or cannot be had.
  bool SetSize(int NewWidth, int NewHeight) override;
  // True while no image exists.
  [[nodiscard]] bool IsEmpty() const override { return FHandle == nullptr; }
  void MakeEmpty() override { SetSize(0, 0); }

  // Every pixel := Color, then Changed; nothing on an empty bitmap.
  void Clear(TColor32 Color = 0xFF000000);
  // Rows Y1..Y2-1, columns X1..X2-1 := Value (the part inside the bitmap), then Changed.
  void FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value);
  // Returns at once for an empty or wholly outside area; else clips and calls FillRect.
  void FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value);
  // Alpha of every pixel := 255, then Changed.
  void MakeOpaque();

  // Pixel access without checks: X must lie in 0..Width-1 and Y in 0..Height-1.
  [[nodiscard]] TColor32 Pixel(int X, int Y) const { return FBits[static_cast<size_t>(Y) * FWidth + X]; }
  [[nodiscard]] TColor32 GetPixel(int X, int Y) const { return Pixel(X, Y); }
  void SetPixel(int X, int Y, TColor32 Value) { FBits[static_cast<size_t>(Y) * FWidth + X] = Value; }
  [[nodiscard]] PColor32 ScanLine(int Y) const { return FBits + static_cast<size_t>(Y) * FWidth; }
  [[nodiscard]] PColor32 PixelPointer(int X, int Y) const { return ScanLine(Y) + X; }
  // Pixel (0, 0); rows follow each other without gaps. Null while empty.
  [[nodiscard]] PColor32 Bits() const { return FBits; }
  [[nodiscard]] TRect BoundsRect() const { return {0, 0, FWidth, FHeight}; }

  // Draws Src onto this bitmap at (X, Y); nothing when Src is null.
  void Draw(int X, int Y, TBitmap32* Src);
  void DrawTo(TBitmap32* Dst);
  // Block transfer of the whole bitmap to (X, Y) of Dst with this bitmap's DrawMode; then Dst's Changed.
  void DrawTo(TBitmap32* Dst, int X, int Y);
  // Stretch transfer of the whole bitmap (or of SrcRect) into DstRect of Dst; then Dst's Changed.
  void DrawTo(TBitmap32* Dst, const TRect& DstRect);
  void DrawTo(TBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect);
  // GDI block copy of the whole bitmap to (X, Y) of a device context; nothing when empty.
  void DrawToDC(HDC DC, int X, int Y) const;

  // True when both are empty, or both are TBitmap32s of the same size and pixels (alpha included).
  [[nodiscard]] bool SameImage(const TBitmap32* Other) const;

  // The streamed "Data" property: Width, Height (signed 32-bit little-endian), then the pixels.
  virtual void ReadData(TStream* Stream);
  virtual void WriteData(TStream* Stream) const;

  [[nodiscard]] TDrawMode DrawMode() const { return FDrawMode; }
  void SetDrawMode(TDrawMode Value);
  [[nodiscard]] uint32_t MasterAlpha() const { return FMasterAlpha; }
  void SetMasterAlpha(uint32_t Value);
  [[nodiscard]] TColor32 OuterColor() const { return FOuterColor; }
  void SetOuterColor(TColor32 Value) { FOuterColor = Value; }
  [[nodiscard]] TStretchFilter StretchFilter() const { return FStretchFilter; }
  void SetStretchFilter(TStretchFilter Value);

  // The memory device context with the image selected into it; null while empty.
  [[nodiscard]] HDC Handle() const { return FHDC; }
  // The DIB section; null while empty.
  [[nodiscard]] HBITMAP BitmapHandle() const { return FHandle; }
  [[nodiscard]] TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value);

  TPixelCombineEvent OnPixelCombine;

 protected:
  // A 32-bit copy into a class-library bitmap or picture, or onto the clipboard (through a bitmap).
  void AssignTo(TPersistent* Dest) override;
  // Defines "Data", written when the filer has no ancestor and the image is not empty, or when the
  // ancestor is not a TBitmap32 with the same image.
  void DefineProperties(TFiler* Filer) override;
  [[nodiscard]] std::string ClassName() const override { return "TBitmap32"; }

 private:
  [[nodiscard]] bool DataNeedsWriting(const TPersistent* Ancestor) const;
  void ReleaseImage();
  void CreateImage(int NewWidth, int NewHeight);
  void FontChanged(TObject* Sender);
  void CopyPixelsFrom(const TBitmap32* Source);
  // The picture rows of Assign: a TBitmap by a block copy, any other graphic drawn onto this bitmap.
  void AssignGraphic(TGraphic* Graphic);
  // Makes Bitmap a 32-bit DIB of this size holding a copy of all pixels.
  void CopyToBitmap(TBitmap* Bitmap) const;

  PColor32 FBits = nullptr;
  TDrawMode FDrawMode = dmOpaque;
  std::unique_ptr<TFont> FFont;
  HBITMAP FHandle = nullptr;
  HDC FHDC = nullptr;
  uint32_t FMasterAlpha = 255;
  TColor32 FOuterColor = 0;
  TStretchFilter FStretchFilter = sfNearest;
  HFONT FFontHandle = nullptr;
};

// A pair of singles.
struct TFloatPoint {
  float X = 0;
  float Y = 0;
  friend bool operator==(const TFloatPoint&, const TFloatPoint&) = default;
};

// A class-library colour (system colours allowed) as an opaque TColor32.
[[nodiscard]] TColor32 Color32FromTColor(int32_t Color);
[[nodiscard]] constexpr TColor32 PackColor32(int R, int G, int B, int A) {
  return (static_cast<TColor32>(A & 0xFF) << 24) + (static_cast<TColor32>(R & 0xFF) << 16) +
         (static_cast<TColor32>(G & 0xFF) << 8) + static_cast<TColor32>(B & 0xFF);
}
// (R*61 + G*174 + B*21) >> 8: 0..255.
[[nodiscard]] constexpr int Color32Intensity(TColor32 C) {
  return static_cast<int>((((C >> 16) & 0xFF) * 61 + ((C >> 8) & 0xFF) * 174 + (C & 0xFF) * 21) >> 8);
}
// C with its alpha byte replaced by A held to 0..255.
[[nodiscard]] constexpr TColor32 ReplaceAlpha(TColor32 C, int A) {
  return (C & 0x00FFFFFFu) | (static_cast<TColor32>(ConstrainInt(A, 0, 255)) << 24);
}
[[nodiscard]] constexpr TFloatPoint FloatPoint(float X, float Y) {
  return {X, Y};
}
[[nodiscard]] constexpr TRect MakeRect(int Left, int Top, int Right, int Bottom) {
  return {Left, Top, Right, Bottom};
}
// The larger Left and Top, the smaller Right and Bottom; test the result with IsRectangleEmpty.
[[nodiscard]] constexpr TRect IntersectRectangles(const TRect& R1, const TRect& R2) {
  return {R1.Left > R2.Left ? R1.Left : R2.Left, R1.Top > R2.Top ? R1.Top : R2.Top,
          R1.Right < R2.Right ? R1.Right : R2.Right, R1.Bottom < R2.Bottom ? R1.Bottom : R2.Bottom};
}
[[nodiscard]] constexpr bool RectsEqual(const TRect& R1, const TRect& R2) {
  return R1 == R2;
}
constexpr void OffsetRectangle(TRect& R, int DX, int DY) {
  R.Left += DX;
  R.Right += DX;
  R.Top += DY;
  R.Bottom += DY;
}
[[nodiscard]] constexpr bool IsRectangleEmpty(const TRect& R) {
  return R.Right <= R.Left || R.Bottom <= R.Top;
}

// Entry i = 255 * (i / 255) ^ Gamma rounded to the nearest integer (ties to even). Filled with 0.7 at
// start-up.
void BuildGammaTable(float Gamma);
[[nodiscard]] const std::array<uint8_t, 256>& GammaTable();

// Loads any registered picture format into Bitmap (through a temporary picture, freed in every case).
void LoadBitmap32FromFile(TBitmap32* Bitmap, const std::string& FileName);
