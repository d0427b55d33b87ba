// Regions checked against brute-force pixel sets on random shapes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "platform/gdi/Windows.h"

namespace {

constexpr int kGrid = 48;
using Pixels = std::vector<bool>;  // kGrid x kGrid, offset by 8 so negative coordinates fit

constexpr int kOrigin = -8;

Pixels PixelsOf(HRGN rgn) {
  Pixels p(kGrid * kGrid);
  for (int y = 0; y < kGrid; ++y)
    for (int x = 0; x < kGrid; ++x)
      p[y * kGrid + x] = PtInRegion(rgn, x + kOrigin, y + kOrigin) != 0;
  return p;
}

// Region owned for the length of a test.
struct Rgn {
  explicit Rgn(HRGN h) : H(h) {}
  ~Rgn() { DeleteObject(H); }
  Rgn(const Rgn&) = delete;
  Rgn& operator=(const Rgn&) = delete;
  HRGN H;
};

HRGN RandomShape(std::mt19937& rng) {
  std::uniform_int_distribution<int> coord(-6, 38);
  std::uniform_int_distribution<int> kind(0, 3);
  const int l = coord(rng), t = coord(rng), r = coord(rng), b = coord(rng);
  switch (kind(rng)) {
    case 0:
      return CreateRectRgn(l, t, r, b);
    case 1:
      return CreateEllipticRgn(l, t, r, b);
    case 2:
      return CreateRoundRectRgn(l, t, r, b, coord(rng) & 15, coord(rng) & 15);
    default: {
      // A union of a few rectangles, built through region data.
      std::vector<char> block(sizeof(RGNDATAHEADER) + 3 * sizeof(RECT));
      auto* data = reinterpret_cast<RGNDATA*>(block.data());
      data->rdh = RGNDATAHEADER{};
      data->rdh.nCount = 3;
      auto* rects = reinterpret_cast<RECT*>(data->Buffer);
      for (int i = 0; i < 3; ++i) {
        const int a = coord(rng), c = coord(rng), e = coord(rng), f = coord(rng);
        rects[i] = RECT{std::min(a, c), std::min(e, f), std::max(a, c), std::max(e, f)};
      }
      return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data);
    }
  }
}

bool Combine(bool a, bool b, int mode) {
  switch (mode) {
    case RGN_AND:
      return a && b;
    case RGN_OR:
      return a || b;
    case RGN_XOR:
      return a != b;
    case RGN_DIFF:
      return a && !b;
    default:
      return a;
  }
}

int KindOf(const Pixels& p, HRGN rgn) {
  bool any = false;
  for (bool b : p)
    any = any || b;
  if (!any) return NULLREGION;
  const DWORD size = GetRegionData(rgn, 0, nullptr);
  return size == sizeof(RGNDATAHEADER) + sizeof(RECT) ? SIMPLEREGION : COMPLEXREGION;
}

std::vector<RECT> RectsOf(HRGN rgn) {
  const DWORD size = GetRegionData(rgn, 0, nullptr);
  std::vector<char> block(size);
  EXPECT_EQ(GetRegionData(rgn, size, reinterpret_cast<RGNDATA*>(block.data())), size);
  const auto* data = reinterpret_cast<const RGNDATA*>(block.data());
  const auto* r = reinterpret_cast<const RECT*>(data->Buffer);
  return {r, r + data->rdh.nCount};
}

// Canonical banded form: bands of equal top and bottom, spans sorted and apart, and no two touching
// bands with the same spans (they would have been joined).
bool IsCanonical(const std::vector<RECT>& rects) {
  std::vector<std::vector<std::pair<int, int>>> bands;
  std::vector<std::pair<int, int>> tops;
  for (size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    if (bands.empty() || tops.back().first != r.Top) {
      if (!tops.empty() && r.Top < tops.back().second) return false;
      bands.emplace_back();
      tops.emplace_back(r.Top, r.Bottom);
    } else if (tops.back().second != r.Bottom || bands.back().back().second >= r.Left) {
      return false;
    }
    bands.back().emplace_back(r.Left, r.Right);
  }
  for (size_t i = 1; i < bands.size(); ++i)
    if (tops[i - 1].second == tops[i].first && bands[i - 1] == bands[i]) return false;
  return true;
}

