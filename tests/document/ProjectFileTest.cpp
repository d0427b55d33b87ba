// Project save and load: the golden round trip, the reader's order rules, and loads that fail as a whole.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "document/BrowserClasses.h"
#include "platform/media/ScriptedWebEngine.h"
#include "runtime/VXBuilder.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

// A document with every kind of value the project text holds.
std::unique_ptr<TVXBrowser> SampleDocument(const TAppFolder& App) {
  auto doc = NewDocument(App.Path());
  TCoolBrowser* s = doc->Surface();
  for (const char* name : {"skin.bmp", "mask.bmp", "over.bmp", "press.bmp", "dis.bmp", "unused.bmp"})
    doc->Bitmaps()->Add(App.Media(name));
  doc->Sounds()->Add(App.Media("start.wav"));
  doc->Sounds()->Add(App.Media("click.mp3"));

  TVXWeb* web = doc->Web();
  web->SetBitmap(App.Media("skin.bmp"));
  web->SetTop(12);
  web->SetLeft(14);
  web->SetWidth(170);
  web->SetHeight(70);
  web->SetStartpage("file:///srv/page/index.html?a=b");
  web->SetPosition("Like designed");
  web->SetStartSound(App.Media("start.wav"));
  web->SetInvisibleColor(clRed);
  s->SetInnerRect(Rect(50, 20, 150, 80));
  s->SetStartWidth(480);
  s->SetStartHeight(360);
  s->SetFormStyle(fsStayOnTop);
  s->SetLeft(300);
  s->SetTop(200);

  TVXLabel* first = doc->AddLabel(5, 10);
  first->SetWidth(80);
  first->SetColor(clBtnFace);
  first->SetStyle("Custom Text");
  first->SetText("Welcome = home");
  first->SetTransparent(true);
  first->Alignment = "Topleft";
  first->Autosize = "True";
  first->GetFont()->SetName("Arial");
  first->GetFont()->SetColor(clWindowText);
  first->GetFont()->SetHeight(-13);
  first->GetFont()->SetStyle({fsBold});
  TVXLabel* second = doc->AddLabel(85, 10);
  second->SetWidth(60);
  second->SetColor(clYellow);

  auto pictures = [&](TVXButton* b) {
    b->SetMask(App.Media("mask.bmp"));
    b->SetTouched(App.Media("over.bmp"));
    b->SetPressed(App.Media("press.bmp"));
    b->SetDisabled(App.Media("dis.bmp"));
  };
  TVXButton* back = doc->AddButton(60, 160);
  pictures(back);
  back->SetInvisibleColor(clLime);
  back->SetPressaction("Back");
  back->Alignment = "Bottomright";
  back->SetSound(App.Media("click.mp3"));
  back->SetHint("Go back");
  TVXButton* plain = doc->AddButton(60, 110);
  pictures(plain);

  TVXEdit* edit = doc->AddEdit(2, 100);
  edit->SetWidth(90);
  edit->SetColor(clWindow);
  edit->SetStyle("History Combo");
  edit->Alignment = "Topright";
  edit->Autosize = "False";
  edit->GetFont()->SetStyle({fsBold, fsStrikeOut});

  // Stacking: the first label above the second, the plain button beneath the web view.
  first->Control()->BringToFront();
  plain->Control()->SendToBack();
  return doc;
}

std::string Golden(const std::string& Name, const TAppFolder& App) {
  return Replace(ReadAll(GoldenPath(Name)), "@DIR@", App.Path());
}

TEST(ProjectFile, SaveWritesTheGoldenText) {
  TAppFolder app;
  auto doc = SampleDocument(app);
  doc->SaveProject(app / "project.VX");
  ExpectGolden(ReadAll(app / "project.VX"), "Project.VX", app.Path());
}

