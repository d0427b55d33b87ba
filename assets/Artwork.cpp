#include "assets/Artwork.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QRadialGradient>

#include <cmath>

namespace art {

QImage NewCanvas(int width, int height) {
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void Prepare(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

QFont Face(int pixelSize, bool bold, bool italic) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  font.setItalic(italic);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

QBrush VerticalGradient(const QRectF& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return QBrush(g);
}

namespace {

// Glyphs are drawn in a 24 x 24 design space mapped onto the box.
void DrawGlyphUnits(QPainter& p, Glyph glyph, const QColor& ink) {
  QPen pen(ink, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  switch (glyph) {
    case Glyph::None:
      break;
    case Glyph::Plus:
      p.drawLine(QPointF(12, 5), QPointF(12, 19));
      p.drawLine(QPointF(5, 12), QPointF(19, 12));
      break;
    case Glyph::Minus:
      p.drawLine(QPointF(6, 12), QPointF(18, 12));
      break;
    case Glyph::Close:
    case Glyph::Cross:
      p.drawLine(QPointF(6.5, 6.5), QPointF(17.5, 17.5));
      p.drawLine(QPointF(17.5, 6.5), QPointF(6.5, 17.5));
      break;
    case Glyph::Check:
      p.drawPolyline(QPolygonF({QPointF(5.5, 12.5), QPointF(10, 17), QPointF(18.5, 7)}));
      break;
    case Glyph::Folder: {
      QPainterPath path;
      path.moveTo(4, 7);
      path.lineTo(9.5, 7);
      path.lineTo(11.5, 9);
      path.lineTo(20, 9);
      path.lineTo(20, 18);
      path.lineTo(4, 18);
      path.closeSubpath();
      p.drawPath(path);
      p.drawLine(QPointF(4, 12), QPointF(20, 12));
      break;
    }
    case Glyph::Disk: {
      p.drawRoundedRect(QRectF(5, 5, 14, 14), 2, 2);
      p.drawLine(QPointF(9, 5.5), QPointF(9, 9.5));
      p.drawLine(QPointF(9, 9.5), QPointF(15, 9.5));
      p.drawLine(QPointF(15, 9.5), QPointF(15, 5.5));
      p.drawRect(QRectF(8.5, 13.5, 7, 5.5));
      break;
    }
    case Glyph::Sliders: {
      // Three slider tracks with their knobs: settings.
      const double knobs[] = {9, 15, 11};
      for (int row = 0; row < 3; ++row) {
        const double y = 6.5 + row * 5.5;
        p.setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5, y), QPointF(19, y));
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawEllipse(QPointF(knobs[row], y), 2.6, 2.6);
      }
      break;
    }
    case Glyph::Package: {
      QPainterPath path;
      path.moveTo(12, 4);
      path.lineTo(19.5, 8);
      path.lineTo(19.5, 16);
      path.lineTo(12, 20);
      path.lineTo(4.5, 16);
      path.lineTo(4.5, 8);
      path.closeSubpath();
      p.drawPath(path);
      p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(12, 12), QPointF(19.5, 8)}));
      p.drawLine(QPointF(12, 12), QPointF(12, 20));
      break;
    }
    case Glyph::Play: {
      p.setBrush(ink);
      p.drawPolygon(QPolygonF({QPointF(8.5, 6), QPointF(18, 12), QPointF(8.5, 18)}));
      break;
    }
    case Glyph::Trash: {
      p.drawLine(QPointF(5, 7), QPointF(19, 7));
      p.drawPolyline(QPolygonF({QPointF(10, 7), QPointF(10, 4.5), QPointF(14, 4.5), QPointF(14, 7)}));
      p.drawPolyline(QPolygonF({QPointF(6.5, 7), QPointF(7.5, 19.5), QPointF(16.5, 19.5), QPointF(17.5, 7)}));
      p.drawLine(QPointF(10.3, 10.5), QPointF(10.5, 16.5));
      p.drawLine(QPointF(13.7, 10.5), QPointF(13.5, 16.5));
      break;
    }
    case Glyph::ButtonShape: {
      p.drawRoundedRect(QRectF(3.5, 7.5, 17, 9), 4.5, 4.5);
      p.setBrush(ink);
      p.drawEllipse(QPointF(12, 12), 1.2, 1.2);
      break;
    }
    case Glyph::Letter: {
      p.drawPolyline(QPolygonF({QPointF(6, 19), QPointF(12, 5), QPointF(18, 19)}));
      p.drawLine(QPointF(8.5, 14), QPointF(15.5, 14));
      break;
    }
    case Glyph::Caret: {
      p.drawRoundedRect(QRectF(3.5, 7, 17, 10), 2, 2);
      p.drawLine(QPointF(9, 9.5), QPointF(9, 14.5));
      break;
    }
    case Glyph::Lock: {
      p.setBrush(ink);
      p.drawRoundedRect(QRectF(6, 11, 12, 9), 1.5, 1.5);
      p.setBrush(Qt::NoBrush);
      QPainterPath shackle;
      shackle.moveTo(8.5, 11);
      shackle.lineTo(8.5, 8.5);
      shackle.arcTo(QRectF(8.5, 4.5, 7, 8), 180, -180);
      shackle.lineTo(15.5, 11);
      p.drawPath(shackle);
      break;
    }
    case Glyph::ArrowLeft:
      p.drawLine(QPointF(18.5, 12), QPointF(6, 12));
      p.drawPolyline(QPolygonF({QPointF(11, 6.5), QPointF(5.5, 12), QPointF(11, 17.5)}));
      break;
    case Glyph::ArrowRight:
      p.drawLine(QPointF(5.5, 12), QPointF(18, 12));
      p.drawPolyline(QPolygonF({QPointF(13, 6.5), QPointF(18.5, 12), QPointF(13, 17.5)}));
      break;
    case Glyph::Refresh: {
      // An arc open at the upper right whose end at three o'clock carries an arrowhead pointing up.
      const QRectF circle(5.5, 5.5, 13, 13);
      QPainterPath arc;
      arc.arcMoveTo(circle, 75);
      arc.arcTo(circle, 75, 285);
      p.drawPath(arc);
      p.setPen(Qt::NoPen);
      p.setBrush(ink);
      p.drawPolygon(QPolygonF({QPointF(14.6, 12.8), QPointF(22.4, 12.8), QPointF(18.5, 7.2)}));
      break;
    }
    case Glyph::Stop: {
      QPainterPath oct;
      for (int i = 0; i < 8; ++i) {
        const double a = (22.5 + i * 45) * M_PI / 180;
        const QPointF pt(12 + 8 * std::cos(a), 12 + 8 * std::sin(a));
        if (i == 0)
          oct.moveTo(pt);
        else
          oct.lineTo(pt);
      }
      oct.closeSubpath();
      p.drawPath(oct);
      p.drawLine(QPointF(9.5, 9.5), QPointF(14.5, 14.5));
      p.drawLine(QPointF(14.5, 9.5), QPointF(9.5, 14.5));
      break;
    }
    case Glyph::Home: {
      p.drawPolyline(QPolygonF({QPointF(4.5, 12), QPointF(12, 5), QPointF(19.5, 12)}));
      p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(7, 19), QPointF(17, 19), QPointF(17, 10)}));
      p.drawPolyline(
          QPolygonF({QPointF(10.5, 19), QPointF(10.5, 14.5), QPointF(13.5, 14.5), QPointF(13.5, 19)}));
      break;
    }
    case Glyph::Maximize:
      p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 1.5, 1.5);
      p.drawLine(QPointF(6.5, 9.5), QPointF(17.5, 9.5));
      break;
    case Glyph::Move: {
      p.drawLine(QPointF(12, 4.5), QPointF(12, 19.5));
      p.drawLine(QPointF(4.5, 12), QPointF(19.5, 12));
      p.drawPolyline(QPolygonF({QPointF(9.5, 7), QPointF(12, 4.5), QPointF(14.5, 7)}));
      p.drawPolyline(QPolygonF({QPointF(9.5, 17), QPointF(12, 19.5), QPointF(14.5, 17)}));
      p.drawPolyline(QPolygonF({QPointF(7, 9.5), QPointF(4.5, 12), QPointF(7, 14.5)}));
      p.drawPolyline(QPolygonF({QPointF(17, 9.5), QPointF(19.5, 12), QPointF(17, 14.5)}));
      break;
    }
    case Glyph::Grip:
      p.drawLine(QPointF(18.5, 8), QPointF(8, 18.5));
      p.drawLine(QPointF(18.5, 12.5), QPointF(12.5, 18.5));
      p.drawLine(QPointF(18.5, 17), QPointF(17, 18.5));
      break;
    case Glyph::StopSquare:
      p.setBrush(ink);
      p.drawRoundedRect(QRectF(7.5, 7.5, 9, 9), 1.5, 1.5);
      break;
    case Glyph::Pipette: {
      p.drawLine(QPointF(6, 18), QPointF(14, 10));
      p.drawLine(QPointF(11.5, 7.5), QPointF(16.5, 12.5));
      p.setBrush(ink);
      p.drawEllipse(QPointF(16.8, 7.2), 3.0, 3.0);
      p.setBrush(Qt::NoBrush);
      p.drawLine(QPointF(6, 18), QPointF(5, 19));
      break;
    }
    case Glyph::Undo: {
      QPainterPath path;
      path.moveTo(7, 10);
      path.lineTo(14, 10);
      path.cubicTo(QPointF(19.5, 10), QPointF(19.5, 18), QPointF(14, 18));
      path.lineTo(9, 18);
      p.drawPath(path);
      p.drawPolyline(QPolygonF({QPointF(10, 6.5), QPointF(6.5, 10), QPointF(10, 13.5)}));
      break;
    }
    case Glyph::Picture: {
      p.drawRoundedRect(QRectF(4, 5.5, 16, 13), 2, 2);
      p.drawPolyline(QPolygonF(
          {QPointF(5, 17), QPointF(10, 11.5), QPointF(13, 14.5), QPointF(15.5, 12.5), QPointF(19, 16)}));
      p.setBrush(ink);
      p.drawEllipse(QPointF(15.5, 9), 1.5, 1.5);
      break;
    }
    case Glyph::Sweep: {
      p.drawLine(QPointF(16.5, 4.5), QPointF(11.5, 12));
      QPainterPath broom;
      broom.moveTo(8, 11);
      broom.lineTo(15, 14.5);
      broom.lineTo(12.5, 20);
      broom.lineTo(4.5, 16.5);
      broom.closeSubpath();
      p.drawPath(broom);
      p.drawLine(QPointF(7, 18), QPointF(9, 14));
      p.drawLine(QPointF(10, 19.2), QPointF(12, 15.2));
      break;
    }
  }
}

