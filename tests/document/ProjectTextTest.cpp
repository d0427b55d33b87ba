#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "document/ProjectText.h"

namespace {

TEST(ProjectText, KeyAndValueSplitAtTheFirstEqualsSign) {
  struct Case {
    const char* line;
    const char* key;
    const char* value;
  };
  const Case cases[] = {
      {"Top=5", "Top", "5"},
      {"Startpage=http://x/?a=1&b=2", "Startpage", "http://x/?a=1&b=2"},
      {"a==b", "a", "=b"},
      {"end", "", "end"},
      {"Top=", "Top", ""},
      {"=x", "", "x"},
      {"=", "", ""},
      {"", "", ""},
      {" Top = 5 ", " Top ", " 5 "},
      {"C:\\images\\skin.bmp", "", "C:\\images\\skin.bmp"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetKey(c.line), c.key) << c.line;
    EXPECT_EQ(GetValue(c.line), c.value) << c.line;
  }
}

TEST(ProjectText, KeysMatchExactly) {
  EXPECT_TRUE(HasKey("Top=5", "Top"));
  EXPECT_TRUE(HasKey("Top=", "Top"));
  EXPECT_TRUE(HasKey("=x", ""));
  for (const char* line : {"top=5", "Top =5", " Top=5", "Top", "TopX=5", "To=p", ""})
    EXPECT_FALSE(HasKey(line, "Top")) << line;
  EXPECT_TRUE(HasKey("end", ""));  // a line without "=" has the empty key
  EXPECT_FALSE(HasKey("a=b=c", "a=b"));
  EXPECT_EQ(FontStyleIndex("Bold"), 0);
  EXPECT_EQ(FontStyleIndex("StrikeOut"), 3);
  EXPECT_EQ(FontStyleIndex("bold"), -1);
  EXPECT_EQ(FontStyleIndex("Strikeout"), -1);
}

TEST(ProjectText, SectionKindsAreExact) {
  TVXSectionKind kind;
  for (const char* name : {"Bitmaps", "Sounds", "Global", "Web", "Button", "Label", "Edit"}) {
    ASSERT_TRUE(SectionKindFromName(name, kind)) << name;
    EXPECT_STREQ(SectionKindName(kind), name);
  }
  for (const char* name : {"web", "Web ", " Web", "WEB", "Image", ""})
    EXPECT_FALSE(SectionKindFromName(name, kind)) << name;
}

TEST(ProjectText, StayOnTopLineIsTrimmedOtherwiseExact) {
  for (const char* line : {"SOT", " SOT", "SOT \t", "\tSOT\r"})
    EXPECT_TRUE(IsStayOnTopLine(line)) << line;
  for (const char* line : {"sot", "SOT=1", "S OT", ""})
    EXPECT_FALSE(IsStayOnTopLine(line)) << line;
}

TEST(ProjectText, IntegerValuesUseTheClassLibraryConversion) {
  EXPECT_EQ(IntegerValue("Top=-12"), -12);
  EXPECT_EQ(IntegerValue("InvisibleColor=16711935"), 16711935);
  EXPECT_THROW((void)IntegerValue("Top="), EConvertError);
  EXPECT_THROW((void)IntegerValue("Top=5 "), EConvertError);
  try {
    (void)IntegerValue("Width=abc");
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'abc' ist kein gültiger Integerwert");
  }
}

TEST(ProjectText, KeyTablesInWrittenOrder) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SectionKeys(TVXSectionKind::skGlobal),
            (V{"Top", "Left", "Width", "Height", "ITop", "ILeft", "IRight", "IBottom", "SOT"}));
  EXPECT_EQ(SectionKeys(TVXSectionKind::skWeb),
            (V{"Top", "Left", "Height", "Width", "Startpage", "Position", "Bitmap", "InvisibleColor",
               "StartSound", "ExitSound", "ZOrder"}));
  EXPECT_EQ(SectionKeys(TVXSectionKind::skButton),
            (V{"Top", "Left", "Mask", "Touched", "Pressed", "Disabled", "InvisibleColor", "Pressaction",
               "Alignment", "Navigationtarget", "Sound", "Hint", "ZOrder"}));
  EXPECT_EQ(SectionKeys(TVXSectionKind::skLabel),
            (V{"Top", "Left", "Width", "Color", "Style", "Text", "Transparent", "Alignment", "Autosize",
               "Fontname", "Fontcolor", "Fontheight", "Fontstyle", "ZOrder"}));
  EXPECT_EQ(SectionKeys(TVXSectionKind::skEdit, TVXWriteOrder::woProject),
            (V{"Top", "Left", "Width", "Alignment", "Autosize", "Color", "Style", "Fontname", "Fontcolor",
               "Fontheight", "Fontstyle", "ZOrder"}));
  EXPECT_EQ(SectionKeys(TVXSectionKind::skEdit, TVXWriteOrder::woBuild),
            (V{"Top", "Left", "Width", "Color", "Style", "Alignment", "Autosize", "Fontname", "Fontcolor",
               "Fontheight", "Fontstyle", "ZOrder"}));
  EXPECT_TRUE(SectionKeys(TVXSectionKind::skBitmaps).empty());
  EXPECT_TRUE(SectionKeys(TVXSectionKind::skSounds).empty());
  EXPECT_EQ(FontStyleNames(), (V{"Bold", "Italic", "Underline", "StrikeOut"}));
}

