#include "platform/rtl/Lists.h"

#include <algorithm>

#include "platform/rtl/FileUtils.h"

namespace {

std::string IndexMessage(int Index) {
  return "Der Index der Liste überschreitet das Maximum (" + std::to_string(Index) + ")";
}

}  // namespace

void ListIndexError(int Index) {
  throw EListError(IndexMessage(Index));
}
void StringListIndexError(int Index) {
  throw EStringListError(IndexMessage(Index));
}

// ---- TList --------------------------------------------------------------------------------------

void TList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) ListIndexError(Index);
}

void* TList::Items(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)];
}

void TList::SetItems(int Index, void* Item) {
  CheckIndex(Index);
  FList[static_cast<size_t>(Index)] = Item;
}

void TList::SetCapacity(int NewCapacity) {
  if (NewCapacity < Count())
    throw EListError("Ungültige Kapazität der Liste (" + std::to_string(NewCapacity) + ")");
  FList.reserve(static_cast<size_t>(NewCapacity));
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0) throw EListError("Ungültige Anzahl der Liste (" + std::to_string(NewCount) + ")");
  FList.resize(static_cast<size_t>(NewCount), nullptr);
}

int TList::Add(void* Item) {
  FList.push_back(Item);
  return Count() - 1;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > Count()) ListIndexError(Index);
  FList.insert(FList.begin() + Index, Item);
}

void TList::Delete(int Index) {
  CheckIndex(Index);
  FList.erase(FList.begin() + Index);
}

int TList::Remove(void* Item) {
  const int i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

void* TList::Extract(void* Item) {
  return Remove(Item) >= 0 ? Item : nullptr;
}

int TList::IndexOf(void* Item) const {
  auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void TList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  void* item = FList[static_cast<size_t>(CurIndex)];
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, item);
}

void TList::Pack() {
  FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end());
}

