// The class library's graphics classes: colours, fonts, pens, brushes, the canvas, pictures (TGraphic,
// TIcon, TMetafile; TBitmap in Bitmap.h) and TPicture with its registry of picture file formats.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/Windows.h"
#include "platform/rtl/Classes.h"

class TStream;

// ---- Colours -----------------------------------------------------------------------------------------

// 0x00BBGGRR; system colours have the top bit set and the system colour index in the low byte.
using TColor = int32_t;

constexpr TColor SystemColor(int index) {
  return static_cast<TColor>(0x80000000u | static_cast<uint32_t>(index));
}

constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

// Resolves system colours (negative values) through the fixed classic table; other values are returned
// unchanged.
[[nodiscard]] TColor ColorToRGB(TColor Color);
// "clRed", "clBtnFace"... or "$00BBGGRR"; and back (StringToColor raises EConvertError when unknown).
[[nodiscard]] std::string ColorToString(TColor Color);
[[nodiscard]] TColor StringToColor(const std::string& S);
[[nodiscard]] bool IdentToColor(const std::string& Ident, TColor& Color);

// ---- Fonts, pens, brushes ----------------------------------------------------------------------------

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle>;
using enum TFontStyle;
enum class TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset ANSI_CHARSET = 0;

// Screen resolution assumed for font sizes in points.
constexpr int ScreenPixelsPerInch = 96;

// A graphics object with a change event and a lazily created GDI handle.
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;
  // Guards the object while another thread draws with it (set by a canvas or a bitmap that owns it).
  void SetOwnerLock(std::recursive_mutex* Lock) { FOwnerLock = Lock; }

 protected:
  virtual void Changed();
  std::recursive_mutex* FOwnerLock = nullptr;
};

// Name, Height (negative: character height in pixels; positive: cell height), Size (points at 96
// dpi), Style, Color. Names of Windows fonts map to installed substitutes when drawing.
class TFont final : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;
  void Assign(TPersistent* Source) override;

  [[nodiscard]] const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  [[nodiscard]] int Height() const { return FHeight; }
  void SetHeight(int Value);
  [[nodiscard]] int Size() const;
  void SetSize(int Value);
  [[nodiscard]] TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  [[nodiscard]] TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  [[nodiscard]] TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  [[nodiscard]] TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  [[nodiscard]] int PixelsPerInch() const { return ScreenPixelsPerInch; }

  // The GDI font (owned by this object; valid until the next change).
  [[nodiscard]] HFONT Handle();
  void SetHandle(HFONT Value);
  [[nodiscard]] LOGFONT ToLogFont() const;

 protected:
  std::string ClassName() const override { return "TFont"; }

 private:
  void ChangedFont();
  void FreeHandle();
  std::string FName = "MS Sans Serif";
  int FHeight = -11;
  TFontStyles FStyle;
  TColor FColor = clWindowText;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = TFontPitch::fpDefault;
  HFONT FHandle = nullptr;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
using enum TPenStyle;
enum class TPenMode {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};
using enum TPenMode;

class TPen final : public TGraphicsObject {
 public:
  TPen();
  ~TPen() override;
  void Assign(TPersistent* Source) override;

  [[nodiscard]] TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  [[nodiscard]] int Width() const { return FWidth; }
  void SetWidth(int Value);
  [[nodiscard]] TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  [[nodiscard]] TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);
  [[nodiscard]] HPEN Handle();

 protected:
  std::string ClassName() const override { return "TPen"; }

 private:
  void ChangedPen();
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  HPEN FHandle = nullptr;
};

enum class TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};
using enum TBrushStyle;

class TBitmap;

class TBrush final : public TGraphicsObject {
 public:
  TBrush();
  ~TBrush() override;
  void Assign(TPersistent* Source) override;

  [[nodiscard]] TColor Color() const { return FColor; }
  // Setting a colour makes a clear brush solid again (as the class library does).
  void SetColor(TColor Value);
  [[nodiscard]] TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  [[nodiscard]] HBRUSH Handle();

 protected:
  std::string ClassName() const override { return "TBrush"; }

 private:
  void ChangedBrush();
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBRUSH FHandle = nullptr;
};

// ---- Canvas ------------------------------------------------------------------------------------------

using TCopyMode = DWORD;
constexpr TCopyMode cmBlackness = BLACKNESS;
constexpr TCopyMode cmDstInvert = DSTINVERT;
constexpr TCopyMode cmMergeCopy = MERGECOPY;
constexpr TCopyMode cmMergePaint = MERGEPAINT;
constexpr TCopyMode cmNotSrcCopy = NOTSRCCOPY;
constexpr TCopyMode cmNotSrcErase = NOTSRCERASE;
constexpr TCopyMode cmPatCopy = PATCOPY;
constexpr TCopyMode cmPatInvert = PATINVERT;
constexpr TCopyMode cmPatPaint = PATPAINT;
constexpr TCopyMode cmSrcAnd = SRCAND;
constexpr TCopyMode cmSrcCopy = SRCCOPY;
constexpr TCopyMode cmSrcErase = SRCERASE;
constexpr TCopyMode cmSrcInvert = SRCINVERT;
constexpr TCopyMode cmSrcPaint = SRCPAINT;
constexpr TCopyMode cmWhiteness = WHITENESS;