TEST(ProjectText, WriterEmitsSectionsLineByLine) {
  TVXTextWriter w(ProjectText::ProjectHeader);
  w.BeginSection(TVXSectionKind::skBitmaps);
  w.Entry("/app/images/skin.bmp");
  w.EndSection();
  w.BeginSection(TVXSectionKind::skSounds);
  w.Entry(ProjectText::NoSound);
  w.EndSection();
  w.BeginSection(TVXSectionKind::skGlobal);
  w.Key("Top", -5);
  w.StayOnTop();
  w.EndSection();
  w.BeginSection(TVXSectionKind::skLabel);
  w.Key("Text", "a=b");
  w.Key("Alignment", "");
  w.FontStyles(true, false, true, false);
  w.FontStyles(false, false, false, false);
  w.EndSection();
  EXPECT_EQ(w.Text(),
            "Pelloran=V1.2\r\n"
            "Object=Bitmaps\r\n/app/images/skin.bmp\r\nend\r\n"
            "Object=Sounds\r\n<NoSound>\r\nend\r\n"
            "Object=Global\r\nTop=-5\r\nSOT\r\nend\r\n"
            "Object=Label\r\nText=a=b\r\nAlignment=\r\nFontstyle=Bold\r\nFontstyle=Underline\r\nend\r\n");
}

TEST(ProjectText, WriterRefusesTextThatWouldBreakLines) {
  TVXTextWriter w(ProjectText::BuildHeader);
  w.BeginSection(TVXSectionKind::skButton);
  EXPECT_THROW(w.Key("Hint", "two\r\nlines"), EProjectTextError);
  EXPECT_THROW(w.Key("Hint", "cr\ronly"), EProjectTextError);
  EXPECT_THROW(w.Key("Navigationtarget", "lf\n"), EProjectTextError);
  EXPECT_THROW(w.Key("Bad=Key", "x"), EProjectTextError);
  EXPECT_THROW(w.Entry("a\nb"), EProjectTextError);
  EXPECT_THROW(w.Entry("end"), EProjectTextError);
  EXPECT_THROW(w.Entry("Object=Web"), EProjectTextError);
  EXPECT_THROW(w.BeginSection(TVXSectionKind::skLabel), EProjectTextError);
  w.EndSection();
  EXPECT_THROW(w.EndSection(), EProjectTextError);
  EXPECT_THROW(TVXTextWriter("bad\nheader"), EProjectTextError);
  EXPECT_EQ(w.Text(), "Pelloran=V1.0\r\nObject=Button\r\nend\r\n");
}

