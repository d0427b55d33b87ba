#pragma once
// The drawing kit of the generated media: one palette, one type face, the glyphs of the tool buttons,
// button faces in their four states, and the flattening of antialiased artwork onto a key colour.
//
// Artwork is drawn with antialiasing on a transparent canvas; Flatten then gives every pixel either the
// key colour (mostly transparent pixels: cut away by the programs) or an opaque colour, blending the soft
// edge with what will lie behind it (a skin picture or a plain colour), so cut shapes keep smooth edges.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QString>

namespace art {

// The palette: slate blues for bodies, cream and sand for faces, amber and coral as accents.
inline const QColor kInk{0x1B, 0x26, 0x35};
inline const QColor kSlateDark{0x22, 0x33, 0x47};
inline const QColor kSlate{0x2F, 0x45, 0x5E};
inline const QColor kSlateLight{0x45, 0x63, 0x82};
inline const QColor kMist{0x8F, 0xA6, 0xBC};
inline const QColor kCream{0xF6, 0xF0, 0xE4};
inline const QColor kSand{0xE6, 0xD9, 0xC0};
inline const QColor kSandDark{0xCB, 0xB8, 0x96};
inline const QColor kAmber{0xF2, 0xA5, 0x3A};
inline const QColor kAmberDark{0xC9, 0x7E, 0x1C};
inline const QColor kCoral{0xE2, 0x64, 0x4B};
inline const QColor kTeal{0x2B, 0x9A, 0x8C};
inline const QColor kDisabledFace{0x5A, 0x6B, 0x7E};
inline const QColor kDisabledInk{0x93, 0xA2, 0xB1};

// Key colours used by the programs to cut pictures.
inline constexpr QRgb kKeyRed = 0xFFFF0000;
inline constexpr QRgb kKeyWhite = 0xFFFFFFFF;
inline constexpr QRgb kKeyMagenta = 0xFFFF00FF;

enum class ButtonState { Normal, Over, Pressed, Disabled };

enum class Glyph {
  None,
  Plus,
  Folder,
  Disk,
  Sliders,
  Package,
  Play,
  Trash,
  ButtonShape,
  Letter,
  Caret,
  Lock,
  Minus,
  Close,
  ArrowLeft,
  ArrowRight,
  Refresh,
  Stop,
  Home,
  Maximize,
  Move,
  Grip,
  StopSquare,
  Pipette,
  Check,
  Cross,
  Undo,
  Picture,
  Sweep
};

// A transparent canvas (premultiplied ARGB) for antialiased drawing.
[[nodiscard]] QImage NewCanvas(int width, int height);

// A painter with antialiasing and smooth transforms switched on.
void Prepare(QPainter& painter);

// The type face of all generated pictures, at a pixel size.
[[nodiscard]] QFont Face(int pixelSize, bool bold = false, bool italic = false);

// Draws one glyph centred in the box with the given ink; the stroke width scales with the box.
void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& ink);

// A vertical linear gradient brush over the rectangle.
[[nodiscard]] QBrush VerticalGradient(const QRectF& r, const QColor& top, const QColor& bottom);

// A pill-shaped tool button with a glyph disc on the left and a caption.
[[nodiscard]] QImage PillButton(int width, int height, const QString& caption, Glyph glyph,
                                const QColor& accent, ButtonState state);

// A round button with a glyph in the middle (diameter = the picture's size).
[[nodiscard]] QImage RoundButton(int diameter, Glyph glyph, const QColor& accent, ButtonState state);

// A rounded-rectangle button of any size with a glyph in the middle.
[[nodiscard]] QImage ChipButton(int width, int height, double radius, Glyph glyph, const QColor& accent,
                                ButtonState state);

// Flattens artwork: pixels with alpha below one half become the key colour, the others are blended over
// the backdrop picture (its pixel at the same place offset by (dx, dy)) and made opaque. An opaque pixel
// that happens to equal the key is nudged by one step so that it is not cut.
[[nodiscard]] QImage Flatten(const QImage& artwork, QRgb key, const QImage& backdrop, int dx = 0, int dy = 0);

// Flattens artwork over a plain backdrop colour.
[[nodiscard]] QImage Flatten(const QImage& artwork, QRgb key, const QColor& backdrop);

// Makes sure the bottom-left pixel of a skin holds the key colour (the programs read the key there).
void MarkKeyCorner(QImage& skin, QRgb key);

}  // namespace art
