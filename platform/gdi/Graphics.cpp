// Colours, fonts, pens, brushes, the canvas, TGraphic, TPicture with its format registry, icons and
// metafiles. TBitmap lives in Bitmap.cpp.
#include "platform/gdi/Graphics.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/gdi/BmpCodec.h"
#include "platform/gdi/GdiPrivate.h"
#include "platform/gdi/Jpeg.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

const char* const SScanLine = "Bereichsüberschreitung bei Zeilenindex";
const char* const SUnknownExtension = "Unbekannte Bilddateierweiterung (.%s)";
const char* const SInvalidBitmap = "Bitmap ist ungültig";
const char* const SInvalidIcon = "Symbol ist ungültig";
const char* const SInvalidMetafile = "Metadatei ist ungültig";

// ---- Colours -----------------------------------------------------------------------------------------

TColor ColorToRGB(TColor Color) {
  if (Color < 0) return static_cast<TColor>(GetSysColor(Color & 0xFF));
  return Color;
}

namespace {

struct ColorName {
  TColor Color;
  const char* Name;
};

constexpr ColorName kColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clActiveBorder, "clActiveBorder"},
    {clActiveCaption, "clActiveCaption"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clBackground, "clBackground"},
    {clBtnFace, "clBtnFace"},
    {clBtnHighlight, "clBtnHighlight"},
    {clBtnShadow, "clBtnShadow"},
    {clBtnText, "clBtnText"},
    {clCaptionText, "clCaptionText"},
    {clGrayText, "clGrayText"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clInactiveBorder, "clInactiveBorder"},
    {clInactiveCaption, "clInactiveCaption"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clInfoBk, "clInfoBk"},
    {clInfoText, "clInfoText"},
    {clMenu, "clMenu"},
    {clMenuText, "clMenuText"},
    {clScrollBar, "clScrollBar"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clWindowText, "clWindowText"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};

bool SameIdent(const std::string& a, const char* b) {
  const size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

bool IdentToColor(const std::string& Ident, TColor& Color) {
  for (const ColorName& c : kColorNames) {
    if (SameIdent(Ident, c.Name)) {
      Color = c.Color;
      return true;
    }
  }
  return false;
}

std::string ColorToString(TColor Color) {
  for (const ColorName& c : kColorNames)
    if (c.Color == Color) return c.Name;
  char buf[16];
  std::snprintf(buf, sizeof buf, "$%.8X", static_cast<unsigned>(Color));
  return buf;
}

TColor StringToColor(const std::string& S) {
  TColor c;
  if (IdentToColor(S, c)) return c;
  std::string t = S;
  bool hex = false;
  if (!t.empty() && t[0] == '$') {
    t.erase(0, 1);
    hex = true;
  } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    t.erase(0, 2);
    hex = true;
  }
  if (t.empty()) throw EConvertError("'" + S + "' ist kein gültiger Integerwert");
  char* end = nullptr;
  const long long v = std::strtoll(t.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0' || v < INT32_MIN || v > UINT32_MAX)
    throw EConvertError("'" + S + "' ist kein gültiger Integerwert");
  return static_cast<TColor>(static_cast<uint32_t>(v));
}

QColor ColorToQColor(TColor color) {
  const TColor c = ColorToRGB(color);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

namespace {

COLORREF ToColorRef(TColor c) {
  return static_cast<COLORREF>(ColorToRGB(c)) & 0xFFFFFF;
}

}  // namespace

// ---- Graphics objects ----------------------------------------------------------------------------------

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TFont::TFont() = default;
TFont::~TFont() {
  FreeHandle();
}

void TFont::FreeHandle() {
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
}

void TFont::ChangedFont() {
  FreeHandle();
  Changed();
}

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f == this) return;
    const bool same = FName == f->FName && FHeight == f->FHeight && FStyle == f->FStyle &&
                      FColor == f->FColor && FCharset == f->FCharset && FPitch == f->FPitch;
    if (same) return;
    FName = f->FName;
    FHeight = f->FHeight;
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    ChangedFont();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TFont::SetName(const std::string& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  ChangedFont();
}

void TFont::SetHeight(int Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  ChangedFont();
}

int TFont::Size() const {
  return -MulDiv(FHeight, 72, ScreenPixelsPerInch);
}

void TFont::SetSize(int Value) {
  SetHeight(-MulDiv(Value, ScreenPixelsPerInch, 72));
}

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  ChangedFont();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  ChangedFont();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  ChangedFont();
}

