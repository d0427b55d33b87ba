#include "platform/rtl/Registry.h"

#include <cstdlib>
#include <mutex>

#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"

namespace {

// One lock for every access to the store of this process.
std::mutex& StoreLock() {
  static std::mutex lock;
  return lock;
}

TIniText LoadStore() {
  TIniText text;
  text.LoadFromFile(TRegistry::StoreFileName());
  return text;
}

void SaveStore(const TIniText& Text) {
  const std::string file = TRegistry::StoreFileName();
  if (const std::string refused = Text.RefusedWrite(file); !refused.empty())
    throw ERegistryException(refused);
  ForceDirectories(ExtractFileDir(file));
  try {
    AtomicWriteFile(file, Text.Text());
  } catch (const EStreamError& e) {
    throw ERegistryException(e.Message);
  }
}

// "Software\\Pelloran\\" and "\Software\Pelloran" name the same key: separators single, none at the ends.
std::string NormaliseKey(const std::string& Key) {
  std::string r;
  for (char c : Key) {
    if (c == '/') c = '\\';
    if (c == '\\' && (r.empty() || r.back() == '\\')) continue;
    r += c;
  }
  while (!r.empty() && r.back() == '\\')
    r.pop_back();
  return r;
}

// True when Path is Key or one of its parents.
bool IsKeyOrParent(const std::string& Path, const std::string& Key) {
  return SameText(Path, Key) ||
         (Key.size() > Path.size() && Key[Path.size()] == '\\' && SameText(Key.substr(0, Path.size()), Path));
}

// The user's base folder that the environment variable Variable names (when it holds an absolute path),
// else Fallback below the home folder; with a trailing separator.
std::string UserFolder(const char* Variable, const char* Fallback) {
  if (const char* xdg = std::getenv(Variable); xdg != nullptr && xdg[0] == '/')
    return IncludeTrailingPathDelimiter(xdg);
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/" + Fallback + "/";
}

// The folder of the user's favourite addresses, made when it is first asked for:
// $XDG_DATA_HOME/Pelloran/Favorites (default ~/.local/share).
std::string FavoritesFolder() {
  const std::string folder = UserFolder("XDG_DATA_HOME", ".local/share") + "Pelloran/Favorites";
  ForceDirectories(folder);
  return folder;
}

// Values that the system always has, answered when the store holds none (a value written wins).
struct TBuiltInValue {
  const char* Key;
  const char* Name;
  std::string (*Value)();
};
constexpr TBuiltInValue BuiltInValues[] = {
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Favorites", FavoritesFolder},
};

bool ReadBuiltIn(const std::string& Path, const std::string& Name, std::string& Raw) {
  for (const TBuiltInValue& v : BuiltInValues) {
    if (!SameText(Path, v.Key) || !SameText(Name, v.Name)) continue;
    Raw = "sz:" + v.Value();
    return true;
  }
  return false;
}

bool KeyPresent(const TIniText& Store, const std::string& Path) {
  if (Path.empty()) return true;
  for (const TBuiltInValue& v : BuiltInValues)
    if (IsKeyOrParent(Path, v.Key)) return true;
  if (Store.SectionExists(Path)) return true;
  // A key with subkeys exists even when it has no values of its own.
  const std::string prefix = Path + "\\";
  for (const std::string& s : Store.Sections())
    if (s.size() > prefix.size() && SameText(s.substr(0, prefix.size()), prefix)) return true;
  return false;
}

[[noreturn]] void RaiseGetData(const std::string& Name) {
  throw ERegistryException("Fehler beim Lesen der Daten für '" + Name + "'");
}

[[noreturn]] void RaiseType(const std::string& Name) {
  throw ERegistryException("Ungültiger Datentyp für '" + Name + "'");
}

}  // namespace

TIniText TRegistry::Load() const {
  return FHeld ? *FHeld : LoadStore();
}

void TRegistry::Save(const TIniText& Text) {
  if (!FHeld) {
    SaveStore(Text);
    return;
  }
  if (const std::string refused = Text.RefusedWrite(StoreFileName()); !refused.empty())
    throw ERegistryException(refused);
  *FHeld = Text;
  FHeldChanged = true;
}

void TRegistry::BeginUpdate() {
  if (FUpdateCount++ > 0) return;
  std::lock_guard lock(StoreLock());
  FHeld = LoadStore();
  FHeldChanged = false;
}

void TRegistry::EndUpdate() {
  if (FUpdateCount == 0 || --FUpdateCount > 0) return;
  const TIniText held = std::move(*FHeld);
  const bool changed = FHeldChanged;
  FHeld.reset();
  if (!changed) return;
  std::lock_guard lock(StoreLock());
  SaveStore(held);
}

