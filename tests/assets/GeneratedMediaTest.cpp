// The generated application folder and sample browser: every file the programs name exists and reads
// back as the format they expect, button pictures fit together, and key colours cut where they should.

#include "tests/assets/MediaReaders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {

const std::string kApp = PELLORAN_APP_DIR;
const std::string kSample = PELLORAN_SAMPLE_DIR;

constexpr uint32_t kRed = 0xFF0000, kWhite = 0xFFFFFF, kMagenta = 0xFF00FF;

// The main window's buttons as its form places them: the four picture names, position and key colour.
struct MainButton {
  const char* files[4];
  int left, top;
  uint32_t key;
};
const MainButton kMainButtons[] = {
    {{"New2", "New2Over", "New2Press", "New2Dis"}, 176, 46, kRed},
    {{"Open4", "Open4Over", "Open4Press", "Open4Dis"}, 176, 72, kWhite},
    {{"Save5", "Save5Over", "Save5Press", "Save5Dis"}, 176, 98, kRed},
    {{"Build2", "Build2Over", "Build2Press", "Build2Dis"}, 97, 83, kRed},
    {{"Check1", "Check1Over", "Check1Press", "Check1Dis"}, 97, 109, kRed},
    {{"Button1", "Button1Over", "Button1Press", "Button1Dis"}, 15, 46, kRed},
    {{"Edit1", "Edit1Over", "Edit1Press", "Edit1Dis"}, 16, 98, kRed},
    {{"Clear1", "Clear1Over", "Clear1Press", "Clear1Dis"}, 97, 57, kRed},
    {{"Label2", "Label2Over", "Label2Press", "Label2Dis"}, 15, 72, kRed},
    {{"Exit1", "Exit1Over", "Exit1Press", "Exit1Dis"}, 235, 7, kWhite},
    {{"Lock_n", "lock_sel", "lock_press", "Lock_Dis"}, 187, 7, kWhite},
    {{"Options", "OptionsOver", "OptionsPress", "OptionsDis"}, 176, 124, kRed},
    {{"Minimize1", "Minimize1Over", "Minimize1Press", "Minimize1Dis"}, 211, 7, kWhite},
};

std::string ButtonFile(const char* name) {
  return kApp + "/Images/Buttons/" + name + ".BMP";
}

std::string Lower(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Finds a file below the application folder as the programs do: each part of the name exactly when it
// exists, else the entry whose name differs only in letter case. Empty when nothing matches.
std::string Resolve(const std::string& name) {
  std::filesystem::path at = kApp;
  std::stringstream parts(name);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (std::filesystem::exists(at / part)) {
      at /= part;
      continue;
    }
    std::string found;
    if (std::filesystem::is_directory(at))
      for (const auto& entry : std::filesystem::directory_iterator(at))
        if (Lower(entry.path().filename().string()) == Lower(part)) found = entry.path().filename().string();
    if (found.empty()) return {};
    at /= found;
  }
  return at.string();
}

int CountKey(const Bmp24& bmp, uint32_t key) {
  return static_cast<int>(std::count(bmp.pixels.begin(), bmp.pixels.end(), key));
}

TEST(GeneratedMedia, EveryNamedFileExists) {
  const char* const files[] = {
      "images/MainDialog.BMP",
      "images/Blaselinksoben.BMP",
      "Images/Decisiondesign.BMP",
      "Images/VexLand3.Bmp",
      "Image.bmp",
      "Data/noimage.bmp",
      "Data/noimage.gif",
      "sounds/NewStart.wav",
      "sounds/NewExit.wav",
      "sounds/NewButton.wav",
      "sounds/NewBoing.wav",
      "images/PanelWindow.BMP",
      "images/PanelButton.BMP",
      "images/PanelLabel.BMP",
      "images/PanelEdit.BMP",
      "images/PanelOptions.BMP",
  };
  for (const char* f : files)
    EXPECT_TRUE(std::filesystem::is_regular_file(Resolve(f))) << f;
  EXPECT_TRUE(std::filesystem::is_directory(kApp + "/temp"));
  for (const MainButton& b : kMainButtons)
    for (const char* f : b.files)
      EXPECT_TRUE(std::filesystem::is_regular_file(ButtonFile(f))) << f;
}

