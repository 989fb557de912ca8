#pragma once

#include "controls/glow_effect.h"

#include <QRect>

#include <functional>

class QPainter;

namespace orvelle {

// Draws the halo of a glow effect around a text: `draw_text` (which draws the text into a
// rectangle in the painter's pen) runs repeatedly around the text's place in the glow colour,
// fading with distance. The caller draws the text itself on top.
void DrawGlowText(QPainter& painter, const QRect& rect, const TscGlowEffect& glow,
                  const std::function<void(QPainter&, const QRect&)>& draw_text);

}  // namespace orvelle