void TList::Sort(const TListSortCompare& Compare) {
  std::stable_sort(FList.begin(), FList.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Clear() {
  FList.clear();
  FList.shrink_to_fit();
}

// ---- TStrings -----------------------------------------------------------------------------------

void TStrings::SetStrings(int Index, const std::string& S) {
  TObject* object = Objects(Index);
  Delete(Index);
  InsertObject(Index, S, object);
}

TObject* TStrings::Objects(int) const {
  return nullptr;
}

void TStrings::SetObjects(int, TObject*) {}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject) {
  Insert(Index, S);
  SetObjects(Index, AObject);
}

int TStrings::Add(const std::string& S) {
  const int i = Count();
  Insert(i, S);
  return i;
}

int TStrings::AddObject(const std::string& S, TObject* AObject) {
  const int i = Add(S);
  SetObjects(i, AObject);
  return i;
}

void TStrings::AddStrings(const TStrings* Strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < Strings->Count(); ++i)
      AddObject(Strings->Strings(i), Strings->Objects(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::CompareStrings(const std::string& S1, const std::string& S2) const {
  return FCaseSensitive ? CompareStr(S1, S2) : CompareText(S1, S2);
}

int TStrings::IndexOf(const std::string& S) const {
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(Strings(i), S) == 0) return i;
  return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
  for (int i = 0; i < Count(); ++i)
    if (Objects(i) == AObject) return i;
  return -1;
}

int TStrings::IndexOfName(const std::string& Name) const {
  for (int i = 0; i < Count(); ++i) {
    const std::string s = Strings(i);
    const size_t eq = s.find('=');
    if (eq != std::string::npos && CompareStrings(s.substr(0, eq), Name) == 0) return i;
  }
  return -1;
}

std::string TStrings::Names(int Index) const {
  const std::string s = Strings(Index);
  const size_t eq = s.find('=');
  return eq == std::string::npos ? std::string() : s.substr(0, eq);
}

std::string TStrings::Values(const std::string& Name) const {
  const int i = IndexOfName(Name);
  if (i < 0) return {};
  const std::string s = Strings(i);
  return s.substr(s.find('=') + 1);
}

void TStrings::SetValues(const std::string& Name, const std::string& Value) {
  int i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  if (i < 0) i = Add("");
  SetStrings(i, Name + "=" + Value);
}

void TStrings::Exchange(int Index1, int Index2) {
  BeginUpdate();
  try {
    const std::string s1 = Strings(Index1);
    TObject* o1 = Objects(Index1);
    SetStrings(Index1, Strings(Index2));
    SetObjects(Index1, Objects(Index2));
    SetStrings(Index2, s1);
    SetObjects(Index2, o1);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  // Both indexes are checked before anything is taken out, so a bad move loses no line.
  if (NewIndex < 0 || NewIndex >= Count()) StringListIndexError(NewIndex);
  BeginUpdate();
  try {
    const std::string s = Strings(CurIndex);
    TObject* o = Objects(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

bool TStrings::Equals(const TStrings* Strings) const {
  if (Strings == nullptr || Count() != Strings->Count()) return false;
  for (int i = 0; i < Count(); ++i)
    if (this->Strings(i) != Strings->Strings(i)) return false;
  return true;
}

std::string TStrings::Text() const {
  std::string r;
  for (int i = 0; i < Count(); ++i)
    r += Strings(i) + "\r\n";
  return r;
}

namespace {

std::vector<std::string> SplitLines(const std::string& Value) {
  // A line ends at CR, LF or CRLF; the end of the text ends the last line without adding an empty one.
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < Value.size()) {
    const size_t start = i;
    while (i < Value.size() && Value[i] != '\r' && Value[i] != '\n')
      ++i;
    lines.push_back(Value.substr(start, i - start));
    if (i < Value.size() && Value[i] == '\r') ++i;
    if (i < Value.size() && Value[i] == '\n') ++i;
  }
  return lines;
}

}  // namespace

void TStrings::SetText(const std::string& Value) {
  BeginUpdate();
  try {
    Clear();
    for (const std::string& line : SplitLines(Value))
      Add(line);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string r;
  for (int i = 0; i < Count(); ++i) {
    const std::string s = Strings(i);
    if (i > 0) r += ',';
    const bool quote = s.empty() || std::any_of(s.begin(), s.end(), [](char c) {
                         return static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"';
                       });
    if (!quote) {
      r += s;
      continue;
    }
    r += '"';
    for (char c : s) {
      if (c == '"') r += '"';
      r += c;
    }
    r += '"';
  }
  return r;
}

void TStrings::SetCommaText(const std::string& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0;
    auto skipBlanks = [&] {
      while (i < Value.size() && static_cast<unsigned char>(Value[i]) <= ' ')
        ++i;
    };
    skipBlanks();
    while (i < Value.size()) {
      std::string item;
      if (Value[i] == '"') {
        ++i;
        while (i < Value.size()) {
          if (Value[i] == '"') {
            if (i + 1 < Value.size() && Value[i + 1] == '"') {
              item += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          item += Value[i++];
        }
      } else {
        while (i < Value.size() && static_cast<unsigned char>(Value[i]) > ' ' && Value[i] != ',')
          item += Value[i++];
      }
      Add(item);
      skipBlanks();
      if (i < Value.size() && Value[i] == ',') {
        ++i;
        skipBlanks();
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::LoadFromStream(TStream* Stream) {
  const int64_t size = Stream->Size() - Stream->Position();
  std::string data(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
  if (!data.empty()) Stream->ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
  // The text is taken as UTF-8 when the whole of it is UTF-8, else as the system's 8-bit code page:
  // one decision for the whole text, so a line never changes its meaning with the lines around it.
  if (!IsUtf8(data)) data = AnsiToUtf8(data);
  SetText(data);
}

void TStrings::SaveToStream(TStream* Stream) const {
  Stream->WriteString(Text());
}

void TStrings::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead);
  if (stream.Size() > MaxProjectTextSize)
    throw EFOpenError("Datei " + FileName + " kann nicht geöffnet werden. Die Datei ist größer als " +
                      IntToStr(MaxProjectTextSize >> 20) + " MiB");
  LoadFromStream(&stream);
}

void TStrings::SaveToFile(const std::string& FileName) const {
  AtomicWriteFile(FileName, Text());
}

void TStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::SetCaseSensitive(bool Value) {
  FCaseSensitive = Value;
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* strings = dynamic_cast<TStrings*>(Source)) {
    if (strings == this) return;
    BeginUpdate();
    try {
      Clear();
      AddStrings(strings);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

// ---- TStringList --------------------------------------------------------------------------------

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= Count()) StringListIndexError(Index);
}

std::string TStringList::Strings(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].S;
}

void TStringList::SetStrings(int Index, const std::string& S) {
  if (FSorted) throw EStringListError("Operation bei sortierten Listen nicht zulässig");
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].S = S;
  Changed();
}

TObject* TStringList::Objects(int Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)].Object;
}

void TStringList::SetObjects(int Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  FList[static_cast<size_t>(Index)].Object = AObject;
  Changed();
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject) {
  Changing();
  FList.insert(FList.begin() + Index, Item{S, AObject});
  Changed();
}

void TStringList::Insert(int Index, const std::string& S) {
  InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject) {
  if (FSorted) throw EStringListError("Operation bei sortierten Listen nicht zulässig");
  if (Index < 0 || Index > Count()) StringListIndexError(Index);
  InsertItem(Index, S, AObject);
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  Changing();
  FList.erase(FList.begin() + Index);
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  FList.clear();
  Changed();
}

int TStringList::Add(const std::string& S) {
  return AddObject(S, nullptr);
}

int TStringList::AddObject(const std::string& S, TObject* AObject) {
  int index = Count();
  if (FSorted && Find(S, index)) {
    if (FDuplicates == TDuplicates::dupIgnore) return index;
    if (FDuplicates == TDuplicates::dupError) throw EStringListError("Stringliste erlaubt keine Duplikate");
  }
  InsertItem(index, S, AObject);
  return index;
}

bool TStringList::Find(const std::string& S, int& Index) const {
  int lo = 0;
  int hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = CompareStrings(FList[static_cast<size_t>(mid)].S, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != TDuplicates::dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

int TStringList::IndexOf(const std::string& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  int index;
  return Find(S, index) ? index : -1;
}

void TStringList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
  Changed();
}

void TStringList::Sort() {
  CustomSort([](TStringList* list, int a, int b) {
    return list->CompareStrings(list->FList[static_cast<size_t>(a)].S, list->FList[static_cast<size_t>(b)].S);
  });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  if (FList.size() < 2) return;
  Changing();
  // Sort indexes with the caller's comparison, then rearrange.
  std::vector<int> order(FList.size());
  for (size_t i = 0; i < order.size(); ++i)
    order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(FList.size());
  for (int i : order)
    sorted.push_back(FList[static_cast<size_t>(i)]);
  FList = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (FSorted == Value) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  if (FSorted) Sort();
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}
