// The configuration reader: its grammar, the geometry it leads to once the window is shown, and the
// failures it reports.
#include <sys/inotify.h>
#include <unistd.h>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <cstring>
#include <map>
#include <typeinfo>

#include "document/ProjectText.h"
#include "platform/ui/QtHost.h"
#include "tests/runtime/RuntimeFixture.h"
#include "tests/ui/UiTestUtil.h"

using namespace rt;

namespace {

class Reader : public RuntimeFixture {};

TEST_F(Reader, GrammarTable) {
  struct Case {
    const char* What;
    std::string Text;
    int Top;   // the window's top after reading
    int Left;  // and its left
  };
  const std::vector<Case> cases = {
      {"header ignored", "Object=Global\nObject=Global\nTop=7\nend\nLeft=99\n", 7, 341},
      {"'end ' does not close", "H\nObject=Global\nTop=1\nend \nLeft=2\nend\nTop=50\n", 1, 2},
      {"'End' does not close", "H\nObject=Global\nTop=1\nEnd\nLeft=2\nend\n", 1, 2},
      {"keys are exact", "H\nObject=Global\ntop=5\nTop =6\n Left=7\nLeft=8\nend\n", 164, 8},
      {"unknown sections are scanned", "H\nObject=Sounds\nx.wav\nObject=Global\nTop=3\nend\nLeft=4\nend\n", 3,
       341},
      {"object names are exact", "H\nObject=global\nTop=3\nend\nObject=Edit\nend\n", 164, 341},
      {"CR only", "H\rObject=Global\rTop=11\rLeft=12\rend\r", 11, 12},
      {"LF only", "H\nObject=Global\nTop=11\nLeft=12\nend\n", 11, 12},
      {"CR LF", "H\r\nObject=Global\r\nTop=11\r\nLeft=12\r\nend\r\n", 11, 12},
      {"mixed endings", "H\r\nObject=Global\rTop=11\nLeft=12\r\nend", 11, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Load(c.Text);
    EXPECT_EQ(Form->Top(), c.Top);
    EXPECT_EQ(Form->Left(), c.Left);
  }
}

TEST_F(Reader, ABadIntegerStopsTheReadingAtItsLine) {
  Write("Config.VX", BaseConfig() + ButtonSection("Refresh", 5, 5) + "Object=Button\nTop=abc\nLeft=9\nend\n" +
                         ButtonSection("Cancel", 30, 5));
  Form = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    Form->ReadConfig("Config.VX");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Config.VX, line 35 (key \"Top\"): 'abc' ist kein gültiger Integerwert");
  }
  EXPECT_NE(ButtonOf("Refresh"), nullptr) << "what was read before stays";
  EXPECT_EQ(ButtonOf("Cancel"), nullptr) << "nothing after the bad line is read";
  TVXOButton* bad = Nth<TVXOButton>(1);
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->Left(), 0) << "the line after the bad one is not read";
}

TEST_F(Reader, ASectionWithoutEndIsRefusedAndWhatWasReadStays) {
  Write("Config.VX", BaseConfig() + "Object=Button\nTop=5\nLeft=6\nMask=n.bmp\n");
  Form = TCustomForm::Create<TVXBuilder>(nullptr);
  EXPECT_THROW(Form->ReadConfig("Config.VX"), EProjectTextError);
  TVXOButton* b = Nth<TVXOButton>(0);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Left(), 6);
  EXPECT_EQ(Form->Skin()->FileName(), "skin.bmp");
}

TEST_F(Reader, AButtonTakesTheSizeOfItsPictureAtItsPressAction) {
  Load(BaseConfig() + ButtonSection("Refresh", 5, 5) + ButtonSection("Back", 30, 5) +
       "Object=Button\nTop=5\nLeft=60\nMask=n.bmp\nPressaction=Teleport\nend\n" +
       "Object=Button\nTop=5\nLeft=90\nMask=n.bmp\nend\n" +
       "Object=Button\nPressaction=Refresh\nMask=n.bmp\nend\n");
  TVXOButton* refresh = ButtonOf("Refresh");
  EXPECT_EQ(refresh->Width(), 20);
  EXPECT_TRUE(refresh->ActionEnabled());
  TVXOButton* back = ButtonOf("Back");
  EXPECT_EQ(back->Width(), 16) << "disabled from the start: the Disabled picture's outline";
  EXPECT_FALSE(back->ActionEnabled());
  EXPECT_TRUE(back->Enabled()) << "the control itself stays enabled";
  for (int n : {2, 3}) {
    TVXOButton* unbound = Nth<TVXOButton>(n);
    EXPECT_EQ(unbound->Width(), 40) << n;
    EXPECT_EQ(unbound->Height(), 40) << n;
    EXPECT_FALSE(unbound->ActionEnabled()) << n;
  }
  // Pictures named after the press action are not given to the button.
  TVXOButton* late = Nth<TVXOButton>(4);
  EXPECT_EQ(late->Mask()->Width(), 0);
  EXPECT_EQ(late->Width(), 40);
  // One picture file named on several lines is listed (and read) once.
  EXPECT_EQ(Form->Bitmaps()->Count(), 4);
}