class TGraphic;

// Draws on a device context with its Pen, Brush and Font. A plain TCanvas draws on a DC handed to it
// with SetHandle (a window while it paints: the window layer creates that DC); TBitmap's canvas draws
// on the bitmap. OnChanging fires before and OnChange after every drawing operation.
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  [[nodiscard]] HDC Handle();
  // Takes a DC to draw on (not owned); null detaches.
  void SetHandle(HDC Value);
  [[nodiscard]] bool HandleAllocated() const { return FHandle != nullptr; }

  [[nodiscard]] TPen* Pen() const { return FPen.get(); }
  void SetPen(TPen* Value) { FPen->Assign(Value); }
  [[nodiscard]] TBrush* Brush() const { return FBrush.get(); }
  void SetBrush(TBrush* Value) { FBrush->Assign(Value); }
  [[nodiscard]] TFont* Font() const { return FFont.get(); }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  [[nodiscard]] TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
  [[nodiscard]] TPoint PenPos();
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }

  // CLR_INVALID (-1) outside the drawing surface.
  [[nodiscard]] TColor Pixels(int X, int Y);
  void SetPixels(int X, int Y, TColor Value);
  [[nodiscard]] TRect ClipRect();

  void Arc(int X1, int Y1, int X2, int Y2, int X3, int Y3, int X4, int Y4);
  void CopyRect(const TRect& Dest, TCanvas* Canvas, const TRect& Source);
  void Draw(int X, int Y, TGraphic* Graphic);
  void DrawFocusRect(const TRect& Rect);
  void Ellipse(int X1, int Y1, int X2, int Y2);
  void Ellipse(const TRect& Rect) { Ellipse(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void FillRect(const TRect& Rect);
  void FrameRect(const TRect& Rect);
  void LineTo(int X, int Y);
  void MoveTo(int X, int Y);
  void Polygon(const std::vector<TPoint>& Points);
  void Polyline(const std::vector<TPoint>& Points);
  void Rectangle(int X1, int Y1, int X2, int Y2);
  void Rectangle(const TRect& Rect) { Rectangle(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom); }
  void RoundRect(int X1, int Y1, int X2, int Y2, int X3, int Y3);
  void StretchDraw(const TRect& Rect, TGraphic* Graphic);
  void TextOut(int X, int Y, const std::string& Text);
  void TextRect(const TRect& Rect, int X, int Y, const std::string& Text);
  [[nodiscard]] TSize TextExtent(const std::string& Text);
  [[nodiscard]] int TextWidth(const std::string& Text);
  // Ascent plus descent of the font.
  [[nodiscard]] int TextHeight(const std::string& Text);
  void FloodFill(int X, int Y, TColor Color, bool Surface);

  // Serialises drawing between threads (recursive).
  void Lock();
  void Unlock();
  [[nodiscard]] bool TryLock();
  [[nodiscard]] int LockCount() const { return FLockCount; }
  [[nodiscard]] std::recursive_mutex* LockObject() { return &FLock; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

  virtual void Changing();
  virtual void Changed();

 protected:
  // Called when a handle is needed and none is set; a bitmap's canvas creates its DC here.
  virtual void CreateHandle() {}
  // Puts the pen, brush and font into the DC before drawing.
  void RequireState();
  // The DC without the drawing state (pixel access needs none).
  HDC PlainHandle();
  void DeselectHandles();
  std::string ClassName() const override { return "TCanvas"; }

  HDC FHandle = nullptr;

 private:
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  TCopyMode FCopyMode = cmSrcCopy;
  std::recursive_mutex FLock;
  int FLockCount = 0;
};

// ---- Pictures ----------------------------------------------------------------------------------------

enum class TProgressStage { psStarting, psRunning, psEnding };
using enum TProgressStage;
using TProgressEvent = std::function<void(TObject* Sender, TProgressStage Stage, uint8_t PercentDone,
                                          bool RedrawNow, const TRect& R, const std::string& Msg)>;

// The largest picture the programs take from a file: at most MaxPictureSide pixels a side and
// MaxPicturePixels (8 megapixels, as much as a 4K screen shows) in all. Every picture reader checks the
// size a file declares against it before it takes memory for the pixels, and refuses a larger picture
// with its usual load error. On its way to a window such a picture costs each program well under a
// gigabyte (decoded copies, back buffers, region rectangles).
inline constexpr int MaxPictureSide = 16384;
inline constexpr int64_t MaxPicturePixels = int64_t{1} << 23;
// Whether a picture of this size is within the bound (sides of 0 are, as an empty picture).
[[nodiscard]] constexpr bool PictureSizeAccepted(int64_t Width, int64_t Height) {
  return Width >= 0 && Height >= 0 && Width <= MaxPictureSide && Height <= MaxPictureSide &&
         Width * Height <= MaxPicturePixels;
}
// The largest picture file a reader takes into memory: room for the pixels of the largest picture at
// 32 bits, with its headers and colour table.
inline constexpr int64_t MaxPictureFileBytes = MaxPicturePixels * 4 + (int64_t{1} << 20);

// A picture: draws itself on a canvas, loads from and saves to files and streams.
class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  [[nodiscard]] virtual bool Empty() const = 0;
  [[nodiscard]] virtual int Width() const = 0;
  virtual void SetWidth(int Value) = 0;
  [[nodiscard]] virtual int Height() const = 0;
  virtual void SetHeight(int Value) = 0;
  [[nodiscard]] virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  [[nodiscard]] virtual HPALETTE Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE Value) {}
  [[nodiscard]] bool Modified() const { return FModified; }
  void SetModified(bool Value);
  [[nodiscard]] bool PaletteModified() const { return FPaletteModified; }
  void SetPaletteModified(bool Value) { FPaletteModified = Value; }

  virtual void LoadFromFile(const std::string& FileName);
  virtual void SaveToFile(const std::string& FileName);
  virtual void LoadFromStream(TStream* Stream) = 0;
  virtual void SaveToStream(TStream* Stream) = 0;

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

  // The drawing entry point of TCanvas::Draw and StretchDraw.
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  virtual void Changed(TObject* Sender);
  virtual void Progress(TObject* Sender, TProgressStage Stage, uint8_t PercentDone, bool RedrawNow,
                        const TRect& R, const std::string& Msg);

 protected:
  std::string ClassName() const override { return "TGraphic"; }
  bool FTransparent = false;

 private:
  bool FModified = false;
  bool FPaletteModified = false;
};

