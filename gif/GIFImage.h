// The GIF picture: a TGraphic that owns the logical-screen header with the global colour table and the
// list of frames, and loads and saves whole GIF streams.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gif/GIFCore.h"
#include "gif/GIFPainter.h"
#include "gif/GIFSubImage.h"
#include "platform/gdi/Bitmap.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Threads.h"

// The frames of an image in stream order.
class TGIFImageList final : public TGIFList {
 public:
  using TGIFList::TGIFList;
  [[nodiscard]] TGIFSubImage* SubImage(int Index) const { return static_cast<TGIFSubImage*>(Items(Index)); }
  // Reads frames until the trailer (left unread) or the end of the stream.
  void LoadFromStream(TStream* Stream, TObject* Parent);
  void SaveToStream(TStream* Stream) override;
  // The pixels that the frames hold together; while frames are being read, a running total of those
  // read so far, so that each new frame is checked against the file's bound in constant time.
  [[nodiscard]] int64_t PixelsSize() const;

 protected:
  [[nodiscard]] std::string ClassName() const override { return "TGIFImageList"; }

 private:
  int64_t FLoadedPixels = -1;  // the running total while loading, else -1
};

// The trailer ";" at the end of a GIF stream.
class TGIFTrailer final : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream* Stream) override;
  // Warns "Invalid Image trailer" when the next byte is not ";".
  void LoadFromStream(TStream* Stream) override;
};

// Encoder used when frames are written.
enum TGIFCompression : uint8_t { gcLZW = 0, gcRLE = 1 };

// Colour reduction used when a frame is made from a true-colour picture.
enum class TReductionMethod : uint8_t {
  rcNone,
  rcSystem20,
  rcHalftone,
  rcGray4,
  rcMonochrome,
  rcGray256,
  rcWebPalette,
  rcQuantize,
  rcQuantizeWithSystem,
  rcCustomPalette
};
using enum TReductionMethod;

enum class TDitherKind : uint8_t {
  dtNearest,
  dtFloydSteinberg,
  dtStucki,
  dtSierra,
  dtJaJuNi,
  dtSteveArche,
  dtBurkes
};
using enum TDitherKind;

// Draw options (bit flags).
using TGIFDrawOptions = uint16_t;
inline constexpr TGIFDrawOptions goThreaded = 0x0001;
inline constexpr TGIFDrawOptions goTransparent = 0x0002;
inline constexpr TGIFDrawOptions goAnimate = 0x0004;
inline constexpr TGIFDrawOptions goLoop = 0x0008;
inline constexpr TGIFDrawOptions goLoopForever = 0x0010;
inline constexpr TGIFDrawOptions goCheckCanvas = 0x0020;
inline constexpr TGIFDrawOptions goDirect = 0x0040;
inline constexpr TGIFDrawOptions goClearOnLoop = 0x0080;
inline constexpr TGIFDrawOptions goTile = 0x0100;
inline constexpr TGIFDrawOptions goDither = 0x0200;
inline constexpr TGIFDrawOptions goDitherLowColor = 0x0400;

inline constexpr TGIFDrawOptions GIFDefaultDrawOptions = 0x060F;
inline constexpr TReductionMethod GIFDefaultReductionMethod = rcWebPalette;
inline constexpr int GIFDefaultReductionBits = 8;
inline constexpr TDitherKind GIFDefaultDitherMode = dtNearest;
inline constexpr TGIFCompression GIFDefaultCompression = gcLZW;
inline constexpr int GIFDefaultAnimationSpeed = 100;
// The class library's clNone: take the background from the picture.
inline constexpr TColor GIFDefaultDrawBackgroundColor = 0x1FFFFFFF;