TEST_F(Reader, GeometryAfterShowFollowsTheAnchors) {
  Load(BaseConfig() + ButtonSection("Refresh", 5, 5) + ButtonSection("Exit", 170, 5, "Alignment=Topright\n") +
       ButtonSection("Resize", 175, 125, "Alignment=Bottomright\n") +
       ButtonSection("Minimize", 5, 120, "Alignment=Bottomleft\n") +
       "Object=Label\nTop=130\nLeft=60\nWidth=80\nStyle=Page Title\nAlignment=Bottomleft\n"
       "Autosize=True\nFontheight=-12\nend\n"
       "Object=Label\nTop=8\nLeft=120\nWidth=50\nStyle=Custom Text\nText=Hi\nAlignment=Topright\nend\n"
       "Object=Edit\nTop=20\nLeft=40\nWidth=120\nStyle=Simple Edit\nAlignment=Topleft\nAutosize=True\n"
       "Fontheight=-13\nend\n");
  // Read at the skin's size, with the minimum of the skin's fixed parts plus 4.
  EXPECT_EQ(Form->Width(), 200);
  EXPECT_EQ(Form->Height(), 150);
  EXPECT_EQ(Form->Constraints()->MinWidth(), 200 + 50 - 150 + 4);
  EXPECT_EQ(Form->Constraints()->MinHeight(), 150 + 40 - 110 + 4);
  EXPECT_EQ(Form->RegionMode(), 4);
  EXPECT_EQ(Form->AlphaThreshold(), 100);
  EXPECT_TRUE(Form->Skin()->Stretch());
  EXPECT_EQ(Form->Skin()->InnerRect(), Rect(50, 40, 150, 110));
  EXPECT_EQ(Form->Top(), 10);
  EXPECT_EQ(Form->Left(), 20);

  Show();
  // The start size, 100 wider and 100 taller than the skin.
  EXPECT_EQ(Form->Width(), 300);
  EXPECT_EQ(Form->Height(), 250);
  EXPECT_EQ(Form->WebBase->BoundsRect(), Rect(50, 40, 250, 210));
  EXPECT_EQ(Form->Web->BoundsRect(), Rect(-2, -2, 202, 172));
  EXPECT_EQ(ButtonOf("Refresh")->BoundsRect(), Rect(5, 5, 25, 25));
  EXPECT_EQ(ButtonOf("Exit")->BoundsRect(), Rect(270, 5, 290, 25));
  EXPECT_EQ(ButtonOf("Resize")->BoundsRect(), Rect(275, 225, 295, 245));
  EXPECT_EQ(ButtonOf("Minimize")->BoundsRect(), Rect(5, 220, 25, 240));
  TVXOLabel* title = Nth<TVXOLabel>(0);
  EXPECT_EQ(title->Left(), 60);
  EXPECT_EQ(title->Top(), 230);
  EXPECT_EQ(title->Width(), 180) << "Autosize stretches with the window's width";
  EXPECT_GT(title->Height(), 0) << "one line of the font, although the caption is empty";
  TVXOLabel* hi = Nth<TVXOLabel>(1);
  EXPECT_EQ(hi->Left(), 220);
  EXPECT_EQ(hi->Width(), 50);
  EXPECT_EQ(hi->Caption(), "Hi");
  EXPECT_TRUE(Form->AddressEdit->Visible());
  EXPECT_FALSE(Form->AddressCombo->Visible());
  EXPECT_EQ(Form->AddressEdit->BoundsRect(), Rect(40, 20, 260, 20 + 17));
  EXPECT_EQ(Form->AddressCombo->Width(), 220);

  // Growing the window moves and stretches everything again; the minimum size holds.
  Form->SetBounds(Form->Left(), Form->Top(), 50, 40);
  EXPECT_EQ(Form->Width(), 104);
  EXPECT_EQ(Form->Height(), 84);
  EXPECT_EQ(Form->WebBase->Width(), 4);
  EXPECT_EQ(ButtonOf("Exit")->Left(), 74);
}

