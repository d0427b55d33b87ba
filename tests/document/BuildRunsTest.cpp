// A built folder as the runtime program reads it: the runtime window, started in the folder, loads
// "Config.VX" and creates every element with the copied pictures and sounds.
#include <gtest/gtest.h>

#include "document/BrowserClasses.h"
#include "platform/media/ScriptedWebEngine.h"
#include "runtime/VXBuilder.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

template <typename T>
std::vector<T*> Owned(TComponent* Owner) {
  std::vector<T*> out;
  for (int i = 0; i < Owner->ComponentCount(); ++i)
    if (auto* c = dynamic_cast<T*>(Owner->Components(i))) out.push_back(c);
  return out;
}

TEST(BuildRuns, RuntimeWindowReadsTheBuiltFolder) {
  TAppFolder app;
  auto doc = NewDocument(app.Path());
  for (const char* name : {"skin.bmp", "unused.bmp", "mask.bmp", "over.bmp", "press.bmp", "dis.bmp"})
    doc->Bitmaps()->Add(app.Media(name));
  doc->Sounds()->Add(app.Media("unused.wav"));
  doc->Sounds()->Add(app.Media("start.wav"));
  TVXWeb* web = doc->Web();
  web->SetBitmap(app.Media("skin.bmp"));
  web->SetTop(20);
  web->SetLeft(30);
  web->SetWidth(140);
  web->SetHeight(60);
  web->SetStartSound(app.Media("start.wav"));
  web->SetInvisibleColor(clFuchsia);
  doc->Surface()->SetInnerRect(Rect(50, 20, 150, 80));
  doc->Surface()->SetStartWidth(260);
  doc->Surface()->SetStartHeight(140);
  for (int i = 0; i < 2; ++i) {
    TVXButton* b = doc->AddButton(2, 10 + 50 * i);
    b->SetMask(app.Media("mask.bmp"));
    b->SetTouched(app.Media("over.bmp"));
    b->SetPressed(app.Media("press.bmp"));
    b->SetDisabled(app.Media("dis.bmp"));
    b->SetPressaction(i == 0 ? "Back" : "Refresh");
    if (i == 1) b->SetTouched("");  // no picture under the mouse: built and read as none
    b->SetSound(i == 0 ? app.Media("start.wav") : ProjectText::NoSound);
  }
  TVXLabel* label = doc->AddLabel(85, 10);
  label->SetStyle("Custom Text");
  label->SetText("Hello there");
  TVXEdit* edit = doc->AddEdit(60, 100);  // inside the skin: the window takes the skin's size
  edit->SetWidth(80);
  const std::string out = app / "folder";
  ForceDirectories(out);
  doc->BuildBrowser(out + "/MyBrowser");

  auto previous = SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  const std::string cwd = GetCurrentDir();
  ASSERT_TRUE(SetCurrentDir(out));
  TVXBuilder* form = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    form->ReadConfig("Config.VX");
  } catch (const Exception& e) {
    ADD_FAILURE() << "the runtime could not read the build: " << e.Message;
  }
  EXPECT_TRUE(SetCurrentDir(cwd));

  EXPECT_EQ(form->Skin()->FileName(), "VXB0.bmp");
  EXPECT_EQ(form->Skin()->InvisibleColor(), clFuchsia);
  EXPECT_EQ(form->Width(), 200);
  EXPECT_EQ(form->StartWidth(), 260);
  EXPECT_EQ(form->WebRect(), Rect(30, 20, 170, 80));
  EXPECT_EQ(form->StartSound->WaveName(), "VXS2.wav");
  // Every used picture was loaded from the folder: the skin, then the four button pictures.
  EXPECT_EQ(form->Bitmaps()->Count(), 5);
  const auto buttons = Owned<TVXOButton>(form);
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[0]->Pressaction(), "Back");
  EXPECT_EQ(buttons[0]->Sound(), "VXS2.wav");
  EXPECT_EQ(buttons[1]->Sound(), "<NoSound>");
  EXPECT_EQ(buttons[1]->Left(), 60);
  EXPECT_EQ(buttons[0]->Width(), 40);
  EXPECT_NE(buttons[0]->TouchedBitmap(), nullptr);
  EXPECT_EQ(buttons[1]->TouchedBitmap(), nullptr);
  const auto labels = Owned<TVXOLabel>(form);
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0]->CustomText(), "Hello there");
  EXPECT_TRUE(form->AddressEdit->Visible());
  EXPECT_EQ(form->AddressEdit->Width(), 80);
  EXPECT_EQ(form->Orderer()->Count(), 1 + 2 + 1 + 2);  // web, buttons, label, both address controls

  delete form;
  SetWebEngineFactory(previous);
}

TEST(BuildRuns, RuntimeWindowReadsASavedProjectForATestRun) {
  TAppFolder app;
  auto doc = NewDocument(app.Path());
  doc->Bitmaps()->Add(app.Media("skin.bmp"));
  doc->Web()->SetBitmap(app.Media("skin.bmp"));
  doc->Sounds()->Add(app.Media("start.wav"));
  doc->Web()->SetExitSound(app.Media("start.wav"));
  doc->SetInsertMode(imButton);
  doc->SurfaceMouseDown(doc->Surface(), mbLeft, {ssLeft}, 30, 20, nullptr);
  doc->SetInsertMode(imLabel);
  doc->SurfaceMouseDown(doc->Surface(), mbLeft, {ssLeft}, 60, 5, nullptr);
  ForceDirectories(app / "temp");
  doc->SaveProject(app / "temp/Vexcheck.VX");

  auto previous = SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  TVXBuilder* form = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    form->ReadConfig(app / "temp/Vexcheck.VX");
  } catch (const Exception& e) {
    ADD_FAILURE() << "the runtime could not read the project: " << e.Message;
  }
  EXPECT_EQ(form->Skin()->FileName(), app.Media("skin.bmp"));
  EXPECT_EQ(form->EndSound->WaveName(), app.Media("start.wav"));
  const auto buttons = Owned<TVXOButton>(form);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0]->Left(), 30);
  EXPECT_EQ(buttons[0]->Width(), 24);
  EXPECT_EQ(Owned<TVXOLabel>(form).size(), 1u);
  delete form;
  SetWebEngineFactory(previous);
}

}  // namespace
