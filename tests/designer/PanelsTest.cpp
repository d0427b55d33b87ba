// The property editor: integer fields, the panels' loads and write-backs, skins and pictures, fonts,
// colours and the options panel.
#include <QLineEdit>

#include <typeinfo>

#include "graphics/Gfx32.h"
#include "platform/rtl/SysUtils.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/TestInput.h"
#include "tests/designer/DesignerFixture.h"

using namespace dt;

namespace {

class Panels : public DesignerFixture {
 protected:
  void SetUp() override {
    DesignerFixture::SetUp();
    NewProject();
  }
  TVXButton* AddButton() {
    Insert(Main->ButtonBut, 40, 30);
    return dynamic_cast<TVXButton*>(Doc()->Selected());
  }
  TVXLabel* AddLabel() {
    Insert(Main->LabelBut, 40, 90);
    return dynamic_cast<TVXLabel*>(Doc()->Selected());
  }
  // The user types Text at the end of Edit.
  void Type(TEdit* Edit, const std::string& Text) {
    TestInput::ShowAndWait(Editor);
    Editor->FocusControl(Edit);
    Edit->SetSelStart(static_cast<int>(Edit->Text().size()));
    TestInput::KeyChars(Edit, Text);
  }
};

TEST_F(Panels, IntegerFieldsRepairAndEnterCommits) {
  TEdit* top = Editor->BrowserTopEdit;
  ASSERT_EQ(top->Text(), "60");
  // A letter typed after the number is undone when the field is left.
  Type(top, "a");
  ASSERT_EQ(top->Text(), "60a");
  top->OnExit(top);
  EXPECT_EQ(top->Text(), "60");
  EXPECT_EQ(Doc()->Web()->GetTop(), 60);
  // Empty becomes 0.
  top->SetText("  ");
  top->OnExit(top);
  EXPECT_EQ(top->Text(), "0");
  EXPECT_EQ(Doc()->Web()->GetTop(), 0);
  // Enter writes the whole panel back, as leaving does, and is swallowed.
  Main->SetModified(false);
  top->SetText("25");
  char key = 13;
  top->OnKeyPress(top, key);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(Doc()->Web()->GetTop(), 25);
  EXPECT_TRUE(Main->IsModified());
  // Other keys pass.
  key = '7';
  top->OnKeyPress(top, key);
  EXPECT_EQ(key, '7');
}

TEST_F(Panels, WindowWriteBackValidatesEveryFieldFirst) {
  // Set by the program, so there is no undo step to go back to: text that is no number, and numbers
  // that a project file could not hold again.
  const std::pair<TEdit*, const char*> cases[] = {{Editor->BrowserIWidthEdit, "1q"},
                                                  {Editor->BrowserIWidthEdit, "32768"},
                                                  {Editor->BrowserStartWidthEdit, "8193"},
                                                  {Editor->BrowserHeightEdit, "-1"}};
  for (const auto& [field, text] : cases) {
    Editor->LoadWeb();
    Editor->BrowserTopEdit->SetText("5");
    field->SetText(text);
    EXPECT_THROW(Editor->BrowserEditExit(Editor->BrowserTopEdit), EConvertError) << text;
    EXPECT_EQ(Doc()->Web()->GetTop(), 60) << text << ": nothing was written";
  }
  // A digit typed past the range is undone when the field is left.
  TEdit* width = Editor->BrowserStartWidthEdit;
  Editor->LoadWeb();
  width->SetText("8192");
  Type(width, "0");
  width->OnExit(width);
  EXPECT_EQ(width->Text(), "8192");
  EXPECT_EQ(Doc()->Surface()->StartWidth(), 8192);
}

TEST_F(Panels, InnerRectangleIsClampedAndShownClamped) {
  Editor->BrowserIWidthEdit->SetText("5000");
  Editor->BrowserIHeightEdit->SetText("5000");
  Editor->BrowserEditExit(Editor->BrowserIWidthEdit);
  EXPECT_EQ(Doc()->Surface()->IRight(), 478);
  EXPECT_EQ(Editor->BrowserIWidthEdit->Text(), "478");
  EXPECT_EQ(Editor->BrowserIHeightEdit->Text(), "358");
}

TEST_F(Panels, UnlistedPositionIsKeptByAWriteBack) {
  Doc()->Web()->SetPosition("Somewhere");
  Editor->LoadWeb();
  EXPECT_EQ(Editor->PositionCombo->ItemIndex(), -1);
  Editor->BrowserEditExit(Editor->BrowserTopEdit);
  EXPECT_EQ(Doc()->Web()->Position, "Somewhere");
  Editor->PositionCombo->UserPicked(Editor->PositionCombo->Items()->IndexOf("Upper left"));
  EXPECT_EQ(Doc()->Web()->Position, "Upper left");
}

TEST_F(Panels, ChangingTheSkinClampsTheInnerRectangle) {
  const std::string small = App + "/Images/Buttons/Button1.BMP";  // 76 x 24
  Doc()->Bitmaps()->Add(small);
  Editor->LoadWeb();
  Editor->BitmapEdit->UserPicked(Doc()->Bitmaps()->IndexOf(small));
  EXPECT_EQ(Doc()->Web()->Bitmap, small);
  // Inside the skin, with a column and a row between the edges to stretch.
  const TRect inner = Doc()->Surface()->InnerRect();
  EXPECT_LT(inner.Left, inner.Right);
  EXPECT_LE(inner.Right, 75);
  EXPECT_LT(inner.Top, inner.Bottom);
  EXPECT_LE(inner.Bottom, 23);
  EXPECT_EQ(Doc()->Surface()->StartWidth(), 480) << "a listed skin keeps the start size";
  EXPECT_TRUE(Main->IsModified());
}

TEST_F(Panels, ChoosingASkinFileSetsStartSize) {
  Files = {App + "/Images/Decisiondesign.BMP"};
  Editor->FormImageClick(Editor->FormImage);
  EXPECT_EQ(Doc()->Surface()->StartWidth(), 183);
  EXPECT_EQ(Doc()->Surface()->StartHeight(), 226);
  EXPECT_EQ(Editor->SizeLabel->Caption(), "183 x 226");
  EXPECT_EQ(Editor->LastPicturePath(), App + "/Images/Decisiondesign.BMP");
}

// The widest sizes a picture may have show whole in every size label.
TEST_F(Panels, SizeLabelsShowTheWidestSizesWhole) {
  for (TLabel* label : {Editor->SizeLabel, Editor->ButtonMaskLabel, Editor->ButtonTouchedLabel,
                        Editor->ButtonPressedLabel, Editor->ButtonDisabledLabel})
    for (const auto& [width, height] : {std::pair{3840, 2160}, {16384, 512}, {2896, 2896}}) {
      label->SetCaption(SizeText(width, height));
      EXPECT_LE(label->TextSize().cx, label->Width()) << label->Name() << " " << label->Caption();
    }
}

TEST_F(Panels, ReloadingASkinNeverWritesIntoTheStockPicture) {
  const std::string late = Work("late.bmp");
  TBitmap32* stock = KMediaList::Instance()->GetBitmap(StartDirectory() + "\\Data\\noimage.bmp");
  const int stockWidth = stock->Width();
  Doc()->Web()->SetBitmap(late);  // missing: the cache answers with the stock picture
  TBitmap picture;
  picture.SetPixelFormat(pf24bit);
  picture.SetSize(90, 70);
  picture.SaveToFile(late);
  Files = {late};
  Editor->FormImageClick(Editor->FormImage);
  EXPECT_EQ(stock->Width(), stockWidth);
}

TEST_F(Panels, APictureThatFailsToLoadIsNotListed) {
  WriteAll(Work("broken.bmp"), "not a picture");
  const int count = Doc()->Bitmaps()->Count();
  Files = {Work("broken.bmp")};
  EXPECT_ANY_THROW(Editor->FormImageClick(Editor->FormImage));
  EXPECT_EQ(Doc()->Bitmaps()->Count(), count);
}

TEST_F(Panels, ButtonPanelLoadAndWriteBack) {
  TVXButton* button = AddButton();
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(Editor->CurrentPanel(), Editor->ButtonPanel);
  EXPECT_EQ(Editor->ButtonActionCombo->Text(), "Nothing");
  EXPECT_EQ(Editor->ButtonMaskCombo->Text(), "Button1.BMP");
  EXPECT_EQ(Editor->ButtonMaskLabel->Caption(), "76 x 24");
  EXPECT_FALSE(Editor->ButtonNavigationTarget->Enabled());

  struct ActionCase {
    const char* Action;
    bool TargetEnabled;
  };
  for (const ActionCase& c :
       {ActionCase{"Navigate", false}, ActionCase{"Exec Program", true}, ActionCase{"Navigate silent", true},
        ActionCase{"Navigate to target", true}, ActionCase{"Back", false}}) {
    SCOPED_TRACE(c.Action);
    Editor->ButtonNavigationTarget->SetText("target.htm");
    Editor->ButtonActionCombo->UserPicked(Editor->ButtonActionCombo->Items()->IndexOf(c.Action));
    EXPECT_EQ(button->Pressaction, c.Action);
    EXPECT_EQ(Editor->ButtonNavigationTarget->Enabled(), c.TargetEnabled);
    EXPECT_EQ(button->Navigationtarget, "target.htm") << "kept either way";
  }

  // An action the list does not offer stays as stored.
  button->SetPressaction("Favorites");
  Editor->LoadButton(button);
  EXPECT_EQ(Editor->ButtonActionCombo->ItemIndex(), -1);
  EXPECT_FALSE(Editor->ButtonNavigationTarget->Enabled());
  Editor->ButtonTopedit->SetText("33");
  Editor->ButtonEditExit(Editor->ButtonTopedit);
  EXPECT_EQ(button->Pressaction, "Favorites");
  EXPECT_EQ(button->GetTop(), 33);

  // Selecting a button whose hint differs writes nothing.
  button->SetHint("one");
  Main->SetModified(false);
  Editor->LoadButton(button);
  EXPECT_FALSE(Main->IsModified());
  Editor->ButtonHintEdit->SetText("two");
  EXPECT_EQ(button->Hint, "two");
  EXPECT_TRUE(Main->IsModified());
}

// A field that cannot be typed in must not look like one that can: the target field and the label's
// text field take muted colours while disabled and the editor's own colours again when enabled.
TEST_F(Panels, DisabledFieldsLookDisabled) {
  const auto expectLook = [](TEdit* Edit, bool Enabled) {
    EXPECT_EQ(Edit->Enabled(), Enabled);
    EXPECT_EQ(Edit->Color(), Enabled ? EditorFieldColor : EditorDisabledFieldColor);
    EXPECT_EQ(Edit->Font()->Color(), Enabled ? clWhite : EditorDisabledTextColor);
  };
  TVXButton* button = AddButton();
  ASSERT_NE(button, nullptr);
  expectLook(Editor->ButtonNavigationTarget, false);
  for (const auto& [action, enabled] :
       {std::pair{"Navigate to target", true}, std::pair{"Back", false}, std::pair{"Exec Program", true}}) {
    SCOPED_TRACE(action);
    Editor->ButtonActionCombo->UserPicked(Editor->ButtonActionCombo->Items()->IndexOf(action));
    expectLook(Editor->ButtonNavigationTarget, enabled);
  }
  TVXLabel* label = AddLabel();
  ASSERT_NE(label, nullptr);
  expectLook(Editor->LabelTextEdit, false);
  Editor->LabelStyleCombo->UserPicked(1);
  expectLook(Editor->LabelTextEdit, true);
  Editor->LabelStyleCombo->UserPicked(0);
  expectLook(Editor->LabelTextEdit, false);
  // Selecting the button again shows its target field as its action allows.
  Doc()->SelectElement(button);
  Editor->SelectElement(button);
  expectLook(Editor->ButtonNavigationTarget, true);
}

// The pipette of the button panel, then a click on the button's corner (the red of its picture, around
// the outline) makes that red the button's key colour, although the press shows the pressed picture
// (white there) at once, and the mouse over it shows the touched picture; a pick on the inside takes the
// normal picture's colour there.
TEST_F(Panels, PipetteOnAButtonPicksItsKeyColour) {
  TVXButton* button = AddButton();
  ASSERT_NE(button, nullptr);
  Files = {App + "/Images/Buttons/Check1.BMP"};
  Editor->ButtonStateImageClick(0);
  TestInput::ShowAndWait(Doc()->Surface());
  Editor->DialogPickButClick(nullptr);
  TestInput::MouseClick(button->Control(), 1, 1);
  TestInput::ProcessEvents();
  EXPECT_EQ(button->GetInvisibleColor(), clRed);
  EXPECT_EQ(Editor->ButtonIColorShape->Brush()->Color(), clRed);
  EXPECT_EQ(Doc()->Selected(), button);
  TBitmap normal;
  normal.LoadFromFile(App + "/Images/Buttons/Check1.BMP");
  const TColor inside = normal.Canvas()->Pixels(37, 12);
  Editor->DialogPickButClick(nullptr);
  TestInput::MouseClick(button->Control(), 37, 12);
  TestInput::ProcessEvents();
  EXPECT_EQ(button->GetInvisibleColor(), inside);
}

TEST_F(Panels, NewMaskPictureResizesTheButtonAndIsOfferedEverywhere) {
  TVXButton* button = AddButton();
  const std::string file = App + "/Images/Buttons/New2.BMP";
  TBitmap expected;
  expected.LoadFromFile(file);
  Files = {file};
  Editor->ButtonStateImageClick(0);
  EXPECT_EQ(button->Mask, file);
  EXPECT_EQ(button->Control()->Width(), expected.Width());
  for (TComboBox* combo : {Editor->ButtonMaskCombo, Editor->ButtonTouchedCombo, Editor->ButtonPressedCombo,
                           Editor->ButtonDisabledCombo})
    EXPECT_NE(combo->Items()->IndexOf("New2.BMP"), -1);
  EXPECT_EQ(Editor->ButtonTouchedCombo->Text(), "Button1Over.BMP") << "the other states keep theirs";
  // Picking from a list sets that state only.
  Editor->ButtonPressedCombo->UserPicked(Editor->ButtonPressedCombo->Items()->IndexOf("New2.BMP"));
  EXPECT_EQ(button->Pressed, file);
  EXPECT_EQ(button->Touched, App + "/Images/Buttons/Button1Over.BMP");
}

TEST_F(Panels, ButtonSoundChoiceAndPreview) {
  TVXButton* button = AddButton();
  const size_t before = Sounds->Played().size();  // the tool's click
  Editor->ButtonSoundPlayButClick(nullptr);
  EXPECT_EQ(Sounds->Played().size(), before) << "<NoSound> plays nothing";
  const std::string click = App + "/sounds/NewButton.wav";
  Files = {click};
  Editor->ButtonSoundOpenButClick(nullptr);
  EXPECT_EQ(button->Sound, click);
  EXPECT_EQ(Editor->ButtonSoundCombo->Text(), "NewButton.wav");
  Main->SetSoundsOn(false);
  Editor->ButtonSoundPlayButClick(nullptr);
  EXPECT_EQ(Sounds->Played().size(), before + 1) << "previews play whatever the sounds option says";
}

TEST_F(Panels, LabelPanelLoadsWithoutWritingAndWritesBack) {
  TVXLabel* first = AddLabel();
  first->Autosize = "True";
  first->SetTransparent(true);
  first->SetStyle("Custom Text");
  first->SetText("First");
  Insert(Main->LabelBut, 40, 150);
  auto* second = dynamic_cast<TVXLabel*>(Doc()->Selected());
  Main->SetModified(false);
  Doc()->SelectElement(first);
  Editor->SelectElement(first);
  Editor->SelectElement(second);
  Editor->SelectElement(first);
  EXPECT_FALSE(Main->IsModified());
  EXPECT_EQ(first->Text, "First");
  EXPECT_TRUE(first->GetTransparent());
  EXPECT_EQ(second->Style, "Page Title");
  EXPECT_FALSE(second->GetTransparent());
  EXPECT_EQ(second->Autosize, "");
  EXPECT_TRUE(Editor->LabelTextEdit->Enabled());

  // Switching the style shows the text; typing in the focused text field updates the label.
  Doc()->SelectElement(second);
  Editor->SelectElement(second);
  EXPECT_FALSE(Editor->LabelTextEdit->Enabled());
  Editor->LabelStyleCombo->UserPicked(1);
  EXPECT_EQ(second->Style, "Custom Text");
  EXPECT_EQ(second->Control()->Caption(), "Hello");
  EXPECT_TRUE(Editor->LabelTextEdit->Enabled());
  Type(Editor->LabelTextEdit, "x");
  EXPECT_EQ(second->Control()->Caption(), "Hellox");

  // A width and Enter resize the label on the surface.
  Editor->LabelWidthEdit->SetText("123");
  char key = 13;
  Editor->LabelWidthEdit->OnKeyPress(Editor->LabelWidthEdit, key);
  EXPECT_EQ(second->Control()->Width(), 123);
  EXPECT_EQ(second->Autosize, "False");
}

// A project written in the system's 8-bit code page (Windows-1252) shows its texts as written: on the
// surface, in the editor's fields, in the test run and in a build; saved (as UTF-8) and opened again,
// it shows the same.
TEST_F(Panels, TextInTheEightBitCodePageShowsAsWritten) {
  const std::string skin = App + "/Images/VexLand3.Bmp";
  WriteAll(Work("latin1.VX"), "Pelloran=V1.2\r\nObject=Bitmaps\r\n" + skin +
                                  "\r\nend\r\nObject=Web\r\nBitmap=" + skin +
                                  "\r\nend\r\nObject=Label\r\nStyle=Custom Text\r\nText=Gr\xFC\xDF"
                                  "e\r\nend\r\nObject=Button\r\nPressaction=Navigate to target\r\n"
                                  "Navigationtarget=#Gr\xFC\xDF"
                                  "e.htm\r\nHint=Gr\xFC\xDF"
                                  "e \x96 \x84hi\x93\r\nend\r\n");
  const auto element = [this](const std::type_info& Kind) {
    for (int i = 0; i < Doc()->ComponentCount(); ++i) {
      TComponent* component = Doc()->Components(i);
      if (typeid(*component) == Kind) return component;
    }
    return static_cast<TComponent*>(nullptr);
  };
  const auto shown = [](TEdit* Edit) {
    return qobject_cast<QLineEdit*>(WidgetOf(Edit)->focusProxy())->text().toStdString();
  };
  const auto expectShown = [&](const char* Round) {
    SCOPED_TRACE(Round);
    auto* label = static_cast<TVXLabel*>(element(typeid(TVXLabel)));
    auto* button = static_cast<TVXButton*>(element(typeid(TVXButton)));
    ASSERT_NE(label, nullptr);
    ASSERT_NE(button, nullptr);
    Editor->SelectElement(label);
    Editor->SelectElement(button);
    const std::pair<std::string, std::string> cases[] = {
        {label->Control()->Caption(), "Grüße"},
        {button->Hint, "Grüße – „hi“"},
        {shown(Editor->ButtonHintEdit), "Grüße – „hi“"},
        {shown(Editor->ButtonNavigationTarget), "#Grüße.htm"},
    };
    for (const auto& [actual, expected] : cases)
      EXPECT_EQ(actual, expected);
    Editor->SelectElement(label);
    EXPECT_EQ(shown(Editor->LabelTextEdit), "Grüße");
  };
  Files = {Work("latin1.VX")};
  Main->OpenProject();
  expectShown("opened");
  Files = {Work("saved.VX")};
  ASSERT_TRUE(Main->SaveProject());
  EXPECT_NE(ReadAll(Work("saved.VX"))
                .find("\r\nText=Gr\xC3\xBC\xC3\x9F"
                      "e\r\n"),
            std::string::npos);
  Files = {Work("saved.VX")};
  Main->OpenProject();
  expectShown("saved and opened");

  // The test run reads the saved project, and a built browser its Config.VX, with the same text.
  Main->CheckButClick(Main->CheckBut);
  ASSERT_NE(Main->TestWindow(), nullptr);
  const auto runtimeLabel = [](TVXBuilder* Window) {
    for (int i = 0; i < Window->ComponentCount(); ++i)
      if (auto* l = dynamic_cast<TVXOLabel*>(Window->Components(i))) return l->Caption();
    return std::string("no label");
  };
  EXPECT_EQ(runtimeLabel(Main->TestWindow()), "Grüße");
  Main->CheckButClick(Main->CheckBut);
  fs::create_directories(Work("out"));
  Doc()->BuildBrowser(Work("out/B"));
  std::unique_ptr<TVXBuilder> built(TCustomForm::Create<TVXBuilder>(nullptr));
  fs::current_path(Work("out"));  // a built browser reads its folder
  built->ReadConfig("Config.VX");
  fs::current_path(App);
  EXPECT_EQ(runtimeLabel(built.get()), "Grüße");
  EXPECT_EQ(Reports->Messages, std::vector<std::string>{});
}

TEST_F(Panels, LabelFontKeepsWidthAndEditFontGrowsTheField) {
  TVXLabel* label = AddLabel();
  label->SetWidth(150);
  const int height = label->Control()->Height();
  Dialogs.OnFontDialog = [](TFontDialog* Dialog) {
    Dialog->Font()->SetHeight(-30);
    return true;
  };
  Editor->LabelFontLabelClick(nullptr);
  EXPECT_EQ(label->Control()->Width(), 150);
  EXPECT_GT(label->Control()->Height(), height);
  EXPECT_EQ(Editor->LabelFontLabel->Font()->Height(), -30);

  Insert(Main->EditBut, 40, 250);
  auto* edit = dynamic_cast<TVXEdit*>(Doc()->Selected());
  ASSERT_NE(edit, nullptr);
  Editor->EditFontLabelClick(nullptr);
  EXPECT_EQ(edit->Control()->Height(), 34);
}

TEST_F(Panels, EditPanelWriteBackKeepsUnlistedAlignment) {
  Insert(Main->EditBut, 40, 250);
  auto* edit = dynamic_cast<TVXEdit*>(Doc()->Selected());
  ASSERT_NE(edit, nullptr);
  edit->Alignment = "Middle";
  Editor->LoadEdit(edit);
  Editor->EditWidthEdit->SetText("200");
  Editor->EditEditExit(Editor->EditWidthEdit);
  EXPECT_EQ(edit->GetWidth(), 200);
  EXPECT_EQ(edit->Alignment, "Middle");
  Editor->EditStyleCombo->UserPicked(1);
  EXPECT_EQ(edit->Style, "History Combo");
  EXPECT_EQ(edit->Control()->Text(), "History Combo");
}

TEST_F(Panels, ColoursGoToElementsAndNeedTheLeftButton) {
  TVXLabel* label = AddLabel();
  Dialogs.OnColorDialog = [](TColorDialog* Dialog) {
    Dialog->SetColor(0x123456);
    return true;
  };
  Editor->LabelColorShapeMouseUp(nullptr, mbRight, TShiftState{ssRight}, 0, 0);
  EXPECT_NE(label->GetColor(), 0x123456);
  Editor->LabelColorShapeMouseUp(nullptr, mbLeft, TShiftState{ssLeft}, 0, 0);
  EXPECT_EQ(label->GetColor(), 0x123456);
  EXPECT_EQ(Editor->LabelFontLabel->Color(), 0x123456);
}

// The colour dialog takes the release of the press on a swatch: the swatch keeps no hold of the mouse,
// and the next click on the panel is the clicked control's (a picture opens the picture dialog).
TEST_F(Panels, AColourDialogLeavesTheNextClickToTheClickedControl) {
  struct Row {
    const char* Panel;
    std::function<void()> Select;
    TShape* Swatch;
    TImage* Next;
  };
  const Row rows[] = {
      {"window", [] {}, Editor->DialodIColorShape, Editor->FormImage},
      {"button", [this] { AddButton(); }, Editor->ButtonIColorShape, Editor->ButtonMaskImage},
      {"label", [this] { AddLabel(); }, Editor->LabelColorShape, nullptr},
      {"address field", [this] { Insert(Main->EditBut, 40, 150); }, Editor->EditColorShape, nullptr},
      {"options", [this] { Main->OptionsButClick(Main->OptionsBut); }, Editor->ShapeColor, nullptr},
      {"options", [] {}, Editor->HelperColor, nullptr},
  };
  TestInput::ShowAndWait(Editor);
  for (const Row& row : rows) {
    row.Select();
    TestInput::ProcessEvents();
    Dialogs.Log.clear();
    TestInput::MousePress(row.Swatch, 5, 5);
    EXPECT_EQ(Dialogs.Log, (std::vector<std::string>{"color:"})) << row.Panel;
    EXPECT_EQ(GetCaptureControl(), nullptr) << row.Panel;
    if (row.Next == nullptr) continue;
    TestInput::MouseClick(row.Next, 5, 5);
    EXPECT_EQ(Dialogs.Log.back(), "openpicture:Open Bitmap") << row.Panel;
  }
}

TEST_F(Panels, OptionsPanelReportsOnlyWhileShown) {
  EXPECT_TRUE(Main->SoundsOnOption());
  Editor->MessageSoundsOn->SetChecked(false);
  EXPECT_TRUE(Main->MessageSoundsOnOption()) << "another panel is current";
  Main->OptionsButClick(Main->OptionsBut);
  EXPECT_EQ(Editor->CurrentPanel(), Editor->OptionsPanel);
  Editor->MessageSoundsOn->SetChecked(true);
  Editor->MessageSoundsOn->SetChecked(false);
  EXPECT_FALSE(Main->MessageSoundsOnOption());
  EXPECT_FALSE(Question->SoundsEnabled()) << "the question box follows at once";
  EXPECT_FALSE(Main->IsModified()) << "options are not part of the project";

  // The guide colour recolours the four guides; its dialog starts with the guide colour.
  TColor started = 0;
  Dialogs.OnColorDialog = [&](TColorDialog* Dialog) {
    started = Dialog->Color();
    Dialog->SetColor(0x00FF00);
    return true;
  };
  Editor->HelperColorMouseDown(Editor->HelperColor, mbLeft, TShiftState{ssLeft}, 0, 0);
  EXPECT_EQ(started, 16777215);
  TCoolBrowser* surface = Doc()->Surface();
  for (TShape* guide : {surface->LeftShape, surface->RightShape, surface->TopShape, surface->BottomShape})
    EXPECT_EQ(guide->Brush()->Color(), 0x00FF00);
  EXPECT_EQ(surface->Shape->Pen()->Color(), 255) << "the frame keeps its colour";
  EXPECT_EQ(Main->HelperColorOption(), 0x00FF00);
}

TEST_F(Panels, ApplyingOptionsWhileTheOptionsPanelIsShownLosesNone) {
  Main->OptionsButClick(Main->OptionsBut);
  Main->SetSoundsOn(false);
  Main->SetMessageSoundsOn(false);
  Main->ApplyOptions();
  EXPECT_FALSE(Main->SoundsOnOption());
  EXPECT_FALSE(Main->MessageSoundsOnOption());
  EXPECT_FALSE(Editor->MessageSoundsOn->Checked());
}

TEST_F(Panels, RemovingUnusedPicturesKeepsUsedOnes) {
  TVXButton* button = AddButton();
  Doc()->Bitmaps()->Add(App + "/Images/Buttons/New2.BMP");
  const int before = Doc()->Bitmaps()->Count();
  Editor->SpeedButton10Click(nullptr);
  EXPECT_EQ(Doc()->Bitmaps()->Count(), before - 1);
  EXPECT_NE(Doc()->Bitmaps()->IndexOf(button->Disabled), -1);
  EXPECT_NE(Doc()->Bitmaps()->IndexOf(Doc()->Web()->Bitmap), -1);
}

TEST_F(Panels, ImageElementLeavesThePreviousPanel) {
  AddLabel();
  Editor->SelectElement(Doc()->AddImage(5, 5));
  EXPECT_EQ(Editor->CurrentPanel(), Editor->LabelPanel);
}

TEST_F(Panels, DockingByDoubleClickAndStayOnTop) {
  Main->SetBounds(500, 20, Main->Width(), Main->Height());
  Editor->SetDocked(false);
  Editor->SetBounds(10, 10, Editor->Width(), Editor->Height());
  ShowAndWait(Editor);
  // The double click's own second press does not undock the editor again: it follows the main window.
  MouseDoubleClick(Editor->Image1, 24, 24);
  EXPECT_TRUE(Editor->Docked());
  EXPECT_EQ(Editor->Left(), 500);
  EXPECT_EQ(Editor->Top(), 170);
  Main->SetBounds(450, 40, Main->Width(), Main->Height());
  EXPECT_EQ(Editor->Left(), 450);
  EXPECT_EQ(Editor->Top(), 190);
  Editor->Stayontop1Click(nullptr);
  EXPECT_EQ(Editor->FormStyle(), fsStayOnTop);
  Editor->Stayontop1Click(nullptr);
  EXPECT_EQ(Editor->FormStyle(), fsNormal);
}

}  // namespace