TEST(ProjectFile, LoadThenSaveReproducesTheFile) {
  TAppFolder app;
  WriteAll(app / "project.VX", Golden("Project.VX", app));
  auto doc = NewDocument(app.Path());
  std::vector<TComponent*> selections;
  doc->OnSelectElement = [&](TComponent* E) { selections.push_back(E); };
  doc->LoadProject(app / "project.VX");
  doc->SaveProject(app / "again.VX");
  ExpectGolden(ReadAll(app / "again.VX"), "Project.VX", app.Path());

  // Shown, with the last child control selected.
  TCoolBrowser* s = doc->Surface();
  EXPECT_TRUE(s->Visible());
  ASSERT_FALSE(selections.empty());
  EXPECT_EQ(s->SelectedControl(), s->Controls(s->ControlCount() - 1));
  EXPECT_EQ(doc->Selected(), doc->FindElement(s->SelectedControl()));
  // The surface keys its skin by InvisibleColor, as the built browser does, and takes the skin's size.
  EXPECT_EQ(s->Skin()->Mode(), 4);
  EXPECT_EQ(s->Skin()->InvisibleColor(), clRed);
  EXPECT_EQ(s->RegionMode(), 4);
  EXPECT_EQ(s->AlphaThreshold(), 100);
  EXPECT_EQ(s->Width(), 200);
  EXPECT_EQ(s->Height(), 100);
  EXPECT_EQ(doc->Web()->GetWidth(), 170);
  EXPECT_EQ(s->FormStyle(), fsStayOnTop);
  s->Hide();
}

TEST(ProjectFile, FreshButtonSavesEmptyValuesAndNoSound) {
  TAppFolder app;
  auto doc = NewDocument(app.Path());
  doc->AddButton(1, 2);
  doc->SaveProject(app / "p.VX");
  const std::string text = ReadAll(app / "p.VX");
  for (const char* line : {"\r\nAlignment=\r\n", "\r\nNavigationtarget=\r\n", "\r\nHint=\r\n",
                           "\r\nSound=<NoSound>\r\n", "\r\nPressaction=Nothing\r\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  EXPECT_EQ(text.rfind("Pelloran=V1.2\r\nObject=Bitmaps\r\nend\r\nObject=Sounds\r\n<NoSound>\r\nend\r\n", 0),
            0u);
  EXPECT_EQ(text.find("SOT"), std::string::npos);
}

TEST(ProjectFile, ProjectWithoutElementsGivesAnEmptyShownDocument) {
  TAppFolder app;
  WriteAll(app / "p.VX", "Pelloran=V1.2\r\nObject=Sounds\r\n<NoSound>\r\nend\r\n");
  auto doc = NewDocument(app.Path());
  doc->LoadProject(app / "p.VX");
  TCoolBrowser* s = doc->Surface();
  EXPECT_TRUE(s->Visible());
  EXPECT_EQ(s->SelectedControl(), s->WebSpace);
  EXPECT_EQ(doc->Selected(), doc->Web());
  EXPECT_TRUE(doc->Buttons().empty());
  // No inner-rectangle keys: nothing is clamped and the guides stay put.
  EXPECT_EQ(s->InnerRect(), Rect(0, 0, 0, 0));
  EXPECT_EQ(s->LeftShape->Left(), 153);
  s->Hide();
}

TEST(ProjectFile, ReaderOrderRules) {
  TAppFolder app;
  const std::string text =
      "Object=Web\r\n"  // the first line is never read
      "Object=Bitmaps\r\n" +
      app.Media("mask.bmp") +
      "\r\nend\r\n"
      "Object=Other\r\nObject=Label\r\nWidth=70\r\nZOrder=1\r\nTop=3\r\nend\r\nend\r\n"
      "Object=Label\r\nTop=30\r\nStyle=Custom Text\r\nText=x=y\r\nFontstyle=Italic\r\nFontstyle=Bold\r\n"
      "Fontstyle=bold\r\nZOrder=0\r\nend\r\n"
      "Object=Edit\r\nTop=50\r\nFontheight=-15\r\nend\r\n"
      "Object=Button\r\nZOrder=9\r\ntop=77\r\nTop =78\r\nMask=" +
      app.Media("MASK.bmp") + "\r\nend\r\n";
  WriteAll(app / "p.VX", text);
  auto doc = NewDocument(app.Path());
  doc->LoadProject(app / "p.VX");
  TCoolBrowser* s = doc->Surface();
  // The first line named no section: the web view keeps its size from the form resource.
  EXPECT_EQ(doc->Web()->GetTop(), 116);
  ASSERT_EQ(doc->ComponentCount(), 4 + 2 + 1 + 1);  // surface, web, media lists, elements
  std::vector<TVXLabel*> labels;
  for (int i = 0; i < doc->ComponentCount(); ++i)
    if (auto* l = dynamic_cast<TVXLabel*>(doc->Components(i))) labels.push_back(l);
  ASSERT_EQ(labels.size(), 2u);
  // The second label has no Width line and takes the width remembered from the first.
  EXPECT_EQ(labels[0]->GetWidth(), 70);
  EXPECT_EQ(labels[1]->GetWidth(), 70);
  EXPECT_EQ(labels[1]->Control()->Caption(), "x=y");
  EXPECT_EQ(labels[1]->GetFont()->Style(), (TFontStyles{fsBold, fsItalic}));
  // ZOrder is read wherever it stands: the first label ends above the second.
  EXPECT_GT(s->IndexOfControl(labels[0]->Control()), s->IndexOfControl(labels[1]->Control()));
  TVXButton* button = doc->Buttons().at(0);
  EXPECT_EQ(button->GetTop(), 0);  // "top" and "Top " are not the key
  EXPECT_EQ(button->Control()->Width(), 40);
  EXPECT_EQ(s->Controls(s->ControlCount() - 1), button->Control());
  // The edit is 4 - font height high and takes the remembered width too.
  TVXEdit* edit = nullptr;
  for (int i = 0; i < doc->ComponentCount(); ++i)
    if (auto* e = dynamic_cast<TVXEdit*>(doc->Components(i))) edit = e;
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->Control()->Height(), 19);
  EXPECT_EQ(edit->GetWidth(), 70);
  s->Hide();
}

