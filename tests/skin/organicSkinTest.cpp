#include "skin/organicSkin.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>

#include "platform/ui/Forms.h"
#include "skin/organicShapeControl.h"
#include "tests/graphics/SimdLevels.h"

namespace {

// A mask (24 bits unless said otherwise) whose pixel (x, y) is Color(x, y) (a TColor, 0x00BBGGRR).
std::unique_ptr<TBitmap> MakeMask(int w, int h, const std::function<TColor(int, int)>& Color,
                                  TPixelFormat Format = pf24bit) {
  auto mask = std::make_unique<TBitmap>();
  mask->SetPixelFormat(Format);
  mask->SetSize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      mask->Canvas()->SetPixels(x, y, Color(x, y));
  }
  return mask;
}

// The region holds exactly the pixels for which Inside holds (and nothing outside the bitmap).
void ExpectRegion(HRGN rgn, int w, int h, const std::function<bool(int, int)>& Inside) {
  ASSERT_NE(rgn, nullptr);
  for (int y = -1; y <= h; ++y) {
    for (int x = -1; x <= w; ++x) {
      const bool expected = x >= 0 && y >= 0 && x < w && y < h && Inside(x, y);
      ASSERT_EQ(PtInRegion(rgn, x, y) != 0, expected) << "pixel " << x << "," << y;
    }
  }
}

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kInk = 0x203040;

