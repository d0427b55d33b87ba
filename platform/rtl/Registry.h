// The registry of the current user, kept in an ini-style file per user:
// $XDG_CONFIG_HOME/Pelloran/registry.ini (default ~/.config/Pelloran/registry.ini). Each key is a
// section named by its path below HKEY_CURRENT_USER ("Software\Pelloran"); each value a line
// "Name=dword:<decimal>" or "Name=sz:<text>". The file is written atomically on every change, or once
// for a group of changes between BeginUpdate and EndUpdate. A store file that is there but cannot be
// read reads as empty and is never replaced: opening a key with CanCreate gives false, and writes raise.
// Values that the system always has are answered when the store holds none: "Favorites" under
// "Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders" is the folder
// $XDG_DATA_HOME/Pelloran/Favorites (default ~/.local/share), made when it is first read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Objects.h"

using HKEY = uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// Access to one key at a time. Only HKEY_CURRENT_USER has a store; other roots have no keys.
// ReadString gives "" for a missing value; ReadInteger and ReadBool raise ERegistryException for a
// missing value, and every read raises it for a value of another type.
class TRegistry : public TObject {
 public:
  TRegistry() = default;
  ~TRegistry() override { CloseKey(); }

  [[nodiscard]] HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY Value);
  // The open key's path ("" when none is open).
  [[nodiscard]] const std::string& CurrentPath() const { return FCurrentPath; }

  // A path starting with "\" is taken from the root, otherwise from the open key. Without CanCreate a
  // missing key is not opened (false).
  bool OpenKey(const std::string& Key, bool CanCreate);
  bool OpenKeyReadOnly(const std::string& Key);
  void CloseKey();
  [[nodiscard]] bool KeyExists(const std::string& Key) const;
  bool DeleteKey(const std::string& Key);

  [[nodiscard]] bool ValueExists(const std::string& Name) const;
  [[nodiscard]] TRegDataType GetDataType(const std::string& Name) const;
  bool DeleteValue(const std::string& Name);
  [[nodiscard]] std::string ReadString(const std::string& Name) const;
  [[nodiscard]] int ReadInteger(const std::string& Name) const;
  // True for any non-zero integer.
  [[nodiscard]] bool ReadBool(const std::string& Name) const;
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteInteger(const std::string& Name, int Value);
  // Stored as the integer 0 or 1.
  void WriteBool(const std::string& Name, bool Value);

  // Changes made until the matching EndUpdate (pairs nest) are held and reach the store in one write
  // at EndUpdate, which raises ERegistryException when that write fails. Reads see the held changes.
  // Changes still held when the registry is destroyed are dropped.
  void BeginUpdate();
  void EndUpdate();

  // The store's file.
  [[nodiscard]] static std::string StoreFileName();

 private:
  // The store as this registry sees it: the held text during an update, else the file's.
  [[nodiscard]] TIniText Load() const;
  // Writes Text as the new store (or holds it during an update); raises ERegistryException when the
  // store file cannot be read (it is not replaced) or written.
  void Save(const TIniText& Text);
  [[nodiscard]] std::string FullPath(const std::string& Key) const;
  // The raw stored text of a value of the open key; false when missing.
  bool ReadRaw(const std::string& Name, std::string& Raw) const;
  void WriteRaw(const std::string& Name, const std::string& Raw);

  HKEY FRootKey = HKEY_CURRENT_USER;
  std::string FCurrentPath;
  bool FKeyOpen = false;
  bool FReadOnly = false;
  int FUpdateCount = 0;
  std::optional<TIniText> FHeld;
  bool FHeldChanged = false;
};