// Records what the section walk hands to a reader.
struct Recorder {
  std::vector<std::string> events;
  TVXSectionHandlers Handlers() {
    TVXSectionHandlers h;
    h.OnBegin = [this](TVXSectionKind k) { events.push_back(std::string("begin ") + SectionKindName(k)); };
    h.OnLine = [this](TVXSectionKind k, const std::string& l) {
      events.push_back(std::string(SectionKindName(k)) + ": " + l);
    };
    h.OnEnd = [this](TVXSectionKind k) { events.push_back(std::string("end ") + SectionKindName(k)); };
    return h;
  }
};

// The events of a walk; a refused text ends them with "refused".
std::vector<std::string> Walk(const std::string& text, const std::vector<TVXSectionKind>& kinds) {
  TStringList lines;
  lines.SetText(text);
  Recorder r;
  try {
    ReadProjectSections(lines, kinds, r.Handlers());
  } catch (const EProjectTextError&) {
    r.events.push_back("refused");
  }
  return r.events;
}

TEST(ProjectText, TheHeaderLineIsNeverRead) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Walk("Object=Web\nTop=1\nend\n", ProjectReaderKinds()), V{"refused"});
  EXPECT_EQ(Walk("anything\nObject=Web\nTop=1\nend\n", ProjectReaderKinds()),
            (V{"begin Web", "Web: Top=1", "end Web"}));
}

TEST(ProjectText, SectionsRunToTheFirstExactEndLine) {
  using V = std::vector<std::string>;
  const std::string text =
      "Pelloran=V1.2\n"
      "stray line\n"
      "Object=Global\n"
      "top=1\n"
      "Top =2\n"
      "  SOT  \n"
      "End\n"
      "end \n"
      " Object=Web\n"  // a key with a blank before it is no "Object" line
      "end\n"
      "object=Web\n"
      "Object=Label\n"
      "Fontstyle=Bold\n"
      "end\n";
  EXPECT_EQ(
      Walk(text, ProjectReaderKinds()),
      (V{"begin Global", "Global: top=1", "Global: Top =2", "Global:   SOT  ", "Global: End", "Global: end ",
         "Global:  Object=Web", "end Global", "begin Label", "Label: Fontstyle=Bold", "end Label"}));
}

TEST(ProjectText, UnknownSectionsAreScannedAsOrdinaryLines) {
  using V = std::vector<std::string>;
  const std::string text =
      "Pelloran=V1.0\n"
      "Object=Sounds\n"
      "<NoSound>\n"
      "Object=Bitmaps\n"  // the runtime does not know Sounds: this opens a Bitmaps section
      "/a.bmp\n"
      "end\n"
      "end\n"
      "Object=Image\n"
      "Top=1\n"
      "end\n";
  EXPECT_EQ(Walk(text, RuntimeReaderKinds()), (V{"begin Bitmaps", "Bitmaps: /a.bmp", "end Bitmaps"}));
  // The designer reads Sounds, so its "Object" line comes before the section's "end".
  EXPECT_EQ(Walk(text, ProjectReaderKinds()), (V{"begin Sounds", "Sounds: <NoSound>", "refused"}));
}