TEST(TOrganicSkin, RegionHoldsThePixelsThatDifferFromTheKey) {
  struct Case {
    const char* what;
    TColor key;
    std::function<TColor(int, int)> color;
    std::function<bool(int, int)> inside;
  };
  const Case cases[] = {
      {"left column keyed", kWhite, [](int x, int) { return x == 0 ? kWhite : kInk; },
       [](int x, int) { return x != 0; }},
      {"key run in the middle of a row", kWhite,
       [](int x, int y) { return y == 2 && x >= 3 && x < 6 ? kWhite : kInk; },
       [](int x, int y) { return !(y == 2 && x >= 3 && x < 6); }},
      {"whole row keyed", kWhite, [](int, int y) { return y == 1 ? kWhite : kInk; },
       [](int, int y) { return y != 1; }},
      {"row ending opaque keeps its last pixel", kWhite, [](int x, int) { return x < 8 ? kWhite : kInk; },
       [](int x, int) { return x >= 8; }},
      {"system colour cuts nothing", clBtnFace, [](int x, int) { return x % 2 ? kWhite : 0xC0C0C0; },
       [](int, int) { return true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto mask = MakeMask(9, 4, c.color);
    TOrganicSkin skin;
    skin.SetKeyColor(c.key);
    skin.Assign(mask.get());
    ExpectRegion(skin.Region(), 9, 4, c.inside);
    ExpectRegion(skin.BackupRegion(), 9, 4, c.inside);
    HRGN taken = skin.TakeRegion();
    EXPECT_NE(taken, skin.Region()) << "the caller gets its own copy";
    EXPECT_TRUE(EqualRgn(taken, skin.Region()));
    DeleteObject(taken);
  }
}

TEST(TOrganicSkin, RandomMasksMatchTheirPixels) {
  // Every pixel format the mask may come in: rows read as they are, widened, or through a copy; widths
  // around the steps of the wide loops, at every level.
  AtEverySimdLevel([](TSimdLevel) {
    std::mt19937 rng(5);
    for (int trial = 0; trial < 15; ++trial) {
      const TPixelFormat format = std::array{pf24bit, pf32bit, pf8bit}[trial % 3];
      const int w = 1 + static_cast<int>(rng() % 80), h = 1 + static_cast<int>(rng() % 20);
      std::vector<bool> keyed(static_cast<size_t>(w * h));
      for (size_t i = 0; i < keyed.size(); ++i)
        keyed[i] = rng() % 3 == 0;
      auto mask = MakeMask(
          w, h, [&](int x, int y) { return keyed[static_cast<size_t>(y * w + x)] ? kWhite : kInk; }, format);
      TOrganicSkin skin;
      skin.Assign(mask.get());
      ExpectRegion(skin.Region(), w, h, [&](int x, int y) { return !keyed[static_cast<size_t>(y * w + x)]; });
    }
  });
}

TEST(TOrganicSkin, AssignFromAnotherSkinTakesItsRegionWithoutRescanning) {
  auto mask = MakeMask(6, 3, [](int x, int) { return x < 2 ? kWhite : 0; });
  TOrganicSkin source;
  source.Assign(mask.get());  // keyed on white
  source.SetKeyColor(0);      // the key changes, the region stays as built
  TOrganicSkin copy;
  copy.Assign(&source);
  EXPECT_EQ(copy.KeyColor(), 0);
  ExpectRegion(copy.Region(), 6, 3, [](int x, int) { return x >= 2; });
  EXPECT_TRUE(copy.RescanOnChange());
  // The next change of the pixels rescans them with the copied key (black): only the white part stays.
  copy.Changed(&copy);
  ExpectRegion(copy.Region(), 6, 3, [](int x, int) { return x < 2; });
}

// ---- TOrganicShapeControl ----------------------------------------------------------------------------

struct FormDeleter {
  void operator()(TForm* f) const { delete f; }
};

TEST(TOrganicShapeControl, WindowRegionFollowsTheMask) {
  std::unique_ptr<TForm, FormDeleter> form(TCustomForm::Create<TForm>(nullptr));
  auto* control = new TOrganicShapeControl(form.get());
  control->SetParent(form.get());
  control->SetBounds(5, 5, 9, 4);
  auto mask = MakeMask(9, 4, [](int x, int y) { return x == 0 || y == 3 ? kWhite : kInk; });
  control->SetMask(mask.get());
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(control->Handle(), rgn), ERROR);
  ExpectRegion(rgn, 9, 4, [](int x, int y) { return x != 0 && y != 3; });
  // A new key colour alone changes nothing until MaskChanged runs.
  control->InvisibleColor = kInk;
  GetWindowRgn(control->Handle(), rgn);
  ExpectRegion(rgn, 9, 4, [](int x, int y) { return x != 0 && y != 3; });
  control->MaskChanged();
  GetWindowRgn(control->Handle(), rgn);
  ExpectRegion(rgn, 9, 4, [](int x, int y) { return x == 0 || y == 3; });
  // A mask without pixels gives the plain rectangle of the control.
  control->SetMask(nullptr);
  GetWindowRgn(control->Handle(), rgn);
  ExpectRegion(rgn, 9, 4, [](int, int) { return true; });
  DeleteObject(rgn);
}

// A form whose resource creates a shaped control and gives it its mask, as the class library's
// streaming does.
class ResourceForm : public TForm {
 public:
  using TForm::TForm;
  TOrganicShapeControl* Shape = nullptr;
  bool ShapeWasLoading = false;

 protected:
  void ReadResource() override {
    TForm::ReadResource();
    Shape = new TOrganicShapeControl(this);
    ShapeWasLoading = Shape->ComponentState().Contains(TComponentStateItem::csLoading);
    Shape->SetParent(this);
    Shape->SetBounds(3, 4, 9, 4);
    auto mask = MakeMask(9, 4, [](int x, int) { return x < 3 ? kWhite : kInk; });
    Shape->SetMask(mask.get());
  }
};

TEST(TOrganicShapeControl, ControlFromAFormResourceTakesItsRegionFromTheMask) {
  std::unique_ptr<ResourceForm, FormDeleter> form(TCustomForm::Create<ResourceForm>(nullptr));
  EXPECT_TRUE(form->ShapeWasLoading);
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(form->Shape->Handle(), rgn), ERROR);
  ExpectRegion(rgn, 9, 4, [](int x, int) { return x >= 3; });
  DeleteObject(rgn);
}

}  // namespace