// The programs find files whatever the letter case of their names; that is only unambiguous while no
// folder holds two entries that differ in case alone.
TEST(GeneratedMedia, NoTwoNamesDifferOnlyInLetterCase) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kApp)) {
    if (!entry.is_directory()) continue;
    std::map<std::string, std::string> seen;
    for (const auto& child : std::filesystem::directory_iterator(entry.path())) {
      const std::string name = child.path().filename().string();
      const auto [it, added] = seen.emplace(Lower(name), name);
      EXPECT_TRUE(added) << entry.path() << ": " << name << " and " << it->second;
    }
  }
}

TEST(GeneratedMedia, MainButtonsShareSizesCutAtCornersAndFitTheSkin) {
  const Bmp24 skin = ReadBmp24(Resolve("images/MainDialog.BMP"));
  ASSERT_TRUE(skin.valid) << skin.problem;
  std::vector<std::pair<std::string, std::array<int, 4>>> placed;
  for (const MainButton& b : kMainButtons) {
    const Bmp24 normal = ReadBmp24(ButtonFile(b.files[0]));
    ASSERT_TRUE(normal.valid) << b.files[0] << ": " << normal.problem;
    for (int s = 1; s < 4; ++s) {
      const Bmp24 other = ReadBmp24(ButtonFile(b.files[s]));
      ASSERT_TRUE(other.valid) << b.files[s] << ": " << other.problem;
      EXPECT_EQ(other.width, normal.width) << b.files[s];
      EXPECT_EQ(other.height, normal.height) << b.files[s];
    }
    // The outline: a rounded shape whose corners carry the form's key colour (the button tool keeps
    // white corners, the key of a new button element) and whose middle does not.
    const uint32_t corner = normal.At(0, 0);
    const uint32_t expectedCorner = std::string(b.files[0]) == "Button1" ? kWhite : b.key;
    EXPECT_EQ(corner, expectedCorner) << b.files[0];
    EXPECT_EQ(normal.At(normal.width - 1, normal.height - 1), expectedCorner) << b.files[0];
    EXPECT_NE(normal.At(normal.width / 2, normal.height / 2), b.key) << b.files[0];
    EXPECT_LT(CountKey(normal, b.key), normal.width * normal.height * 2 / 5) << b.files[0];
    // Inside the skin, on its opaque part, and clear of every other button.
    EXPECT_LE(b.left + normal.width, skin.width) << b.files[0];
    EXPECT_LE(b.top + normal.height, skin.height) << b.files[0];
    EXPECT_NE(skin.At(b.left + normal.width / 2, b.top + normal.height / 2), kMagenta) << b.files[0];
    const std::array<int, 4> r{b.left, b.top, b.left + normal.width, b.top + normal.height};
    for (const auto& [name, o] : placed) {
      const bool apart = r[2] <= o[0] || o[2] <= r[0] || r[3] <= o[1] || o[3] <= r[1];
      EXPECT_TRUE(apart) << b.files[0] << " overlaps " << name;
    }
    placed.emplace_back(b.files[0], r);
  }
}

TEST(GeneratedMedia, SkinsCarryTheirKeyWhereTheProgramsLookForIt) {
  struct Skin {
    const char* file;
    int width, height;  // 0: any size
    uint32_t key;
  };
  // Skins read in mode 3 take their key from the bottom-left pixel; the new project's skin is cut by
  // pure red; the question box is the size its placement example uses.
  const Skin skins[] = {
      {"images/MainDialog.BMP", 0, 0, kMagenta},         {"images/Blaselinksoben.BMP", 272, 470, kMagenta},
      {"Images/Decisiondesign.BMP", 183, 226, kMagenta}, {"Images/VexLand3.Bmp", 480, 360, kRed},
      {"images/PanelWindow.BMP", 272, 470, kMagenta},    {"images/PanelOptions.BMP", 272, 470, kMagenta},
  };
  for (const Skin& s : skins) {
    const Bmp24 bmp = ReadBmp24(Resolve(s.file));
    ASSERT_TRUE(bmp.valid) << s.file << ": " << bmp.problem;
    if (s.width != 0) {
      EXPECT_EQ(bmp.width, s.width) << s.file;
      EXPECT_EQ(bmp.height, s.height) << s.file;
    }
    EXPECT_EQ(bmp.At(0, bmp.height - 1), s.key) << s.file;
    EXPECT_NE(bmp.At(bmp.width / 2, bmp.height / 2), s.key) << s.file;
    const int keyed = CountKey(bmp, s.key);
    EXPECT_GT(keyed, 0) << s.file;
    EXPECT_LT(keyed, bmp.width * bmp.height / 5) << s.file;
  }
  // The new project's web view (30, 60, 420 x 270) lies on opaque skin.
  const Bmp24 land = ReadBmp24(kApp + "/Images/VexLand3.Bmp");
  for (int y = 60; y < 330; y += 9)
    for (int x = 30; x < 450; x += 9)
      ASSERT_NE(land.At(x, y), kRed) << x << "," << y;
}

