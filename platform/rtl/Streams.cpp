#include "platform/rtl/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/rtl/FileUtils.h"

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soFromCurrent);
  const int64_t size = Seek(0, soFromEnd);
  Seek(pos, soFromBeginning);
  return size;
}

void TStream::SetSize(int64_t) {}

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count)) throw EReadError("Stream-Lesefehler");
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count)) throw EWriteError("Stream-Schreibfehler");
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  const int64_t result = Count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(Count, 65536)));
  while (Count > 0) {
    const int64_t n = std::min<int64_t>(Count, static_cast<int64_t>(buf.size()));
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return result;
}

uint8_t TStream::ReadByte() {
  uint8_t b;
  ReadBuffer(&b, 1);
  return b;
}

uint16_t TStream::ReadWord() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t TStream::ReadDWord() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

void TStream::WriteByte(uint8_t Value) {
  WriteBuffer(&Value, 1);
}

void TStream::WriteWord(uint16_t Value) {
  const uint8_t b[2] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8)};
  WriteBuffer(b, 2);
}

void TStream::WriteDWord(uint32_t Value) {
  const uint8_t b[4] = {static_cast<uint8_t>(Value), static_cast<uint8_t>(Value >> 8),
                        static_cast<uint8_t>(Value >> 16), static_cast<uint8_t>(Value >> 24)};
  WriteBuffer(b, 4);
}

// ---- THandleStream ------------------------------------------------------------------------------

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || FHandle < 0) return 0;
  auto* p = static_cast<char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || FHandle < 0) return 0;
  const auto* p = static_cast<const char*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(Count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TStream::SeekTarget(int64_t Current, int64_t Offset, TSeekOrigin Origin) {
  if (Origin == soFromBeginning) return Offset;
  if (Origin == soFromCurrent) return Current + Offset;
  return Size() + Offset;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soFromBeginning ? SEEK_SET : (Origin == soFromCurrent ? SEEK_CUR : SEEK_END);
  const off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t NewSize) {
  const int64_t pos = Position();
  if (::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0) throw EWriteError("Stream-Schreibfehler");
  if (pos > NewSize) Seek(NewSize, soFromBeginning);
}

// ---- TFileStream --------------------------------------------------------------------------------

TFileStream::TFileStream(const std::string& AFileName, uint16_t Mode)
    : THandleStream(-1), FFileName(AFileName) {
  if (Mode == fmCreate) {
    // A new file under exactly its name; an existing one is opened without waiting and must be a
    // regular file, which is then emptied.
    const std::string path = ResolveNewPath(AFileName);
    FHandle = ::open(path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (FHandle >= 0 && !(IsRegular(FHandle) && ::ftruncate(FHandle, 0) == 0 && Blocking(FHandle))) Drop();
    if (FHandle < 0) throw EFCreateError("Datei " + AFileName + " kann nicht erstellt werden");
    return;
  }
  if ((Mode & 3) == fmOpenRead) {
    FHandle = OpenRegularFile(AFileName, INT64_MAX);
  } else {
    const int access = (Mode & 3) == fmOpenWrite ? O_WRONLY : O_RDWR;
    FHandle = ::open(ResolvePath(AFileName).c_str(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (FHandle >= 0 && !(IsRegular(FHandle) && Blocking(FHandle))) Drop();
  }
  if (FHandle < 0) throw EFOpenError("Datei " + AFileName + " kann nicht geöffnet werden");
}

bool TFileStream::IsRegular(int Fd) {
  struct stat st;
  return ::fstat(Fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool TFileStream::Blocking(int Fd) {
  return ::fcntl(Fd, F_SETFL, ::fcntl(Fd, F_GETFL) & ~O_NONBLOCK) == 0;
}

void TFileStream::Drop() {
  ::close(FHandle);
  FHandle = -1;
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

// ---- TMemoryStream ------------------------------------------------------------------------------

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t size = Size();
  if (Count <= 0 || FPosition < 0 || FPosition >= size) return 0;
  const int64_t n = std::min(Count, size - FPosition);
  std::memcpy(Buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || FPosition < 0 || Count > INT64_MAX - FPosition) return 0;
  const int64_t end = FPosition + Count;
  if (end > Size()) {
    try {
      FData.resize(static_cast<size_t>(end));
    } catch (const std::exception&) {
      // Too big for memory: nothing is written, as for any other short write.
      return 0;
    }
  }
  std::memcpy(FData.data() + FPosition, Buffer, static_cast<size_t>(Count));
  FPosition = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  FPosition = SeekTarget(FPosition, Offset, Origin);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  try {
    FData.resize(static_cast<size_t>(NewSize));
  } catch (const std::exception&) {
    throw EOutOfMemory("Zu wenig Arbeitsspeicher");
  }
  if (FPosition > NewSize) FPosition = NewSize;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  const int64_t count = Stream->Size();
  SetSize(count);
  if (count != 0) Stream->ReadBuffer(FData.data(), count);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead);
  LoadFromStream(&stream);
}

void TMemoryStream::SaveToStream(TStream* Stream) {
  if (!FData.empty()) Stream->WriteBuffer(FData.data(), Size());
}

void TMemoryStream::SaveToFile(const std::string& FileName) {
  AtomicWriteFile(FileName, std::string_view(reinterpret_cast<const char*>(FData.data()), FData.size()));
}

TStringStream::TStringStream(const std::string& AString) {
  if (!AString.empty()) {
    Write(AString.data(), static_cast<int64_t>(AString.size()));
    SetPosition(0);
  }
}

std::string TStringStream::DataString() const {
  return std::string(Bytes().begin(), Bytes().end());
}