LOGFONT TFont::ToLogFont() const {
  LOGFONT lf;
  lf.lfHeight = FHeight;
  lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FStyle.Contains(fsItalic);
  lf.lfUnderline = FStyle.Contains(fsUnderline);
  lf.lfStrikeOut = FStyle.Contains(fsStrikeOut);
  lf.lfCharSet = FCharset;
  lf.lfFaceName = FName;
  return lf;
}

HFONT TFont::Handle() {
  if (!FHandle) {
    const LOGFONT lf = ToLogFont();
    FHandle = CreateFontIndirect(&lf);
  }
  return FHandle;
}

void TFont::SetHandle(HFONT Value) {
  LOGFONT lf;
  if (GetObject(Value, sizeof lf, &lf) != sizeof lf) return;
  FName = lf.lfFaceName;
  FHeight = lf.lfHeight;
  FStyle = TFontStyles();
  if (lf.lfWeight >= 600) FStyle.Include(fsBold);
  if (lf.lfItalic) FStyle.Include(fsItalic);
  if (lf.lfUnderline) FStyle.Include(fsUnderline);
  if (lf.lfStrikeOut) FStyle.Include(fsStrikeOut);
  ChangedFont();
}

QFont FontToQFont(TFont* font) {
  if (!font) return LogFontToQFont(LOGFONT{});
  return LogFontToQFont(font->ToLogFont());
}

TPen::TPen() = default;
TPen::~TPen() {
  if (FHandle) DeleteObject(FHandle);
}

void TPen::ChangedPen() {
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  Changed();
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    if (p == this) return;
    if (FColor == p->FColor && FWidth == p->FWidth && FStyle == p->FStyle && FMode == p->FMode) return;
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    ChangedPen();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  ChangedPen();
}

void TPen::SetWidth(int Value) {
  if (Value < 0 || Value == FWidth) return;
  FWidth = Value;
  ChangedPen();
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  ChangedPen();
}

void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}

HPEN TPen::Handle() {
  if (!FHandle) FHandle = CreatePen(static_cast<int>(FStyle), FWidth, ToColorRef(FColor));
  return FHandle;
}

TBrush::TBrush() = default;
TBrush::~TBrush() {
  if (FHandle) DeleteObject(FHandle);
}

void TBrush::ChangedBrush() {
  if (FHandle) DeleteObject(FHandle);
  FHandle = nullptr;
  Changed();
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b == this) return;
    if (FColor == b->FColor && FStyle == b->FStyle) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    ChangedBrush();
    return;
  }
  TGraphicsObject::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
  if (Value == FColor && FStyle != bsClear) return;
  FColor = Value;
  if (FStyle == bsClear) FStyle = bsSolid;
  ChangedBrush();
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  ChangedBrush();
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    LOGBRUSH lb;
    lb.lbColor = ToColorRef(FColor);
    switch (FStyle) {
      case bsSolid:
        lb.lbStyle = BS_SOLID;
        break;
      case bsClear:
        lb.lbStyle = BS_NULL;
        break;
      default:
        lb.lbStyle = BS_HATCHED;
        lb.lbHatch = static_cast<int>(FStyle) - static_cast<int>(bsHorizontal);
        break;
    }
    FHandle = CreateBrushIndirect(&lb);
  }
  return FHandle;
}

// ---- Canvas --------------------------------------------------------------------------------------------

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()) {
  FFont->SetOwnerLock(&FLock);
  FPen->SetOwnerLock(&FLock);
  FBrush->SetOwnerLock(&FLock);
}

TCanvas::~TCanvas() {
  SetHandle(nullptr);
}

HDC TCanvas::Handle() {
  if (!FHandle) CreateHandle();
  RequireState();
  return FHandle;
}

void TCanvas::SetHandle(HDC Value) {
  if (FHandle == Value) return;
  DeselectHandles();
  FHandle = Value;
}

