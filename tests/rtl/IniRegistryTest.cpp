#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "EnvScope.h"
#include "TempDir.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/Registry.h"
#include "tests/Watchdog.h"

namespace {

TEST(IniFile, ReadsIgnoringCaseAndFallsBackToDefaults) {
  TempDir dir;
  dir.Write("coord.ini",
            "; positions\r\n"
            "[Button1]\r\n"
            "left = 10\r\n"
            "top=abc\r\n"
            "width=$20\r\n"
            "name=\"quoted\"\r\n"
            "flag=1\r\n"
            "\r\n"
            "[button1]\r\n"
            "left=99\r\n"
            "[Other]\n"
            "height=5\n");
  TIniFile ini(dir / "Coord.INI");
  struct Case {
    const char* section;
    const char* key;
    int def;
    int expected;
  };
  const Case cases[] = {
      {"BUTTON1", "LEFT", 0, 10},   // first of two sections counts, trimmed
      {"Button1", "top", 7, 7},     // malformed
      {"Button1", "width", 0, 32},  // hex
      {"Button1", "height", 3, 3},  // missing key
      {"Missing", "left", -1, -1},  // missing section
      {"other", "Height", 0, 5},    // LF line ends
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadInteger(c.section, c.key, c.def), c.expected) << c.key;
  EXPECT_EQ(ini.ReadString("Button1", "name", ""), "quoted");
  EXPECT_TRUE(ini.ReadBool("Button1", "flag", false));
  EXPECT_TRUE(ini.ReadBool("Button1", "none", true));
  EXPECT_TRUE(ini.SectionExists("OTHER"));
  EXPECT_TRUE(ini.ValueExists("other", "HEIGHT"));
  EXPECT_FALSE(ini.ValueExists("other", "width"));
  TStringList keys;
  ini.ReadSection("Button1", &keys);
  EXPECT_EQ(keys.CommaText(), "left,top,width,name,flag");
  ini.ReadSections(&keys);
  EXPECT_EQ(keys.CommaText(), "Button1,button1,Other");

  TIniFile missing(dir / "none.ini");
  EXPECT_EQ(missing.ReadString("a", "b", "def"), "def");
  EXPECT_FALSE(missing.SectionExists("a"));
}

TEST(IniFile, WritesKeepOtherLinesAndRoundTrip) {
  TempDir dir;
  dir.Write("a.ini", "; keep me\r\n[S]\r\nx=1\r\n\r\n[T]\r\ny=2\r\n");
  TIniFile ini(dir / "a.ini");
  ini.WriteInteger("s", "X", 5);     // replaces, keeps the line's place
  ini.WriteString("S", "z", "new");  // appended to its section
  ini.WriteBool("U", "b", true);     // a new section at the end
  EXPECT_EQ(dir.Read("a.ini"), "; keep me\r\n[S]\r\nX=5\r\nz=new\r\n\r\n[T]\r\ny=2\r\n\r\n[U]\r\nb=1\r\n");
  EXPECT_EQ(TIniFile(dir / "a.ini").ReadInteger("S", "x", 0), 5);
  ini.DeleteKey("S", "z");
  ini.EraseSection("t");
  EXPECT_EQ(dir.Read("a.ini"), "; keep me\r\n[S]\r\nX=5\r\n\r\n[U]\r\nb=1\r\n");
  EXPECT_THROW(ini.WriteString("S", "bad", "two\nlines"), EInOutError);
  EXPECT_EQ(dir.Read("a.ini"), "; keep me\r\n[S]\r\nX=5\r\n\r\n[U]\r\nb=1\r\n");
  EXPECT_EQ(dir.EntryCount(), 1);

  TIniFile fresh(dir / "new.ini");
  fresh.WriteInteger("Btn", "left", -3);
  EXPECT_EQ(dir.Read("new.ini"), "[Btn]\r\nleft=-3\r\n");
  TIniFile nowhere(dir / "no/folder.ini");
  EXPECT_THROW(nowhere.WriteInteger("a", "b", 1), EFCreateError);
}

// Ways a file can be there and yet not be read; each puts one at Path. Permission bits do not stop
// root, so that way is tried only by an unprivileged run (the tests are also run as one).
struct Unreadable {
  const char* What;
  std::function<void(const std::string& Path)> Make;
};
const std::vector<Unreadable>& UnreadableFiles() {
  static const std::vector<Unreadable> ways = [] {
    std::vector<Unreadable> w = {
        {"a folder", [](const std::string& p) { std::filesystem::create_directories(p + "/inside"); }},
        {"a link to nothing", [](const std::string& p) { std::filesystem::create_symlink(p + ".gone", p); }},
        // Read, these would keep the program waiting for ever or filling its memory.
        {"a FIFO", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }},
        {"a link to a device that never ends",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); }},
        {"a file above the bound",
         [](const std::string& p) {
           std::ofstream(p) << "[Software\\Pelloran]\r\n";
           std::filesystem::resize_file(p, MaxStoreSize + 1);  // sparse: no disk taken
         }},
    };
    if (::geteuid() != 0)
      w.push_back({"no read permission", [](const std::string& p) {
                     std::ofstream(p) << "[Software\\Pelloran]\r\nShapeColor=dword:7\r\n";
                     ::chmod(p.c_str(), 0200);
                   }});
    return w;
  }();
  return ways;
}

