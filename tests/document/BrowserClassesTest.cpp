// The document and its elements: inserts, selection, colour picking, removal of unused media, the
// wrappers' setters and their controls' lifetimes.
#include "document/BrowserClasses.h"

#include <gtest/gtest.h>

#include "skin/KUtilities.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Doc = NewDocument(App.Path());
    S = Doc->Surface();
    Doc->Bitmaps()->Add(App.Media("skin.bmp"));
    Doc->Web()->SetBitmap(App.Media("skin.bmp"));
    Doc->SetOnChange([this](TObject*) { ++Changes; });
    Doc->OnSelectElement = [this](TComponent* E) { Selections.push_back(E); };
  }

  TAppFolder App;
  std::unique_ptr<TVXBrowser> Doc;
  TCoolBrowser* S = nullptr;
  int Changes = 0;
  std::vector<TComponent*> Selections;
};

TEST_F(DocumentTest, EachInsertModePlacesItsElementAtTheClick) {
  struct Case {
    uint8_t Mode;
    int X, Y;
  };
  const Case cases[] = {{imButton, 20, 30}, {imLabel, 40, 10}, {imImage, 5, 60}, {imEdit, 70, 70}};
  for (const Case& c : cases) {
    const int before = S->ControlCount();
    Doc->SetInsertMode(c.Mode);
    S->HandleMouseDown(mbLeft, {ssLeft}, c.X, c.Y, false);
    S->HandleMouseUp(mbLeft, {}, c.X, c.Y);
    ASSERT_EQ(S->ControlCount(), before + 1) << "mode " << int(c.Mode);
    TControl* control = S->SelectedControl();
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Left(), c.X);
    EXPECT_EQ(control->Top(), c.Y);
    ASSERT_FALSE(Selections.empty());
    EXPECT_EQ(Selections.back(), Doc->FindElement(control));
    EXPECT_EQ(Doc->Selected(), Selections.back());
    // The document never resets the mode itself.
    EXPECT_EQ(Doc->InsertMode(), c.Mode);
  }
  EXPECT_EQ(Changes, 4);
  EXPECT_EQ(Doc->EditCount(), 1);
  // The button took its default pictures, listed in this order after the skin.
  TVXButton* button = Doc->Buttons().at(0);
  EXPECT_EQ(button->Mask, App / "Images/Buttons/Button1.BMP");
  EXPECT_EQ(button->Touched, App / "Images/Buttons/Button1Over.BMP");
  EXPECT_EQ(button->Pressed, App / "Images/Buttons/Button1Press.BMP");
  EXPECT_EQ(button->Disabled, App / "Images/Buttons/Button1Dis.BMP");
  EXPECT_EQ(Doc->Bitmaps()->GetPath(1), button->Mask);
  EXPECT_EQ(Doc->Bitmaps()->GetPath(4), button->Disabled);
  EXPECT_EQ(button->Control()->Width(), 24);
  EXPECT_EQ(button->Pressaction, "Nothing");
  EXPECT_EQ(button->Sound, "<NoSound>");
}

TEST_F(DocumentTest, OnlyTheLeftButtonInsertsAndRightClicksOnTheFaceDoNothing) {
  Doc->SetInsertMode(imLabel);
  const int before = S->ControlCount();
  S->HandleMouseDown(mbRight, {ssRight}, 10, 10, false);
  S->HandleMouseUp(mbRight, {}, 10, 10);
  S->HandleMouseDown(mbMiddle, {ssMiddle}, 10, 10, false);
  S->HandleMouseUp(mbMiddle, {}, 10, 10);
  EXPECT_EQ(S->ControlCount(), before);
  EXPECT_EQ(Changes, 0);
}

TEST_F(DocumentTest, InsertWhosePictureFailsLeavesNoElement) {
  std::filesystem::remove(App / "Images/Buttons/Button1Press.BMP");
  std::filesystem::remove(App / "Image.bmp");
  for (uint8_t mode : {imButton, imImage}) {
    const int before = S->ControlCount();
    const int components = Doc->ComponentCount();
    Doc->SetInsertMode(mode);
    EXPECT_ANY_THROW(Doc->SurfaceMouseDown(S, mbLeft, {ssLeft}, 10, 10, nullptr)) << int(mode);
    EXPECT_EQ(S->ControlCount(), before) << int(mode);
    EXPECT_EQ(Doc->ComponentCount(), components) << int(mode);
  }
  EXPECT_EQ(Changes, 0);
}

