#include "platform/ui/ExtCtrls.h"

#include <QTimer>

#include <algorithm>

#include "platform/ui/QtHost.h"

// ---- TCustomPanel --------------------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = {csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption,
                   csOpaque,          csDoubleClicks, csReplicatable};
  SetBounds(0, 0, 185, 41);
  SetColor(clBtnFace);
}

void TCustomPanel::SetBevelOuter(TBevelCut Value) {
  if (FBevelOuter == Value) return;
  FBevelOuter = Value;
  Invalidate();
}

void TCustomPanel::SetBevelInner(TBevelCut Value) {
  if (FBevelInner == Value) return;
  FBevelInner = Value;
  Invalidate();
}

void TCustomPanel::SetBevelWidth(int Value) {
  if (FBevelWidth == Value) return;
  FBevelWidth = Value;
  Invalidate();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  if (FBorderStyle == Value) return;
  FBorderStyle = Value;
  Invalidate();
}

namespace {

// Draws a 3D frame of Width pixels inside R and shrinks R by it.
void Frame3D(TCanvas* C, TRect& R, TColor TopColor, TColor BottomColor, int Width) {
  for (int i = 0; i < Width; ++i) {
    C->Pen()->SetColor(TopColor);
    C->MoveTo(R.Left, R.Bottom - 1);
    C->LineTo(R.Left, R.Top);
    C->LineTo(R.Right - 1, R.Top);
    C->Pen()->SetColor(BottomColor);
    C->LineTo(R.Right - 1, R.Bottom - 1);
    C->LineTo(R.Left - 1, R.Bottom - 1);
    R.Left += 1;
    R.Top += 1;
    R.Right -= 1;
    R.Bottom -= 1;
  }
}

}  // namespace

void TCustomPanel::Paint() {
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  if (FBevelOuter != bvNone && FBevelOuter != bvSpace)
    Frame3D(c, r, FBevelOuter == bvLowered ? clBtnShadow : clBtnHighlight,
            FBevelOuter == bvLowered ? clBtnHighlight : clBtnShadow, FBevelWidth);
  if (FBevelInner != bvNone && FBevelInner != bvSpace)
    Frame3D(c, r, FBevelInner == bvLowered ? clBtnShadow : clBtnHighlight,
            FBevelInner == bvLowered ? clBtnHighlight : clBtnShadow, FBevelWidth);
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  if (Caption().empty()) return;
  c->Brush()->SetStyle(bsClear);
  c->Font()->Assign(Font());
  UINT flags = DT_EXPANDTABS | DT_SINGLELINE | DT_VCENTER;
  flags |= FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  HDC dc = c->Handle();
  SetBkMode(dc, TRANSPARENT);
  DrawText(dc, Caption(), -1, &r, flags);
}

