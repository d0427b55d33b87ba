#include "skin/UZForm.h"

#include <algorithm>
#include <cmath>

#include "platform/gdi/Windows.h"
#include "platform/rtl/SysUtils.h"

namespace {

int RoundHalfEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

}  // namespace

TSize BackBufferSizeFor(TSize Current, TSize Viewport, int Margin) {
  const int w = std::max(Viewport.cx, 0);
  const int h = std::max(Viewport.cy, 0);
  if (Current.cx == w && Current.cy == h) return Current;
  if (Margin == -1) return {w, h};
  TSize result = Current;
  if (Current.cx < w) result.cx = w + Margin;
  if (Current.cy < h) result.cy = h + Margin;
  if (w < Current.cx - Margin) result.cx = w;
  if (h < Current.cy - Margin) result.cy = h;
  return result;
}

TSize ScaledBitmapSize(TScaleMode Mode, TSize BitmapSize, TSize FormSize, float Scale) {
  if (BitmapSize.cx <= 0 || BitmapSize.cy <= 0 || FormSize.cx == 0 || FormSize.cy == 0) return {0, 0};
  switch (Mode) {
    case TScaleMode::smNormal:
      return BitmapSize;
    case TScaleMode::smStretch:
      return FormSize;
    case TScaleMode::smScale:
      return {RoundHalfEven(BitmapSize.cx * static_cast<double>(Scale)),
              RoundHalfEven(BitmapSize.cy * static_cast<double>(Scale))};
    case TScaleMode::smResize: {
      const float a = static_cast<float>(static_cast<double>(FormSize.cx) / BitmapSize.cx);
      const float b = static_cast<float>(static_cast<double>(FormSize.cy) / BitmapSize.cy);
      if (a >= b) return {RoundHalfEven(BitmapSize.cx * static_cast<double>(b)), FormSize.cy};
      return {FormSize.cx, RoundHalfEven(static_cast<double>(a) * BitmapSize.cy)};
    }
  }
  return BitmapSize;
}

TFixedTransform BitmapTransform(const TRect& BitmapRect, TSize BitmapSize) {
  const int w = BitmapRect.Right - BitmapRect.Left;
  const int h = BitmapRect.Bottom - BitmapRect.Top;
  if (w <= 0 || h <= 0 || BitmapSize.cx <= 0 || BitmapSize.cy <= 0) return {};
  TFixedTransform t;
  t.ShiftX = BitmapRect.Left;
  t.ShiftY = BitmapRect.Top;
  t.ScaleX = MulDiv(w, 65536, BitmapSize.cx);
  t.ScaleY = MulDiv(h, 65536, BitmapSize.cy);
  t.RevScaleX = MulDiv(BitmapSize.cx, 65536, w);
  t.RevScaleY = MulDiv(BitmapSize.cy, 65536, h);
  return t;
}

TBackgroundBands BackgroundBands(const TRect& B, TSize FormSize) {
  TBackgroundBands result;
  const int W = FormSize.cx;
  const int H = FormSize.cy;
  if (B.Left > 0 || B.Right < W || B.Top > 0 || B.Bottom < H) {
    result.Count = 4;
    result.Bands[0] = Rect(0, 0, W, B.Top);
    result.Bands[1] = Rect(0, B.Bottom, W, H);
    result.Bands[2] = Rect(0, B.Top, B.Left, B.Bottom);
    result.Bands[3] = Rect(B.Right, B.Top, W, B.Bottom);
  }
  return result;
}

// ---- TZForm ------------------------------------------------------------------------------------------

TZForm::TZForm(TComponent* AOwner) : TForm(AOwner) {
  FBuffer = std::make_unique<TBitmap32>();
  // Raised once and never lowered: the buffer's change notifications never fire.
  FBuffer->BeginUpdate();
  FBufferMargin = 40;
  SetControlStyle(TControlStyle::FromBits(0x8CB));
  FBitmap = std::make_unique<TBitmap32>();
  FBitmap->OnChange = [this](TObject*) { Changed(); };
  FBitmap->OnResize = [this](TObject*) { HandleBitmapResize(); };
  FLayers = std::make_unique<TLayerCollection>(this, &FTransform);
  FLayers->OnChange = [this](TObject*) { Changed(); };
  FPaintStages = std::make_unique<TPaintStages>();
  FScale = 1.0f;
  AddDefaultStages();
}