QColor Mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(static_cast<float>(a.redF() * (1 - t) + b.redF() * t),
                          static_cast<float>(a.greenF() * (1 - t) + b.greenF() * t),
                          static_cast<float>(a.blueF() * (1 - t) + b.blueF() * t));
}

}  // namespace

void DrawGlyph(QPainter& painter, Glyph glyph, const QRectF& box, const QColor& ink) {
  painter.save();
  painter.translate(box.topLeft());
  painter.scale(box.width() / 24.0, box.height() / 24.0);
  DrawGlyphUnits(painter, glyph, ink);
  painter.restore();
}

QImage PillButton(int width, int height, const QString& caption, Glyph glyph, const QColor& accent,
                  ButtonState state) {
  QImage image = NewCanvas(width, height);
  QPainter p(&image);
  Prepare(p);
  const QRectF body(0.5, 0.5, width - 1.0, height - 1.0);
  const double radius = (height - 1.0) / 2.0;
  const bool pressed = state == ButtonState::Pressed;
  const bool disabled = state == ButtonState::Disabled;
  const bool over = state == ButtonState::Over;

  // Outline ring, then the face.
  QColor ring = disabled ? kSlateDark : (over ? accent : kInk);
  p.setPen(Qt::NoPen);
  p.setBrush(ring);
  p.drawRoundedRect(body, radius, radius);
  const QRectF face = body.adjusted(1.3, 1.3, -1.3, -1.3);
  QColor top = kCream, bottom = kSand;
  if (over) {
    top = QColor(0xFF, 0xFA, 0xF0);
    bottom = Mix(kSand, accent, 0.18);
  } else if (pressed) {
    top = kSandDark;
    bottom = kSand;
  } else if (disabled) {
    top = kDisabledFace;
    bottom = Mix(kDisabledFace, kSlateDark, 0.35);
  }
  p.setBrush(VerticalGradient(face, top, bottom));
  p.drawRoundedRect(face, radius - 1.3, radius - 1.3);
  if (!pressed && !disabled) {  // soft highlight along the top
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(radius, 2.2), QPointF(width - radius, 2.2));
  }

  const double shift = pressed ? 1.0 : 0.0;
  // Glyph disc.
  const double disc = height - 6.0;
  const QRectF discRect(3.0 + shift, 3.0 + shift, disc, disc);
  p.setPen(Qt::NoPen);
  p.setBrush(disabled ? Mix(kDisabledFace, kSlateDark, 0.5) : (over ? accent : kSlate));
  p.drawEllipse(discRect);
  DrawGlyph(p, glyph, discRect.adjusted(2.5, 2.5, -2.5, -2.5), disabled ? kDisabledInk : kCream);

  // Caption.
  const QRectF text(discRect.right() + 4 + shift, shift, width - discRect.right() - 9, height);
  int size = std::max(9, height / 2);
  while (size > 8 && QFontMetricsF(Face(size, true)).horizontalAdvance(caption) > text.width())
    --size;
  p.setFont(Face(size, true));
  p.setPen(disabled ? kDisabledInk : kInk);
  p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, caption);
  return image;
}