// Files that are no project, or whose sections do not close, are refused by both readers; the place in
// the message is the file, the line (counted from 1) and what stands there.
TEST(ProjectText, TextsThatAreNoProjectAreRefused) {
  struct Case {
    const char* What;
    std::string Text;
    std::string Message;
  };
  std::string noise(4096, '\0');
  for (size_t i = 0; i < noise.size(); ++i)
    noise[i] = static_cast<char>((i * 7919 + 13) % 251);
  const Case cases[] = {
      {"empty", "", "p.VX is not a project: no line opens a section such as \"Object=Web\""},
      {"header only", "Pelloran=V1.2\r\n", "p.VX is not a project"},
      {"unknown sections only", "H\nObject=Image\nTop=1\nend\n", "p.VX is not a project"},
      {"binary noise", noise, "p.VX is not a project"},
      {"a bitmap's header",
       std::string("BM6\x04\0\0\0\0\0\0"
                   "6\0\0\0(\0\0\0",
                   18) +
           "\nObject=Bitmap\n",
       "p.VX is not a project"},
      {"a section swallows the next", "H\nObject=Global\nTop=1\nObject=Web\nend\n",
       "p.VX, line 4 (key \"Object\"): a new section begins before the \"end\" of the section \"Global\" "
       "opened on line 2"},
      {"an unknown kind inside a section", "H\nObject=Web\nObject=Other\nend\nend\n",
       "p.VX, line 3 (key \"Object\")"},
      {"cut inside a section", "H\nObject=Global\nend\nObject=Button\nTop=1\n",
       "p.VX, line 4 (section \"Button\"): the section has no \"end\" line; the file is cut short or is not "
       "a "
       "project"},
      {"cut after its opener", "H\r\nObject=Web", "p.VX, line 2 (section \"Web\")"},
  };
  for (const Case& c : cases) {
    for (const auto* kinds : {&ProjectReaderKinds(), &RuntimeReaderKinds()}) {
      TStringList lines;
      lines.SetText(c.Text);
      try {
        ReadProjectSections(lines, *kinds, {}, "p.VX");
        ADD_FAILURE() << c.What << ": read";
      } catch (const EProjectTextError& e) {
        EXPECT_EQ(e.Message.substr(0, c.Message.size()), c.Message) << c.What;
      }
    }
  }
}

// What stored files rely on still reads: any line ending, unknown keys and sections (also around
// known ones), blanks around the "SOT" line, and a header of any content.
TEST(ProjectText, StoredFileShapesStillRead) {
  using V = std::vector<std::string>;
  const V global{"begin Global", "Global: Top=1", "Global: x=y", "Global:  SOT ", "end Global"};
  for (const char* eol : {"\n", "\r", "\r\n"}) {
    const std::string text = std::string("Object=Web") + eol + "Object=Global" + eol + "Top=1" + eol + "x=y" +
                             eol + " SOT " + eol + "end" + eol + "Object=Image" + eol + "end" + eol;
    EXPECT_EQ(Walk(text, ProjectReaderKinds()), global) << "line end " << (eol[0] == '\r' ? "CR" : "LF");
  }
  EXPECT_EQ(Walk("H\nObject=Other\nObject=Label\nTop=3\nend\nend\n", ProjectReaderKinds()),
            (V{"begin Label", "Label: Top=3", "end Label"}));
}

TEST(ProjectText, HandlerFailuresEndTheWalkNamingTheirPlace) {
  TStringList lines;
  lines.SetText("h\nObject=Global\nTop=x\nLeft=1\nend\nObject=Web\nend\n");
  std::vector<std::string> seen;
  TVXSectionHandlers h;
  h.OnLine = [&](TVXSectionKind, const std::string& line) {
    seen.push_back(line);
    if (GetKey(line) == "Top") (void)IntegerValue(line);
  };
  try {
    ReadProjectSections(lines, ProjectReaderKinds(), h, "/p/x.VX");
    ADD_FAILURE() << "read";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "/p/x.VX, line 3 (key \"Top\"): 'x' ist kein gültiger Integerwert");
  }
  EXPECT_EQ(seen, std::vector<std::string>{"Top=x"});
  // A bare line is named by its text, cut short when it is long; failures at a section's end by it.
  lines.SetText("h\nObject=Bitmaps\n" + std::string(100, 'a') + "\nend\n");
  h.OnLine = [](TVXSectionKind, const std::string&) { throw EFOpenError("gone"); };
  try {
    ReadProjectSections(lines, ProjectReaderKinds(), h, "x.VX");
    ADD_FAILURE() << "read";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, "x.VX, line 3 (entry \"" + std::string(60, 'a') + "...\"): gone");
  }
  h.OnLine = nullptr;
  h.OnEnd = [](TVXSectionKind) { throw EConvertError("bad"); };
  EXPECT_THROW(
      {
        try {
          ReadProjectSections(lines, ProjectReaderKinds(), h, "x.VX");
        } catch (const EConvertError& e) {
          EXPECT_EQ(e.Message, "x.VX, line 4 (end of section \"Bitmaps\"): bad");
          throw;
        }
      },
      EConvertError);
}

