#include "document/ProjectText.h"

#include <algorithm>

std::string GetKey(const std::string& Line) {
  const size_t eq = Line.find('=');
  return eq == std::string::npos ? std::string() : Line.substr(0, eq);
}

std::string GetValue(const std::string& Line) {
  const size_t eq = Line.find('=');
  return eq == std::string::npos ? Line : Line.substr(eq + 1);
}

namespace {

struct KindName {
  TVXSectionKind Kind;
  const char* Name;
};

constexpr KindName kKindNames[] = {
    {TVXSectionKind::skBitmaps, "Bitmaps"}, {TVXSectionKind::skSounds, "Sounds"},
    {TVXSectionKind::skGlobal, "Global"},   {TVXSectionKind::skWeb, "Web"},
    {TVXSectionKind::skButton, "Button"},   {TVXSectionKind::skLabel, "Label"},
    {TVXSectionKind::skEdit, "Edit"},
};

}  // namespace

const char* SectionKindName(TVXSectionKind Kind) {
  for (const KindName& k : kKindNames)
    if (k.Kind == Kind) return k.Name;
  return "";
}

bool SectionKindFromName(const std::string& Value, TVXSectionKind& Kind) {
  for (const KindName& k : kKindNames) {
    if (Value == k.Name) {
      Kind = k.Kind;
      return true;
    }
  }
  return false;
}

const std::vector<std::string>& SectionKeys(TVXSectionKind Kind, TVXWriteOrder Order) {
  static const std::vector<std::string> none;
  static const std::vector<std::string> global{"Top",   "Left",   "Width",   "Height", "ITop",
                                               "ILeft", "IRight", "IBottom", "SOT"};
  static const std::vector<std::string> web{"Top",        "Left",      "Height", "Width",
                                            "Startpage",  "Position",  "Bitmap", "InvisibleColor",
                                            "StartSound", "ExitSound", "ZOrder"};
  static const std::vector<std::string> button{
      "Top",      "Left",           "Mask",        "Touched",   "Pressed",
      "Disabled", "InvisibleColor", "Pressaction", "Alignment", "Navigationtarget",
      "Sound",    "Hint",           "ZOrder"};
  static const std::vector<std::string> label{"Top",       "Left",        "Width",     "Color",    "Style",
                                              "Text",      "Transparent", "Alignment", "Autosize", "Fontname",
                                              "Fontcolor", "Fontheight",  "Fontstyle", "ZOrder"};
  static const std::vector<std::string> editProject{"Top",       "Left",       "Width",     "Alignment",
                                                    "Autosize",  "Color",      "Style",     "Fontname",
                                                    "Fontcolor", "Fontheight", "Fontstyle", "ZOrder"};
  static const std::vector<std::string> editBuild{"Top",       "Left",       "Width",     "Color",
                                                  "Style",     "Alignment",  "Autosize",  "Fontname",
                                                  "Fontcolor", "Fontheight", "Fontstyle", "ZOrder"};
  switch (Kind) {
    case TVXSectionKind::skGlobal:
      return global;
    case TVXSectionKind::skWeb:
      return web;
    case TVXSectionKind::skButton:
      return button;
    case TVXSectionKind::skLabel:
      return label;
    case TVXSectionKind::skEdit:
      return Order == TVXWriteOrder::woBuild ? editBuild : editProject;
    default:
      return none;
  }
}

const std::vector<std::string>& FontStyleNames() {
  static const std::vector<std::string> names{"Bold", "Italic", "Underline", "StrikeOut"};
  return names;
}

bool HasKey(const std::string& Line, const std::string& Key) {
  return GetKey(Line) == Key;
}

int FontStyleIndex(const std::string& Value) {
  const auto& names = FontStyleNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (Value == names[i]) return static_cast<int>(i);
  return -1;
}

bool IsStayOnTopLine(const std::string& Line) {
  return Trim(Line) == ProjectText::StayOnTopLine;
}

int IntegerValue(const std::string& Line) {
  return StrToInt(GetValue(Line));
}

