#include "app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cmath>
#include <numbers>

namespace orvelle::icongen {

namespace {

constexpr double kCentre = kAppIconCanvas / 2;

// The record's vinyl, its grooves, the sheen that shows it turning, and the theme's teal label.
const QColor kVinyl(0x1B, 0x1F, 0x24);
const QColor kGroove(0x3A, 0x42, 0x4B);
const QColor kSheen(0xC8, 0xF0, 0xEF);
const QColor kLabel(0x35, 0xBD, 0xBB);
const QColor kLabelRing(0x24, 0x8A, 0x88);

QPointF PointOnCircle(double radius, double degrees) {
  const double radians = degrees * std::numbers::pi / 180;
  return {kCentre + radius * std::cos(radians), kCentre + radius * std::sin(radians)};
}

QString Number(double value) { return QString::number(value, 'g', 6); }

QString SvgShape(const IconShape& shape) {
  const QString colour = shape.colour.name(QColor::HexRgb);
  switch (shape.kind) {
    case IconShape::Kind::Disc:
      return QStringLiteral("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"%3\"/>\n")
          .arg(Number(kCentre), Number(shape.radius), colour);
    case IconShape::Kind::Ring:
      return QStringLiteral("  <circle cx=\"%1\" cy=\"%1\" r=\"%2\" fill=\"none\" stroke=\"%3\" stroke-width=\"%4\"/>\n")
          .arg(Number(kCentre), Number(shape.radius), colour, Number(shape.width));
    case IconShape::Kind::Arc: {
      const QPointF from = PointOnCircle(shape.radius, shape.start);
      const QPointF to = PointOnCircle(shape.radius, shape.start + shape.span);
      const int large_arc = shape.span > 180 ? 1 : 0;
      return QStringLiteral(
                 "  <path d=\"M %1 %2 A %3 %3 0 %4 1 %5 %6\" fill=\"none\" stroke=\"%7\" stroke-width=\"%8\" "
                 "stroke-linecap=\"round\"/>\n")
          .arg(Number(from.x()), Number(from.y()), Number(shape.radius), QString::number(large_arc),
               Number(to.x()), Number(to.y()), colour, Number(shape.width));
    }
  }
  return {};
}

void PaintShape(QPainter& painter, const IconShape& shape) {
  const QRectF circle(kCentre - shape.radius, kCentre - shape.radius, 2 * shape.radius, 2 * shape.radius);
  switch (shape.kind) {
    case IconShape::Kind::Disc:
      painter.setPen(Qt::NoPen);
      painter.setBrush(shape.colour);
      painter.drawEllipse(circle);
      break;
    case IconShape::Kind::Ring:
      painter.setPen(QPen(shape.colour, shape.width));
      painter.setBrush(Qt::NoBrush);
      painter.drawEllipse(circle);
      break;
    case IconShape::Kind::Arc: {
      // QPainter counts angles anticlockwise on screen; the shapes count them clockwise.
      QPainterPath arc;
      arc.arcMoveTo(circle, -shape.start);
      arc.arcTo(circle, -shape.start, -shape.span);
      painter.setPen(QPen(shape.colour, shape.width, Qt::SolidLine, Qt::RoundCap));
      painter.setBrush(Qt::NoBrush);
      painter.drawPath(arc);
      break;
    }
  }
}

}  // namespace

std::vector<IconShape> AppIconShapes() {
  using Kind = IconShape::Kind;
  return {
      {Kind::Disc, 120, 0, 0, 0, kVinyl},
      {Kind::Ring, 101, 4, 0, 0, kGroove},
      {Kind::Ring, 83, 4, 0, 0, kGroove},
      {Kind::Ring, 65, 4, 0, 0, kGroove},
      // Two sheens on opposite sides, as light catches a spinning record.
      {Kind::Arc, 92, 10, 200, 50, kSheen},
      {Kind::Arc, 92, 10, 20, 50, kSheen},
      {Kind::Disc, 46, 0, 0, 0, kLabel},
      {Kind::Ring, 34, 3, 0, 0, kLabelRing},
      {Kind::Disc, 8, 0, 0, 0, kVinyl},
  };
}

QString AppIconSvg() {
  const QString size = Number(kAppIconCanvas);
  QString svg = QStringLiteral(
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
                    .arg(size);
  for (const IconShape& shape : AppIconShapes()) svg += SvgShape(shape);
  svg += QStringLiteral("</svg>\n");
  return svg;
}

QImage PaintAppIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / kAppIconCanvas, size / kAppIconCanvas);
  for (const IconShape& shape : AppIconShapes()) PaintShape(painter, shape);
  painter.end();
  return image;
}

}  // namespace orvelle::icongen
