// The main window: its window modes, the modified state, the question before a project is discarded,
// the insert tools, Kill, the test run and the build.
#include "platform/ui/TestInput.h"
#include "tests/designer/DesignerFixture.h"

using namespace dt;

namespace {

class MainForm : public DesignerFixture {};

TEST_F(MainForm, ModeTableSetsEveryButtonAndItsPictures) {
  // N = normal (enabled), D = disabled; buttons in the order of the picture table.
  const char* names[] = {"New",  "Open", "Save",  "Build", "Check", "Button",
                         "Edit", "Kill", "Label", "Exit",  "Link",  "Options"};
  const char* table[3] = {
      "NNDDDDDDDNDD",  // no project
      "NNNNNNNDNNNN",  // editing
      "DDDDNDDDDDDD",  // test run
  };
  for (uint8_t mode = 0; mode < 3; ++mode) {
    Main->SetMode(mode);
    EXPECT_EQ(Main->Mode(), mode);
    for (int b = 0; b < MainButtonCount; ++b) {
      SCOPED_TRACE(std::string(names[b]) + " in mode " + std::to_string(mode));
      const auto which = static_cast<TMainButton>(b);
      const bool normal = table[mode][b] == 'N';
      TOrganicShapeButton* button = Main->Button(which);
      EXPECT_EQ(button->Enabled(), normal);
      EXPECT_TRUE(SamePicture(button->Mask(), Main->StatePicture(which, normal ? 0 : 3)));
      EXPECT_TRUE(SamePicture(button->OverBmp(), Main->StatePicture(which, normal ? 1 : 3)));
      EXPECT_TRUE(SamePicture(button->PressedBmp(), Main->StatePicture(which, normal ? 2 : 3)));
      // The outline and size follow the picture shown.
      EXPECT_EQ(button->Width(), button->Mask()->Width());
    }
  }
}

TEST_F(MainForm, StartsInModeZeroBelowTheScreensTopRight) {
  EXPECT_EQ(Main->Mode(), mdNoProject);
  EXPECT_EQ(Main->Top(), 10);
  EXPECT_EQ(Main->Left(), Screen->Width() - 278);
  EXPECT_EQ(Main->AppDir(), App);
  EXPECT_TRUE(Reports->Messages.empty());
}

TEST_F(MainForm, AMissingStatePictureIsReportedOnceAndLeavesModeZero) {
  DestroyWindows();
  const std::string picture = App + "/Images/Buttons/Check1Over.BMP";
  fs::rename(picture, picture + ".away");
  CreateWindows();
  fs::rename(picture + ".away", picture);
  EXPECT_EQ(Reports->Messages.size(), 1u);
  EXPECT_EQ(Main->Mode(), mdNoProject);
  EXPECT_TRUE(Main->NewBut->Enabled());
  EXPECT_FALSE(Main->SaveBut->Enabled());
  EXPECT_FALSE(Main->CheckBut->Enabled());
}

TEST_F(MainForm, ModifiedFlagThroughNewEditsSaveAndTestRun) {
  NewProject();
  EXPECT_EQ(Main->Mode(), mdEditing);
  EXPECT_FALSE(Main->IsModified()) << "a new project is unmodified";
  Editor->SetBounds(Editor->Left(), Editor->Top(), Editor->Width() + 40, Editor->Height() + 30);
  EXPECT_FALSE(Main->IsModified()) << "repainting the property editor changes nothing";
  EXPECT_EQ(Doc()->Selected(), Doc()->Web());
  EXPECT_EQ(Editor->CurrentPanel(), Editor->FormPanel);

  Insert(Main->ButtonBut, 40, 30);
  EXPECT_TRUE(Main->IsModified()) << "an insert modifies";
  Files = {Work("one.VX")};
  Main->SaveButClick(Main->SaveBut);
  EXPECT_FALSE(Main->IsModified());
  EXPECT_TRUE(fs::exists(Work("one.VX")));
  EXPECT_EQ(Main->ProjectPath(), Work("one.VX"));

  Editor->LoadWeb();
  EXPECT_FALSE(Main->IsModified()) << "loading a panel writes nothing back";

  Main->CheckButClick(Main->CheckBut);
  ASSERT_NE(Main->TestWindow(), nullptr);
  Main->TestWindow()->Close();
  EXPECT_EQ(Main->Mode(), mdEditing);
  EXPECT_TRUE(Main->IsModified()) << "returning from a test run enables Save";
}

// SurfaceClose and EditorClose: the window system's close (Alt+F4) of the surface and of the editor.
enum class Command { New, Open, Exit, Close, SurfaceClose, EditorClose };
enum class Case { Unmodified, Yes, No, Cancel, YesCancelledSave };

struct QuestionCase {
  Command What;
  Case How;
  int ExpectedQuestions;
  bool Saved;   // the old project was written
  bool GoesOn;  // the command went past the question
};

TEST_F(MainForm, QuestionBeforeDiscardingTable) {
  const QuestionCase cases[] = {
      {Command::New, Case::Unmodified, 0, false, true},
      {Command::New, Case::Yes, 1, true, true},
      {Command::New, Case::No, 1, false, true},
      {Command::New, Case::Cancel, 1, false, false},
      {Command::New, Case::YesCancelledSave, 1, false, false},
      {Command::Open, Case::Unmodified, 0, false, true},
      {Command::Open, Case::Yes, 1, true, true},
      {Command::Open, Case::No, 1, false, true},
      {Command::Open, Case::Cancel, 1, false, false},
      {Command::Open, Case::YesCancelledSave, 1, false, false},
      {Command::Exit, Case::Unmodified, 0, false, true},
      {Command::Exit, Case::Yes, 1, true, true},
      {Command::Exit, Case::No, 1, false, true},
      {Command::Exit, Case::Cancel, 1, false, false},
      {Command::Exit, Case::YesCancelledSave, 1, false, false},
      {Command::Close, Case::Unmodified, 0, false, true},
      {Command::Close, Case::Yes, 1, true, true},
      {Command::Close, Case::No, 1, false, true},
      {Command::Close, Case::Cancel, 1, false, false},
      {Command::Close, Case::YesCancelledSave, 1, false, false},
      {Command::SurfaceClose, Case::Unmodified, 0, false, true},
      {Command::SurfaceClose, Case::No, 1, false, true},
      {Command::SurfaceClose, Case::Cancel, 1, false, false},
      {Command::EditorClose, Case::Unmodified, 0, false, false},
  };
  // A project to open.
  NewProject();
  Doc()->SaveProject(Work("other.VX"));
  DestroyWindows();

  int n = 0;
  for (const QuestionCase& c : cases) {
    SCOPED_TRACE("case " + std::to_string(n++));
    CreateWindows();
    Main->Show();
    NewProject();
    if (c.How != Case::Unmodified) Insert(Main->LabelBut, 60, 40);
    TVXBrowser* old = Doc();
    Questions = 0;
    Answers.clear();
    Files.clear();
    fs::remove(Work("old.VX"));
    switch (c.How) {
      case Case::Yes:
        Answers = {vmYes};
        Files = {Work("old.VX")};
        break;
      case Case::No:
        Answers = {vmNo};
        break;
      case Case::Cancel:
        Answers = {vmCancel};
        break;
      case Case::YesCancelledSave:
        Answers = {vmYes};
        Files = {""};
        break;
      case Case::Unmodified:
        break;
    }
    if (c.What == Command::Open && c.GoesOn) Files.push_back(Work("other.VX"));
    switch (c.What) {
      case Command::New:
        Main->NewButClick(Main->NewBut);
        break;
      case Command::Open:
        Main->OpenButClick(Main->OpenBut);
        break;
      case Command::Exit:
        Main->Exit1Click(Main->ExitBut);
        break;
      case Command::Close:
        Main->Close();
        break;
      case Command::SurfaceClose:
        WindowSystemClose(Doc()->Surface());
        break;
      case Command::EditorClose:
        WindowSystemClose(Editor);
        break;
    }
    EXPECT_EQ(Questions, c.ExpectedQuestions);
    EXPECT_EQ(fs::exists(Work("old.VX")), c.Saved);
    if (!c.GoesOn) {
      EXPECT_EQ(Doc(), old) << "the project stays open";
      EXPECT_EQ(Main->Mode(), mdEditing);
      EXPECT_TRUE(Doc()->Surface()->Visible());
      EXPECT_TRUE(Editor->Visible());
    } else if (c.What == Command::Exit || c.What == Command::Close || c.What == Command::SurfaceClose) {
      EXPECT_FALSE(Main->Visible()) << "the designer closed";
    } else {
      EXPECT_NE(Doc(), nullptr);
      EXPECT_EQ(Main->Mode(), mdEditing);
      EXPECT_FALSE(Main->IsModified());
    }
    EXPECT_TRUE(Answers.empty());
    EXPECT_TRUE(Reports->Messages.empty());
    DestroyWindows();
  }
}

TEST_F(MainForm, ExitWithoutProjectAsksNothing) {
  Main->Show();
  Main->Exit1Click(Main->ExitBut);
  EXPECT_EQ(Questions, 0);
  EXPECT_FALSE(Main->Visible());
}

TEST_F(MainForm, ExitSoundPlaysWithSoundsOff) {
  Main->SetSoundsOn(false);
  Main->Show();
  Main->Exit1Click(Main->ExitBut);
  const auto played = Sounds->Played();
  ASSERT_EQ(played.size(), 1u) << "only the end sound";
  EXPECT_TRUE(played[0].Waited);
}

TEST_F(MainForm, OpenCancelledLeavesNoProject) {
  NewProject();
  Files = {""};
  Main->OpenButClick(Main->OpenBut);
  EXPECT_EQ(Doc(), nullptr);
  EXPECT_EQ(Main->Mode(), mdNoProject);
  EXPECT_FALSE(Editor->Visible());
}

TEST_F(MainForm, FailedOpenReturnsToNoProjectAndReports) {
  // A bad value, and a file that is no project at all (a picture renamed), which opened as an empty
  // project that Save would then write over.
  for (const std::string& text :
       {std::string("Pelloran=V1.2\nObject=Global\nTop=abc\nend\n"), std::string("BM6\x04\0\0\0\0\0\0"
                                                                                 "6\0\0\0(\0\0\0",
                                                                                 18) +
                                                                         std::string(4000, '\xff')}) {
    WriteAll(Work("bad.VX"), text);
    Files = {Work("bad.VX")};
    try {
      Main->OpenProject();
      ADD_FAILURE() << "opened";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message.rfind(Work("bad.VX"), 0), 0u) << "the message names the file: " << e.Message;
    }
    EXPECT_EQ(Doc(), nullptr) << "no half-loaded project";
    EXPECT_EQ(Main->Mode(), mdNoProject);
    EXPECT_EQ(Main->Actionlabel->Caption(), "");
    EXPECT_FALSE(Main->IsModified());
  }
}

