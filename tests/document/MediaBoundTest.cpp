// The pictures both programs take from files are bounded (16384 pixels a side, 8 megapixels, as the
// README states): tiny files that declare larger pictures are refused before their pixels are taken,
// and no file, refused or accepted, moves either program's peak memory by a gigabyte. Files are read up
// to their bound (pictures, project texts) and refused one byte over it.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QBuffer>
#include <QImage>

#include <cstring>
#include <filesystem>
#include <functional>

#include "document/BrowserClasses.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/ui/TestInput.h"
#include "runtime/VXBuilder.h"
#include "tests/Sanitizer.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

constexpr int kSide = 16384;
constexpr int kPixels = 8 * 1024 * 1024;

// An 8-bit BMP of two colours (0 magenta, the key colour below; 1 navy) holding Pixels: run-length
// encoded by default, with three runs and the end of the picture.
std::string Bmp8(int32_t W, int32_t H,
                 const std::string& Pixels = std::string("\xFF\x01\0\0\xFF\x01\0\x01", 8),
                 uint32_t Compression = 1) {
  std::string f(14 + 40 + 8, '\0');
  auto put = [&f](size_t At, uint32_t V) { std::memcpy(&f[At], &V, 4); };
  f[0] = 'B';
  f[1] = 'M';
  const std::pair<size_t, uint32_t> fields[] = {
      {10, 62},          {14, 40}, {18, uint32_t(W)}, {22, uint32_t(H)}, {26, 1 | (8 << 16)},
      {30, Compression}, {46, 2},  {54, 0xFF00FF},    {58, 0x80}};
  for (const auto& [at, v] : fields)
    put(at, v);
  return f + Pixels;
}

// A plain checkerboard of the two colours: the most row runs a picture of its size can hold.
std::string CheckerBmp(int W, int H) {
  std::string rows(size_t(W) * size_t(H), '\0');
  for (size_t i = 0; i < rows.size(); ++i)
    rows[i] = static_cast<char>((i % size_t(W) + i / size_t(W)) & 1);
  return Bmp8(W, H, rows, 0);
}

// A GIF with a two-colour table and Frames frames whose code streams hold one pixel each.
std::string Gif(uint16_t ScreenW, uint16_t ScreenH, uint16_t FrameW, uint16_t FrameH, int Frames = 1) {
  auto le = [](uint16_t V) { return std::string{char(V & 0xFF), char(V >> 8)}; };
  std::string out = "GIF89a" + le(ScreenW) + le(ScreenH) + std::string("\x80\0\0\0\0\0\xFF\xFF\xFF", 9);
  for (int i = 0; i < Frames; ++i)
    out += std::string(",\0\0\0\0", 5) + le(FrameW) + le(FrameH) + std::string("\0\x02\x02\x44\x01\0", 6);
  return out + ";";
}

// The progressive JPEG that cjpeg made for the gdi tests, its frame header claiming another size.
std::string Jpeg(int W, int H) {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  std::string data = ReadAll(std::string(root ? root : ".") + "/tests/gdi/data/jpeg/progressive.jpg");
  const size_t sof = data.find("\xFF\xC2");
  data[sof + 5] = static_cast<char>(H >> 8);
  data[sof + 6] = static_cast<char>(H & 0xFF);
  data[sof + 7] = static_cast<char>(W >> 8);
  data[sof + 8] = static_cast<char>(W & 0xFF);
  return data;
}

// An icon file holding one PNG image of that size, written by Qt.
std::string PngIcon(int W, int H) {
  QImage image(W, H, QImage::Format_ARGB32);
  image.fill(0);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  std::string icon("\0\0\x01\0\x01\0\0\0\0\0\x01\0\x20\0", 14);
  for (const uint32_t v : {uint32_t(png.size()), uint32_t{22}})
    icon.append(reinterpret_cast<const char*>(&v), 4);
  return icon + png.toStdString();
}

// The runtime program's road: the window reads a configuration naming the picture as its skin and as a
// button's pictures, and is shown; a refused picture is reported (here to nobody) and the reading goes on,
// as in the program.
void RunRuntime(const std::string& Dir, const std::string& Picture) {
  Application->OnException = [](TObject*, const Exception&) {};
  (void)SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  (void)SetCurrentDir(Dir);
  WriteAll(Dir + "/Config.VX",
           "Pelloran=V1.0\nObject=Global\nWidth=300\nHeight=200\nend\nObject=Web\nBitmap=" + Picture +
               "\nInvisibleColor=16711935\nend\nObject=Button\nMask=" + Picture + "\nTouched=" + Picture +
               "\nend\n");
  std::unique_ptr<TVXBuilder> form(TCustomForm::Create<TVXBuilder>(nullptr));
  try {
    form->ReadConfig("Config.VX");
  } catch (const Exception&) {
  }
  TestInput::ShowAndWait(form.get());
}