TEST_F(Reader, TheZOrderIsAppliedWhenShown) {
  Load(BaseConfig() + ButtonSection("Refresh", 5, 5, "ZOrder=9\n") +
       ButtonSection("Cancel", 10, 5, "ZOrder=4\n") +
       "Object=Label\nTop=1\nLeft=1\nWidth=9\nStyle=Custom Text\nText=x\nZOrder=20\nend\n");
  // The web rectangle has ZOrder 3, Cancel 4, Refresh 9.
  Show();
  std::vector<std::string> stack;
  for (int i = 0; i < Form->ControlCount(); ++i) {
    TControl* c = Form->Controls(i);
    if (auto* b = dynamic_cast<TVXOButton*>(c))
      stack.push_back(b->Pressaction());
    else if (c == Form->WebBase)
      stack.push_back("web");
    else if (dynamic_cast<TVXOLabel*>(c))
      stack.push_back("label");
  }
  EXPECT_EQ(stack, (std::vector<std::string>{"label", "web", "Cancel", "Refresh"}));
}

TEST_F(Reader, StartAndPlacementOptions) {
  struct Case {
    const char* Position;
    TPosition Expected;
  };
  for (const Case& c : std::vector<Case>{{"Like designed", poDesigned},
                                         {"Screencenter", poScreenCenter},
                                         {"Upper left", poDefaultPosOnly},
                                         {"elsewhere", poDesigned}}) {
    std::string text = BaseConfig();
    text.replace(text.find("Position=Like designed"), 22, std::string("Position=") + c.Position);
    Load(text);
    EXPECT_EQ(Form->Position(), c.Expected) << c.Position;
  }
  Load("H\nObject=Global\n  SOT \nend\n");
  EXPECT_EQ(Form->FormStyle(), fsStayOnTop);
  Load("H\nObject=Global\nSOTX\nend\n");
  EXPECT_EQ(Form->FormStyle(), fsNormal);
}

// The place a window is shown at: the screen's centre at the start size, or where it was designed, unless
// that lies wholly off the desktop (a place made on a larger one), which would leave the window out of
// reach: along that axis it is brought onto the desktop.
TEST_F(Reader, PlaceOnShow) {
  const int sw = Screen->Width(), sh = Screen->Height();
  ASSERT_EQ(Screen->DesktopRect(), Rect(0, 0, sw, sh)) << "one screen";
  struct Case {
    const char* Position;
    int Left, Top;            // as designed
    int ShownLeft, ShownTop;  // once shown (300 x 250)
  };
  const Case cases[] = {
      {"Screencenter", 20, 10, (sw - 300) / 2, (sh - 250) / 2},
      {"Like designed", 20, 10, 20, 10},
      {"Like designed", -250, -200, -250, -200},
      {"Like designed", -2000, 10, 0, 10},
      {"Like designed", 20, -300, 20, 0},
      {"Like designed", sw, sh + 5, sw - 300, sh - 250},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Position << " " << c.Left << "," << c.Top);
    std::string text = BaseConfig();
    text.replace(text.find("Position=Like designed"), 22, std::string("Position=") + c.Position);
    text.replace(text.find("Top=10\nLeft=20"), 14,
                 "Top=" + std::to_string(c.Top) + "\nLeft=" + std::to_string(c.Left));
    Load(text);
    Show();
    EXPECT_EQ(Form->Left(), c.ShownLeft);
    EXPECT_EQ(Form->Top(), c.ShownTop);
  }
}

TEST_F(Reader, WithoutAWebSectionTheFormKeepsItsOwnSettings) {
  Load("H\nObject=Global\nWidth=0\nHeight=0\nend\n");
  EXPECT_EQ(Form->Width(), 696);
  EXPECT_EQ(Form->Height(), 480);
  EXPECT_EQ(Form->RegionMode(), 0);
  EXPECT_EQ(Form->Constraints()->MinWidth(), 0);
  Show();
  EXPECT_EQ(Form->Width(), 696) << "a start size of 0 is not applied";
  EXPECT_EQ(Form->Height(), 480);
}

TEST_F(Reader, SizesFromTheFileAreKeptSane) {
  // An inner rectangle wider than the skin is put in order for it (1 to 198 of 200, 1 to 148 of 150), so
  // the minimum keeps the skin's fixed parts plus 4, never a negative size; a positive font height would
  // make a negative field height.
  Load(
      "H\nObject=Global\nILeft=0\nIRight=900\nITop=0\nIBottom=700\nend\n"
      "Object=Web\nBitmap=skin.bmp\nend\n"
      "Object=Edit\nTop=5\nLeft=5\nWidth=50\nStyle=Simple Edit\nFontheight=13\nend\n");
  EXPECT_EQ(Form->Skin()->InnerRect(), Rect(1, 1, 198, 148));
  EXPECT_EQ(Form->Constraints()->MinWidth(), 7);
  EXPECT_EQ(Form->Constraints()->MinHeight(), 7);
  EXPECT_EQ(Form->AddressEdit->Height(), 17);
  Load("H\nObject=Edit\nStyle=History Combo\nFontheight=-11\nend\n");
  EXPECT_EQ(Form->AddressEdit->Height(), 15);
  EXPECT_FALSE(Form->AddressEdit->Visible());
  EXPECT_TRUE(Form->AddressCombo->Visible());
}