namespace {

struct TNumberRange {
  int Min;
  int Max;
};

TNumberRange RangeOf(TVXNumberKind Kind) {
  switch (Kind) {
    case TVXNumberKind::nkSize:
      return {ProjectText::MinSize, ProjectText::MaxSize};
    case TVXNumberKind::nkFontHeight:
      return {ProjectText::MinFontHeight, ProjectText::MaxFontHeight};
    default:
      return {ProjectText::MinPosition, ProjectText::MaxPosition};
  }
}

}  // namespace

int BoundedInteger(const std::string& Text, TVXNumberKind Kind) {
  const int value = StrToInt(Text);
  const TNumberRange range = RangeOf(Kind);
  if (value < range.Min || value > range.Max)
    throw EConvertError("The value " + IntToStr(value) + " is outside the range " + IntToStr(range.Min) +
                        " to " + IntToStr(range.Max));
  return value;
}

bool TryBoundedInteger(const std::string& Text, TVXNumberKind Kind, int& Value) {
  int value = 0;
  const TNumberRange range = RangeOf(Kind);
  if (!TryStrToInt(Text, value) || value < range.Min || value > range.Max) return false;
  Value = value;
  return true;
}

int BoundedValue(const std::string& Line, TVXNumberKind Kind) {
  return BoundedInteger(GetValue(Line), Kind);
}

// ---- TVXTextWriter -------------------------------------------------------------------------------

TVXTextWriter::TVXTextWriter(const std::string& Header) {
  CheckLine("the header", Header);
  FLines.Add(Header);
}

void TVXTextWriter::CheckLine(const std::string& What, const std::string& Text) const {
  if (Text.find_first_of("\r\n") != std::string::npos)
    throw EProjectTextError("The project text cannot hold a line break in " + What + ".");
}

void TVXTextWriter::BeginSection(TVXSectionKind Kind) {
  if (FInSection) throw EProjectTextError("A section of the project text was not closed.");
  FLines.Add(std::string(ProjectText::ObjectKey) + "=" + SectionKindName(Kind));
  FInSection = true;
}

void TVXTextWriter::EndSection() {
  if (!FInSection) throw EProjectTextError("No section of the project text is open.");
  FLines.Add(ProjectText::EndLine);
  FInSection = false;
}

void TVXTextWriter::Key(const std::string& Key, const std::string& Value) {
  CheckLine("the key \"" + Key + "\"", Key);
  if (Key.find('=') != std::string::npos)
    throw EProjectTextError("The key \"" + Key + "\" of the project text cannot hold \"=\".");
  CheckLine("the value of \"" + Key + "\"", Value);
  FLines.Add(Key + "=" + Value);
}

void TVXTextWriter::Key(const std::string& Key, int Value) {
  this->Key(Key, IntToStr(Value));
}

void TVXTextWriter::Entry(const std::string& Line) {
  CheckLine("the entry \"" + Line + "\"", Line);
  if (Line == ProjectText::EndLine)
    throw EProjectTextError("The entry \"end\" would close its section of the project text.");
  if (GetKey(Line) == ProjectText::ObjectKey)
    throw EProjectTextError("The entry \"" + Line + "\" would open a section of the project text.");
  FLines.Add(Line);
}

void TVXTextWriter::StayOnTop() {
  FLines.Add(ProjectText::StayOnTopLine);
}

void TVXTextWriter::FontStyles(bool Bold, bool Italic, bool Underline, bool StrikeOut) {
  const bool set[] = {Bold, Italic, Underline, StrikeOut};
  for (size_t i = 0; i < 4; ++i)
    if (set[i]) Key("Fontstyle", FontStyleNames()[i]);
}

void TVXTextWriter::SaveToFile(const std::string& FileName) const {
  FLines.SaveToFile(FileName);
}

// ---- Reading -------------------------------------------------------------------------------------

