#include "controls/gp_state_options.h"

#include "controls/drawing.h"

namespace orvelle {

TscGPStateOptions::TscGPStateOptions(QObject* parent, int leastSize)
    : TscOptions(parent),
      least_size_(leastSize),
      fill_colors_{clBtnFace, clBtnFace, clBtnShadow, clBtnFace, clBtnFace},
      fill_alphas_{255, 255, 255, 255, 255},
      frame_colors_{clBtnShadow, clHighlight, clHighlight, clHighlight, clBtnShadow},
      frame_alphas_{255, 255, 255, 255, 255},
      font_colors_{clBtnText, clBtnText, clBtnText, clBtnText, clBtnShadow} {}

void TscGPStateOptions::SetStateColors(TscsCtrlState state, orvelle::Color fill, int fillAlpha, orvelle::Color frame,
                                       int frameAlpha, orvelle::Color font) {
  fill_colors_[state] = fill;
  fill_alphas_[state] = fillAlpha;
  frame_colors_[state] = frame;
  frame_alphas_[state] = frameAlpha;
  font_colors_[state] = font;
}

void TscGPStateOptions::SetFrameWidth(int value) {
  if (value >= least_size_) Store(frame_width_, value);
}

void TscGPStateOptions::SetShapeCornerRadius(int value) {
  if (value >= least_size_) Store(shape_corner_radius_, value);
}

void TscGPStateOptions::SetArrowSize(int value) {
  if (value >= kMinArrowSize) Store(arrow_size_, value);
}

void TscGPStateOptions::StoreAlpha(int& field, int value) {
  if (value >= 0 && value <= 255) Store(field, value);
}

void TscGPStateOptions::StoreGradientAngle(int& field, int value) {
  if (value < -kMaxGradientAngle || value > kMaxGradientAngle || value == field) return;
  field = value;
  if (shape_fill_style_ == scgpsfGradient) emit Changed();
}

QColor TscGPStateOptions::StateFillColor(TscsCtrlState state) const {
  return Resolve(fill_colors_[state], static_cast<std::uint8_t>(fill_alphas_[state]));
}

QColor TscGPStateOptions::StateFrameColor(TscsCtrlState state) const {
  return Resolve(frame_colors_[state], static_cast<std::uint8_t>(frame_alphas_[state]));
}

QColor TscGPStateOptions::StateFontColor(TscsCtrlState state) const { return Resolve(font_colors_[state], 255); }

orvelle::Color TscGPStateOptions::StyledFill(TscsCtrlState state) const {
  return style_colors_ ? GetStyleColor(fill_colors_[state]) : fill_colors_[state];
}

QColor TscGPStateOptions::StateGradientLightColor(TscsCtrlState state, int percent) const {
  if (fill_colors_[state].IsNone()) return QColor(Qt::transparent);
  // The theme (when on) applies before the colour is lightened; the result is an RGB value.
  return ResolveColor(LighterColor(StyledFill(state), percent), false, static_cast<std::uint8_t>(fill_alphas_[state]));
}

QColor TscGPStateOptions::StateGradientDarkColor(TscsCtrlState state, int percent) const {
  if (fill_colors_[state].IsNone()) return QColor(Qt::transparent);
  return ResolveColor(DarkerColor(StyledFill(state), percent), false, static_cast<std::uint8_t>(fill_alphas_[state]));
}

int TscGPStateOptions::StateGradientAngle(TscsCtrlState state) const {
  return state == scsPressed ? shape_fill_gradient_pressed_angle_ : shape_fill_gradient_angle_;
}

void TscGPStateOptions::Scale(int m, int d, bool scaleFrameWidth) {
  shape_corner_radius_ = MulDiv(shape_corner_radius_, m, d);
  arrow_size_ = MulDiv(arrow_size_, m, d);
  if (scaleFrameWidth) frame_width_ = MulDiv(frame_width_, m, d);
}

bool GPFrameVisible(const QColor& frameColor) { return frameColor.alpha() != 0; }

QRectF GPShapeFrameRect(const QRect& client, double frameWidth) {
  QRectF r = ToGPRectF(client);
  InflateGPRectF(r, -frameWidth / 2, -frameWidth / 2);
  return r;
}

QRectF GPShapeFillRect(const QRect& client, double frameWidth, const QColor& frameColor) {
  if (!GPFrameVisible(frameColor)) return ToGPRectF(client);
  if (frameColor.alpha() == 255) return GPShapeFrameRect(client, frameWidth);
  QRectF r = ToGPRectF(client);
  InflateGPRectF(r, -frameWidth, -frameWidth);
  return r;
}

}  // namespace orvelle