// The designer's road: the document lists the picture, takes it as its skin and a button's pictures,
// and shows its design surface; a refused picture stops there, as the designer's load does.
void RunDesigner(const std::string& Dir, const std::string& Picture) {
  auto doc = NewDocument(Dir);
  try {
    doc->Bitmaps()->Add(Dir + "/" + Picture);
    doc->Web()->SetBitmap(Dir + "/" + Picture);
    doc->AddButton(0, 0)->SetMask(Dir + "/" + Picture);
  } catch (const Exception&) {
  }
  doc->SetVisible(true);
  TestInput::ShowAndWait(doc->Surface());
}

// A program at rest (with its own small skin), then with the file: exits 0 when the peak memory grew
// by less than a gigabyte.
[[noreturn]] void MeasureInChild(void (*Run)(const std::string&, const std::string&), const char* Name,
                                 const std::string& Data) {
  TAppFolder app;
  Run(app.Path(), "media/skin.bmp");
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  WriteAll(app / Name, Data);
  Run(app.Path(), Name);
  getrusage(RUSAGE_SELF, &after);
  const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
  std::fprintf(stderr, "%s: peak memory grew by %ld MiB\n", Name, grownMiB);
  std::_Exit(grownMiB < 1024 ? 0 : 1);
}

// A project on the folder's small skin with the numbers given (start size, inner rectangle's top, web
// view's size).
std::string Project(int Width, int Height, int ITop, int WebSide) {
  const std::string n = "\n";
  return "Pelloran=V1.2\nObject=Bitmaps\nmedia/skin.bmp\nend\nObject=Global\nTop=0\nLeft=0\nWidth=" +
         std::to_string(Width) + n + "Height=" + std::to_string(Height) + n + "ITop=" + std::to_string(ITop) +
         "\nILeft=10\nIRight=190\nIBottom=90\nend\nObject=Web\nTop=10\nLeft=10\nWidth=" +
         std::to_string(WebSide) + n + "Height=" + std::to_string(WebSide) + n +
         "Bitmap=media/skin.bmp\nInvisibleColor=16711935\nend\n";
}

// The designer opens a project and shows its design surface, then test-runs it: the runtime window
// reads the same text (over the scripted web engine) and is shown.
void OpenAndTestRun(const std::string& Dir, const std::string& Text) {
  (void)SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  (void)SetCurrentDir(Dir);
  WriteAll(Dir + "/project.VX", Text);
  auto doc = NewDocument(Dir);
  doc->LoadProject(Dir + "/project.VX");
  TestInput::ShowAndWait(doc->Surface());
  std::unique_ptr<TVXBuilder> form(TCustomForm::Create<TVXBuilder>(nullptr));
  form->ReadConfig("project.VX");
  TestInput::ShowAndWait(form.get());
}

// The designer at rest with a small project, then with the largest numbers a project may hold: exits 0
// when the peak memory grew by less than a gigabyte.
[[noreturn]] void MeasureLargestProjectInChild() {
  TAppFolder app;
  OpenAndTestRun(app.Path(), Project(300, 200, 10, 100));
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  OpenAndTestRun(app.Path(), Project(8192, 8192, 32767, 8192));
  getrusage(RUSAGE_SELF, &after);
  const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
  std::fprintf(stderr, "largest project: peak memory grew by %ld MiB\n", grownMiB);
  std::_Exit(grownMiB < 1024 ? 0 : 1);
}

}  // namespace

TEST(MediaBound, TheLargestProjectKeepsTheDesignerWithinAGigabyte) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "no memory measures under the address sanitizer";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(MeasureLargestProjectInChild(), ::testing::ExitedWithCode(0), "");
}