QImage RoundButton(int diameter, Glyph glyph, const QColor& accent, ButtonState state) {
  return ChipButton(diameter, diameter, (diameter - 1.0) / 2.0, glyph, accent, state);
}

QImage ChipButton(int width, int height, double radius, Glyph glyph, const QColor& accent,
                  ButtonState state) {
  QImage image = NewCanvas(width, height);
  QPainter p(&image);
  Prepare(p);
  const int diameter = std::min(width, height);
  const QRectF body(0.5, 0.5, width - 1.0, height - 1.0);
  const bool pressed = state == ButtonState::Pressed;
  const bool disabled = state == ButtonState::Disabled;
  const bool over = state == ButtonState::Over;

  p.setPen(Qt::NoPen);
  p.setBrush(disabled ? kSlateDark : (over ? accent : kInk));
  p.drawRoundedRect(body, radius, radius);
  const double ringWidth = diameter >= 28 ? 2.0 : 1.4;
  const QRectF face = body.adjusted(ringWidth, ringWidth, -ringWidth, -ringWidth);
  QRadialGradient g(face.center() + QPointF(-face.width() * 0.2, -face.height() * 0.3), face.width() * 0.9);
  if (disabled) {
    g.setColorAt(0, Mix(kDisabledFace, kMist, 0.15));
    g.setColorAt(1, Mix(kDisabledFace, kSlateDark, 0.4));
  } else if (pressed) {
    g.setColorAt(0, kSandDark);
    g.setColorAt(1, Mix(kSandDark, kAmberDark, 0.25));
  } else if (over) {
    g.setColorAt(0, QColor(0xFF, 0xFB, 0xF2));
    g.setColorAt(1, Mix(kSand, accent, 0.35));
  } else {
    g.setColorAt(0, QColor(0xFC, 0xF8, 0xEF));
    g.setColorAt(1, kSand);
  }
  p.setBrush(g);
  p.drawRoundedRect(face, radius - ringWidth, radius - ringWidth);
  const double shift = pressed ? 1.0 : 0.0;
  const double glyphSize = diameter * 0.72;
  const QRectF glyphBox(face.center().x() - glyphSize / 2 + shift, face.center().y() - glyphSize / 2 + shift,
                        glyphSize, glyphSize);
  DrawGlyph(p, glyph, glyphBox, disabled ? kDisabledInk : (over ? Mix(kInk, accent, 0.35) : kInk));
  return image;
}

