// Paths and files: the one resolver every opened path goes through, the class library's file-name
// helpers, directory and file operations, and the atomic write every writer uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The folder separator this system writes. Both "\" and "/" are read as separators everywhere.
inline constexpr char PathDelim = '/';

// Maps a path as the programs spell it to the file system: backslashes become slashes; when the exact
// path does not exist, each component is matched ignoring letter case against the folder's entries
// (the first match in name order wins). Components that match nothing are kept as given, so the
// result also names files still to be created. Relative paths stay relative to the current directory.
[[nodiscard]] std::string ResolvePath(const std::string& Path);
// The file a write creates or replaces under Path: the folders are found as ResolvePath finds them, the
// last component is taken exactly as given. A write therefore never lands on an existing file whose
// name differs only in letter case; it makes its own file beside it.
[[nodiscard]] std::string ResolveNewPath(const std::string& Path);

// The largest project text (a project file, Config.VX) the programs read: room for a project of a
// few hundred thousand elements.
inline constexpr int64_t MaxProjectTextSize = int64_t{64} << 20;
// The largest ini file or option store the programs read.
inline constexpr int64_t MaxStoreSize = int64_t{16} << 20;

// Opens the file FileName (resolved) for reading without ever waiting: the open does not block (a
// FIFO without a writer), and the open descriptor is then examined, so what is examined is what is
// read. Returns the descriptor of a regular file of at most MaxSize bytes, which the caller closes;
// otherwise -1 with errno telling why: the open's own error, EISDIR for a folder, EINVAL for a FIFO,
// socket or device, EFBIG for a larger file.
[[nodiscard]] int OpenRegularFile(const std::string& FileName, int64_t MaxSize);

// Whether two paths name the same file: they are equal, or equal once resolved (ResolvePath), or both
// exist and are one file (the same device and inode). Names that differ only in letter case are the same
// file when one of them resolves to the other's existing file, and two files when both exist.
[[nodiscard]] bool SameFile(const std::string& A, const std::string& B);
class TStrings;
// The index of the entry of List that names the same file as FileName: an exactly equal entry first, else
// the first one SameFile finds; -1 when none does.
[[nodiscard]] int IndexOfFile(const TStrings& List, const std::string& FileName);

// What SameFile compares of a path at one moment: its resolved form and, when it exists, the identity of
// the file (device and inode).
struct TFileKey {
  [[nodiscard]] static TFileKey Of(const std::string& Path);
  // The file a write of Path lands on: the exact name (ResolveNewPath), made absolute, and the file there.
  [[nodiscard]] static TFileKey OfWrite(const std::string& Path);
  [[nodiscard]] bool operator==(const TFileKey& Other) const;

  std::string Resolved;
  bool Exists = false;
  uint64_t Device = 0;
  uint64_t Inode = 0;
};

// A list of paths indexed by the file each names, so that IndexOfFile's question costs one resolution of
// the name asked for instead of one for every entry. An entry's file is identified when the entry is
// added or refreshed; a hit found through the resolved name or the file is checked against the file
// system as it is now, and when the entry no longer names that file, every entry is identified anew.
class TFileIndex {
 public:
  TFileIndex();
  TFileIndex(TFileIndex&&) noexcept;
  TFileIndex& operator=(TFileIndex&&) noexcept;
  ~TFileIndex();

  // Appends Path as the last entry.
  void Add(const std::string& Path);
  void Delete(int Index);
  void Clear();
  // Identifies the file of an entry anew (after the file was read again).
  void Refresh(int Index);
  [[nodiscard]] int Count() const;
  // The first entry that is FileName exactly, else the first that names the same file (SameFile); -1
  // when none does.
  [[nodiscard]] int IndexOf(const std::string& FileName) const;

 private:
  struct TState;
  void Reindex() const;
  [[nodiscard]] int FirstOfKey(const TFileKey& Key) const;

  std::unique_ptr<TState> FState;
};

// Everything up to and including the last separator ("" when there is none).
[[nodiscard]] std::string ExtractFilePath(const std::string& FileName);
// ExtractFilePath without its trailing separator (a root keeps it).
[[nodiscard]] std::string ExtractFileDir(const std::string& FileName);
[[nodiscard]] std::string ExtractFileName(const std::string& FileName);
// The extension of the last component, with its dot ("" when the last component has none).
[[nodiscard]] std::string ExtractFileExt(const std::string& FileName);
// Replaces (or appends, or with "" removes) the extension of the last component.
[[nodiscard]] std::string ChangeFileExt(const std::string& FileName, const std::string& Extension);
[[nodiscard]] std::string IncludeTrailingPathDelimiter(const std::string& S);
[[nodiscard]] std::string ExcludeTrailingPathDelimiter(const std::string& S);
// Absolute form of FileName against the current directory, with "." and ".." removed, slashes only.
[[nodiscard]] std::string ExpandFileName(const std::string& FileName);

[[nodiscard]] std::string GetCurrentDir();
[[nodiscard]] bool SetCurrentDir(const std::string& Dir);

