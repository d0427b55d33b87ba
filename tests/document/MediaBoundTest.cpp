// The pictures both programs take from files are bounded (16384 pixels a side, 8 megapixels, as the
// README states): tiny files that declare larger pictures are refused before their pixels are taken,
// and no file, refused or accepted, moves either program's peak memory by a gigabyte.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "document/BrowserClasses.h"
#include "platform/gdi/Jpeg.h"
#include "platform/media/ScriptedWebEngine.h"
#include "platform/ui/TestInput.h"
#include "runtime/VXBuilder.h"
#include "tests/document/DocumentFixture.h"

using namespace doctest;

namespace {

// The documented bound.
constexpr int kSide = 16384;
constexpr int kPixels = 8 * 1024 * 1024;

void Put16(std::string& Out, unsigned V) {
  Out += static_cast<char>(V & 0xFF);
  Out += static_cast<char>((V >> 8) & 0xFF);
}
void Put32(std::string& Out, unsigned V) {
  Put16(Out, V & 0xFFFF);
  Put16(Out, V >> 16);
}

// An 8-bit BMP: run-length encoded (a few runs, then the end of the picture) or, with Rows, plain rows.
std::string Bmp8(int W, int H, const std::function<std::string(int Row)>& Rows = nullptr) {
  std::string table;
  Put32(table, 0x00FF00FF);  // colour 0: magenta, the key colour of the tests below
  Put32(table, 0x00000080);  // colour 1: navy
  table.resize(256 * 4);
  std::string pixels;
  if (Rows) {
    for (int y = H - 1; y >= 0; --y)
      pixels += Rows(y);
  } else {
    pixels = std::string("\xFF\x01\x00\x00\xFF\x01\x00\x01", 8);
  }
  std::string out = "BM";
  const unsigned offset = 14 + 40 + static_cast<unsigned>(table.size());
  Put32(out, offset + static_cast<unsigned>(pixels.size()));
  Put32(out, 0);
  Put32(out, offset);
  Put32(out, 40);
  Put32(out, static_cast<unsigned>(W));
  Put32(out, static_cast<unsigned>(H));
  Put16(out, 1);
  Put16(out, 8);
  Put32(out, Rows ? 0 : 1);  // BI_RGB or BI_RLE8
  Put32(out, static_cast<unsigned>(pixels.size()));
  for (int i = 0; i < 4; ++i)
    Put32(out, i == 2 ? 256 : 0);
  return out + table + pixels;
}

// A checkerboard of the two colours: the most row runs a picture of that size can hold.
std::string CheckerBmp(int W, int H) {
  return Bmp8(W, H, [W](int Row) {
    std::string row(static_cast<size_t>((W + 3) & ~3), '\0');
    for (int x = Row & 1; x < W; x += 2)
      row[static_cast<size_t>(x)] = 1;
    return row;
  });
}

// A GIF with a two-colour table and Frames frames, each with a code stream of one pixel.
std::string Gif(int ScreenW, int ScreenH, int FrameW, int FrameH, int Frames = 1) {
  std::string out = "GIF89a";
  Put16(out, static_cast<unsigned>(ScreenW));
  Put16(out, static_cast<unsigned>(ScreenH));
  out += std::string("\x80\x00\x00\x00\x00\x00\xFF\xFF\xFF", 9);
  for (int i = 0; i < Frames; ++i) {
    out += ',';
    Put32(out, 0);
    Put16(out, static_cast<unsigned>(FrameW));
    Put16(out, static_cast<unsigned>(FrameH));
    out += std::string("\x00\x02\x02\x44\x01\x00", 6);
  }
  return out + ";";
}

// The progressive JPEG that cjpeg made for the gdi tests, with the size in its frame header replaced.
std::string Jpeg(int W, int H) {
  const char* root = std::getenv("PELLORAN_SOURCE_DIR");
  std::string data =
      ReadAll(std::string(root != nullptr ? root : ".") + "/tests/gdi/data/jpeg/progressive.jpg");
  for (size_t i = 0; i + 9 < data.size(); ++i) {
    const auto marker = static_cast<unsigned char>(data[i + 1]);
    if (static_cast<unsigned char>(data[i]) == 0xFF && (marker == 0xC0 || marker == 0xC2)) {
      data[i + 5] = static_cast<char>(H >> 8);
      data[i + 6] = static_cast<char>(H & 0xFF);
      data[i + 7] = static_cast<char>(W >> 8);
      data[i + 8] = static_cast<char>(W & 0xFF);
      break;
    }
  }
  return data;
}

// A real progressive JPEG of a gradient, whose every coefficient the decoder keeps while it reads.
void WriteProgressiveJpeg(const std::string& Path, int W, int H) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(W, H);
  for (int y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int x = 0; x < W; ++x) {
      row[3 * x] = static_cast<uint8_t>(x);
      row[3 * x + 1] = static_cast<uint8_t>(y);
      row[3 * x + 2] = static_cast<uint8_t>(x ^ y);
    }
  }
  TJPEGImage jpeg;
  jpeg.Assign(&b);
  jpeg.SetProgressiveEncoding(true);
  jpeg.SaveToFile(Path);
}