// The texts are Windows-1252, as the system's 8-bit code page wrote them: they show as written.
TEST_F(Reader, ButtonAndLabelKeys) {
  Load(BaseConfig() +
       ButtonSection("Navigate to target", 5, 5,
                     "Navigationtarget=#Gr\xFC\xDF"
                     "e.htm\nSound=click.wav\nHint=  \nZOrder=1\n") +
       ButtonSection("Refresh", 40, 5,
                     "Hint=Reload it \x96 Gr\xFC\xDF"
                     "e\nSound=\n") +
       "Object=Label\nTop=3\nLeft=4\nWidth=60\nColor=255\nText=early\nStyle=Custom Text\nTransparent=1\n"
       "Fontname=DejaVu Sans\nFontcolor=65280\nFontheight=-15\nFontstyle=Bold\nFontstyle=Underline\nend\n"
       "Object=Label\nWidth=30\nStyle=Custom Text\nText=A&B \x84Gr\xFC\xDF"
       "e\x93\nTransparent=0\nend\n");
  TVXOButton* home = ButtonOf("Navigate to target");
  EXPECT_EQ(home->Navigationtarget(), "#Grüße.htm");
  EXPECT_EQ(home->Player()->WaveName(), "click.wav");
  EXPECT_FALSE(home->ShowHint()) << "a blank hint is not shown";
  TVXOButton* refresh = ButtonOf("Refresh");
  EXPECT_EQ(refresh->Hint(), "Reload it – Grüße");
  EXPECT_TRUE(refresh->ShowHint());
  EXPECT_EQ(refresh->Sound(), "");
  TVXOLabel* early = Nth<TVXOLabel>(0);
  EXPECT_EQ(early->Caption(), "") << "Text before Style shows nothing";
  EXPECT_EQ(early->CustomText(), "early");
  EXPECT_EQ(early->Color(), 255);
  EXPECT_TRUE(early->Transparent());
  EXPECT_EQ(early->Font()->Name(), "DejaVu Sans");
  EXPECT_EQ(early->Font()->Color(), 65280);
  EXPECT_EQ(early->Font()->Height(), -15);
  EXPECT_EQ(early->Font()->Style(), (TFontStyles{fsBold, fsUnderline}));
  EXPECT_EQ(early->Width(), 60);
  TVXOLabel* amp = Nth<TVXOLabel>(1);
  EXPECT_EQ(amp->Caption(), "A&B „Grüße“");
  EXPECT_FALSE(amp->Transparent());
  EXPECT_FALSE(amp->ShowAccelChar()) << "captions are plain text";
}

TEST_F(Reader, TheApplicationOwnedWindowReadsConfigFromTheCurrentDirectory) {
  Write("Config.VX", BaseConfig("Startpage=a.htm\n"));
  Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
  EXPECT_EQ(Form->Skin()->FileName(), "skin.bmp");
  EXPECT_EQ(Form->Startpage(), "a.htm");
  delete Form;
  Form = TCustomForm::Create<TVXBuilder>(nullptr);
  EXPECT_EQ(Form->Skin()->FileName(), "") << "other owners read nothing by themselves";
}

TEST_F(Reader, AMissingConfigurationIsReportedOnceAndTheWindowStillWorks) {
  TExceptionRecorder recorder;
  fs::remove("Config.VX");
  Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0], "Datei Config.VX kann nicht geöffnet werden");
  EXPECT_TRUE(static_cast<bool>(Form->OnMouseDown)) << "the face still drags the window";
  Show();
  EXPECT_EQ(Form->Width(), 696);
  EXPECT_EQ(Form->Height(), 480);
  EXPECT_EQ(recorder.Messages.size(), 1u);
}

TEST_F(Reader, ABrokenConfigurationRunsWithWhatWasRead) {
  TExceptionRecorder recorder;
  Write("Config.VX", BaseConfig() + ButtonSection("Refresh", 5, 5) + "Object=Label\nWidth=3\n");
  Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_NE(recorder.Messages[0].find("line 34 (section \"Label\"): the section has no \"end\""),
            std::string::npos)
      << recorder.Messages[0];
  Show();
  EXPECT_EQ(Form->Width(), 300);
  EXPECT_NE(ButtonOf("Refresh"), nullptr);
}

