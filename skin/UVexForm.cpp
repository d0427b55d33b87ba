#include "skin/UVexForm.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int RoundHalfEven(double Value) {
  return static_cast<int>(std::nearbyint(Value));
}

bool IsEmptyRect(const TRect& R) {
  return R.Right <= R.Left || R.Bottom <= R.Top;
}

// Maps one coordinate along an axis of the nine-slice stretch: the near band stays, the middle band is
// scaled by Factor, the far band moves by Delta. A far (right or bottom) edge stops at Extent - 1, where
// the painting of the far pieces stops, so the skin's last column and row stay outside, as they stay
// unpainted.
int MapStretched(int V, int Lo, int Hi, int Delta, float Factor, bool FarEdge, int Extent) {
  if (V <= Lo) return V;
  if (V < Hi) return RoundHalfEven((V - Lo) * static_cast<double>(Factor)) + Lo;
  return FarEdge ? std::min(V + Delta, Extent - 1) : V + Delta;
}

bool Overlaps(const TRect& A, const TRect& B) {
  return std::max(A.Left, B.Left) < std::min(A.Right, B.Right) &&
         std::max(A.Top, B.Top) < std::min(A.Bottom, B.Bottom);
}

}  // namespace

TRect ClampInnerRect(const TRect& Inner, TSize SkinSize) {
  const int maxX = std::max(SkinSize.cx - 1, 0);
  const int maxY = std::max(SkinSize.cy - 1, 0);
  TRect r;
  r.Left = std::clamp(Inner.Left, 0, maxX);
  r.Right = std::clamp(Inner.Right, r.Left, maxX);
  r.Top = std::clamp(Inner.Top, 0, maxY);
  r.Bottom = std::clamp(Inner.Bottom, r.Top, maxY);
  return r;
}

TRect FitInnerRect(const TRect& Inner, TSize SkinSize) {
  const int W = SkinSize.cx;
  const int H = SkinSize.cy;
  TRect r = Inner;
  if (r.Left < 1) r.Left = 1;
  if (r.Left > W - 2) r.Left = W - 2;
  if (r.Right <= r.Left + 2) r.Right = r.Left + 2;
  if (r.Right > W - 2) r.Right = W - 2;
  if (r.Top < 1) r.Top = 1;
  if (r.Top > H - 2) r.Top = H - 2;
  if (r.Bottom <= r.Top + 2) r.Bottom = r.Top + 2;
  if (r.Bottom > H - 2) r.Bottom = H - 2;
  // A skin narrower or lower than 3 pixels would leave the edges outside it or crossed. Larger skins are
  // already within these limits.
  r.Left = std::clamp(r.Left, 0, std::max(W - 1, 0));
  r.Right = std::clamp(r.Right, r.Left, std::max(W - 1, r.Left));
  r.Top = std::clamp(r.Top, 0, std::max(H - 1, 0));
  r.Bottom = std::clamp(r.Bottom, r.Top, std::max(H - 1, r.Top));
  // A band of no width stretches nothing: a form larger than the skin would keep a gap there, unpainted
  // and cut away. It keeps one column (row) of the skin wherever the skin has one besides its last, which
  // is never drawn.
  if (r.Right == r.Left && W >= 2) {
    r.Left = std::min(r.Left, W - 2);
    r.Right = r.Left + 1;
  }
  if (r.Bottom == r.Top && H >= 2) {
    r.Top = std::min(r.Top, H - 2);
    r.Bottom = r.Top + 1;
  }
  return r;
}

std::vector<TSlicePiece> NineSlicePieces(TSize SkinSize, const TRect& Inner, TSize FormSize) {
  const TRect in = ClampInnerRect(Inner, SkinSize);
  const int L = in.Left, T = in.Top, R = in.Right, B = in.Bottom;
  const int SW = SkinSize.cx, SH = SkinSize.cy, FW = FormSize.cx, FH = FormSize.cy;
  const int dx = FW - SW;
  const int dy = FH - SH;
  const std::array<TSlicePiece, 9> all = {{
      {Rect(0, 0, L, T), Rect(0, 0, L, T)},
      {Rect(L, 0, R, T), Rect(L, 0, R + dx, T)},
      {Rect(R, 0, SW - 1, T), Rect(R + dx, 0, FW - 1, T)},
      {Rect(0, T, L, B), Rect(0, T, L, B + dy)},
      {Rect(L, T, R, B), Rect(L, T, R + dx, B + dy)},
      {Rect(R, T, SW - 1, B), Rect(R + dx, T, FW - 1, B + dy)},
      {Rect(0, B, L, SH - 1), Rect(0, B + dy, L, FH - 1)},
      {Rect(L, B, R, SH - 1), Rect(L, B + dy, R + dx, FH - 1)},
      {Rect(R, B, SW - 1, SH - 1), Rect(R + dx, B + dy, FW - 1, FH - 1)},
  }};
  std::vector<TSlicePiece> pieces;
  for (const TSlicePiece& p : all) {
    if (!IsEmptyRect(p.Src) && !IsEmptyRect(p.Dst)) pieces.push_back(p);
  }
  return pieces;
}

