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

std::vector<std::string> Walk(const std::string& text, const std::vector<TVXSectionKind>& kinds) {
  TStringList lines;
  lines.SetText(text);
  Recorder r;
  ReadProjectSections(lines, kinds, r.Handlers());
  return r.events;
}

TEST(ProjectText, TheHeaderLineIsNeverRead) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Walk("Object=Web\nTop=1\nend\n", ProjectReaderKinds()), V{});
  EXPECT_EQ(Walk("anything\nObject=Web\nTop=1\nend\n", ProjectReaderKinds()),
            (V{"begin Web", "Web: Top=1", "end Web"}));
  EXPECT_EQ(Walk("", ProjectReaderKinds()), V{});
  EXPECT_EQ(Walk("Pelloran=V1.2", ProjectReaderKinds()), V{});
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
      "Object=Web\n"  // inside Global: just a line
      "end\n"
      "object=Web\n"
      "Object=Label\n"
      "Fontstyle=Bold\n"
      "end\n";
  EXPECT_EQ(
      Walk(text, ProjectReaderKinds()),
      (V{"begin Global", "Global: top=1", "Global: Top =2", "Global:   SOT  ", "Global: End", "Global: end ",
         "Global: Object=Web", "end Global", "begin Label", "Label: Fontstyle=Bold", "end Label"}));
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
  EXPECT_EQ(Walk(text, ProjectReaderKinds()), (V{"begin Sounds", "Sounds: <NoSound>",
                                                 "Sounds: Object=Bitmaps", "Sounds: /a.bmp", "end Sounds"}));
}

TEST(ProjectText, AMissingEndRaisesTheListIndexError) {
  TStringList lines;
  lines.SetText("Pelloran=V1.2\nObject=Button\nTop=1\nLeft=2\n");
  Recorder r;
  try {
    ReadProjectSections(lines, ProjectReaderKinds(), r.Handlers());
    ADD_FAILURE() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message, "Der Index der Liste überschreitet das Maximum (4)");
  }
  // What was read before the failure stays read.
  EXPECT_EQ(r.events, (std::vector<std::string>{"begin Button", "Button: Top=1", "Button: Left=2"}));

  lines.SetText("h\nObject=Web");
  EXPECT_THROW(ReadProjectSections(lines, ProjectReaderKinds(), {}), EStringListError);
}

TEST(ProjectText, HandlerFailuresEndTheWalk) {
  TStringList lines;
  lines.SetText("h\nObject=Global\nTop=x\nLeft=1\nend\nObject=Web\nend\n");
  std::vector<std::string> seen;
  TVXSectionHandlers h;
  h.OnLine = [&](TVXSectionKind, const std::string& line) {
    seen.push_back(line);
    if (GetKey(line) == "Top") (void)IntegerValue(line);
  };
  EXPECT_THROW(ReadProjectSections(lines, ProjectReaderKinds(), h), EConvertError);
  EXPECT_EQ(seen, std::vector<std::string>{"Top=x"});
}

// Random texts from the format's own pieces: the walk ends normally or with one of the class library's
// errors (a missing "end", a bad integer), never otherwise.
TEST(ProjectText, RandomTextsEndInTheDocumentedErrorsOnly) {
  const char* pieces[] = {"Object=Web", "Object=Button", "Object=Sounds", "Object=", "end", "end ",
                          "Top=1",      "Top=x",         "SOT",           "=",       "",    "\r",
                          "\n",         "\r\n",          "Object=Global"};
  uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  int errors = 0;
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
    } catch (const EStringListError&) {
      ++errors;
    } catch (const EConvertError&) {
      ++errors;
    }
  }
  EXPECT_GT(errors, 0);
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