TEST(GeneratedMedia, SmallButtonFamiliesShareSizes) {
  const std::pair<const char*, std::pair<int, int>> families[] = {
      {"Play", {20, 20}},  {"Stop", {20, 20}}, {"Folder", {20, 20}}, {"Pipette", {20, 20}},
      {"Sweep", {20, 20}}, {"Yes", {23, 21}},  {"No", {23, 21}},     {"Cancel", {23, 21}},
  };
  for (const auto& [name, size] : families) {
    for (const char* suffix : {"", "Over", "Press"}) {
      const std::string file = std::string(name) + suffix;
      const Bmp24 bmp = ReadBmp24(ButtonFile(file.c_str()));
      ASSERT_TRUE(bmp.valid) << file << ": " << bmp.problem;
      EXPECT_EQ(bmp.width, size.first) << file;
      EXPECT_EQ(bmp.height, size.second) << file;
      EXPECT_EQ(bmp.At(0, 0), kWhite) << file;
    }
  }
}

TEST(GeneratedMedia, SoundsAreShortAudiblePcm) {
  for (const std::string& file :
       {kApp + "/sounds/NewStart.wav", kApp + "/sounds/NewExit.wav", kApp + "/sounds/NewButton.wav",
        kApp + "/sounds/NewBoing.wav", kSample + "/VXS1.wav", kSample + "/VXS2.wav", kSample + "/VXS3.wav"}) {
    const Wave w = ReadWave(file);
    ASSERT_TRUE(w.valid) << file << ": " << w.problem;
    EXPECT_EQ(w.channels, 1) << file;
    EXPECT_EQ(w.bits, 16) << file;
    EXPECT_EQ(w.rate, 22050u) << file;
    const double seconds = static_cast<double>(w.samples.size()) / w.rate;
    EXPECT_GT(seconds, 0.02) << file;
    EXPECT_LT(seconds, 1.0) << file;
    int peak = 0;
    for (const int16_t s : w.samples)
      peak = std::max(peak, std::abs(static_cast<int>(s)));
    EXPECT_GT(peak, 3000) << file;
    EXPECT_LT(peak, 32000) << file;                      // headroom: never clipped
    EXPECT_LT(std::abs(w.samples.back()), 200) << file;  // faded out, no click at the end
  }
}

// ---- The sample browser's Config.VX ----

struct Section {
  std::string kind;
  std::vector<std::string> lines;
};

std::vector<Section> ReadSections(const std::string& text, std::string& problem) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      problem = "last line without CR LF";
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  std::vector<Section> sections;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].rfind("Object=", 0) != 0) {
      problem = "line outside a section: " + lines[i];
      continue;
    }
    Section s{lines[i].substr(7), {}};
    for (++i; i < lines.size() && lines[i] != "end"; ++i)
      s.lines.push_back(lines[i]);
    if (i == lines.size()) problem = "section " + s.kind + " has no end";
    sections.push_back(s);
  }
  return sections;
}

std::map<std::string, std::string> Keys(const Section& s) {
  std::map<std::string, std::string> keys;
  for (const std::string& l : s.lines) {
    const size_t eq = l.find('=');
    if (eq != std::string::npos) keys.emplace(l.substr(0, eq), l.substr(eq + 1));
  }
  return keys;
}

