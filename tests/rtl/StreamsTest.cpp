#include <gtest/gtest.h>

#include <vector>

#include "TempDir.h"
#include "platform/rtl/Classes.h"

namespace {

// An object with one binary property, "Bytes", stored only when it holds some.
class Blob final : public TPersistent {
 public:
  std::vector<uint8_t> Bytes;

 protected:
  void DefineProperties(TFiler* Filer) override {
    Filer->DefineBinaryProperty(
        "Bytes",
        [this](TStream* s) {
          Bytes.resize(static_cast<size_t>(s->Size()));
          s->ReadBuffer(Bytes.data(), s->Size());
        },
        [this](TStream* s) { s->WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size())); },
        !Bytes.empty());
  }
};

TEST(Filer, BinaryPropertiesInTheClassLibrarysForm) {
  Blob blob;
  blob.Bytes = {7, 8, 9};
  TMemoryStream s;
  TWriter(&s).WriteProperties(&blob);
  const std::vector<uint8_t> form = {5, 'B', 'y', 't', 'e', 's', 10, 3, 0, 0, 0, 7, 8, 9, 0};
  EXPECT_EQ(s.Bytes(), form);
  Blob none;
  TMemoryStream empty;
  TWriter(&empty).WriteProperties(&none);
  EXPECT_EQ(empty.Bytes(), std::vector<uint8_t>{0});

  struct Case {
    const char* Name;
    std::vector<uint8_t> Form;
    const char* Error;  // null: read
  };
  const Case cases[] = {
      {"as written", form, nullptr},
      {"name in other case", {5, 'b', 'Y', 'T', 'E', 'S', 10, 3, 0, 0, 0, 7, 8, 9, 0}, nullptr},
      {"unknown name", {5, 'O', 't', 'h', 'e', 'r', 10, 0, 0, 0, 0, 0}, "Eigenschaft Other existiert nicht"},
      {"not binary", {5, 'B', 'y', 't', 'e', 's', 2, 3, 0, 0, 0, 7, 8, 9, 0}, "Ungültiger Eigenschaftswert"},
      {"count beyond the stream",
       {5, 'B', 'y', 't', 'e', 's', 10, 0xFF, 0xFF, 0xFF, 0x7F, 7, 0},
       "Stream-Lesefehler"},
      {"no end of list", {5, 'B', 'y', 't', 'e', 's', 10, 3, 0, 0, 0, 7, 8, 9}, "Stream-Lesefehler"},
  };
  for (const Case& c : cases) {
    TMemoryStream in;
    in.WriteBuffer(c.Form.data(), static_cast<int64_t>(c.Form.size()));
    in.SetPosition(0);
    Blob read;
    try {
      TReader(&in).ReadProperties(&read);
      EXPECT_EQ(c.Error, nullptr) << c.Name;
      EXPECT_EQ(read.Bytes, blob.Bytes) << c.Name;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message, c.Error ? c.Error : "") << c.Name;
    }
  }
}

TEST(MemoryStream, ReadReturnsWhatIsThereAndNeverRaises) {
  TMemoryStream s;
  s.WriteString("hello");
  EXPECT_EQ(s.Size(), 5);
  EXPECT_EQ(s.Position(), 5);
  char buf[16] = {};
  EXPECT_EQ(s.Read(buf, 4), 0);
  s.SetPosition(3);
  EXPECT_EQ(s.Read(buf, 10), 2);
  EXPECT_EQ(std::string(buf, 2), "lo");
  s.Seek(-1, soFromBeginning);
  EXPECT_EQ(s.Read(buf, 1), 0);
  s.Seek(10, soFromBeginning);
  EXPECT_EQ(s.Read(buf, 1), 0);
  // Writing past the end fills the gap with zeros.
  s.WriteByte('!');
  EXPECT_EQ(s.Size(), 11);
  EXPECT_EQ(s.Memory()[7], 0);
  s.SetSize(2);
  EXPECT_EQ(s.Position(), 2);
}

TEST(MemoryStream, BufferTransfersInsistOnTheFullCount) {
  TMemoryStream s;
  s.WriteDWord(0x04030201);
  s.WriteWord(0x0605);
  s.SetPosition(0);
  EXPECT_EQ(s.ReadByte(), 1);
  EXPECT_EQ(s.ReadByte(), 2);
  EXPECT_EQ(s.ReadWord(), 0x0403);
  EXPECT_EQ(s.ReadWord(), 0x0605);
  try {
    (void)s.ReadByte();
    ADD_FAILURE();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message, "Stream-Lesefehler");
  }
  s.SetPosition(5);
  uint8_t two[2];
  EXPECT_THROW(s.ReadBuffer(two, 2), EReadError);
  EXPECT_NO_THROW(s.ReadBuffer(two, 0));
}

TEST(MemoryStream, ImpossibleSizesFailCleanly) {
  TMemoryStream s;
  s.WriteString("ab");
  s.Seek(INT64_MAX - 1, soFromBeginning);
  EXPECT_EQ(s.Write("xyz", 3), 0);
  EXPECT_THROW(s.WriteBuffer("xyz", 3), EWriteError);
  EXPECT_EQ(s.Size(), 2);
}

TEST(Stream, CopyFromWholeAndPart) {
  TStringStream src("0123456789");
  TMemoryStream dst;
  src.SetPosition(7);
  EXPECT_EQ(dst.CopyFrom(&src, 0), 10);  // 0: all of it from the start
  src.SetPosition(2);
  EXPECT_EQ(dst.CopyFrom(&src, 3), 3);
  EXPECT_THROW(dst.CopyFrom(&src, 100), EReadError);
  TStringStream check("");
  dst.SaveToStream(&check);
  EXPECT_EQ(check.DataString().substr(0, 13), "0123456789234");
}

TEST(FileStream, ModesAndErrors) {
  TempDir dir;
  {
    TFileStream out(dir / "data.bin", fmCreate);
    out.WriteString("abc");
    EXPECT_EQ(out.Size(), 3);
  }
  {
    TFileStream in(dir / "DATA.BIN", fmOpenRead | fmShareDenyWrite);
    char buf[8];
    EXPECT_EQ(in.Read(buf, 8), 3);
    EXPECT_EQ(in.Write("x", 1), 0);  // read-only: nothing written, no exception
    EXPECT_THROW(in.WriteBuffer("x", 1), EWriteError);
  }
  {
    TFileStream rw(dir / "data.bin", fmOpenReadWrite);
    rw.Seek(0, soFromEnd);
    rw.WriteString("de");
    rw.SetPosition(1);
    EXPECT_EQ(rw.ReadByte(), 'b');
  }
  EXPECT_EQ(dir.Read("data.bin"), "abcde");
  try {
    TFileStream missing(dir / "none.bmp", fmOpenRead);
    ADD_FAILURE();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message, "Datei " + (dir / "none.bmp") + " kann nicht geöffnet werden");
  }
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);  // a folder is no file
  EXPECT_THROW(TFileStream(dir / "no/such/file", fmCreate), EFCreateError);
}

TEST(MemoryStream, FilesRoundTrip) {
  TempDir dir;
  TMemoryStream s;
  s.WriteString(std::string("\0\xff\r\n", 4));
  s.SaveToFile(dir / "m.bin");
  TMemoryStream t;
  t.LoadFromFile(dir / "M.bin");
  EXPECT_EQ(t.Size(), 4);
  EXPECT_EQ(t.Position(), 0);
  EXPECT_EQ(t.Memory()[1], 0xff);
  EXPECT_THROW(t.LoadFromFile(dir / "missing"), EFOpenError);
  EXPECT_EQ(t.Size(), 4);
}

}  // namespace