struct Picture {
  const char* Name;
  std::function<void(const std::string& Path)> Write;
};

const Picture kFiles[] = {
    {"tiny.bmp", [](const std::string& P) { WriteAll(P, Bmp8(16000, 20000)); }},
    {"tiny.gif", [](const std::string& P) { WriteAll(P, Gif(20000, 16000, 20000, 16000)); }},
    {"tiny.jpg", [](const std::string& P) { WriteAll(P, Jpeg(20000, 16000)); }},
    {"checker.bmp", [](const std::string& P) { WriteAll(P, CheckerBmp(4096, kPixels / 4096)); }},
    {"frames.gif",
     [](const std::string& P) { WriteAll(P, Gif(4096, kPixels / 4096, 4096, kPixels / 4096, 8)); }},
    {"photo.jpg", [](const std::string& P) { WriteProgressiveJpeg(P, 4096, kPixels / 4096); }},
};

// Peak resident memory of this process so far, in bytes.
int64_t PeakMemory() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return int64_t{usage.ru_maxrss} * 1024;
}

// Caps the address space a few gigabytes above what the process holds, so a fault shows as a failed
// allocation rather than as the machine's memory gone.
void CapAddressSpace() {
  long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  const rlim_t cap = static_cast<rlim_t>(pages) * 4096 + (rlim_t{6} << 30);
  const rlimit limit{cap, cap};
  setrlimit(RLIMIT_AS, &limit);
}

std::string RuntimeConfig(const std::string& Picture) {
  return "Pelloran=V1.0\nObject=Global\nTop=0\nLeft=0\nWidth=300\nHeight=200\nITop=10\nILeft=10\n"
         "IRight=20\nIBottom=20\nend\nObject=Web\nTop=10\nLeft=10\nHeight=50\nWidth=50\n"
         "Position=Like designed\nBitmap=" +
         Picture +
         "\nInvisibleColor=16711935\nStartSound=<NoSound>\nExitSound=<NoSound>\nZOrder=0\nend\n"
         "Object=Button\nTop=0\nLeft=0\nMask=" +
         Picture + "\nTouched=" + Picture + "\nPressed=" + Picture + "\nDisabled=" + Picture +
         "\nInvisibleColor=16711935\nPressaction=Back\nend\n";
}

// The runtime program's road: the window reads a configuration that names the picture as its skin and
// as a button's pictures, and is shown.
void RunRuntime(const std::string& Dir, const std::string& Picture) {
  (void)SetWebEngineFactory([] { return std::make_unique<TScriptedWebEngine>(); });
  (void)SetCurrentDir(Dir);
  WriteAll(Dir + "/Config.VX", RuntimeConfig(Picture));
  TVXBuilder* form = TCustomForm::Create<TVXBuilder>(nullptr);
  try {
    form->ReadConfig("Config.VX");  // a refused picture ends the reading, as in the program
  } catch (const Exception&) {
  }
  TestInput::ShowAndWait(form);
  delete form;
}