// A number past its range is reported once, like any bad line; the window then shows with what was
// read before it.
TEST_F(Reader, NumbersPastTheirRangeAreReportedOnceAndTheWindowShows) {
  struct Case {
    std::string Text;
    const char* Message;
  };
  const Case cases[] = {
      {"H\nObject=Global\nWidth=2000000000\nHeight=100\nend\n",
       "Config.VX, line 3 (key \"Width\"): The value 2000000000 is outside the range 0 to 8192"},
      {"H\nObject=Global\nLeft=2147483647\nend\n", "Config.VX, line 3 (key \"Left\"): The value 2147483647"},
      {BaseConfig() + "Object=Label\nFontheight=-2147483648\nend\n",
       "Config.VX, line 25 (key \"Fontheight\")"},
      {BaseConfig() + "Object=Edit\nWidth=-1\nend\n", "Config.VX, line 25 (key \"Width\")"},
  };
  for (const Case& c : cases) {
    TExceptionRecorder recorder;
    Write("Config.VX", c.Text);
    delete Form;
    Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
    ASSERT_EQ(recorder.Messages.size(), 1u) << c.Message;
    EXPECT_EQ(recorder.Messages[0].substr(0, std::strlen(c.Message)), c.Message);
    Show();
    EXPECT_TRUE(WidgetOf(Form)->isVisible()) << c.Message;
    EXPECT_LE(Form->Width(), 696) << c.Message;
    EXPECT_EQ(recorder.Messages.size(), 1u) << c.Message;
  }
}

// The window shows its rendered skin, never an empty (black) back buffer.
TEST_F(Reader, TheWindowShowsItsSkin) {
  Load(BaseConfig());
  ShowAndWait(Form);
  Pump(100);
  QWidget* w = WidgetOf(Form);
  const QImage face = w->grab().toImage();
  ASSERT_FALSE(face.isNull());
  // Skin pixels at the corners of the inner rectangle's frame and in the stretched middle band.
  const QColor skin = QColor(0x20, 0x40, 0x80);
  for (const QPoint p : {QPoint(20, 30), QPoint(280, 20), QPoint(150, 230), QPoint(20, 120)})
    EXPECT_EQ(face.pixelColor(p), skin) << p.x() << "," << p.y();
  // The key-coloured corner is cut out of the window.
  EXPECT_FALSE(w->mask().isEmpty());
  EXPECT_FALSE(w->mask().contains(QPoint(3, 3)));
  EXPECT_TRUE(w->mask().contains(QPoint(20, 3)));
}

// A skin file that is missing leaves an empty picture: the window shows the form's colour (the button
// face of the classic scheme), not an unpainted buffer.
TEST_F(Reader, AMissingSkinShowsTheFormColour) {
  std::string config = BaseConfig();
  config.replace(config.find("skin.bmp"), 8, "no-such-skin.bmp");
  TExceptionRecorder recorder;
  Load(config);
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0],
            "Config.VX: picture \"no-such-skin.bmp\": Datei no-such-skin.bmp kann nicht geöffnet werden");
  ShowAndWait(Form);
  Pump(100);
  const QImage face = WidgetOf(Form)->grab().toImage();
  ASSERT_FALSE(face.isNull());
  for (const QPoint p : {QPoint(3, 3), QPoint(20, 30), QPoint(280, 20), QPoint(150, 230)})
    EXPECT_EQ(face.pixelColor(p), QColor(212, 208, 200)) << p.x() << "," << p.y();
}

