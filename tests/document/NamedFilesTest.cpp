// Every file the programs read by a name that a project or the user gives is opened without waiting and
// read only when it is a regular file: a FIFO (whose opening would wait for a writer) or a device that
// never ends (which would fill the memory) is treated as a file that cannot be read, at once.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "document/BrowserClasses.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/media/WaveFile.h"
#include "runtime/VXBuilder.h"
#include "skin/KUtilities.h"
#include "tests/Watchdog.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

// What reading File in one place came to: the error's message with File written as "<file>", or the
// state it left.
using TReading = std::function<std::string(const TAppFolder& App, const std::string& File)>;

std::string Failure(const Exception& E, const std::string& File) {
  return "error " + Replace(E.Message, File, "<file>");
}

// Builder reading a configuration whose Web section names File as the skin: the window's size.
std::string BuilderSkin(const TAppFolder& App, const std::string& File) {
  WriteAll(App / "Config.VX", "Pelloran=V1.0\r\nObject=Web\r\nBitmap=" + File + "\r\nend\r\n");
  // A picture that cannot be loaded is reported, and the reading goes on. (The report may name another
  // link to the same device, read before through the process-wide image cache.)
  std::string result;
  const auto previous = Application->OnException;
  Application->OnException = [&](TObject*, const Exception&) { result += "reported; "; };
  TVXBuilder* form = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    form->ReadConfig(App / "Config.VX");
    result += "window " + IntToStr(form->Width()) + "x" + IntToStr(form->Height());
  } catch (const Exception& e) {
    result += Failure(e, File);
  }
  delete form;
  Application->OnException = previous;
  return result;
}

// The designer opening a project whose skin is File, not listed among its pictures: the surface's size.
std::string DesignerSkin(const TAppFolder& App, const std::string& File) {
  WriteAll(App / "p.VX", "Pelloran=V1.2\r\nObject=Web\r\nBitmap=" + File + "\r\nend\r\n");
  auto doc = NewDocument(App.Path());
  try {
    doc->LoadProject(App / "p.VX");
  } catch (const Exception& e) {
    return Failure(e, File);
  }
  doc->Surface()->Hide();
  return "surface " + IntToStr(doc->Surface()->Width()) + "x" + IntToStr(doc->Surface()->Height());
}

std::string Outcome(const std::function<void()>& Read, const std::string& File) {
  try {
    Read();
  } catch (const Exception& e) {
    return Failure(e, File);
  }
  return "read";
}

TEST(NamedFiles, AFifoOrADeviceIsAFileThatCannotBeRead) {
  auto previous = SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  struct Place {
    const char* What;
    const char* Extension;
    TReading Read;
  };
  const Place places[] = {
      {"skin of a project (GIF)", ".gif", DesignerSkin},
      {"skin of a project", ".bmp", DesignerSkin},
      {"skin of a built browser", ".bmp", BuilderSkin},
      {"button picture", ".bmp",
       [](const TAppFolder& App, const std::string& File) {
         auto doc = NewDocument(App.Path());
         return Outcome([&] { doc->Bitmaps()->Add(File); }, File);
       }},
      {"button picture (JPEG)", ".jpg",
       [](const TAppFolder& App, const std::string& File) {
         auto doc = NewDocument(App.Path());
         return Outcome([&] { doc->Bitmaps()->Add(File); }, File);
       }},
      {"sound", ".wav",
       [](const TAppFolder&, const std::string& File) {
         return Outcome([&] { (void)LoadWaveFile(File); }, File);
       }},
      {"project file", ".VX",
       [](const TAppFolder& App, const std::string& File) {
         auto doc = NewDocument(App.Path());
         return Outcome([&] { doc->LoadProject(File); }, File);
       }},
      {"Config.VX", ".VX",
       [](const TAppFolder&, const std::string& File) {
         TVXBuilder* form = TCustomForm::Create<TVXBuilder>(nullptr);
         const std::string result = Outcome([&] { form->ReadConfig(File); }, File);
         delete form;
         return result;
       }},
  };
  struct Kind {
    const char* What;
    std::function<void(const std::string& Path)> Make;
  };
  const Kind kinds[] = {
      {"FIFO", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
      {"device", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }},
  };
  TAppFolder app;
  for (const Place& place : places) {
    const std::string missing = app / (std::string("missing") + place.Extension);
    const std::string expected = [&] {  // what a missing file comes to
      const TWatchdog bound(std::chrono::seconds(10), std::string("reading a missing ") + place.What);
      return place.Read(app, missing);
    }();
    for (const Kind& kind : kinds) {
      SCOPED_TRACE(std::string(place.What) + " as a " + kind.What);
      const std::string file = app / (std::string(kind.What) + " " + place.What + place.Extension);
      kind.Make(file);
      const TWatchdog bound(std::chrono::seconds(10),
                            std::string("reading a ") + place.What + " that is a " + kind.What);
      EXPECT_EQ(place.Read(app, file), expected);
    }
  }
  SetWebEngineFactory(previous);
}

}  // namespace
