#include "controls/drawing.h"

#include "toolkit/theme.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace orvelle {

Color GetStyleColor(Color color) { return IsCustomStyleActive() ? GetSystemColor(color) : color; }

std::uint32_t GPColor(Color color, std::uint8_t alpha) { return ResolveColor(color, false, alpha).rgba(); }

Color DarkerColor(Color color, int percent) {
  percent = std::min(percent, 100);
  const QRgb rgb = ColorToRGB(color);
  auto darker = [&](int c) { return c - MulDiv(c, percent, 100); };
  return Color::FromRgb(darker(qRed(rgb)), darker(qGreen(rgb)), darker(qBlue(rgb)));
}

Color LighterColor(Color color, int percent) {
  percent = std::min(percent, 100);
  const QRgb rgb = ColorToRGB(color);
  auto lighter = [&](int c) { return c + MulDiv(255 - c, percent, 100); };
  return Color::FromRgb(lighter(qRed(rgb)), lighter(qGreen(rgb)), lighter(qBlue(rgb)));
}

QRectF ToGPRectF(const QRect& rect) { return QRectF(rect.left(), rect.top(), rect.width(), rect.height()); }

void InflateGPRectF(QRectF& rect, double dy, double dx) {
  rect = QRectF(rect.x() - dx, rect.y() - dy, rect.width() + 2 * dx, rect.height() + 2 * dy);
}

QLinearGradient AngledGradient(const QRectF& r, int angle, const QColor& from, const QColor& to) {
  const double radians = qDegreesToRadians(static_cast<double>(angle));
  const QPointF direction(std::cos(radians), std::sin(radians));
  const double half = (std::abs(direction.x()) * r.width() + std::abs(direction.y()) * r.height()) / 2;
  QLinearGradient gradient(r.center() - direction * half, r.center() + direction * half);
  gradient.setColorAt(0, from);
  gradient.setColorAt(1, to);
  return gradient;
}

void AddRoundedRectPath(QPainterPath& path, const QRectF& rect, double radius) {
  const double d = 2 * radius;
  const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
  // Qt counts angles counter-clockwise on screen, so each clockwise angle changes sign.
  path.arcMoveTo(QRectF(x, y, d, d), -180);
  path.arcTo(QRectF(x, y, d, d), -180, -90);
  path.arcTo(QRectF(x + w - d, y, d, d), -270, -90);
  path.arcTo(QRectF(x + w - d, y + h - d, d, d), 0, -90);
  path.arcTo(QRectF(x, y + h - d, d, d), -90, -90);
  path.closeSubpath();
}

Color GetStyleLabelTextColor(TscsCtrlState state) {
  if (!IsCustomStyleActive()) return state == scsDisabled ? clGrayText : clBtnText;
  QString element;
  switch (state) {
    case scsHot:
    case scsFocused:
      element = QStringLiteral("CheckBoxTextHot");
      break;
    case scsPressed:
      element = QStringLiteral("CheckBoxTextPressed");
      break;
    case scsDisabled:
      element = QStringLiteral("CheckBoxTextDisabled");
      break;
    case scsNormal:
      element = QStringLiteral("CheckBoxTextNormal");
      break;
  }
  const Color color = GetStyleFontColor(element);
  return color.IsNone() ? clBtnText : color;
}

Color GetStyleEditTextColor(bool enabled) {
  if (IsCustomStyleActive()) {
    const Color color = GetStyleFontColor(enabled ? QStringLiteral("EditBoxTextNormal") : QStringLiteral("EditBoxTextDisabled"));
    if (!color.IsNone()) return color;
  }
  return enabled ? clWindowText : clGrayText;
}

void DrawFocusDots(QPainter& painter, const QRect& rect, const QColor& color, int frames) {
  for (int inset = 0; inset < frames; ++inset) {
    const QRect r = rect.adjusted(inset, inset, -inset, -inset);
    if (r.isEmpty()) break;
    auto dot = [&](int x, int y) {
      if ((x + y) % 2 == 0) painter.fillRect(QRect(x, y, 1, 1), color);
    };
    for (int x = r.left(); x <= r.right(); ++x) {
      dot(x, r.top());
      dot(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
      dot(r.left(), y);
      dot(r.right(), y);
    }
  }
}

}  // namespace orvelle