TZForm::~TZForm() {
  BeginUpdate();
  FPaintStages.reset();
  FLayers->OnChange = nullptr;
  FLayers.reset();
  FBitmap->OnChange = nullptr;
  FBitmap->OnResize = nullptr;
  FBitmap.reset();
  FBuffer.reset();
}

void TZForm::ReadResource() {
  TForm::ReadResource();
  SetBorderStyle(bsNone);
  SetClientWidth(396);
  SetClientHeight(334);
  SetColor(clBtnFace);
  Font()->SetName("MS Sans Serif");
  Font()->SetHeight(-11);
}

void TZForm::AddDefaultStages() {
  struct Default {
    bool AtDesignTime, AtRunTime;
    uint32_t Kind, Argument;
  };
  static constexpr Default defaults[] = {
      {true, true, stBackground, 0},   {true, false, stControlFrame, 0},    {true, true, stBitmap, 0},
      {true, false, stBitmapFrame, 0}, {true, true, stLayers, LOB_VISIBLE},
  };
  for (const Default& d : defaults) {
    TPaintStageEntry& e = FPaintStages->Add();
    e.AtDesignTime = d.AtDesignTime;
    e.AtRunTime = d.AtRunTime;
    e.Kind = d.Kind;
    e.Argument = d.Argument;
  }
}

void TZForm::GetViewport(TRect& R) {
  R = Rect(0, 0, Width(), Height());
}

void TZForm::Changed() {
  if (FUpdateCount != 0) return;
  Invalidate();
  if (OnChange) OnChange(this);
}

void TZForm::Invalidate() {
  FBufferCurrent = false;
  FRectCacheCurrent = false;
  TForm::Invalidate();
}

void TZForm::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  FBufferCurrent = false;
  TForm::SetBounds(ALeft, ATop, AWidth, AHeight);
}

void TZForm::Resize() {
  FRectCacheCurrent = false;
  ResizeBackBuffer();
  FBufferCurrent = false;
  TForm::Resize();
}

void TZForm::Loaded() {
  FBufferCurrent = false;
  TForm::Loaded();
  FireInitStages();
}

void TZForm::FireInitStages() {
  if (OnInitStages) OnInitStages(this);
}

void TZForm::WMEraseBkgnd(TMessage& Message) {
  Message.Result = 1;
}

void TZForm::ResizeBackBuffer() {
  TRect r;
  GetViewport(r);
  const TSize current{FBuffer->Width(), FBuffer->Height()};
  const TSize next = BackBufferSizeFor(current, {r.Right - r.Left, r.Bottom - r.Top}, FBufferMargin);
  if (next == current) return;
  FBuffer->SetSize(next.cx, next.cy);
  FBufferCurrent = false;
}

bool TZForm::StagesCopyBitmap() {
  if (ComponentState().Contains(TComponentStateItem::csDesigning)) return false;
  if (FBitmap->IsEmpty() || FBitmap->DrawMode() != dmOpaque) return false;
  TRect view;
  GetViewport(view);
  UpdateBitmapRectCache();
  if (view != Rect(0, 0, FBitmap->Width(), FBitmap->Height()) || FCachedBitmapRect != view) return false;
  for (int i = 0; i < FPaintStages->Count(); ++i) {
    const TPaintStageEntry entry = FPaintStages->Items(i);
    if (!entry.AtRunTime) continue;
    if (entry.Kind == stBackground || entry.Kind == stBitmap || entry.Kind > stBitmapFrame) continue;
    if (entry.Kind == stLayers) {
      for (int j = 0; j < FLayers->Count(); ++j)
        if ((FLayers->Items(j)->Options() & entry.Argument) != 0) return false;
      continue;
    }
    if (entry.Kind != 0) return false;
  }
  return true;
}

void TZForm::PaintWindow(HDC DC) {
  ResizeBackBuffer();
  if (!FBufferCurrent) PaintBufferStages();
  FBuffer->Lock();
  try {
    TRect r;
    GetViewport(r);
    BitBlt(DC, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, FBuffer->Handle(), 0, 0, SRCCOPY);
  } catch (...) {
    FBuffer->Unlock();
    throw;
  }
  FBuffer->Unlock();
  PaintOverlay();
}