TEST(ProjectFile, LoadedSurfaceCutsTheSkinAsTheBuiltBrowserDoes) {
  // The key colour is red; the bottom-left pixel is another colour that belongs to the window.
  TAppFolder app;
  WritePicture(app.Media("keyed.bmp"), 20, 10, clNavy, clFuchsia);
  {
    TBitmap b;
    b.LoadFromFile(app.Media("keyed.bmp"));
    b.Canvas()->Brush()->SetColor(clRed);
    b.Canvas()->FillRect(Rect(0, 0, 5, 5));
    b.SaveToFile(app.Media("keyed.bmp"));
  }
  WriteAll(app / "p.VX", "Pelloran=V1.2\r\nObject=Bitmaps\r\n" + app.Media("keyed.bmp") +
                             "\r\nend\r\nObject=Web\r\nBitmap=" + app.Media("keyed.bmp") +
                             "\r\nInvisibleColor=255\r\nend\r\n");
  auto doc = NewDocument(app.Path());
  doc->LoadProject(app / "p.VX");
  TBitmap32* skin = doc->Surface()->Skin()->GetBitmap();
  ASSERT_EQ(skin->Width(), 20);
  EXPECT_EQ(skin->Pixel(2, 2) >> 24, 0u) << "the key colour is cut away";
  EXPECT_NE(skin->Pixel(0, 9) >> 24, 0u) << "the bottom-left pixel stays part of the window";
  EXPECT_NE(skin->Pixel(10, 5) >> 24, 0u);
  // A later change of the key colour shows on the surface too.
  doc->Web()->SetInvisibleColor(clFuchsia);
  skin = doc->Surface()->Skin()->GetBitmap();
  EXPECT_NE(skin->Pixel(2, 2) >> 24, 0u);
  EXPECT_EQ(skin->Pixel(0, 9) >> 24, 0u);
  doc->Surface()->Hide();
}

