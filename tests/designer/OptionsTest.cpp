// The designer's options in the registry stand-in: defaults, reading up to the first bad value, and
// writing at the end.
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/rtl/Registry.h"
#include "tests/designer/DesignerFixture.h"

using namespace dt;

namespace {

class Options : public DesignerFixture {
 protected:
  Options() { CreateOnSetUp = false; }
  static void Store(const std::function<void(TRegistry&)>& Write) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(OptionsKey, true));
    Write(r);
  }
  struct Values {
    int Shape, Helper, Sounds, Messages;
  };
  static Values Stored() {
    TRegistry r;
    EXPECT_TRUE(r.OpenKey(OptionsKey, false));
    return {r.ReadInteger("ShapeColor"), r.ReadInteger("HelperColor"), r.ReadInteger("SoundsOn"),
            r.ReadInteger("MessageSoundsOn")};
  }
};

TEST_F(Options, FirstStartUsesDefaultsAndWritesThemAtTheEnd) {
  CreateWindows();
  EXPECT_EQ(Main->ShapeColorOption(), 255);
  EXPECT_EQ(Main->HelperColorOption(), 16777215);
  EXPECT_TRUE(Main->SoundsOnOption());
  EXPECT_TRUE(Main->MessageSoundsOnOption());
  DestroyWindows();
  const Values v = Stored();
  EXPECT_EQ(v.Shape, 255);
  EXPECT_EQ(v.Helper, 16777215);
  EXPECT_EQ(v.Sounds, 1);
  EXPECT_EQ(v.Messages, 1);
}

// Counts the times a file of that name is put into Folder (created or renamed there) while it watches.
class ReplacementCounter {
 public:
  ReplacementCounter(const std::string& Folder, std::string Name) : FName(std::move(Name)) {
    FFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    EXPECT_GE(inotify_add_watch(FFd, Folder.c_str(), IN_CREATE | IN_MOVED_TO), 0);
  }
  ~ReplacementCounter() { ::close(FFd); }
  int Count() {
    alignas(inotify_event) char buf[8192];
    for (ssize_t n; (n = ::read(FFd, buf, sizeof buf)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
        if (e->len > 0 && FName == e->name) ++FCount;
        at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
      }
    }
    return FCount;
  }

 private:
  int FFd = -1;
  std::string FName;
  int FCount = 0;
};

TEST_F(Options, TheKeyAndTheFourValuesAreStoredInOneWrite) {
  fs::create_directories(App + "/config/Pelloran");
  ReplacementCounter writes(App + "/config/Pelloran", "registry.ini");
  CreateWindows();
  DestroyWindows();
  EXPECT_EQ(writes.Count(), 1);
  EXPECT_EQ(Stored().Helper, 16777215);
}

TEST_F(Options, AStoreThatCannotBeReadIsKeptAndTheDefaultsApply) {
  const std::string store = App + "/config/Pelloran/registry.ini";
  fs::create_directories(App + "/config/Pelloran");
  fs::create_symlink(App + "/unmounted/registry.ini", store);  // a link to a store not there now
  CreateWindows();
  EXPECT_EQ(Main->ShapeColorOption(), 255);
  DestroyWindows();
  EXPECT_TRUE(fs::is_symlink(store));
}

TEST_F(Options, ReadingStopsAtTheFirstMissingOrMistypedValue) {
  struct Case {
    const char* What;
    std::function<void(TRegistry&)> Write;
    TColor Shape, Helper;
    bool Sounds, Messages;
  };
  const Case cases[] = {
      {"only ShapeColor", [](TRegistry& r) { r.WriteInteger("ShapeColor", 77); }, 77, 16777215, true, true},
      {"all four",
       [](TRegistry& r) {
         r.WriteInteger("ShapeColor", 1);
         r.WriteInteger("HelperColor", 2);
         r.WriteBool("SoundsOn", false);
         r.WriteInteger("MessageSoundsOn", 5);
       },
       1, 2, false, true},
      {"mistyped HelperColor",
       [](TRegistry& r) {
         r.WriteInteger("ShapeColor", 9);
         r.WriteString("HelperColor", "blue");
         r.WriteBool("SoundsOn", false);
       },
       9, 16777215, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    fs::remove_all(App + "/config");
    Store(c.Write);
    CreateWindows();
    EXPECT_EQ(Main->ShapeColorOption(), c.Shape);
    EXPECT_EQ(Main->HelperColorOption(), c.Helper);
    EXPECT_EQ(Main->SoundsOnOption(), c.Sounds);
    EXPECT_EQ(Main->MessageSoundsOnOption(), c.Messages);
    DestroyWindows();
  }
}

TEST_F(Options, SoundsOffSurvivesAColourChange) {
  Store([](TRegistry& r) {
    r.WriteInteger("ShapeColor", 255);
    r.WriteInteger("HelperColor", 16777215);
    r.WriteBool("SoundsOn", false);
    r.WriteBool("MessageSoundsOn", true);
  });
  CreateWindows();
  NewProject();
  EXPECT_FALSE(Editor->SoundsOn->Checked());
  Main->OptionsButClick(Main->OptionsBut);
  Dialogs.OnColorDialog = [](TColorDialog* Dialog) {
    Dialog->SetColor(0x0000AA);
    return true;
  };
  Editor->ShapeColorMouseDown(Editor->ShapeColor, mbLeft, TShiftState{ssLeft}, 0, 0);
  EXPECT_EQ(Doc()->Surface()->Shape->Pen()->Color(), 0x0000AA);
  EXPECT_TRUE(Sounds->Played().empty()) << "no button sounds with sounds off";
  DestroyWindows();
  const Values v = Stored();
  EXPECT_EQ(v.Shape, 0x0000AA);
  EXPECT_EQ(v.Sounds, 0);
}

}  // namespace