// A picture that cannot be loaded is reported once and the rest of the configuration is read. A skin
// that cannot be loaded, or one smaller than what the project places, tells nothing of the size the
// project was made for: the window is laid out at its start size (or larger, to hold what the project
// places) and never made smaller than holds it all, so every control ends inside it, and Exit and the
// start page work. An inner rectangle with crossed edges is put in order: the skin covers every control.
TEST_F(Reader, ABrokenPictureLeavesAUsableWindow) {
  Write("corrupt.bmp", "BM this is no picture");
  Bmp("listed-skin.bmp", 200, 150, SkinColour, true);
  Bmp("one.bmp", 1, 1, SkinColour);
  Bmp("two.bmp", 2, 2, SkinColour);
  Bmp("wide.bmp", 9000, 150, SkinColour);
  const std::string designed = "Width=300\nHeight=250\nITop=40\nILeft=50\nIRight=150\nIBottom=110";
  auto skinned = [&](const std::string& Skin, const std::string& Size = "Width=300\nHeight=250",
                     const std::string& Inner = "ITop=40\nILeft=50\nIRight=150\nIBottom=110") {
    std::string text = BaseConfig("Startpage=a.htm\n");
    text.replace(text.find("skin.bmp"), 8, Skin);
    text.replace(text.find(designed), designed.size(), Size + "\n" + Inner);
    return text;
  };
  const std::string controls =
      ButtonSection("Exit", 170, 5, "Alignment=Topright\n") +
      ButtonSection("Resize", 175, 125, "Alignment=Bottomright\n") +
      ButtonSection("Minimize", 5, 120, "Alignment=Bottomleft\n") + ButtonSection("Move", 5, 5) +
      "Object=Edit\nTop=20\nLeft=40\nWidth=120\nStyle=Simple Edit\nAutosize=True\nend\n";
  // The same on a skin wider than a window may be, its right-hand controls at its right.
  const std::string wideControls =
      ButtonSection("Exit", 8970, 5, "Alignment=Topright\n") +
      ButtonSection("Resize", 8975, 125, "Alignment=Bottomright\n") +
      ButtonSection("Minimize", 5, 120, "Alignment=Bottomleft\n") + ButtonSection("Move", 5, 5) +
      "Object=Edit\nTop=20\nLeft=40\nWidth=8000\nStyle=Simple Edit\nAutosize=True\nend\n";
  // Without its pictures a button keeps the size it is made with (40 x 40) and can still be clicked.
  const std::string exitOfCorrupt =
      "Object=Button\nTop=5\nLeft=150\nMask=corrupt.bmp\nTouched=corrupt.bmp\nPressed=corrupt.bmp\n"
      "Alignment=Topright\nPressaction=Exit\nend\n";
  struct Case {
    const char* What;
    std::string Text;
    const char* Picture;  // the one picture reported, if any
    TSize Size;           // the window's size once shown
  };
  const Case cases[] = {
      {"a missing skin", skinned("missing-skin.bmp") + controls, "missing-skin.bmp", {300, 250}},
      {"a corrupt listed skin",
       "H\nObject=Bitmaps\nn.bmp\ncorrupt.bmp\nd.bmp\nend\n" + skinned("corrupt.bmp") + controls,
       "corrupt.bmp",
       {300, 250}},
      {"a missing skin and a start size smaller than the project",
       skinned("missing-skin.bmp", "Width=150\nHeight=100") + controls,
       "missing-skin.bmp",
       {150, 100}},
      {"a corrupt listed button picture",
       "H\nObject=Bitmaps\nlisted-skin.bmp\ncorrupt.bmp\nend\n" + skinned("listed-skin.bmp") + exitOfCorrupt,
       "corrupt.bmp",
       {300, 250}},
      // The controls reach 195 x 145; the stretched field and web view may shrink to nothing, while no
      // button comes onto another (Exit onto Move, Minimize onto Move: 50 x 50).
      {"a missing skin and a start size of 10 x 10",
       skinned("missing-skin.bmp", "Width=10\nHeight=10") + controls,
       "missing-skin.bmp",
       {50, 50}},
      {"a 1 x 1 skin", skinned("one.bmp") + controls, nullptr, {300, 250}},
      {"a 1 x 1 skin and a start size of 0 x 0",
       skinned("one.bmp", "Width=0\nHeight=0") + controls,
       nullptr,
       {195, 145}},
      {"an inner rectangle with crossed edges",
       skinned("skin.bmp", "Width=300\nHeight=250", "ITop=110\nILeft=150\nIRight=50\nIBottom=40") + controls,
       nullptr,
       {300, 250}},
      // Put in order, the edges meet at the skin's far side: the middle keeps a column and a row.
      {"an inner rectangle beyond the skin",
       skinned("skin.bmp", "Width=300\nHeight=250", "ITop=400\nILeft=600\nIRight=700\nIBottom=500") +
           controls,
       nullptr,
       {300, 250}},
      {"a 2 x 2 skin", skinned("two.bmp") + controls, nullptr, {300, 250}},
      {"a skin wider than a window may be",
       skinned("wide.bmp", "Width=300\nHeight=250", "ITop=40\nILeft=50\nIRight=8950\nIBottom=110") +
           wideControls,
       nullptr,
       {300, 250}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    TExceptionRecorder recorder;
    Write("Config.VX", c.Text);
    delete Form;
    Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
    const size_t reports = c.Picture != nullptr ? 1 : 0;
    ASSERT_EQ(recorder.Messages.size(), reports);
    if (c.Picture != nullptr) {
      EXPECT_EQ(recorder.Messages[0].rfind(std::string("Config.VX: picture \"") + c.Picture + "\": ", 0), 0u)
          << recorder.Messages[0];
    }
    Script->Calls.clear();
    Show();
    EXPECT_EQ(Form->Width(), c.Size.cx);
    EXPECT_EQ(Form->Height(), c.Size.cy);
    const TRect window = Rect(0, 0, Form->Width(), Form->Height());
    // The window's shape (none: the whole window) holds the middle of every control.
    const QRegion shape = WidgetOf(Form)->mask();
    int placed = 0;
    for (int i = 0; i < Form->ControlCount(); ++i) {
      TControl* control = Form->Controls(i);
      if (!control->Visible()) continue;
      const TRect r = control->BoundsRect();
      const bool button = dynamic_cast<TVXOButton*>(control) != nullptr;
      EXPECT_TRUE(r.Left >= 0 && r.Top >= 0 && r.Right <= window.Right && r.Bottom <= window.Bottom &&
                  (!button || (r.Width() > 0 && r.Height() > 0)) &&
                  (shape.isEmpty() || shape.contains(QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2))))
          << control->Name() << " " << typeid(*control).name() << " at " << r.Left << "," << r.Top << ","
          << r.Right << "," << r.Bottom;
      ++placed;
    }
    EXPECT_GE(placed, 2) << "the web view and at least Exit";
    // No button covers another.
    std::vector<TRect> buttons;
    for (int i = 0; i < Form->ControlCount(); ++i)
      if (dynamic_cast<TVXOButton*>(Form->Controls(i)) != nullptr)
        buttons.push_back(Form->Controls(i)->BoundsRect());
    for (size_t i = 0; i < buttons.size(); ++i)
      for (size_t j = i + 1; j < buttons.size(); ++j)
        EXPECT_FALSE(
            std::max(buttons[i].Left, buttons[j].Left) < std::min(buttons[i].Right, buttons[j].Right) &&
            std::max(buttons[i].Top, buttons[j].Top) < std::min(buttons[i].Bottom, buttons[j].Bottom))
            << "buttons " << i << " and " << j;
    EXPECT_EQ(Script->Calls, std::vector<std::string>{"Navigate " + FileURL("a.htm")}) << "the start page";
    Click(ButtonOf("Exit"));
    EXPECT_FALSE(Form->Visible()) << "Exit closes the window";
    EXPECT_EQ(recorder.Messages.size(), reports);
  }
}