void TCanvas::DeselectHandles() {
  if (!FHandle || !LookupDC(FHandle)) return;
  SelectObject(FHandle, GetStockObject(BLACK_PEN));
  SelectObject(FHandle, GetStockObject(WHITE_BRUSH));
  SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
}

void TCanvas::RequireState() {
  if (!FHandle) return;
  SelectObject(FHandle, FFont->Handle());
  SetTextColor(FHandle, ToColorRef(FFont->Color()));
  SelectObject(FHandle, FPen->Handle());
  // The pen modes in declaration order as GDI mix modes.
  static constexpr int kRop2[] = {R2_BLACK, R2_WHITE, R2_NOP, R2_NOT, R2_COPYPEN, 4, 14,        5,
                                  12,       3,        15,     2,      9,          8, R2_XORPEN, 10};
  SetROP2(FHandle, kRop2[static_cast<int>(FPen->Mode())]);
  SelectObject(FHandle, FBrush->Handle());
  SetBkColor(FHandle, ToColorRef(FBrush->Color()));
  SetBkMode(FHandle, FBrush->Style() == bsSolid ? OPAQUE : TRANSPARENT);
}

TPoint TCanvas::PenPos() {
  POINT p;
  HDC dc = Handle();
  MoveToEx(dc, 0, 0, &p);
  MoveToEx(dc, p.X, p.Y, nullptr);
  return p;
}

TColor TCanvas::Pixels(int X, int Y) {
  return static_cast<TColor>(GetPixel(Handle(), X, Y));
}

void TCanvas::SetPixels(int X, int Y, TColor Value) {
  Changing();
  SetPixel(Handle(), X, Y, ToColorRef(Value));
  Changed();
}

TRect TCanvas::ClipRect() {
  RECT r;
  GetClipBox(Handle(), &r);
  return r;
}

void TCanvas::Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4) {
  Changing();
  ::Arc(Handle(), X1, Y1, X2, Y2, X3, Y3, X4, Y4);
  Changed();
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source) {
  if (!Canvas) return;
  Changing();
  HDC src = Canvas->Handle();
  StretchBlt(Handle(), Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), src, Source.Left, Source.Top,
             Source.Width(), Source.Height(), FCopyMode);
  Changed();
}