TEST_F(DocumentTest, PickModeReadsThePixelAndEndsItself) {
  std::vector<std::pair<TObject*, TColor>> picks;
  Doc->SetOnPickColor([&](TObject* Sender, TColor C) { picks.emplace_back(Sender, C); });
  TVXButton* button = Doc->AddButton(10, 120);
  Doc->Bitmaps()->Add(App.Media("mask.bmp"));
  button->SetMask(App.Media("mask.bmp"));
  S->SelectControl(S->WebSpace);
  const int selections = static_cast<int>(Selections.size());

  // On an element: the element's own pixel, the selection stays.
  Doc->SetPickMode(true);
  button->Control()->HandleMouseDown(mbLeft, {ssLeft}, 5, 5, false);
  button->Control()->HandleMouseUp(mbLeft, {}, 5, 5);
  ASSERT_EQ(picks.size(), 1u);
  EXPECT_EQ(picks[0].first, button->Control());
  EXPECT_EQ(picks[0].second, clLime);
  EXPECT_FALSE(Doc->PickMode());
  EXPECT_EQ(S->SelectedControl(), S->WebSpace);
  EXPECT_EQ(static_cast<int>(Selections.size()), selections);

  // On the face: the skin's pixel (the web panel lies elsewhere).
  S->WebSpace->SetBounds(100, 50, 50, 30);
  Doc->SetPickMode(true);
  Doc->SurfaceMouseDown(S, mbLeft, {ssLeft}, 3, 90, nullptr);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_EQ(picks[1].first, S);
  EXPECT_EQ(picks[1].second, clNavy);
  EXPECT_FALSE(Doc->PickMode());

  // Without a handler a pick still ends pick mode and reports a change.
  Doc->SetOnPickColor(nullptr);
  Doc->SetPickMode(true);
  const int changes = Changes;
  Doc->SurfaceMouseDown(S, mbLeft, {ssLeft}, 3, 90, nullptr);
  EXPECT_FALSE(Doc->PickMode());
  EXPECT_EQ(Changes, changes + 1);

  // An armed insert tool wins over pick mode, which stays on.
  Doc->SetPickMode(true);
  Doc->SetInsertMode(imLabel);
  Doc->SurfaceMouseDown(S, mbLeft, {ssLeft}, 3, 3, nullptr);
  EXPECT_TRUE(Doc->PickMode());
  EXPECT_NE(dynamic_cast<TVXLabel*>(Doc->Selected()), nullptr);
}

TEST_F(DocumentTest, FindElementKnowsOnlyElements) {
  TVXLabel* label = Doc->AddLabel(1, 1);
  TVXEdit* edit = Doc->AddEdit(1, 1);
  TVXButton* button = Doc->AddButton(1, 1);
  EXPECT_EQ(Doc->FindElement(S->WebSpace), Doc->Web());
  EXPECT_EQ(Doc->FindElement(label->Control()), label);
  EXPECT_EQ(Doc->FindElement(edit->Control()), edit);
  EXPECT_EQ(Doc->FindElement(button->Control()), button);
  for (TControl* other : {static_cast<TControl*>(S->Shape), static_cast<TControl*>(S->LeftShape),
                          static_cast<TControl*>(S->BottomShape), static_cast<TControl*>(nullptr)})
    EXPECT_EQ(Doc->FindElement(other), nullptr);
}

TEST_F(DocumentTest, RemovalOfUnusedMediaKeepsWhatIsUsedInAnyLetterCase) {
  for (const char* name : {"mask.bmp", "over.bmp", "press.bmp", "dis.bmp", "unused.bmp"})
    Doc->Bitmaps()->Add(App.Media(name));
  TVXButton* button = Doc->AddButton(0, 0);
  button->SetMask(App.Media("mask.bmp"));
  button->SetTouched(App.Media("over.bmp"));
  button->SetPressed(App.Media("press.bmp"));
  button->SetDisabled(App.Media("DIS.bmp"));
  Doc->Sounds()->Add(App.Media("start.wav"));
  Doc->Sounds()->Add(App.Media("unused.wav"));
  Doc->Sounds()->Add(App.Media("click.mp3"));
  Doc->Web()->SetStartSound(App.Media("START.wav"));
  button->SetSound(App.Media("click.mp3"));
  Doc->RemoveUnusedBitmaps();
  Doc->RemoveUnusedSounds();
  ASSERT_EQ(Doc->Bitmaps()->Count(), 5);
  EXPECT_EQ(Doc->Bitmaps()->IndexOf(App.Media("unused.bmp")), -1);
  EXPECT_EQ(Doc->Bitmaps()->GetNames()->Count(), 5);
  ASSERT_EQ(Doc->Sounds()->Count(), 3);
  EXPECT_EQ(Doc->Sounds()->GetPath(0), "<NoSound>");
  EXPECT_EQ(Doc->Sounds()->IndexOf(App.Media("unused.wav")), -1);
  // Entry 0 survives even when nothing uses "<NoSound>".
  button->SetSound(App.Media("start.wav"));
  Doc->Web()->SetStartSound(App.Media("start.wav"));
  Doc->RemoveUnusedSounds();
  ASSERT_EQ(Doc->Sounds()->Count(), 2);
  EXPECT_EQ(Doc->Sounds()->GetPath(0), "<NoSound>");
}