namespace {

// "<file>, line <n> (<what>): " before a reader's message; Index counts from 0.
std::string Place(const std::string& FileName, int Index, const std::string& What) {
  std::string place = FileName.empty() ? std::string() : FileName + ", ";
  return place + "line " + IntToStr(Index + 1) + " (" + What + "): ";
}

// Text from a file quoted in a message, cut short when it is long (a file that is no text at all may
// hold one endless line).
std::string Quoted(const std::string& Text) {
  constexpr size_t kShown = 60;
  return "\"" + (Text.size() > kShown ? Text.substr(0, kShown) + "..." : Text) + "\"";
}

// What a line of a section is, for an error's place: its key, or the entry a line without one is.
std::string LineWhat(const std::string& Line) {
  const size_t eq = Line.find('=');
  return eq == std::string::npos ? "entry " + Quoted(Line) : "key " + Quoted(Line.substr(0, eq));
}

std::string SectionWhat(TVXSectionKind Kind) {
  return "section \"" + std::string(SectionKindName(Kind)) + "\"";
}

// Runs a handler; its error propagates with the place (What() names it) put before its message.
template <typename W, typename F>
void AtPlace(const std::string& FileName, int Index, W&& What, F&& Call) {
  try {
    Call();
  } catch (Exception& e) {
    e.Message = Place(FileName, Index, What()) + e.Message;
    throw;
  }
}

}  // namespace

void ReadProjectSections(const TStrings& Lines, const std::vector<TVXSectionKind>& Known,
                         const TVXSectionHandlers& Handlers, const std::string& FileName) {
  bool anySection = false;
  int i = ProjectText::FirstReadLine;
  while (i < Lines.Count()) {
    const std::string line = Lines.Strings(i);
    TVXSectionKind kind;
    if (GetKey(line) == ProjectText::ObjectKey && SectionKindFromName(GetValue(line), kind) &&
        std::find(Known.begin(), Known.end(), kind) != Known.end()) {
      anySection = true;
      const int opener = i;
      const auto section = [kind] { return SectionWhat(kind); };
      if (Handlers.OnBegin) AtPlace(FileName, i, section, [&] { Handlers.OnBegin(kind); });
      while (true) {
        if (++i >= Lines.Count())
          throw EProjectTextError(
              Place(FileName, opener, SectionWhat(kind)) +
              "the section has no \"end\" line; the file is cut short or is not a project");
        const std::string sectionLine = Lines.Strings(i);
        if (sectionLine == ProjectText::EndLine) break;
        if (GetKey(sectionLine) == ProjectText::ObjectKey)
          throw EProjectTextError(Place(FileName, i, "key \"Object\"") +
                                  "a new section begins before the \"end\" of the " + SectionWhat(kind) +
                                  " opened on line " + IntToStr(opener + 1));
        if (Handlers.OnLine)
          AtPlace(
              FileName, i, [&] { return LineWhat(sectionLine); },
              [&] { Handlers.OnLine(kind, sectionLine); });
      }
      if (Handlers.OnEnd)
        AtPlace(
            FileName, i, [&] { return "end of " + section(); }, [&] { Handlers.OnEnd(kind); });
    }
    ++i;
  }
  if (!anySection)
    throw EProjectTextError((FileName.empty() ? std::string("The text") : FileName) +
                            " is not a project: no line opens a section such as \"Object=Web\"");
}

const std::vector<TVXSectionKind>& ProjectReaderKinds() {
  static const std::vector<TVXSectionKind> kinds{
      TVXSectionKind::skBitmaps, TVXSectionKind::skSounds, TVXSectionKind::skGlobal, TVXSectionKind::skWeb,
      TVXSectionKind::skButton,  TVXSectionKind::skLabel,  TVXSectionKind::skEdit};
  return kinds;
}

const std::vector<TVXSectionKind>& RuntimeReaderKinds() {
  static const std::vector<TVXSectionKind> kinds{TVXSectionKind::skBitmaps, TVXSectionKind::skGlobal,
                                                 TVXSectionKind::skWeb,     TVXSectionKind::skButton,
                                                 TVXSectionKind::skLabel,   TVXSectionKind::skEdit};
  return kinds;
}
