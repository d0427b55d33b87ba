#include <gtest/gtest.h>

#include "TempDir.h"
#include "platform/rtl/Classes.h"

namespace {

std::vector<std::string> Items(const TStrings& s) {
  std::vector<std::string> r;
  for (int i = 0; i < s.Count(); ++i)
    r.push_back(s.Strings(i));
  return r;
}

TEST(List, IndexesAreCheckedAndRemoveReportsAbsence) {
  TList list;
  int a = 0, b = 0, c = 0;
  list.Add(&a);
  list.Add(&b);
  list.Insert(0, &c);
  EXPECT_EQ(list.Items(0), &c);
  EXPECT_EQ(list.IndexOf(&b), 2);
  EXPECT_EQ(list.Remove(&a), 1);
  EXPECT_EQ(list.Remove(&a), -1);
  EXPECT_EQ(list.Count(), 2);
  for (int bad : {-1, 2, 100}) {
    try {
      (void)list.Items(bad);
      ADD_FAILURE() << bad;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message, "Der Index der Liste überschreitet das Maximum (" + std::to_string(bad) + ")");
    }
  }
  EXPECT_THROW(list.Delete(2), EListError);
  EXPECT_THROW(list.Insert(3, &a), EListError);
  EXPECT_NO_THROW(list.Insert(2, &a));
  list.Move(2, 0);
  EXPECT_EQ(list.First(), &a);
  EXPECT_EQ(list.Last(), &b);
  list.Add(nullptr);
  list.Pack();
  EXPECT_EQ(list.Count(), 3);
  list.Clear();
  EXPECT_THROW((void)list.First(), EListError);
}

TEST(StringList, StringsAreCheckedWithTheStringListError) {
  TStringList list;
  list.Add("a");
  try {
    (void)list.Strings(1);
    ADD_FAILURE();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message, "Der Index der Liste überschreitet das Maximum (1)");
  }
  EXPECT_THROW((void)list.Strings(-1), EStringListError);
  EXPECT_THROW((void)list.Objects(3), EStringListError);
  EXPECT_THROW(list.Delete(1), EStringListError);
}

TEST(StringList, ObjectsAreNotOwned) {
  static int freed = 0;
  struct Probe : TObject {
    ~Probe() override { ++freed; }
  };
  freed = 0;
  Probe probe;
  {
    TStringList list;
    list.AddObject("p", &probe);
    EXPECT_EQ(list.Objects(0), &probe);
    EXPECT_EQ(list.IndexOfObject(&probe), 0);
    list.Delete(0);
  }
  EXPECT_EQ(freed, 0);
}

TEST(StringList, IndexOfIgnoresCase) {
  TStringList list;
  list.SetText("<NoSound>\r\nC:\\Sounds\\Click.wav\r\n");
  EXPECT_EQ(list.IndexOf("c:\\sounds\\click.WAV"), 1);
  EXPECT_EQ(list.IndexOf("<nosound>"), 0);
  EXPECT_EQ(list.IndexOf("missing"), -1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf("<nosound>"), -1);
}

TEST(StringList, SortedListsKeepOrderAndDuplicatesRule) {
  TStringList list;
  list.SetText("pear\napple\nBanana");
  list.SetSorted(true);
  EXPECT_EQ(Items(list), (std::vector<std::string>{"apple", "Banana", "pear"}));
  EXPECT_EQ(list.Add("cherry"), 2);
  EXPECT_EQ(list.Add("APPLE"), 0);  // ignored duplicate: the index of the existing one
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.IndexOf("BANANA"), 1);
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_THROW(list.Add("Pear"), EStringListError);
  list.SetDuplicates(TDuplicates::dupAccept);
  list.Add("Pear");
  EXPECT_EQ(list.Count(), 5);
}

TEST(StringList, TextSplitsAtEveryLineBreakKind) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\rc\r\nd", {"a", "b", "c", "d"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"a\n\r", {"a", ""}},
      {"a\r\r\n", {"a", ""}},
      {"x=1=2\r\nend", {"x=1=2", "end"}},
  };
  for (const Case& c : cases) {
    TStringList list;
    list.SetText(c.text);
    EXPECT_EQ(Items(list), c.lines) << testing::PrintToString(c.text);
  }
  TStringList list;
  list.SetText("a\nb");
  EXPECT_EQ(list.Text(), "a\r\nb\r\n");
}

TEST(StringList, FilesRoundTripWithCrLf) {
  TempDir dir;
  dir.Write("in.txt", "Pelloran=V1.2\nObject=Global\rTop=5\r\nend\n");
  TStringList list;
  list.LoadFromFile(dir / "IN.TXT");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"Pelloran=V1.2", "Object=Global", "Top=5", "end"}));
  list.SaveToFile(dir / "out.txt");
  EXPECT_EQ(dir.Read("out.txt"), "Pelloran=V1.2\r\nObject=Global\r\nTop=5\r\nend\r\n");
  try {
    list.LoadFromFile(dir / "missing.VX");
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, "Datei " + (dir / "missing.VX") + " kann nicht geöffnet werden");
  }
  EXPECT_EQ(list.Count(), 4);  // a failed load leaves the list alone
}