TEST_F(DocumentTest, PictureSettersStoreOnlyListedPaths) {
  TVXButton* button = Doc->AddButton(0, 0);
  Doc->Bitmaps()->Add(App.Media("mask.bmp"));
  button->SetMask(App.Media("mask.bmp"));
  EXPECT_THROW(button->SetMask(App.Media("over.bmp")), EStringListError);
  EXPECT_THROW(button->SetTouched(App.Media("over.bmp")), EStringListError);
  EXPECT_THROW(button->SetPressed(App.Media("over.bmp")), EStringListError);
  EXPECT_EQ(button->Mask, App.Media("mask.bmp"));
  EXPECT_EQ(button->Touched, "");
  EXPECT_EQ(button->Pressed, "");
  EXPECT_EQ(button->Control()->Width(), 40);
  // A listed path in other letter case is found.
  button->SetTouched(App.Media("MASK.bmp"));
  TVXImage* image = Doc->AddImage(0, 0);
  EXPECT_THROW(image->SetPicture(App.Media("over.bmp")), EStringListError);
  EXPECT_EQ(image->PictureFile, App / "Image.bmp");
  EXPECT_EQ(image->Control()->Width(), 30);
  EXPECT_EQ(image->Control()->Height(), 20);
}

TEST_F(DocumentTest, NewButtonHasTheDefaultSizeUntilItsMaskGivesOne) {
  TVXButton* button = Doc->AddButton(0, 0);
  const TOrganicShapeButton plain(nullptr);
  EXPECT_EQ(button->Control()->Width(), plain.Width());
  EXPECT_EQ(button->Control()->Height(), plain.Height());
  WritePicture(App.Media("odd.bmp"), 33, 17, clLime);
  Doc->Bitmaps()->Add(App.Media("odd.bmp"));
  button->SetMask(App.Media("odd.bmp"));
  EXPECT_EQ(button->Control()->Width(), 33);
  EXPECT_EQ(button->Control()->Height(), 17);
  button->SetInvisibleColor(clLime);
  EXPECT_EQ(button->GetInvisibleColor(), clLime);
}

TEST_F(DocumentTest, LabelStylesAndTexts) {
  TVXLabel* label = Doc->AddLabel(0, 0);
  EXPECT_EQ(label->Control()->Caption(), "Page Title");
  EXPECT_EQ(label->Text, "Hello");
  EXPECT_FALSE(label->Control()->AutoSize());
  label->SetText("Hi");
  EXPECT_EQ(label->Control()->Caption(), "Page Title");
  label->SetStyle("Custom Text");
  EXPECT_EQ(label->Control()->Caption(), "Page Title");
  label->SetText("Welcome");
  EXPECT_EQ(label->Control()->Caption(), "Welcome");
  label->SetStyle("Page Title");
  EXPECT_EQ(label->Control()->Caption(), "Page Title");
  // New controls take the surface's font.
  EXPECT_EQ(label->GetFont()->Name(), "Comic Sans MS");
}

TEST_F(DocumentTest, EditShowsItsStyle) {
  TVXEdit* edit = Doc->AddEdit(0, 0);
  EXPECT_EQ(edit->Control()->Text(), "Simple Edit");
  EXPECT_TRUE(edit->Control()->ReadOnly());
  EXPECT_EQ(edit->Control()->BorderStyle(), bsNone);
  EXPECT_EQ(edit->Control()->Height(), 15);
  EXPECT_EQ(edit->Control()->Cursor(), crArrow);
  edit->SetStyle("History Combo");
  EXPECT_EQ(edit->Control()->Text(), "History Combo");
}

