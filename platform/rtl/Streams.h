// Streams: the abstract TStream with its checked transfers, files and memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/Objects.h"

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };
inline constexpr TSeekOrigin soBeginning = soFromBeginning;
inline constexpr TSeekOrigin soCurrent = soFromCurrent;
inline constexpr TSeekOrigin soEnd = soFromEnd;

// A sequence of bytes with a position. Read and Write move as many bytes as they can and return that
// count; they never raise. ReadBuffer and WriteBuffer insist on the full count.
class TStream : public TObject {
 public:
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  // Returns the new position.
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  [[nodiscard]] int64_t Position() { return Seek(0, soFromCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soFromBeginning); }
  [[nodiscard]] virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);

  // Raise EReadError "Stream-Lesefehler" / EWriteError "Stream-Schreibfehler" on a short transfer.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position (Count 0: all of Source from its start); returns the count.
  int64_t CopyFrom(TStream* Source, int64_t Count);

  // Little-endian helpers over ReadBuffer/WriteBuffer.
  [[nodiscard]] uint8_t ReadByte();
  [[nodiscard]] uint16_t ReadWord();
  [[nodiscard]] uint32_t ReadDWord();
  void WriteByte(uint8_t Value);
  void WriteWord(uint16_t Value);
  void WriteDWord(uint32_t Value);
  void WriteString(const std::string& S) { WriteBuffer(S.data(), static_cast<int64_t>(S.size())); }

 protected:
  // The position that a seek by Offset from Origin reaches from Current (Size is asked only from the end).
  [[nodiscard]] int64_t SeekTarget(int64_t Current, int64_t Offset, TSeekOrigin Origin);
};

// File open modes (the share flags are accepted and ignored).
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

// A stream on an open file descriptor, closed on destruction.
class THandleStream : public TStream {
 public:
  explicit THandleStream(int AHandle) : FHandle(AHandle) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;
  [[nodiscard]] int Handle() const { return FHandle; }

 protected:
  int FHandle = -1;
};

// A regular file, opened without waiting (OpenRegularFile): a FIFO, socket or device is refused like a
// missing file. fmCreate creates or truncates the file of exactly the given name (ResolveNewPath),
// raising EFCreateError "Datei %s kann nicht erstellt werden"; the open modes go through the path
// resolver and raise EFOpenError "Datei %s kann nicht geöffnet werden".
class TFileStream : public THandleStream {
 public:
  TFileStream(const std::string& AFileName, uint16_t Mode);
  ~TFileStream() override;
  [[nodiscard]] const std::string& FileName() const { return FFileName; }

 private:
  [[nodiscard]] static bool IsRegular(int Fd);
  // Takes O_NONBLOCK off again, so reads and writes wait as they do on any file.
  [[nodiscard]] static bool Blocking(int Fd);
  void Drop();

  std::string FFileName;
};

// A growable stream in memory.
class TMemoryStream : public TStream {
 public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  [[nodiscard]] int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t NewSize) override;

  [[nodiscard]] uint8_t* Memory() { return FData.data(); }
  [[nodiscard]] const uint8_t* Memory() const { return FData.data(); }
  [[nodiscard]] const std::vector<uint8_t>& Bytes() const { return FData; }
  void Clear();
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const std::string& FileName);
  void SaveToStream(TStream* Stream);
  // Written atomically.
  void SaveToFile(const std::string& FileName);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// A memory stream over a string.
class TStringStream : public TMemoryStream {
 public:
  explicit TStringStream(const std::string& AString = "");
  [[nodiscard]] std::string DataString() const;
};