// A graphic class of the picture-format registry: creates a new, empty graphic of that class.
using TGraphicClass = std::unique_ptr<TGraphic> (*)();
template <typename T>
std::unique_ptr<TGraphic> CreateGraphicOf() {
  return std::make_unique<T>();
}
template <typename T>
constexpr TGraphicClass GraphicClassOf() {
  return &CreateGraphicOf<T>;
}

// An icon (.ico): the largest image of the file, drawn with its transparency.
class TIcon final : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  void Assign(TPersistent* Source) override;
  [[nodiscard]] bool Empty() const override { return FHandle == nullptr; }
  [[nodiscard]] int Width() const override;
  void SetWidth(int Value) override;
  [[nodiscard]] int Height() const override;
  void SetHeight(int Value) override;
  [[nodiscard]] HICON Handle() const { return FHandle; }
  void SetHandle(HICON Value);
  [[nodiscard]] HICON ReleaseHandle();
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 protected:
  std::string ClassName() const override { return "TIcon"; }

 private:
  HICON FHandle = nullptr;
};

// Metafiles are not supported: the class exists, loading raises EInvalidGraphic.
class TMetafile final : public TGraphic {
 public:
  [[nodiscard]] bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  [[nodiscard]] int Width() const override { return FWidth; }
  void SetWidth(int Value) override { FWidth = Value; }
  [[nodiscard]] int Height() const override { return FHeight; }
  void SetHeight(int Value) override { FHeight = Value; }
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override {}

 protected:
  std::string ClassName() const override { return "TMetafile"; }

 private:
  int FWidth = 0;
  int FHeight = 0;
};

// Holds one graphic of any registered class; loads files by extension.
class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;
  void Assign(TPersistent* Source) override;

  [[nodiscard]] TGraphic* Graphic() const { return FGraphic.get(); }
  // Keeps a copy of Value (a new graphic of the same class, assigned from it); null clears.
  void SetGraphic(TGraphic* Value);
  // The graphic as a bitmap; replaces any other graphic by a new empty TBitmap.
  [[nodiscard]] TBitmap* Bitmap();
  void SetBitmap(TBitmap* Value);
  [[nodiscard]] int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  [[nodiscard]] int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // Chooses the class by the file's extension (ignoring case); an unknown extension raises
  // EInvalidGraphic. A graphic that fails to load is freed and the picture keeps what it had.
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);

  static void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                                 TGraphicClass GraphicClass);
  static void UnregisterGraphicClass(TGraphicClass GraphicClass);
  // The class registered for an extension (with or without the dot), or null.
  [[nodiscard]] static TGraphicClass FindGraphicClass(const std::string& Extension);

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  std::string ClassName() const override { return "TPicture"; }
  void AssignTo(TPersistent* Dest) override;

 private:
  void TakeGraphic(std::unique_ptr<TGraphic> NewGraphic);
  void GraphicChanged(TObject* Sender);
  std::unique_ptr<TGraphic> FGraphic;
};

// The exception messages of this unit.
extern const char* const SScanLine;          // "Bereichsüberschreitung bei Zeilenindex"
extern const char* const SUnknownExtension;  // "Unbekannte Bilddateierweiterung (.%s)"
extern const char* const SInvalidBitmap;     // "Bitmap ist ungültig"
extern const char* const SInvalidIcon;       // "Symbol ist ungültig"
extern const char* const SInvalidMetafile;   // "Metadatei ist ungültig"

// TBitmap is declared in its own unit; including this header gives it too.
#include "platform/gdi/Bitmap.h"
