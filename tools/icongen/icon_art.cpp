#include "icon_art.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>

#include <functional>

// The icons are flat glyphs in one opaque colour (the help icon in three) on a transparent
// background, drawn anti-aliased in the cell's pixel coordinates: integer coordinates lie on pixel
// edges, so a 2-pixel stroke centred on an integer covers two whole pixel rows or columns and stays
// crisp. Each glyph is built as one outline (strokes turned into areas and united) and filled
// once, so that strokes meeting each other do not darken their shared anti-aliased edges.

namespace orvelle::icongen {

namespace {

// The normal and hot greys of the icon pairs.
const QColor kTransportGrey(0x8A, 0x8A, 0x8A);
const QColor kTransportLight(0xE6, 0xE6, 0xE6);
const QColor kDarkGrey(0x50, 0x50, 0x50);
const QColor kMidGrey(0x6F, 0x6F, 0x6F);
const QColor kLightGrey(0xDB, 0xDB, 0xDB);
// The help icon's ring, question mark and dot.
const QColor kHelpRing(0xFC, 0x44, 0x5C);
const QColor kHelpMark(0xFD, 0x8F, 0x9E);
const QColor kHelpDot(0xFF, 0x9B, 0x56);

constexpr int kLargeSize = 24;
constexpr int kSmallSize = 20;

// An outline assembled from filled areas and strokes.
class Glyph {
 public:
  Glyph& Fill(const QPainterPath& area) {
    Add(area);
    return *this;
  }
  Glyph& FillPolygon(const QPolygonF& polygon) {
    QPainterPath area;
    area.addPolygon(polygon);
    area.closeSubpath();
    return Fill(area);
  }
  Glyph& FillRect(qreal x, qreal y, qreal width, qreal height) {
    QPainterPath area;
    area.addRect(x, y, width, height);
    return Fill(area);
  }
  Glyph& FillEllipse(QPointF centre, qreal radius) {
    QPainterPath area;
    area.addEllipse(centre, radius, radius);
    return Fill(area);
  }
  Glyph& Stroke(const QPainterPath& line, qreal width, Qt::PenCapStyle cap = Qt::FlatCap,
                Qt::PenJoinStyle join = Qt::MiterJoin) {
    QPainterPathStroker stroker;
    stroker.setWidth(width);
    stroker.setCapStyle(cap);
    stroker.setJoinStyle(join);
    stroker.setMiterLimit(2);
    Add(stroker.createStroke(line));
    return *this;
  }
  Glyph& Polyline(std::initializer_list<QPointF> points, qreal width, Qt::PenCapStyle cap = Qt::FlatCap,
                  Qt::PenJoinStyle join = Qt::MiterJoin) {
    QPainterPath line;
    line.addPolygon(QPolygonF(QList<QPointF>(points)));
    return Stroke(line, width, cap, join);
  }

  void Paint(QPainter& painter, const QColor& colour) const { painter.fillPath(outline_, colour); }

 private:
  void Add(const QPainterPath& area) { outline_ = outline_.united(area); }

