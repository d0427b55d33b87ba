// The skinned form: a back-buffered form that paints a skin picture 1:1, stretched or by nine slices, and
// cuts its window to one of five region shapes.
#pragma once

#include <array>
#include <vector>

#include "platform/rtl/Types.h"
#include "skin/KUtilities.h"
#include "skin/UZForm.h"

// One piece of a nine-slice rendering: Src in the skin is stretched onto Dst in the form's bitmap.
struct TSlicePiece {
  TRect Src;
  TRect Dst;
  friend bool operator==(const TSlicePiece&, const TSlicePiece&) = default;
};

// The inner rectangle limited to a skin of SkinSize: 0 <= Left <= Right <= width - 1, likewise vertically,
// so that no piece reaches outside the skin whatever a project file says.
[[nodiscard]] TRect ClampInnerRect(const TRect& Inner, TSize SkinSize);

// The inner rectangle put in order for a skin of SkinSize, as the designer keeps it: left and top at least 1
// and at most the skin's width and height - 2, right and bottom at least 2 beyond them but at most
// width - 2 and height - 2; in a skin narrower or lower than 3 pixels every edge stays inside it, right not
// left of left and bottom not above top. The middle keeps at least one column and one row of the skin
// wherever it has one besides its last (at width - 2 for an edge pushed to the far side), so that it
// stretches over a larger form.
[[nodiscard]] TRect FitInnerRect(const TRect& Inner, TSize SkinSize);

// The pieces of a nine-slice rendering of a skin of SkinSize around Inner onto a form of FormSize, in
// painting order (top-left, top, top-right, left, centre, right, bottom-left, bottom, bottom-right).
// Corners keep their size, edges stretch along one axis, the centre along both; the far edges stop at
// width - 1 and height - 1. Inner is clamped first, and pieces with an empty source or destination are
// left out.
[[nodiscard]] std::vector<TSlicePiece> NineSlicePieces(TSize SkinSize, const TRect& Inner, TSize FormSize);

// The skin's region rectangles (in skin coordinates) mapped to a form of FormSize. With Stretch the
// coordinates follow the nine-slice mapping around Inner (right and bottom edges in the far bands stop at
// the form's width - 1 and height - 1, where painting stops) and a rectangle overlapping the last one kept
// is dropped; without it they are scaled by (ScaleX, ScaleY).
[[nodiscard]] std::vector<TRect> MapSkinRegionRects(const std::vector<TRect>& Rects, TSize SkinSize,
                                                    const TRect& Inner, TSize FormSize, bool Stretch,
                                                    float ScaleX, float ScaleY);

// The skinned window: renders its skin picture into Bitmap (1:1, stretched, or by nine slices around the
// skin's inner rectangle) and cuts the window to one of five shapes: 0 rectangle, 1 ellipse, 2 rounded
// rectangle, 3 the skin's own region rectangles mapped to the form, 4 the alpha of the painted bitmap.
class TVexForm : public TZForm {
 public:
  explicit TVexForm(TComponent* AOwner);
  ~TVexForm() override;

  [[nodiscard]] KGraphic* Skin() const { return FSkin; }
  [[nodiscard]] uint8_t RegionMode() const { return FRegionMode; }
  // Stores the mode (also an unchanged one), then re-renders and rebuilds the region.
  void SetRegionMode(uint8_t Value);
  [[nodiscard]] int AlphaThreshold() const { return FAlphaThreshold; }
  void SetAlphaThreshold(int Value);
  [[nodiscard]] float ScaleX() const { return FScaleX; }
  [[nodiscard]] float ScaleY() const { return FScaleY; }

  // Renders the skin into Bitmap.
  virtual void PaintSkin();
  // Builds the region of the current mode and gives it to the window.
  virtual void UpdateRegion();
  // The skin's handler of its change event.
  void SkinChanged(TObject* Sender);
  // The region of mode 3, owned by the caller.
  [[nodiscard]] HRGN CreateSkinRegion();

  // Holds back every render of the skin and every rebuild of the region until the window is next shown:
  // what is asked for meanwhile is noted, and showing does each once, after the show handler has laid
  // the window out, so a window set up step by step is drawn and cut once, at the size it shows with.
  void DeferSkinUntilShown() { FDeferred.Active = true; }
  [[nodiscard]] bool SkinDeferred() const { return FDeferred.Active; }

 protected:
  void ReadResource() override;
  void Resize() override;
  void DoShow() override;

 private:
  void UpdateScale();
  // Gives an empty Bitmap the skin's own picture (what a skin change starts from).
  void CopySkinIntoEmptyBitmap();
  // Ends the deferral and does what was asked for while it lasted.
  void ShowDeferredSkin();

  struct TDeferred {
    bool Active = false;
    bool Scale = false;
    bool Copy = false;
    bool Paint = false;
    bool Region = false;
    // The size of the renders asked for since the copy, and whether they asked for more than one: a
    // render at another size than the bitmap's starts from a new one, which keeps nothing of the copy.
    bool Rendered = false;
    TSize RenderSize{0, 0};
    bool Resized = false;
  };
  TDeferred FDeferred;

  uint8_t FRegionMode = 0;
  float FScaleX = 1.0f;
  float FScaleY = 1.0f;
  KGraphic* FSkin = nullptr;  // owned through the component tree
  int FAlphaThreshold = 0;
};
