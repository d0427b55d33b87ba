// The designer's options in the registry stand-in: defaults, reading up to the first bad value, and
// writing at the end.
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
