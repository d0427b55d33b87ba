#include "document/MediaLists.h"

#include <algorithm>

#include "document/ProjectText.h"
#include "platform/gdi/Jpeg.h"
#include "platform/rtl/FileUtils.h"
#include "platform/ui/Controls.h"

namespace {

// Reads the picture file at Path into a new bitmap; raises the load's error.
std::unique_ptr<TBitmap> LoadPicture(const std::string& Path) {
  auto bitmap = std::make_unique<TBitmap>();
  if (UpperCase(ExtractFileExt(Path)) == ".JPG") {
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Path);
    bitmap->Assign(&jpeg);
  } else {
    bitmap->LoadFromFile(Path);
  }
  return bitmap;
}

void FillNames(const TStringList& Paths, TStringList& Names) {
  Names.BeginUpdate();
  Names.Clear();
  for (int i = 0; i < Paths.Count(); ++i)
    Names.Add(MediaFileName(Paths.Strings(i)));
  Names.EndUpdate();
}

}  // namespace

std::string MediaFileName(const std::string& Path) {
  const auto cut = Path.find_last_of("\\/");
  return cut == std::string::npos ? Path : Path.substr(cut + 1);
}

// ---- TVXBitmaps ------------------------------------------------------------------------------------------

TVXBitmaps::TVXBitmaps(TComponent* AOwner) : TComponent(AOwner) {}

TVXBitmaps::~TVXBitmaps() {
  for (int i = 0; i < FPaths.Count(); ++i)
    delete FPaths.Objects(i);
  FPaths.Clear();
}

TBitmap* TVXBitmaps::Add(const std::string& Path) {
  // Decode first: a file that cannot be read changes nothing in the list.
  std::unique_ptr<TBitmap> loaded = LoadPicture(Path);
  const int index = IndexOf(Path);
  if (index >= 0) {
    auto* bitmap = static_cast<TBitmap*>(FPaths.Objects(index));
    bitmap->Assign(loaded.get());
    FFiles.Refresh(index);
    return bitmap;
  }
  TBitmap* bitmap = loaded.release();
  FPaths.AddObject(Path, bitmap);
  FFiles.Add(Path);
  // The names list follows the paths: one more name at its end.
  FNames.Add(MediaFileName(Path));
  return bitmap;
}

void TVXBitmaps::Delete(int Index) {
  TObject* bitmap = FPaths.Objects(Index);  // checks the index
  FPaths.Delete(Index);
  FFiles.Delete(Index);
  FNames.Delete(Index);
  delete bitmap;
}

int TVXBitmaps::IndexOf(const std::string& Path) const {
  return FFiles.IndexOf(Path);
}

TBitmap* TVXBitmaps::GetBitmap(int Index) const {
  return static_cast<TBitmap*>(FPaths.Objects(Index));
}

std::string TVXBitmaps::GetPath(int Index) const {
  return FPaths.Strings(Index);
}

void TVXBitmaps::UpdateNames() {
  FillNames(FPaths, FNames);
}

// ---- TVXSounds -------------------------------------------------------------------------------------------

TVXSounds::TVXSounds(TComponent* AOwner) : TComponent(AOwner) {
  Add(ProjectText::NoSound);
}

void TVXSounds::Add(const std::string& Path) {
  if (IndexOf(Path) >= 0) return;
  FPaths.Add(Path);
  FFiles.Add(Path);
  FNames.Add(MediaFileName(Path));
}

int TVXSounds::IndexOf(const std::string& Path) const {
  // "<NoSound>" names no file: it is compared as text, ignoring case.
  if (SameText(Path, ProjectText::NoSound)) return FPaths.IndexOf(Path);
  return FFiles.IndexOf(Path);
}

void TVXSounds::Delete(int Index) {
  FPaths.Delete(Index);
  FFiles.Delete(Index);
  FNames.Delete(Index);
}

void TVXSounds::UpdateNames() {
  FillNames(FPaths, FNames);
}

// ---- TZOrderer -------------------------------------------------------------------------------------------

void TZOrderer::Add(TControl* Control, int Z) {
  FPairs.emplace_back(Z, Control);
}

int TZOrderer::ZValue(int Index) const {
  return FPairs.at(static_cast<size_t>(Index)).first;
}

TControl* TZOrderer::Control(int Index) const {
  return FPairs.at(static_cast<size_t>(Index)).second;
}

void TZOrderer::Apply() {
  // A stable sort: pairs of equal values keep the order they were added in.
  std::stable_sort(FPairs.begin(), FPairs.end(),
                   [](const TPair& A, const TPair& B) { return A.first < B.first; });
  std::vector<TControl*> controls;
  controls.reserve(FPairs.size());
  for (const TPair& pair : FPairs)
    controls.push_back(pair.second);
  TControl::BringEachToFront(controls);
}
