// Shared pieces of the document tests: a temporary application folder with small pictures, sounds and a
// stand-in runtime program, and reading files whole.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "document/BrowserClasses.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/FileUtils.h"
#include "platform/rtl/SysUtils.h"

namespace doctest {

inline std::string ReadAll(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void WriteAll(const std::string& Path, const std::string& Data) {
  const std::filesystem::path folder = std::filesystem::path(Path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder);
  std::ofstream out(Path, std::ios::binary);
  out << Data;
}

inline std::string Replace(std::string Text, const std::string& From, const std::string& To) {
  for (size_t at = Text.find(From); at != std::string::npos; at = Text.find(From, at + To.size()))
    Text.replace(at, From.size(), To);
  return Text;
}

// A 24-bit BMP of one colour, with Corner painted into the bottom-left pixel when it is not -1.
inline void WritePicture(const std::string& Path, int Width, int Height, TColor Color, TColor Corner = -1) {
  std::filesystem::create_directories(std::filesystem::path(Path).parent_path());
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(Width, Height);
  b.Canvas()->Brush()->SetColor(Color);
  b.Canvas()->FillRect(Rect(0, 0, Width, Height));
  if (Corner != -1) b.Canvas()->SetPixels(0, Height - 1, Corner);
  b.SaveToFile(Path);
}

// The golden files of this folder.
inline std::string GoldenPath(const std::string& Name) {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  return std::string(root != nullptr ? root : ".") + "/tests/document/golden/" + Name;
}

// Compares Actual with the golden file Name in which "@DIR@" stands for Dir. On a difference the actual
// text (with Dir written back as "@DIR@") is left as "<Name>.actual" in the working folder.
inline void ExpectGolden(const std::string& Actual, const std::string& Name, const std::string& Dir) {
  const std::string golden = Replace(ReadAll(GoldenPath(Name)), "@DIR@", Dir);
  EXPECT_EQ(Actual, golden) << "golden file " << Name;
  if (Actual != golden) WriteAll(Name + ".actual", Replace(Actual, Dir, "@DIR@"));
}

// A fresh folder below the system's temporary folder, removed at the end.
class TTempFolder {
 public:
  TTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pelloran-doc-XXXXXX").string();
    FPath = mkdtemp(pattern.data());
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;
  [[nodiscard]] const std::string& Path() const { return FPath; }
  [[nodiscard]] std::string operator/(const std::string& Name) const { return FPath + "/" + Name; }

 private:
  std::string FPath;
};

// An application folder: the default button pictures, the image element's picture, a runtime program
// (a small executable script), a 200 x 100 skin and a few pictures and sounds for projects.
class TAppFolder : public TTempFolder {
 public:
  TAppFolder() {
    const TTempFolder& f = *this;
    WritePicture(f / "Images/Buttons/Button1.BMP", 24, 12, clRed);
    WritePicture(f / "Images/Buttons/Button1Over.BMP", 24, 12, clGreen);
    WritePicture(f / "Images/Buttons/Button1Press.BMP", 24, 12, clBlue);
    WritePicture(f / "Images/Buttons/Button1Dis.BMP", 24, 12, clGray);
    WritePicture(f / "Image.bmp", 30, 20, clOlive);
    WritePicture(f / "media/skin.bmp", 200, 100, clNavy, clFuchsia);
    WritePicture(f / "media/unused.bmp", 8, 8, clWhite);
    WritePicture(f / "media/mask.bmp", 40, 16, clLime);
    WritePicture(f / "media/over.bmp", 40, 16, clAqua);
    WritePicture(f / "media/press.bmp", 40, 16, clTeal);
    WritePicture(f / "media/dis.bmp", 40, 16, clSilver);
    WriteAll(f / "media/start.wav", "RIFF start");
    WriteAll(f / "media/unused.wav", "RIFF unused");
    WriteAll(f / "media/click.mp3", "not a wave");
    WriteAll(f / "Builder", "#!/bin/sh\necho built browser\n");
    chmod((f / "Builder").c_str(), 0755);
  }
  [[nodiscard]] std::string Media(const std::string& Name) const { return Path() + "/media/" + Name; }
};

// Owns a document for one test.
inline std::unique_ptr<TVXBrowser> NewDocument(const std::string& AppDir) {
  auto doc = std::make_unique<TVXBrowser>(nullptr);
  doc->SetAppDir(AppDir);
  return doc;
}

}  // namespace doctest
