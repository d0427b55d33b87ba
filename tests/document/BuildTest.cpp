// The build of a runtime folder: generated names with their gaps and duplicates, the golden
// "Config.VX" beside the program, byte-identical copies with the mode bits kept, and failures that
// name what went wrong.
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include <gtest/gtest.h>

#include "document/BrowserClasses.h"
#include "tests/ChildProcess.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

// Pictures: 0 skin, 1 unused, 2 mask, 3 over (also a button's), 4 press, 5 dis, 6 a picture in a dotted
// folder without an extension, 7 an upper-case extension. Sounds: 1 start (also a click), 2 unused,
// 3 an mp3 click sound.
std::unique_ptr<TVXBrowser> BuildDocument(const TAppFolder& App) {
  auto doc = NewDocument(App.Path());
  WritePicture(App / "my.pics/plain", 12, 12, clMaroon);
  WritePicture(App.Media("Shot.BMP"), 40, 16, clPurple);
  for (const std::string& p :
       {App.Media("skin.bmp"), App.Media("unused.bmp"), App.Media("mask.bmp"), App.Media("over.bmp"),
        App.Media("press.bmp"), App.Media("dis.bmp"), App / "my.pics/plain", App.Media("Shot.BMP")})
    doc->Bitmaps()->Add(p);
  doc->Sounds()->Add(App.Media("start.wav"));
  doc->Sounds()->Add(App.Media("unused.wav"));
  doc->Sounds()->Add(App.Media("click.mp3"));
  TCoolBrowser* s = doc->Surface();
  TVXWeb* web = doc->Web();
  web->SetBitmap(App.Media("skin.bmp"));
  web->SetTop(12);
  web->SetLeft(14);
  web->SetWidth(170);
  web->SetHeight(70);
  web->SetStartpage("#index.html");
  web->SetStartSound(App.Media("start.wav"));
  web->SetInvisibleColor(clRed);
  s->SetInnerRect(Rect(50, 20, 150, 80));
  s->SetStartWidth(480);
  s->SetStartHeight(360);
  s->SetLeft(300);
  s->SetTop(200);

  TVXButton* first = doc->AddButton(60, 160);
  first->SetMask(App.Media("mask.bmp"));
  first->SetTouched(App.Media("skin.bmp"));  // the skin again: copied and listed twice
  first->SetPressed(App.Media("press.bmp"));
  first->SetDisabled(App.Media("dis.bmp"));
  first->SetPressaction("Navigate");
  first->SetNavigationtarget("#help.html");
  first->SetSound(App.Media("START.wav"));  // the start sound in other letter case
  TVXButton* second = doc->AddButton(60, 110);
  second->SetMask(App.Media("mask.bmp"));
  second->SetTouched(App.Media("over.bmp"));
  second->SetPressed(App / "my.pics/plain");
  second->SetDisabled(App.Media("Shot.BMP"));
  second->SetSound(App.Media("click.mp3"));
  TVXLabel* label = doc->AddLabel(5, 10);
  label->SetWidth(80);
  TVXEdit* edit = doc->AddEdit(2, 100);
  edit->SetWidth(90);
  edit->SetColor(clWindow);
  edit->GetFont()->SetStyle({fsItalic, fsUnderline});
  edit->Alignment = "Topleft";
  edit->Autosize = "True";
  return doc;
}