TEST_F(MainForm, OpenLoadsASavedProject) {
  NewProject();
  Insert(Main->ButtonBut, 40, 30);
  Insert(Main->LabelBut, 40, 90);
  Doc()->SaveProject(Work("two.VX"));
  const std::string saved = ReadAll(Work("two.VX"));
  Answers = {vmNo};
  Files = {Work("two.VX")};
  Main->OpenButClick(Main->OpenBut);
  ASSERT_NE(Doc(), nullptr);
  EXPECT_EQ(Doc()->Buttons().size(), 1u);
  EXPECT_FALSE(Main->IsModified());
  EXPECT_TRUE(Editor->Visible());
  Doc()->SaveProject(Work("again.VX"));
  EXPECT_EQ(ReadAll(Work("again.VX")), saved);
}

TEST_F(MainForm, KillAndSelectionRules) {
  NewProject();
  EXPECT_FALSE(Main->KillBut->Enabled()) << "the web element cannot be killed";
  Insert(Main->EditBut, 40, 200);
  EXPECT_FALSE(Main->EditBut->Enabled()) << "one address field at most";
  EXPECT_TRUE(Main->KillBut->Enabled());
  EXPECT_EQ(Editor->CurrentPanel(), Editor->EditPanel);
  Main->SetModified(false);

  Main->KillButClick(Main->KillBut);
  EXPECT_EQ(Doc()->EditCount(), 0);
  EXPECT_EQ(Doc()->Selected(), Doc()->Web()) << "the selection moved to the web element";
  EXPECT_FALSE(Main->KillBut->Enabled());
  EXPECT_TRUE(Main->EditBut->Enabled()) << "killing the last address field enables its tool";
  EXPECT_TRUE(Main->IsModified());
  EXPECT_EQ(Editor->CurrentPanel(), Editor->FormPanel);

  // Kill with the web element selected does nothing; a null selection disables Kill.
  Main->KillButClick(Main->KillBut);
  EXPECT_EQ(Doc()->Web(), Doc()->Selected());
  Main->SelectionChanged(nullptr);
  EXPECT_FALSE(Main->KillBut->Enabled());
}

