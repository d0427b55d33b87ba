#include "graphics/Gfx32.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <typeinfo>

#include "graphics/GfxTransforms.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Streams.h"
#include "platform/ui/Clipbrd.h"

namespace {

// Guards every change of any bitmap's lock count. Created on first use, which is the unit's start-up at
// the latest, and kept until the program ends.
TCriticalSection& ProcessLock() {
  static TCriticalSection lock;
  return lock;
}

std::array<uint8_t, 256> Gamma{};

// Start-up of the unit: the process-wide lock, then the gamma table.
struct TGfx32Unit {
  TGfx32Unit() {
    ProcessLock();
    BuildGammaTable(0.7f);
  }
};
TGfx32Unit Gfx32Unit;

constexpr int64_t kMaxImageBytes = std::numeric_limits<int32_t>::max();

// Runs the given calls when leaving the scope, also by an exception.
template <typename F>
class TFinally {
 public:
  explicit TFinally(F f) : FFunc(std::move(f)) {}
  ~TFinally() noexcept(false) {
    if (std::uncaught_exceptions() == FExceptions) {
      FFunc();
    } else {
      try {
        FFunc();
      } catch (...) {  // the first failure is the one that reaches the caller
      }
    }
  }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  F FFunc;
  int FExceptions = std::uncaught_exceptions();
};

}  // namespace

// ---- TThreadPersistent --------------------------------------------------------------------------------

void TThreadPersistent::Changed() {
  if (FUpdateCount == 0 && OnChange) OnChange(this);
}

void TThreadPersistent::Lock() {
  ProcessLock().Enter();
  ++FLockCount;
  ProcessLock().Leave();
  FLock.Enter();
}

void TThreadPersistent::Unlock() {
  FLock.Leave();
  ProcessLock().Enter();
  --FLockCount;
  ProcessLock().Leave();
}

int TThreadPersistent::LockCount() const {
  ProcessLock().Enter();
  const int count = FLockCount;
  ProcessLock().Leave();
  return count;
}

// ---- TCustomMap ---------------------------------------------------------------------------------------

void TCustomMap::Resized() {
  if (OnResize) OnResize(this);
}

bool TCustomMap::SetSize(int NewWidth, int NewHeight) {
  if (NewWidth == FWidth && NewHeight == FHeight) return false;
  FWidth = NewWidth;
  FHeight = NewHeight;
  return true;
}

// ---- TBitmap32 ----------------------------------------------------------------------------------------

TBitmap32::TBitmap32() {
  FFont = std::make_unique<TFont>();
  FFont->OnChange = [this](TObject* Sender) { FontChanged(Sender); };
}

TBitmap32::~TBitmap32() {
  BeginUpdate();
  Lock();
  try {
    FFont.reset();
    SetSize(0, 0);
  } catch (...) {  // releasing cannot fail; a failing resize handler must not escape a destructor
  }
  Unlock();
}

void TBitmap32::ReleaseImage() {
  if (FHDC) DeleteDC(FHDC);
  if (FHandle) DeleteObject(FHandle);
  FHDC = nullptr;
  FHandle = nullptr;
  FBits = nullptr;
  FFontHandle = nullptr;
}

void TBitmap32::CreateImage(int NewWidth, int NewHeight) {
  // Both values are positive and below 2^31, so their product fits 64 bits.
  if (int64_t{NewWidth} * NewHeight > kMaxImageBytes / 4) throw Exception("Can't allocate the DIB handle");
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = NewWidth;
  info.bmiHeader.biHeight = -NewHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  FHandle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  FBits = static_cast<PColor32>(bits);
  if (!FHandle || !FBits) {
    if (FHandle) DeleteObject(FHandle);
    FHandle = nullptr;
    FBits = nullptr;
    throw Exception("Can't allocate the DIB handle");
  }
  FHDC = CreateCompatibleDC(nullptr);
  if (!FHDC) {
    DeleteObject(FHandle);
    FHandle = nullptr;
    FBits = nullptr;
    throw Exception("Can't create compatible DC");
  }
  if (!SelectObject(FHDC, FHandle)) {
    DeleteDC(FHDC);
    DeleteObject(FHandle);
    FHDC = nullptr;
    FHandle = nullptr;
    FBits = nullptr;
    throw Exception("Can't select an object into DC");
  }
}

bool TBitmap32::SetSize(int NewWidth, int NewHeight) {
  if (NewWidth < 1) NewWidth = 0;
  if (NewHeight < 1) NewHeight = 0;
  if (NewWidth == FWidth && NewHeight == FHeight) return false;
  {
    TFinally notify([this] {
      Changed();
      Resized();
    });
    ReleaseImage();
    FWidth = 0;
    FHeight = 0;
    if (NewWidth > 0 && NewHeight > 0) CreateImage(NewWidth, NewHeight);
    FWidth = NewWidth;
    FHeight = NewHeight;
  }
  return true;
}