// Random texts from the format's own pieces: the walk ends normally, refuses the text, or ends in the
// class library's conversion error, never otherwise.
TEST(ProjectText, RandomTextsEndInTheDocumentedErrorsOnly) {
  const char* pieces[] = {"Object=Web", "Object=Button", "Object=Sounds", "Object=", "end", "end ",
                          "Top=1",      "Top=x",         "SOT",           "=",       "",    "\r",
                          "\n",         "\r\n",          "Object=Global"};
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  int refused = 0;
  int bad = 0;
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const uint32_t n = next() % 30;
    for (uint32_t i = 0; i < n; ++i) {
      text += pieces[next() % std::size(pieces)];
      if (next() % 2) text += "\r\n";
    }
    TStringList lines;
    lines.SetText(text);
    TVXSectionHandlers h;
    h.OnLine = [](TVXSectionKind, const std::string& line) {
      if (HasKey(line, "Top")) (void)IntegerValue(line);
    };
    try {
      ReadProjectSections(lines, ProjectReaderKinds(), h);
    } catch (const EProjectTextError&) {
      ++refused;
    } catch (const EConvertError&) {
      ++bad;
    }
  }
  EXPECT_GT(refused, 0);
  EXPECT_GT(bad, 0);
}

// The documented ranges, at and past each end.
TEST(ProjectText, NumbersAreBoundedByKind) {
  struct Case {
    TVXNumberKind Kind;
    int Min;
    int Max;
  };
  const Case cases[] = {{TVXNumberKind::nkPosition, -32768, 32767},
                        {TVXNumberKind::nkSize, 0, 8192},
                        {TVXNumberKind::nkFontHeight, -1000, 1000}};
  for (const Case& c : cases) {
    for (int v : {c.Min, c.Max, 0}) {
      EXPECT_EQ(BoundedInteger(std::to_string(v), c.Kind), v);
      int got = 7;
      EXPECT_TRUE(TryBoundedInteger(std::to_string(v), c.Kind, got));
      EXPECT_EQ(got, v);
    }
    for (int64_t v :
         {int64_t{c.Min} - 1, int64_t{c.Max} + 1, int64_t{2147483647}, int64_t{-2147483647} - 1}) {
      EXPECT_THROW((void)BoundedInteger(std::to_string(v), c.Kind), EConvertError) << v;
      int got = 7;
      EXPECT_FALSE(TryBoundedInteger(std::to_string(v), c.Kind, got)) << v;
      EXPECT_EQ(got, 7);
    }
  }
  try {
    (void)BoundedValue("Width=2000000000", TVXNumberKind::nkSize);
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "The value 2000000000 is outside the range 0 to 8192");
  }
  EXPECT_THROW((void)BoundedValue("Width=9999999999", TVXNumberKind::nkSize), EConvertError);
}

TEST(ProjectText, WrittenFileReadsBackThroughTheWalk) {
  const auto dir = std::filesystem::temp_directory_path() / ("pelloran-text-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "Config.VX").string();
  TVXTextWriter w(ProjectText::BuildHeader);
  w.BeginSection(TVXSectionKind::skWeb);
  for (const std::string& key : SectionKeys(TVXSectionKind::skWeb))
    w.Key(key, key == "ZOrder" ? "0" : "");
  w.EndSection();
  w.SaveToFile(file);
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(bytes.substr(0, 30), "Pelloran=V1.0\r\nObject=Web\r\nTop");

  TStringList lines;
  lines.LoadFromFile(file);
  std::vector<std::string> keys;
  TVXSectionHandlers h;
  h.OnLine = [&](TVXSectionKind, const std::string& line) { keys.push_back(GetKey(line)); };
  ReadProjectSections(lines, RuntimeReaderKinds(), h);
  EXPECT_EQ(keys, SectionKeys(TVXSectionKind::skWeb));
  std::filesystem::remove_all(dir);
}

}  // namespace