TEST_F(MainForm, ToolsArmReleaseAndAreUsedUp) {
  NewProject();
  Main->ButtonBut->OnClick(Main->ButtonBut);
  EXPECT_EQ(Doc()->InsertMode(), imButton);
  EXPECT_TRUE(SamePicture(Main->ButtonBut->Mask(), Main->StatePicture(tbButton, 2)));
  Main->LabelBut->OnClick(Main->LabelBut);
  EXPECT_EQ(Doc()->InsertMode(), imLabel);
  EXPECT_TRUE(SamePicture(Main->ButtonBut->Mask(), Main->StatePicture(tbButton, 0)))
      << "button tool released";
  EXPECT_TRUE(SamePicture(Main->LabelBut->Mask(), Main->StatePicture(tbLabel, 2)));
  Doc()->SurfaceMouseDown(Doc()->Surface(), mbLeft, TShiftState{ssLeft}, 70, 80, nullptr);
  EXPECT_EQ(Doc()->InsertMode(), imNone);
  EXPECT_TRUE(SamePicture(Main->LabelBut->Mask(), Main->StatePicture(tbLabel, 0))) << "label tool used up";
  EXPECT_NE(dynamic_cast<TVXLabel*>(Doc()->Selected()), nullptr);
  EXPECT_EQ(Editor->CurrentPanel(), Editor->LabelPanel);
}

