#include "platform/rtl/FileUtils.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/rtl/Lists.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/SysUtils.h"

namespace {

bool IsDelim(char c) {
  return c == '/' || c == '\\';
}

// Index of the last separator, npos when there is none.
size_t LastDelim(const std::string& S) {
  for (size_t i = S.size(); i-- > 0;)
    if (IsDelim(S[i])) return i;
  return std::string::npos;
}

// Records errno as the thread's last error when Ok is false.
bool Note(bool Ok) {
  if (!Ok) SetLastError(static_cast<uint32_t>(errno));
  return Ok;
}

bool Exists(const std::string& Path) {
  struct stat st;
  return ::stat(Path.c_str(), &st) == 0;
}

std::string Join(const std::string& Base, const std::string& Name) {
  if (Base.empty()) return Name;
  if (Base.back() == '/') return Base + Name;
  return Base + "/" + Name;
}

// The entry of Dir equal to Name ignoring case; the first in name order when several match.
bool FindIgnoringCase(const std::string& Dir, const std::string& Name, std::string& Found) {
  DIR* d = ::opendir(Dir.empty() ? "." : Dir.c_str());
  if (d == nullptr) return false;
  bool found = false;
  while (dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == "..") continue;
    if (::strcasecmp(entry.c_str(), Name.c_str()) == 0 && (!found || entry < Found)) {
      Found = entry;
      found = true;
    }
  }
  ::closedir(d);
  return found;
}

[[noreturn]] void RaiseCreate(const std::string& FileName) {
  SetLastError(static_cast<uint32_t>(errno));
  throw EFCreateError("Datei " + FileName + " kann nicht erstellt werden");
}

// Owns a file descriptor: closes it when the scope ends unless it was closed before.
class FileDescriptor {
 public:
  explicit FileDescriptor(int Fd) : FFd(Fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { (void)Close(); }
  [[nodiscard]] int Get() const { return FFd; }
  // Closes now; false when the system reports an error (a write that did not reach the disk).
  bool Close() {
    if (FFd < 0) return true;
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }

 private:
  int FFd;
};

// Removes a file without disturbing the error being reported.
void RemoveQuietly(const std::string& Path) {
  const int saved = errno;
  ::unlink(Path.c_str());
  errno = saved;
}

// The longest name the file system takes in the folder Dir.
size_t LongestName(const std::string& Dir) {
  const long n = ::pathconf(Dir.empty() ? "." : Dir.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<size_t>(n) : 255;
}

// A temporary name beside Target: "." + the target's name + "." + pid + "." + a count + ".tmp", the
// target's name shortened (never inside a character of several bytes) so that the whole fits the
// longest name the folder takes.
std::string TemporaryName(const std::string& Target) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = ExtractFilePath(Target);
  const std::string name = ExtractFileName(Target);
  const std::string suffix = "." + std::to_string(::getpid()) + "." + std::to_string(counter++) + ".tmp";
  const size_t longest = LongestName(dir);
  size_t keep = std::min(name.size(), longest > suffix.size() + 1 ? longest - suffix.size() - 1 : 0);
  while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
    --keep;
  return dir + "." + name.substr(0, keep) + suffix;
}

// Gives the open file Fd the name Path: a hard link through /proc, which needs no privilege (linking the
// descriptor itself needs one).
bool LinkDescriptor(int Fd, const std::string& Path) {
  const std::string self = "/proc/self/fd/" + std::to_string(Fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, Path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// A new named temporary file beside Target: with Fd >= 0 the file Fd is given that name (a hard link),
// otherwise a new empty file is created under it. Returns the descriptor of the named file (Fd itself
// or the new one); -1 on failure, with TempName empty.
int NameTemporaryBeside(const std::string& Target, int Fd, std::string& TempName) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    TempName = TemporaryName(Target);
    if (Fd < 0) {
      const int fd = ::open(TempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd >= 0) return fd;
    } else if (LinkDescriptor(Fd, TempName)) {
      return Fd;
    }
    if (errno != EEXIST) break;
  }
  TempName.clear();
  return -1;
}

// Copies what is left of the file In to Out; raises EReadError or EWriteError, errno telling why.
void CopyContent(int In, int Out) {
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(In, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError("Stream-Lesefehler");
    if (n == 0) return;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(Out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        if (w == 0) errno = EIO;
        throw EWriteError("Stream-Schreibfehler");
      }
      done += w;
    }
  }
}