void TBitmap32::Clear(TColor32 Color) {
  if (IsEmpty()) return;
  const int64_t count = int64_t{FWidth} * FHeight;
  for (int64_t i = 0; i < count; ++i)
    FBits[i] = Color;
  Changed();
}

void TBitmap32::FillRect(int X1, int Y1, int X2, int Y2, TColor32 Value) {
  // Held to the image: callers may pass bands that reach outside it.
  if (!IsEmpty()) {
    X1 = std::max(X1, 0);
    Y1 = std::max(Y1, 0);
    X2 = std::min(X2, FWidth);
    Y2 = std::min(Y2, FHeight);
    for (int y = Y1; y < Y2; ++y)
      FillDwords(PixelPointer(X1, y), X2 - X1, Value);
  }
  Changed();
}

void TBitmap32::FillRectClipped(int X1, int Y1, int X2, int Y2, TColor32 Value) {
  if (X1 >= X2 || Y1 >= Y2 || X1 >= FWidth || Y1 >= FHeight || X2 <= 0 || Y2 <= 0) return;
  FillRect(std::max(X1, 0), std::max(Y1, 0), std::min(X2, FWidth), std::min(Y2, FHeight), Value);
}

void TBitmap32::MakeOpaque() {
  if (!IsEmpty()) {
    const int64_t count = int64_t{FWidth} * FHeight;
    for (int64_t i = 0; i < count; ++i)
      FBits[i] |= 0xFF000000u;
  }
  Changed();
}

void TBitmap32::Draw(int X, int Y, TBitmap32* Src) {
  if (Src) Src->DrawTo(this, X, Y);
}

void TBitmap32::DrawTo(TBitmap32* Dst) {
  DrawTo(Dst, 0, 0);
}

void TBitmap32::DrawTo(TBitmap32* Dst, int X, int Y) {
  if (IsEmpty() || !Dst || Dst->IsEmpty()) return;
  CopyBlock(Dst, X, Y, this, BoundsRect(), FDrawMode, OnPixelCombine);
  Dst->Changed();
}

void TBitmap32::DrawTo(TBitmap32* Dst, const TRect& DstRect) {
  DrawTo(Dst, DstRect, BoundsRect());
}

void TBitmap32::DrawTo(TBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect) {
  if (IsEmpty() || !Dst || Dst->IsEmpty()) return;
  StretchCopy(Dst, DstRect, this, SrcRect, FDrawMode, FStretchFilter, OnPixelCombine);
  Dst->Changed();
}

void TBitmap32::DrawToDC(HDC DC, int X, int Y) const {
  if (IsEmpty()) return;
  BitBlt(DC, X, Y, FWidth, FHeight, FHDC, 0, 0, SRCCOPY);
}

void TBitmap32::CopyPixelsFrom(const TBitmap32* Source) {
  std::memcpy(FBits, Source->FBits, static_cast<size_t>(FWidth) * FHeight * 4);
}

void TBitmap32::Assign(TPersistent* Source) {
  BeginUpdate();
  TFinally done([this] {
    EndUpdate();
    Changed();
  });
  if (!Source) {
    SetSize(0, 0);
    return;
  }
  if (auto* src = dynamic_cast<TBitmap32*>(Source)) {
    if (src == this) return;
    SetSize(src->Width(), src->Height());
    if (src->IsEmpty()) return;
    CopyPixelsFrom(src);
    FDrawMode = src->FDrawMode;
    FMasterAlpha = src->FMasterAlpha;
    FOuterColor = src->FOuterColor;
    FStretchFilter = src->FStretchFilter;
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(Source)) {
    AssignGraphic(picture->Graphic());
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(Source)) {
    AssignGraphic(graphic);
    return;
  }
  if (auto* clipboard = dynamic_cast<TClipboard*>(Source)) {
    TPicture picture;  // the clipboard's content, taken as a picture
    picture.Assign(clipboard);
    AssignGraphic(picture.Graphic());
    return;
  }
  TCustomMap::Assign(Source);
}

void TBitmap32::AssignGraphic(TGraphic* Graphic) {
  if (!Graphic) {  // an empty picture; every caller passes one just loaded, so this is only a safeguard
    SetSize(0, 0);
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Graphic)) {
    SetSize(bitmap->Width(), bitmap->Height());
    if (IsEmpty()) return;
    BitBlt(FHDC, 0, 0, FWidth, FHeight, bitmap->Canvas()->Handle(), 0, 0, SRCCOPY);
    if (bitmap->PixelFormat() != pf32bit) MakeOpaque();
    return;
  }
  SetSize(Graphic->Width(), Graphic->Height());
  if (IsEmpty()) return;
  TCanvas canvas;
  canvas.SetHandle(FHDC);
  canvas.StretchDraw(TRect{0, 0, FWidth, FHeight}, Graphic);
  canvas.SetHandle(nullptr);
  MakeOpaque();
}