TEST_F(MainForm, NewProjectSurfaceAndEditorPlaces) {
  Main->SetBounds(700, 10, Main->Width(), Main->Height());
  NewProject();
  TCoolBrowser* surface = Doc()->Surface();
  EXPECT_EQ(surface->Width(), 480);
  EXPECT_EQ(surface->Height(), 360);
  EXPECT_EQ(surface->Left(), 700 - 500);
  EXPECT_EQ(surface->Top(), 130);
  EXPECT_EQ(surface->InnerRect(), Rect(50, 50, 430, 310));
  EXPECT_EQ(surface->WebSpace->BoundsRect(), Bounds(30, 60, 420, 270));
  EXPECT_EQ(Doc()->Web()->Bitmap, App + "/Images/VexLand3.Bmp");
  EXPECT_EQ(Editor->Left(), 700);
  EXPECT_EQ(Editor->Top(), 160);
  // A docked editor follows the main window; an undocked one stays.
  Main->SetBounds(650, 40, Main->Width(), Main->Height());
  EXPECT_EQ(Editor->Left(), 650);
  EXPECT_EQ(Editor->Top(), 190);
  Editor->SetDocked(false);
  Main->SetBounds(600, 40, Main->Width(), Main->Height());
  EXPECT_EQ(Editor->Left(), 650);
  Main->LinkButClick(Main->LinkBut);
  EXPECT_TRUE(Editor->Docked());
  EXPECT_EQ(Editor->Left(), 600);
}