std::vector<TRect> MapSkinRegionRects(const std::vector<TRect>& Rects, TSize SkinSize, const TRect& Inner,
                                      TSize FormSize, bool Stretch, float ScaleX, float ScaleY) {
  std::vector<TRect> out;
  out.reserve(Rects.size());
  if (!Stretch) {
    for (const TRect& r : Rects) {
      const TRect m = Rect(RoundHalfEven(r.Left * static_cast<double>(ScaleX)),
                           RoundHalfEven(r.Top * static_cast<double>(ScaleY)),
                           RoundHalfEven(r.Right * static_cast<double>(ScaleX)),
                           RoundHalfEven(r.Bottom * static_cast<double>(ScaleY)));
      if (m.Right >= m.Left && m.Bottom >= m.Top) out.push_back(m);
    }
    return out;
  }
  const TRect in = ClampInnerRect(Inner, SkinSize);
  const int dx = FormSize.cx - SkinSize.cx;
  const int dy = FormSize.cy - SkinSize.cy;
  // A band of zero width has no stretch factor; no coordinate lies strictly inside it anyway.
  const float sx =
      in.Right > in.Left
          ? static_cast<float>(static_cast<double>(in.Right - in.Left + dx) / (in.Right - in.Left))
          : 1.0f;
  const float sy =
      in.Bottom > in.Top
          ? static_cast<float>(static_cast<double>(in.Bottom - in.Top + dy) / (in.Bottom - in.Top))
          : 1.0f;
  for (const TRect& r : Rects) {
    const TRect m = Rect(MapStretched(r.Left, in.Left, in.Right, dx, sx, false, FormSize.cx),
                         MapStretched(r.Top, in.Top, in.Bottom, dy, sy, false, FormSize.cy),
                         MapStretched(r.Right, in.Left, in.Right, dx, sx, true, FormSize.cx),
                         MapStretched(r.Bottom, in.Top, in.Bottom, dy, sy, true, FormSize.cy));
    if (m.Left > m.Right || m.Top > m.Bottom) continue;
    if (!out.empty() && Overlaps(out.back(), m)) continue;
    out.push_back(m);
  }
  return out;
}

// ---- TVexForm ----------------------------------------------------------------------------------------

namespace {

// Ends an update of a bitmap when the scope ends, however it is left.
class TBitmapUpdate {
 public:
  explicit TBitmapUpdate(TBitmap32* Bitmap) : FBitmap(Bitmap) { FBitmap->BeginUpdate(); }
  ~TBitmapUpdate() { FBitmap->EndUpdate(); }
  TBitmapUpdate(const TBitmapUpdate&) = delete;
  TBitmapUpdate& operator=(const TBitmapUpdate&) = delete;

 private:
  TBitmap32* FBitmap;
};

}  // namespace

TVexForm::TVexForm(TComponent* AOwner) : TZForm(AOwner) {
  FSkin = new KGraphic(this);
  FSkin->SetOnChange([this](TObject* Sender) { SkinChanged(Sender); });
  FScaleX = 1.0f;
  FScaleY = 1.0f;
  FRegionMode = 0;
  SetDoubleBuffered(true);
}

TVexForm::~TVexForm() {
  // The skin goes first, without reporting back to a form that is going away.
  FSkin->SetOnChange(nullptr);
  delete FSkin;
  FSkin = nullptr;
}

void TVexForm::ReadResource() {
  TZForm::ReadResource();
  SetCaption("VexForm");
}

void TVexForm::UpdateScale() {
  if (FDeferred.Active) {
    FDeferred.Scale = true;
    return;
  }
  TBitmap32* skin = FSkin->GetBitmap();
  // An empty skin has no scale: keep the old factors rather than divide by zero.
  if (skin->Width() <= 0 || skin->Height() <= 0) return;
  FScaleX = static_cast<float>(static_cast<double>(Width()) / skin->Width());
  FScaleY = static_cast<float>(static_cast<double>(Height()) / skin->Height());
}

