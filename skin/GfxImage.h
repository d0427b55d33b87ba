// The ordered list of paint stages that renders a back-buffered form's face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Kinds of paint stage.
enum TPaintStageKind : uint32_t {
  stNone = 0,
  stCustom = 1,        // fires the form's OnPaintStage
  stClear = 2,         // clears the buffer to the form's colour
  stBackground = 3,    // paints the form's colour where the bitmap does not cover
  stBitmap = 4,        // draws the form's bitmap into its rectangle
  stLayers = 5,        // paints the layers whose options share a bit with the argument
  stControlFrame = 6,  // focus rectangle around the whole form
  stBitmapFrame = 7,   // focus rectangle around the bitmap rectangle
};

struct TPaintStageEntry {
  bool AtDesignTime = false;  // runs while the form is being designed
  bool AtRunTime = true;      // runs otherwise
  uint32_t Kind = stNone;
  uint32_t Argument = 0;  // the layer mask of a layers stage
};

class TPaintStages final {
 public:
  // Appends an entry that runs at run time only and does nothing, for the caller to fill.
  TPaintStageEntry& Add();
  void Clear() { FItems.clear(); }
  [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
  [[nodiscard]] TPaintStageEntry& Items(int Index) { return FItems[static_cast<size_t>(Index)]; }
  [[nodiscard]] const TPaintStageEntry& Items(int Index) const { return FItems[static_cast<size_t>(Index)]; }

 private:
  std::vector<TPaintStageEntry> FItems;
};