TEST_F(MainForm, TestRunScratchFileHidingAndReturn) {
  NewProject();
  Insert(Main->ButtonBut, 40, 30);
  Insert(Main->LabelBut, 40, 90);
  Main->CheckButClick(Main->CheckBut);
  ASSERT_NE(Main->TestWindow(), nullptr);
  EXPECT_EQ(Main->Mode(), mdTestRun);
  EXPECT_FALSE(Editor->Visible());
  EXPECT_FALSE(Doc()->Surface()->Visible());
  EXPECT_TRUE(Main->TestWindow()->Visible());
  Doc()->SaveProject(Work("same.VX"));
  EXPECT_EQ(ReadAll(Main->CheckFileName()), ReadAll(Work("same.VX")));
  EXPECT_EQ(Main->CheckFileName(), App + "/temp/Vexcheck.VX");

  // The test window's own close (its Exit button, the window system) brings the designer back.
  TVXBuilder* first = Main->TestWindow();
  first->Close();
  EXPECT_EQ(Main->Mode(), mdEditing);
  EXPECT_TRUE(Editor->Visible());
  EXPECT_TRUE(Doc()->Surface()->Visible());
  EXPECT_EQ(Main->TestWindow(), first) << "hidden, not freed";
  EXPECT_FALSE(first->Visible());
  EXPECT_EQ(Main->KillBut->Enabled(), Doc()->Selected() != Doc()->Web()) << "Kill follows the selection";

  // Check again: the first window is freed before a second is made; Check in mode 2 ends the test.
  Main->CheckButClick(Main->CheckBut);
  ASSERT_NE(Main->TestWindow(), nullptr);
  Main->CheckButClick(Main->CheckBut);
  EXPECT_EQ(Main->Mode(), mdEditing);
  // A test run changes nothing: the window panel shows the web view's size, and writes it back unchanged.
  EXPECT_EQ(Editor->BrowserWidthEdit->Text(), "420");
  Editor->BrowserEditExit(Editor->BrowserStartpageEdit);
  EXPECT_EQ(Doc()->Surface()->WebSpace->Width(), 420);
  EXPECT_TRUE(Reports->Messages.empty());
}

TEST_F(MainForm, FailedTestRunReturnsToEditing) {
  NewProject();
  fs::rename(App + "/temp", App + "/temp-away");
  EXPECT_ANY_THROW(Main->StartCheck());
  fs::rename(App + "/temp-away", App + "/temp");
  EXPECT_EQ(Main->Mode(), mdEditing);
  EXPECT_EQ(Main->TestWindow(), nullptr);
  EXPECT_TRUE(Doc()->Surface()->Visible());
}

TEST_F(MainForm, BuildWritesTheFolderAndRemembersTheTarget) {
  NewProject();
  Insert(Main->ButtonBut, 40, 30);
  fs::create_directories(Work("out"));
  Files = {Work("out/MyBrowser")};
  Main->BuildButClick(Main->BuildBut);
  EXPECT_EQ(Main->BuildPath(), Work("out/MyBrowser"));
  EXPECT_TRUE(fs::exists(Work("out/MyBrowser")));
  EXPECT_TRUE(fs::exists(Work("out/Config.VX")));
  EXPECT_EQ(Main->Actionlabel->Caption(), "");
  // A cancelled build dialog builds nothing.
  fs::remove(Work("out/Config.VX"));
  Files = {""};
  Main->BuildButClick(Main->BuildBut);
  EXPECT_FALSE(fs::exists(Work("out/Config.VX")));
  EXPECT_EQ(FileDialogs.back(), "BuildDialog");
}