void TCanvas::Draw(int X, int Y, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  Graphic->Draw(this, Bounds(X, Y, Graphic->Width(), Graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& Rect, TGraphic* Graphic) {
  if (!Graphic || Graphic->Empty()) return;
  Changing();
  Graphic->Draw(this, Rect);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& Rect) {
  Changing();
  ::DrawFocusRect(Handle(), Rect);
  Changed();
}

void TCanvas::Ellipse(int X1, int Y1, int X2, int Y2) {
  Changing();
  ::Ellipse(Handle(), X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::FillRect(const TRect& Rect) {
  Changing();
  HDC dc = Handle();
  ::FillRect(dc, Rect, FBrush->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& Rect) {
  Changing();
  HDC dc = Handle();
  ::FrameRect(dc, Rect, FBrush->Handle());
  Changed();
}

void TCanvas::LineTo(int X, int Y) {
  Changing();
  ::LineTo(Handle(), X, Y);
  Changed();
}

void TCanvas::MoveTo(int X, int Y) {
  MoveToEx(Handle(), X, Y, nullptr);
}

void TCanvas::Polygon(const std::vector<TPoint>& Points) {
  Changing();
  ::Polygon(Handle(), Points.data(), static_cast<int>(Points.size()));
  Changed();
}

void TCanvas::Polyline(const std::vector<TPoint>& Points) {
  Changing();
  ::Polyline(Handle(), Points.data(), static_cast<int>(Points.size()));
  Changed();
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2) {
  Changing();
  ::Rectangle(Handle(), X1, Y1, X2, Y2);
  Changed();
}

void TCanvas::RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3) {
  Changing();
  ::RoundRect(Handle(), X1, Y1, X2, Y2, X3, Y3);
  Changed();
}

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
  Changing();
  HDC dc = Handle();
  ::TextOut(dc, X, Y, Text);
  // The pen position moves to the end of the text, as the class library does.
  MoveToEx(dc, X + TextWidth(Text), Y, nullptr);
  Changed();
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const std::string& Text) {
  Changing();
  const UINT options = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOut(Handle(), X, Y, options, &Rect, Text);
  Changed();
}

TSize TCanvas::TextExtent(const std::string& Text) {
  SIZE s;
  GetTextExtentPoint32(Handle(), Text, &s);
  return s;
}

int TCanvas::TextWidth(const std::string& Text) {
  return TextExtent(Text).cx;
}

int TCanvas::TextHeight(const std::string& Text) {
  return TextExtent(Text).cy;
}

void TCanvas::FloodFill(int X, int Y, TColor Color, bool Surface) {
  // A four-way fill of the region that has (Surface) or does not have (border) the given colour.
  Changing();
  HDC dc = Handle();
  const COLORREF target = ToColorRef(Color);
  const COLORREF fill = ToColorRef(FBrush->Color());
  const COLORREF start = GetPixel(dc, X, Y);
  if (start == CLR_INVALID || (Surface && start != target) || (!Surface && start == target) ||
      (Surface && target == fill)) {
    Changed();
    return;
  }
  std::vector<TPoint> stack{{X, Y}};
  size_t guard = 0;
  while (!stack.empty() && ++guard < 50'000'000) {
    const TPoint p = stack.back();
    stack.pop_back();
    const COLORREF c = GetPixel(dc, p.X, p.Y);
    if (c == CLR_INVALID || c == fill) continue;
    if (Surface ? c != target : c == target) continue;
    SetPixel(dc, p.X, p.Y, fill);
    stack.push_back({p.X + 1, p.Y});
    stack.push_back({p.X - 1, p.Y});
    stack.push_back({p.X, p.Y + 1});
    stack.push_back({p.X, p.Y - 1});
  }
  Changed();
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

// ---- TGraphic ------------------------------------------------------------------------------------------

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed(this);
}

void TGraphic::SetModified(bool Value) {
  if (Value)
    Changed(this);
  else
    FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Msg);
}

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  // Written to memory first, then saved atomically, so a failing writer leaves the old file.
  TMemoryStream stream;
  SaveToStream(&stream);
  stream.SaveToFile(FileName);
}

// ---- TPicture ------------------------------------------------------------------------------------------

namespace {

struct FileFormat {
  std::string Extension;  // lower case, without the dot
  std::string Description;
  TGraphicClass GraphicClass;
};

std::string LowerExtension(std::string e) {
  if (!e.empty() && e[0] == '.') e.erase(0, 1);
  for (char& c : e)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return e;
}

std::mutex& FormatsLock() {
  static std::mutex lock;
  return lock;
}

std::vector<FileFormat>& Formats();

}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::GraphicChanged(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> NewGraphic) {
  FGraphic = std::move(NewGraphic);
  if (FGraphic) {
    FGraphic->OnChange = [this](TObject* s) { GraphicChanged(s); };
    FGraphic->OnProgress = [this](TObject* s, TProgressStage st, uint8_t pct, bool redraw, const TRect& r,
                                  const std::string& m) {
      if (OnProgress) OnProgress(s, st, pct, redraw, r, m);
    };
  }
  GraphicChanged(this);
}

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    TakeGraphic(nullptr);
    return;
  }
  // A new graphic of the same class, assigned from Value: the built-in classes directly, others through
  // the registry (probed outside its lock, as constructors may use it), then the nearest built-in base.
  const TGraphic& wanted = *Value;
  std::unique_ptr<TGraphic> copy;
  if (typeid(wanted) == typeid(TBitmap)) copy = std::make_unique<TBitmap>();
  if (typeid(wanted) == typeid(TJPEGImage)) copy = std::make_unique<TJPEGImage>();
  if (!copy) {
    std::vector<TGraphicClass> classes;
    {
      std::lock_guard guard(FormatsLock());
      for (const FileFormat& f : Formats())
        classes.push_back(f.GraphicClass);
    }
    for (TGraphicClass c : classes) {
      std::unique_ptr<TGraphic> probe = c();
      const TGraphic& made = *probe;
      if (typeid(made) == typeid(wanted)) {
        copy = std::move(probe);
        break;
      }
    }
  }
  if (!copy) {
    if (dynamic_cast<TBitmap*>(Value))
      copy = std::make_unique<TBitmap>();
    else if (dynamic_cast<TIcon*>(Value))
      copy = std::make_unique<TIcon>();
    else if (dynamic_cast<TMetafile*>(Value))
      copy = std::make_unique<TMetafile>();
    else
      throw EInvalidGraphic("Grafikklasse ist nicht registriert");
  }
  copy->Assign(Value);
  TakeGraphic(std::move(copy));
}