namespace {

QRgb Nudge(QRgb c, QRgb key) {
  if ((c & 0xFFFFFF) != (key & 0xFFFFFF)) return c;
  const int r = qRed(c), g = qGreen(c), b = qBlue(c);
  return qRgb(r > 0 ? r - 1 : r + 1, g > 0 ? g - 1 : g + 1, b > 0 ? b - 1 : b + 1);
}

}  // namespace

QImage Flatten(const QImage& artwork, QRgb key, const QImage& backdrop, int dx, int dy) {
  const QImage src = artwork.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage back = backdrop.convertToFormat(QImage::Format_RGB32);
  QImage out(src.size(), QImage::Format_RGB32);
  for (int y = 0; y < src.height(); ++y) {
    const auto* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    auto* o = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < src.width(); ++x) {
      const int a = qAlpha(s[x]);
      if (a < 128) {
        o[x] = key | 0xFF000000;
        continue;
      }
      const int bx = std::clamp(x + dx, 0, back.width() - 1);
      const int by = std::clamp(y + dy, 0, back.height() - 1);
      const QRgb b = back.pixel(bx, by);
      const auto blend = [&](int sc, int bc) { return std::min(255, sc + bc * (255 - a) / 255); };
      o[x] = Nudge(
          qRgb(blend(qRed(s[x]), qRed(b)), blend(qGreen(s[x]), qGreen(b)), blend(qBlue(s[x]), qBlue(b))),
          key);
    }
  }
  return out;
}

QImage Flatten(const QImage& artwork, QRgb key, const QColor& backdrop) {
  QImage back(1, 1, QImage::Format_RGB32);
  back.fill(backdrop);
  return Flatten(artwork, key, back, -100000, -100000);
}

void MarkKeyCorner(QImage& skin, QRgb key) {
  skin.setPixel(0, skin.height() - 1, key | 0xFF000000);
}

}  // namespace art