TEST_F(DocumentTest, WebElementFollowsThePanelAndTheSkin) {
  TVXWeb* web = Doc->Web();
  EXPECT_EQ(web->Position, "Screencenter");
  EXPECT_EQ(web->StartSound, "<NoSound>");
  EXPECT_EQ(web->ExitSound, "<NoSound>");
  web->SetTop(10);
  web->SetLeft(12);
  web->SetWidth(100);
  web->SetHeight(50);
  EXPECT_EQ(S->WebSpace->BoundsRect(), Rect(12, 10, 112, 60));
  web->SetInvisibleColor(clFuchsia);
  EXPECT_EQ(S->Skin()->InvisibleColor(), clFuchsia);
  EXPECT_EQ(web->GetInvisibleColor(), clFuchsia);
  // A larger skin grows the surface and, through its anchors, the panel by the same amounts.
  WritePicture(App.Media("big.bmp"), 260, 130, clNavy);
  web->SetBitmap(App.Media("big.bmp"));
  EXPECT_EQ(web->Bitmap, App.Media("big.bmp"));
  EXPECT_EQ(S->ClientWidth(), 260);
  EXPECT_EQ(S->ClientHeight(), 130);
  EXPECT_EQ(S->WebSpace->BoundsRect(), Rect(12, 10, 172, 90));
}

TEST_F(DocumentTest, UnreadableSkinSizesTheSurfaceToThePlaceholder) {
  WritePicture(App / "Data/noimage.bmp", 32, 24, clWhite);
  const std::string start = StartDirectory();
  SetStartDirectory(App.Path());
  Doc->Web()->SetBitmap(App / "nowhere/skin.bmp");
  SetStartDirectory(start);
  EXPECT_EQ(Doc->Web()->Bitmap, App / "nowhere/skin.bmp");
  EXPECT_EQ(S->ClientWidth(), 32);
  EXPECT_EQ(S->ClientHeight(), 24);
}

TEST_F(DocumentTest, SetVisibleShowsAndSelectsTheLastControl) {
  TVXButton* button = Doc->AddButton(3, 3);
  Doc->SetVisible(true);
  EXPECT_TRUE(Doc->Visible());
  EXPECT_TRUE(S->Visible());
  EXPECT_EQ(Doc->Selected(), button);
  Doc->SetVisible(false);
  EXPECT_FALSE(S->Visible());
}

TEST_F(DocumentTest, DeletingElementsFreesEachControlOnce) {
  TVXLabel* label = Doc->AddLabel(1, 1);
  TVXButton* button = Doc->AddButton(1, 1);
  TVXEdit* edit = Doc->AddEdit(1, 1);
  TVXImage* image = Doc->AddImage(1, 1);
  S->SelectControl(button->Control());
  S->SetPopupTarget(label->Control());
  const int count = S->ControlCount();
  delete button;
  EXPECT_EQ(S->ControlCount(), count - 1);
  EXPECT_EQ(S->SelectedControl(), nullptr);
  EXPECT_EQ(Doc->Selected(), nullptr);
  delete label;
  EXPECT_EQ(S->PopupTarget(), nullptr);
  // Frame drags and menu picks after the deletions touch nothing that is gone.
  S->Shape->HandleMouseDown(mbLeft, {ssLeft}, 1, 1, false);
  S->Shape->HandleMouseMove({ssLeft}, 30, 30);
  S->Bringtofront1Click(nullptr);
  EXPECT_EQ(S->ControlCount(), count - 2);
  (void)edit;
  (void)image;
}

TEST(DocumentLifetime, DestroyingTheDocumentFreesEveryControlOnce) {
  TAppFolder app;
  for (int round = 0; round < 3; ++round) {
    auto doc = NewDocument(app.Path());
    doc->Bitmaps()->Add(app.Media("skin.bmp"));
    doc->Web()->SetBitmap(app.Media("skin.bmp"));
    for (int i = 0; i < 3; ++i) {
      doc->AddLabel(i, i);
      doc->AddButton(i, i);
      doc->AddImage(i, i);
    }
    doc->AddEdit(5, 5);
    doc->SetVisible(round == 1);
    doc->Surface()->SelectControl(doc->Buttons().back()->Control());
    if (round == 2) delete doc->Buttons().front();
    doc.reset();
  }
}

}  // namespace
