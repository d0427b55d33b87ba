// The picture list, the sound list and the z-order list.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/MediaLists.h"
#include "platform/gdi/Jpeg.h"
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

namespace fs = std::filesystem;

namespace {

class MediaFolder {
 public:
  MediaFolder() {
    std::string pattern = (fs::temp_directory_path() / "pelloran-media-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    FPath = pattern;
  }
  ~MediaFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
  }
  [[nodiscard]] std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

  // A 24-bit bitmap file of the given size, filled with Colour.
  std::string Bmp(const std::string& Name, int W, int H, TColor Colour) const {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(W, H);
    b.Canvas()->Brush()->SetColor(Colour);
    b.Canvas()->FillRect(Rect(0, 0, W, H));
    b.SaveToFile(*this / Name);
    return *this / Name;
  }
  std::string Jpeg(const std::string& Name, int W, int H) const {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(W, H);
    TJPEGImage j;
    j.Assign(&b);
    j.SaveToFile(*this / Name);
    return *this / Name;
  }
  std::string Text(const std::string& Name, const std::string& Content) const {
    std::ofstream(*this / Name, std::ios::binary) << Content;
    return *this / Name;
  }

 private:
  std::string FPath;
};

TColor PixelOf(TBitmap* B) {
  return B->Canvas()->Pixels(0, 0);
}

}  // namespace

TEST(VXBitmaps, LoadsByExtensionAndLooksUpIgnoringCase) {
  MediaFolder dir;
  TVXBitmaps list(nullptr);
  const std::string red = dir.Bmp("Red.BMP", 7, 5, clRed);
  TBitmap* a = list.Add(red);
  EXPECT_EQ(a->Width(), 7);
  EXPECT_EQ(a->Height(), 5);
  EXPECT_EQ(PixelOf(a), clRed);

  // ".JPG" in any letter case goes through the JPEG picture.
  TBitmap* j = list.Add(dir.Jpeg("photo.jpg", 16, 8));
  EXPECT_EQ(j->Width(), 16);
  EXPECT_EQ(j->Height(), 8);
  // ".jpeg" takes the plain bitmap load, which refuses JPEG data.
  fs::copy_file(dir / "photo.jpg", dir / "photo.jpeg");
  EXPECT_ANY_THROW(list.Add(dir / "photo.jpeg"));

  // A path differing only in letter case is the same entry, reloaded in place.
  fs::path upper = dir / "Red.BMP";
  const std::string other = dir / "RED.bmp";
  dir.Bmp("Red.BMP", 9, 3, clBlue);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf(other), 0);
  fs::rename(upper, other);  // the file under the other spelling
  TBitmap* again = list.Add(other);
  EXPECT_EQ(again, a);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(a->Width(), 9);
  EXPECT_EQ(PixelOf(a), clBlue);
  EXPECT_EQ(list.GetPath(0), red) << "the entry keeps the path it was first added under";

  ASSERT_EQ(list.GetNames()->Count(), 2);
  EXPECT_EQ(list.GetNames()->Strings(0), "Red.BMP");
  EXPECT_EQ(list.GetNames()->Strings(1), "photo.jpg");
}

TEST(VXBitmaps, AFailedLoadLeavesTheListAsItWas) {
  MediaFolder dir;
  TVXBitmaps list(nullptr);
  const std::string good = dir.Bmp("good.bmp", 4, 4, clLime);
  list.Add(good);
  struct Case {
    const char* What;
    std::string Path;
  };
  const std::vector<Case> cases = {
      {"missing file", dir / "nothing.bmp"},
      {"not a bitmap", dir.Text("text.bmp", "hello")},
      {"truncated JPEG", dir.Text("cut.JPG", std::string("\xFF\xD8\xFF", 3))},
  };
  for (const Case& c : cases) {
    EXPECT_ANY_THROW(list.Add(c.Path)) << c.What;
    EXPECT_EQ(list.Count(), 1) << c.What;
    EXPECT_EQ(list.IndexOf(c.Path), -1) << c.What;
    EXPECT_EQ(list.GetNames()->Count(), 1) << c.What;
  }
  // A listed entry whose file went bad keeps its picture.
  dir.Text("good.bmp", "broken now");
  EXPECT_ANY_THROW(list.Add(good));
  EXPECT_EQ(list.GetBitmap(0)->Width(), 4);
  EXPECT_EQ(PixelOf(list.GetBitmap(0)), clLime);
}

