#include "assets/DesignerArt.h"

#include "assets/Artwork.h"
#include "assets/EditorLayout.h"

#include <string>

using namespace art;

namespace {

const char* const kStateSuffix[] = {"", "Over", "Press", "Dis"};
constexpr ButtonState kStates[] = {ButtonState::Normal, ButtonState::Over, ButtonState::Pressed,
                                   ButtonState::Disabled};

// A tool button of the main window: position, size, picture names and look.
struct ToolButton {
  const char* files[4];  // normal, under the mouse, pressed, disabled
  int left, top, width, height;
  const char* caption;  // empty for the round buttons of the title tab
  Glyph glyph;
  QRgb key;
  QColor accent;
};

// The main window's positions and key colours are those of its form; sizes fit the gaps between them.
const ToolButton kMainButtons[] = {
    {{"New2.BMP", "New2Over.BMP", "New2Press.BMP", "New2Dis.BMP"},
     176,
     46,
     78,
     24,
     "New",
     Glyph::Plus,
     kKeyRed,
     kAmber},
    {{"Open4.BMP", "Open4Over.BMP", "Open4Press.BMP", "Open4Dis.BMP"},
     176,
     72,
     78,
     24,
     "Open",
     Glyph::Folder,
     kKeyWhite,
     kAmber},
    {{"Save5.BMP", "Save5Over.BMP", "Save5Press.BMP", "Save5Dis.BMP"},
     176,
     98,
     78,
     24,
     "Save",
     Glyph::Disk,
     kKeyRed,
     kAmber},
    {{"Options.BMP", "OptionsOver.BMP", "OptionsPress.BMP", "OptionsDis.BMP"},
     176,
     124,
     78,
     24,
     "Options",
     Glyph::Sliders,
     kKeyRed,
     kAmber},
    {{"Clear1.BMP", "Clear1Over.BMP", "Clear1Press.BMP", "Clear1Dis.BMP"},
     97,
     57,
     74,
     24,
     "Kill",
     Glyph::Trash,
     kKeyRed,
     kCoral},
    {{"Build2.BMP", "Build2Over.BMP", "Build2Press.BMP", "Build2Dis.BMP"},
     97,
     83,
     74,
     24,
     "Build",
     Glyph::Package,
     kKeyRed,
     kTeal},
    {{"Check1.BMP", "Check1Over.BMP", "Check1Press.BMP", "Check1Dis.BMP"},
     97,
     109,
     74,
     24,
     "Check",
     Glyph::Play,
     kKeyRed,
     kTeal},
    {{"Label2.BMP", "Label2Over.BMP", "Label2Press.BMP", "Label2Dis.BMP"},
     15,
     72,
     76,
     24,
     "Label",
     Glyph::Letter,
     kKeyRed,
     kAmber},
    {{"Edit1.BMP", "Edit1Over.BMP", "Edit1Press.BMP", "Edit1Dis.BMP"},
     16,
     98,
     76,
     24,
     "Edit",
     Glyph::Caret,
     kKeyRed,
     kAmber},
    {{"Exit1.BMP", "Exit1Over.BMP", "Exit1Press.BMP", "Exit1Dis.BMP"},
     235,
     7,
     22,
     22,
     "",
     Glyph::Close,
     kKeyWhite,
     kCoral},
    {{"Lock_n.BMP", "lock_sel.BMP", "lock_press.BMP", "Lock_Dis.BMP"},
     187,
     7,
     22,
     22,
     "",
     Glyph::Lock,
     kKeyWhite,
     kAmber},
    {{"Minimize1.BMP", "Minimize1Over.BMP", "Minimize1Press.BMP", "Minimize1Dis.BMP"},
     211,
     7,
     22,
     22,
     "",
     Glyph::Minus,
     kKeyWhite,
     kAmber},
};

// The insert tool "Button" doubles as the default picture set of a new button element, whose key colour
// is white: its corners are white and it sits on the white tray of the main window.
const ToolButton kButtonTool = {{"Button1.BMP", "Button1Over.BMP", "Button1Press.BMP", "Button1Dis.BMP"},
                                15,
                                46,
                                76,
                                24,
                                "Button",
                                Glyph::ButtonShape,
                                kKeyWhite,
                                kAmber};

QImage ToolPicture(const ToolButton& b, ButtonState state) {
  if (b.caption[0] == '\0') return RoundButton(b.width, b.glyph, b.accent, state);
  return PillButton(b.width, b.height, QString::fromLatin1(b.caption), b.glyph, b.accent, state);
}

void WriteToolButton(MediaFolder& app, const ToolButton& b, const QImage& skin) {
  for (int s = 0; s < 4; ++s) {
    const QImage picture = Flatten(ToolPicture(b, kStates[s]), b.key, skin, b.left, b.top);
    app.Bitmap(std::string("Images/Buttons/") + b.files[s], picture);
  }
}

void Wordmark(QPainter& p, const QPointF& at, int size, const QColor& ink) {
  // A leaf-like mark and the name.
  QPainterPath leaf;
  const double r = size * 0.5;
  leaf.moveTo(at + QPointF(0, r));
  leaf.cubicTo(at + QPointF(0, -r * 0.4), at + QPointF(r * 1.1, -r * 0.7), at + QPointF(r * 1.6, -r * 0.9));
  leaf.cubicTo(at + QPointF(r * 1.5, r * 0.2), at + QPointF(r, r * 1.1), at + QPointF(0, r));
  p.setPen(Qt::NoPen);
  p.setBrush(kAmber);
  p.drawPath(leaf);
  p.setPen(QPen(kSlateDark, 1.2));
  p.drawLine(at + QPointF(0.2, r * 0.9), at + QPointF(r * 1.1, -r * 0.3));
  p.setFont(Face(size, true));
  p.setPen(ink);
  p.drawText(QRectF(at.x() + r * 2.0, at.y() - size, 200, size * 2.0), Qt::AlignVCenter | Qt::AlignLeft,
             QStringLiteral("Pelloran"));
}

// Main window skin, 268 x 156: a slate body with a raised title tab for the three round buttons and a
// white tray for the insert tools. Key colour: the bottom-left pixel (magenta).
QImage MainDialogSkin() {
  const int w = 268, h = 156;
  QImage art = NewCanvas(w, h);
  QPainter p(&art);
  Prepare(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(1, 12, w - 2, h - 14), 16, 16);
  QPainterPath tab;
  tab.addRoundedRect(QRectF(180, 1, 86, 36), 14, 14);
  const QPainterPath shape = body.united(tab);
  p.setPen(QPen(kInk, 2));
  p.setBrush(VerticalGradient(QRectF(0, 0, w, h), kSlateLight, kSlateDark));
  p.drawPath(shape);
  p.save();
  p.setClipPath(shape);
  p.fillRect(QRectF(0, 0, w, 40), VerticalGradient(QRectF(0, 0, w, 40), kSlateDark, kSlate));
  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.drawLine(QPointF(8, 40.5), QPointF(w - 8, 40.5));
  p.restore();
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(shape);

  Wordmark(p, QPointF(16, 26), 15, kCream);

  // The white tray of the insert tools, with a soft shadow.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawRoundedRect(QRectF(8, 43, 88, 88), 10, 10);
  p.setBrush(QColor(255, 255, 255));
  p.drawRoundedRect(QRectF(8, 41, 88, 88), 10, 10);

  p.setFont(Face(9, false, true));
  p.setPen(kMist);
  p.drawText(QRectF(8, 134, 88, 14), Qt::AlignCenter, QStringLiteral("construction kit"));
  p.drawText(QRectF(97, 136, 74, 14), Qt::AlignCenter, QStringLiteral("test & build"));
  p.end();
  QImage skin = Flatten(art, kKeyMagenta, kInk);
  MarkKeyCorner(skin, kKeyMagenta);
  return skin;
}

// Question box skin, 183 x 226, with its question drawn in; the three answer buttons lie at y 123.
QImage QuestionSkin() {
  const int w = 183, h = 226;
  QImage art = NewCanvas(w, h);
  QPainter p(&art);
  Prepare(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(1, 14, w - 2, h - 16), 18, 18);
  QPainterPath badge;
  badge.addEllipse(QPointF(91.5, 21), 20, 20);
  const QPainterPath shape = body.united(badge);
  p.setPen(QPen(kInk, 2));
  p.setBrush(VerticalGradient(QRectF(0, 0, w, h), kSlateLight, kSlateDark));
  p.drawPath(shape);
  p.setPen(Qt::NoPen);
  p.setBrush(VerticalGradient(QRectF(72, 2, 40, 40), kAmber, kAmberDark));
  p.drawEllipse(QPointF(91.5, 21), 16.5, 16.5);
  p.setFont(Face(22, true));
  p.setPen(kInk);
  p.drawText(QRectF(71.5, 2, 40, 38), Qt::AlignCenter, QStringLiteral("?"));

  p.setFont(Face(12, true));
  p.setPen(kCream);
  p.drawText(QRectF(10, 46, w - 20, 20), Qt::AlignCenter, QStringLiteral("Unsaved changes"));
  p.setFont(Face(11));
  p.setPen(QColor(0xDD, 0xE5, 0xEC));
  p.drawText(QRectF(12, 68, w - 24, 48), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("There is still a project open. Save it first?"));

  // Tray of the answer buttons.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x1B, 0x26, 0x35, 150));
  p.drawRoundedRect(QRectF(54, 118, 80, 31), 10, 10);
  p.setFont(Face(8));
  p.setPen(kMist);
  p.drawText(QRectF(56, 152, 31, 12), Qt::AlignCenter, QStringLiteral("Yes"));
  p.drawText(QRectF(80, 152, 31, 12), Qt::AlignCenter, QStringLiteral("No"));
  p.drawText(QRectF(100, 152, 40, 12), Qt::AlignCenter, QStringLiteral("Cancel"));

  p.setPen(QPen(QColor(255, 255, 255, 40), 1));
  p.drawLine(QPointF(20, 172.5), QPointF(w - 20, 172.5));
  p.setFont(Face(9, false, true));
  p.setPen(kMist);
  p.drawText(QRectF(12, 178, w - 24, 40), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
             QStringLiteral("Yes saves, No discards the changes, Cancel goes back."));
  p.end();
  QImage skin = Flatten(art, kKeyMagenta, kInk);
  MarkKeyCorner(skin, kKeyMagenta);
  return skin;
}

// Property editor skin, 272 x 470: a title tab, a slate frame and a cream card that the panels fill.
QImage EditorArt() {
  const int w = editor_layout::kWidth, h = editor_layout::kHeight;
  QImage art = NewCanvas(w, h);
  QPainter p(&art);
  Prepare(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(1, 10, w - 2, h - 12), 18, 18);
  QPainterPath tab;
  tab.addRoundedRect(QRectF(1, 1, 150, 40), 14, 14);
  const QPainterPath shape = body.united(tab);
  p.setPen(QPen(kInk, 2));
  p.setBrush(VerticalGradient(QRectF(0, 0, w, h), kSlate, kSlateDark));
  p.drawPath(shape);
  p.setFont(Face(14, true));
  p.setPen(kCream);
  p.drawText(QRectF(18, 6, 130, 30), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Properties"));
  p.setPen(Qt::NoPen);
  p.setBrush(kAmber);
  p.drawEllipse(QPointF(128, 21), 4, 4);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawRoundedRect(QRectF(8, 46, w - 16, h - 56), 10, 10);
  p.setBrush(VerticalGradient(QRectF(8, 44, w - 16, h - 56), kCream, QColor(0xF0, 0xE8, 0xD8)));
  p.drawRoundedRect(QRectF(8, 44, w - 16, h - 56), 10, 10);
  return art;
}

const QColor kWellBlue(0, 64, 128);  // the editor's edits and lists are this dark blue

void DrawBoxes(QPainter& p, const editor_layout::Box* boxes, size_t count) {
  using editor_layout::BoxKind;
  for (size_t i = 0; i < count; ++i) {
    const auto& b = boxes[i];
    const QRectF r(b.left, b.top, b.width, b.height);
    switch (b.kind) {
      case BoxKind::Field:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 160));
        p.drawRoundedRect(r.adjusted(-2, -1, 2, 3), 5, 5);
        p.setBrush(kInk);
        p.drawRoundedRect(r.adjusted(-2, -2, 2, 2), 5, 5);
        p.setBrush(kWellBlue);
        p.drawRect(r);
        break;
      case BoxKind::Picture:
        p.setPen(QPen(kSandDark, 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawRoundedRect(r.adjusted(-1.5, -1.5, 1.5, 1.5), 3, 3);
        break;
      case BoxKind::Swatch:
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(-2.5, -2.5, 2.5, 2.5), 4, 4);
        break;
      case BoxKind::Font:
        p.setPen(QPen(kSandDark, 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawRoundedRect(r.adjusted(-2.5, -2.5, 2.5, 2.5), 5, 5);
        break;
      case BoxKind::Icon:
      case BoxKind::Check:
      case BoxKind::Text:
        break;
    }
  }
}

void DrawCaptions(QPainter& p, const editor_layout::Caption* captions, size_t count) {
  p.setFont(Face(10, true));
  p.setPen(kSlate);
  for (size_t i = 0; i < count; ++i) {
    const auto& c = captions[i];
    if (c.rightAligned) {
      p.drawText(QRectF(12, c.top, editor_layout::kCaptionRight - 12, 21), Qt::AlignRight | Qt::AlignVCenter,
                 QString::fromUtf8(c.text));
    } else {
      p.drawText(QRectF(c.left, c.top, 200, 14), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(c.text));
    }
  }
}

template <size_t B, size_t C>
QImage PanelPicture(const QImage& frame, const char* title, const editor_layout::Box (&boxes)[B],
                    const editor_layout::Caption (&captions)[C], const char* tip) {
  QImage art = frame.copy();
  QPainter p(&art);
  Prepare(p);
  p.setFont(Face(12, true));
  p.setPen(kAmber);
  p.drawText(QRectF(150, 12, editor_layout::kWidth - 168, 26), Qt::AlignRight | Qt::AlignVCenter,
             QString::fromUtf8(title));
  DrawBoxes(p, boxes, B);
  DrawCaptions(p, captions, C);
  if (tip != nullptr) {  // a hint in the free space at the foot of the card
    p.setFont(Face(10, false, true));
    p.setPen(kSandDark.darker(125));
    p.drawText(QRectF(20, editor_layout::kTipTop, editor_layout::kWidth - 40, 40),
               Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap, QString::fromUtf8(tip));
  }
  p.end();
  QImage flat = Flatten(art, kKeyMagenta, kInk);
  MarkKeyCorner(flat, kKeyMagenta);
  return flat;
}

void WriteEditorPictures(MediaFolder& app) {
  const QImage frame = EditorArt();
  QImage skin = Flatten(frame, kKeyMagenta, kInk);
  MarkKeyCorner(skin, kKeyMagenta);
  app.Bitmap("Images/Blaselinksoben.BMP", skin);
  namespace L = editor_layout;
  app.Bitmap(L::kPanelPictures[0], PanelPicture(frame, "Window", L::kFormPanel, L::kFormCaptions, nullptr));
  app.Bitmap(
      L::kPanelPictures[1],
      PanelPicture(frame, "Button", L::kButtonPanel, L::kButtonCaptions,
                   "Click a preview to load a picture. The normal picture gives the button its outline."));
  app.Bitmap(L::kPanelPictures[2],
             PanelPicture(frame, "Label", L::kLabelPanel, L::kLabelCaptions,
                          "A \"Page Title\" label shows the title of the page on display."));
  app.Bitmap(L::kPanelPictures[3],
             PanelPicture(frame, "Address field", L::kEditPanel, L::kEditCaptions,
                          "A browser has one address field: a simple edit or a list that "
                          "remembers the addresses visited."));
  app.Bitmap(L::kPanelPictures[4],
             PanelPicture(frame, "Options", L::kOptionsPanel, L::kOptionsCaptions,
                          "Options belong to the designer, not to the project; they are "
                          "kept for the next start."));

  // The panels' small shaped buttons sit on the cream card; key colour white.
  const struct {
    const char* name;
    Glyph glyph;
    QColor accent;
  } icons[] = {{"Play", Glyph::Play, kTeal},
               {"Stop", Glyph::StopSquare, kCoral},
               {"Folder", Glyph::Folder, kAmber},
               {"Pipette", Glyph::Pipette, kAmber},
               {"Sweep", Glyph::Sweep, kCoral}};
  for (const auto& icon : icons) {
    for (int s = 0; s < 3; ++s) {
      const QImage picture = Flatten(RoundButton(20, icon.glyph, icon.accent, kStates[s]), kKeyWhite, kCream);
      app.Bitmap(std::string("Images/Buttons/") + icon.name + kStateSuffix[s] + ".BMP", picture);
    }
  }
}

void WriteQuestionBox(MediaFolder& app) {
  const QImage skin = QuestionSkin();
  app.Bitmap("Images/Decisiondesign.BMP", skin);
  const struct {
    const char* name;
    int left;
    Glyph glyph;
    QColor accent;
  } answers[] = {{"Yes", 60, Glyph::Check, kTeal},
                 {"No", 84, Glyph::Cross, kCoral},
                 {"Cancel", 108, Glyph::Undo, kAmber}};
  for (const auto& a : answers) {
    for (int s = 0; s < 3; ++s) {
      const QImage picture =
          Flatten(ChipButton(23, 21, 7, a.glyph, a.accent, kStates[s]), kKeyWhite, skin, a.left, 123);
      app.Bitmap(std::string("Images/Buttons/") + a.name + kStateSuffix[s] + ".BMP", picture);
    }
  }
}

// Default skin of a new project, 480 x 360, key colour pure red: rolling hills along the top edge, a
// light header for the first buttons, a slate frame around the web view (30, 60, 420 x 270).
QImage DefaultProjectSkin() {
  const int w = 480, h = 360;
  QImage art = NewCanvas(w, h);
  QPainter p(&art);
  Prepare(p);
  QPainterPath body;
  body.addRoundedRect(QRectF(1, 16, w - 2, h - 18), 22, 22);
  QPainterPath hills;
  hills.addEllipse(QPointF(130, 26), 100, 24);
  hills.addEllipse(QPointF(330, 24), 120, 22);
  const QPainterPath shape = body.united(hills);
  p.setPen(QPen(kInk, 2));
  p.setBrush(VerticalGradient(QRectF(0, 0, w, h), kSlateLight, kSlateDark));
  p.drawPath(shape);
  p.save();
  p.setClipPath(shape);
  p.fillRect(QRectF(0, 0, w, 56), VerticalGradient(QRectF(0, 0, w, 56), QColor(0xFB, 0xF7, 0xEE), kSand));
  // A low sun and soft hills in the header's light tones, so buttons placed there stay readable.
  p.setClipRect(QRectF(0, 0, w, 56.5), Qt::IntersectClip);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xF2, 0xA5, 0x3A, 150));
  p.drawEllipse(QPointF(398, 36), 10, 10);
  p.setBrush(QColor(0xD9, 0xCB, 0xAE));
  p.drawEllipse(QPointF(110, 74), 150, 30);
  p.setBrush(QColor(0xCF, 0xBF, 0x9F));
  p.drawEllipse(QPointF(360, 80), 170, 32);
  p.setPen(QPen(kSandDark, 1));
  p.drawLine(QPointF(0, 56.5), QPointF(w, 56.5));
  p.restore();
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(shape);
  // Web view well.
  p.setPen(QPen(kInk, 2));
  p.setBrush(QColor(0xFF, 0xFF, 0xFE));
  p.drawRoundedRect(QRectF(29, 59, 422, 272), 3, 3);
  p.setFont(Face(10, true, true));
  p.setPen(kMist);
  p.drawText(QRectF(30, 334, 200, 20), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("VexLand"));
  p.end();
  QImage skin = Flatten(art, kKeyRed, kInk);
  MarkKeyCorner(skin, kKeyRed);
  return skin;
}

// The default picture of an image element: a small landscape.
QImage DefaultImage() {
  const int w = 96, h = 72;
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  Prepare(p);
  p.fillRect(image.rect(),
             VerticalGradient(QRectF(0, 0, w, h), QColor(0x9F, 0xD0, 0xE8), QColor(0xF6, 0xE7, 0xC8)));
  p.setPen(Qt::NoPen);
  p.setBrush(kAmber);
  p.drawEllipse(QPointF(70, 22), 9, 9);
  p.setBrush(kTeal);
  p.drawEllipse(QPointF(24, 78), 50, 30);
  p.setBrush(kSlateLight);
  p.drawEllipse(QPointF(80, 82), 44, 30);
  p.setPen(QPen(kInk, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(1, 1, w - 2, h - 2));
  return image;
}

// Stock picture for files that cannot be read: flat colours only, so the GIF twin is exact.
QImage NoImage() {
  const int w = 48, h = 48;
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kSand);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(kCream);
  p.drawRect(8, 10, 32, 26);
  p.setBrush(kMist);
  p.drawPolygon(QPolygon({QPoint(9, 35), QPoint(20, 22), QPoint(27, 29), QPoint(31, 25), QPoint(39, 35)}));
  p.setBrush(kAmber);
  p.drawEllipse(QPoint(31, 17), 3, 3);
  p.setPen(QPen(kSlate, 2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(8, 10, 32, 26);
  p.setPen(QPen(kCoral, 3));
  p.drawLine(QPoint(12, 40), QPoint(36, 6));
  p.setPen(QPen(kSlateDark, 2));
  p.drawRect(1, 1, w - 3, h - 3);
  return image;
}

}  // namespace

void GenerateDesignerPictures(MediaFolder& app) {
  const QImage mainSkin = MainDialogSkin();
  app.Bitmap("Images/MainDialog.BMP", mainSkin);
  for (const ToolButton& b : kMainButtons)
    WriteToolButton(app, b, mainSkin);
  WriteToolButton(app, kButtonTool, mainSkin);
  WriteEditorPictures(app);
  WriteQuestionBox(app);
  app.Bitmap("Images/VexLand3.Bmp", DefaultProjectSkin());
  app.Bitmap("Image.bmp", DefaultImage());
  const QImage noImage = NoImage();
  app.Bitmap("Data/noimage.bmp", noImage);
  app.Gif("Data/noimage.gif", noImage);
}