int IndexOfKey(const Section& s, const std::string& key) {
  for (size_t i = 0; i < s.lines.size(); ++i)
    if (s.lines[i].rfind(key + "=", 0) == 0) return static_cast<int>(i);
  return -1;
}

TEST(SampleBrowser, ConfigNamesExistingMediaInTheReadersOrder) {
  const std::vector<uint8_t> bytes = ReadAll(kSample + "/Config.VX");
  const std::string text(bytes.begin(), bytes.end());
  ASSERT_EQ(text.rfind("Pelloran=V1.0\r\n", 0), 0u);
  std::string problem;
  const std::vector<Section> sections = ReadSections(text, problem);
  EXPECT_EQ(problem, "");
  std::vector<std::string> kinds;
  for (const Section& s : sections)
    kinds.push_back(s.kind);
  ASSERT_GE(kinds.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(kinds.begin(), kinds.begin() + 4),
            (std::vector<std::string>{"Bitmaps", "Sounds", "Global", "Web"}));

  const auto exists = [](const std::string& name) {
    return std::filesystem::is_regular_file(kSample + "/" + name);
  };
  for (const std::string& name : sections[0].lines) {
    EXPECT_TRUE(exists(name)) << name;
    EXPECT_EQ(name.rfind("VXB", 0), 0u) << name;
  }
  EXPECT_EQ(sections[1].lines.front(), "<NoSound>");
  for (size_t i = 1; i < sections[1].lines.size(); ++i)
    EXPECT_TRUE(exists(sections[1].lines[i]));

  const auto web = Keys(sections[3]);
  EXPECT_TRUE(exists(web.at("Bitmap")));
  EXPECT_TRUE(exists(web.at("StartSound")));
  EXPECT_TRUE(exists(web.at("ExitSound")));
  ASSERT_EQ(web.at("Startpage").rfind('#', 0), 0u);
  EXPECT_TRUE(exists(web.at("Startpage").substr(1)));

  std::set<std::string> actions;
  int labels = 0, edits = 0;
  for (const Section& s : sections) {
    const auto keys = Keys(s);
    if (s.kind == "Button") {
      for (const char* k : {"Mask", "Touched", "Pressed", "Disabled", "Sound"})
        EXPECT_TRUE(exists(keys.at(k))) << k;
      // Picture keys before the press action, which gives the button its pictures.
      const int press = IndexOfKey(s, "Pressaction");
      for (const char* k : {"Mask", "Touched", "Pressed", "Disabled"})
        EXPECT_LT(IndexOfKey(s, k), press) << k;
      actions.insert(keys.at("Pressaction"));
      // The four pictures of a button have one size.
      const Bmp24 mask = ReadBmp24(kSample + "/" + keys.at("Mask"));
      for (const char* k : {"Touched", "Pressed", "Disabled"}) {
        const Bmp24 other = ReadBmp24(kSample + "/" + keys.at(k));
        EXPECT_EQ(other.width, mask.width) << keys.at(k);
        EXPECT_EQ(other.height, mask.height) << keys.at(k);
      }
      EXPECT_EQ(std::stoi(keys.at("InvisibleColor")), 0xFF00FF);
      EXPECT_EQ(mask.At(0, 0), kMagenta) << keys.at("Mask");
      EXPECT_NE(mask.At(mask.width / 2, mask.height / 2), kMagenta) << keys.at("Mask");
    } else if (s.kind == "Label") {
      ++labels;
      EXPECT_EQ(keys.at("Style"), "Page Title");
      EXPECT_LT(IndexOfKey(s, "Style"), IndexOfKey(s, "Text"));
      EXPECT_LT(IndexOfKey(s, "Alignment"), IndexOfKey(s, "Autosize"));
    } else if (s.kind == "Edit") {
      ++edits;
    }
  }
  EXPECT_EQ(actions, (std::set<std::string>{"Back", "Forward", "Refresh", "Cancel", "Navigate to target",
                                            "Minimize", "Maximize", "Move", "Resize", "Exit"}));
  EXPECT_EQ(labels, 1);
  EXPECT_EQ(edits, 1);
}

