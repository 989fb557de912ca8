#pragma once

#include "toolkit/color.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QRect>
#include <QRectF>
#include <QtGlobal>

#include <cmath>
#include <cstdint>

namespace orvelle {

// The visual state of a kit control; every per-state option of the kit is keyed by it.
enum TscsCtrlState { scsNormal = 0, scsHot = 1, scsPressed = 2, scsFocused = 3, scsDisabled = 4 };

// The active theme's value of a colour when a custom theme is active (system colours replaced,
// RGB values unchanged); otherwise the colour itself.
Color GetStyleColor(Color color);

// A 32-bit ARGB value (alpha << 24 | red << 16 | green << 8 | blue) for a colour and an alpha
// byte; system colours through the platform's current values (never the theme's); clNone gives 0.
// Code that draws wants ResolveColor (toolkit/theme.h), which also applies the theme rule.
std::uint32_t GPColor(Color color, std::uint8_t alpha);

// Each channel c becomes c - MulDiv(c, p, 100); p is capped at 100. The result is RGB.
Color DarkerColor(Color color, int percent);
// Each channel c becomes c + MulDiv(255 - c, p, 100); p is capped at 100. The result is RGB.
Color LighterColor(Color color, int percent);

// A size in fractions of pixels (a scaled size, a proportion of a length) rounded to the nearest
// whole pixel, ties to even.
inline int RoundPixels(double value) { return static_cast<int>(std::nearbyint(value)); }

// Converts an integer rectangle to a QRectF of the same pixel area: (left, top, width, height),
// the edges lying on pixel boundaries.
QRectF ToGPRectF(const QRect& rect);
// Grows `rect` in place by `dy` above and below and by `dx` left and right (note: dy comes before
// dx): x -= dx, y -= dy, width += 2 dx, height += 2 dy. Negative values shrink it.
void InflateGPRectF(QRectF& rect, double dy, double dx);
// A linear gradient over `r` from `from` to `to` at `angle` degrees clockwise from the x axis
// (90 puts `from` at the top).
QLinearGradient AngledGradient(const QRectF& r, int angle, const QColor& from, const QColor& to);
// Starts a figure of four 90-degree arcs of diameter 2 r in the corners of the rectangle
// (top-left from 180 degrees, top-right from 270, bottom-right from 0, bottom-left from 90,
// angles clockwise on screen), joined by straight edges, and closes it.
void AddRoundedRectPath(QPainterPath& path, const QRectF& rect, double radius);
// The dotted focus frame: every other pixel of the one-pixel frame just inside `rect`, in `color`,
// and `frames` such frames nested inward (two on dense screens).
void DrawFocusDots(QPainter& painter, const QRect& rect, const QColor& color, int frames);

// The text colour of a label in a state: the theme's unchecked check-box text colour (hot also
// for focused) with a theme, clBtnText when the theme has none; without a theme clGrayText when
// disabled, else clBtnText.
Color GetStyleLabelTextColor(TscsCtrlState state);
// The text colour of an edit box: the theme's edit-box text colour (normal or disabled), else
// clWindowText, or clGrayText when disabled.
Color GetStyleEditTextColor(bool enabled);

}  // namespace orvelle