TEST(Regions, CombineAgreesWithPixelSetsOnRandomShapes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 300; ++round) {
    Rgn a(RandomShape(rng)), b(RandomShape(rng));
    ASSERT_NE(a.H, nullptr);
    ASSERT_NE(b.H, nullptr);
    const Pixels pa = PixelsOf(a.H), pb = PixelsOf(b.H);
    for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY}) {
      Rgn d(CreateRectRgn(0, 0, 0, 0));
      const int kind = CombineRgn(d.H, a.H, b.H, mode);
      const Pixels pd = PixelsOf(d.H);
      for (size_t i = 0; i < pd.size(); ++i)
        ASSERT_EQ(pd[i], Combine(pa[i], pb[i], mode))
            << "round " << round << " mode " << mode << " pixel " << i;
      EXPECT_EQ(kind, KindOf(pd, d.H));
    }
  }
}

TEST(Regions, RegionDataRoundTripsAndIsCanonical) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    Rgn a(RandomShape(rng)), b(RandomShape(rng));
    Rgn d(CreateRectRgn(0, 0, 0, 0));
    CombineRgn(d.H, a.H, b.H, round % 2 ? RGN_XOR : RGN_OR);
    const std::vector<RECT> rects = RectsOf(d.H);
    // Rectangles are disjoint, non-empty, sorted by top then left, and cover exactly the region.
    std::set<std::pair<int, int>> covered;
    for (size_t i = 0; i < rects.size(); ++i) {
      const RECT& r = rects[i];
      ASSERT_LT(r.Left, r.Right);
      ASSERT_LT(r.Top, r.Bottom);
      if (i) {
        ASSERT_TRUE(rects[i - 1].Top < r.Top || (rects[i - 1].Top == r.Top && rects[i - 1].Right < r.Left));
      }
      for (int y = r.Top; y < r.Bottom; ++y)
        for (int x = r.Left; x < r.Right; ++x)
          ASSERT_TRUE(covered.insert({x, y}).second);
    }
    const Pixels pd = PixelsOf(d.H);
    size_t count = 0;
    for (bool p : pd)
      count += p;
    EXPECT_EQ(count, covered.size());

    const DWORD size = GetRegionData(d.H, 0, nullptr);
    std::vector<char> block(size);
    GetRegionData(d.H, size, reinterpret_cast<RGNDATA*>(block.data()));
    Rgn copy(ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(block.data())));
    ASSERT_NE(copy.H, nullptr);
    EXPECT_TRUE(EqualRgn(copy.H, d.H));
    EXPECT_TRUE(IsCanonical(RectsOf(copy.H)));
    EXPECT_LE(RectsOf(copy.H).size(), rects.size());
  }
}

// A run of one row: (x0, y, x1), x1 exclusive.
struct RowRun {
  int X0, Y, X1;
};

// Hands the runs to a builder, one row at a time as they come (a row that comes back is handed over
// again), and returns the region next to the union of the same runs.
std::pair<HRGN, HRGN> BuiltAndUnited(const std::vector<RowRun>& runs) {
  TRegionBuilder builder;
  HRGN united = CreateRectRgn(0, 0, 0, 0);
  std::vector<int> edges;
  for (size_t i = 0; i < runs.size(); ++i) {
    edges.push_back(runs[i].X0);
    edges.push_back(runs[i].X1);
    if (i + 1 == runs.size() || runs[i + 1].Y != runs[i].Y) {
      builder.AddRow(runs[i].Y, edges.data(), edges.size());
      edges.clear();
    }
    Rgn one(CreateRectRgn(runs[i].X0, runs[i].Y, runs[i].X1, runs[i].Y + 1));
    CombineRgn(united, united, one.H, RGN_OR);
  }
  return {builder.CreateRegion(), united};
}