void TBitmap32::CopyToBitmap(TBitmap* Bitmap) const {
  Bitmap->SetPixelFormat(pf32bit);
  Bitmap->SetSize(FWidth, FHeight);
  if (!IsEmpty()) BitBlt(Bitmap->Canvas()->Handle(), 0, 0, FWidth, FHeight, FHDC, 0, 0, SRCCOPY);
}

void TBitmap32::AssignTo(TPersistent* Dest) {
  if (auto* picture = dynamic_cast<TPicture*>(Dest)) {
    CopyToBitmap(picture->Bitmap());
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
    CopyToBitmap(bitmap);
    return;
  }
  if (auto* clipboard = dynamic_cast<TClipboard*>(Dest)) {
    TBitmap bitmap;
    CopyToBitmap(&bitmap);
    clipboard->Assign(&bitmap);
    return;
  }
  TCustomMap::AssignTo(Dest);
}

bool TBitmap32::SameImage(const TBitmap32* Other) const {
  if (!Other) return IsEmpty();
  if (IsEmpty() || Other->IsEmpty()) return IsEmpty() && Other->IsEmpty();
  if (typeid(*this) != typeid(*Other)) return false;
  if (FWidth != Other->FWidth || FHeight != Other->FHeight) return false;
  return std::memcmp(FBits, Other->FBits, static_cast<size_t>(FWidth) * FHeight * 4) == 0;
}

void TBitmap32::ReadData(TStream* Stream) {
  TFinally done([this] { Changed(); });
  int32_t w = 0;
  int32_t h = 0;
  Stream->ReadBuffer(&w, 4);
  Stream->ReadBuffer(&h, 4);
  // Only sizes that describe the pixels that follow are taken; the check comes before any allocation.
  const int64_t pixels = int64_t{w} * h;  // |w|, |h| <= 2^31: the product fits 64 bits
  const bool sizesAgree = (w > 0 && h > 0) || pixels == 0;
  if (!sizesAgree || pixels > (Stream->Size() - Stream->Position()) / 4)
    throw EReadError("Stream-Lesefehler");
  SetSize(w, h);
  if (!IsEmpty()) Stream->ReadBuffer(FBits, int64_t{FWidth} * FHeight * 4);
}

void TBitmap32::WriteData(TStream* Stream) const {
  const int32_t w = FWidth;
  const int32_t h = FHeight;
  Stream->WriteBuffer(&w, 4);
  Stream->WriteBuffer(&h, 4);
  if (!IsEmpty()) Stream->WriteBuffer(FBits, int64_t{FWidth} * FHeight * 4);
}

void TBitmap32::DefineProperties(TFiler* Filer) {
  Filer->DefineBinaryProperty(
      "Data", [this](TStream* Stream) { ReadData(Stream); }, [this](TStream* Stream) { WriteData(Stream); },
      DataNeedsWriting(Filer->Ancestor()));
}

bool TBitmap32::DataNeedsWriting(const TPersistent* Ancestor) const {
  if (!Ancestor) return !IsEmpty();
  const auto* other = dynamic_cast<const TBitmap32*>(Ancestor);
  return !other || !SameImage(other);
}

void TBitmap32::SetDrawMode(TDrawMode Value) {
  if (Value == FDrawMode) return;
  FDrawMode = Value;
  Changed();
}

void TBitmap32::SetMasterAlpha(uint32_t Value) {
  if (Value == FMasterAlpha) return;
  FMasterAlpha = Value;
  Changed();
}

void TBitmap32::SetStretchFilter(TStretchFilter Value) {
  if (Value == FStretchFilter) return;
  FStretchFilter = Value;
  Changed();
}

void TBitmap32::SetFont(TFont* Value) {
  if (Value) FFont->Assign(Value);
}

void TBitmap32::FontChanged(TObject*) {
  if (FFontHandle) {
    SelectObject(FHDC, GetStockObject(SYSTEM_FONT));
    FFontHandle = nullptr;
  }
}

// ---- Functions ----------------------------------------------------------------------------------------

TColor32 Color32FromTColor(int32_t Color) {
  return ColorToArgb(static_cast<uint32_t>(ColorToRGB(Color)));
}

void BuildGammaTable(float Gamma_) {
  for (int i = 0; i < 256; ++i) {
    const double v = 255.0 * std::pow(static_cast<double>(i) / 255.0, static_cast<double>(Gamma_));
    Gamma[i] = static_cast<uint8_t>(ConstrainInt(static_cast<int>(std::nearbyint(v)), 0, 255));
  }
}

const std::array<uint8_t, 256>& GammaTable() {
  return Gamma;
}

void LoadBitmap32FromFile(TBitmap32* Bitmap, const std::string& FileName) {
  auto picture = std::make_unique<TPicture>();
  picture->LoadFromFile(FileName);
  Bitmap->Assign(picture.get());
}