void TZForm::PaintOverlay() {
  for (int i = 0; i < FLayers->Count(); ++i) {
    TCustomLayer* layer = FLayers->Items(i);
    if ((layer->Options() & LOB_GDI_OVERLAY) != 0) layer->PaintOnCanvas(Canvas());
  }
  if (OnGDIOverlay) OnGDIOverlay(this);
}

void TZForm::PaintBufferStages() {
  UpdateBitmapRectCache();
  const bool designing = ComponentState().Contains(TComponentStateItem::csDesigning);
  for (int i = 0; i < FPaintStages->Count(); ++i) {
    const TPaintStageEntry entry = FPaintStages->Items(i);
    if (!((entry.AtDesignTime && designing) || (entry.AtRunTime && !designing))) continue;
    const Cardinal index = static_cast<Cardinal>(i);
    switch (entry.Kind) {
      case stCustom:
        PaintCustomStage(FBuffer.get(), index);
        break;
      case stClear:
        PaintClearStage(FBuffer.get(), index);
        break;
      case stBackground:
        PaintBackgroundStage(FBuffer.get(), index);
        break;
      case stBitmap:
        PaintBitmapStage(FBuffer.get(), index);
        break;
      case stLayers:
        PaintLayersStage(FBuffer.get(), index);
        break;
      case stControlFrame:
        PaintControlFrameStage(FBuffer.get(), index);
        break;
      case stBitmapFrame:
        PaintBitmapFrameStage(FBuffer.get(), index);
        break;
      default:
        break;
    }
  }
  FBufferCurrent = true;
}

void TZForm::PaintCustomStage(TBitmap32* Buffer, Cardinal StageNum) {
  if (OnPaintStage) OnPaintStage(this, Buffer, StageNum);
}

void TZForm::PaintClearStage(TBitmap32* Buffer, Cardinal StageNum) {
  Buffer->Clear(Color32FromTColor(Color()));
}

void TZForm::PaintBackgroundStage(TBitmap32* Buffer, Cardinal StageNum) {
  const TColor32 c = Color32FromTColor(Color());
  if (FBitmap->IsEmpty() || FBitmap->DrawMode() != dmOpaque) {
    Buffer->Clear(c);
    return;
  }
  const TBackgroundBands bands = BackgroundBands(FCachedBitmapRect, {Width(), Height()});
  for (int i = 0; i < bands.Count; ++i) {
    const TRect& b = bands.Bands[i];
    Buffer->FillRect(b.Left, b.Top, b.Right, b.Bottom, c);
  }
}

void TZForm::PaintBitmapStage(TBitmap32* Buffer, Cardinal StageNum) {
  if (FBitmap->IsEmpty() || IsRectangleEmpty(FCachedBitmapRect)) return;
  FBitmap->Lock();
  try {
    FBitmap->DrawTo(Buffer, FCachedBitmapRect);
  } catch (...) {
    FBitmap->Unlock();
    throw;
  }
  FBitmap->Unlock();
}

void TZForm::PaintLayersStage(TBitmap32* Buffer, Cardinal StageNum) {
  const uint32_t mask = FPaintStages->Items(static_cast<int>(StageNum)).Argument;
  for (int i = 0; i < FLayers->Count(); ++i) {
    TCustomLayer* layer = FLayers->Items(i);
    if ((layer->Options() & mask) == 0) continue;
    layer->Paint(Buffer);
    if (layer->OnPaint) layer->OnPaint(layer, Buffer);
  }
}

void TZForm::PaintControlFrameStage(TBitmap32* Buffer, Cardinal StageNum) {
  DrawFocusRect(Buffer->Handle(), Rect(0, 0, Width(), Height()));
}

void TZForm::PaintBitmapFrameStage(TBitmap32* Buffer, Cardinal StageNum) {
  DrawFocusRect(Buffer->Handle(), FCachedBitmapRect);
}

void TZForm::ComputeBitmapSize(TSize& Size) {
  const TSize bitmap = FBitmap->IsEmpty() ? TSize{0, 0} : TSize{FBitmap->Width(), FBitmap->Height()};
  Size = ScaledBitmapSize(FScaleMode, bitmap, {Width(), Height()}, FScale);
}

void TZForm::ComputeBitmapRect(TRect& R) {
  if (FBitmap->IsEmpty()) {
    R = Rect(0, 0, 0, 0);
    return;
  }
  TSize size;
  ComputeBitmapSize(size);
  R = Rect(0, 0, size.cx, size.cy);
}