TEST(Regions, BuilderGivesTheUnionOfItsRuns) {
  // Rows in scan order (runs touching, overlapping or apart; equal rows one under the other; empty rows
  // between bands) take the one-pass route; runs in any order take the general one. Both must give the
  // canonical union, and no more rectangles than uniting does.
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::vector<RowRun> runs;
    const bool scanOrder = round % 2 == 0;
    for (int y = 0; y < 30; ++y) {
      if (rng() % 4 == 0) continue;
      const bool repeat = !runs.empty() && rng() % 2 && runs.back().Y == y - 1;
      std::vector<RowRun> row;
      if (repeat) {
        for (const RowRun& r : runs)
          if (r.Y == y - 1) row.push_back({r.X0, y, r.X1});
      } else {
        int x = int(rng() % 5);
        while (x < 40) {
          const int len = int(rng() % 7);  // 0: an empty run
          row.push_back({x, y, x + len});
          x += len - 1 + int(rng() % 4);  // -1..+2: overlapping, touching or apart
        }
      }
      runs.insert(runs.end(), row.begin(), row.end());
    }
    if (!scanOrder) std::shuffle(runs.begin(), runs.end(), rng);
    auto [built, united] = BuiltAndUnited(runs);
    Rgn fast(built), slow(united);
    ASSERT_TRUE(EqualRgn(fast.H, slow.H)) << round;
    EXPECT_TRUE(IsCanonical(RectsOf(fast.H))) << round;
    EXPECT_LE(RectsOf(fast.H).size(), RectsOf(slow.H).size()) << round;
  }
  TRegionBuilder empty;
  Rgn none(empty.CreateRegion());
  RECT box;
  EXPECT_EQ(GetRgnBox(none.H, &box), NULLREGION);
}

HRGN RegionOfRects(const std::vector<RECT>& rects) {
  std::vector<char> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATAHEADER header;
  header.nCount = static_cast<DWORD>(rects.size());
  std::memcpy(block.data(), &header, sizeof header);
  if (!rects.empty()) std::memcpy(block.data() + sizeof header, rects.data(), rects.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), reinterpret_cast<RGNDATA*>(block.data()));
}

HRGN UnionOfRects(const std::vector<RECT>& rects) {
  HRGN all = CreateRectRgn(0, 0, 0, 0);
  for (const RECT& r : rects) {
    Rgn one(CreateRectRgnIndirect(r));
    CombineRgn(all, all, one.H, RGN_OR);
  }
  return all;
}

TEST(Regions, ExtCreateRegionOfBandedRectanglesMatchesTheirUnion) {
  // Blocks that come in bands (several rows high, touching or overlapping spans, equal bands one under
  // the other) and blocks that only look so (bands overlapping, a band out of order, bottoms that differ
  // within a band, lefts going back): every one must give the union of its rectangles, canonically.
  const std::vector<std::vector<RECT>> table = {
      {{0, 0, 10, 3}, {12, 0, 20, 3}, {0, 3, 10, 7}, {12, 3, 20, 7}},  // equal bands join
      {{0, 0, 10, 3}, {10, 0, 20, 3}, {0, 5, 5, 6}},                   // touching spans merge
      {{0, 0, 10, 3}, {4, 0, 8, 3}, {6, 0, 30, 3}},                    // nested and overlapping spans
      {{0, 0, 10, 4}, {0, 2, 10, 6}},                                  // bands overlap
      {{0, 5, 10, 6}, {0, 0, 10, 2}},                                  // bands out of order
      {{0, 0, 10, 3}, {12, 0, 20, 5}},                                 // bottoms differ in a band
      {{12, 0, 20, 3}, {0, 0, 10, 3}},                                 // lefts go back
      {{0, 0, 4, 1}, {0, 1, 4, 3}, {0, 3, 4, 4}, {6, 4, 8, 9}},        // rows and bands mixed
  };
  for (size_t i = 0; i < table.size(); ++i) {
    Rgn fast(RegionOfRects(table[i]));
    Rgn slow(UnionOfRects(table[i]));
    ASSERT_NE(fast.H, nullptr) << i;
    EXPECT_TRUE(EqualRgn(fast.H, slow.H)) << i;
    EXPECT_TRUE(IsCanonical(RectsOf(fast.H))) << i;
    EXPECT_LE(RectsOf(fast.H).size(), RectsOf(slow.H).size()) << i;
  }
  // Random banded blocks, as a skin's region builder makes them.
  std::mt19937 rng(5);
  for (int round = 0; round < 200; ++round) {
    std::vector<RECT> rects;
    int y = int(rng() % 3);
    while (y < 40) {
      const int h = 1 + int(rng() % 4);
      int x = int(rng() % 5);
      while (x < 40) {
        const int len = 1 + int(rng() % 6);
        rects.push_back({x, y, x + len, y + h});
        x += len - 1 + int(rng() % 4);
      }
      y += h + int(rng() % 2);
    }
    if (round % 3 == 0 && rects.size() > 2) std::swap(rects[0], rects[rects.size() / 2]);  // unsorted
    Rgn fast(RegionOfRects(rects));
    Rgn slow(UnionOfRects(rects));
    ASSERT_TRUE(EqualRgn(fast.H, slow.H)) << round;
    EXPECT_TRUE(IsCanonical(RectsOf(fast.H))) << round;
  }
}