std::string TRegistry::StoreFileName() {
  return UserFolder("XDG_CONFIG_HOME", ".config") + "Pelloran/registry.ini";
}

void TRegistry::SetRootKey(HKEY Value) {
  if (FRootKey == Value) return;
  CloseKey();
  FRootKey = Value;
}

std::string TRegistry::FullPath(const std::string& Key) const {
  if (!Key.empty() && (Key[0] == '\\' || Key[0] == '/')) return NormaliseKey(Key);
  if (FCurrentPath.empty()) return NormaliseKey(Key);
  return NormaliseKey(FCurrentPath + "\\" + Key);
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  const std::string path = FullPath(Key);
  std::lock_guard lock(StoreLock());
  TIniText store = Load();
  if (!KeyPresent(store, path)) {
    if (!CanCreate) return false;
    store.AddSection(path);
    try {
      Save(store);
    } catch (const ERegistryException&) {
      return false;  // a key that cannot be created is not opened
    }
  }
  FCurrentPath = path;
  FKeyOpen = true;
  FReadOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  if (!OpenKey(Key, false)) return false;
  FReadOnly = true;
  return true;
}

void TRegistry::CloseKey() {
  FCurrentPath.clear();
  FKeyOpen = false;
  FReadOnly = false;
}

bool TRegistry::KeyExists(const std::string& Key) const {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  std::lock_guard lock(StoreLock());
  return KeyPresent(Load(), FullPath(Key));
}

bool TRegistry::DeleteKey(const std::string& Key) {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  const std::string path = FullPath(Key);
  if (path.empty()) return false;
  std::lock_guard lock(StoreLock());
  TIniText store = Load();
  if (!KeyPresent(store, path)) return false;
  const std::string prefix = path + "\\";
  for (const std::string& s : store.Sections())
    if (SameText(s, path) || (s.size() > prefix.size() && SameText(s.substr(0, prefix.size()), prefix)))
      store.EraseSection(s);
  Save(store);
  return true;
}

bool TRegistry::ReadRaw(const std::string& Name, std::string& Raw) const {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  std::lock_guard lock(StoreLock());
  return Load().ReadValue(FCurrentPath, Name, Raw) || ReadBuiltIn(FCurrentPath, Name, Raw);
}

void TRegistry::WriteRaw(const std::string& Name, const std::string& Raw) {
  if (FRootKey != HKEY_CURRENT_USER || FReadOnly)
    throw ERegistryException("Fehler beim Setzen der Daten für '" + Name + "'");
  std::lock_guard lock(StoreLock());
  TIniText store = Load();
  store.WriteValue(FCurrentPath, Name, Raw);
  Save(store);
}

bool TRegistry::ValueExists(const std::string& Name) const {
  std::string raw;
  return ReadRaw(Name, raw);
}

TRegDataType TRegistry::GetDataType(const std::string& Name) const {
  std::string raw;
  if (!ReadRaw(Name, raw)) return TRegDataType::rdUnknown;
  if (raw.rfind("sz:", 0) == 0) return TRegDataType::rdString;
  if (raw.rfind("dword:", 0) == 0) {
    int v;
    return TryStrToInt(raw.substr(6), v) ? TRegDataType::rdInteger : TRegDataType::rdUnknown;
  }
  return TRegDataType::rdUnknown;
}

bool TRegistry::DeleteValue(const std::string& Name) {
  if (FRootKey != HKEY_CURRENT_USER || FReadOnly) return false;
  std::lock_guard lock(StoreLock());
  TIniText store = Load();
  if (!store.ValueExists(FCurrentPath, Name)) return false;
  store.DeleteKey(FCurrentPath, Name);
  Save(store);
  return true;
}

std::string TRegistry::ReadString(const std::string& Name) const {
  std::string raw;
  if (!ReadRaw(Name, raw)) return {};
  if (GetDataType(Name) != TRegDataType::rdString) RaiseType(Name);
  return raw.substr(3);
}

int TRegistry::ReadInteger(const std::string& Name) const {
  std::string raw;
  if (!ReadRaw(Name, raw)) RaiseGetData(Name);
  int v;
  if (raw.rfind("dword:", 0) != 0 || !TryStrToInt(raw.substr(6), v)) RaiseType(Name);
  return v;
}

bool TRegistry::ReadBool(const std::string& Name) const {
  return ReadInteger(Name) != 0;
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  WriteRaw(Name, "sz:" + Value);
}

void TRegistry::WriteInteger(const std::string& Name, int Value) {
  WriteRaw(Name, "dword:" + IntToStr(Value));
}

void TRegistry::WriteBool(const std::string& Name, bool Value) {
  WriteInteger(Name, Value ? 1 : 0);
}