void TVexForm::PaintSkin() {
  if (FDeferred.Active) {
    FDeferred.Paint = true;
    if (FDeferred.Copy && !FSkin->FileName().empty()) {
      const TSize size{Width(), Height()};
      if (FDeferred.Rendered && (size.cx != FDeferred.RenderSize.cx || size.cy != FDeferred.RenderSize.cy))
        FDeferred.Resized = true;
      FDeferred.Rendered = true;
      FDeferred.RenderSize = size;
    }
    return;
  }
  if (FSkin->FileName().empty()) return;
  TBitmap32* target = Bitmap();
  TBitmap32* skin = FSkin->GetBitmap();
  {
    TBitmapUpdate update(target);
    const int FW = Width();
    const int FH = Height();
    if (skin->IsEmpty()) {
      // A skin that could not be loaded is an empty picture: the form's own colour shows.
      target->SetSize(0, 0);
    } else if (FSkin->Stretch()) {
      target->SetSize(FW, FH);
      for (const TSlicePiece& piece :
           NineSlicePieces({skin->Width(), skin->Height()}, FSkin->InnerRect(), {FW, FH})) {
        skin->DrawTo(target, piece.Dst, piece.Src);
      }
    } else if (FRegionMode < 4) {
      target->SetSize(skin->Width(), skin->Height());
      skin->DrawTo(target);
    } else {
      target->SetSize(FW, FH);
      skin->DrawTo(target, Rect(0, 0, FW - 1, FH - 1));
    }
  }
  target->Changed();
}

HRGN TVexForm::CreateSkinRegion() {
  const TRegionData& data = FSkin->GetRegionData();
  TBitmap32* skin = FSkin->GetBitmap();
  const std::vector<TRect> mapped =
      MapSkinRegionRects(data.RectList(), {skin->Width(), skin->Height()}, FSkin->InnerRect(),
                         {Width(), Height()}, FSkin->Stretch(), FScaleX, FScaleY);
  std::vector<uint8_t> block(sizeof(RGNDATAHEADER) + mapped.size() * sizeof(RECT));
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(mapped.size());
  header.rcBound = Rect(0, 0, Width() - 1, Height() - 1);
  std::memcpy(block.data(), &header, sizeof header);
  if (!mapped.empty()) std::memcpy(block.data() + sizeof header, mapped.data(), mapped.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()),
                         reinterpret_cast<const RGNDATA*>(block.data()));
}

void TVexForm::UpdateRegion() {
  if (FDeferred.Active) {
    FDeferred.Region = true;
    return;
  }
  HRGN region = nullptr;
  switch (FRegionMode) {
    case 0:
      region = CreateRectRgn(0, 0, Width(), Height());
      break;
    case 1:
      region = CreateEllipticRgn(0, 0, Width(), Height());
      break;
    case 2:
      region = CreateRoundRectRgn(0, 0, Width(), Height(), 10, 10);
      break;
    case 3:
      region = CreateSkinRegion();
      break;
    case 4:
      region = BitmapToRegion(Bitmap(), FAlphaThreshold);
      break;
    default:
      return;  // no shape for other modes: the window keeps its region
  }
  if (region == nullptr) return;
  // The window takes the region over; when it cannot, the region is ours to free.
  if (SetWindowRgn(Handle(), region, true) == 0) DeleteObject(region);
}

void TVexForm::Resize() {
  if (FRegionMode == 4) {
    if (!FSkin->FileName().empty()) {
      UpdateScale();
      PaintSkin();
      UpdateRegion();
    }
  } else {
    if (!FSkin->FileName().empty()) {
      UpdateScale();
      PaintSkin();
    }
    UpdateRegion();
  }
  TZForm::Resize();
}

void TVexForm::CopySkinIntoEmptyBitmap() {
  if (FDeferred.Active) {
    FDeferred.Copy = true;
    return;
  }
  if (!Bitmap()->IsEmpty()) return;
  Bitmap()->Assign(FSkin->GetBitmap());
  Bitmap()->Clear();
  Bitmap()->Draw(0, 0, FSkin->GetBitmap());
}

void TVexForm::SkinChanged(TObject* Sender) {
  CopySkinIntoEmptyBitmap();
  SetScaleMode(FSkin->Stretch() ? TScaleMode::smNormal : TScaleMode::smStretch);
  PaintSkin();
  UpdateRegion();
}

void TVexForm::ShowDeferredSkin() {
  if (!FDeferred.Active) return;
  const TDeferred asked = FDeferred;
  FDeferred = TDeferred{};
  if (asked.Scale) UpdateScale();
  // Drawn step by step, the copy would have gone with the first render at a second size.
  if (asked.Copy && !asked.Resized) CopySkinIntoEmptyBitmap();
  if (asked.Paint) PaintSkin();
  if (asked.Region) UpdateRegion();
}

void TVexForm::DoShow() {
  // The show handler lays the window out first; the skin and the region follow at the size it shows
  // with, before the window reaches the screen.
  try {
    TZForm::DoShow();
  } catch (...) {
    ShowDeferredSkin();
    throw;
  }
  ShowDeferredSkin();
}

void TVexForm::SetRegionMode(uint8_t Value) {
  FRegionMode = Value;
  SetScaleMode(FSkin->Stretch() ? TScaleMode::smNormal : TScaleMode::smStretch);
  PaintSkin();
  UpdateRegion();
}

void TVexForm::SetAlphaThreshold(int Value) {
  if (Value == FAlphaThreshold) return;
  FAlphaThreshold = Value;
  if (FRegionMode == 3 || FRegionMode == 4) UpdateRegion();
}
