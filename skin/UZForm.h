// The back-buffered form beneath every window: the face is rendered by a list of paint stages into a
// 32-bit back buffer only when it became invalid, and each paint message copies that buffer to the window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "graphics/Gfx32.h"
#include "platform/rtl/Types.h"
#include "platform/ui/Forms.h"
#include "skin/GfxImage.h"
#include "skin/GfxLayers.h"

// How the form's Bitmap is sized inside the form.
enum class TScaleMode : uint8_t { smNormal, smStretch, smScale, smResize };

// The bitmap-to-form mapping in 16.16 fixed point, derived from the cached bitmap rectangle.
struct TFixedTransform {
  int32_t ScaleX = 65536;
  int32_t ScaleY = 65536;
  int32_t ShiftX = 0;
  int32_t ShiftY = 0;
  int32_t RevScaleX = 65536;
  int32_t RevScaleY = 65536;
  friend bool operator==(const TFixedTransform&, const TFixedTransform&) = default;
};

// The size the back buffer takes for a viewport. The buffer grows with Margin pixels to spare and shrinks
// only when it is more than Margin pixels too large; Margin -1 keeps it exactly at the viewport's size.
[[nodiscard]] TSize BackBufferSizeFor(TSize Current, TSize Viewport, int Margin);

// The size of the bitmap inside a form of FormSize for a bitmap of BitmapSize (empty when either is).
[[nodiscard]] TSize ScaledBitmapSize(TScaleMode Mode, TSize BitmapSize, TSize FormSize, float Scale);

// The fixed-point mapping of a bitmap of BitmapSize drawn into BitmapRect; identity when either is empty.
[[nodiscard]] TFixedTransform BitmapTransform(const TRect& BitmapRect, TSize BitmapSize);

// The bands of a form of FormSize that a bitmap drawn into BitmapRect leaves uncovered: top, bottom,
// left, right; none when the bitmap covers the whole form.
struct TBackgroundBands {
  int Count = 0;
  TRect Bands[4];
};
[[nodiscard]] TBackgroundBands BackgroundBands(const TRect& BitmapRect, TSize FormSize);

using TImgMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                          int Y, TCustomLayer* Layer)>;
using TImgMouseMoveEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int X, int Y, TCustomLayer* Layer)>;
using TPaintStageEvent = std::function<void(TObject* Sender, TBitmap32* Buffer, Cardinal StageNum)>;

// A borderless form whose whole face is painted from a 32-bit back buffer. The paint stages render into
// the buffer only when it became invalid; every paint message copies the buffer with one block transfer.
// One of the stages draws Bitmap, sized in the form by ScaleMode. The background is never erased.
class TZForm : public TForm {
 public:
  explicit TZForm(TComponent* AOwner);
  ~TZForm() override;

  [[nodiscard]] TBitmap32* Bitmap() const { return FBitmap.get(); }
  // Copies Value into the owned bitmap.
  void SetBitmap(TBitmap32* Value);
  [[nodiscard]] float OffsetHorz() const { return FOffsetHorz; }
  void SetOffsetHorz(float Value);
  [[nodiscard]] float OffsetVert() const { return FOffsetVert; }
  void SetOffsetVert(float Value);
  [[nodiscard]] float Scale() const { return FScale; }
  // Values below 0.001 become 0.001.
  void SetScale(float Value);
  [[nodiscard]] TScaleMode ScaleMode() const { return FScaleMode; }
  void SetScaleMode(TScaleMode Value);
  // The bitmap's pixel-combine event.
  [[nodiscard]] const TPixelCombineEvent& OnBitmapPixelCombine() const { return FBitmap->OnPixelCombine; }
  void SetOnBitmapPixelCombine(TPixelCombineEvent Value);

  [[nodiscard]] TPaintStages* PaintStages() const { return FPaintStages.get(); }
  [[nodiscard]] TLayerCollection* Layers() const { return FLayers.get(); }
  [[nodiscard]] TBitmap32* BackBuffer() const { return FBuffer.get(); }
  [[nodiscard]] bool BufferCurrent() const { return FBufferCurrent; }
  [[nodiscard]] int BufferMargin() const { return FBufferMargin; }
  void SetBufferMargin(int Value) { FBufferMargin = Value; }
  [[nodiscard]] int UpdateCount() const { return FUpdateCount; }
  // The cached bitmap rectangle and its fixed-point transform (made current first).
  [[nodiscard]] TRect BitmapRect();
  [[nodiscard]] const TFixedTransform& Transform();

  virtual void PaintBufferStages();
  virtual void PaintOverlay();
  virtual void HandleBitmapResize();
  virtual void FireInitStages();
  virtual void ScaleChanged() {}
  virtual void AddDefaultStages();
  virtual void GetViewport(TRect& Rect);
  virtual void BeginUpdate() { ++FUpdateCount; }
  // Invalidates and fires OnChange, unless an update is pending.
  virtual void Changed();
  virtual void EndUpdate() { --FUpdateCount; }
  virtual void PaintBitmapFrameStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintBackgroundStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintClearStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintControlFrameStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintCustomStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintBitmapStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void PaintLayersStage(TBitmap32* Buffer, Cardinal StageNum);
  virtual void ComputeBitmapRect(TRect& Rect);
  virtual void ComputeBitmapSize(TSize& Size);

  // Whether the stages that run leave exactly Bitmap's pixels in the viewport: Bitmap is opaque and
  // covers it 1:1, and no running stage draws anything else (a copy of the buffer is then a copy of
  // Bitmap). Holds for the stage painting of this class.
  [[nodiscard]] bool StagesCopyBitmap();
  // Brings the back buffer to the viewport's size (with the margin rule).
  void ResizeBackBuffer();
  void UpdateBitmapRectCache();

  void Invalidate() override;
  void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

  TNotifyEvent OnBitmapResize;
  TNotifyEvent OnChange;
  TNotifyEvent OnGDIOverlay;
  TNotifyEvent OnInitStages;
  // These hide the control's plain mouse events: the form fires these, with the layer that was hit.
  TImgMouseEvent OnMouseDown;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TImgMouseMoveEvent OnMouseMove;
  TImgMouseEvent OnMouseUp;
  TPaintStageEvent OnPaintStage;

 protected:
  void ReadResource() override;
  void Loaded() override;
  bool CanAutoSize(int& NewWidth, int& NewHeight) override;
  void PaintWindow(HDC DC) override;
  void Resize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void CMMouseEnter(TMessage& Message) override;
  void CMMouseLeave(TMessage& Message) override;
  void WMEraseBkgnd(TMessage& Message) override;

 private:
  // The bitmap size (scaled in smScale) that auto size takes.
  [[nodiscard]] TSize AutoSizeExtent() const;

  std::unique_ptr<TBitmap32> FBuffer;
  int FBufferMargin = 40;
  bool FBufferCurrent = false;
  std::unique_ptr<TBitmap32> FBitmap;
  std::unique_ptr<TLayerCollection> FLayers;
  float FOffsetHorz = 0;
  float FOffsetVert = 0;
  std::unique_ptr<TPaintStages> FPaintStages;
  float FScale = 1.0f;
  TScaleMode FScaleMode = TScaleMode::smNormal;
  int FUpdateCount = 0;
  TRect FCachedBitmapRect;
  TFixedTransform FTransform;
  bool FRectCacheCurrent = false;
};