void TPicture::SetBitmap(TBitmap* Value) {
  SetGraphic(Value);
}

TBitmap* TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(FGraphic.get())) TakeGraphic(std::make_unique<TBitmap>());
  return static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::LoadFromFile(const std::string& FileName) {
  const size_t dot = FileName.find_last_of('.');
  const size_t slash = FileName.find_last_of("/\\");
  const std::string ext = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                              ? ""
                              : LowerExtension(FileName.substr(dot));
  const TGraphicClass cls = FindGraphicClass(ext);
  if (!cls) throw EInvalidGraphic(Format(SUnknownExtension, ext));
  std::unique_ptr<TGraphic> graphic = cls();
  graphic->OnProgress = [this](TObject* s, TProgressStage st, uint8_t pct, bool redraw, const TRect& r,
                               const std::string& m) {
    if (OnProgress) OnProgress(s, st, pct, redraw, r, m);
  };
  graphic->LoadFromFile(FileName);  // on failure `graphic` is freed and the picture keeps its graphic
  TakeGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& FileName) {
  if (FGraphic) FGraphic->SaveToFile(FileName);
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    if (p != this) SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPicture::AssignTo(TPersistent* Dest) {
  if (auto* g = dynamic_cast<TGraphic*>(Dest); g && FGraphic) {
    g->Assign(FGraphic.get());
    return;
  }
  TPersistent::AssignTo(Dest);
}

namespace {

std::vector<FileFormat>& Formats() {
  static std::vector<FileFormat> formats = [] {
    std::vector<FileFormat> f;
    f.push_back({"bmp", "Bitmaps", GraphicClassOf<TBitmap>()});
    f.push_back({"jpg", "JPEG-Grafikdatei", GraphicClassOf<TJPEGImage>()});
    f.push_back({"jpeg", "JPEG-Grafikdatei", GraphicClassOf<TJPEGImage>()});
    f.push_back({"ico", "Symbole", GraphicClassOf<TIcon>()});
    f.push_back({"wmf", "Metadateien", GraphicClassOf<TMetafile>()});
    f.push_back({"emf", "Erweiterte Metadateien", GraphicClassOf<TMetafile>()});
    return f;
  }();
  return formats;
}

}  // namespace

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                  TGraphicClass GraphicClass) {
  std::lock_guard guard(FormatsLock());
  std::vector<FileFormat>& formats = Formats();
  const std::string ext = LowerExtension(Extension);
  // A later registration of an extension takes precedence.
  formats.insert(formats.begin(), {ext, Description, GraphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass GraphicClass) {
  std::lock_guard guard(FormatsLock());
  std::erase_if(Formats(), [&](const FileFormat& f) { return f.GraphicClass == GraphicClass; });
}

TGraphicClass TPicture::FindGraphicClass(const std::string& Extension) {
  std::lock_guard guard(FormatsLock());
  const std::string ext = LowerExtension(Extension);
  for (const FileFormat& f : Formats())
    if (f.Extension == ext) return f.GraphicClass;
  return nullptr;
}

// ---- TIcon ---------------------------------------------------------------------------------------------

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Decodes one icon image: a PNG, or a DIB with an AND mask below its colour rows.
QImage DecodeIconImage(const uint8_t* data, size_t size) {
  if (size >= 8 && std::memcmp(data, "\x89PNG", 4) == 0) {
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                               static_cast<qsizetype>(std::min<size_t>(size, INT32_MAX)));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "PNG");
    // The declared size is bounded before the picture is decoded.
    const QSize declared = reader.size();
    if (!PictureSizeAccepted(declared.width(), declared.height())) throw EInvalidGraphic(SInvalidIcon);
    const QImage img = reader.read();
    if (img.isNull()) throw EInvalidGraphic(SInvalidIcon);
    return img.convertToFormat(QImage::Format_ARGB32);
  }
  if (size < 40) throw EInvalidGraphic(SInvalidIcon);
  const uint32_t headerSize = Le32(data);
  const int32_t width = static_cast<int32_t>(Le32(data + 4));
  const int32_t doubled = static_cast<int32_t>(Le32(data + 8));
  const int bits = Le16(data + 14);
  if (headerSize != 40 || width <= 0 || width > 1024 || doubled <= 0 || doubled > 2048)
    throw EInvalidGraphic(SInvalidIcon);
  const int height = doubled / 2;
  if (height <= 0) throw EInvalidGraphic(SInvalidIcon);
  // Build a BMP around the colour part so the BMP reader does the decoding and the checks.
  const size_t colors =
      bits <= 8 ? (Le32(data + 32) ? std::min<size_t>(Le32(data + 32), size_t{1} << bits) : size_t{1} << bits)
                : 0;
  const size_t table = colors * 4;
  const size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  const size_t colorBytes = stride * size_t(height);
  const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
  if (40 + table + colorBytes > size) throw EInvalidGraphic(SInvalidIcon);
  std::vector<uint8_t> bmp(14 + 40 + table + colorBytes);
  bmp[0] = 'B';
  bmp[1] = 'M';
  const uint32_t off = static_cast<uint32_t>(14 + 40 + table);
  std::memcpy(&bmp[10], &off, 4);
  std::memcpy(&bmp[14], data, 40 + table + colorBytes);
  const int32_t h = height;
  std::memcpy(&bmp[14 + 8], &h, 4);
  const uint32_t used = static_cast<uint32_t>(colors);
  std::memcpy(&bmp[14 + 32], &used, 4);
  const uint32_t rgb = BI_RGB;
  std::memcpy(&bmp[14 + 16], &rgb, 4);
  HBITMAP hb = DecodeBmp(bmp.data(), bmp.size());
  QImage img = BitmapToQImage(hb);
  const bool alpha = bits == 32;
  DeleteObject(hb);
  const uint8_t* mask = data + 40 + table + colorBytes;
  const bool hasMask = 40 + table + colorBytes + maskStride * size_t(height) <= size;
  bool anyAlpha = false;
  if (alpha)
    for (int y = 0; y < height && !anyAlpha; ++y)
      for (int x = 0; x < width; ++x)
        if (qAlpha(img.pixel(x, y)) != 0) {
          anyAlpha = true;
          break;
        }
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<uint32_t*>(img.scanLine(y));
    for (int x = 0; x < width; ++x) {
      bool transparent = false;
      if (hasMask) {
        const uint8_t* row = mask + maskStride * size_t(height - 1 - y);
        transparent = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      if (!alpha || !anyAlpha) line[x] = transparent ? 0 : (line[x] | 0xFF000000);
    }
  }
  return img;
}

}  // namespace