using TGIFWarning = std::function<void(TObject* Sender, int Severity, const std::string& Message)>;

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  // TGraphic
  [[nodiscard]] bool Empty() const override { return FImages->Count() == 0; }
  [[nodiscard]] int Width() const override { return FHeader->LogicalScreenDescriptor.ScreenWidth; }
  // Raises "Image width too small for contained frames" when a frame reaches past the new width.
  void SetWidth(int Value) override;
  [[nodiscard]] int Height() const override { return FHeader->LogicalScreenDescriptor.ScreenHeight; }
  void SetHeight(int Value) override;
  void LoadFromStream(TStream* Stream) override;
  // Raises "Unsupported GIF version" for a picture without frames.
  void SaveToStream(TStream* Stream) override;
  // One frame (or no animation): the first frame. Animated: through a painter, which paints into the
  // cached bitmap (or, with goDirect, straight onto ACanvas).
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  void Assign(TPersistent* Source) override;
  // Identity, not content.
  [[nodiscard]] bool Equals(const TGraphic* Graphic) const { return Graphic == this; }
  // The cached palette, else the web palette when dithering, else one of the global colour table, else
  // the first frame's. A picture without any colour table raises "No global or local color table defined".
  [[nodiscard]] HPALETTE Palette() override;
  // Takes Value as the cached palette (the image owns it) and drops the old one.
  void SetPalette(HPALETTE Value) override;
  // Frames are rendered against the web palette: goDither is set and either goDitherLowColor is clear or
  // the display shows at most 256 colours.
  [[nodiscard]] bool ShouldDither() const;

  void ClearImage();
  [[nodiscard]] TGIFImageList* Images() const { return FImages.get(); }
  [[nodiscard]] TGIFHeader* Header() const { return FHeader.get(); }
  [[nodiscard]] TGIFGlobalColorMap* GlobalColorMap() const { return FHeader->GlobalColorMap(); }
  // Adds a copy of Source (a frame of any image, or any picture converted to a frame) as a new last frame;
  // returns its index. Raises "Object type not supported for operation" for anything else.
  int AddFrame(TPersistent* Source);
  // Adds a frame of this image, taking it over; a frame of another image is copied instead.
  int AddFrame(std::unique_ptr<TGIFSubImage> Frame);

  // 0 without frames, else the highest version any frame needs.
  [[nodiscard]] int RequiredVersion() const;
  [[nodiscard]] int ColorResolution() const;
  [[nodiscard]] int BitsPerPixel() const;
  [[nodiscard]] TColor BackgroundColor();

  [[nodiscard]] TGIFCompression Compression() const { return FCompression; }
  void SetCompression(TGIFCompression Value) { FCompression = Value; }
  [[nodiscard]] TGIFDrawOptions DrawOptions() const { return FDrawOptions; }
  void SetDrawOptions(TGIFDrawOptions Value) { FDrawOptions = Value; }
  [[nodiscard]] TReductionMethod ColorReduction() const { return FColorReduction; }
  void SetColorReduction(TReductionMethod Value) { FColorReduction = Value; }
  [[nodiscard]] int ReductionBits() const { return FReductionBits; }
  void SetReductionBits(int Value) { FReductionBits = Value; }
  [[nodiscard]] TDitherKind DitherMode() const { return FDitherMode; }
  void SetDitherMode(TDitherKind Value) { FDitherMode = Value; }
  [[nodiscard]] int AnimationSpeed() const { return FAnimationSpeed; }
  void SetAnimationSpeed(int Value) { FAnimationSpeed = Value; }
  [[nodiscard]] TThreadPriority ThreadPriority() const { return FThreadPriority; }
  void SetThreadPriority(TThreadPriority Value) { FThreadPriority = Value; }
  [[nodiscard]] TColor DrawBackgroundColor() const { return FDrawBackgroundColor; }
  void SetDrawBackgroundColor(TColor Value) { FDrawBackgroundColor = Value; }

  // Every warning of the header, lists, frames and extensions arrives here.
  virtual void ReportWarning(TObject* Sender, int Severity, const std::string& Message);
  // The global colour table changed: cached renderings go.
  void GlobalColorsChanged();
  // Stops the draw painter (without waiting) and drops the cached rendering of the picture.
  void ReleaseBitmap();
  // The picture at logical-screen size, first frame; null for an empty picture. Cached.
  [[nodiscard]] TBitmap* RenderBitmap();
  // The cached bitmap, made empty at logical-screen size when there is none.
  [[nodiscard]] TBitmap* BlankBitmap();
  [[nodiscard]] TBitmap* CachedBitmap() const { return FBitmap.get(); }

  // Starts a painter for ACanvas and Rect (null for an empty picture or rectangle). A threaded painter is
  // returned not yet running; a non-threaded one runs to its end here and null is returned.
  TGIFPainter* StartPainter(TGIFPainter** OwnerReference, TCanvas* ACanvas, TGIFDrawOptions Options,
                            const TRect& Rect);
  void StopDrawPainter();
  // Stops every painter of this picture and waits until each has ended (running their synchronised
  // calls meanwhile).
  void StopAllPainters();
  [[nodiscard]] TGIFPainter* DrawPainter() const { return FDrawPainter; }
  [[nodiscard]] TThreadList* Painters() { return &FPainters; }
  [[nodiscard]] int PainterCount();

  // Reads clipboard data: the "GIF Image" format (a GIF stream) or a bitmap (CF_BITMAP, with Palette).
  // Without Data the clipboard's data of that format is fetched. Anything else raises.
  void LoadFromClipboardFormat(unsigned AFormat, void* AData, HPALETTE APalette);
  // Nothing for an empty picture. Otherwise AFormat, AData and APalette receive the rendered picture as
  // clipboard bitmap data (a new bitmap and palette, owned by the receiver), and the GIF stream is put on
  // the clipboard under "GIF Image".
  void SaveToClipboardFormat(unsigned& AFormat, void*& AData, HPALETTE& APalette);

  // Rewrites the picture so that it stores less while showing the same.
  void Compact(uint8_t Options, TReductionMethod Method, TDitherKind Dither, int Bits);

  // The time source of this picture's painters (the real clock unless replaced).
  [[nodiscard]] std::shared_ptr<TGIFPainterClock> PainterClock() const { return FClock; }
  void SetPainterClock(std::shared_ptr<TGIFPainterClock> Value) { FClock = std::move(Value); }

  TGIFWarning OnWarningMessage;
  TGIFPainterEvent OnAnimationStart;
  TGIFPainterEvent OnFramePaint;
  TGIFPainterEvent OnFramePainted;
  TGIFPainterEvent OnLoopStart;
  TGIFPainterEvent OnAnimationEnd;

 protected:
  [[nodiscard]] std::string ClassName() const override { return "TGIFImage"; }
  void AssignTo(TPersistent* Dest) override;

 private:
  std::unique_ptr<TGIFImageList> FImages;
  std::unique_ptr<TGIFHeader> FHeader;
  HPALETTE FPalette = nullptr;
  bool FQueryingPalette = false;
  TGIFDrawOptions FDrawOptions = GIFDefaultDrawOptions;
  TReductionMethod FColorReduction = GIFDefaultReductionMethod;
  int FReductionBits = GIFDefaultReductionBits;
  TDitherKind FDitherMode = GIFDefaultDitherMode;
  TGIFCompression FCompression = GIFDefaultCompression;
  int FAnimationSpeed = GIFDefaultAnimationSpeed;
  TThreadPriority FThreadPriority = TThreadPriority::tpNormal;
  TColor FDrawBackgroundColor = GIFDefaultDrawBackgroundColor;
  bool FDrawing = false;
  std::unique_ptr<TBitmap> FBitmap;
  TGIFPainter* FDrawPainter = nullptr;
  TThreadList FPainters;
  std::shared_ptr<TGIFPainterClock> FClock = std::make_shared<TGIFPainterClock>();
};

// Compaction options.
inline constexpr uint8_t cpCrop = 0x01;
inline constexpr uint8_t cpMerge = 0x02;
inline constexpr uint8_t cpCleanup = 0x04;
inline constexpr uint8_t cpColorMaps = 0x08;
inline constexpr uint8_t cpReduce = 0x10;
inline constexpr uint8_t cpAll = 0x1F;

// The clipboard format "GIF Image" (registered at start-up).
[[nodiscard]] unsigned GIFClipboardFormat();

// Registers the ".gif" file format ("GIF Image") with the picture registry; safe to call more than once.
// Linking this unit registers it at start-up already.
void RegisterGIFImageFormat();
