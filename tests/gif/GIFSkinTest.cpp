// GIF pictures in the image cache, as skins of a skinned form and as pictures of a shaped button (the
// last on a real X server under Xvfb, checked on a screenshot).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "GIFTestUtil.h"
#include "gif/GIFExtensions.h"
#include "platform/ui/Forms.h"
#include "skin/KUtilities.h"
#include "skin/UVexForm.h"
#include "skin/organicShapeButton.h"

namespace {

constexpr const char* kChildVar = "PELLORAN_GIF_SKIN_CHILD";

struct ScratchDir {
  std::string Path;
  ScratchDir() {
    char name[] = "/tmp/gifskinXXXXXX";
    Path = mkdtemp(name);
  }
  ~ScratchDir() { std::filesystem::remove_all(Path); }
};

std::string RunCommand(const std::string& Command) {
  std::string out;
  if (FILE* p = popen(Command.c_str(), "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p))
      out += buf;
    pclose(p);
  }
  return out;
}

// Writes a GIF of Frames frames of Width x Height; Pixel(frame, x, y) gives an index into Colors.
void WriteGif(const std::string& Path, int Width, int Height, int Frames, const std::vector<TColor>& Colors,
              const std::function<int(int, int, int)>& Pixel) {
  TGIFImage image;
  for (TColor c : Colors)
    image.GlobalColorMap()->Add(c);
  for (int f = 0; f < Frames; ++f) {
    Bytes pixels;
    for (int y = 0; y < Height; ++y)
      for (int x = 0; x < Width; ++x)
        pixels.push_back(static_cast<uint8_t>(Pixel(f, x, y)));
    TGIFSubImage* frame = AddPixelFrame(image, Width, Height, pixels);
    auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
    gce->SetDelay(20);
    frame->Extensions()->Add(std::move(gce));
  }
  image.SaveToFile(Path);
}

// The skin: an ellipse, blue on the left, orange on the right, on white (the key colour).
int SkinIndex(int Frame, int X, int Y) {
  const double ex = (X + 0.5 - 100) / 90, ey = (Y + 0.5 - 75) / 65;
  if (ex * ex + ey * ey > 1.0) return 0;
  return X < 100 ? 1 : (Frame == 0 ? 2 : 3);
}
const std::vector<TColor> kSkinColors{0xFFFFFF, 0xC05020, 0x2050C0, 0x20C050};  // white, blue, orange, green

struct StartDirectoryScope {
  std::string Old;
  explicit StartDirectoryScope(const std::string& Dir) : Old(StartDirectory()) { SetStartDirectory(Dir); }
  ~StartDirectoryScope() { SetStartDirectory(Old); }
};

}  // namespace

TEST(GIFCache, IsGifFileIgnoresCase) {
  EXPECT_TRUE(IsGifFile("a.gif"));
  EXPECT_TRUE(IsGifFile("C:\\Skins\\Frame.GIF"));
  EXPECT_FALSE(IsGifFile("a.gif.bmp"));
  EXPECT_FALSE(IsGifFile("gif"));
}

TEST(GIFCache, OneObjectPerNameServingBothKinds) {
  ScratchDir dir;
  const std::string path = dir.Path + "/Anim.gif";
  WriteGif(path, 200, 150, 2, kSkinColors, SkinIndex);
  KMediaList* cache = KMediaList::Instance();
  TGIFImage* gif = cache->GetGIF(path);
  ASSERT_FALSE(gif->Empty());
  EXPECT_EQ(cache->GetGIF(dir.Path + "/ANIM.gif"), gif);
  // A bitmap request for the same name: the first frame at the picture's size, no painter running.
  TBitmap32* bitmap = cache->GetBitmap(path);
  ASSERT_EQ(bitmap->Width(), 200);
  ASSERT_EQ(bitmap->Height(), 150);
  EXPECT_EQ(bitmap->Pixel(150, 75) & 0xFFFFFF, 0xC05020u);  // orange: frame 0
  EXPECT_EQ(gif->PainterCount(), 0);
  EXPECT_EQ(cache->GetBitmap(dir.Path + "/anim.GIF"), bitmap);

  // A GIF request for a name cached as a bitmap gets a GIF of that bitmap.
  const std::string bmp = dir.Path + "/plain.bmp";
  {
    TBitmap b;
    b.SetPixelFormat(pf24bit);
    b.SetSize(6, 4);
    b.Canvas()->Brush()->SetColor(0x0000FF);
    b.Canvas()->FillRect(TRect{0, 0, 6, 4});
    b.SaveToFile(bmp);
  }
  ASSERT_EQ(cache->GetBitmap(bmp)->Width(), 6);
  TGIFImage* converted = cache->GetGIF(bmp);
  ASSERT_FALSE(converted->Empty());
  EXPECT_EQ(converted->Width(), 6);
  EXPECT_EQ(cache->GetGIF(bmp), converted);
}

TEST(GIFCache, MissingGifMapsToTheStockPictureAndAFailingStockEnds) {
  ScratchDir dir;
  std::filesystem::create_directories(dir.Path + "/Data");
  WriteGif(dir.Path + "/Data/noimage.gif", 3, 2, 1, {0x000000, 0xFFFFFF},
           [](int, int x, int) { return x & 1; });
  StartDirectoryScope start(dir.Path);
  KMediaList* cache = KMediaList::Instance();
  TGIFImage* stock = cache->GetGIF(dir.Path + "/missing.gif");
  EXPECT_EQ(stock->Width(), 3);
  EXPECT_EQ(cache->GetGIF(dir.Path + "\\Data\\noimage.gif"), stock);

  ScratchDir bare;  // no stock picture at all
  StartDirectoryScope noStock(bare.Path);
  TGIFImage* empty = cache->GetGIF(bare.Path + "/also-missing.gif");
  EXPECT_TRUE(empty->Empty());
}

TEST(GIFCache, GifSkinNameCachesThePictureFirst) {
  ScratchDir dir;
  const std::string path = dir.Path + "/SKIN.GIF";
  WriteGif(path, 200, 150, 2, kSkinColors, SkinIndex);
  KGraphic skin(nullptr);
  skin.SetFileName(path);
  const int index = KMediaList::Instance()->IndexOf(path);
  ASSERT_GE(index, 0);
  EXPECT_NE(dynamic_cast<TGIFImage*>(KMediaList::Instance()->Objects(index)), nullptr);
  skin.SetMode(3);
  TBitmap32* prepared = skin.GetBitmap();
  ASSERT_EQ(prepared->Width(), 200);
  EXPECT_EQ(prepared->Pixel(0, 0) >> 24, 0u);      // white corner: cut away
  EXPECT_EQ(prepared->Pixel(50, 75) >> 24, 255u);  // the body
}

namespace {

void PumpFor(int Milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string PixelAt(const std::string& Shot, int X, int Y) {
  return RunCommand("convert " + Shot + " -format '%[hex:p{" + std::to_string(X) + "," + std::to_string(Y) +
                    "}]' info:")
      .substr(0, 6);
}

void ChildRun(const std::string& Dir) {
  const std::string skinPath = Dir + "/skin.gif";
  WriteGif(skinPath, 200, 150, 2, kSkinColors, SkinIndex);
  const std::string buttonPath = Dir + "/button.gif";
  // The button: a green diamond on white.
  WriteGif(buttonPath, 40, 40, 2, {0xFFFFFF, 0x20C050, 0x0000C0},
           [](int f, int x, int y) { return std::abs(x - 20) + std::abs(y - 20) < 18 ? 1 + f : 0; });
  TVexForm* form = TCustomForm::Create<TVexForm>(nullptr);
  form->Skin()->SetMode(3);
  form->Skin()->SetFileName(skinPath);
  form->SetRegionMode(3);
  form->SetBounds(40, 30, 200, 150);
  auto* button = new TOrganicShapeButton(form);
  button->SetName("GifButton");
  button->SetParent(form);
  button->SetBounds(120, 55, 40, 40);
  {
    TBitmap picture;
    picture.Assign(KMediaList::Instance()->GetBitmap(buttonPath));
    button->SetMask(&picture);
  }
  form->Show();
  const std::string shot = Dir + "/gif-skin.png";
  struct Sample {
    int X, Y;
    const char* Rgb;
  };
  const Sample samples[] = {{5, 5, "000000"},    {40, 75, "2050C0"},  {150, 40, "C05020"},
                            {140, 75, "50C020"}, {122, 57, "C05020"}, {195, 145, "000000"}};
  std::vector<std::string> mismatches;
  for (int attempt = 0; attempt < 6; ++attempt) {
    PumpFor(attempt == 0 ? 400 : 500);
    RunCommand("import -window root " + shot);
    mismatches.clear();
    for (const Sample& s : samples) {
      const std::string px = PixelAt(shot, 40 + s.X, 30 + s.Y);
      if (px != s.Rgb)
        mismatches.push_back(std::to_string(s.X) + "," + std::to_string(s.Y) + ": " + px + " not " + s.Rgb);
    }
    if (mismatches.empty()) break;
  }
  for (const std::string& m : mismatches)
    ADD_FAILURE() << m;
  delete form;
}

}  // namespace

TEST(GIFSkinOnX11, GifSkinAndGifButtonShow) {
  if (const char* dir = std::getenv(kChildVar)) {
    ChildRun(dir);
    return;
  }
  if (RunCommand("command -v xvfb-run").empty() || RunCommand("command -v import").empty())
    GTEST_SKIP() << "xvfb-run or ImageMagick is missing";
  const char* keep = std::getenv("PELLORAN_GIF_SHOTS");  // a folder to keep the screenshot in
  ScratchDir scratch;
  const std::string dir = keep ? std::string(keep) : scratch.Path;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string out = RunCommand(
      "xvfb-run -a -n 120 -s '-screen 0 640x480x24 -br' env QT_QPA_PLATFORM=xcb " + std::string(kChildVar) +
      "=" + dir + " " + self + " --gtest_filter=GIFSkinOnX11.* 2>&1; echo EXIT=$?");
  EXPECT_NE(out.find("EXIT=0"), std::string::npos) << out;
}