// What is at Path, to see that it was left alone: the kind, the link target or the content.
std::string Fingerprint(const std::string& Path) {
  namespace fs = std::filesystem;
  const fs::file_status st = fs::symlink_status(Path);
  if (fs::is_symlink(st)) return "link " + fs::read_symlink(Path).string();
  if (fs::is_directory(st)) return "folder";
  if (fs::is_fifo(st)) return "fifo";
  if (fs::file_size(Path) > 4096) return "file of " + std::to_string(fs::file_size(Path)) + " bytes";
  ::chmod(Path.c_str(), 0600);
  std::ifstream in(Path, std::ios::binary);
  const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ::chmod(Path.c_str(), 0200);
  return "file " + content;
}

TEST(IniFile, AFileThatCannotBeReadIsNeverReplaced) {
  for (const Unreadable& way : UnreadableFiles()) {
    SCOPED_TRACE(way.What);
    const TWatchdog bound(std::chrono::seconds(10), std::string("an ini file that is ") + way.What);
    TempDir dir;
    way.Make(dir / "coord.ini");
    const std::string before = Fingerprint(dir / "coord.ini");
    TIniFile ini(dir / "coord.ini");
    EXPECT_EQ(ini.ReadInteger("Software\\Pelloran", "ShapeColor", -1), -1);
    const std::function<void()> writes[] = {[&] { ini.WriteInteger("Button1", "left", 5); },
                                            [&] { ini.DeleteKey("Button1", "left"); },
                                            [&] { ini.EraseSection("Button1"); }};
    for (const auto& write : writes) {
      try {
        write();
        ADD_FAILURE() << "the write replaced the file";
      } catch (const EIniFileException& e) {
        EXPECT_NE(e.Message.find(dir / "coord.ini"), std::string::npos) << e.Message;
        EXPECT_NE(e.Message.find("kann nicht gelesen werden"), std::string::npos) << e.Message;
      }
    }
    EXPECT_EQ(Fingerprint(dir / "coord.ini"), before);
    EXPECT_EQ(dir.EntryCount(), 1);
  }
}

// Points the registry store and the user's data folder at a fresh folder for one test.
class RegistryTest : public testing::Test {
 protected:
  TempDir dir_;
  EnvScope config_{"XDG_CONFIG_HOME", dir_.Path()};
  EnvScope data_{"XDG_DATA_HOME", dir_ / "data"};
};

TEST_F(RegistryTest, OptionsRoundTrip) {
  EXPECT_EQ(TRegistry::StoreFileName(), dir_ / "Pelloran/registry.ini");
  // A stranger's files beside the store that look like temporary files.
  const std::string strangers[] = {"Pelloran/.x.1.1.tmp", "Pelloran/.registry.ini.99999999.0.tmp"};
  std::filesystem::create_directory(dir_ / "Pelloran");
  for (const std::string& name : strangers)
    dir_.Write(name, "theirs");
  {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("Software\\Pelloran\\", false));
    EXPECT_FALSE(FileExists(TRegistry::StoreFileName()));
    ASSERT_TRUE(reg.OpenKey("Software\\Pelloran\\", true));
    reg.WriteInteger("ShapeColor", 255);
    reg.WriteInteger("HelperColor", 16777215);
    reg.WriteBool("SoundsOn", false);
    reg.WriteString("Name", "a=b c");
    reg.CloseKey();
  }
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists("\\Software"));
  ASSERT_TRUE(reg.OpenKey("\\software\\PELLORAN", false));
  EXPECT_EQ(reg.ReadInteger("ShapeColor"), 255);
  EXPECT_EQ(reg.ReadInteger("helpercolor"), 16777215);
  EXPECT_FALSE(reg.ReadBool("SoundsOn"));
  EXPECT_EQ(reg.ReadString("Name"), "a=b c");
  EXPECT_TRUE(reg.ValueExists("SoundsOn"));
  EXPECT_FALSE(reg.ValueExists("MessageSoundsOn"));
  EXPECT_EQ(reg.GetDataType("Name"), TRegDataType::rdString);
  EXPECT_EQ(reg.GetDataType("ShapeColor"), TRegDataType::rdInteger);
  for (const std::string& name : strangers)
    EXPECT_EQ(dir_.Read(name), "theirs") << name;
}