TEST(MediaBound, PicturesPastTheBoundAreRefusedWithTheirLoadError) {
  TTempFolder dir;
  const int tall = kPixels / kSide;
  struct Case {
    const char* Name;
    std::string Data;
    bool Accepted;
    int64_t FileSize = 0;  // the file is made this long with zeros (sparse), when not 0
  };
  const Case cases[] = {
      {"wide.bmp", Bmp8(kSide + 1, 1), false},
      {"many.bmp", Bmp8(4097, kPixels / 4096), false},
      {"edge.bmp", Bmp8(kSide, tall), true},
      {"screen.gif", Gif(kSide + 1, 1, 1, 1), false},
      {"frame.gif", Gif(1, 1, 4097, kPixels / 4096), false},
      {"frames.gif", Gif(kSide, tall, kSide, tall, 8), true},
      {"more.gif", Gif(kSide, tall, kSide, tall, 9), false},  // the frames of one file hold 8 pictures
      {"tall.jpg", Jpeg(8, kSide + 1), false},
      {"many.jpg", Jpeg(4097, kPixels / 4096), false},
      {"edge.jpg", Jpeg(kSide, tall), true},
      {"many.ico", PngIcon(4097, kPixels / 4096), false},
      // A file of the largest size a reader takes is decoded; one byte more is refused unread.
      {"bound.bmp", Bmp8(kSide, tall), true, MaxPictureFileBytes},
      {"over.bmp", Bmp8(kSide, tall), false, MaxPictureFileBytes + 1},
      {"bound.jpg", Jpeg(kSide, tall), true, MaxPictureFileBytes},
      {"over.jpg", Jpeg(kSide, tall), false, MaxPictureFileBytes + 1},
  };
  for (const Case& c : cases) {
    WriteAll(dir / c.Name, c.Data);
    if (c.FileSize != 0) std::filesystem::resize_file(dir / c.Name, static_cast<uintmax_t>(c.FileSize));
    TPicture picture;
    if (!c.Accepted) {
      EXPECT_THROW(picture.LoadFromFile(dir / c.Name), EInvalidGraphic) << c.Name;
      continue;
    }
    picture.LoadFromFile(dir / c.Name);
    EXPECT_EQ(picture.Width(), kSide) << c.Name;
    EXPECT_EQ(picture.Height(), tall) << c.Name;
  }
}

// A project text of the largest size the programs read is read by both, the designer and the runtime
// window; one byte more is refused unread, with a message that says why.
TEST(MediaBound, ProjectTextsUpToTheBoundAreReadAndLargerOnesRefusedSayingSo) {
  TAppFolder app;
  const TWebEngineFactory previous =
      SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  const std::string file = app / "big.VX";
  const std::pair<int64_t, std::string> cases[] = {
      {MaxProjectTextSize, ""},
      {MaxProjectTextSize + 1,
       "Datei " + file + " kann nicht geöffnet werden. Die Datei ist größer als 64 MiB"},
  };
  for (const auto& [size, refusal] : cases) {
    WriteAll(file, "Pelloran=V1.2\r\nObject=Global\r\nTop=5\r\nLeft=6\r\nend\r\n");
    std::filesystem::resize_file(file, static_cast<uintmax_t>(size));  // sparse: a last line of zeros
    auto doc = NewDocument(app.Path());
    std::unique_ptr<TVXBuilder> form(TCustomForm::Create<TVXBuilder>(nullptr));
    const std::pair<const char*, std::function<int()>> reads[] = {
        {"designer", [&] { return doc->LoadProject(file), doc->Surface()->Top(); }},
        {"runtime", [&] { return form->ReadConfig(file), form->Top(); }},
    };
    for (const auto& [program, read] : reads) {
      try {
        EXPECT_EQ(read(), 5) << program;
        EXPECT_EQ(refusal, "") << program << " read a file of " << size << " bytes";
      } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message, refusal) << program;
      }
    }
  }
  (void)SetWebEngineFactory(previous);
}

TEST(MediaBound, NoFileMovesEitherProgramsPeakMemoryByAGigabyte) {
  if (kUnderAddressSanitizer) GTEST_SKIP() << "no memory measures under the address sanitizer";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::pair<const char*, std::function<std::string()>> files[] = {
      {"tiny.bmp", [] { return Bmp8(16000, 20000); }},
      {"tiny.gif", [] { return Gif(20000, 16000, 20000, 16000); }},
      {"tiny.jpg", [] { return Jpeg(20000, 16000); }},
      {"checker.bmp", [] { return CheckerBmp(4096, kPixels / 4096); }},  // the most window-region runs
      {"frames.gif", [] { return Gif(4096, kPixels / 4096, 4096, kPixels / 4096, 8); }},
  };
  for (const auto& [name, data] : files) {
    EXPECT_EXIT(MeasureInChild(RunRuntime, name, data()), ::testing::ExitedWithCode(0), "")
        << "runtime " << name;
    EXPECT_EXIT(MeasureInChild(RunDesigner, name, data()), ::testing::ExitedWithCode(0), "")
        << "designer " << name;
  }
}