TEST(ProjectFile, FailedLoadLeavesNothingAndCannotBeSavedOverTheFile) {
  TAppFolder app;
  const std::string good = ReadAll(GoldenPath("Project.VX"));
  struct Case {
    const char* Name;
    std::string Text;
  };
  const Case cases[] = {
      {"bad integer", Replace(good, "ZOrder=", "ZOrder=q")},
      {"empty integer", Replace(good, "ITop=20", "ITop=")},
      {"no end", good.substr(0, good.rfind("end\r\n"))},
      {"unlisted mask", Replace(good, "Mask=@DIR@/media/mask.bmp", "Mask=/nowhere/mask.bmp")},
      {"unreadable picture", Replace(good, "media/unused.bmp", "media/missing.bmp")},
  };
  for (const Case& c : cases) {
    const std::string file = app / "broken.VX";
    WriteAll(file, Replace(c.Text, "@DIR@", app.Path()));
    const std::string before = ReadAll(file);
    auto doc = NewDocument(app.Path());
    EXPECT_ANY_THROW(doc->LoadProject(file)) << c.Name;
    EXPECT_EQ(doc->ComponentCount(), 4) << c.Name;  // the web element and the two media lists
    EXPECT_EQ(doc->Bitmaps()->Count(), 0) << c.Name;
    EXPECT_EQ(doc->Sounds()->Count(), 1) << c.Name;
    EXPECT_FALSE(doc->Surface()->Visible()) << c.Name;
    EXPECT_ANY_THROW(doc->SaveProject(file)) << c.Name;
    EXPECT_THROW(doc->BuildBrowser(app / "out/B"), EVXBuildError) << c.Name;
    EXPECT_EQ(ReadAll(file), before) << c.Name;
  }
  auto doc = NewDocument(app.Path());
  EXPECT_THROW(doc->LoadProject(app / "missing.VX"), EFOpenError);
}

// Every file the loader accepts saves a text that loads again and saves the same bytes: projects that
// lack keys or sections, have empty ones, or hold their sections in another order.
TEST(ProjectFile, WhatLoadsSavesWhatLoadsAgain) {
  TAppFolder app;
  const std::string media = "Object=Bitmaps\r\n@DIR@/media/mask.bmp\r\n@DIR@/media/over.bmp\r\nend\r\n";
  struct Case {
    const char* What;
    std::string Text;
  };
  const Case cases[] = {
      {"button with the mask alone", media + "Object=Button\r\nMask=@DIR@/media/mask.bmp\r\nend\r\n"},
      {"button with empty pictures",
       media + "Object=Button\r\nMask=\r\nTouched=\r\nPressed=\r\nDisabled=\r\nTop=4\r\nend\r\n"},
      {"button with no lines", "Object=Button\r\nend\r\n"},
      {"label and edit without width or style",
       "Object=Label\r\nFontheight=-20\r\nend\r\nObject=Edit\r\nFontstyle=Bold\r\nend\r\n"},
      {"web without a picture", "Object=Web\r\nTop=5\r\nend\r\n"},
      {"web before global",
       "Object=Web\r\nBitmap=@DIR@/media/"
       "skin.bmp\r\nend\r\nObject=Global\r\nILeft=3\r\nIRight=900\r\nend\r\n"},
      {"inner rectangle outside the skin",
       "Object=Global\r\nILeft=-5\r\nITop=500\r\nIRight=2\r\nIBottom=1\r\nend\r\nObject=Web\r\nBitmap=@DIR@/"
       "media/skin.bmp\r\nWidth=8192\r\nHeight=0\r\nend\r\n"},
      {"a second web section with a smaller skin",
       "Object=Global\r\nILeft=50\r\nITop=20\r\nIRight=150\r\nIBottom=80\r\nend\r\nObject=Web\r\nBitmap=@DIR@"
       "/media/"
       "skin.bmp\r\nend\r\nObject=Web\r\nBitmap=@DIR@/media/unused.bmp\r\nend\r\n"},
      {"numbers at the bounds",
       "Object=Global\r\nTop=-32768\r\nLeft=32767\r\nWidth=8192\r\nHeight=0\r\nend\r\nObject=Label\r\nTop="
       "32767\r\n"
       "Left=-32768\r\nWidth=8192\r\nFontheight=-1000\r\nend\r\nObject=Edit\r\nLeft=32767\r\nFontheight="
       "1000\r\n"
       "end\r\n"},
      {"unknown keys and sections, a picture listed twice",
       media + "Object=Sounds\r\n@DIR@/media/start.wav\r\n@DIR@/MEDIA/"
               "start.wav\r\nend\r\nObject=Image\r\nTop=1\r\n"
               "end\r\nObject=Label\r\nColour=1\r\nZOrder=-4\r\nend\r\nObject=Button\r\nMask=@DIR@/MEDIA/"
               "MASK.bmp\r\nZOrder=-9\r\nend\r\n"},
  };
  for (const Case& c : cases) {
    WriteAll(app / "p.VX", "Pelloran=V1.2\r\n" + Replace(c.Text, "@DIR@", app.Path()));
    std::string saved[2];
    for (int round = 0; round < 2; ++round) {
      auto doc = NewDocument(app.Path());
      ASSERT_NO_THROW(doc->LoadProject(round == 0 ? app / "p.VX" : app / "first.VX")) << c.What << round;
      doc->SaveProject(round == 0 ? app / "first.VX" : app / "second.VX");
      saved[round] = ReadAll(round == 0 ? app / "first.VX" : app / "second.VX");
      doc->Surface()->Hide();
    }
    EXPECT_EQ(saved[0], saved[1]) << c.What;
  }
}

