// The skin picture of a skinned form, the process-wide cache of decoded pictures, and the building of
// window regions from the alpha of a 32-bit bitmap.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFImage.h"
#include "graphics/Gfx32.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/Windows.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Types.h"

// ---- Row scans: the one scanner behind every region built from pixels ---------------------------------

// Which pixels of a row a scan keeps.
struct TRunRule {
  enum TKind : uint8_t { rkAlpha, rkNotKey, rkNone };
  TKind Kind = rkNone;
  uint32_t Value = 0;  // the threshold (rkAlpha, 0..255) or the key colour (rkNotKey, low 24 bits)
};
// The pixels whose alpha (top byte) is at least Threshold: 0 or less keeps every pixel, above 255 none.
[[nodiscard]] TRunRule AlphaRule(int Threshold);
// The pixels whose colour (the low 24 bits) differs from Key's.
[[nodiscard]] TRunRule NotKeyRule(TColor32 Key);

// The pixel loops of this unit run at the instruction-set level in use (SelectSimdLevel, GfxSimd.h).

// The runs of the Width pixels of Row (0xAARRGGBB values) that Rule keeps, left to right, written to
// Edges as pairs x0, x1 (x1 exclusive); returns the number of edges written. Edges needs room for
// Width + 1 values.
int RowRuns(const uint32_t* Row, int Width, const TRunRule& Rule, int* Edges);

// The key-colour cut of the skin picture: makes Count pixels opaque and replaces those whose colour (low
// 24 bits) is Key's by 0x0000FF00 (alpha 0, green).
void KeyOut(TColor32* Pixels, size_t Count, TColor32 Key);

// A region-data block (32-byte header followed by its rectangles), held as a value by one owner.
class TRegionData {
 public:
  TRegionData() = default;
  // Takes a block as GetRegionData fills it.
  explicit TRegionData(std::vector<uint8_t> Block) : FBlock(std::move(Block)) {}
  // The block, null when there is none.
  [[nodiscard]] const RGNDATA* Data() const;
  [[nodiscard]] DWORD Size() const { return static_cast<DWORD>(FBlock.size()); }
  [[nodiscard]] bool Empty() const { return FBlock.empty(); }
  [[nodiscard]] int Count() const;
  [[nodiscard]] RGNDATAHEADER Header() const;
  // Rectangle Index; an empty rectangle for an index outside 0..Count - 1.
  [[nodiscard]] TRect Rects(int Index) const;
  [[nodiscard]] std::vector<TRect> RectList() const;

 private:
  std::vector<uint8_t> FBlock;
};

// The region of the pixels of Bitmap whose alpha is at least Threshold (0..255; 256 and above keep
// nothing), built from its row runs in one step. Owned by the caller.
[[nodiscard]] HRGN BitmapToRegion(const TBitmap32* Bitmap, int Threshold);
// The region-data block of the region that BitmapToRegion builds.
[[nodiscard]] TRegionData RegionDataFromBitmap(const TBitmap32* Bitmap, int Threshold);

// True when the file name's extension, ignoring case, is ".gif".
[[nodiscard]] bool IsGifFile(const std::string& FileName);

// The current directory when the program started, without a trailing separator.
[[nodiscard]] const std::string& StartDirectory();
// Replaces the start directory (for hosts and tests that set up their own application folder).
void SetStartDirectory(const std::string& Directory);

// The process-wide cache of decoded pictures: file names, each with the object made for it. Names that
// name the same file are one entry (SameFile: a name differing only in letter case finds the entry of the
// file it resolves to; two existing files stay two). Nothing is ever removed. A picture that cannot be
// loaded is answered with the stock picture "\Data\noimage.bmp" below the start directory, and its name
// stays mapped to it.
class KMediaList final : public TStringList {
 public:
  KMediaList();
  ~KMediaList() override;

  // The entry naming the same file as FileName (an exactly equal name first), -1 when there is none.
  [[nodiscard]] int IndexOf(const std::string& FileName) const override;

  // The one instance of the process.
  [[nodiscard]] static KMediaList* Instance();

  // The cached bitmap for FileName, loading it on first request.
  [[nodiscard]] TBitmap32* GetBitmap(const std::string& FileName);
  // The cached GIF picture for FileName, loading it on first request; a file that cannot be loaded is
  // answered with the stock picture "\Data\noimage.gif" below the start directory (an empty picture
  // when that fails too). A name cached as a bitmap gets a GIF made from that bitmap, once.
  [[nodiscard]] TGIFImage* GetGIF(const std::string& FileName);
  // Caches Object under FileName (taking it over) unless the name is known; returns the cached object.
  TObject* AddOwned(const std::string& FileName, std::unique_ptr<TObject> Object);

 private:
  std::vector<std::unique_ptr<TObject>> FOwned;
  // Bitmaps made for names that hold another kind of picture.
  std::map<const TObject*, std::unique_ptr<TBitmap32>> FConverted;
  // GIF pictures made for names that hold a bitmap.
  std::map<const TObject*, std::unique_ptr<TGIFImage>> FConvertedGIF;
  bool FLoadingStock = false;
  bool FLoadingStockGIF = false;
};

// The skin picture of a skinned form: a picture file turned into a 32-bit bitmap whose alpha says which
// pixels belong to the window, and the region rectangles of that alpha. Both are rebuilt lazily, when
// asked for after a change; every change is reported through OnChange.
class KGraphic : public TComponent {
 public:
  // Pending passes.
  static constexpr uint8_t DirtyPicture = 1;
  static constexpr uint8_t DirtyMode = 2;
  static constexpr uint8_t DirtyOther = 4;
  static constexpr uint8_t DirtyRegion = 8;
  static constexpr uint8_t DirtyAll = 15;

  explicit KGraphic(TComponent* AOwner);
  ~KGraphic() override;

  // The prepared skin (runs the pending picture and mode passes first).
  [[nodiscard]] TBitmap32* GetBitmap();
  // The rectangles of the pixels with alpha >= 1 (runs every pending pass first); owned by the picture.
  [[nodiscard]] const TRegionData& GetRegionData();

  [[nodiscard]] const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value);
  [[nodiscard]] const TRect& InnerRect() const { return FInnerRect; }
  void SetInnerRect(const TRect& Value);
  [[nodiscard]] const std::string& AlphaFileName() const { return FAlphaFileName; }
  void SetAlphaFileName(const std::string& Value);
  [[nodiscard]] bool Stretch() const { return FStretch; }
  void SetStretch(bool Value);
  [[nodiscard]] uint8_t Mode() const { return FMode; }
  void SetMode(uint8_t Value);
  [[nodiscard]] TColor InvisibleColor() const { return FInvisibleColor; }
  void SetInvisibleColor(TColor Value);
  void SetOnChange(TNotifyEvent Value) { OnChange = std::move(Value); }
  [[nodiscard]] uint8_t DirtyPasses() const { return FDirtyPasses; }

  // Marks every pass dirty and reports a change (after a picture was replaced under the same name).
  void Invalidate();
  virtual void Changed();

  TNotifyEvent OnChange;

 private:
  void PicturePass();
  void ModePass();
  void RunPasses(uint8_t Mask);

  std::string FFileName;
  TRect FInnerRect{10, 10, 30, 30};
  std::string FAlphaFileName;
  bool FStretch = false;
  std::unique_ptr<TBitmap32> FBitmap;
  uint8_t FDirtyPasses = DirtyAll;
  uint8_t FMode = 0;
  TRegionData FRegionData;
  TColor FInvisibleColor = 0;
};
