#include "skin/organicSkin.h"

#include <vector>

#include "graphics/Gfx32.h"

HRGN CopyRegion(HRGN Region) {
  if (Region == nullptr) return nullptr;
  HRGN copy = CreateRectRgn(0, 0, 0, 0);
  CombineRgn(copy, Region, nullptr, RGN_COPY);
  return copy;
}

TOrganicSkin::TOrganicSkin() = default;

TOrganicSkin::~TOrganicSkin() {
  if (FRegion != nullptr) DeleteObject(FRegion);
  if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
}

void TOrganicSkin::BuildRegion() {
  // The pixels as 32-bit colours, read once; the region is made from the runs of pixels that differ
  // from the key colour in one step.
  std::vector<TRegionRun> runs;
  const int w = Width();
  const int h = Height();
  if (w > 0 && h > 0 && !Empty()) {
    TBitmap32 pixels;
    pixels.Assign(this);
    // A system colour never equals a pixel, so it cuts nothing.
    const bool keyed = (FKeyColor & 0xFF000000) == 0;
    const TColor32 key = Color32FromTColor(FKeyColor) & 0x00FFFFFFu;
    for (int y = 0; y < h; ++y) {
      const TColor32* row = pixels.ScanLine(y);
      int x = 0;
      while (x < w) {
        while (x < w && keyed && (row[x] & 0x00FFFFFFu) == key)
          ++x;
        if (x == w) break;
        const int start = x;
        while (x < w && !(keyed && (row[x] & 0x00FFFFFFu) == key))
          ++x;
        runs.push_back({start, y, x});
      }
    }
  }
  HRGN region = CreateRegionFromRuns(runs.data(), runs.size());
  if (FRegion != nullptr) DeleteObject(FRegion);
  FRegion = region;
  if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
  FBackupRegion = CopyRegion(FRegion);
}

HRGN TOrganicSkin::TakeRegion() const {
  return FRegion != nullptr ? CopyRegion(FRegion) : CreateRectRgn(0, 0, 0, 0);
}

void TOrganicSkin::Changed(TObject* Sender) {
  if (FRescanOnChange) {
    BuildRegion();
  } else {
    FRescanOnChange = true;
  }
  TBitmap::Changed(Sender);
}

void TOrganicSkin::Assign(TPersistent* Source) {
  if (auto* skin = dynamic_cast<TOrganicSkin*>(Source); skin != nullptr && skin != this) {
    HRGN region = CopyRegion(skin->FRegion);
    if (FRegion != nullptr) DeleteObject(FRegion);
    FRegion = region;
    FKeyColor = skin->FKeyColor;
    if (FBackupRegion != nullptr) DeleteObject(FBackupRegion);
    FBackupRegion = CopyRegion(FRegion);
    FRescanOnChange = false;
  }
  TBitmap::Assign(Source);
  // Whatever the pixel copy reported, the next change of the pixels rescans them.
  FRescanOnChange = true;
}