// An element placed wholly beyond the skin (200 x 100) comes to its nearest edge, out of the mouse's reach
// no more; on the stock picture that stands in for a skin that cannot be loaded it keeps its place.
TEST(ProjectFile, AnElementBeyondTheSkinComesOntoIt) {
  TAppFolder app;
  const struct {
    const char* Skin;
    const char* Left;
  } cases[] = {{"media/skin.bmp", "150"}, {"nowhere/skin.bmp", "30000"}};
  for (const auto& c : cases) {
    WriteAll(app / "p.VX", "Pelloran=V1.2\r\nObject=Web\r\nBitmap=" + (app / c.Skin) +
                               "\r\nend\r\nObject=Label\r\nTop=20\r\nLeft=30000\r\nWidth=50\r\nend\r\n");
    auto doc = NewDocument(app.Path());
    doc->LoadProject(app / "p.VX");
    doc->SaveProject(app / "saved.VX");
    doc->Surface()->Hide();
    EXPECT_NE(ReadAll(app / "saved.VX").find("Top=20\r\nLeft=" + std::string(c.Left) + "\r\n"),
              std::string::npos)
        << c.Skin;
  }
}

// The bundled sample names its media relative to the application folder: a copy of that folder opens it
// with every picture and sound once the folder it was generated in is gone, in the designer and in the
// test run, which reads what a save writes: the names as they were read.
TEST(ProjectFile, TheSampleOpensFromACopiedApplicationFolder) {
  TTempFolder tree, elsewhere;
  const std::string generate = std::string("QT_QPA_PLATFORM=offscreen ") + PELLORAN_GENERATE_ASSETS + " " +
                               (tree / "app") + " " + (tree / "sample") + " >/dev/null";
  ASSERT_EQ(std::system(generate.c_str()), 0);
  const std::string app = elsewhere / "app";
  std::filesystem::copy(tree / "app", app, std::filesystem::copy_options::recursive);
  std::filesystem::remove_all(tree.Path());
  struct TBack {
    std::string Dir;
    ~TBack() { (void)SetCurrentDir(Dir); }
  } back{GetCurrentDir()};
  ASSERT_TRUE(SetCurrentDir(app));
  auto doc = NewDocument(app);
  ASSERT_NO_THROW(doc->LoadProject("samples/Browser.VX"));
  EXPECT_EQ(doc->Bitmaps()->Count(), 41);
  ASSERT_EQ(doc->Sounds()->Count(), 4);  // "<NoSound>" and three sounds
  for (int i = 1; i < doc->Sounds()->Count(); ++i) {
    const std::string sound = doc->Sounds()->GetPath(i);
    EXPECT_TRUE(sound.front() != '/' && FileExists(sound)) << sound;
  }
  doc->SaveProject(app + "/temp/Vexcheck.VX");
  EXPECT_NE(ReadAll(app + "/temp/Vexcheck.VX").find("\r\nBitmap=samples/browser/Skin.BMP\r\n"),
            std::string::npos);
  // A build copies every picture and sound: the program, "Config.VX", 41 pictures and 3 sounds.
  WriteAll(app + "/Builder", "#!/bin/sh\n");
  ForceDirectories(elsewhere / "out");
  doc->BuildBrowser(elsewhere / "out/Sample");
  const std::filesystem::directory_iterator built(elsewhere / "out");
  EXPECT_EQ(std::distance(begin(built), end(built)), 46);
  doc->Surface()->Hide();

  const TWebEngineFactory previous =
      SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  std::vector<std::string> reports;
  const auto handler = Application->OnException;
  Application->OnException = [&reports](TObject*, const Exception& E) { reports.push_back(E.Message); };
  {
    std::unique_ptr<TVXBuilder> form(TCustomForm::Create<TVXBuilder>(nullptr));
    form->ReadConfig("temp/Vexcheck.VX");
    EXPECT_EQ(form->Bitmaps()->Count(), 41);
    EXPECT_EQ(form->StartSound->WaveName(), "samples/browser/Start.wav");
  }
  Application->OnException = handler;
  EXPECT_EQ(reports, std::vector<std::string>{});
  (void)SetWebEngineFactory(previous);
}