// ---- TImage --------------------------------------------------------------------------------------------

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner), FPicture(std::make_unique<TPicture>()) {
  FControlStyle.Include(csReplicatable);
  FPicture->OnChange = [this](TObject* Sender) { PictureChanged(Sender); };
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() {
  FPicture->OnChange = nullptr;
}

void TImage::PictureChanged(TObject* /*Sender*/) {
  if (TGraphic* g = FPicture->Graphic(); g != nullptr && g->Transparent() != FTransparent)
    g->SetTransparent(FTransparent);
  if (AutoSize() && FPicture->Width() > 0 && FPicture->Height() > 0) AdjustSize();
  Invalidate();
}

bool TImage::CanAutoSize(int& NewWidth, int& NewHeight) {
  if (FPicture->Width() > 0 && FPicture->Height() > 0) {
    NewWidth = FPicture->Width();
    NewHeight = FPicture->Height();
  }
  return true;
}

void TImage::SetStretch(bool Value) {
  if (FStretch == Value) return;
  FStretch = Value;
  Invalidate();
}

void TImage::SetCenter(bool Value) {
  if (FCenter == Value) return;
  FCenter = Value;
  Invalidate();
}

void TImage::SetTransparent(bool Value) {
  if (FTransparent == Value) return;
  FTransparent = Value;
  if (TGraphic* g = FPicture->Graphic()) g->SetTransparent(Value);
  Invalidate();
}

void TImage::SetProportional(bool Value) {
  if (FProportional == Value) return;
  FProportional = Value;
  Invalidate();
}

TRect TImage::DestRect() const {
  int w = FPicture->Width(), h = FPicture->Height();
  const int cw = Width(), ch = Height();
  if (FStretch || (FProportional && (w > cw || h > ch))) {
    if (FProportional && w > 0 && h > 0) {
      const double xy = static_cast<double>(w) / h;
      if (cw / xy <= ch) {
        w = cw;
        h = static_cast<int>(cw / xy);
      } else {
        h = ch;
        w = static_cast<int>(ch * xy);
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r = Rect(0, 0, w, h);
  if (FCenter) {
    r.Left = (cw - w) / 2;
    r.Top = (ch - h) / 2;
    r.Right = r.Left + w;
    r.Bottom = r.Top + h;
  }
  return r;
}

void TImage::Paint() {
  TGraphic* g = FPicture->Graphic();
  if (g == nullptr || g->Empty()) return;
  Canvas()->StretchDraw(DestRect(), g);
}

// ---- TShape --------------------------------------------------------------------------------------------

TShape::TShape(TComponent* AOwner)
    : TGraphicControl(AOwner), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
  FControlStyle.Include(csReplicatable);
  SetBounds(0, 0, 65, 65);
  FPen->OnChange = [this](TObject*) {
    OutlineChanged();
    Invalidate();
  };
  FBrush->OnChange = [this](TObject*) {
    OutlineChanged();
    Invalidate();
  };
}

TShape::~TShape() {
  FPen->OnChange = nullptr;
  FBrush->OnChange = nullptr;
}

void TShape::SetShape(TShapeType Value) {
  if (FShape == Value) return;
  FShape = Value;
  Invalidate();
}

HRGN TShape::CreateOutlineRegion() const {
  HRGN outline = TGraphicControl::CreateOutlineRegion();
  if (FBrush->Style() != bsClear || FShape != stRectangle) return outline;
  const int pen = FPen->Style() == psClear ? 0 : std::max(FPen->Width(), 1);
  if (pen * 2 >= Width() || pen * 2 >= Height()) return outline;
  HRGN inside = CreateRectRgn(pen, pen, Width() - pen, Height() - pen);
  CombineRgn(outline, outline, inside, RGN_DIFF);
  DeleteObject(inside);
  return outline;
}

void TShape::Paint() {
  TCanvas* c = Canvas();
  c->SetPen(FPen.get());
  c->SetBrush(FBrush.get());
  const int pw = FPen->Width();
  int x = pw / 2, y = x;
  int w = Width() - pw + 1, h = Height() - pw + 1;
  if (pw == 0) {
    --w;
    --h;
  }
  if (FShape == stSquare || FShape == stRoundSquare || FShape == stCircle) {
    const int s = std::min(w, h);
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (FShape) {
    case stRectangle:
    case stSquare:
      c->Rectangle(x, y, x + w, y + h);
      break;
    case stRoundRect:
    case stRoundSquare: {
      const int s = std::min(w, h) / 4;
      c->RoundRect(x, y, x + w, y + h, s, s);
      break;
    }
    default:
      c->Ellipse(x, y, x + w, y + h);
      break;
  }
}

// ---- TTimer --------------------------------------------------------------------------------------------

struct TTimerImpl {
  QTimer Timer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), FImpl(std::make_unique<TTimerImpl>()) {
  QObject::connect(&FImpl->Timer, &QTimer::timeout, &FImpl->Timer,
                   [this] { Guarded(this, [&] { Timer(); }); });
  UpdateTimer();
}

TTimer::~TTimer() {
  FImpl->Timer.stop();
}

void TTimer::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(Cardinal Value) {
  if (FInterval == Value) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  UpdateTimer();
}

void TTimer::UpdateTimer() {
  FImpl->Timer.stop();
  if (!FEnabled || FInterval == 0 || ComponentState().Contains(TComponentStateItem::csLoading)) return;
  FImpl->Timer.start(static_cast<int>(std::min<Cardinal>(FInterval, 0x7FFFFFFF)));
}

void TTimer::Timer() {
  if (const TNotifyEvent handler = OnTimer) handler(this);  // a copy: the handler may free the timer
}