TEST(VXBitmaps, IndexesOutsideTheListRaise) {
  MediaFolder dir;
  TVXBitmaps list(nullptr);
  list.Add(dir.Bmp("a.bmp", 2, 2, clRed));
  list.Add(dir.Bmp("b.bmp", 2, 2, clRed));
  EXPECT_THROW((void)list.GetBitmap(-1), EStringListError);
  EXPECT_THROW((void)list.GetBitmap(2), EStringListError);
  EXPECT_THROW((void)list.GetPath(5), EStringListError);
  EXPECT_THROW(list.Delete(2), EStringListError);
  list.Delete(0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.GetNames()->Strings(0), "b.bmp");
}

TEST(VXSounds, NoSoundComesFirstAndPathsAreUniquePerFile) {
  MediaFolder dir;
  TVXSounds sounds(nullptr);
  ASSERT_EQ(sounds.Count(), 1);
  EXPECT_EQ(sounds.GetPath(0), "<NoSound>");
  EXPECT_EQ(sounds.GetNames()->Strings(0), "<NoSound>");
  sounds.Add("<nosound>");
  EXPECT_EQ(sounds.Count(), 1);
  sounds.Add(dir.Text("Click.wav", "upper"));
  sounds.Add(dir / "CLICK.WAV");  // no such file: the spelling of Click.wav
  sounds.Add(dir.Text("start.wav", "start"));
  ASSERT_EQ(sounds.Count(), 3);
  EXPECT_EQ(sounds.IndexOf(dir / "click.WAV"), 1);
  sounds.Add(dir.Text("click.wav", "lower"));  // a second file, whose name differs only in case
  ASSERT_EQ(sounds.Count(), 4);
  EXPECT_EQ(sounds.IndexOf(dir / "click.wav"), 3);
  EXPECT_EQ(sounds.IndexOf(dir / "Click.wav"), 1);
  EXPECT_EQ(sounds.GetNames()->Strings(1), "Click.wav");
  EXPECT_EQ(sounds.GetNames()->Strings(2), "start.wav");
  sounds.Delete(1);
  EXPECT_EQ(sounds.GetNames()->Strings(1), "start.wav");
  EXPECT_THROW((void)sounds.GetPath(3), EStringListError);
}

class ZOrdererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->Title();
    Form = TCustomForm::Create<TForm>(nullptr);
  }
  void TearDown() override { delete Form; }

  TPanel* Panel(const std::string& Name) {
    auto* p = new TPanel(Form);
    p->SetName(Name);
    p->SetParent(Form);
    return p;
  }
  // The names of the form's child controls from bottom to top.
  std::string Stack() const {
    std::string s;
    for (int i = 0; i < Form->ControlCount(); ++i)
      s += Form->Controls(i)->Name() + " ";
    return s;
  }

  TForm* Form = nullptr;
};

TEST_F(ZOrdererTest, RaisesInAscendingOrderKeepingTheOrderOfEqualValues) {
  struct Case {
    std::vector<std::pair<const char*, int>> Pairs;
    const char* Expected;
  };
  const std::vector<Case> cases = {
      {{{"A", 3}, {"B", 1}, {"C", 3}, {"D", 2}}, "B D A C "},
      {{{"A", -1}, {"B", -5}, {"C", 0}, {"D", 7}}, "B A C D "},
      {{{"A", 4}, {"B", 4}, {"C", 4}, {"D", 4}}, "A B C D "},
      {{{"A", 2}, {"B", 9}}, "D C A B "},
      {{{"A", 1}, {"B", 2}, {"A", 3}}, "D C B A "},  // a control listed twice: its last raise counts
  };
  for (const Case& c : cases) {
    for (int i = Form->ControlCount() - 1; i >= 0; --i)
      delete Form->Controls(i);
    // Created in reverse so that the starting stack differs from the expected one.
    for (const char* name : {"D", "C", "B", "A"})
      Panel(name);
    TZOrderer orderer;
    for (const auto& [name, z] : c.Pairs)
      orderer.Add(static_cast<TControl*>(Form->FindComponent(name)), z);
    orderer.Apply();
    EXPECT_EQ(Stack(), c.Expected);
    EXPECT_EQ(orderer.Count(), static_cast<int>(c.Pairs.size())) << "the pairs stay";
  }
}

TEST_F(ZOrdererTest, EmptyListDoesNothingAndLabelsStayBeneathWindows) {
  TPanel* a = Panel("A");
  Panel("B");
  TZOrderer empty;
  empty.Apply();
  EXPECT_EQ(Stack(), "A B ");

  auto* label = new TLabel(Form);
  label->SetName("L");
  label->SetParent(Form);
  TZOrderer orderer;
  orderer.Add(label, 100);
  orderer.Add(a, 1);
  orderer.Apply();
  EXPECT_EQ(Stack(), "L B A ") << "a label with a high value stays beneath windowed controls";
}