namespace {

class PanelsMore : public DesignerFixture {
 protected:
  void SetUp() override {
    DesignerFixture::SetUp();
    NewProject();
  }
  static void Paint(const std::string& Path, TColor Colour) {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(100, 80);
    b.Canvas()->Brush()->SetColor(Colour);
    b.Canvas()->FillRect(Rect(0, 0, 100, 80));
    b.SaveToFile(Path);
  }
};

TEST_F(PanelsMore, ChoosingTheCurrentSkinAgainReloadsItFromDisk) {
  const std::string skin = Work("skin.bmp");
  Paint(skin, clBlue);
  Files = {skin};
  Editor->FormImageClick(Editor->FormImage);
  ASSERT_EQ(Doc()->Web()->Bitmap, skin);
  EXPECT_EQ(Doc()->Surface()->Width(), 100);
  Paint(skin, clLime);
  Files = {skin};
  Editor->FormImageClick(Editor->FormImage);
  const uint32_t pixel = KMediaList::Instance()->GetBitmap(skin)->Pixel(50, 40);
  EXPECT_EQ(pixel & 0xFFFFFF, 0x00FF00u) << "the cached skin shows the file's new content";
}

TEST_F(PanelsMore, AutoSizeIsStoredOnlyByTheUsersClick) {
  Insert(Main->LabelBut, 40, 90);
  auto* label = dynamic_cast<TVXLabel*>(Doc()->Selected());
  ASSERT_NE(label, nullptr);
  const int width = label->GetWidth();
  Editor->LabelAutosizeBox->SetChecked(true);  // not focused: the program's change
  EXPECT_EQ(label->Autosize, "");
  Editor->SetFocusedControl(Editor->LabelAutosizeBox);
  Editor->LabelAutosizeBox->SetChecked(false);
  Editor->LabelAutosizeBox->SetChecked(true);
  EXPECT_EQ(label->Autosize, "True");
  EXPECT_EQ(label->GetWidth(), width) << "the control is not resized";
}

}  // namespace
