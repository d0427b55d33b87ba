// Ini files: "[Section]" headers and "Key=Value" lines, names ignoring letter case.
#pragma once

#include <string>
#include <vector>

#include "platform/rtl/Lists.h"
#include "platform/rtl/Objects.h"
#include "platform/rtl/SysUtils.h"

PELLORAN_EXCEPTION(EIniFileException, Exception)

// The text of an ini file as lines, with the lookups and edits TIniFile and the registry store share.
// Keys and values are trimmed of blanks when read; lines that are neither sections nor keys (comments,
// blank lines) are kept as they are. When a section or key appears twice, the first one counts.
class TIniText {
 public:
  void SetText(const std::string& Text);
  // Reads FileName through the path resolver; a missing file gives an empty text. A file that is there
  // but cannot be read (no permission, a folder, a link to nothing, a failed read) gives an empty text
  // too, and the reason is kept: writing that text back would replace the file with nothing but the
  // new value, so writers ask RefusedWrite first.
  void LoadFromFile(const std::string& FileName);
  // When the last LoadFromFile could not read its file: the message of a refused write, that FileName
  // cannot be read (and why) and is left as it is. "" when it could be read or nothing was there.
  [[nodiscard]] std::string RefusedWrite(const std::string& FileName) const;
  // The lines joined with CRLF.
  [[nodiscard]] std::string Text() const;

  [[nodiscard]] bool SectionExists(const std::string& Section) const;
  [[nodiscard]] bool ValueExists(const std::string& Section, const std::string& Ident) const;
  // True and Value set when the key exists.
  bool ReadValue(const std::string& Section, const std::string& Ident, std::string& Value) const;
  // Replaces the first such key or appends it to the section (or a new section at the end).
  void WriteValue(const std::string& Section, const std::string& Ident, const std::string& Value);
  void AddSection(const std::string& Section);
  [[nodiscard]] std::vector<std::string> Sections() const;
  // Keys of the section in file order, and their values.
  [[nodiscard]] std::vector<std::pair<std::string, std::string>> SectionValues(
      const std::string& Section) const;
  void EraseSection(const std::string& Section);
  void DeleteKey(const std::string& Section, const std::string& Ident);

 private:
  // Index range [first, last) of the body lines of the first section of that name; false when absent.
  bool FindSection(const std::string& Section, size_t& First, size_t& Last) const;
  [[nodiscard]] int FindKey(size_t First, size_t Last, const std::string& Ident) const;
  std::vector<std::string> FLines;
  std::string FReadError;
};

// An ini file read and written through the path resolver. Every read looks at the file as it is now;
// every write rewrites it atomically (so a failed write leaves the old file whole). Missing files,
// sections and keys, and values that do not convert, give the default; so does a file that cannot be
// read, which every write then refuses to replace (EIniFileException).
class TIniFile : public TObject {
 public:
  explicit TIniFile(const std::string& FileName) : FFileName(FileName) {}
  [[nodiscard]] const std::string& FileName() const { return FFileName; }

  [[nodiscard]] std::string ReadString(const std::string& Section, const std::string& Ident,
                                       const std::string& Default) const;
  [[nodiscard]] int ReadInteger(const std::string& Section, const std::string& Ident, int Default) const;
  [[nodiscard]] bool ReadBool(const std::string& Section, const std::string& Ident, bool Default) const;
  // Values may not contain line breaks (EInOutError): they would split the line.
  void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value);
  void WriteInteger(const std::string& Section, const std::string& Ident, int Value);
  void WriteBool(const std::string& Section, const std::string& Ident, bool Value);

  [[nodiscard]] bool SectionExists(const std::string& Section) const;
  [[nodiscard]] bool ValueExists(const std::string& Section, const std::string& Ident) const;
  void ReadSection(const std::string& Section, TStrings* Strings) const;
  void ReadSections(TStrings* Strings) const;
  void ReadSectionValues(const std::string& Section, TStrings* Strings) const;
  void EraseSection(const std::string& Section);
  void DeleteKey(const std::string& Section, const std::string& Ident);
  // Writes are immediate; nothing to flush.
  void UpdateFile() {}

 private:
  [[nodiscard]] TIniText Load() const;
  // The text to change: raises EIniFileException when the file is there but cannot be read.
  [[nodiscard]] TIniText LoadForWrite() const;
  void Store(const TIniText& Text);
  std::string FFileName;
};
