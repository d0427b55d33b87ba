#include "skin/organicShapeButton.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Gfx32.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

std::unique_ptr<TBitmap> Solid(int w, int h, TColor color) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  b->Canvas()->Brush()->SetColor(color);
  b->Canvas()->FillRect(Rect(0, 0, w, h));
  return b;
}

class TestButton : public TOrganicShapeButton {
 public:
  using TOrganicShapeButton::PaintWindow;
  using TOrganicShapeButton::TOrganicShapeButton;
};

struct FormDeleter {
  void operator()(TForm* f) const { delete f; }
};

struct Fixture {
  Fixture() : form(TCustomForm::Create<TForm>(nullptr)) {
    form->SetBounds(0, 0, 200, 100);
    button = new TestButton(form.get());
    button->SetName("Shape1");
    button->SetParent(form.get());
    button->SetLeft(10);
    button->SetTop(10);
  }
  std::unique_ptr<TForm, FormDeleter> form;
  TestButton* button;
};

TEST(TOrganicShapeButton, DefaultsAndMaskSize) {
  Fixture f;
  EXPECT_EQ(f.button->ControlStyle().ToBits(), 0x8AAu);
  EXPECT_EQ(f.button->Alignment(), taCenter);
  EXPECT_EQ(f.button->Color(), clBtnFace);
  EXPECT_EQ(f.button->Width(), 40);
  EXPECT_EQ(f.button->Height(), 40);
  auto mask = Solid(60, 20, 0x0000FF);
  f.button->SetMask(mask.get());
  EXPECT_EQ(f.button->Width(), 60);
  EXPECT_EQ(f.button->Height(), 20);
  f.button->SetMask(nullptr);
  EXPECT_EQ(f.button->Width(), 60) << "a missing picture leaves the size";
  EXPECT_TRUE(f.button->Mask()->Empty());
}

TEST(TOrganicShapeButton, PictureFollowsHoverAndPress) {
  Fixture f;
  auto mask = Solid(30, 20, 0x0000FF);
  auto over = Solid(30, 20, 0x00FF00);
  auto pressed = Solid(30, 20, 0xFF0000);
  f.button->SetMask(mask.get());
  f.button->SetPressedBmp(pressed.get());
  f.button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_TRUE(f.button->MouseInside());
  EXPECT_EQ(f.button->CurrentPicture(), f.button->Mask()) << "an empty hover picture shows the mask";
  f.button->SetOverBmp(over.get());
  EXPECT_EQ(f.button->CurrentPicture(), f.button->OverBmp());
  f.button->HandleMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  EXPECT_EQ(f.button->CurrentPicture(), f.button->PressedBmp());
  // Dragged off the button with the button held: still pressed.
  f.button->Perform(CM_MOUSELEAVE, 0, 0);
  f.button->HandleMouseMove({ssLeft}, 80, 80);
  EXPECT_FALSE(f.button->MouseInside());
  EXPECT_EQ(f.button->CurrentPicture(), f.button->PressedBmp());
  f.button->HandleMouseUp(mbLeft, {}, 80, 80);
  EXPECT_EQ(f.button->CurrentPicture(), f.button->Mask());
}

TEST(TOrganicShapeButton, PicturesSmallerThanTheButtonAreNotShown) {
  Fixture f;
  auto mask = Solid(30, 20, 0x0000FF);
  auto small = Solid(10, 10, 0x00FF00);
  f.button->SetMask(mask.get());
  f.button->SetOverBmp(small.get());
  f.button->SetPressedBmp(small.get());
  f.button->Perform(CM_MOUSEENTER, 0, 0);
  EXPECT_EQ(f.button->CurrentPicture(), f.button->Mask());
  f.button->HandleMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  EXPECT_EQ(f.button->CurrentPicture(), f.button->Mask());
  f.button->HandleMouseUp(mbLeft, {}, 5, 5);
}

TEST(TOrganicShapeButton, PaintCopiesThePictureAndKeepsTheCaptionOnTop) {
  Fixture f;
  auto mask = Solid(40, 16, 0x0000FF);  // red as 0x00BBGGRR
  f.button->SetMask(mask.get());
  TBitmap32 window;
  window.SetSize(40, 16);
  window.Clear(0xFF000000);
  f.button->PaintWindow(window.Handle());
  EXPECT_EQ(window.Pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(window.Pixel(39, 15) & 0xFFFFFF, 0xFF0000u);
  f.button->SetCaption("WWW");
  f.button->PaintWindow(window.Handle());
  int inked = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 40; ++x)
      inked += (window.Pixel(x, y) & 0xFFFFFF) != 0xFF0000u;
  }
  EXPECT_GT(inked, 0) << "the caption is drawn over the picture";
}

TEST(TOrganicShapeButton, ClickOnACutPixelReachesTheParent) {
  Fixture f;
  // Left half key colour (white), right half ink.
  auto mask = std::make_unique<TBitmap>();
  mask->SetPixelFormat(pf24bit);
  mask->SetSize(40, 20);
  mask->Canvas()->Brush()->SetColor(0xFFFFFF);
  mask->Canvas()->FillRect(Rect(0, 0, 20, 20));
  mask->Canvas()->Brush()->SetColor(0x000080);
  mask->Canvas()->FillRect(Rect(20, 0, 40, 20));
  f.button->SetMask(mask.get());
  QWidget* parent = WidgetOf(f.form.get());
  QWidget* button = WidgetOf(f.button);
  EXPECT_EQ(parent->childAt(10 + 5, 10 + 5), nullptr) << "a cut pixel belongs to the parent";
  EXPECT_EQ(parent->childAt(10 + 30, 10 + 5), button);
}