// A file is UTF-8 when all of it is, else Windows-1252; either way it is held and saved as UTF-8, and the
// saved file reads back as the same text.
TEST(StringList, FilesAreReadInTheirEncodingAndSavedAsUtf8) {
  struct Case {
    const char* What;
    std::string Bytes;
    std::vector<std::string> Lines;
  };
  const Case cases[] = {
      {"UTF-8",
       "Text=Gr\xC3\xBC\xC3\x9F"
       "e \xE2\x82\xAC \xF0\x9F\x98\x80\r\n",
       {"Text=Grüße € 😀"}},
      {"Windows-1252",
       "Text=Gr\xFC\xDF"
       "e\r\nHint=\x80\x85\x93x\x94\x9F",
       {"Text=Grüße", "Hint=€…“x”Ÿ"}},
      {"bytes Windows-1252 leaves undefined", "\x81\x8D\x8F\x90\x9D", {"\u0081\u008D\u008F\u0090\u009D"}},
      {"one stray byte decides for the whole file", "\xC3\xBC\r\n\xFC", {"Ã¼", "ü"}},
      {"overlong form", "\xC0\xAF", {"À¯"}},
      {"surrogate", "\xED\xA0\x80", {"í\u00A0€"}},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", {"ô\u0090€€"}},
      {"cut sequence", "ok\xE2\x82", {"okâ‚"}},
  };
  TempDir dir;
  for (const Case& c : cases) {
    dir.Write("in.VX", c.Bytes);
    TStringList list;
    list.LoadFromFile(dir / "in.VX");
    EXPECT_EQ(Items(list), c.Lines) << c.What;
    list.SaveToFile(dir / "saved.VX");
    TStringList again;
    again.LoadFromFile(dir / "saved.VX");
    EXPECT_EQ(Items(again), c.Lines) << c.What;
    EXPECT_TRUE(IsUtf8(dir.Read("saved.VX"))) << c.What;
  }
}

TEST(StringList, NamesValuesAndCommaText) {
  TStringList list;
  list.Add("Top=1");
  list.Add("Left=2=3");
  EXPECT_EQ(list.Values("left"), "2=3");
  EXPECT_EQ(list.Names(0), "Top");
  list.SetValues("Width", "7");
  list.SetValues("Top", "");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"Left=2=3", "Width=7"}));
  list.SetCommaText("a, \"b c\",\"d\"\"e\",,f");
  EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b c", "d\"e", "", "f"}));
  EXPECT_EQ(list.CommaText(), "a,\"b c\",\"d\"\"e\",\"\",f");
}

TEST(StringList, ChangeEventsAreBatchedByUpdates) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.Add("a");
  EXPECT_EQ(changes, 1);
  list.BeginUpdate();
  list.Add("b");
  list.Add("c");
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  list.SetText("x\ny");
  EXPECT_EQ(changes, 3);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_TRUE(copy.Equals(&list));
  TPersistent other;
  EXPECT_THROW(copy.Assign(&other), EConvertError);
}

// Strings kept somewhere else (as a control keeps its items): the shared operations work on the four
// storage operations alone.
class VectorStrings : public TStrings {
 public:
  [[nodiscard]] int Count() const override { return static_cast<int>(items.size()); }
  [[nodiscard]] std::string Strings(int Index) const override {
    if (Index < 0 || Index >= Count()) StringListIndexError(Index);
    return items[static_cast<size_t>(Index)];
  }
  void Insert(int Index, const std::string& S) override {
    if (Index < 0 || Index > Count()) StringListIndexError(Index);
    items.insert(items.begin() + Index, S);
  }
  void Delete(int Index) override {
    if (Index < 0 || Index >= Count()) StringListIndexError(Index);
    items.erase(items.begin() + Index);
  }
  void Clear() override { items.clear(); }
  std::vector<std::string> items;
};

TEST(Strings, SharedOperationsWorkOnAnyStorage) {
  VectorStrings s;
  s.SetText("a=1\nB=2\nc");
  EXPECT_EQ(s.items, (std::vector<std::string>{"a=1", "B=2", "c"}));
  EXPECT_EQ(s.IndexOf("C"), 2);
  EXPECT_EQ(s.Values("b"), "2");
  s.SetStrings(0, "z");
  s.Move(0, 2);
  EXPECT_EQ(s.items, (std::vector<std::string>{"B=2", "c", "z"}));
  s.Exchange(0, 1);
  EXPECT_EQ(s.Text(), "c\r\nB=2\r\nz\r\n");
  TStringList list;
  list.Assign(&s);
  EXPECT_TRUE(list.Equals(&s));
  EXPECT_THROW(s.Move(0, 5), EStringListError);
  EXPECT_EQ(s.Count(), 3);  // the failed move took nothing away
}

}  // namespace
