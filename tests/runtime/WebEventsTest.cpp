// The web view's events in the runtime window: address controls and their history, back and forward
// buttons, page titles, and Enter in the address field.
#include <QKeyEvent>
#include <QWidget>

#include "platform/ui/QtHost.h"
#include "tests/runtime/RuntimeFixture.h"
#include "tests/ui/UiTestUtil.h"

using namespace rt;

namespace {

class WebEvents : public RuntimeFixture {
 protected:
  void LoadBrowser(const std::string& Style, const std::string& Extra = "") {
    Load(BaseConfig() + ButtonSection("Back", 5, 5) + ButtonSection("Forward", 30, 5) + Extra +
         "Object=Label\nTop=3\nLeft=60\nWidth=100\nStyle=Page Title\nend\n"
         "Object=Label\nTop=3\nLeft=60\nWidth=100\nStyle=Custom Text\nText=Mine\nend\n"
         "Object=Label\nTop=3\nLeft=60\nWidth=100\nStyle=page title\nend\n"
         "Object=Edit\nTop=20\nLeft=40\nWidth=120\nStyle=" +
         Style + "\nend\n");
    Show();
  }
  std::vector<std::string> History() const {
    std::vector<std::string> items;
    TStrings* list = Form->AddressCombo->Items();
    for (int i = 0; i < list->Count(); ++i)
      items.push_back(list->Strings(i));
    return items;
  }
};

using Strings = std::vector<std::string>;

TEST_F(WebEvents, NavigationsFillTheAddressControlsAndTheHistory) {
  LoadBrowser("History Combo");
  Form->Web->Navigate2("http://a.example/");
  Form->Web->Navigate2("http://b.example/");
  EXPECT_EQ(Form->AddressEdit->Text(), "http://b.example/");
  EXPECT_EQ(Form->AddressCombo->Text(), "http://b.example/");
  EXPECT_EQ(History(), (Strings{"http://b.example/", "http://a.example/"}));
  EXPECT_TRUE(ButtonOf("Back")->ActionEnabled());
  EXPECT_FALSE(ButtonOf("Forward")->ActionEnabled());

  Click(ButtonOf("Back"));
  EXPECT_EQ(Form->AddressCombo->Text(), "http://a.example/");
  EXPECT_FALSE(ButtonOf("Back")->ActionEnabled());
  EXPECT_TRUE(ButtonOf("Forward")->ActionEnabled());
  EXPECT_EQ(History(), (Strings{"http://b.example/", "http://a.example/"}))
      << "listed addresses keep their place";

  // The same address in other letters is listed already; its first spelling stays.
  Form->WebNavigateComplete2(Form->Web, nullptr, "HTTP://A.EXAMPLE/");
  EXPECT_EQ(History(), (Strings{"http://b.example/", "http://a.example/"}));
  EXPECT_EQ(Form->AddressEdit->Text(), "HTTP://A.EXAMPLE/");

  // Picking a history entry navigates to it as written.
  Script->Calls.clear();
  Form->AddressCombo->UserPicked(0);
  EXPECT_EQ(Script->Calls, Strings{"Navigate http://b.example/"});
}

TEST_F(WebEvents, SilentTargetsLeaveTheAddressControlsAlone) {
  LoadBrowser("Simple Edit", ButtonSection("Navigate silent", 60, 5, "Navigationtarget=#b.htm\n") +
                                 ButtonSection("Navigate silent", 90, 5, "Navigationtarget=Ads.Example\n") +
                                 ButtonSection("Navigate silent", 120, 5, "Navigationtarget=\n") +
                                 ButtonSection("Navigate to target", 150, 5, "Navigationtarget=c.htm\n"));
  Form->WebNavigateComplete2(Form->Web, nullptr, "http://start.example/");
  struct Case {
    std::string URL;
    bool Silent;
  };
  const std::vector<Case> cases = {
      {"file://" + ProgramFolder() + "b.htm", true},      // the expanded "#" form
      {"file://" + ProgramFolder() + "B.HTM?x=1", true},  // any case, anywhere in the address
      {"http://ads.example/banner", true},                // the written form
      {"http://other.example/", false},                   // an empty target never matches
      {FileURL("c.htm"), false},                          // not a silent button
  };
  for (const Case& c : cases) {
    Form->AddressEdit->SetText("before");
    Form->WebNavigateComplete2(Form->Web, nullptr, c.URL);
    EXPECT_EQ(Form->AddressEdit->Text(), c.Silent ? "before" : c.URL) << c.URL;
  }
  // A written "#" target: the literal text also counts.
  Form->AddressEdit->SetText("before");
  Form->WebNavigateComplete2(Form->Web, nullptr, "http://x.example/#b.htm");
  EXPECT_EQ(Form->AddressEdit->Text(), "before");
}

TEST_F(WebEvents, TitlesReachPageTitleLabelsOnlyAsPlainText) {
  LoadBrowser("Simple Edit");
  TVXOLabel* title = Nth<TVXOLabel>(0);
  const int width = title->Width(), height = title->Height();
  Form->WebTitleChange(Form->Web, "Q&A — Grüße ✓");
  EXPECT_EQ(title->Caption(), "Q&A — Grüße ✓");
  EXPECT_EQ(title->Width(), width) << "the size stays";
  EXPECT_EQ(title->Height(), height);
  EXPECT_EQ(Nth<TVXOLabel>(1)->Caption(), "Mine");
  EXPECT_EQ(Nth<TVXOLabel>(2)->Caption(), "") << "the style compares exactly";
  // The engine's own title event goes the same way.
  Script->Titles["http://t.example/"] = "From the page";
  Form->Web->Navigate2("http://t.example/");
  EXPECT_EQ(title->Caption(), "From the page");
}

TEST_F(WebEvents, StartPageGoesThroughTheAddressField) {
  Load(BaseConfig("Startpage=#a.htm\n"));  // no Edit section: both address controls stay hidden
  Show();
  EXPECT_EQ(Script->Calls, Strings{"Navigate file://" + ProgramFolder() + "a.htm"});
  EXPECT_FALSE(Form->AddressEdit->Visible());
  EXPECT_FALSE(Form->AddressCombo->Visible());

  Load(BaseConfig("Startpage=   \n"));
  Show();
  EXPECT_TRUE(Script->Calls.empty()) << "a start page of blanks navigates nowhere";
  EXPECT_EQ(Form->AddressEdit->Text(), "");
}

// Enter typed into the address field navigates, whatever the keyboard's Caps Lock or layout would make
// of a translated key.
TEST_F(WebEvents, EnterInTheAddressFieldNavigates) {
  for (const char* style : {"Simple Edit", "History Combo"}) {
    SCOPED_TRACE(style);
    LoadBrowser(style);
    ShowAndWait(Form);
    TWinControl* field = Form->AddressEdit->Visible() ? static_cast<TWinControl*>(Form->AddressEdit)
                                                      : static_cast<TWinControl*>(Form->AddressCombo);
    field->SetText("b.htm");
    field->SetFocus();
    Pump(20);
    Script->Calls.clear();
    QWidget* target = QApplication::focusWidget();
    ASSERT_NE(target, nullptr);
    for (Qt::KeyboardModifiers mods : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
      QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, mods, 0x24, 0, 0, "\r");
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, mods, 0x24, 0, 0, "\r");
      QApplication::sendEvent(target, &press);
      QApplication::sendEvent(target, &release);
      Pump(20);
    }
    EXPECT_EQ(Script->Calls, (Strings{"Navigate " + FileURL("b.htm"), "Navigate " + FileURL("b.htm")}));
    EXPECT_EQ(field->Text(), FileURL("b.htm"));
  }
}

