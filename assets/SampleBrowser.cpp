#include "assets/SampleBrowser.h"

#include "assets/Artwork.h"
#include "assets/Sounds.h"

#include <array>
#include <string>
#include <vector>

using namespace art;

namespace {

constexpr int kSkinWidth = 640;
constexpr int kSkinHeight = 440;
// Nine-slice inner rectangle: the two pods, the ends of the address field and the grip lie outside it.
constexpr int kInnerLeft = 260, kInnerTop = 112, kInnerRight = 462, kInnerBottom = 404;
// The web view's rectangle in the skin.
constexpr int kWebLeft = 14, kWebTop = 110, kWebWidth = 612, kWebHeight = 300;
// The address field (edit control) and its cream bed drawn in the skin.
constexpr int kEditLeft = 40, kEditTop = 76, kEditWidth = 560, kEditFontHeight = -13;
constexpr int kStartWidth = 900, kStartHeight = 640;

int ToTColor(const QColor& c) {
  return (c.blue() << 16) | (c.green() << 8) | c.red();
}

QImage SkinArt() {
  const int w = kSkinWidth, h = kSkinHeight;
  QImage art = NewCanvas(w, h);
  QPainter p(&art);
  Prepare(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(1, 20, w - 2, h - 22), 24, 24);
  QPainterPath leftPod;
  leftPod.addRoundedRect(QRectF(6, 1, 244, 58), 29, 29);
  QPainterPath rightPod;
  rightPod.addRoundedRect(QRectF(472, 1, 162, 58), 29, 29);
  const QPainterPath shape = body.united(leftPod).united(rightPod);

  p.setPen(Qt::NoPen);
  p.setBrush(VerticalGradient(QRectF(0, 0, w, h), kSlate, kSlateDark));
  p.drawPath(shape);
  p.save();
  p.setClipPath(shape);
  // Header: a slightly lighter band with a fine highlight under the address field.
  p.fillRect(QRectF(0, 0, w, 108), VerticalGradient(QRectF(0, 0, w, 108), kSlateLight, kSlate));
  p.setPen(QPen(QColor(255, 255, 255, 45), 1));
  p.drawLine(QPointF(0, 107.5), QPointF(w, 107.5));
  // The pods get a soft inner glow.
  for (const QPainterPath* pod : {&leftPod, &rightPod}) {
    p.setPen(QPen(QColor(255, 255, 255, 35), 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(pod->translated(0, 1));
  }
  p.restore();
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(shape);

  // Address field bed.
  const QRectF field(20, 68, 600, 32);
  p.setPen(QPen(kInk, 1.5));
  p.setBrush(kCream);  // the address field's own colour, so the borderless edit blends in
  p.drawRoundedRect(field, 16, 16);
  p.setPen(QPen(kSlateLight, 1.6));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(30, 84), 6, 6);
  p.drawEllipse(QRectF(27, 78, 6, 12));
  p.drawLine(QPointF(24, 84), QPointF(36, 84));

  // Web view well.
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(0xFF, 0xFF, 0xFE));
  p.drawRect(QRectF(kWebLeft - 1, kWebTop - 1, kWebWidth + 2, kWebHeight + 2));

  // Status strip.
  Prepare(p);
  p.setFont(Face(10, true, true));
  p.setPen(kMist);
  p.drawText(QRectF(22, 412, 220, 24), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("Pelloran sample browser"));
  return art;
}

struct SampleButton {
  const char* action;
  const char* hint;
  const char* alignment;
  const char* target;  // non-empty: the button navigates to the start page
  int left, top, size;
  Glyph glyph;
  QColor accent;
  bool chip;  // rounded square instead of a circle
};

const SampleButton kButtons[] = {
    {"Back", "Back", "Topleft", "", 27, 13, 34, Glyph::ArrowLeft, kAmber, false},
    {"Forward", "Forward", "Topleft", "", 69, 13, 34, Glyph::ArrowRight, kAmber, false},
    {"Refresh", "Reload the page", "Topleft", "", 111, 13, 34, Glyph::Refresh, kTeal, false},
    {"Cancel", "Stop loading", "Topleft", "", 153, 13, 34, Glyph::Stop, kCoral, false},
    {"Navigate to target", "Home", "Topleft", "#start.htm", 195, 13, 34, Glyph::Home, kTeal, false},
    {"Move", "Drag to move the window", "Topright", "", 481, 15, 30, Glyph::Move, kAmber, false},
    {"Minimize", "Minimise", "Topright", "", 519, 15, 30, Glyph::Minus, kAmber, false},
    {"Maximize", "Maximise or restore", "Topright", "", 557, 15, 30, Glyph::Maximize, kAmber, false},
    {"Exit", "Close", "Topright", "", 595, 15, 30, Glyph::Close, kCoral, false},
    {"Resize", "Drag to resize the window", "Bottomright", "", 614, 412, 22, Glyph::Grip, kAmber, true},
};

constexpr ButtonState kStates[] = {ButtonState::Normal, ButtonState::Over, ButtonState::Pressed,
                                   ButtonState::Disabled};

QImage ButtonPicture(const SampleButton& b, ButtonState state) {
  if (b.chip) return ChipButton(b.size, b.size, 6, b.glyph, b.accent, state);
  return RoundButton(b.size, b.glyph, b.accent, state);
}

std::string StartPage() {
  return R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Welcome to your own browser</title>
<style>
  html { background: #f6f0e4; }
  body { margin: 0; font-family: "DejaVu Sans", sans-serif; color: #1b2635; }
  header { background: linear-gradient(#456382, #2f455e); color: #f6f0e4; padding: 28px 36px 24px; }
  header h1 { margin: 0 0 6px; font-size: 26px; }
  header p { margin: 0; color: #cfdbe6; }
  main { padding: 24px 36px 36px; max-width: 720px; }
  .cards { display: flex; gap: 16px; flex-wrap: wrap; margin: 18px 0 26px; }
  .card { flex: 1 1 180px; background: #fffdf8; border: 1px solid #e6d9c0; border-radius: 12px; padding: 14px 16px; }
  .card b { color: #c97e1c; }
  a.next { display: inline-block; background: #f2a53a; color: #1b2635; text-decoration: none; font-weight: bold;
           padding: 10px 18px; border-radius: 20px; }
  a.next:hover { background: #f6bd6c; }
</style>
</head>
<body>
<header>
  <h1>Your own browser, in your own skin</h1>
  <p>This window was put together with Pelloran from one picture, ten buttons and a few lines of text.</p>
</header>
<main>
  <div class="cards">
    <div class="card"><b>Top left</b><br>Back, forward, reload, stop and home.</div>
    <div class="card"><b>Top right</b><br>Move, minimise, maximise and close.</div>
    <div class="card"><b>Bottom right</b><br>Drag the grip to resize; the skin stretches around the page.</div>
  </div>
  <p>Type an address into the field above and press Enter, or follow the link below: the back button
     lights up as soon as there is somewhere to go back to.</p>
  <p><a class="next" href="page2.htm">Take the short tour &rarr;</a></p>
</main>
</body>
</html>
)";
}

std::string SecondPage() {
  return R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>The short tour</title>
<style>
  html { background: #f6f0e4; }
  body { margin: 0; font-family: "DejaVu Sans", sans-serif; color: #1b2635; }
  header { background: linear-gradient(#2b9a8c, #227a6f); color: #f6f0e4; padding: 28px 36px 24px; }
  header h1 { margin: 0; font-size: 26px; }
  main { padding: 24px 36px 36px; max-width: 720px; }
  ol li { margin: 0 0 10px; }
  code { background: #e6d9c0; padding: 1px 5px; border-radius: 4px; }
  a { color: #c97e1c; font-weight: bold; }
</style>
</head>
<body>
<header><h1>The short tour</h1></header>
<main>
  <ol>
    <li>The title above the address field follows the page: it now reads &ldquo;The short tour&rdquo;.</li>
    <li>The back button is lit: it takes you to the start page, and forward brings you here again.</li>
    <li>The home button always returns to <code>start.htm</code> beside the program.</li>
    <li>Everything you see around this page comes from <code>Config.VX</code> and the pictures next to it.</li>
  </ol>
  <p><a href="start.htm">&larr; Back to the start page</a></p>
</main>
</body>
</html>
)";
}

// How the media of the sample are named in a project text: generated names in a runtime folder, names
// relative to the application folder in a designer project.
struct Naming {
  bool build;                                       // "Config.VX" of a runtime folder, else a saved project
  std::string skin;                                 // bitmap-list entry 0
  std::vector<std::array<std::string, 4>> buttons;  // Mask, Touched, Pressed, Disabled per button
  std::string startSound, exitSound, clickSound;
  std::string startPage;  // also the home button's target
};

std::string Line(const std::string& key, const std::string& value) {
  return key + "=" + value + "\r\n";
}
std::string Line(const std::string& key, int value) {
  return Line(key, std::to_string(value));
}

std::string ProjectText(const Naming& n) {
  const int key = ToTColor(QColor(255, 0, 255));
  std::string text = Line("Pelloran", n.build ? "V1.0" : "V1.2");
  text += "Object=Bitmaps\r\n" + n.skin + "\r\n";
  for (const auto& pictures : n.buttons)
    for (const std::string& p : pictures)
      text += p + "\r\n";
  // A sound that several buttons use is listed once.
  text += "end\r\nObject=Sounds\r\n<NoSound>\r\n" + n.startSound + "\r\n" + n.exitSound + "\r\n" +
          n.clickSound + "\r\nend\r\n";
  text += "Object=Global\r\n" + Line("Top", 80) + Line("Left", 120) + Line("Width", kStartWidth) +
          Line("Height", kStartHeight) + Line("ITop", kInnerTop) + Line("ILeft", kInnerLeft) +
          Line("IRight", kInnerRight) + Line("IBottom", kInnerBottom) + "end\r\n";
  text += "Object=Web\r\n" + Line("Top", kWebTop) + Line("Left", kWebLeft) + Line("Height", kWebHeight) +
          Line("Width", kWebWidth) + Line("Startpage", n.startPage) + Line("Position", "Screencenter") +
          Line("Bitmap", n.skin) + Line("InvisibleColor", key) + Line("StartSound", n.startSound) +
          Line("ExitSound", n.exitSound) + Line("ZOrder", 6) + "end\r\n";
  // Graphic controls come first in the surface's list, so the label precedes the buttons and the edit.
  text += "Object=Label\r\n" + Line("Top", 26) + Line("Left", 262) + Line("Width", 196) +
          Line("Color", ToTColor(kSlateLight)) + Line("Style", "Page Title") + Line("Text", "Pelloran") +
          Line("Transparent", "1") + Line("Alignment", "Topleft") + Line("Autosize", "True") +
          Line("Fontname", "DejaVu Sans") + Line("Fontcolor", ToTColor(kCream)) + Line("Fontheight", -13) +
          Line("Fontstyle", "Bold") + Line("ZOrder", 5) + "end\r\n";
  int zorder = 7;
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    const SampleButton& b = kButtons[i];
    const auto& pictures = n.buttons[i];
    text += "Object=Button\r\n" + Line("Top", b.top) + Line("Left", b.left) + Line("Mask", pictures[0]) +
            Line("Touched", pictures[1]) + Line("Pressed", pictures[2]) + Line("Disabled", pictures[3]) +
            Line("InvisibleColor", key) + Line("Pressaction", b.action) + Line("Alignment", b.alignment) +
            Line("Navigationtarget", b.target[0] == '\0' ? std::string() : n.startPage) +
            Line("Sound", n.clickSound) + Line("Hint", b.hint) + Line("ZOrder", zorder++) + "end\r\n";
  }
  const std::string color = Line("Color", ToTColor(kCream)), style = Line("Style", "Simple Edit");
  const std::string anchors = Line("Alignment", "Topleft") + Line("Autosize", "True");
  text += "Object=Edit\r\n" + Line("Top", kEditTop) + Line("Left", kEditLeft) + Line("Width", kEditWidth) +
          (n.build ? color + style + anchors : anchors + color + style) + Line("Fontname", "DejaVu Sans") +
          Line("Fontcolor", ToTColor(kInk)) + Line("Fontheight", kEditFontHeight) + Line("ZOrder", zorder) +
          "end\r\n";
  return text;
}

}  // namespace

void GenerateSampleBrowser(MediaFolder& sample, MediaFolder& app) {
  QImage skin = Flatten(SkinArt(), kKeyMagenta, kInk);
  MarkKeyCorner(skin, kKeyMagenta);
  std::vector<std::array<QImage, 4>> pictures;
  for (const SampleButton& b : kButtons) {
    std::array<QImage, 4> states;
    for (int s = 0; s < 4; ++s)
      states[s] = Flatten(ButtonPicture(b, kStates[s]), kKeyMagenta, skin, b.left, b.top);
    pictures.push_back(states);
  }
  const std::vector<float> start = MarimbaWelcome(), exit = MarimbaFarewell(), click = WoodTick();

  // The runtime folder, as a build writes it: the picture list holds the skin, then each button's four
  // pictures, so VXB<n> numbers follow that list; sound numbers start at 1 after "<NoSound>".
  Naming built{true, "VXB0.BMP", {}, "VXS1.wav", "VXS2.wav", "VXS3.wav", "#start.htm"};
  sample.Bitmap(built.skin, skin);
  int index = 1;
  for (const auto& states : pictures) {
    std::array<std::string, 4> names;
    for (int s = 0; s < 4; ++s) {
      names[s] = "VXB" + std::to_string(index++) + ".BMP";
      sample.Bitmap(names[s], states[s]);
    }
    built.buttons.push_back(names);
  }
  sample.Wave(built.startSound, start, kSoundRate);
  sample.Wave(built.exitSound, exit, kSoundRate);
  sample.Wave(built.clickSound, click, kSoundRate);
  sample.Text("Config.VX", ProjectText(built));
  sample.Text("start.htm", StartPage());
  sample.Text("page2.htm", SecondPage());

  // The same composition as a designer project below the application folder, with readable names, so
  // the designer can open, test and build it. Its media and start page are named relative to the
  // application folder, the programs' current directory, so the project opens wherever that folder is.
  const std::string folder = "samples/browser/";
  Naming project{false,
                 folder + "Skin.BMP",
                 {},
                 folder + "Start.wav",
                 folder + "Exit.wav",
                 folder + "Click.wav",
                 folder + "start.htm"};
  app.Bitmap(folder + "Skin.BMP", skin);
  const char* const suffix[] = {"", "Over", "Press", "Dis"};
  for (size_t i = 0; i < std::size(kButtons); ++i) {
    std::string stem = kButtons[i].action;
    if (stem == "Navigate to target") stem = "Home";
    std::array<std::string, 4> names;
    for (int s = 0; s < 4; ++s) {
      const std::string file = folder + stem + suffix[s] + ".BMP";
      app.Bitmap(file, pictures[i][s]);
      names[s] = file;
    }
    project.buttons.push_back(names);
  }
  app.Wave(folder + "Start.wav", start, kSoundRate);
  app.Wave(folder + "Exit.wav", exit, kSoundRate);
  app.Wave(folder + "Click.wav", click, kSoundRate);
  app.Text(folder + "start.htm", StartPage());
  app.Text(folder + "page2.htm", SecondPage());
  app.Text("samples/Browser.VX", ProjectText(project));
}
