// A skinned form on a real X server: its window takes the skin's outline as its X shape, and what the
// screen shows inside that outline is the skin. The test starts itself again under Xvfb (with a black
// root window) and the child run does the checks with xwininfo and a screenshot.
#include <gtest/gtest.h>

#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"
#include "skin/UVexForm.h"
#include "tests/skin/SkinTestPictures.h"

namespace {

constexpr const char* kChildVar = "PELLORAN_SHAPE_CHILD";

std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[512];
    while (fgets(buf, sizeof buf, p))
      out += buf;
    pclose(p);
  }
  return out;
}

bool HaveTool(const std::string& name) {
  return RunCommand("command -v " + name).size() > 0;
}

// The skin: 200 x 150, an ellipse filling (10, 10, 190, 140), blue on the left and orange on the right,
// with a square hole at (90..110, 60..80); everything else is white, the key colour of mode 3 (the
// bottom-left pixel is white).
uint32_t SkinPixel(int x, int y) {
  const double ex = (x + 0.5 - 100) / 90, ey = (y + 0.5 - 75) / 65;
  const bool body = ex * ex + ey * ey <= 1.0;
  const bool hole = x >= 90 && x < 110 && y >= 60 && y < 80;
  if (!body || hole) return 0xFFFFFF;
  return x < 100 ? 0x2050C0 : 0xC05020;
}

void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

// Runs inside Xvfb.
void ChildChecks(const std::string& dir, uint8_t regionMode) {
  const std::string skin = dir + "/shape-skin.bmp";
  skintest::WriteBmp24(skin, 200, 150, SkinPixel);
  TVexForm* form = TCustomForm::Create<TVexForm>(nullptr);
  form->Skin()->SetMode(3);
  form->Skin()->SetFileName(skin);
  form->SetAlphaThreshold(100);
  form->SetRegionMode(regionMode);
  form->SetBounds(40, 30, 200, 150);
  form->Show();
  // Wait (up to five seconds) until the X server shows the window with its shape.
  const unsigned long id = WidgetOf(form)->winId();
  std::string info;
  for (int i = 0; i < 50; ++i) {
    PumpFor(100);
    info = RunCommand("xwininfo -shape -id " + std::to_string(id));
    if (info.find("IsViewable") != std::string::npos &&
        info.find("Window shape extents") != std::string::npos)
      break;
  }
  std::printf("%s\n", info.c_str());
  // The window (bounding) shape's extents are the skin's body: 180 x 130 at (10, 10) of the window.
  const std::string label = "Window shape extents:";
  const size_t at = info.find(label);
  ASSERT_NE(at, std::string::npos) << "no window shape is set";
  int w = 0, h = 0, x = 0, y = 0;
  ASSERT_EQ(std::sscanf(info.c_str() + at + label.size(), " %dx%d+%d+%d", &w, &h, &x, &y), 4);
  EXPECT_EQ((std::vector<int>{w, h, x, y}), (std::vector<int>{180, 130, 10, 10}));

  // Sample the screen: inside the outline the skin, outside it (frame and hole) the black root window.
  const struct {
    int x, y;
    uint32_t rgb;
  } samples[] = {{5, 5, 0x000000},     {20, 20, 0x000000},  {180, 130, 0x000000}, {40, 75, 0x2050C0},
                 {150, 100, 0xC05020}, {100, 70, 0x000000}, {89, 70, 0x2050C0},   {110, 70, 0xC05020},
                 {99, 12, 0x2050C0},   {99, 8, 0x000000},   {195, 145, 0x000000}};
  const std::string shot = dir + "/shape-mode" + std::to_string(regionMode) + ".png";
  std::vector<std::string> mismatches;
  // The first paint may still be on its way: look again a little later before giving up.
  for (int attempt = 0; attempt < 4; ++attempt) {
    PumpFor(attempt == 0 ? 200 : 500);
    RunCommand("import -window root " + shot);
    ASSERT_TRUE(std::filesystem::exists(shot));
    mismatches.clear();
    for (const auto& s : samples) {
      const std::string px = RunCommand("convert " + shot + " -format '%[hex:p{" + std::to_string(40 + s.x) +
                                        "," + std::to_string(30 + s.y) + "}]' info:");
      char expected[16];
      std::snprintf(expected, sizeof expected, "%06X", s.rgb);
      if (px.substr(0, 6) != expected) {
        mismatches.push_back("window pixel " + std::to_string(s.x) + "," + std::to_string(s.y) + ": " +
                             px.substr(0, 6) + " instead of " + expected);
      }
    }
    if (mismatches.empty()) break;
  }
  for (const std::string& m : mismatches)
    ADD_FAILURE() << m;
  delete form;
}

TEST(TVexFormOnX11, WindowShapeAndScreenFollowTheSkin) {
  if (const char* dir = std::getenv(kChildVar)) {
    for (uint8_t mode : {3, 4}) {
      SCOPED_TRACE(testing::Message() << "region mode " << int(mode));
      ChildChecks(dir, mode);
    }
    return;
  }
  if (!HaveTool("xvfb-run") || !HaveTool("xwininfo") || !HaveTool("import")) {
    GTEST_SKIP() << "xvfb-run, xwininfo or ImageMagick is missing";
  }
  const char* keep = std::getenv("PELLORAN_SHAPE_SHOTS");  // a folder to keep the screenshots in
  skintest::ScratchDir scratch;
  const std::string dir = keep ? std::string(keep) : scratch.Path;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string command =
      "xvfb-run -a -n 125 -s '-screen 0 640x480x24 -br' env QT_QPA_PLATFORM=xcb "
      "ASAN_OPTIONS=detect_leaks=0 " +
      std::string(kChildVar) + "=" + dir + " " + self + " --gtest_filter=TVexFormOnX11.* 2>&1";
  const std::string out = RunCommand(command + "; echo EXIT=$?");
  EXPECT_NE(out.find("EXIT=0"), std::string::npos) << out;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}

}  // namespace