TIcon::TIcon() = default;
TIcon::~TIcon() {
  if (FHandle) DestroyIcon(FHandle);
}

void TIcon::Assign(TPersistent* Source) {
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    if (i == this) return;
    GdiIcon* src = LookupGdi<GdiIcon>(i->FHandle);
    HICON copy = nullptr;
    if (src) {
      auto icon = std::make_unique<GdiIcon>();
      icon->Image = src->Image.copy();
      copy = RegisterGdiObject(std::move(icon));
    }
    SetHandle(copy);
    return;
  }
  TGraphic::Assign(Source);
}

int TIcon::Width() const {
  GdiIcon* i = LookupGdi<GdiIcon>(FHandle);
  return i ? i->Image.width() : 0;
}

int TIcon::Height() const {
  GdiIcon* i = LookupGdi<GdiIcon>(FHandle);
  return i ? i->Image.height() : 0;
}

void TIcon::SetWidth(int) {
  throw EInvalidGraphicOperation("Größe eines Symbols kann nicht geändert werden");
}
void TIcon::SetHeight(int) {
  throw EInvalidGraphicOperation("Größe eines Symbols kann nicht geändert werden");
}

void TIcon::SetHandle(HICON Value) {
  if (Value == FHandle) return;
  if (FHandle) DestroyIcon(FHandle);
  FHandle = Value;
  Changed(this);
}

