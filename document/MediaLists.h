// The media lists of a browser composition and the z-order list: the pictures, loaded once and looked
// up by path; the sound entries, "<NoSound>" always first; and the (z value, control) pairs collected
// while a project text is read, raised afterwards in ascending order.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/FileUtils.h"

class TControl;

// The file name part of a media path: the text after its last "\" or "/".
[[nodiscard]] std::string MediaFileName(const std::string& Path);

// Pictures keyed by the path they were loaded from; the list owns them. Two paths are one entry when
// they name the same file (SameFile): a name that differs only in letter case and resolves to a listed
// file finds it, while two existing files whose names differ only in case are two entries. Lookups go
// through an index of the entries' files, so they cost the same however long the list is.
class TVXBitmaps : public TComponent {
 public:
  explicit TVXBitmaps(TComponent* AOwner);
  ~TVXBitmaps() override;

  // Loads the file at Path (".JPG" through the JPEG picture, anything else as a Windows bitmap) into
  // the entry of Path, appending one when it is not listed, and returns the entry's bitmap. A listed
  // entry is reloaded in place, so its bitmap shows the file's current content. When the file cannot
  // be loaded the list stays as it was (no new entry, an old entry keeps its picture) and the load's
  // error propagates.
  TBitmap* Add(const std::string& Path);
  // Frees the entry's bitmap and removes the entry.
  void Delete(int Index);
  // An index outside the list raises the string list's index error.
  [[nodiscard]] TBitmap* GetBitmap(int Index) const;
  [[nodiscard]] std::string GetPath(int Index) const;
  [[nodiscard]] int Count() const { return FPaths.Count(); }
  // The file name of each path, in list order (owned by the list).
  [[nodiscard]] TStringList* GetNames() { return &FNames; }
  // The index of the entry naming the same file as Path (an exactly equal path first), -1 when absent.
  [[nodiscard]] int IndexOf(const std::string& Path) const;
  void UpdateNames();

 private:
  TStringList FPaths;  // each entry's object is its TBitmap, owned here
  TFileIndex FFiles;   // the same paths, indexed by file
  TStringList FNames;
};

// Sound entries: plain strings, no file is opened. Entry 0 is always "<NoSound>". Paths are one entry
// when they name the same file, as in TVXBitmaps; "<NoSound>" is found in any letter case.
class TVXSounds : public TComponent {
 public:
  explicit TVXSounds(TComponent* AOwner);

  // Appends Path unless it is listed already.
  void Add(const std::string& Path);
  void Delete(int Index);
  [[nodiscard]] std::string GetPath(int Index) const { return FPaths.Strings(Index); }
  [[nodiscard]] int Count() const { return FPaths.Count(); }
  [[nodiscard]] TStringList* GetNames() { return &FNames; }
  [[nodiscard]] int IndexOf(const std::string& Path) const;
  void UpdateNames();

 private:
  TStringList FPaths;
  TFileIndex FFiles;  // the same entries, indexed by file
  TStringList FNames;
};

// Collects (z value, control) pairs and raises the controls in ascending z order; pairs of equal value
// keep the order they were added in, so the last added of them ends in front.
class TZOrderer : public TObject {
 public:
  TZOrderer() = default;

  void Add(TControl* Control, int Z);
  // Sorts the pairs (stable) and brings each control to the front in that order; the pairs stay.
  void Apply();
  [[nodiscard]] int Count() const { return static_cast<int>(FPairs.size()); }
  [[nodiscard]] int ZValue(int Index) const;
  [[nodiscard]] TControl* Control(int Index) const;

 private:
  using TPair = std::pair<int, TControl*>;
  std::vector<TPair> FPairs;
};