// The file that a write of FileName replaces, as a direct write would find it: the exact name
// (ResolveNewPath), or for a symbolic link to an existing file that file, whose link stays.
struct TTarget {
  std::string Path;
  bool Exists = false;
  struct stat Old {};
};

TTarget TargetOf(const std::string& FileName) {
  TTarget t;
  t.Path = ResolveNewPath(FileName);
  struct stat st;
  if (::lstat(t.Path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = ::realpath(t.Path.c_str(), nullptr)) {
      t.Path = real;
      ::free(real);
    }
  }
  t.Exists = ::stat(t.Path.c_str(), &t.Old) == 0;
  return t;
}

// Whether the user may write the target as a direct write would (errno telling why not); a file still to
// be made is the folder's business. Only a regular file is replaced: a folder, FIFO, socket or device
// (also behind a link) is left as it is, as the file stream leaves it.
bool MayWrite(const TTarget& T) {
  if (!T.Exists) return true;
  if (!S_ISREG(T.Old.st_mode)) {
    errno = S_ISDIR(T.Old.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  return ::faccessat(AT_FDCWD, T.Path.c_str(), W_OK, AT_EACCESS) == 0;
}

// What Read (a listxattr or getxattr call) gives, read whole; nothing when it fails, errno telling why.
std::optional<std::string> ReadAttribute(const std::function<ssize_t(char*, size_t)>& Read) {
  const ssize_t size = Read(nullptr, 0);
  if (size < 0) return std::nullopt;
  std::string buf(static_cast<size_t>(size), '\0');
  const ssize_t n = Read(buf.data(), buf.size());
  if (n < 0) return std::nullopt;
  buf.resize(static_cast<size_t>(n));
  return buf;
}

// The names of the extended attributes that List (listxattr or flistxattr) gives; none where the file
// system has no such attributes, nothing when they cannot be read.
std::optional<std::vector<std::string>> AttributeNames(const std::function<ssize_t(char*, size_t)>& List) {
  const std::optional<std::string> list = ReadAttribute(List);
  if (!list) return errno == ENOTSUP ? std::optional(std::vector<std::string>()) : std::nullopt;
  std::vector<std::string> names;
  for (size_t at = 0; at < list->size(); at = list->find('\0', at) + 1)
    names.emplace_back(list->c_str() + at);
  return names;
}

// Gives the temporary file Fd the extended attributes of the file Old, its access list among them, and
// no others (a folder's default access list gives a new file one the old did not have). One the new
// file has already with the old value is left as it is (a security label needs no setting). False when
// the process may not.
bool TakeAttributes(int Fd, const std::string& Old) {
  const auto old = AttributeNames([&](char* B, size_t N) { return ::listxattr(Old.c_str(), B, N); });
  const auto now = AttributeNames([&](char* B, size_t N) { return ::flistxattr(Fd, B, N); });
  if (!old || !now) return false;
  for (const std::string& name : *now)
    if (std::find(old->begin(), old->end(), name) == old->end() && ::fremovexattr(Fd, name.c_str()) != 0)
      return false;
  for (const std::string& name : *old) {
    const char* const n = name.c_str();
    const auto value = ReadAttribute([&](char* B, size_t N) { return ::getxattr(Old.c_str(), n, B, N); });
    if (!value) return false;
    if (ReadAttribute([&](char* B, size_t N) { return ::fgetxattr(Fd, n, B, N); }) == value) continue;
    if (::fsetxattr(Fd, n, value->data(), value->size(), 0) != 0) return false;
  }
  return true;
}

// Gives the temporary file Fd the owner and group of the file Old, then Mode or else Old's mode (after
// the owner, since a change of owner drops the set-id bits). False when the process may not.
bool TakeAccess(int Fd, const struct stat& Old, std::optional<mode_t> Mode) {
  struct stat now;
  if (::fstat(Fd, &now) != 0) return false;
  if (now.st_uid != Old.st_uid || now.st_gid != Old.st_gid) {
    const uid_t owner = now.st_uid != Old.st_uid ? Old.st_uid : static_cast<uid_t>(-1);
    const gid_t group = now.st_gid != Old.st_gid ? Old.st_gid : static_cast<gid_t>(-1);
    if (::fchown(Fd, owner, group) != 0) return false;
  }
  const mode_t mode = Mode.value_or(Old.st_mode & 07777);
  return ::fchmod(Fd, mode) == 0 && ::fstat(Fd, &now) == 0 && (now.st_mode & 07777) == mode;
}

// Writes the content of the temporary file Fd into the target file itself, which keeps its owner, group,
// mode and links. Room for the whole content is taken first, so that a full disk leaves the old file
// as it was; a failure after that (the disk failing, the process killed) leaves it part written.
void WriteInPlace(const TTarget& T, const std::string& FileName, int Fd, std::optional<mode_t> Mode) {
  FileDescriptor out(::open(T.Path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st, content;
  if (out.Get() < 0) RaiseCreate(FileName);
  if (::fstat(out.Get(), &st) != 0 || st.st_dev != T.Old.st_dev || st.st_ino != T.Old.st_ino) {
    errno = EAGAIN;  // replaced by someone else meanwhile
    RaiseCreate(FileName);
  }
  if (::fstat(Fd, &content) != 0) throw EWriteError("Stream-Schreibfehler");
  if (content.st_size > 0 && ::fallocate(out.Get(), FALLOC_FL_KEEP_SIZE, 0, content.st_size) != 0 &&
      errno != EOPNOTSUPP && errno != ENOSYS)
    throw EWriteError("Stream-Schreibfehler");
  if (::fcntl(out.Get(), F_SETFL, ::fcntl(out.Get(), F_GETFL) & ~O_NONBLOCK) != 0 ||
      ::lseek(Fd, 0, SEEK_SET) != 0)
    throw EWriteError("Stream-Schreibfehler");
  CopyContent(Fd, out.Get());
  if (::ftruncate(out.Get(), content.st_size) != 0 || ::fsync(out.Get()) != 0)
    throw EWriteError("Stream-Schreibfehler");
  if (Mode) (void)::fchmod(out.Get(), *Mode);  // only the owner may, and a mode is no reason to fail
  if (!out.Close()) throw EWriteError("Stream-Schreibfehler");
}

// Puts the written and flushed temporary file File (named TempName, or unnamed when TempName is empty)
// in the place of the target. An existing file is replaced by one with its owner, group, mode (or Mode)
// and extended attributes; where the process cannot give the new file all of them, or the old file has
// other names that a new file would leave with the old content, the old file is written in place
// instead, as a direct write would. A new file takes Mode or the default permissions. TempName is
// empty afterwards unless an exception leaves it for the caller to remove.
void Commit(const TTarget& T, const std::string& FileName, FileDescriptor& File, std::string& TempName,
            std::optional<mode_t> Mode) {
  const int fd = File.Get();
  if (T.Exists && (T.Old.st_nlink > 1 || !TakeAttributes(fd, T.Path) || !TakeAccess(fd, T.Old, Mode))) {
    WriteInPlace(T, FileName, fd, Mode);
    if (!TempName.empty()) RemoveQuietly(std::exchange(TempName, std::string()));
    return;
  }
  if (!T.Exists && Mode && ::fchmod(fd, *Mode) != 0) throw EWriteError("Stream-Schreibfehler");
  if (TempName.empty()) {
    // A new file is named at once; an existing one is replaced through a temporary name.
    if (!T.Exists && LinkDescriptor(fd, T.Path)) {
      (void)File.Close();  // the content reached the disk with the flush
      return;
    }
    if (NameTemporaryBeside(T.Path, fd, TempName) < 0) RaiseCreate(FileName);
  }
  if (!File.Close()) throw EWriteError("Stream-Schreibfehler");
  if (::rename(TempName.c_str(), T.Path.c_str()) != 0) RaiseCreate(FileName);
  TempName.clear();
}

// Writes through Writer into a temporary file in the target's folder, then puts it in the target's place
// (Commit). A file the user may not write is refused before anything is written, as a direct write is.
// The content goes into an unnamed file (O_TMPFILE) where the file system supports one and /proc can
// give it a name, so a process killed while writing leaves nothing behind. Otherwise it is written under
// the temporary name from the start. Where the folder takes no new file (the user may write the file but
// not its folder), the content is held in memory and then written in place, as a direct write would.
// Nothing else in the folder is touched: a file that looks like a temporary file may be anyone's.
void WriteThroughTemporary(const std::string& FileName, const std::function<void(THandleStream&)>& Writer,
                           std::optional<mode_t> Mode = std::nullopt) {
  const TTarget target = TargetOf(FileName);
  if (!MayWrite(target)) RaiseCreate(FileName);
  const std::string dir = ExtractFilePath(target.Path);
  std::string temp;
  static const bool canName = ::access("/proc/self/fd", F_OK) == 0;
  int fd = canName ? ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1;
  if (fd < 0) fd = NameTemporaryBeside(target.Path, -1, temp);
  const bool aside = fd < 0 && target.Exists;
  if (aside) {
    const int folderError = errno;
    fd = ::memfd_create("content", MFD_CLOEXEC);
    if (fd < 0) errno = folderError;
  }
  if (fd < 0) RaiseCreate(FileName);
  FileDescriptor guard(fd);
  THandleStream stream(fd);
  try {
    Writer(stream);
    if (::fsync(fd) != 0) throw EWriteError("Stream-Schreibfehler");
    if (aside)
      WriteInPlace(target, FileName, fd, Mode);
    else
      Commit(target, FileName, guard, temp, Mode);
  } catch (...) {
    if (!temp.empty()) RemoveQuietly(temp);
    throw;
  }
}

std::vector<std::string> gArgs;
std::mutex gArgsMutex;

}  // namespace

std::string ResolvePath(const std::string& Path) {
  std::string p = Path;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || Exists(p)) return p;
  const bool trailing = p.back() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find('/', start);
    if (end == std::string::npos) end = p.size();
    if (end > start) parts.push_back(p.substr(start, end - start));
    start = end + 1;
  }
  std::string base = p[0] == '/' ? "/" : "";
  bool matching = true;
  for (const std::string& part : parts) {
    const std::string exact = Join(base, part);
    if (matching && part != "." && part != ".." && !Exists(exact)) {
      std::string found;
      if (FindIgnoringCase(base, part, found)) {
        base = Join(base, found);
        continue;
      }
      // Nothing below a missing folder can match either.
      matching = false;
    }
    base = exact;
  }
  if (trailing && !base.empty() && base.back() != '/') base += '/';
  return base;
}

std::string ResolveNewPath(const std::string& Path) {
  std::string p = Path;
  std::replace(p.begin(), p.end(), '\\', '/');
  const size_t slash = p.rfind('/');
  if (slash == std::string::npos || slash + 1 == p.size()) return ResolvePath(p);
  return ResolvePath(p.substr(0, slash + 1)) + p.substr(slash + 1);
}

int OpenRegularFile(const std::string& FileName, int64_t MaxSize) {
  // Without O_NONBLOCK the open of a FIFO waits for a writer; the descriptor is examined before any
  // read, so what is examined is what is read.
  const int fd = ::open(ResolvePath(FileName).c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  int error = 0;
  if (::fstat(fd, &st) != 0)
    error = errno;
  else if (S_ISDIR(st.st_mode))
    error = EISDIR;
  else if (!S_ISREG(st.st_mode))
    error = EINVAL;
  else if (st.st_size > MaxSize)
    error = EFBIG;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    error = errno;
  if (error == 0) return fd;
  ::close(fd);
  errno = error;
  return -1;
}

namespace {

TFileKey IdentifiedFile(std::string Resolved) {
  TFileKey key;
  key.Resolved = std::move(Resolved);
  struct stat st;
  key.Exists = ::stat(key.Resolved.c_str(), &st) == 0;
  if (key.Exists) {
    key.Device = st.st_dev;
    key.Inode = st.st_ino;
  }
  return key;
}

}  // namespace

TFileKey TFileKey::Of(const std::string& Path) {
  return IdentifiedFile(ResolvePath(Path));
}

TFileKey TFileKey::OfWrite(const std::string& Path) {
  return IdentifiedFile(ExpandFileName(ResolveNewPath(Path)));
}

bool TFileKey::operator==(const TFileKey& Other) const {
  return Resolved == Other.Resolved ||
         (Exists && Other.Exists && Device == Other.Device && Inode == Other.Inode);
}

bool SameFile(const std::string& A, const std::string& B) {
  return A == B || TFileKey::Of(A) == TFileKey::Of(B);
}

int IndexOfFile(const TStrings& List, const std::string& FileName) {
  for (int i = 0; i < List.Count(); ++i)
    if (List.Strings(i) == FileName) return i;
  const TFileKey key = TFileKey::Of(FileName);
  for (int i = 0; i < List.Count(); ++i)
    if (TFileKey::Of(List.Strings(i)) == key) return i;
  return -1;
}

// ---- TFileIndex ------------------------------------------------------------------------------------------

namespace {

struct FileIdHash {
  size_t operator()(const std::pair<uint64_t, uint64_t>& Id) const {
    return std::hash<uint64_t>()(Id.first * 0x9E3779B97F4A7C15ULL ^ Id.second);
  }
};

}  // namespace

// The entries in list order and, built from them, the first entry of every path, resolved path and file.
// The maps are rebuilt after a deletion or refresh, when next asked.
struct TFileIndex::TState {
  std::vector<std::pair<std::string, TFileKey>> Entries;
  bool Stale = false;
  std::unordered_map<std::string, int> ByPath;
  std::unordered_map<std::string, int> ByResolved;
  std::unordered_map<std::pair<uint64_t, uint64_t>, int, FileIdHash> ByFile;
  // Every entry by its resolved path in lower case.
  std::unordered_multimap<std::string, int> ByFolded;

  void Enter(int Index) {
    const auto& [path, key] = Entries[static_cast<size_t>(Index)];
    ByPath.emplace(path, Index);
    ByResolved.emplace(key.Resolved, Index);
    if (key.Exists) ByFile.emplace(std::make_pair(key.Device, key.Inode), Index);
    ByFolded.emplace(Folded(key.Resolved), Index);
  }

  // Whether two keys were taken of one unchanged state of the file system.
  static bool Unchanged(const TFileKey& A, const TFileKey& B) {
    return A.Resolved == B.Resolved && A.Exists == B.Exists && A.Device == B.Device && A.Inode == B.Inode;
  }

  static std::string Folded(std::string Path) {
    std::transform(Path.begin(), Path.end(), Path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return Path;
  }
};

TFileIndex::TFileIndex() : FState(std::make_unique<TState>()) {}
TFileIndex::TFileIndex(TFileIndex&&) noexcept = default;
TFileIndex& TFileIndex::operator=(TFileIndex&&) noexcept = default;
TFileIndex::~TFileIndex() = default;

void TFileIndex::Add(const std::string& Path) {
  TState& s = *FState;
  if (s.Stale) Reindex();
  // A path listed already names the file its first entry names.
  const auto same = s.ByPath.find(Path);
  s.Entries.emplace_back(Path, same != s.ByPath.end() ? s.Entries[static_cast<size_t>(same->second)].second
                                                      : TFileKey::Of(Path));
  s.Enter(static_cast<int>(s.Entries.size()) - 1);
}

void TFileIndex::Delete(int Index) {
  TState& s = *FState;
  s.Entries.erase(s.Entries.begin() + Index);
  s.Stale = true;
}

void TFileIndex::Clear() {
  FState = std::make_unique<TState>();
}

void TFileIndex::Refresh(int Index) {
  TState& s = *FState;
  auto& [path, key] = s.Entries[static_cast<size_t>(Index)];
  TFileKey fresh = TFileKey::Of(path);
  if (TState::Unchanged(fresh, key)) return;
  key = std::move(fresh);
  s.Stale = true;
}

int TFileIndex::Count() const {
  return static_cast<int>(FState->Entries.size());
}

void TFileIndex::Reindex() const {
  TState& s = *FState;
  s.ByPath.clear();
  s.ByResolved.clear();
  s.ByFile.clear();
  s.ByFolded.clear();
  for (int i = 0; i < static_cast<int>(s.Entries.size()); ++i)
    s.Enter(i);
  s.Stale = false;
}

int TFileIndex::FirstOfKey(const TFileKey& Key) const {
  const TState& s = *FState;
  int first = -1;
  if (const auto r = s.ByResolved.find(Key.Resolved); r != s.ByResolved.end()) first = r->second;
  if (Key.Exists) {
    if (const auto f = s.ByFile.find({Key.Device, Key.Inode});
        f != s.ByFile.end() && (first < 0 || f->second < first))
      first = f->second;
  }
  return first;
}

int TFileIndex::IndexOf(const std::string& FileName) const {
  TState& s = *FState;
  if (s.Stale) Reindex();
  if (const auto exact = s.ByPath.find(FileName); exact != s.ByPath.end()) return exact->second;
  const TFileKey key = TFileKey::Of(FileName);
  int found = FirstOfKey(key);
  if (found >= 0 && !(TFileKey::Of(s.Entries[static_cast<size_t>(found)].first) == key)) {
    // The files changed since the entries were identified (renamed, removed, replaced): identify them
    // all anew and answer from that.
    for (auto& [path, entryKey] : s.Entries)
      entryKey = TFileKey::Of(path);
    Reindex();
    found = FirstOfKey(key);
  }
  // An earlier entry whose name differs only in letter case may name the file now though it did not
  // when it was identified (its file was renamed or replaced since): such entries are identified anew.
  const auto [from, to] = s.ByFolded.equal_range(TState::Folded(key.Resolved));
  for (auto it = from; it != to; ++it) {
    const int i = it->second;
    if (found >= 0 && i >= found) continue;
    auto& entryKey = s.Entries[static_cast<size_t>(i)].second;
    TFileKey fresh = TFileKey::Of(s.Entries[static_cast<size_t>(i)].first);
    if (fresh == key) found = i;
    if (!TState::Unchanged(fresh, entryKey)) {
      entryKey = std::move(fresh);
      s.Stale = true;
    }
  }
  return found;
}

std::string ExtractFilePath(const std::string& FileName) {
  const size_t i = LastDelim(FileName);
  return i == std::string::npos ? std::string() : FileName.substr(0, i + 1);
}

std::string ExtractFileDir(const std::string& FileName) {
  const size_t i = LastDelim(FileName);
  if (i == std::string::npos) return {};
  if (i == 0) return FileName.substr(0, 1);
  return FileName.substr(0, i);
}

std::string ExtractFileName(const std::string& FileName) {
  const size_t i = LastDelim(FileName);
  return i == std::string::npos ? FileName : FileName.substr(i + 1);
}

std::string ExtractFileExt(const std::string& FileName) {
  const size_t dot = FileName.rfind('.');
  const size_t delim = LastDelim(FileName);
  if (dot == std::string::npos || (delim != std::string::npos && dot < delim)) return {};
  return FileName.substr(dot);
}

std::string ChangeFileExt(const std::string& FileName, const std::string& Extension) {
  const size_t dot = FileName.rfind('.');
  const size_t delim = LastDelim(FileName);
  if (dot == std::string::npos || (delim != std::string::npos && dot < delim)) return FileName + Extension;
  return FileName.substr(0, dot) + Extension;
}

std::string IncludeTrailingPathDelimiter(const std::string& S) {
  if (!S.empty() && IsDelim(S.back())) return S;
  return S + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& S) {
  if (S.size() > 1 && IsDelim(S.back())) return S.substr(0, S.size() - 1);
  return S;
}

std::string ExpandFileName(const std::string& FileName) {
  std::string p = FileName;
  std::replace(p.begin(), p.end(), '\\', '/');
  if (p.empty() || p[0] != '/') p = Join(GetCurrentDir(), p);
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find('/', start);
    if (end == std::string::npos) end = p.size();
    const std::string part = p.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string r;
  for (const std::string& part : parts)
    r += "/" + part;
  if (r.empty())
    r = "/";
  else if (p.back() == '/')
    r += '/';
  return r;
}

std::string GetCurrentDir() {
  std::string buf(PATH_MAX, '\0');
  if (::getcwd(buf.data(), buf.size()) == nullptr) return {};
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}

bool SetCurrentDir(const std::string& Dir) {
  return Note(::chdir(ResolvePath(Dir).c_str()) == 0);
}

bool FileExists(const std::string& FileName) {
  struct stat st;
  return !FileName.empty() && ::stat(ResolvePath(FileName).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& Directory) {
  struct stat st;
  return !Directory.empty() && ::stat(ResolvePath(Directory).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& Dir) {
  return Note(::mkdir(ResolvePath(Dir).c_str(), 0777) == 0);
}

bool ForceDirectories(const std::string& Dir) {
  const std::string d = ExcludeTrailingPathDelimiter(ResolvePath(Dir));
  if (d.empty()) return false;
  if (DirectoryExists(d)) return true;
  const std::string parent = ExtractFileDir(d);
  if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
  return ::mkdir(d.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(d));
}

bool DeleteFile(const std::string& FileName) {
  const std::string p = ResolvePath(FileName);
  struct stat st;
  if (::lstat(p.c_str(), &st) != 0) return Note(false);
  if (S_ISDIR(st.st_mode)) {
    SetLastError(EISDIR);
    return false;
  }
  return Note(::unlink(p.c_str()) == 0);
}

bool RemoveFile(const std::string& FileName) {
  return ::unlink(ResolveNewPath(FileName).c_str()) == 0 || errno == ENOENT || errno == ENOTDIR ||
         Note(false);
}

bool IsSymbolicLink(const std::string& FileName) {
  struct stat st;
  return ::lstat(ResolveNewPath(FileName).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool RemoveDir(const std::string& Dir) {
  return Note(::rmdir(ResolvePath(Dir).c_str()) == 0);
}

bool RenameFile(const std::string& OldName, const std::string& NewName) {
  const std::string to = ResolvePath(NewName);
  if (Exists(to)) {
    SetLastError(EEXIST);
    return false;
  }
  return Note(::rename(ResolvePath(OldName).c_str(), to.c_str()) == 0);
}

int64_t FileSize(const std::string& FileName) {
  struct stat st;
  if (::stat(ResolvePath(FileName).c_str(), &st) != 0) return -1;
  return st.st_size;
}

bool CopyFile(const std::string& ExistingFileName, const std::string& NewFileName, bool FailIfExists) {
  const std::string to = ResolveNewPath(NewFileName);
  const int in = OpenRegularFile(ExistingFileName, INT64_MAX);
  if (in < 0) return Note(false);
  FileDescriptor input(in);
  struct stat src, dst;
  if (::fstat(in, &src) != 0) return Note(false);
  if (::stat(to.c_str(), &dst) == 0) {
    if (src.st_dev == dst.st_dev && src.st_ino == dst.st_ino) return true;
    if (FailIfExists || S_ISDIR(dst.st_mode)) {
      SetLastError(FailIfExists ? EEXIST : EISDIR);
      return false;
    }
  }
  bool ok = true;
  SetLastError(0);
  try {
    WriteThroughTemporary(
        to, [&](THandleStream& out) { CopyContent(in, out.Handle()); }, src.st_mode & 07777);
  } catch (const Exception&) {
    // A failure to create the file noted its reason already; a failed read or write left it in errno.
    if (GetLastError() == 0) SetLastError(errno != 0 ? static_cast<uint32_t>(errno) : EIO);
    ok = false;
  }
  return ok;
}

bool MayReplace(const std::string& FileName) {
  return Note(MayWrite(TargetOf(FileName)));
}

std::vector<std::string> ListDirectory(const std::string& Dir, const std::string& Extension) {
  std::vector<std::string> names;
  DIR* d = ::opendir(ResolvePath(Dir.empty() ? "." : Dir).c_str());
  if (d == nullptr) return names;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!Extension.empty() &&
        (name.size() < Extension.size() ||
         ::strcasecmp(name.c_str() + name.size() - Extension.size(), Extension.c_str()) != 0))
      continue;
    names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

void AtomicWriteFile(const std::string& FileName, std::string_view Data) {
  WriteThroughTemporary(
      FileName, [&](THandleStream& out) { out.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size())); });
}

void AtomicWriteFile(const std::string& FileName, const std::function<void(TStream& Stream)>& Writer) {
  WriteThroughTemporary(FileName, [&](THandleStream& out) { Writer(out); });
}

namespace {

// Links every entry of the folder From that the folder Into lacks into Into (a folder as a new folder
// whose entries are linked in turn); false, with errno telling why, on the first failure. A folder and
// a file under one name are a failure: neither may take the other's place.
bool LinkMissingEntries(const std::string& From, const std::string& Into) {
  DIR* d = ::opendir(From.c_str());
  if (d == nullptr) return false;
  bool ok = true;
  while (const dirent* e = ok ? ::readdir(d) : nullptr) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string from = Join(From, name), into = Join(Into, name);
    struct stat st, there;
    const bool taken = ::lstat(into.c_str(), &there) == 0;
    if (::lstat(from.c_str(), &st) != 0) {
      ok = false;
    } else if (taken && S_ISDIR(st.st_mode) != S_ISDIR(there.st_mode)) {
      errno = S_ISDIR(st.st_mode) ? EISDIR : ENOTDIR;
      ok = false;
    } else if (!S_ISDIR(st.st_mode)) {
      ok = taken || ::link(from.c_str(), into.c_str()) == 0;
    } else if (!taken) {  // made writable to fill it, then given the old folder's mode
      ok = ::mkdir(into.c_str(), S_IRWXU) == 0 && LinkMissingEntries(from, into) &&
           ::chmod(into.c_str(), st.st_mode & 07777) == 0;
    } else {
      ok = LinkMissingEntries(from, into);
    }
  }
  ::closedir(d);
  return ok;
}

}  // namespace

void ReplaceByFinished(const std::string& FileName, const std::string& FinishedFile,
                       const std::string& Folder, const std::string& FinishedFolder) {
  const std::string folder = FinishedFolder.empty() ? std::string() : ResolveNewPath(Folder);
  struct stat old;
  const bool exchanged = !folder.empty() && ::lstat(folder.c_str(), &old) == 0;
  if (exchanged) {
    // As a write into the old folder would: refused when it may not be written, keeping its mode, group
    // and (where allowed) owner.
    if (!S_ISDIR(old.st_mode)) errno = ENOTDIR;
    if (!S_ISDIR(old.st_mode) || ::faccessat(AT_FDCWD, folder.c_str(), W_OK, AT_EACCESS) != 0 ||
        !LinkMissingEntries(folder, FinishedFolder))
      RaiseCreate(Folder);
    (void)::chmod(FinishedFolder.c_str(), old.st_mode & 07777);
    if (::lchown(FinishedFolder.c_str(), old.st_uid, old.st_gid) != 0)
      (void)::lchown(FinishedFolder.c_str(), static_cast<uid_t>(-1), old.st_gid);
    if (::renameat2(AT_FDCWD, FinishedFolder.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE) != 0)
      RaiseCreate(Folder);
  } else if (!folder.empty() && ::rename(FinishedFolder.c_str(), folder.c_str()) != 0) {
    RaiseCreate(Folder);
  }
  try {
    FileDescriptor in(OpenRegularFile(FinishedFile, INT64_MAX));
    if (in.Get() < 0) RaiseCreate(FileName);
    WriteThroughTemporary(FileName, [&](THandleStream& out) { CopyContent(in.Get(), out.Handle()); });
  } catch (...) {
    const int saved = errno;
    if (exchanged)
      (void)::renameat2(AT_FDCWD, FinishedFolder.c_str(), AT_FDCWD, folder.c_str(), RENAME_EXCHANGE);
    else if (!folder.empty())
      (void)::rename(folder.c_str(), FinishedFolder.c_str());
    errno = saved;
    throw;
  }
}

int ReadFileIfPresent(const std::string& FileName, std::string& Content, int64_t MaxSize) {
  Content.clear();
  FileDescriptor file(OpenRegularFile(FileName, MaxSize));
  if (file.Get() < 0) {
    const int error = errno;
    // A link to nothing is there, though it cannot be read.
    struct stat st;
    const bool absent =
        (error == ENOENT || error == ENOTDIR) && ::lstat(ResolvePath(FileName).c_str(), &st) != 0;
    return absent ? -1 : error;
  }
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(file.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || static_cast<int64_t>(Content.size()) + n > MaxSize) {
      // A file that grows beyond the bound while it is read is refused as one that was too big.
      const int error = n < 0 ? errno : EFBIG;
      Content.clear();
      return error;
    }
    if (n == 0) return 0;
    Content.append(buf, static_cast<size_t>(n));
  }
}

std::string ReadFileContent(const std::string& FileName, int64_t MaxSize) {
  std::string data;
  const int error = ReadFileIfPresent(FileName, data, MaxSize);
  if (error != 0) {
    SetLastError(error < 0 ? ENOENT : static_cast<uint32_t>(error));
    throw EFOpenError("Datei " + FileName + " kann nicht geöffnet werden");
  }
  return data;
}

std::string ProgramFileName() {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  return buf;
}

std::string ProgramFolder() {
  return ExtractFilePath(ProgramFileName());
}

void SetCommandLine(int argc, char** argv) {
  std::lock_guard lock(gArgsMutex);
  gArgs.assign(argv, argv + argc);
}

int ParamCount() {
  std::lock_guard lock(gArgsMutex);
  return gArgs.empty() ? 0 : static_cast<int>(gArgs.size()) - 1;
}

std::string ParamStr(int Index) {
  if (Index == 0) return ProgramFileName();
  std::lock_guard lock(gArgsMutex);
  if (Index < 0 || static_cast<size_t>(Index) >= gArgs.size()) return {};
  return gArgs[static_cast<size_t>(Index)];
}