bool Executable(const std::string& Path) {
  struct stat st {};
  return stat(Path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

TEST(Build, FolderWithGeneratedNamesAndGoldenConfig) {
  TAppFolder app;
  auto doc = BuildDocument(app);
  const std::string cwd = GetCurrentDir();
  const std::string out = app / "out";
  ForceDirectories(out);
  doc->BuildBrowser(out + "/My Browser");

  ExpectGolden(ReadAll(out + "/Config.VX"), "Config.VX", app.Path());
  EXPECT_FALSE(FileExists(cwd + "/Config.VX"));
  EXPECT_EQ(GetCurrentDir(), cwd);

  // The runtime program under the chosen name, byte for byte and still executable.
  EXPECT_EQ(ReadAll(out + "/My Browser"), ReadAll(app / "Builder"));
  EXPECT_TRUE(Executable(out + "/My Browser"));
  struct Copy {
    const char* Name;
    std::string From;
  };
  const Copy copies[] = {
      {"VXB0.bmp", app.Media("skin.bmp")},  {"VXB2.bmp", app.Media("mask.bmp")},
      {"VXB3.bmp", app.Media("over.bmp")},  {"VXB4.bmp", app.Media("press.bmp")},
      {"VXB5.bmp", app.Media("dis.bmp")},   {"VXB6", app / "my.pics/plain"},
      {"VXB7.BMP", app.Media("Shot.BMP")},  {"VXS1.wav", app.Media("start.wav")},
      {"VXS3.wav", app.Media("click.mp3")},
  };
  for (const Copy& c : copies)
    EXPECT_EQ(ReadAll(out + "/" + c.Name), ReadAll(c.From)) << c.Name;
  // Nothing for what no one uses: the numbers have gaps.
  const std::vector<std::string> files = ListDirectory(out);
  EXPECT_EQ(files.size(), std::size(copies) + 2) << "the program, Config.VX and the copies";
  EXPECT_FALSE(FileExists(out + "/VXB1.bmp"));
  EXPECT_FALSE(FileExists(out + "/VXS2.wav"));
}

TEST(Build, PlanMatchesTheFolderAndBuildingTwiceOverwrites) {
  TAppFolder app;
  auto doc = BuildDocument(app);
  const std::string out = app / "out";
  ForceDirectories(out);
  TVXBuildPlan plan;
  doc->PlanBuild(out + "/B", plan);
  EXPECT_EQ(plan.ConfigFile, out + "/Config.VX");
  ASSERT_FALSE(plan.Copies.empty());
  EXPECT_EQ(plan.Copies.front(), std::make_pair(app / "Builder", out + "/B"));
  // The skin twice (window and button), the start sound twice (window and button).
  int skinCopies = 0, startCopies = 0;
  for (const auto& [from, to] : plan.Copies) {
    skinCopies += to == out + "/VXB0.bmp";
    startCopies += to == out + "/VXS1.wav";
  }
  EXPECT_EQ(skinCopies, 2);
  EXPECT_EQ(startCopies, 2);

  WriteAll(out + "/VXB2.bmp", "stale");
  WriteAll(out + "/Config.VX", "stale");
  doc->BuildBrowser(out + "/B");
  doc->BuildBrowser(out + "/B");
  EXPECT_EQ(ReadAll(out + "/VXB2.bmp"), ReadAll(app.Media("mask.bmp")));
  EXPECT_EQ(ReadAll(out + "/Config.VX"), plan.Text.Text());
}

TEST(Build, UnlistedOrMissingMediaFailBeforeAnythingIsWritten) {
  struct Case {
    const char* Name;
    std::function<void(TVXBrowser&, const TAppFolder&)> Break;
    const char* Named;
  };
  const Case cases[] = {
      {"unlisted disabled picture",
       [](TVXBrowser& d, const TAppFolder& a) { d.Buttons()[0]->SetDisabled(a.Media("nowhere.bmp")); },
       "nowhere.bmp"},
      {"unlisted exit sound",
       [](TVXBrowser& d, const TAppFolder& a) { d.Web()->SetExitSound(a.Media("gone.wav")); }, "gone.wav"},
      {"empty click sound", [](TVXBrowser& d, const TAppFolder&) { d.Buttons()[0]->SetSound(""); }, "\"\""},
      {"listed skin file deleted",
       [](TVXBrowser&, const TAppFolder& a) { std::filesystem::remove(a.Media("skin.bmp")); }, "skin.bmp"},
      {"runtime program missing",
       [](TVXBrowser&, const TAppFolder& a) { std::filesystem::remove(a / "Builder"); }, "Builder"},
  };
  for (const Case& c : cases) {
    TAppFolder app;
    auto doc = BuildDocument(app);
    c.Break(*doc, app);
    const std::string out = app / "out";
    ForceDirectories(out);
    try {
      doc->BuildBrowser(out + "/B");
      ADD_FAILURE() << c.Name << ": the build succeeded";
    } catch (const EVXBuildError& e) {
      EXPECT_NE(e.Message.find(c.Named), std::string::npos) << c.Name << ": " << e.Message;
    }
    EXPECT_TRUE(ListDirectory(out).empty()) << c.Name;
  }
}

// Builds Doc for Target with Folder read-only and returns the build's error ("" when it succeeded).
// Mode bits make a folder read-only for an unprivileged user but not for root; root builds in a child
// process that sees Folder through a read-only bind mount of its own.
std::string BuildIntoReadOnlyFolder(TVXBrowser& Doc, const std::string& Folder, const std::string& Target) {
  auto build = [&]() -> std::string {
    try {
      Doc.BuildBrowser(Target);
      return "";
    } catch (const Exception& e) {
      return e.Message;
    }
  };
  if (::geteuid() != 0) {
    ::chmod(Folder.c_str(), 0555);
    const std::string message = build();
    ::chmod(Folder.c_str(), 0755);
    return message;
  }
  return RunInChild([&] {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount(Folder.c_str(), Folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
        ::mount(nullptr, Folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
      return std::string("no read-only mount: ") + std::strerror(errno);
    return build();
  });
}

// A rebuild over an older build that fails leaves either the older folder as it was or no "Config.VX"
// at all (the runtime then reports that it has none), never the older one beside new media.
TEST(Build, FailedCopiesAreReportedTogetherAndLeaveNoOlderConfig) {
  const char* const all[] = {"/B",        "/VXB0.bmp", "/VXB2.bmp", "/VXB3.bmp", "/VXB4.bmp",
                             "/VXB5.bmp", "/VXB6",     "/VXB7.BMP", "/VXS1.wav", "/VXS3.wav"};
  struct Case {
    const char* Name;
    // Prepares the folder Out that holds an older build and returns the error of the new build.
    std::function<std::string(TVXBrowser&, const std::string& Out)> Build;
    std::vector<std::string> Failed;  // the copies or refused outputs named, below Out + Below
    const char* Below = "";
    bool OlderKept = false;  // the older build in Out stays as it was
  };
  auto message = [](TVXBrowser& Doc, const std::string& Target) -> std::string {
    try {
      Doc.BuildBrowser(Target);
      return "";
    } catch (const EVXBuildError& e) {
      return e.Message;
    }
  };
  const Case cases[] = {
      {"folders in the way of two copies",
       [&](TVXBrowser& d, const std::string& out) {
         ForceDirectories(out + "/VXB2.bmp");
         ForceDirectories(out + "/VXS3.wav");
         return message(d, out + "/B");
       },
       {"/VXB2.bmp", "/VXS3.wav"},
       "",
       true},
      {"a file where the folder should be",
       [&](TVXBrowser& d, const std::string& out) {
         WriteAll(out + "/sub", "a file");
         return message(d, out + "/sub/B");
       },
       std::vector<std::string>(std::begin(all), std::end(all)), "/sub", true},
      // Refused before the first copy: the older files cannot be replaced (as root) or the older
      // "Config.VX" cannot be removed (as an ordinary user).
      {"a read-only folder",
       [](TVXBrowser& d, const std::string& out) { return BuildIntoReadOnlyFolder(d, out, out + "/B"); },
       {},
       "",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TAppFolder app;
    auto doc = BuildDocument(app);
    const std::string out = app / "out";
    WriteAll(out + "/Config.VX", "older build");
    WriteAll(out + "/VXB0.bmp", "older picture");
    const std::string error = c.Build(*doc, out);
    ASSERT_NE(error.find("not built"), std::string::npos) << error;
    for (const std::string& f : c.Failed)
      EXPECT_TRUE(error.find(" -> " + out + c.Below + f + ": ") != std::string::npos ||
                  error.find("\"" + out + c.Below + f + "\" may not be written") != std::string::npos)
          << f << " in " << error;
    if (!c.Failed.empty()) {
      EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), static_cast<long>(c.Failed.size())) << error;
    }
    if (c.OlderKept) {
      EXPECT_EQ(ReadAll(out + "/Config.VX"), "older build");
      EXPECT_EQ(ReadAll(out + "/VXB0.bmp"), "older picture");
    } else {
      EXPECT_FALSE(FileExists(out + "/Config.VX"));
    }
  }
}

// Every file below Folder with its content.
std::map<std::string, std::string> FilesBelow(const std::string& Folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(Folder))
    if (e.is_regular_file()) files[e.path().string()] = ReadAll(e.path().string());
  return files;
}

// A build whose outputs would overwrite a file it copies, the open project, or another of its own
// outputs, or an existing output the user may not write, is refused before anything is written, naming
// the file; a file copied onto itself is no overwrite.
TEST(Build, NeverWritesOverWhatItReadsOrItsOwnOutputs) {
  struct Case {
    const char* Name;
    // Makes the files of the row in App and returns the program's name.
    std::function<std::string(const TAppFolder& App)> Prepare;
    std::vector<std::string> Named;  // below App; none: the build succeeds
    // The project's pictures 1 (the skin) and 2 (a button's mask) and its start sound, below App.
    const char* Skin = "media/skin.bmp";
    const char* Mask = "media/mask.bmp";
    const char* Sound = "media/start.wav";
  };
  auto earlierBuild = [](const char* Skin, const char* Mask) {
    return [=](const TAppFolder& a) {
      WriteAll(a / Skin, ReadAll(a.Media("skin.bmp")));
      WriteAll(a / Mask, ReadAll(a.Media("mask.bmp")));
      return a / "out/B";
    };
  };
  auto programIn = [](const char* Name) {
    return [=](const TAppFolder& a) {
      ForceDirectories(a / "out");
      return a / Name;
    };
  };
  const bool root = ::geteuid() == 0;
  const Case cases[] = {
      {"the pictures of an earlier build, built into its folder at other numbers",
       earlierBuild("out/VXB2.bmp", "out/VXB1.bmp"),
       {"out/VXB1.bmp", "out/VXB2.bmp"},
       "out/VXB2.bmp",
       "out/VXB1.bmp"},
      {"the pictures of an earlier build at their own numbers",
       earlierBuild("out/VXB1.bmp", "out/VXB2.bmp"),
       {},
       "out/VXB1.bmp",
       "out/VXB2.bmp"},
      {"a start sound named like the configuration",
       [](const TAppFolder& a) {
         WriteAll(a / "out/Config.VX", "RIFF a sound");
         return a / "out/B";
       },
       {"out/Config.VX"},
       "media/skin.bmp",
       "media/mask.bmp",
       "out/Config.VX"},
      {"the program named as the skin",
       [](const TAppFolder& a) { return a.Media("skin.bmp"); },
       {"media/skin.bmp"}},
      {"the program named as the open project",
       [](const TAppFolder& a) { return a / "proj.VX"; },
       {"proj.VX\" is the open project"}},
      {"the program named as the configuration", programIn("out/Config.VX"), {"out/Config.VX"}},
      {"the program named as a copied picture", programIn("out/VXB2.bmp"), {"out/VXB2.bmp"}},
      {"the program named as a copied sound", programIn("out/VXS1.wav"), {"out/VXS1.wav"}},
      {"a skin read through a link under the name of another copy",
       [](const TAppFolder& a) {
         ForceDirectories(a / "out");
         ::symlink(a.Media("skin.bmp").c_str(), (a / "out/VXB2.bmp").c_str());
         return a / "out/B";
       },
       {"out/VXB2.bmp"},
       "out/VXB2.bmp"},
      {"a FIFO under a copy's name",
       [](const TAppFolder& a) {
         ForceDirectories(a / "out");
         ::mkfifo((a / "out/VXB2.bmp").c_str(), 0600);
         return a / "out/B";
       },
       {"out/VXB2.bmp\" may not be written"}},
      {"an older configuration the user may not write",
       [](const TAppFolder& a) {
         WriteAll(a / "out/Config.VX", "older build");
         ::chmod((a / "out/Config.VX").c_str(), 0444);
         return a / "out/B";
       },
       root ? std::vector<std::string>{} : std::vector<std::string>{"out/Config.VX\" may not be written"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TAppFolder app;
    const std::string target = c.Prepare(app);
    auto doc = NewDocument(app.Path());
    for (const std::string& p : {app.Media("unused.bmp"), app / c.Skin, app / c.Mask})
      doc->Bitmaps()->Add(p);
    doc->Sounds()->Add(app / c.Sound);
    doc->Web()->SetBitmap(app / c.Skin);
    doc->Web()->SetStartSound(app / c.Sound);
    doc->AddButton(0, 0)->SetMask(app / c.Mask);
    doc->SaveProject(app / "proj.VX");
    const auto before = FilesBelow(app.Path());
    try {
      doc->BuildBrowser(target, app / "proj.VX");
      EXPECT_TRUE(c.Named.empty()) << "built";
      EXPECT_EQ(ReadAll(target), ReadAll(app / "Builder")) << "the program is there";
      EXPECT_EQ(ReadAll(ExtractFilePath(target) + "VXB1.bmp"), ReadAll(app.Media("skin.bmp")));
      EXPECT_EQ(ReadAll(ExtractFilePath(target) + "VXB2.bmp"), ReadAll(app.Media("mask.bmp")));
    } catch (const EVXBuildError& e) {
      ASSERT_FALSE(c.Named.empty()) << e.Message;
      for (const std::string& name : c.Named)
        EXPECT_NE(e.Message.find(app / name), std::string::npos) << name << " in " << e.Message;
      EXPECT_EQ(FilesBelow(app.Path()), before) << "nothing was written";
    }
  }
}

TEST(Build, ProgramBuiltIntoTheApplicationFolderIsLeftAlone) {
  TAppFolder app;
  auto doc = BuildDocument(app);
  const std::string program = ReadAll(app / "Builder");
  doc->BuildBrowser(app / "Builder");
  EXPECT_EQ(ReadAll(app / "Builder"), program);
  EXPECT_TRUE(Executable(app / "Builder"));
  EXPECT_TRUE(FileExists(app / "Config.VX"));
}

TEST(Build, OnlyNoSoundGivesAnEmptySoundSection) {
  TAppFolder app;
  auto doc = NewDocument(app.Path());
  doc->Bitmaps()->Add(app.Media("skin.bmp"));
  doc->Web()->SetBitmap(app.Media("skin.bmp"));
  TVXBuildPlan plan;
  doc->PlanBuild(app / "out/B", plan);
  const std::string text = plan.Text.Text();
  EXPECT_NE(text.find("\r\nObject=Sounds\r\n<NoSound>\r\nend\r\n"), std::string::npos);
  EXPECT_EQ(text.rfind("Pelloran=V1.0\r\nObject=Bitmaps\r\nVXB0.bmp\r\nend\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nStartSound=<NoSound>\r\nExitSound=<NoSound>\r\n"), std::string::npos);
}

}  // namespace

TEST(Build, FilesWhoseNamesDifferOnlyInCaseAreShownKeptAndBuiltApart) {
  TAppFolder app;
  WritePicture(app.Media("Btn.bmp"), 10, 10, clRed);
  WritePicture(app.Media("btn.bmp"), 20, 20, clBlue);
  auto doc = NewDocument(app.Path());
  for (const char* name : {"skin.bmp", "Btn.bmp", "btn.bmp"})
    doc->Bitmaps()->Add(app.Media(name));
  doc->Web()->SetBitmap(app.Media("skin.bmp"));
  TVXButton* button = doc->AddButton(0, 0);
  button->SetMask(app.Media("Btn.bmp"));
  button->SetTouched(app.Media("btn.bmp"));
  button->SetPressed(app.Media("BTN.BMP"));  // names neither: the first in name order, Btn.bmp
  button->SetDisabled(app.Media("btn.bmp"));
  // The designer shows each file's own picture, and removing unused pictures keeps both.
  EXPECT_EQ(button->Control()->Mask()->Width(), 10);
  EXPECT_EQ(button->Control()->OverBmp()->Width(), 20);
  EXPECT_EQ(button->Control()->PressedBmp()->Width(), 10);
  doc->RemoveUnusedBitmaps();
  EXPECT_EQ(doc->Bitmaps()->Count(), 3);
  // The build copies both files and names each where it is used.
  const std::string out = app / "out";
  ForceDirectories(out);
  doc->BuildBrowser(out + "/B");
  EXPECT_EQ(ReadAll(out + "/VXB1.bmp"), ReadAll(app.Media("Btn.bmp")));
  EXPECT_EQ(ReadAll(out + "/VXB2.bmp"), ReadAll(app.Media("btn.bmp")));
  const std::string config = ReadAll(out + "/Config.VX");
  EXPECT_NE(config.find("\r\nMask=VXB1.bmp\r\nTouched=VXB2.bmp\r\nPressed=VXB1.bmp\r\nDisabled=VXB2.bmp\r\n"),
            std::string::npos)
      << config;
}

// A build writes exactly its own names into the folder: files whose names differ only in letter case
// from "Config.VX", a copy or the program stay as they were, as do a stranger's files that look like
// temporary files. A symbolic link under one of its names is replaced, not written through: the file it
// names (or would make) is not the user's choice.
TEST(Build, WritesItsOwnNamesAndTouchesNoOtherFile) {
  TAppFolder app;
  auto doc = BuildDocument(app);
  const std::string out = app / "out";
  const std::vector<std::string> others = {"config.vx",  "vxb0.bmp",          "my browser",
                                           ".x.1.1.tmp", ".notes.2024.1.tmp", ".Config.VX.99999999.0.tmp"};
  for (const std::string& name : others)
    WriteAll(out + "/" + name, "theirs");
  WriteAll(app / "elsewhere/theirs.bmp", "theirs");
  for (const auto& [name, to] :
       {std::pair("VXB2.bmp", "../elsewhere/theirs.bmp"), std::pair("Config.VX", "../elsewhere/made.VX"),
        std::pair("VXS1.wav", "../elsewhere/made.wav")})
    ASSERT_EQ(::symlink(to, (out + "/" + name).c_str()), 0);
  doc->BuildBrowser(out + "/My Browser");
  for (const std::string& name : others)
    EXPECT_EQ(ReadAll(out + "/" + name), "theirs") << name;
  EXPECT_EQ(ReadAll(app / "elsewhere/theirs.bmp"), "theirs");
  EXPECT_FALSE(FileExists(app / "elsewhere/made.VX"));
  EXPECT_FALSE(FileExists(app / "elsewhere/made.wav"));
  EXPECT_EQ(ReadAll(out + "/VXB2.bmp"), ReadAll(app.Media("mask.bmp")));
  EXPECT_EQ(ReadAll(out + "/Config.VX"), Replace(ReadAll(GoldenPath("Config.VX")), "@DIR@", app.Path()));
  EXPECT_EQ(ReadAll(out + "/VXB0.bmp"), ReadAll(app.Media("skin.bmp")));
  EXPECT_EQ(ReadAll(out + "/My Browser"), ReadAll(app / "Builder"));
}