// A failure that ends the reading after a picture that could not be loaded gives one report of both.
TEST_F(Reader, PicturesAndAFailureAreReportedTogether) {
  TExceptionRecorder recorder;
  std::string config = BaseConfig() + "Object=Button\nTop=x\nend\n";
  config.replace(config.find("skin.bmp"), 8, "gone-too.bmp");
  Write("Config.VX", config);
  Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0],
            "Config.VX: picture \"gone-too.bmp\": Datei gone-too.bmp kann nicht geöffnet werden\n"
            "Config.VX, line 25 (key \"Top\"): 'x' ist kein gültiger Integerwert");
}

// Many pictures that cannot be loaded: the report names the first ten and counts the others, and every
// button is still made.
TEST_F(Reader, ManyBrokenPicturesAreCountedInOneReport) {
  constexpr int kButtons = 2000;
  std::string config = BaseConfig();
  for (int i = 0; i < kButtons; ++i)
    config += "Object=Button\nMask=gone" + std::to_string(i) + ".bmp\nTouched=gone" + std::to_string(i) +
              ".bmp\nPressaction=Refresh\nend\n";
  TExceptionRecorder recorder;
  Write("Config.VX", config);
  Form = TCustomForm::Create<TVXBuilder>(static_cast<TApplication*>(Application));
  ASSERT_EQ(recorder.Messages.size(), 1u);
  const std::string& report = recorder.Messages[0];
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 10);
  EXPECT_NE(report.find("Config.VX: picture \"gone9.bmp\""), std::string::npos);
  EXPECT_EQ(report.find("gone10.bmp"), std::string::npos);
  EXPECT_NE(report.find("Config.VX: " + std::to_string(kButtons - 10) + " more pictures cannot be loaded"),
            std::string::npos);
  EXPECT_EQ(Nth<TVXOButton>(kButtons - 1)->Width(), 40);
}