  QPainterPath outline_;
};

using Motif = std::function<void(QPainter&, const QColor&)>;

// The motif is drawn in the coordinates of a `size` cell, `scale` times finer.
QImage Paint(int size, int scale, const Motif& motif, const QColor& colour) {
  QImage image(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  motif(painter, colour);
  painter.end();
  return image;
}

// --- 24 x 24 ---

// Skip to the next song: a right-pointing triangle against a vertical bar.
void SkipNext(QPainter& painter, const QColor& colour) {
  Glyph()
      .FillPolygon({QPointF(6, 6), QPointF(15.5, 12), QPointF(6, 18)})
      .FillRect(16, 6, 2, 12)
      .Paint(painter, colour);
}

// Pause: two vertical bars.
void Pause(QPainter& painter, const QColor& colour) {
  Glyph().FillRect(7, 6, 3, 12).FillRect(14, 6, 3, 12).Paint(painter, colour);
}

// Play: a right-pointing triangle, its weight centred in the cell.
void Play(QPainter& painter, const QColor& colour) {
  Glyph().FillPolygon({QPointF(8, 5.5), QPointF(18.5, 12), QPointF(8, 18.5)}).Paint(painter, colour);
}

// The character for lyrics: the speech radical on the left, the phonetic part on the right.
void LyricsCharacter(QPainter& painter, const QColor& colour) {
  Glyph glyph;
  // Speech radical: the dot, then the stroke that turns down and ends in a rising tick.
  glyph.Polyline({QPointF(3.6, 3.4), QPointF(6.4, 6.0)}, 2, Qt::RoundCap);
  glyph.Polyline({QPointF(2, 10), QPointF(6, 10), QPointF(6, 18.2), QPointF(8.8, 15.6)}, 2, Qt::FlatCap,
                 Qt::MiterJoin);
  // Right part: the top stroke turning down into a hook, the short stroke, the box below it.
  glyph.Polyline({QPointF(10, 4), QPointF(20, 4), QPointF(20, 20), QPointF(17.6, 18.4)}, 2, Qt::FlatCap,
                 Qt::MiterJoin);
  glyph.Polyline({QPointF(11, 8), QPointF(17, 8)}, 2);
  QPainterPath box;
  box.addRect(12, 12, 4, 4);
  glyph.Stroke(box, 2);
  glyph.Paint(painter, colour);
}

// Return: a stroke that runs right, bends back up and round, and points left with an arrow head.
void ReturnArrow(QPainter& painter, const QColor& colour) {
  QPainterPath hook;
  hook.moveTo(8, 19);
  hook.lineTo(14.5, 19);
  hook.arcTo(QRectF(9, 8, 11, 11), -90, 180);
  hook.lineTo(6, 8);
  Glyph()
      .Stroke(hook, 2, Qt::FlatCap, Qt::RoundJoin)
      .Polyline({QPointF(10, 4), QPointF(6, 8), QPointF(10, 12)}, 2, Qt::RoundCap, Qt::MiterJoin)
      .Paint(painter, colour);
}

// A thin arrow pointing right.
void ThinArrowRight(QPainter& painter, const QColor& colour) {
  Glyph()
      .Polyline({QPointF(5, 12), QPointF(18, 12)}, 2, Qt::RoundCap)
      .Polyline({QPointF(13, 7), QPointF(18, 12), QPointF(13, 17)}, 1.8, Qt::RoundCap, Qt::RoundJoin)
      .Paint(painter, colour);
}

// Help: a red ring around a pink question mark with an orange dot. The three parts keep a gap
// between them, so every opaque pixel has one of the three colours.
void Help(QPainter& painter, const QColor&) {
  QPainterPath ring;
  ring.addEllipse(QPointF(12, 12), 11, 11);
  ring.addEllipse(QPointF(12, 12), 9, 9);
  painter.fillPath(ring, kHelpRing);  // the inner circle cuts the hole (odd-even fill)

  QPainterPath mark;
  const QRectF hook(8.4, 5.2, 7.2, 7.2);
  mark.arcMoveTo(hook, 180);
  mark.arcTo(hook, 180, -230);
  mark.quadTo(QPointF(12, 12.2), QPointF(12, 14.2));
  Glyph().Stroke(mark, 2.2, Qt::FlatCap, Qt::RoundJoin).Paint(painter, kHelpMark);

  Glyph().FillEllipse(QPointF(12, 17.3), 1.6).Paint(painter, kHelpDot);
}

// --- 20 x 20 ---

// The loudspeaker outline shared by the mute button's icons: a box and a flaring cone.
QPainterPath SpeakerOutline() {
  QPainterPath speaker;
  speaker.moveTo(1.75, 7.25);
  speaker.lineTo(5.25, 7.25);
  speaker.lineTo(10.25, 3);
  speaker.lineTo(10.25, 17);
  speaker.lineTo(5.25, 12.75);
  speaker.lineTo(1.75, 12.75);
  speaker.closeSubpath();
  return speaker;
}

// Muted: the loudspeaker with a small cross.
void SpeakerMuted(QPainter& painter, const QColor& colour) {
  Glyph()
      .Stroke(SpeakerOutline(), 1.5, Qt::FlatCap, Qt::RoundJoin)
      .Polyline({QPointF(12.75, 7.25), QPointF(18.25, 12.75)}, 1.6, Qt::RoundCap)
      .Polyline({QPointF(18.25, 7.25), QPointF(12.75, 12.75)}, 1.6, Qt::RoundCap)
      .Paint(painter, colour);
}

// Sounding: the loudspeaker with two sound arcs.
void SpeakerSound(QPainter& painter, const QColor& colour) {
  const QRectF near_circle(QPointF(7, 6), QPointF(15, 14));
  QPainterPath near_arc;
  near_arc.arcMoveTo(near_circle, 48);
  near_arc.arcTo(near_circle, 48, -96);
  const QRectF far_circle(QPointF(3.5, 2.5), QPointF(18.5, 17.5));
  QPainterPath far_arc;
  far_arc.arcMoveTo(far_circle, 50);
  far_arc.arcTo(far_circle, 50, -100);
  Glyph()
      .Stroke(SpeakerOutline(), 1.5, Qt::FlatCap, Qt::RoundJoin)
      .Stroke(near_arc, 1.5, Qt::RoundCap)
      .Stroke(far_arc, 1.5, Qt::RoundCap)
      .Paint(painter, colour);
}

// The capital letter A of the font buttons, on the left of the cell.
Glyph LetterA() {
  Glyph glyph;
  glyph.Polyline({QPointF(1.5, 16), QPointF(6.5, 3.5), QPointF(11.5, 16)}, 2, Qt::FlatCap, Qt::MiterJoin);
  glyph.Polyline({QPointF(3.6, 12), QPointF(9.4, 12)}, 1.8);
  return glyph;
}

// Larger font: A followed by a plus sign.
void LetterAPlus(QPainter& painter, const QColor& colour) {
  LetterA().FillRect(12, 9, 6, 2).FillRect(14, 7, 2, 6).Paint(painter, colour);
}

// Smaller font: A followed by a minus sign.
void LetterAMinus(QPainter& painter, const QColor& colour) {
  LetterA().FillRect(12, 9, 6, 2).Paint(painter, colour);
}

}  // namespace

IconSet PaintLargeIcons(int scale) {
  IconSet set{kLargeSize * scale, 96, 104, {}};
  const std::pair<Motif, QColor> icons[] = {
      {SkipNext, kTransportGrey},     {SkipNext, kTransportLight},  // 0, 1
      {Pause, kTransportGrey},        {Pause, kTransportLight},     // 2, 3
      {LyricsCharacter, kDarkGrey},   {LyricsCharacter, kLightGrey},  // 4, 5
      {ReturnArrow, kDarkGrey},       {ReturnArrow, kLightGrey},    // 6, 7
      {ThinArrowRight, kMidGrey},     {ThinArrowRight, kLightGrey},  // 8, 9
      {Help, QColor()},                                             // 10
      {Play, kMidGrey},               {Play, kLightGrey},           // 11, 12
  };
  for (const auto& [motif, colour] : icons) {
    set.images.push_back(Paint(kLargeSize, scale, motif, colour));
  }
  return set;
}

IconSet PaintSmallIcons(int scale) {
  IconSet set{kSmallSize * scale, 32, 32, {}};
  const std::pair<Motif, QColor> icons[] = {
      {SpeakerMuted, kMidGrey}, {SpeakerMuted, kLightGrey},  // 0, 1
      {SpeakerSound, kMidGrey}, {SpeakerSound, kLightGrey},  // 2, 3
      {LetterAPlus, kMidGrey},  {LetterAPlus, kLightGrey},   // 4, 5
      {LetterAMinus, kMidGrey}, {LetterAMinus, kLightGrey},  // 6, 7
  };
  for (const auto& [motif, colour] : icons) {
    set.images.push_back(Paint(kSmallSize, scale, motif, colour));
  }
  return set;
}

}  // namespace orvelle::icongen
