#include "controls/glow_text.h"

#include "controls/drawing.h"

#include <QPainter>

#include <algorithm>

namespace orvelle {

void DrawGlowText(QPainter& painter, const QRect& rect, const TscGlowEffect& glow,
                  const std::function<void(QPainter&, const QRect&)>& draw_text) {
  const int size = std::max(1, glow.GlowSize() / 2);
  const int offset = glow.Offset();
  painter.save();
  for (int d = size; d >= 1; --d) {
    const int alpha = glow.AlphaValue() * (size - d + 1) / (size + 1) / (glow.Intensive() ? 1 : 2);
    painter.setPen(glow.DrawnColor(static_cast<std::uint8_t>(alpha)));
    for (const QPoint step : {QPoint(-d, 0), QPoint(d, 0), QPoint(0, -d), QPoint(0, d)}) {
      draw_text(painter, rect.translated(step + QPoint(offset, offset)));
    }
  }
  painter.restore();
}

}  // namespace orvelle