HICON TIcon::ReleaseHandle() {
  return std::exchange(FHandle, nullptr);
}

void TIcon::LoadFromStream(TStream* Stream) {
  const int64_t size = Stream->Size() - Stream->Position();
  if (size < 6 || size > 64 * 1024 * 1024) throw EInvalidGraphic(SInvalidIcon);
  std::vector<uint8_t> data(static_cast<size_t>(size));
  Stream->ReadBuffer(data.data(), size);
  if (Le16(&data[0]) != 0 || Le16(&data[2]) != 1) throw EInvalidGraphic(SInvalidIcon);
  const int count = Le16(&data[4]);
  if (count == 0 || 6 + size_t(count) * 16 > data.size()) throw EInvalidGraphic(SInvalidIcon);
  // The largest image, the deepest of equal sizes.
  int best = -1;
  int64_t bestScore = -1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = &data[6 + size_t(i) * 16];
    const int w = e[0] ? e[0] : 256;
    const int h = e[1] ? e[1] : 256;
    const int64_t score = int64_t{w} * h * 64 + Le16(e + 6);
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  const uint8_t* e = &data[6 + size_t(best) * 16];
  const uint32_t bytes = Le32(e + 8);
  const uint32_t offset = Le32(e + 12);
  if (offset > data.size() || bytes > data.size() - offset) throw EInvalidGraphic(SInvalidIcon);
  auto icon = std::make_unique<GdiIcon>();
  icon->Image = DecodeIconImage(&data[offset], bytes);
  SetHandle(RegisterGdiObject(std::move(icon)));
}

void TIcon::SaveToStream(TStream* Stream) {
  GdiIcon* i = LookupGdi<GdiIcon>(FHandle);
  if (!i) return;
  // One 32-bit image with its alpha and a mask from it.
  const QImage& img = i->Image;
  const int w = img.width(), h = img.height();
  const size_t maskStride = ((size_t(w) + 31) / 32) * 4;
  const size_t bytes = 40 + size_t(w) * h * 4 + maskStride * h;
  std::vector<uint8_t> out;
  auto p16 = [&](uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto p32 = [&](uint32_t v) {
    p16(v & 0xFFFF);
    p16(v >> 16);
  };
  p16(0);
  p16(1);
  p16(1);
  out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
  out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
  out.push_back(0);
  out.push_back(0);
  p16(1);
  p16(32);
  p32(static_cast<uint32_t>(bytes));
  p32(22);
  p32(40);
  p32(static_cast<uint32_t>(w));
  p32(static_cast<uint32_t>(2 * h));
  p16(1);
  p16(32);
  for (int k = 0; k < 6; ++k)
    p32(0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* line = reinterpret_cast<const uint32_t*>(img.constScanLine(y));
    for (int x = 0; x < w; ++x)
      p32(line[x]);
  }
  for (int y = h - 1; y >= 0; --y) {
    std::vector<uint8_t> row(maskStride, 0);
    for (int x = 0; x < w; ++x)
      if (qAlpha(img.pixel(x, y)) < 128) row[size_t(x) >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    out.insert(out.end(), row.begin(), row.end());
  }
  Stream->WriteBuffer(out.data(), static_cast<int64_t>(out.size()));
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!FHandle) return;
  DrawIconEx(ACanvas->Handle(), Rect.Left, Rect.Top, FHandle, Rect.Width(), Rect.Height(), 0, nullptr,
             DI_NORMAL);
}

// ---- TMetafile -----------------------------------------------------------------------------------------

void TMetafile::LoadFromStream(TStream*) {
  throw EInvalidGraphic(SInvalidMetafile);
}
void TMetafile::SaveToStream(TStream*) {
  throw EInvalidGraphic(SInvalidMetafile);
}
