#pragma once

#include "controls/options.h"
#include "toolkit/color.h"

namespace orvelle {

// The glow option set of kit captions and labels: a halo of the text in a colour.
class TscGlowEffect : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
  Q_PROPERTY(orvelle::Color Color READ GetColor WRITE SetColor)
  Q_PROPERTY(int AlphaValue READ AlphaValue WRITE SetAlphaValue)
  Q_PROPERTY(int GlowSize READ GlowSize WRITE SetGlowSize)
  Q_PROPERTY(int Offset READ Offset WRITE SetOffset)
  Q_PROPERTY(bool Intensive READ Intensive WRITE SetIntensive)
  Q_PROPERTY(bool StyleColors READ StyleColors WRITE SetStyleColors)

 public:
  explicit TscGlowEffect(QObject* parent = nullptr) : TscOptions(parent) {}

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value) { Store(enabled_, value); }
  orvelle::Color GetColor() const { return color_; }
  void SetColor(orvelle::Color value) { Store(color_, value); }
  int AlphaValue() const { return alpha_; }
  void SetAlphaValue(int value) {
    if (value >= 0 && value <= 255) Store(alpha_, value);
  }
  int GlowSize() const { return size_; }
  void SetGlowSize(int value) {
    if (value >= 0) Store(size_, value);
  }
  int Offset() const { return offset_; }
  void SetOffset(int value) { Store(offset_, value); }
  bool Intensive() const { return intensive_; }
  void SetIntensive(bool value) { Store(intensive_, value); }
  bool StyleColors() const override { return style_colors_; }
  void SetStyleColors(bool value) { Store(style_colors_, value); }

  // The glow colour as drawn, with the given alpha.
  QColor DrawnColor(std::uint8_t alpha) const { return Resolve(color_, alpha); }

 private:
  bool enabled_ = false;
  orvelle::Color color_ = clBtnShadow;
  int alpha_ = 255;
  int size_ = 7;
  int offset_ = 0;
  bool intensive_ = true;
  bool style_colors_ = true;
};

}  // namespace orvelle
