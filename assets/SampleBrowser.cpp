#include "assets/SampleBrowser.h"

#include "assets/Artwork.h"
#include "assets/Sounds.h"

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
  const char* target;
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

}  // namespace

void GenerateSampleBrowser(MediaFolder& sample) {
  QImage skin = Flatten(SkinArt(), kKeyMagenta, kInk);
  MarkKeyCorner(skin, kKeyMagenta);
  const int key = ToTColor(QColor(255, 0, 255));

  // Bitmap list of the project: the skin, then each button's Mask, Touched, Pressed and Disabled.
  std::vector<std::string> bitmaps;
  const auto addBitmap = [&](const QImage& picture) {
    const std::string name = "VXB" + std::to_string(bitmaps.size()) + ".BMP";
    sample.Bitmap(name, picture);
    bitmaps.push_back(name);
    return name;
  };
  addBitmap(skin);

  // Sounds: entry 0 is "<NoSound>", so generated sound numbers start at 1.
  sample.Wave("VXS1.wav", MarimbaWelcome(), kSoundRate);
  sample.Wave("VXS2.wav", MarimbaFarewell(), kSoundRate);
  sample.Wave("VXS3.wav", WoodTick(), kSoundRate);

  std::vector<std::string> buttonSections;
  int zorder = 7;
  for (const SampleButton& b : kButtons) {
    std::string names[4];
    for (int s = 0; s < 4; ++s)
      names[s] = addBitmap(Flatten(ButtonPicture(b, kStates[s]), kKeyMagenta, skin, b.left, b.top));
    std::string section = "Object=Button\r\n";
    section += "Top=" + std::to_string(b.top) + "\r\nLeft=" + std::to_string(b.left) + "\r\n";
    section += "Mask=" + names[0] + "\r\nTouched=" + names[1] + "\r\nPressed=" + names[2] +
               "\r\nDisabled=" + names[3] + "\r\n";
    section += "InvisibleColor=" + std::to_string(key) + "\r\n";
    section += std::string("Pressaction=") + b.action + "\r\n";
    section += std::string("Alignment=") + b.alignment + "\r\n";
    section += std::string("Navigationtarget=") + b.target + "\r\n";
    section += "Sound=VXS3.wav\r\n";
    section += std::string("Hint=") + b.hint + "\r\n";
    section += "ZOrder=" + std::to_string(zorder++) + "\r\nend\r\n";
    buttonSections.push_back(section);
  }

  std::string text = "Pelloran=V1.0\r\nObject=Bitmaps\r\n";
  for (const std::string& name : bitmaps)
    text += name + "\r\n";
  // A sound that several buttons use is listed once.
  text += "end\r\nObject=Sounds\r\n<NoSound>\r\nVXS1.wav\r\nVXS2.wav\r\nVXS3.wav\r\nend\r\n";
  text += "Object=Global\r\nTop=80\r\nLeft=120\r\nWidth=" + std::to_string(kStartWidth) +
          "\r\nHeight=" + std::to_string(kStartHeight) + "\r\nITop=" + std::to_string(kInnerTop) +
          "\r\nILeft=" + std::to_string(kInnerLeft) + "\r\nIRight=" + std::to_string(kInnerRight) +
          "\r\nIBottom=" + std::to_string(kInnerBottom) + "\r\nend\r\n";
  text += "Object=Web\r\nTop=" + std::to_string(kWebTop) + "\r\nLeft=" + std::to_string(kWebLeft) +
          "\r\nHeight=" + std::to_string(kWebHeight) + "\r\nWidth=" + std::to_string(kWebWidth) +
          "\r\nStartpage=#start.htm\r\nPosition=Screencenter\r\nBitmap=" + bitmaps[0] +
          "\r\nInvisibleColor=" + std::to_string(key) +
          "\r\nStartSound=VXS1.wav\r\nExitSound=VXS2.wav\r\nZOrder=6\r\nend\r\n";
  // Graphic controls come first in the surface's list, so the label precedes the buttons and the edit.
  text +=
      "Object=Label\r\nTop=26\r\nLeft=262\r\nWidth=196\r\nColor=" + std::to_string(ToTColor(kSlateLight)) +
      "\r\nStyle=Page Title\r\nText=Pelloran\r\nTransparent=1\r\nAlignment=Topleft\r\nAutosize=True\r\n"
      "Fontname=DejaVu Sans\r\nFontcolor=" +
      std::to_string(ToTColor(kCream)) + "\r\nFontheight=-13\r\nFontstyle=Bold\r\nZOrder=5\r\nend\r\n";
  for (const std::string& section : buttonSections)
    text += section;
  text +=
      "Object=Edit\r\nTop=" + std::to_string(kEditTop) + "\r\nLeft=" + std::to_string(kEditLeft) +
      "\r\nWidth=" + std::to_string(kEditWidth) + "\r\nColor=" + std::to_string(ToTColor(kCream)) +
      "\r\nStyle=Simple Edit\r\nAlignment=Topleft\r\nAutosize=True\r\nFontname=DejaVu Sans\r\nFontcolor=" +
      std::to_string(ToTColor(kInk)) + "\r\nFontheight=" + std::to_string(kEditFontHeight) +
      "\r\nZOrder=" + std::to_string(zorder) + "\r\nend\r\n";
  sample.Text("Config.VX", text);
  sample.Text("start.htm", StartPage());
  sample.Text("page2.htm", SecondPage());
}