TEST(Regions, ExtCreateRegionIgnoresTheBoundAndRejectsBadBlocks) {
  std::vector<char> block(sizeof(RGNDATAHEADER) + 2 * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh = RGNDATAHEADER{};
  data->rdh.nCount = 2;
  data->rdh.rcBound = RECT{0, 0, 1, 1};  // smaller than the rectangles: must not clip
  auto* rects = reinterpret_cast<RECT*>(data->Buffer);
  rects[0] = RECT{0, 0, 10, 5};
  rects[1] = RECT{5, 5, 20, 10};
  Rgn r(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data));
  ASSERT_NE(r.H, nullptr);
  EXPECT_TRUE(PtInRegion(r.H, 19, 9));
  RECT box;
  EXPECT_EQ(GetRgnBox(r.H, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{0, 0, 20, 10}));

  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()) - 1, data), nullptr)
      << "count runs past size";
  data->rdh.dwSize = 40;
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data), nullptr);
  data->rdh.dwSize = 32;
  data->rdh.iType = 2;
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data), nullptr);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = 0x40000000;  // overflows 32 bits when multiplied naively
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, 8, data), nullptr);
}

TEST(Regions, GetRegionDataReportsSizeThenFills) {
  Rgn r(CreateRectRgn(2, 3, 12, 13));
  EXPECT_EQ(GetRegionData(r.H, 0, nullptr), sizeof(RGNDATAHEADER) + sizeof(RECT));
  std::vector<char> small(sizeof(RGNDATAHEADER));
  EXPECT_EQ(GetRegionData(r.H, static_cast<DWORD>(small.size()), reinterpret_cast<RGNDATA*>(small.data())),
            sizeof(RGNDATAHEADER) + sizeof(RECT))
      << "a buffer that is too small only gets the size";
  const auto rects = RectsOf(r.H);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0], (RECT{2, 3, 12, 13}));
}

TEST(Regions, HandlesAndEdgeCases) {
  Rgn empty(CreateRectRgn(5, 5, 5, 9));
  RECT box{1, 1, 1, 1};
  EXPECT_EQ(GetRgnBox(empty.H, &box), NULLREGION);
  EXPECT_EQ(box, RECT{});
  Rgn swapped(CreateRectRgn(10, 10, 0, 0));
  EXPECT_TRUE(PtInRegion(swapped.H, 0, 0));
  EXPECT_FALSE(PtInRegion(swapped.H, 10, 10)) << "right and bottom are exclusive";
  EXPECT_EQ(OffsetRgn(swapped.H, 5, -5), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(swapped.H, 14, 4));
  EXPECT_EQ(GetObjectType(swapped.H), OBJ_REGION);

  HRGN dead = CreateRectRgn(0, 0, 1, 1);
  EXPECT_TRUE(DeleteObject(dead));
  EXPECT_FALSE(DeleteObject(dead)) << "a deleted handle is refused";
  EXPECT_EQ(CombineRgn(dead, swapped.H, nullptr, RGN_COPY), ERROR);
  EXPECT_EQ(GetObjectType(dead), 0u);
  EXPECT_EQ(CombineRgn(swapped.H, swapped.H, nullptr, RGN_AND), ERROR);

  // The ellipse inscribed in (0, 0, 10, 10) is symmetric and excludes the corners.
  Rgn e(CreateEllipticRgn(0, 0, 10, 10));
  EXPECT_FALSE(PtInRegion(e.H, 0, 0));
  EXPECT_TRUE(PtInRegion(e.H, 5, 5));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      EXPECT_EQ(PtInRegion(e.H, x, y), PtInRegion(e.H, 9 - x, 9 - y));
  Rgn rr(CreateRoundRectRgn(0, 0, 30, 20, 10, 10));
  EXPECT_FALSE(PtInRegion(rr.H, 0, 0));
  EXPECT_TRUE(PtInRegion(rr.H, 15, 0));
  EXPECT_TRUE(PtInRegion(rr.H, 0, 10));
}

}  // namespace