TEST_F(WebEvents, EnteringAnAddressControlSelectsItsText) {
  LoadBrowser("Simple Edit");
  ShowAndWait(Form);
  Form->AddressEdit->SetText("http://a.example/");
  Form->AddressEdit->SetSelLength(0);
  Form->WebBase->SetFocus();
  Form->AddressEdit->SetFocus();
  Pump(20);
  EXPECT_EQ(Form->AddressEdit->SelLength(), static_cast<int>(std::string("http://a.example/").size()));
}

}  // namespace

namespace {

// The application-wide Enter translation passes over the address controls and the web view, so that
// Enter there never depends on a translated key; other windows of the program are translated.
TEST_F(WebEvents, TheEnterTranslationLeavesTheAddressControlsAndTheWebViewAlone) {
  LoadBrowser("Simple Edit");
  const std::vector<std::pair<TWinControl*, bool>> cases = {
      {Form->AddressEdit, false}, {Form->AddressCombo, false}, {Form->Web, false}, {Form, true},
      {ButtonOf("Back"), true},
  };
  for (const auto& [window, translated] : cases) {
    TMsg m;
    m.hwnd = window;
    m.message = WM_KEYDOWN;
    m.wParam = 13;
    m.lParam = 0x1C0001;
    bool handled = false;
    Form->ApplicationEvents1Message(m, handled);
    EXPECT_EQ(handled, translated) << window->Name();
    EXPECT_EQ(Form->EnterPending(), translated) << window->Name();
    m.message = WM_KEYUP;
    m.lParam = static_cast<LPARAM>(static_cast<int32_t>(0xC01C0001u));
    handled = false;
    Form->ApplicationEvents1Message(m, handled);
    EXPECT_FALSE(Form->EnterPending());
    Pump(10);  // the posted key messages
  }
}

}  // namespace