TEST(TOrganicShapeButton, SaveAndLoadFolder) {
  Fixture f;
  auto mask = Solid(30, 20, 0x0000FF);
  auto over = Solid(30, 20, 0x00FF00);
  auto pressed = Solid(30, 20, 0xFF0000);
  f.button->SetMask(mask.get());
  f.button->SetOverBmp(over.get());
  f.button->SetPressedBmp(pressed.get());
  f.button->SetBounds(7, 8, 30, 20);
  const std::string folder = "shape-folder-" + std::to_string(::getpid());
  f.button->SaveToFolder(folder);
  EXPECT_TRUE(FileExists(folder + "/mask_Shape1.bmp"));
  EXPECT_TRUE(FileExists(folder + "/overBmp_Shape1.bmp"));
  EXPECT_TRUE(FileExists(folder + "/pressedBmp_Shape1.bmp"));
  const std::string ini = CoordIniPath(folder);
  EXPECT_EQ(TIniFile(ini).ReadInteger("Shape1", "top", -1), 8);

  Fixture g;
  g.button->LoadFromFolder(folder);
  EXPECT_EQ(g.button->Left(), 7);
  EXPECT_EQ(g.button->Top(), 8);
  EXPECT_EQ(g.button->Width(), 30);
  EXPECT_EQ(g.button->OverBmp()->Width(), 30);

  // A missing picture raises and stops before the placement.
  Fixture h;
  h.button->SetName("Other");
  EXPECT_THROW(h.button->LoadFromFolder(folder), Exception);
  EXPECT_EQ(h.button->Left(), 10);

  std::filesystem::remove_all(folder);
  std::filesystem::remove_all(ExtractFileDir(ResolvePath(ini)));
}

// Erasing the background: a plain panel fills with its colour, the non-erasing panel and the button
// leave the pixels alone (the panel reports them erased, the button does not).
TEST(NonErasingControls, EraseBackgroundTouchesNoPixel) {
  Fixture f;
  auto* plain = new TPanel(f.form.get());
  auto* panel = new TFPanel(f.form.get());
  struct Case {
    const char* what;
    TWinControl* control;
    LRESULT result;
    TColor pixel;
  };
  const Case cases[] = {{"plain panel", plain, 1, clRed},
                        {"non-erasing panel", panel, 1, clWhite},
                        {"shaped button", f.button, 0, clWhite}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.control->SetParent(f.form.get());
    c.control->SetBounds(0, 0, 20, 20);
    c.control->SetColor(clRed);
    auto canvas = Solid(20, 20, clWhite);
    const LRESULT result =
        c.control->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas->Canvas()->Handle()), 0);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(canvas->Canvas()->Pixels(5, 5), c.pixel);
  }
}

// The web view of the skinned windows: the web-browser control, double buffered, without border, its
// four placement integers only stored, its resize question and its events those of the control.
class VXOWebBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    Previous = SetWebEngineFactory([this] {
      auto engine = std::make_unique<TScriptedWebEngine>();
      Script = engine.get();
      return engine;
    });
    Form.reset(TCustomForm::Create<TForm>(nullptr));
    Form->SetBounds(0, 0, 300, 200);
    Web = new TVXOWebBrowser(Form.get());
    Web->SetParent(Form.get());
  }
  void TearDown() override {
    Form.reset();
    SetWebEngineFactory(Previous);
  }

  TWebEngineFactory Previous;
  TScriptedWebEngine* Script = nullptr;
  std::unique_ptr<TForm, FormDeleter> Form;
  TVXOWebBrowser* Web = nullptr;
};

TEST_F(VXOWebBrowser, CreationAndStoredPlacement) {
  EXPECT_TRUE(Web->DoubleBuffered());
  EXPECT_EQ(Web->BorderWidth(), 0);
  EXPECT_EQ(Web->Owner(), Form.get());
  EXPECT_EQ(std::vector<int>({Web->FixTop, Web->FixLeft, Web->FixWidth, Web->FixHeight}),
            std::vector<int>({0, 0, 0, 0}));
  Web->SetBounds(10, 20, 200, 100);
  Web->FixTop = 5;
  Web->FixLeft = 6;
  Web->FixWidth = 7;
  Web->FixHeight = 8;
  // Only stored: the control keeps its bounds.
  EXPECT_EQ(Web->BoundsRect(), Rect(10, 20, 210, 120));
}

TEST_F(VXOWebBrowser, AsksBeforeResizingAndReportsItsPages) {
  Web->SetBounds(0, 0, 200, 100);
  Web->OnCanResize = [](TObject*, int& NewWidth, int&, bool& Resize) { Resize = NewWidth <= 250; };
  Web->SetWidth(240);
  Web->SetWidth(260);
  EXPECT_EQ(Web->Width(), 240);
  std::string log;
  Web->OnTitleChange = [&](TObject* Sender, const std::string& Text) {
    EXPECT_EQ(Sender, Web);
    log += "title " + Text + "\n";
  };
  Web->OnNavigateComplete2 = [&](TObject*, TObject*, const std::string& URL) {
    log += "complete " + URL + "\n";
  };
  Web->OnCommandStateChange = [&](TObject*, int Command, bool Enable) {
    log += "state " + std::to_string(Command) + (Enable ? " on\n" : " off\n");
  };
  ASSERT_NE(Script, nullptr);
  Script->Titles["http://a.example/"] = "A";
  Web->Navigate2("a.example/");
  Web->Navigate2("http://b.example/");
  EXPECT_EQ(log,
            "complete http://a.example/\ntitle A\n"
            "state 2 on\ncomplete http://b.example/\ntitle http://b.example/\n");
}

}  // namespace