TEST_F(RegistryTest, MissingAndMistypedValuesRaise) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("Software\\Pelloran", true));
  reg.WriteString("Text", "5");
  reg.WriteInteger("Number", 5);
  EXPECT_EQ(reg.ReadString("Missing"), "");
  try {
    (void)reg.ReadInteger("Missing");
    ADD_FAILURE();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message, "Fehler beim Lesen der Daten für 'Missing'");
  }
  try {
    (void)reg.ReadInteger("Text");
    ADD_FAILURE();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message, "Ungültiger Datentyp für 'Text'");
  }
  EXPECT_THROW((void)reg.ReadBool("Text"), ERegistryException);
  EXPECT_THROW((void)reg.ReadString("Number"), ERegistryException);
  EXPECT_TRUE(reg.DeleteValue("Text"));
  EXPECT_FALSE(reg.ValueExists("Text"));
}

TEST_F(RegistryTest, MalformedStoreLinesReadAsMistyped) {
  ForceDirectories(dir_ / "Pelloran");
  dir_.Write("Pelloran/registry.ini",
             "[Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
             "Favorites=sz:/home/user/Favorites\r\n"
             "[Software\\Microsoft\\Windows\\Other]\r\n"
             "Value=sz:x\r\n"
             "[Software\\Pelloran]\r\n"
             "ShapeColor=dword:12x\r\n"
             "garbage line\r\n"
             "HelperColor=7\r\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
  EXPECT_EQ(reg.ReadString("Favorites"), "/home/user/Favorites");
  EXPECT_THROW(reg.WriteString("Favorites", "x"), ERegistryException);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Pelloran", false));
  EXPECT_THROW((void)reg.ReadInteger("ShapeColor"), ERegistryException);
  EXPECT_THROW((void)reg.ReadInteger("HelperColor"), ERegistryException);
  EXPECT_TRUE(reg.DeleteKey("\\Software\\Microsoft"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\Microsoft\\Windows\\Other"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Pelloran"));
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false));
  EXPECT_EQ(reg.ReadString("Favorites"), dir_ / "data/Pelloran/Favorites") << "the stored value went";
}

// On a fresh account the Favorites folder is answered (and made when read); a value written wins.
TEST_F(RegistryTest, FavoritesFolderOfAFreshAccount) {
  const std::string folder = dir_ / "data/Pelloran/Favorites";
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"));
  EXPECT_FALSE(DirectoryExists(folder));
  EXPECT_EQ(reg.GetDataType("Favorites"), TRegDataType::rdString);
  EXPECT_EQ(reg.ReadString("favorites"), folder);
  EXPECT_TRUE(DirectoryExists(folder));
  EXPECT_EQ(reg.ReadString("Personal"), "");
  EXPECT_FALSE(FileExists(TRegistry::StoreFileName())) << "answering writes nothing";
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false));
  reg.WriteString("Favorites", "/home/user/Bookmarks");
  EXPECT_EQ(reg.ReadString("Favorites"), "/home/user/Bookmarks");
}

TEST_F(RegistryTest, AStoreThatCannotBeReadIsNeverReplaced) {
  const std::string store = TRegistry::StoreFileName();
  for (const Unreadable& way : UnreadableFiles()) {
    SCOPED_TRACE(way.What);
    const TWatchdog bound(std::chrono::seconds(10), std::string("an option store that is ") + way.What);
    std::filesystem::remove_all(dir_ / "Pelloran");
    TRegistry open;
    ASSERT_TRUE(open.OpenKey("Software\\Pelloran", true));
    std::filesystem::remove(store);
    way.Make(store);
    const std::string before = Fingerprint(store);

    TRegistry fresh;
    EXPECT_FALSE(fresh.OpenKey("Software\\Pelloran", false));
    EXPECT_FALSE(fresh.OpenKey("Software\\Pelloran", true));
    try {
      open.WriteInteger("ShapeColor", 1);
      ADD_FAILURE() << "the write replaced the store";
    } catch (const ERegistryException& e) {
      EXPECT_NE(e.Message.find(store + " kann nicht gelesen werden"), std::string::npos) << e.Message;
    }
    open.BeginUpdate();
    EXPECT_THROW(open.WriteBool("SoundsOn", true), ERegistryException);
    open.EndUpdate();
    EXPECT_EQ(Fingerprint(store), before);
  }
}

TEST_F(RegistryTest, OtherRootsHaveNoKeys) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.OpenKey("Software", true));
  EXPECT_FALSE(FileExists(TRegistry::StoreFileName()));
}

}  // namespace