void TZForm::UpdateBitmapRectCache() {
  if (FRectCacheCurrent) return;
  ComputeBitmapRect(FCachedBitmapRect);
  FTransform = FBitmap->IsEmpty() ? TFixedTransform{}
                                  : BitmapTransform(FCachedBitmapRect, {FBitmap->Width(), FBitmap->Height()});
  FRectCacheCurrent = true;
}

TRect TZForm::BitmapRect() {
  UpdateBitmapRectCache();
  return FCachedBitmapRect;
}

const TFixedTransform& TZForm::Transform() {
  UpdateBitmapRectCache();
  return FTransform;
}

TSize TZForm::AutoSizeExtent() const {
  TSize s{FBitmap->Width(), FBitmap->Height()};
  if (FScaleMode == TScaleMode::smScale) {
    s.cx = RoundHalfEven(s.cx * static_cast<double>(FScale));
    s.cy = RoundHalfEven(s.cy * static_cast<double>(FScale));
  }
  return s;
}

void TZForm::HandleBitmapResize() {
  if (AutoSize()) {
    const TSize s = AutoSizeExtent();
    if (s.cx > 0 && s.cy > 0) SetBounds(Left(), Top(), s.cx, s.cy);
  }
  if (FUpdateCount == 0 && OnBitmapResize) OnBitmapResize(this);
  FRectCacheCurrent = false;
  Invalidate();
}

bool TZForm::CanAutoSize(int& NewWidth, int& NewHeight) {
  FRectCacheCurrent = false;
  const TSize s = AutoSizeExtent();
  const bool designing = ComponentState().Contains(TComponentStateItem::csDesigning);
  if (!(designing && (s.cx <= 0 || s.cy <= 0))) {
    if (Align() == alNone || Align() == alLeft || Align() == alRight) NewWidth = s.cx;
    if (Align() == alNone || Align() == alTop || Align() == alBottom) NewHeight = s.cy;
  }
  return true;
}

void TZForm::SetBitmap(TBitmap32* Value) {
  FRectCacheCurrent = false;
  FBitmap->Assign(Value);
}

void TZForm::SetOffsetHorz(float Value) {
  if (Value == FOffsetHorz) return;
  FOffsetHorz = Value;
  FRectCacheCurrent = false;
  Changed();
}

void TZForm::SetOffsetVert(float Value) {
  if (Value == FOffsetVert) return;
  FOffsetVert = Value;
  FRectCacheCurrent = false;
  Changed();
}

void TZForm::SetScale(float Value) {
  if (Value < 0.001f) Value = 0.001f;
  if (Value == FScale) return;
  FRectCacheCurrent = false;
  FScale = Value;
  ScaleChanged();
  Changed();
}

void TZForm::SetScaleMode(TScaleMode Value) {
  if (Value == FScaleMode) return;
  FRectCacheCurrent = false;
  FScaleMode = Value;
  Changed();
}

void TZForm::SetOnBitmapPixelCombine(TPixelCombineEvent Value) {
  FBitmap->OnPixelCombine = std::move(Value);
  Changed();
}

void TZForm::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  SetMouseCapture(true);
  TCustomLayer* layer = FLayers->MouseEventsEnabled() ? FLayers->MouseDown(Button, Shift, X, Y) : nullptr;
  if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y, layer);
}

void TZForm::MouseMove(TShiftState Shift, int X, int Y) {
  TForm::MouseMove(Shift, X, Y);
  TCustomLayer* layer = FLayers->MouseEventsEnabled() ? FLayers->MouseMove(Shift, X, Y) : nullptr;
  if (OnMouseMove) OnMouseMove(this, Shift, X, Y, layer);
}

void TZForm::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TCustomLayer* layer = FLayers->MouseEventsEnabled() ? FLayers->MouseUp(Button, Shift, X, Y) : nullptr;
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y, layer);
}

void TZForm::CMMouseEnter(TMessage& Message) {
  if (OnMouseEnter) OnMouseEnter(this);
  TForm::CMMouseEnter(Message);
}

void TZForm::CMMouseLeave(TMessage& Message) {
  if (FLayers->MouseEventsEnabled() && FLayers->CaptureLayer() == nullptr) Screen->SetCursor(crDefault);
  if (OnMouseLeave) OnMouseLeave(this);
  TForm::CMMouseLeave(Message);
}
