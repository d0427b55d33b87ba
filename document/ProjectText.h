// The project text: the line-oriented file that holds a browser composition (the designer's ".VX"
// projects, the test-run file and a built browser's "Config.VX").
//
// Every line but the first is a key line "Key=Value", a bare entry (a media path), the closing line
// "end" or the flag line "SOT". A section opens with "Object=<kind>" and runs to the first line that is
// exactly "end". Keys and values are never trimmed and compare exactly; only the "SOT" line is trimmed.
// This unit holds the line split, the section kinds and key tables in their written order, a writer
// that emits them, and the walk over sections that both readers (the designer's load and the runtime's
// configuration reader) share.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"

// The text before the first "=" of Line; "" for a line without "=".
[[nodiscard]] std::string GetKey(const std::string& Line);
// The text after the first "=" of Line (may contain "=", may be empty); the whole line without "=".
[[nodiscard]] std::string GetValue(const std::string& Line);

// Raised for text that breaks the structure of a project text: by the writer before it writes such text,
// and by the readers for a file that is not a project or whose sections do not close.
class EProjectTextError : public Exception {
 public:
  using Exception::Exception;
};

namespace ProjectText {

inline constexpr const char* ProjectHeader = "Pelloran=V1.2";  // written by the designer's save
inline constexpr const char* BuildHeader = "Pelloran=V1.0";    // written by the build
inline constexpr const char* ObjectKey = "Object";
inline constexpr const char* EndLine = "end";
inline constexpr const char* StayOnTopLine = "SOT";
inline constexpr const char* NoSound = "<NoSound>";

// Index of the first line a reader examines: the header line is never read.
inline constexpr int FirstReadLine = 1;

// The ranges of the numbers a project text may hold. Positions (Top, Left and the inner rectangle's
// edges) span the window system's 16-bit coordinates; sizes (Width, Height) reach past the widest
// screens while a window of the largest size (64 megapixels) still fits in memory; font heights
// (either sign) stay far below anything a screen shows. Sums and products of such values never leave
// 32 bits.
inline constexpr int MinPosition = -32768;
inline constexpr int MaxPosition = 32767;
inline constexpr int MinSize = 0;
inline constexpr int MaxSize = 8192;
inline constexpr int MinFontHeight = -1000;
inline constexpr int MaxFontHeight = 1000;

}  // namespace ProjectText

// What a number of the project text measures, which decides its range.
enum class TVXNumberKind { nkPosition, nkSize, nkFontHeight };

// Text as an integer within the range of Kind: the class library's conversion (EConvertError on bad
// text), then EConvertError naming the range for a value outside it.
[[nodiscard]] int BoundedInteger(const std::string& Text, TVXNumberKind Kind);
// The same without raising: false (Value untouched) on bad text or a value outside the range.
[[nodiscard]] bool TryBoundedInteger(const std::string& Text, TVXNumberKind Kind, int& Value);

// The section kinds in written order.
enum class TVXSectionKind { skBitmaps, skSounds, skGlobal, skWeb, skButton, skLabel, skEdit };

// "Bitmaps", "Sounds", "Global", "Web", "Button", "Label", "Edit".
[[nodiscard]] const char* SectionKindName(TVXSectionKind Kind);
// The kind named exactly by Value; false for anything else.
[[nodiscard]] bool SectionKindFromName(const std::string& Value, TVXSectionKind& Kind);

// Which writer's key order: the designer's save and the build differ only in the Edit section.
enum class TVXWriteOrder { woProject, woBuild };

// The keys of a section in the order they are written. Bitmaps and Sounds have no keys (bare entries);
// Global's optional "SOT" line and the Label and Edit sections' "Fontstyle" lines (one per style) are
// listed where they are written.
[[nodiscard]] const std::vector<std::string>& SectionKeys(TVXSectionKind Kind,
                                                          TVXWriteOrder Order = TVXWriteOrder::woProject);
// The font style names in written order.
[[nodiscard]] const std::vector<std::string>& FontStyleNames();

// True when the key of Line is exactly Key.
[[nodiscard]] bool HasKey(const std::string& Line, const std::string& Key);
// Index of a "Fontstyle" value in FontStyleNames (0 Bold .. 3 StrikeOut), -1 for any other text.
[[nodiscard]] int FontStyleIndex(const std::string& Value);
// True when Line is the "SOT" flag (the whole line, trimmed).
[[nodiscard]] bool IsStayOnTopLine(const std::string& Line);
// The value of a key line as an integer (the class library's conversion; EConvertError on bad text).
[[nodiscard]] int IntegerValue(const std::string& Line);
// The value of a key line as an integer within the range of Kind (see BoundedInteger).
[[nodiscard]] int BoundedValue(const std::string& Line, TVXNumberKind Kind);

// Builds a project text line by line. Values and entries may not contain CR or LF, and a bare entry
// may be neither "end" nor a line whose key is "Object": each would change the file's structure when
// read back (EProjectTextError).
class TVXTextWriter {
 public:
  explicit TVXTextWriter(const std::string& Header);

  void BeginSection(TVXSectionKind Kind);
  void EndSection();
  // "Key=Value".
  void Key(const std::string& Key, const std::string& Value);
  // "Key=<decimal>".
  void Key(const std::string& Key, int Value);
  // A bare line: a media path of the Bitmaps or Sounds section.
  void Entry(const std::string& Line);
  // "SOT" in the Global section.
  void StayOnTop();
  // One "Fontstyle=" line per style set, in the written order Bold, Italic, Underline, StrikeOut.
  void FontStyles(bool Bold, bool Italic, bool Underline, bool StrikeOut);

  [[nodiscard]] TStringList& Lines() { return FLines; }
  [[nodiscard]] std::string Text() const { return FLines.Text(); }
  // Writes the lines with CR LF endings, replacing the file atomically.
  void SaveToFile(const std::string& FileName) const;

 private:
  void CheckLine(const std::string& What, const std::string& Text) const;
  TStringList FLines;
  bool FInSection = false;
};

// What a reader does with the sections it knows. Each handler is optional.
struct TVXSectionHandlers {
  // Called after the opener, before the first line of a section.
  std::function<void(TVXSectionKind Kind)> OnBegin;
  // Called for every line of the section (the "end" line excluded).
  std::function<void(TVXSectionKind Kind, const std::string& Line)> OnLine;
  // Called after the section's "end" line.
  std::function<void(TVXSectionKind Kind)> OnEnd;
};

// Walks Lines as both readers do: from the second line on, a line whose key is "Object" and whose
// value is one of Known opens that section; its lines are handed to the handlers up to the first line
// that is exactly "end", and the walk continues after it. Lines outside known sections are passed over
// (so an "Object" line inside a section of an unknown kind opens a section).
// A text that is not a project raises EProjectTextError: an "Object" line before the "end" of a section
// being read, a section without its "end", or no section of a known kind at all. Each is found where
// the walk reaches it, so what the handlers did until then stays done. An error raised by a handler
// propagates with its place put before its message: FileName, the line number (from 1) and the line's
// key. Lines may be changed by the handlers only by appending.
void ReadProjectSections(const TStrings& Lines, const std::vector<TVXSectionKind>& Known,
                         const TVXSectionHandlers& Handlers, const std::string& FileName = "");
// The kinds the designer's load reads, in the order it tests them (all of them).
[[nodiscard]] const std::vector<TVXSectionKind>& ProjectReaderKinds();
// The kinds the runtime's configuration reader reads (all but Sounds).
[[nodiscard]] const std::vector<TVXSectionKind>& RuntimeReaderKinds();