// The designer's road: the document lists the picture, takes it as its skin and as a button's
// pictures, and shows its design surface.
void RunDesigner(const std::string& Dir, const std::string& Picture) {
  auto doc = NewDocument(Dir);
  try {
    doc->Bitmaps()->Add(Dir + "/" + Picture);
    doc->Web()->SetBitmap(Dir + "/" + Picture);
    TVXButton* button = doc->AddButton(0, 0);
    button->SetMask(Dir + "/" + Picture);
    button->SetTouched(Dir + "/" + Picture);
  } catch (const Exception&) {  // a refused picture stops here, as the designer's load does
  }
  doc->SetVisible(true);
  TestInput::ShowAndWait(doc->Surface());
}

// In a child process: a program at rest (its own small skin), then the same program with the file;
// exits 0 when the peak memory grew by less than a gigabyte.
[[noreturn]] void MeasureInChild(const std::function<void(const std::string&, const std::string&)>& Run,
                                 const Picture& File) {
  TAppFolder app;
  Run(app.Path(), "media/skin.bmp");
  const int64_t rest = PeakMemory();
  CapAddressSpace();
  File.Write(app / File.Name);
  Run(app.Path(), File.Name);
  const int64_t grown = PeakMemory() - rest;
  std::fprintf(stderr, "%s: peak memory grew by %lld MiB\n", File.Name, static_cast<long long>(grown >> 20));
  std::_Exit(grown < (int64_t{1} << 30) ? 0 : 1);
}

}  // namespace

TEST(MediaBound, PicturesPastTheBoundAreRefusedWithTheirLoadError) {
  TTempFolder dir;
  struct Case {
    const char* Name;
    std::string Data;
    int Width;  // 0: refused
    int Height;
  };
  const Case cases[] = {
      {"wide.bmp", Bmp8(kSide + 1, 1), 0, 0},
      {"tall.bmp", Bmp8(1, kSide + 1), 0, 0},
      {"many.bmp", Bmp8(4097, kPixels / 4096), 0, 0},
      {"edge.bmp", Bmp8(kSide, kPixels / kSide), kSide, kPixels / kSide},
      {"screen.gif", Gif(kSide + 1, 1, 1, 1), 0, 0},
      {"frame.gif", Gif(1, 1, 4097, kPixels / 4096), 0, 0},
      {"edge.gif", Gif(kSide, kPixels / kSide, 1, 1), kSide, kPixels / kSide},
      {"frames.gif", Gif(kSide, kPixels / kSide, kSide, kPixels / kSide, 8), kSide, kPixels / kSide},
      {"more.gif", Gif(kSide, kPixels / kSide, kSide, kPixels / kSide, 9), 0, 0},
      {"wide.jpg", Jpeg(kSide + 1, 8), 0, 0},
      {"many.jpg", Jpeg(4097, kPixels / 4096), 0, 0},
      {"edge.jpg", Jpeg(kSide, kPixels / kSide), kSide, kPixels / kSide},
  };
  for (const Case& c : cases) {
    WriteAll(dir / c.Name, c.Data);
    TPicture picture;
    if (c.Width == 0) {
      EXPECT_THROW(picture.LoadFromFile(dir / c.Name), EInvalidGraphic) << c.Name;
      continue;
    }
    picture.LoadFromFile(dir / c.Name);
    EXPECT_EQ(picture.Width(), c.Width) << c.Name;
    EXPECT_EQ(picture.Height(), c.Height) << c.Name;
  }
}

TEST(MediaBound, NoFileMovesEitherProgramsPeakMemoryByAGigabyte) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const Picture& file : kFiles) {
    EXPECT_EXIT(MeasureInChild(RunRuntime, file), ::testing::ExitedWithCode(0), "")
        << "runtime, " << file.Name;
    EXPECT_EXIT(MeasureInChild(RunDesigner, file), ::testing::ExitedWithCode(0), "")
        << "designer, " << file.Name;
  }
}