TEST(SampleBrowser, SkinKeepsItsOutlineInTheFixedCornersAndTheWebViewOnOpaquePixels) {
  const std::vector<uint8_t> bytes = ReadAll(kSample + "/Config.VX");
  std::string problem;
  const auto sections = ReadSections(std::string(bytes.begin(), bytes.end()), problem);
  const auto global = Keys(sections.at(2));
  const auto web = Keys(sections.at(3));
  const Bmp24 skin = ReadBmp24(kSample + "/" + web.at("Bitmap"));
  ASSERT_TRUE(skin.valid) << skin.problem;
  const int l = std::stoi(global.at("ILeft")), t = std::stoi(global.at("ITop"));
  const int r = std::stoi(global.at("IRight")), b = std::stoi(global.at("IBottom"));
  ASSERT_TRUE(0 < l && l < r && r < skin.width && 0 < t && t < b && b < skin.height);
  // Each row of the top and bottom bands is one colour between L and R, as they stretch sideways.
  for (int y = 0; y < skin.height; ++y) {
    if (y >= t && y < b) continue;
    for (int x = l; x < r; ++x)
      ASSERT_EQ(skin.At(x, y), skin.At(l, y)) << "row " << y << " at " << x;
  }
  // The side bands may carry a vertical gradient, which stretches smoothly, but nothing else: no step
  // between neighbouring pixels of a column.
  const auto channelStep = [](uint32_t a, uint32_t b) {
    int step = 0;
    for (int shift : {0, 8, 16})
      step = std::max(
          step, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return step;
  };
  for (int x = 0; x < skin.width; ++x) {
    if (x >= l && x < r) continue;
    for (int y = t; y + 1 < b; ++y)
      ASSERT_LE(channelStep(skin.At(x, y), skin.At(x, y + 1)), 2) << "column " << x << " at " << y;
  }
  // The outline is irregular: key pixels along the top edge between the two pods.
  EXPECT_EQ(skin.At(skin.width / 2, 2), kMagenta);
  EXPECT_NE(skin.At(40, 2), kMagenta);
  const int wl = std::stoi(web.at("Left")), wt = std::stoi(web.at("Top"));
  const int ww = std::stoi(web.at("Width")), wh = std::stoi(web.at("Height"));
  for (int y = wt; y < wt + wh; y += 7)
    for (int x = wl; x < wl + ww; x += 7)
      ASSERT_NE(skin.At(x, y), kMagenta);
}

TEST(SampleBrowser, StartPageLinksToTheSecondPage) {
  const std::vector<uint8_t> start = ReadAll(kSample + "/start.htm");
  const std::string html(start.begin(), start.end());
  EXPECT_NE(html.find("<title>"), std::string::npos);
  EXPECT_NE(html.find("href=\"page2.htm\""), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_regular_file(kSample + "/page2.htm"));
}

}  // namespace