// All of these resolve their paths first.
[[nodiscard]] bool FileExists(const std::string& FileName);
[[nodiscard]] bool DirectoryExists(const std::string& Directory);
bool CreateDir(const std::string& Dir);
// Creates Dir and every missing folder above it; true when it exists afterwards.
bool ForceDirectories(const std::string& Dir);
bool DeleteFile(const std::string& FileName);
// Removes exactly FileName (ResolveNewPath: never a file whose name differs in letter case). True when no
// such file is left, also when there was none; false with GetLastError telling why otherwise.
bool RemoveFile(const std::string& FileName);
bool RemoveDir(const std::string& Dir);
// Whether exactly FileName (ResolveNewPath) is a symbolic link, whatever it names.
[[nodiscard]] bool IsSymbolicLink(const std::string& FileName);
bool RenameFile(const std::string& OldName, const std::string& NewName);
// Size in bytes, -1 when the file does not exist.
[[nodiscard]] int64_t FileSize(const std::string& FileName);
// Copies Existing, a regular file, to New as AtomicWriteFile writes, the copy taking Existing's mode
// bits. New is the exact name (ResolveNewPath). Overwrites New unless FailIfExists; a file copied onto
// itself is left alone (success).
// Returns false on any failure, leaving New as it was; GetLastError then tells why.
bool CopyFile(const std::string& ExistingFileName, const std::string& NewFileName, bool FailIfExists);

// Names of the entries of Dir (not "." and ".."), sorted, optionally only those whose name ends in
// Extension (ignoring case, e.g. ".bmp"). Empty when Dir does not exist.
[[nodiscard]] std::vector<std::string> ListDirectory(const std::string& Dir,
                                                     const std::string& Extension = "");

// Writes Data as the whole new content of FileName: into a temporary file in the same folder, flushed
// to disk, then renamed over the old file, so a failure leaves the old file whole. FileName is the exact
// name (ResolveNewPath); a symbolic link to a file stays, and the file it names is replaced. Every write
// that replaces a file (these, CopyFile, ReplaceByFinished) keeps to one rule:
// - an existing file that the user may not write is refused before anything is written, as a direct
//   write is: EFCreateError "Datei %s kann nicht erstellt werden", GetLastError telling why; so is
//   anything but a regular file (a folder, FIFO or device, also behind a link), which stays as it is;
// - the new file takes the old one's owner, group, mode and extended attributes (its access list); where
//   the process may not give it those (a user saving another user's file), where the old file has other
//   names (hard links, which would keep the old content), or where the folder takes no new file (the
//   content is then held in memory), the old file is written in place instead, which keeps them: room
//   for the content is taken first, so a full disk leaves it whole, but a failure or kill during that
//   write leaves it part written;
// - a new file gets the default permissions;
// - the temporary file is unnamed where the file system allows it (a new file is given its name at
//   once, an existing one is renamed over through a temporary name); otherwise, and for that rename, it
//   is named ".<name>.<pid>.<n>.tmp" with <name> shortened so that the whole fits the longest name the
//   folder takes. Nothing else in the folder is touched.
// Raises EFCreateError when the file cannot be created or replaced, EWriteError on a failed write.
void AtomicWriteFile(const std::string& FileName, std::string_view Data);
class TStream;
// The same for a writer that streams the content; an exception from Writer leaves the old file whole
// and propagates.
void AtomicWriteFile(const std::string& FileName, const std::function<void(TStream& Stream)>& Writer);
// Whether that rule lets the user replace FileName: true when it does not exist or the user may write
// it; false with GetLastError telling why (what a direct write would meet first).
[[nodiscard]] bool MayReplace(const std::string& FileName);
// Puts what another writer (the web engine) finished in a temporary place beside its targets in their
// places: the content of the file FinishedFile replaces FileName through AtomicWriteFile (its rule holds
// and it raises as AtomicWriteFile does); with FinishedFolder, that folder (on Folder's file system) takes
// the place of the folder Folder in one step, keeping the entries of the old folder that it lacks (as if
// its entries had been written into Folder: they are linked into it first, nothing is copied), and the
// old folder is then found under FinishedFolder's name; without an old folder it is renamed to Folder.
// Both or neither: when the file cannot be replaced, the folders are put back. A Folder that is not a
// folder or may not be written raises EFCreateError naming it, GetLastError telling why, nothing changed.
// Names are exact (ResolveNewPath); FinishedFile stays where it is.
void ReplaceByFinished(const std::string& FileName, const std::string& FinishedFile,
                       const std::string& Folder = "", const std::string& FinishedFolder = "");
// The whole content of a regular file of at most MaxSize bytes; raises EFOpenError "Datei %s kann nicht
// geöffnet werden" when it cannot be opened or read to its end, or is no such file.
[[nodiscard]] std::string ReadFileContent(const std::string& FileName, int64_t MaxSize);
// Reads the whole regular file into Content (OpenRegularFile). Returns 0 when it was read, -1 when
// nothing is at the path, or the system error that kept an existing entry from being read (no
// permission, a folder, a FIFO or device, a file above MaxSize, a failed read); Content is then empty.
[[nodiscard]] int ReadFileIfPresent(const std::string& FileName, std::string& Content, int64_t MaxSize);

// The program file's full path (the class library's ParamStr(0)) and its folder with a trailing
// separator.
[[nodiscard]] std::string ProgramFileName();
[[nodiscard]] std::string ProgramFolder();
// Command-line arguments as handed to main (SetCommandLine); ParamStr(0) is the program file.
void SetCommandLine(int argc, char** argv);
[[nodiscard]] int ParamCount();
[[nodiscard]] std::string ParamStr(int Index);
