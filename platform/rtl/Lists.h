// Lists: TList of pointers, the abstract TStrings and the TStringList that stores them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/Objects.h"
#include "platform/rtl/Streams.h"

// Raises EListError/EStringListError with "Der Index der Liste überschreitet das Maximum (%d)".
[[noreturn]] void ListIndexError(int Index);
[[noreturn]] void StringListIndexError(int Index);

enum class TListNotification { lnAdded, lnExtracted, lnDeleted };

// A list of untyped pointers; indexes are checked (EListError).
class TList : public TObject {
 public:
  using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

  [[nodiscard]] int Count() const { return static_cast<int>(FList.size()); }
  [[nodiscard]] void* Items(int Index) const;
  void SetItems(int Index, void* Item);
  [[nodiscard]] int Capacity() const { return static_cast<int>(FList.capacity()); }
  void SetCapacity(int NewCapacity);
  void SetCount(int NewCount);

  int Add(void* Item);
  void Insert(int Index, void* Item);
  void Delete(int Index);
  // Index of the removed item, -1 when it is not in the list.
  int Remove(void* Item);
  // Removes Item and returns it, nullptr when absent.
  void* Extract(void* Item);
  [[nodiscard]] int IndexOf(void* Item) const;
  void Exchange(int Index1, int Index2);
  void Move(int CurIndex, int NewIndex);
  [[nodiscard]] void* First() const { return Items(0); }
  [[nodiscard]] void* Last() const { return Items(Count() - 1); }
  // Removes the nullptr items.
  void Pack();
  // A stable sort by Compare (negative, 0, positive).
  void Sort(const TListSortCompare& Compare);
  virtual void Clear();
  [[nodiscard]] const std::vector<void*>& List() const { return FList; }

 private:
  void CheckIndex(int Index) const;
  std::vector<void*> FList;
};

// A list of strings, each with an object that is not owned. Indexes are checked (EStringListError).
// Operations besides storage are written on the virtual storage operations, so controls can keep their
// items elsewhere.
class TStrings : public TPersistent {
 public:
  [[nodiscard]] virtual int Count() const = 0;
  [[nodiscard]] virtual std::string Strings(int Index) const = 0;
  virtual void SetStrings(int Index, const std::string& S);
  [[nodiscard]] virtual TObject* Objects(int Index) const;
  virtual void SetObjects(int Index, TObject* AObject);
  virtual void Insert(int Index, const std::string& S) = 0;
  virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
  virtual void Delete(int Index) = 0;
  virtual void Clear() = 0;

  virtual int Add(const std::string& S);
  int AddObject(const std::string& S, TObject* AObject);
  void Append(const std::string& S) { Add(S); }
  void AddStrings(const TStrings* Strings);
  // First index of S ignoring ASCII case (exact case when CaseSensitive), -1 when absent.
  [[nodiscard]] virtual int IndexOf(const std::string& S) const;
  [[nodiscard]] int IndexOfObject(const TObject* AObject) const;
  // "Name=Value" lines: the index of the line whose name is Name (ignoring case), -1 when absent.
  [[nodiscard]] int IndexOfName(const std::string& Name) const;
  [[nodiscard]] std::string Names(int Index) const;
  [[nodiscard]] std::string Values(const std::string& Name) const;
  // Sets or adds "Name=Value"; an empty Value deletes the line.
  void SetValues(const std::string& Name, const std::string& Value);
  virtual void Exchange(int Index1, int Index2);
  // Both indexes are checked before anything changes (EStringListError).
  virtual void Move(int CurIndex, int NewIndex);
  [[nodiscard]] bool Equals(const TStrings* Strings) const;

  // Lines joined with CRLF, each line ended (the class library's Text).
  [[nodiscard]] std::string Text() const;
  // Splits at CR, LF or CRLF; a final line break adds no empty line.
  virtual void SetText(const std::string& Value);
  [[nodiscard]] std::string CommaText() const;
  void SetCommaText(const std::string& Value);

  // Reads the rest of the stream as text: UTF-8 when all of it is well-formed UTF-8, else Windows-1252,
  // which is turned into UTF-8 (AnsiToUtf8).
  virtual void LoadFromStream(TStream* Stream);
  virtual void SaveToStream(TStream* Stream) const;
  // Raises EFOpenError for a missing file, one that is no regular file (TFileStream) and one larger than
  // MaxProjectTextSize (its message then says so): the lists read from files are project texts.
  virtual void LoadFromFile(const std::string& FileName);
  // Writes CRLF line ends, atomically; the text is written as it is held, UTF-8.
  virtual void SaveToFile(const std::string& FileName) const;

  void BeginUpdate();
  void EndUpdate();
  [[nodiscard]] int UpdateCount() const { return FUpdateCount; }
  [[nodiscard]] bool CaseSensitive() const { return FCaseSensitive; }
  virtual void SetCaseSensitive(bool Value);

  void Assign(TPersistent* Source) override;

 protected:
  // Called with true when the first BeginUpdate starts an update and with false when the last
  // EndUpdate ends it.
  virtual void SetUpdateState(bool Updating) {}
  [[nodiscard]] int CompareStrings(const std::string& S1, const std::string& S2) const;

  bool FCaseSensitive = false;

 private:
  int FUpdateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

// Strings kept in a vector, optionally sorted (ignoring case unless CaseSensitive).
class TStringList : public TStrings {
 public:
  using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

  [[nodiscard]] int Count() const override { return static_cast<int>(FList.size()); }
  [[nodiscard]] std::string Strings(int Index) const override;
  void SetStrings(int Index, const std::string& S) override;
  [[nodiscard]] TObject* Objects(int Index) const override;
  void SetObjects(int Index, TObject* AObject) override;
  void Insert(int Index, const std::string& S) override;
  void InsertObject(int Index, const std::string& S, TObject* AObject) override;
  void Delete(int Index) override;
  void Clear() override;
  // On a sorted list the string goes to its sorted place (duplicates as Duplicates says).
  int Add(const std::string& S) override;
  int AddObject(const std::string& S, TObject* AObject);
  [[nodiscard]] int IndexOf(const std::string& S) const override;
  void Exchange(int Index1, int Index2) override;

  // Binary search on a sorted list: true when found; Index is the match or the insertion place.
  bool Find(const std::string& S, int& Index) const;
  void Sort();
  void CustomSort(const TStringListSortCompare& Compare);
  [[nodiscard]] bool Sorted() const { return FSorted; }
  void SetSorted(bool Value);
  [[nodiscard]] TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  void SetCaseSensitive(bool Value) override;

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool Updating) override;
  virtual void Changed();
  virtual void Changing();

 private:
  struct Item {
    std::string S;
    TObject* Object = nullptr;
  };
  void CheckIndex(int Index) const;
  void InsertItem(int Index, const std::string& S, TObject* AObject);
  std::vector<Item> FList;
  bool FSorted = false;
  TDuplicates FDuplicates = TDuplicates::dupIgnore;
};