TEST(ProjectFile, NumbersPastTheirRangeAreRefusedNamingTheLine) {
  TAppFolder app;
  struct Case {
    const char* Line;
    const char* Section;
    const char* Message;
  };
  const Case cases[] = {
      {"Left=2147483647", "Global",
       "line 3 (key \"Left\"): The value 2147483647 is outside the range -32768 to 32767"},
      {"ITop=-32769", "Global", "line 3 (key \"ITop\"): The value -32769 is outside"},
      {"Width=2000000000", "Global",
       "line 3 (key \"Width\"): The value 2000000000 is outside the range 0 to 8192"},
      {"Height=-1", "Web", "line 3 (key \"Height\"): The value -1 is outside the range 0 to 8192"},
      {"Top=32768", "Button", "line 3 (key \"Top\"): The value 32768 is outside"},
      {"Width=8193", "Label", "line 3 (key \"Width\"): The value 8193 is outside"},
      {"Fontheight=-2147483648", "Label",
       "line 3 (key \"Fontheight\"): The value -2147483648 is outside the range -1000 to 1000"},
      {"Fontheight=1001", "Edit", "line 3 (key \"Fontheight\"): The value 1001 is outside"},
      {"Left=99999999999", "Edit", "line 3 (key \"Left\"): '99999999999' ist kein gültiger Integerwert"},
  };
  for (const Case& c : cases) {
    WriteAll(app / "p.VX",
             std::string("Pelloran=V1.2\r\nObject=") + c.Section + "\r\n" + c.Line + "\r\nend\r\n");
    auto doc = NewDocument(app.Path());
    try {
      doc->LoadProject(app / "p.VX");
      ADD_FAILURE() << c.Line << ": loaded";
    } catch (const EConvertError& e) {
      const std::string expected = app / "p.VX" + ", " + c.Message;
      EXPECT_EQ(e.Message.substr(0, expected.size()), expected);
    }
  }
}