// The window keeps within the bounds of a window whatever a project asks for: sizes, the inner
// rectangle (which sets the minimum size) and a skin as large as a picture may be.
TEST(WindowBounds, SizesAreBoundedAndKeepTheMinimum) {
  struct Case {
    TSize Wanted, Minimum, Expected;
  };
  const Case cases[] = {
      {{900, 640}, {0, 0}, {900, 640}},
      {{8192, 1024}, {0, 0}, {8192, 1024}},        // exactly the bound
      {{3840, 2160}, {0, 0}, {3840, 2160}},        // a 4K screen
      {{16384, 512}, {0, 0}, {8192, 512}},         // the widest picture
      {{900, 32767 + 644}, {0, 0}, {900, 8192}},   // ITop=32767 made the minimum that tall
      {{8192, 8192}, {0, 0}, {2896, 2896}},        // the largest start size shrinks in proportion
      {{8192, 8192}, {8000, 20}, {8000, 1048}},    // a wide minimum keeps its width
      {{8192, 8192}, {20, 8000}, {1048, 8000}},    // a tall one its height
      {{100, 100}, {40000, 40000}, {8192, 1024}},  // the minimum itself within the bounds
      {{-5, -5}, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    const TSize got = BoundedWindowSize(c.Wanted, c.Minimum);
    EXPECT_EQ(got.cx, c.Expected.cx) << c.Wanted.cx << "x" << c.Wanted.cy << " min " << c.Minimum.cx;
    EXPECT_EQ(got.cy, c.Expected.cy) << c.Wanted.cx << "x" << c.Wanted.cy << " min " << c.Minimum.cx;
    EXPECT_LE(int64_t{got.cx} * got.cy, MaxWindowPixels);
  }
}

TEST_F(Reader, NoKeyMakesAWindowBeyondTheBounds) {
  const char* globals[] = {
      "Width=900\nHeight=640\nITop=32767\nIBottom=0\nILeft=0\nIRight=0",
      "Width=8192\nHeight=8192\nITop=0\nILeft=0\nIRight=0\nIBottom=0",
      "Width=8192\nHeight=8192\nITop=32767\nILeft=32767\nIRight=-32768\nIBottom=-32768",
  };
  for (const char* global : globals) {
    SCOPED_TRACE(global);
    std::string text = BaseConfig();
    const std::string designed = "Width=300\nHeight=250\nITop=40\nILeft=50\nIRight=150\nIBottom=110";
    text.replace(text.find(designed), designed.size(), global);
    Load(text);
    Show();
    EXPECT_LE(Form->Width(), MaxWindowSide);
    EXPECT_LE(Form->Height(), MaxWindowSide);
    EXPECT_LE(int64_t{Form->Width()} * Form->Height(), MaxWindowPixels);
    const QSize shown = WidgetOf(Form)->size();
    EXPECT_EQ(shown, QSize(Form->Width(), Form->Height()));
    // Dragging the grip past the bounds stops there too.
    Form->SetBounds(0, 0, 20000, 20000);
    EXPECT_LE(int64_t{Form->Width()} * Form->Height(), MaxWindowPixels);
  }
}

// Every picture is read from its file once while the configuration is read, however many lines name
// it: the skin listed among the pictures is not decoded again for the window, a button picture named
// by several buttons not again for each. The folder's open events are counted.
TEST_F(Reader, EachPictureIsReadOnce) {
  Bmp("once-skin.bmp", 200, 150, SkinColour, true);
  std::string text = "H\nObject=Bitmaps\nonce-skin.bmp\nn.bmp\no.bmp\np.bmp\nd.bmp\nend\n" + BaseConfig() +
                     ButtonSection("Refresh", 5, 5) + ButtonSection("Cancel", 30, 5) +
                     ButtonSection("Exit", 60, 5);
  text.replace(text.find("Bitmap=skin.bmp"), 15, "Bitmap=once-skin.bmp");
  Write("Config.VX", text);
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, Dir.c_str(), IN_OPEN), 0);
  delete Form;
  Form = TCustomForm::Create<TVXBuilder>(nullptr);
  Form->ReadConfig("Config.VX");
  (void)Form->Skin()->GetBitmap();
  std::map<std::string, int> opened;
  alignas(inotify_event) char buffer[64 * 1024];
  for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->len > 0) ++opened[event->name];
      p += sizeof(inotify_event) + event->len;
    }
  }
  close(watch);
  EXPECT_EQ(
      opened,
      (std::map<std::string, int>{
          {"Config.VX", 1}, {"once-skin.bmp", 1}, {"n.bmp", 1}, {"o.bmp", 1}, {"p.bmp", 1}, {"d.bmp", 1}}));
  // The skin is the listed picture: its size, its colour, its key-coloured corner cut away.
  EXPECT_EQ(Form->Width(), 200);
  TBitmap32* skin = Form->Skin()->GetBitmap();
  EXPECT_EQ(skin->Pixel(3, 3), 0x0000FF00u);
  EXPECT_EQ(skin->Pixel(20, 30), 0xFF204080u);
}

}  // namespace