// Save As writes exactly the name chosen, also one that differs from another project's only by a
// trailing blank, and any name the file system takes; saving over it, building a program of that name
// and opening it again take the same name.
TEST_F(MainForm, SaveOpenAndBuildTakeTheNameAsChosen) {
  std::string cjk;
  for (int i = 0; i < 80; ++i)
    cjk += "\xE6\xBC\xA2";  // U+6F22
  for (const std::string& name : {std::string("p.VX "), std::string(252, 'n') + ".VX", cjk + ".VX"}) {
    SCOPED_TRACE(std::to_string(name.size()) + " bytes");
    WriteAll(Work("p.VX"), "another project");
    NewProject();
    Insert(Main->ButtonBut, 40, 30);
    Files = {Work(name)};
    Main->SaveButClick(Main->SaveBut);
    EXPECT_EQ(Main->ProjectPath(), Work(name));
    Insert(Main->LabelBut, 40, 90);
    Files = {Work(name)};
    Main->SaveButClick(Main->SaveBut);
    const std::string saved = ReadAll(Work(name));
    EXPECT_NE(saved.find("Object=Label"), std::string::npos) << "saved over";
    EXPECT_EQ(ReadAll(Work("p.VX")), "another project");
    Files = {Work("out/" + name)};
    fs::create_directories(Work("out"));
    Main->BuildButClick(Main->BuildBut);
    EXPECT_TRUE(fs::exists(Work("out/" + name)) && fs::exists(Work("out/Config.VX")));
    Files = {Work(name)};
    Main->OpenButClick(Main->OpenBut);  // "another project" would not open
    ASSERT_NE(Doc(), nullptr);
    EXPECT_EQ(Doc()->Buttons().size(), 1u);
    Main->CloseProject();
    fs::remove_all(Work(""));
    fs::create_directories(Work(""));
  }
}