TEST(ProjectFile, SaveIsAtomicAndLeavesNoStrayFiles) {
  TAppFolder app;
  auto doc = SampleDocument(app);
  WriteAll(app / "keep/p.VX", "old");
  doc->SaveProject(app / "keep/p.VX");
  EXPECT_EQ(ReadAll(app / "keep/p.VX"), Golden("Project.VX", app));
  EXPECT_EQ(ListDirectory(app / "keep").size(), 1u);
  // A folder that does not exist: the error propagates, nothing is written.
  EXPECT_ANY_THROW(doc->SaveProject(app / "nowhere/p.VX"));
}

// A save goes to exactly the name it was given: "my.vx" beside another project "MY.VX" is a new file,
// and a stranger's files that look like temporary files stay as they are.
TEST(ProjectFile, SaveWritesItsOwnNameAndTouchesNoOtherFile) {
  TAppFolder app;
  auto doc = SampleDocument(app);
  const std::vector<std::string> strangers = {".notes.2024.1.tmp", ".x.1.1.tmp", ".my.vx.99999999.0.tmp"};
  WriteAll(app / "keep/MY.VX", "another project");
  for (const std::string& name : strangers)
    WriteAll(app / "keep/" + name, "theirs");
  doc->SaveProject(app / "keep/my.vx");
  EXPECT_EQ(ReadAll(app / "keep/MY.VX"), "another project");
  EXPECT_EQ(ReadAll(app / "keep/my.vx"), Golden("Project.VX", app));
  for (const std::string& name : strangers)
    EXPECT_EQ(ReadAll(app / "keep/" + name), "theirs") << name;
  EXPECT_EQ(ListDirectory(app / "keep").size(), strangers.size() + 2);
}

// The inner rectangle that a file holds is saved back as it was read while the skin and the rectangle
// stay unchanged, also where the surface fits it to a picture it does not fit: a skin that can be
// neither loaded nor found is shown as a stand-in picture. A rectangle or skin changed after the load
// is saved as the surface now holds it.
TEST(ProjectFile, SaveWritesBackTheInnerRectangleTheFileHolds) {
  TAppFolder app;
  const std::string fileRect = "ITop=112\r\nILeft=260\r\nIRight=462\r\nIBottom=404\r\n";
  const std::string golden = Replace(ReadAll(GoldenPath("Project.VX")),
                                     "ITop=20\r\nILeft=50\r\nIRight=150\r\nIBottom=80\r\n", fileRect);
  const std::string missingSkin = Replace(golden, "Bitmap=@DIR@/media/skin.bmp", "Bitmap=/nowhere/gone.bmp");
  struct Case {
    const char* Name;
    std::string Text;
    std::function<void(TVXBrowser& Doc)> Change;
    bool FileRect;  // saved as the file holds it, else as the surface holds it
  };
  const Case cases[] = {
      {"unlisted missing skin", missingSkin, nullptr, true},
      {"skin smaller than the rectangle", golden, nullptr, true},
      {"guide moved", golden, [](TVXBrowser& d) { d.Surface()->SetInnerRect(Rect(30, 10, 120, 60)); }, false},
      {"skin changed", missingSkin, [&](TVXBrowser& d) { d.Web()->SetBitmap(app.Media("skin.bmp")); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteAll(app / "p.VX", Replace(c.Text, "@DIR@", app.Path()));
    auto doc = NewDocument(app.Path());
    doc->LoadProject(app / "p.VX");
    if (c.Change) c.Change(*doc);
    doc->SaveProject(app / "again.VX");
    const TCoolBrowser* s = doc->Surface();
    const std::string surfaceRect = "ITop=" + IntToStr(s->ITop()) + "\r\nILeft=" + IntToStr(s->ILeft()) +
                                    "\r\nIRight=" + IntToStr(s->IRight()) +
                                    "\r\nIBottom=" + IntToStr(s->IBottom()) + "\r\n";
    ASSERT_NE(surfaceRect, fileRect) << "the surface fits the rectangle to its picture";
    const std::string saved = ReadAll(app / "again.VX");
    EXPECT_NE(saved.find(c.FileRect ? fileRect : surfaceRect), std::string::npos) << saved.substr(0, 400);
    doc->Surface()->Hide();
  }
}

}  // namespace
