// Regions behind HRGN handles: creation, combination, tests and region-data blocks.
#pragma once

#include <memory>

#include "platform/gdi/Windows.h"

// ---- Regions -----------------------------------------------------------------------------------------

// CombineRgn modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;
// Region complexity results.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RDH_RECTANGLES = 1;

// The region-data block: a 32-byte header followed by nCount rectangles (right and bottom exclusive).
struct RGNDATAHEADER {
  DWORD dwSize = sizeof(RGNDATAHEADER);
  DWORD iType = RDH_RECTANGLES;
  DWORD nCount = 0;
  DWORD nRgnSize = 0;
  RECT rcBound;
};
struct RGNDATA {
  RGNDATAHEADER rdh;
  char Buffer[1];
};
static_assert(sizeof(RGNDATAHEADER) == 32 && sizeof(RECT) == 16);

[[nodiscard]] HRGN CreateRectRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateRectRgnIndirect(const RECT& r);
[[nodiscard]] HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
[[nodiscard]] HRGN CreateEllipticRgnIndirect(const RECT& r);
[[nodiscard]] HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int widthEllipse,
                                      int heightEllipse);
// Writes src1 (op) src2 into dest (an existing region); returns the kind of the result or ERROR.
int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode);
int OffsetRgn(HRGN rgn, int dx, int dy);
[[nodiscard]] BOOL PtInRegion(HRGN rgn, int x, int y);
[[nodiscard]] BOOL RectInRegion(HRGN rgn, const RECT& r);
[[nodiscard]] BOOL EqualRgn(HRGN a, HRGN b);
// The bounding box; returns the region's kind (NULLREGION gives an empty box).
int GetRgnBox(HRGN rgn, RECT* box);
BOOL SetRectRgn(HRGN rgn, int left, int top, int right, int bottom);
// Builds a region from a region-data block of `count` bytes. The transform must be null. The header's
// bounding rectangle does not clip. Returns null when the block is malformed.
[[nodiscard]] HRGN ExtCreateRegion(const void* transform, DWORD count, const RGNDATA* data);
// With a null buffer (or one too small) returns the size in bytes needed; otherwise fills the buffer and
// returns the size written.
DWORD GetRegionData(HRGN rgn, DWORD bufferSize, RGNDATA* buffer);
// Builds a region from runs of pixels handed over row by row. The rectangles are kept in the banded form
// the region itself stores (one rectangle per run, a row equal to the row above joining its band), so
// making the region takes them over in one step.
class TRegionBuilder {
 public:
  TRegionBuilder();
  ~TRegionBuilder();
  TRegionBuilder(const TRegionBuilder&) = delete;
  TRegionBuilder& operator=(const TRegionBuilder&) = delete;

  // Adds the runs of row Y: Count edges, in pairs x0, x1 (x1 exclusive), left to right. Runs that touch
  // or overlap merge. Rows are meant to come top to bottom; rows or runs out of that order still give
  // their union, by a slower route.
  void AddRow(int Y, const int* Edges, size_t Count);
  // The region of every run added (owned by the caller); the builder is empty afterwards.
  [[nodiscard]] HRGN CreateRegion();

 private:
  struct TBands;
  std::unique_ptr<TBands> FBands;
};
