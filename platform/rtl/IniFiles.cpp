#include "platform/rtl/IniFiles.h"

#include "platform/rtl/FileUtils.h"

namespace {

bool IsSectionLine(const std::string& Line, std::string& Name) {
  const std::string t = Trim(Line);
  if (t.size() < 2 || t.front() != '[') return false;
  const size_t close = t.find(']');
  if (close == std::string::npos) return false;
  Name = Trim(t.substr(1, close - 1));
  return true;
}

bool IsKeyLine(const std::string& Line, std::string& Key, std::string& Value) {
  const std::string t = TrimLeft(Line);
  if (t.empty() || t[0] == ';' || t[0] == '[') return false;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  Key = Trim(t.substr(0, eq));
  Value = Trim(t.substr(eq + 1));
  // A value in matching quotes loses them, as the system's ini reader does.
  if (Value.size() >= 2 && (Value.front() == '"' || Value.front() == '\'') && Value.back() == Value.front())
    Value = Value.substr(1, Value.size() - 2);
  return !Key.empty();
}

void CheckSingleLine(const std::string& Text) {
  if (Text.find_first_of("\r\n") != std::string::npos)
    throw EInOutError("Ein Zeilenumbruch ist in '" + Text + "' nicht zulässig");
}

}  // namespace

// ---- TIniText -----------------------------------------------------------------------------------

void TIniText::SetText(const std::string& Text) {
  TStringList lines;
  lines.SetText(Text);
  FLines.clear();
  for (int i = 0; i < lines.Count(); ++i)
    FLines.push_back(lines.Strings(i));
}

void TIniText::LoadFromFile(const std::string& FileName) {
  std::string content;
  const int error = ReadFileIfPresent(FileName, content, MaxStoreSize);
  FReadError = error > 0 ? SysErrorMessage(static_cast<uint32_t>(error)) : std::string();
  SetText(content);
}

std::string TIniText::RefusedWrite(const std::string& FileName) const {
  if (FReadError.empty()) return {};
  return "Datei " + FileName + " kann nicht gelesen werden (" + FReadError + ") und bleibt unverändert";
}

std::string TIniText::Text() const {
  std::string r;
  for (const std::string& line : FLines)
    r += line + "\r\n";
  return r;
}

bool TIniText::FindSection(const std::string& Section, size_t& First, size_t& Last) const {
  std::string name;
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (!IsSectionLine(FLines[i], name) || !SameText(name, Section)) continue;
    First = i + 1;
    Last = First;
    while (Last < FLines.size() && !IsSectionLine(FLines[Last], name))
      ++Last;
    return true;
  }
  return false;
}

int TIniText::FindKey(size_t First, size_t Last, const std::string& Ident) const {
  std::string key, value;
  for (size_t i = First; i < Last; ++i)
    if (IsKeyLine(FLines[i], key, value) && SameText(key, Ident)) return static_cast<int>(i);
  return -1;
}

bool TIniText::SectionExists(const std::string& Section) const {
  size_t first, last;
  return FindSection(Section, first, last);
}

bool TIniText::ValueExists(const std::string& Section, const std::string& Ident) const {
  std::string value;
  return ReadValue(Section, Ident, value);
}

bool TIniText::ReadValue(const std::string& Section, const std::string& Ident, std::string& Value) const {
  size_t first, last;
  if (!FindSection(Section, first, last)) return false;
  const int i = FindKey(first, last, Ident);
  if (i < 0) return false;
  std::string key;
  return IsKeyLine(FLines[static_cast<size_t>(i)], key, Value);
}

void TIniText::AddSection(const std::string& Section) {
  if (SectionExists(Section)) return;
  if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.emplace_back();
  FLines.push_back("[" + Section + "]");
}

void TIniText::WriteValue(const std::string& Section, const std::string& Ident, const std::string& Value) {
  CheckSingleLine(Section);
  CheckSingleLine(Ident);
  CheckSingleLine(Value);
  const std::string line = Ident + "=" + Value;
  size_t first, last;
  if (!FindSection(Section, first, last)) {
    AddSection(Section);
    FLines.push_back(line);
    return;
  }
  const int i = FindKey(first, last, Ident);
  if (i >= 0) {
    FLines[static_cast<size_t>(i)] = line;
    return;
  }
  // After the section's last non-blank line.
  size_t at = last;
  while (at > first && Trim(FLines[at - 1]).empty())
    --at;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), line);
}

std::vector<std::string> TIniText::Sections() const {
  std::vector<std::string> names;
  std::string name;
  for (const std::string& line : FLines)
    if (IsSectionLine(line, name)) names.push_back(name);
  return names;
}

std::vector<std::pair<std::string, std::string>> TIniText::SectionValues(const std::string& Section) const {
  std::vector<std::pair<std::string, std::string>> values;
  size_t first, last;
  if (!FindSection(Section, first, last)) return values;
  std::string key, value;
  for (size_t i = first; i < last; ++i)
    if (IsKeyLine(FLines[i], key, value)) values.emplace_back(key, value);
  return values;
}

void TIniText::EraseSection(const std::string& Section) {
  size_t first, last;
  while (FindSection(Section, first, last))
    FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(first - 1),
                 FLines.begin() + static_cast<std::ptrdiff_t>(last));
}

void TIniText::DeleteKey(const std::string& Section, const std::string& Ident) {
  size_t first, last;
  if (!FindSection(Section, first, last)) return;
  const int i = FindKey(first, last, Ident);
  if (i >= 0) FLines.erase(FLines.begin() + i);
}

// ---- TIniFile -----------------------------------------------------------------------------------

TIniText TIniFile::Load() const {
  TIniText text;
  text.LoadFromFile(FFileName);
  return text;
}

TIniText TIniFile::LoadForWrite() const {
  TIniText text = Load();
  if (const std::string refused = text.RefusedWrite(FFileName); !refused.empty())
    throw EIniFileException(refused);
  return text;
}

void TIniFile::Store(const TIniText& Text) {
  AtomicWriteFile(FFileName, Text.Text());
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
  std::string value;
  return Load().ReadValue(Section, Ident, value) ? value : Default;
}

int TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int Default) const {
  return StrToIntDef(ReadString(Section, Ident, ""), Default);
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
  TIniText text = LoadForWrite();
  text.WriteValue(Section, Ident, Value);
  Store(text);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

bool TIniFile::SectionExists(const std::string& Section) const {
  return Load().SectionExists(Section);
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
  return Load().ValueExists(Section, Ident);
}

void TIniFile::ReadSection(const std::string& Section, TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  for (const auto& [key, value] : Load().SectionValues(Section))
    Strings->Add(key);
  Strings->EndUpdate();
}

void TIniFile::ReadSections(TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  for (const std::string& name : Load().Sections())
    Strings->Add(name);
  Strings->EndUpdate();
}

void TIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) const {
  Strings->BeginUpdate();
  Strings->Clear();
  for (const auto& [key, value] : Load().SectionValues(Section))
    Strings->Add(key + "=" + value);
  Strings->EndUpdate();
}

void TIniFile::EraseSection(const std::string& Section) {
  TIniText text = LoadForWrite();
  text.EraseSection(Section);
  Store(text);
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  TIniText text = LoadForWrite();
  text.DeleteKey(Section, Ident);
  Store(text);
}
