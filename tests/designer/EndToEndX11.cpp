// The designer on a real X server, driven by mouse clicks through the window system: a new project gets
// a button, a label and an address field, is test-run, saved and built; the built browser is then started
// from its folder. Screenshots of each step go to $PELLORAN_SHOT_DIR.
#include <unistd.h>

#include <cstdlib>

#include "platform/ui/TestInput.h"
#include "tests/designer/DesignerFixture.h"

using namespace dt;

namespace {

class EndToEnd : public DesignerFixture {
 protected:
  static std::string Shot(const std::string& Name) {
    const char* dir = std::getenv("PELLORAN_SHOT_DIR");
    const std::string path = std::string(dir != nullptr ? dir : ".") + "/" + Name;
    TestInput::Wait(700);
    const std::string command = "import -window root '" + path + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return path;
  }
  // The user picks an item of a drop-down list (the list shows it, then reports the pick).
  static void Pick(TComboBox* Combo, const std::string& Item) {
    const int index = Combo->Items()->IndexOf(Item);
    ASSERT_NE(index, -1) << Item;
    Combo->SetItemIndex(index);
    Combo->UserPicked(index);
  }
  // A click in the middle of a control, as the user makes it.
  static void Click(TControl* Control) {
    TestInput::MouseClick(Control, Control->Width() / 2, Control->Height() / 2);
    TestInput::Wait(100);
  }
};

TEST_F(EndToEnd, ComposeTestSaveBuildAndRun) {
  Main->SetSoundsOn(false);
  TestInput::ShowAndWait(Main);
  Shot("1-designer-started.png");

  Click(Main->NewBut);
  ASSERT_NE(Doc(), nullptr);
  TCoolBrowser* surface = Doc()->Surface();
  TestInput::Wait(500);

  // A button on the cream band, a label beside it, an address field on the foot of the window.
  Click(Main->ButtonBut);
  TestInput::MouseClick(surface, 40, 20);
  TestInput::Wait(200);
  auto* button = dynamic_cast<TVXButton*>(Doc()->Selected());
  ASSERT_NE(button, nullptr);
  Pick(Editor->ButtonActionCombo, "Navigate to target");
  Editor->ButtonNavigationTarget->SetText("#page2.htm");
  Editor->ButtonHintEdit->SetText("Second page");
  Shot("2a-button-panel.png");

  Click(Main->LabelBut);
  TestInput::MouseClick(surface, 180, 24);
  TestInput::Wait(200);
  auto* label = dynamic_cast<TVXLabel*>(Doc()->Selected());
  ASSERT_NE(label, nullptr);
  Pick(Editor->LabelStyleCombo, "Custom Text");
  Editor->LabelTextEdit->SetText("Hello from Pelloran");
  Editor->LabelWidthEdit->SetText("170");
  Editor->LabelEditExit(Editor->LabelWidthEdit);
  Shot("2c-label-panel.png");

  Click(Main->EditBut);
  TestInput::MouseClick(surface, 100, 336);
  TestInput::Wait(200);
  ASSERT_EQ(Doc()->EditCount(), 1);
  Editor->EditWidthEdit->SetText("260");
  Editor->EditEditExit(Editor->EditWidthEdit);

  // The start page: a local page beside the built program.
  Doc()->SelectElement(Doc()->Web());
  surface->SelectControl(surface->WebSpace);
  Editor->BrowserStartpageEdit->SetText("#start.htm");
  Editor->BrowserEditExit(Editor->BrowserStartpageEdit);
  EXPECT_TRUE(Main->IsModified());
  Shot("2-designer-composed.png");

  // New asks before the modified project goes; the box is answered with a click on Cancel.
  Dialogs.OnRunModal = [this](TCustomForm* Form, const std::function<int()>& Loop) {
    Shot("2b-question.png");
    auto* box = dynamic_cast<TVexMessage*>(Form);
    EXPECT_NE(box, nullptr);
    if (box != nullptr) Click(box->CancelBut);
    return Loop();
  };
  TVXBrowser* composed = Doc();
  Click(Main->NewBut);
  EXPECT_EQ(Doc(), composed) << "Cancel keeps the project";
  Dialogs.OnRunModal = nullptr;

  // Test run, then back.
  Click(Main->CheckBut);
  ASSERT_NE(Main->TestWindow(), nullptr);
  TestInput::Wait(1500);
  Shot("3-test-run.png");
  Click(Main->CheckBut);
  EXPECT_EQ(Main->Mode(), mdEditing);

  // Save and build through the buttons.
  const std::string out = Work("out");
  fs::create_directories(out);
  WriteAll(out + "/start.htm",
           "<html><body style='background:#f4ead5;font-family:sans-serif'><h2>Built with Pelloran</h2>"
           "<p>The start page of the built browser.</p></body></html>");
  WriteAll(out + "/page2.htm", "<html><body><h2>Second page</h2></body></html>");
  Files = {Work("Composed.VX")};
  Click(Main->SaveBut);
  EXPECT_FALSE(Main->IsModified());
  ASSERT_TRUE(fs::exists(Work("Composed.VX")));
  Files = {out + "/MyBrowser"};
  Click(Main->BuildBut);
  ASSERT_TRUE(fs::exists(out + "/MyBrowser"));
  ASSERT_TRUE(fs::exists(out + "/Config.VX"));
  const std::string config = ReadAll(out + "/Config.VX");
  for (const char* section : {"Object=Button", "Object=Label", "Object=Edit", "Text=Hello from Pelloran",
                              "Pressaction=Navigate to target", "Startpage=#start.htm"})
    EXPECT_NE(config.find(section), std::string::npos) << section;
  EXPECT_TRUE(Reports->Messages.empty());
  for (const std::string& m : Reports->Messages)
    ADD_FAILURE() << m;

  Click(Main->OptionsBut);
  EXPECT_EQ(Editor->CurrentPanel(), Editor->OptionsPanel);
  Shot("3b-options-panel.png");

  // Exit, then the built browser from its folder.
  Click(Main->ExitBut);
  EXPECT_FALSE(Main->Visible());
  TestInput::Wait(300);
  const std::string command = "cd '" + out + "' && (./MyBrowser >browser.log 2>&1 & echo $! > browser.pid)";
  ASSERT_EQ(std::system(command.c_str()), 0);
  ::sleep(8);
  Shot("4-built-browser.png");
  const std::string kill = "kill $(cat '" + out + "/browser.pid')";
  EXPECT_EQ(std::system(kill.c_str()), 0);
}

}  // namespace