// After a failed save or build the window shows nothing running, and the project keeps its name and
// stays modified.
TEST_F(MainForm, AFailedSaveOrBuildLeavesTheWindowAsItWas) {
  NewProject();
  Files = {Work("kept.VX")};
  Main->SaveButClick(Main->SaveBut);
  Insert(Main->ButtonBut, 40, 30);
  fs::create_directories(Work("folder.VX/inside"));
  struct Case {
    const char* Name;
    std::function<void()> Run;
  };
  const Case cases[] = {
      {"save over a folder",
       [&] {
         Files = {Work("folder.VX")};
         Main->SaveButClick(Main->SaveBut);
       }},
      {"build into no folder",
       [&] {
         Files = {Work("nowhere/B")};
         Main->BuildButClick(Main->BuildBut);
       }},
      {"build over the open project",
       [&] {
         Files = {Work("kept.VX")};
         Main->BuildButClick(Main->BuildBut);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_ANY_THROW(c.Run());
    EXPECT_EQ(Main->Actionlabel->Caption(), "");
    EXPECT_EQ(Main->ProjectPath(), Work("kept.VX"));
    EXPECT_TRUE(Main->IsModified());
  }
  EXPECT_EQ(ReadAll(Work("kept.VX")).find("Object=Button"), std::string::npos)
      << "the project stays as saved";
}

TEST_F(MainForm, NewOpenAndExitCommitAFieldBeingTyped) {
  NewProject();
  Insert(Main->LabelBut, 40, 90);
  auto* label = dynamic_cast<TVXLabel*>(Doc()->Selected());
  ASSERT_NE(label, nullptr);
  Editor->SetFocusedControl(Editor->LabelLeftEdit);
  Editor->LabelLeftEdit->SetText("77");
  Files = {Work("committed.VX")};
  Main->SaveButClick(Main->SaveBut);
  EXPECT_EQ(label->GetLeft(), 77) << "Save commits";
  Editor->SetFocusedControl(Editor->LabelLeftEdit);
  Editor->LabelLeftEdit->SetText("66");
  Answers = {vmCancel};
  Main->NewButClick(Main->NewBut);
  EXPECT_EQ(label->GetLeft(), 66) << "New commits before it asks";
}

}  // namespace

namespace {

TEST_F(MainForm, ProgramEndFreesTheWindowsInReverseOrderWithAProjectOpen) {
  NewProject();
  Insert(Main->LabelBut, 40, 90);
  // The application frees its forms newest first: the question box, the editor, then the main window.
  delete Question;
  Question = nullptr;
  delete Editor;
  Editor = nullptr;
  EXPECT_EQ(Main->PropertyForm(), nullptr);
  EXPECT_EQ(Main->QuestionBox(), nullptr);
  delete Main;
  Main = nullptr;
}

TEST_F(MainForm, CheckWithoutProjectDoesNothing) {
  Main->CheckButClick(Main->CheckBut);
  EXPECT_EQ(Main->Mode(), mdNoProject);
  EXPECT_EQ(Main->TestWindow(), nullptr);
}

}  // namespace

namespace {

TEST_F(MainForm, ButtonSoundsFollowTheSoundsOption) {
  NewProject();
  struct Case {
    const char* What;
    std::function<void()> Press;
  };
  const std::vector<Case> cases = {
      {"button tool", [&] { Main->ButtonBut->OnClick(Main->ButtonBut); }},
      {"label tool", [&] { Main->LabelBut->OnClick(Main->LabelBut); }},
      {"edit tool", [&] { Main->EditBut->OnClick(Main->EditBut); }},
      {"kill", [&] { Main->KillButClick(Main->KillBut); }},
      {"options", [&] { Main->OptionsButClick(Main->OptionsBut); }},
      {"save (cancelled)", [&] { Main->SaveButClick(Main->SaveBut); }},
      {"build (cancelled)", [&] { Main->BuildButClick(Main->BuildBut); }},
  };
  for (const bool on : {true, false}) {
    Main->SetSoundsOn(on);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.What) + (on ? " with sounds" : " without sounds"));
      const size_t before = Sounds->Played().size();
      c.Press();
      const auto played = Sounds->Played();
      ASSERT_EQ(played.size(), before + (on ? 1 : 0));
      if (on) {
        EXPECT_FALSE(played.back().Waited) << "button sounds do not hold the designer";
      }
    }
  }
  // Link and minimise make no sound.
  Main->SetSoundsOn(true);
  const size_t before = Sounds->Played().size();
  Main->LinkButClick(Main->LinkBut);
  EXPECT_EQ(Sounds->Played().size(), before);
}

}  // namespace

namespace {

// The main window is borderless: a left press on its face (the title bar, where the word of a running
// operation is shown, included) and a drag move it; a right press moves nothing.
TEST_F(MainForm, DraggingTheTitleBarMovesTheWindow) {
  TestInput::ShowAndWait(Main);
  struct Grip {
    int X, Y;
  };
  for (const Grip g : {Grip{60, 14}, Grip{Main->Actionlabel->Left() + 10, Main->Actionlabel->Top() + 8}}) {
    SCOPED_TRACE(g.X);
    const TRect start = Main->BoundsRect();
    TestInput::MousePress(Main, g.X, g.Y, mbRight);
    TestInput::MouseMove(Main, g.X - 30, g.Y + 20);
    TestInput::MouseRelease(Main, g.X - 30, g.Y + 20, mbRight);
    EXPECT_EQ(Main->BoundsRect(), start);
    TestInput::MousePress(Main, g.X, g.Y);
    // Positions are relative to the window, which moves with the mouse.
    TestInput::MouseMove(Main, g.X - 30, g.Y + 20);
    TestInput::MouseRelease(Main, g.X, g.Y);
    EXPECT_EQ(Main->Left(), start.Left - 30);
    EXPECT_EQ(Main->Top(), start.Top + 20);
  }
}

}  // namespace