namespace {

std::vector<std::string> KeyOrder(const Section& s) {
  std::vector<std::string> keys;
  for (const std::string& l : s.lines)
    keys.push_back(l.substr(0, l.find('=')));
  return keys;
}

TEST(SampleProject, DesignerProjectNamesListedFilesBelowTheApplicationFolder) {
  const std::vector<uint8_t> bytes = ReadAll(kApp + "/samples/Browser.VX");
  const std::string text(bytes.begin(), bytes.end());
  ASSERT_EQ(text.rfind("Pelloran=V1.2\r\n", 0), 0u);
  std::string problem;
  const std::vector<Section> sections = ReadSections(text, problem);
  EXPECT_EQ(problem, "");
  ASSERT_GE(sections.size(), 4u);
  const std::set<std::string> bitmaps(sections[0].lines.begin(), sections[0].lines.end());
  // Relative names, found from the application folder as the programs find them.
  const auto below = [](const std::string& Path) {
    return Path.front() != '/' && std::filesystem::is_regular_file(Resolve(Path));
  };
  for (const std::string& path : bitmaps)
    EXPECT_TRUE(below(path)) << path;
  for (size_t i = 1; i < sections[1].lines.size(); ++i)
    EXPECT_TRUE(below(sections[1].lines[i])) << sections[1].lines[i];
  const auto web = Keys(sections[3]);
  EXPECT_TRUE(bitmaps.count(web.at("Bitmap")));
  EXPECT_TRUE(below(web.at("Startpage")));
  int buttons = 0;
  for (const Section& s : sections) {
    const auto keys = Keys(s);
    if (s.kind == "Button") {
      ++buttons;
      // The loader looks every state picture up in the list read before.
      for (const char* k : {"Mask", "Touched", "Pressed", "Disabled"})
        EXPECT_TRUE(bitmaps.count(keys.at(k))) << k;
    } else if (s.kind == "Edit") {
      // A saved project writes the address field's keys in this order (a build writes another).
      EXPECT_EQ(KeyOrder(s),
                (std::vector<std::string>{"Top", "Left", "Width", "Alignment", "Autosize", "Color", "Style",
                                          "Fontname", "Fontcolor", "Fontheight", "ZOrder"}));
    }
  }
  EXPECT_EQ(buttons, 10);
}

TEST(SampleBrowser, BuiltAddressFieldKeysFollowTheBuildOrder) {
  const std::vector<uint8_t> bytes = ReadAll(kSample + "/Config.VX");
  std::string problem;
  for (const Section& s : ReadSections(std::string(bytes.begin(), bytes.end()), problem)) {
    if (s.kind != "Edit") continue;
    EXPECT_EQ(KeyOrder(s),
              (std::vector<std::string>{"Top", "Left", "Width", "Color", "Style", "Alignment", "Autosize",
                                        "Fontname", "Fontcolor", "Fontheight", "ZOrder"}));
  }
}

}  // namespace

namespace {

// Signed distance of a pixel centre from the outline of a rounded rectangle (negative inside).
double OutlineDistance(int x, int y, int width, int height, double radius) {
  const double px = x + 0.5, py = y + 0.5;
  const double cx = std::clamp(px, radius, width - radius), cy = std::clamp(py, radius, height - radius);
  const double dx = px - cx, dy = py - cy;
  return std::sqrt(dx * dx + dy * dy) - (radius - 0.5);
}

// Every picture's key colour covers exactly the outside of its button shape: a pixel clearly outside is
// key, a pixel clearly inside is not (the one-pixel band along the outline may go either way).
TEST(GeneratedMedia, KeyColourMarksExactlyTheOutsideOfEachShape) {
  struct Shape {
    std::string file;
    uint32_t key;
    double radius;  // 0: half the smaller side (pills and circles)
  };
  std::vector<Shape> shapes;
  for (const char* f : {"New2", "Save5Over", "Clear1Press", "Check1Dis", "Label2", "Options"})
    shapes.push_back({ButtonFile(f), kRed, 0});
  for (const char* f : {"Open4", "Exit1Over", "Lock_n", "Minimize1Press", "Button1", "Play", "Sweep"})
    shapes.push_back({ButtonFile(f), kWhite, 0});
  for (const char* f : {"Yes", "NoOver", "CancelPress"})
    shapes.push_back({ButtonFile(f), kWhite, 7});
  for (int n = 1; n <= 36; ++n)
    shapes.push_back({kSample + "/VXB" + std::to_string(n) + ".BMP", kMagenta, 0});
  for (int n = 37; n <= 40; ++n)
    shapes.push_back({kSample + "/VXB" + std::to_string(n) + ".BMP", kMagenta, 6});
  for (const Shape& s : shapes) {
    const Bmp24 bmp = ReadBmp24(s.file);
    ASSERT_TRUE(bmp.valid) << s.file << ": " << bmp.problem;
    const double radius = s.radius > 0 ? s.radius : std::min(bmp.width, bmp.height) / 2.0;
    int wrong = 0;
    for (int y = 0; y < bmp.height; ++y) {
      for (int x = 0; x < bmp.width; ++x) {
        const double d = OutlineDistance(x, y, bmp.width, bmp.height, radius);
        const bool key = bmp.At(x, y) == s.key;
        if ((d > 1.0 && !key) || (d < -1.0 && key)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << s.file;
  }
}

}  // namespace
