#pragma once

#include "controls/options.h"
#include "toolkit/color.h"

#include <QColor>
#include <QRect>
#include <QRectF>

#include <array>
#include <cstdint>

namespace orvelle {

// The per-state colour set of the kit's graphic face controls (the Options of the graphic button,
// the drop-down list and the notice memo derive from it): one fill colour and alpha, one frame
// colour and alpha and one text colour for each TscsCtrlState, the frame width, the shape's corner
// radius, its fill style and gradient angles, the size of a drop-down arrow, and StyleColors
// (colours go through the active theme when on).
//
// Setters keep an equal value silently and ignore values outside their range: FrameWidth and
// ShapeCornerRadius must be > 0 (>= 0 in a set made with a least size of 0), ArrowSize > 6,
// alphas 0...255, the gradient angles -360...360. Any other change fires Changed, and the owner
// repaints; the gradient angles fire it only while ShapeFillStyle is scgpsfGradient, because only
// then do they show.
class TscGPStateOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color NormalColor READ NormalColor WRITE SetNormalColor)
  Q_PROPERTY(orvelle::Color HotColor READ HotColor WRITE SetHotColor)
  Q_PROPERTY(orvelle::Color PressedColor READ PressedColor WRITE SetPressedColor)
  Q_PROPERTY(orvelle::Color FocusedColor READ FocusedColor WRITE SetFocusedColor)
  Q_PROPERTY(orvelle::Color DisabledColor READ DisabledColor WRITE SetDisabledColor)
  Q_PROPERTY(int NormalColorAlpha READ NormalColorAlpha WRITE SetNormalColorAlpha)
  Q_PROPERTY(int HotColorAlpha READ HotColorAlpha WRITE SetHotColorAlpha)
  Q_PROPERTY(int PressedColorAlpha READ PressedColorAlpha WRITE SetPressedColorAlpha)
  Q_PROPERTY(int FocusedColorAlpha READ FocusedColorAlpha WRITE SetFocusedColorAlpha)
  Q_PROPERTY(int DisabledColorAlpha READ DisabledColorAlpha WRITE SetDisabledColorAlpha)
  Q_PROPERTY(orvelle::Color FrameNormalColor READ FrameNormalColor WRITE SetFrameNormalColor)
  Q_PROPERTY(orvelle::Color FrameHotColor READ FrameHotColor WRITE SetFrameHotColor)
  Q_PROPERTY(orvelle::Color FramePressedColor READ FramePressedColor WRITE SetFramePressedColor)
  Q_PROPERTY(orvelle::Color FrameFocusedColor READ FrameFocusedColor WRITE SetFrameFocusedColor)
  Q_PROPERTY(orvelle::Color FrameDisabledColor READ FrameDisabledColor WRITE SetFrameDisabledColor)
  Q_PROPERTY(int FrameNormalColorAlpha READ FrameNormalColorAlpha WRITE SetFrameNormalColorAlpha)
  Q_PROPERTY(int FrameHotColorAlpha READ FrameHotColorAlpha WRITE SetFrameHotColorAlpha)
  Q_PROPERTY(int FramePressedColorAlpha READ FramePressedColorAlpha WRITE SetFramePressedColorAlpha)
  Q_PROPERTY(int FrameFocusedColorAlpha READ FrameFocusedColorAlpha WRITE SetFrameFocusedColorAlpha)
  Q_PROPERTY(int FrameDisabledColorAlpha READ FrameDisabledColorAlpha WRITE SetFrameDisabledColorAlpha)
  Q_PROPERTY(orvelle::Color FontNormalColor READ FontNormalColor WRITE SetFontNormalColor)
  Q_PROPERTY(orvelle::Color FontHotColor READ FontHotColor WRITE SetFontHotColor)
  Q_PROPERTY(orvelle::Color FontPressedColor READ FontPressedColor WRITE SetFontPressedColor)
  Q_PROPERTY(orvelle::Color FontFocusedColor READ FontFocusedColor WRITE SetFontFocusedColor)
  Q_PROPERTY(orvelle::Color FontDisabledColor READ FontDisabledColor WRITE SetFontDisabledColor)
  Q_PROPERTY(int FrameWidth READ FrameWidth WRITE SetFrameWidth)
  Q_PROPERTY(int ShapeCornerRadius READ ShapeCornerRadius WRITE SetShapeCornerRadius)
  Q_PROPERTY(orvelle::TscGPStateOptions::TscGPShapeFillStyle ShapeFillStyle READ ShapeFillStyle WRITE SetShapeFillStyle)
  Q_PROPERTY(int ShapeFillGradientAngle READ ShapeFillGradientAngle WRITE SetShapeFillGradientAngle)
  Q_PROPERTY(int ShapeFillGradientPressedAngle READ ShapeFillGradientPressedAngle WRITE SetShapeFillGradientPressedAngle)
  Q_PROPERTY(int ArrowSize READ ArrowSize WRITE SetArrowSize)
  Q_PROPERTY(bool StyleColors READ StyleColors WRITE SetStyleColors)

 public:
  enum TscGPShapeFillStyle { scgpsfColor, scgpsfGradient };
  Q_ENUM(TscGPShapeFillStyle)

  static constexpr int kMinArrowSize = 7;
  static constexpr int kMaxGradientAngle = 360;
  // How much lighter and darker the two ends of a gradient fill are, in percent.
  static constexpr int kGradientOffset = 25;

  explicit TscGPStateOptions(QObject* parent = nullptr) : TscGPStateOptions(parent, 1) {}

  orvelle::Color NormalColor() const { return fill_colors_[scsNormal]; }
  void SetNormalColor(orvelle::Color value) { Store(fill_colors_[scsNormal], value); }
  orvelle::Color HotColor() const { return fill_colors_[scsHot]; }
  void SetHotColor(orvelle::Color value) { Store(fill_colors_[scsHot], value); }
  orvelle::Color PressedColor() const { return fill_colors_[scsPressed]; }
  void SetPressedColor(orvelle::Color value) { Store(fill_colors_[scsPressed], value); }
  orvelle::Color FocusedColor() const { return fill_colors_[scsFocused]; }
  void SetFocusedColor(orvelle::Color value) { Store(fill_colors_[scsFocused], value); }
  orvelle::Color DisabledColor() const { return fill_colors_[scsDisabled]; }
  void SetDisabledColor(orvelle::Color value) { Store(fill_colors_[scsDisabled], value); }

  int NormalColorAlpha() const { return fill_alphas_[scsNormal]; }
  void SetNormalColorAlpha(int value) { StoreAlpha(fill_alphas_[scsNormal], value); }
  int HotColorAlpha() const { return fill_alphas_[scsHot]; }
  void SetHotColorAlpha(int value) { StoreAlpha(fill_alphas_[scsHot], value); }
  int PressedColorAlpha() const { return fill_alphas_[scsPressed]; }
  void SetPressedColorAlpha(int value) { StoreAlpha(fill_alphas_[scsPressed], value); }
  int FocusedColorAlpha() const { return fill_alphas_[scsFocused]; }
  void SetFocusedColorAlpha(int value) { StoreAlpha(fill_alphas_[scsFocused], value); }
  int DisabledColorAlpha() const { return fill_alphas_[scsDisabled]; }
  void SetDisabledColorAlpha(int value) { StoreAlpha(fill_alphas_[scsDisabled], value); }

  orvelle::Color FrameNormalColor() const { return frame_colors_[scsNormal]; }
  void SetFrameNormalColor(orvelle::Color value) { Store(frame_colors_[scsNormal], value); }
  orvelle::Color FrameHotColor() const { return frame_colors_[scsHot]; }
  void SetFrameHotColor(orvelle::Color value) { Store(frame_colors_[scsHot], value); }
  orvelle::Color FramePressedColor() const { return frame_colors_[scsPressed]; }
  void SetFramePressedColor(orvelle::Color value) { Store(frame_colors_[scsPressed], value); }
  orvelle::Color FrameFocusedColor() const { return frame_colors_[scsFocused]; }
  void SetFrameFocusedColor(orvelle::Color value) { Store(frame_colors_[scsFocused], value); }
  orvelle::Color FrameDisabledColor() const { return frame_colors_[scsDisabled]; }
  void SetFrameDisabledColor(orvelle::Color value) { Store(frame_colors_[scsDisabled], value); }

  int FrameNormalColorAlpha() const { return frame_alphas_[scsNormal]; }
  void SetFrameNormalColorAlpha(int value) { StoreAlpha(frame_alphas_[scsNormal], value); }
  int FrameHotColorAlpha() const { return frame_alphas_[scsHot]; }
  void SetFrameHotColorAlpha(int value) { StoreAlpha(frame_alphas_[scsHot], value); }
  int FramePressedColorAlpha() const { return frame_alphas_[scsPressed]; }
  void SetFramePressedColorAlpha(int value) { StoreAlpha(frame_alphas_[scsPressed], value); }
  int FrameFocusedColorAlpha() const { return frame_alphas_[scsFocused]; }
  void SetFrameFocusedColorAlpha(int value) { StoreAlpha(frame_alphas_[scsFocused], value); }
  int FrameDisabledColorAlpha() const { return frame_alphas_[scsDisabled]; }
  void SetFrameDisabledColorAlpha(int value) { StoreAlpha(frame_alphas_[scsDisabled], value); }

  orvelle::Color FontNormalColor() const { return font_colors_[scsNormal]; }
  void SetFontNormalColor(orvelle::Color value) { Store(font_colors_[scsNormal], value); }
  orvelle::Color FontHotColor() const { return font_colors_[scsHot]; }
  void SetFontHotColor(orvelle::Color value) { Store(font_colors_[scsHot], value); }
  orvelle::Color FontPressedColor() const { return font_colors_[scsPressed]; }
  void SetFontPressedColor(orvelle::Color value) { Store(font_colors_[scsPressed], value); }
  orvelle::Color FontFocusedColor() const { return font_colors_[scsFocused]; }
  void SetFontFocusedColor(orvelle::Color value) { Store(font_colors_[scsFocused], value); }
  orvelle::Color FontDisabledColor() const { return font_colors_[scsDisabled]; }
  void SetFontDisabledColor(orvelle::Color value) { Store(font_colors_[scsDisabled], value); }

  int FrameWidth() const { return frame_width_; }
  void SetFrameWidth(int value);
  int ShapeCornerRadius() const { return shape_corner_radius_; }
  void SetShapeCornerRadius(int value);
  TscGPShapeFillStyle ShapeFillStyle() const { return shape_fill_style_; }
  void SetShapeFillStyle(TscGPShapeFillStyle value) { Store(shape_fill_style_, value); }
  int ShapeFillGradientAngle() const { return shape_fill_gradient_angle_; }
  void SetShapeFillGradientAngle(int value) { StoreGradientAngle(shape_fill_gradient_angle_, value); }
  int ShapeFillGradientPressedAngle() const { return shape_fill_gradient_pressed_angle_; }
  void SetShapeFillGradientPressedAngle(int value) { StoreGradientAngle(shape_fill_gradient_pressed_angle_, value); }
  int ArrowSize() const { return arrow_size_; }
  void SetArrowSize(int value);
  bool StyleColors() const override { return style_colors_; }
  void SetStyleColors(bool value) { Store(style_colors_, value); }

  // The colours of a state as they are drawn (through the theme when StyleColors is on, with the
  // state's alpha; clNone is fully transparent). The text is always opaque.
  QColor StateFillColor(TscsCtrlState state) const;
  QColor StateFrameColor(TscsCtrlState state) const;
  QColor StateFontColor(TscsCtrlState state) const;
  // The two ends of the state's gradient fill: the fill colour `percent` lighter and darker, both
  // with the state's fill alpha (fully transparent for clNone).
  QColor StateGradientLightColor(TscsCtrlState state, int percent = kGradientOffset) const;
  QColor StateGradientDarkColor(TscsCtrlState state, int percent = kGradientOffset) const;
  // ShapeFillGradientPressedAngle in the pressed state, else ShapeFillGradientAngle.
  int StateGradientAngle(TscsCtrlState state) const;

  // Scales the pixel sizes from M to D with MulDiv: the corner radius and the arrow always, the
  // frame width when scaleFrameWidth. The owning control calls it from its ScalePixelOptions.
  void Scale(int m, int d, bool scaleFrameWidth);

 protected:
  // `leastSize` is the smallest FrameWidth and ShapeCornerRadius taken: 1, or 0 for a face that
  // may go without a frame or rounded corners.
  TscGPStateOptions(QObject* parent, int leastSize);
  // Sets a state's colours at once; for the constructor of a set with defaults of its own.
  void SetStateColors(TscsCtrlState state, orvelle::Color fill, int fillAlpha, orvelle::Color frame, int frameAlpha,
                      orvelle::Color font);

 private:
  void StoreAlpha(int& field, int value);
  void StoreGradientAngle(int& field, int value);
  // The stored colour of a state, through the theme when StyleColors is on.
  orvelle::Color StyledFill(TscsCtrlState state) const;

  int least_size_;
  std::array<orvelle::Color, 5> fill_colors_;
  std::array<int, 5> fill_alphas_;
  std::array<orvelle::Color, 5> frame_colors_;
  std::array<int, 5> frame_alphas_;
  std::array<orvelle::Color, 5> font_colors_;
  int frame_width_ = 1;
  int shape_corner_radius_ = 10;
  TscGPShapeFillStyle shape_fill_style_ = scgpsfColor;
  int shape_fill_gradient_angle_ = 90;
  int shape_fill_gradient_pressed_angle_ = -90;
  int arrow_size_ = 9;
  bool style_colors_ = true;
};

// The frame of a graphic face (button, drop-down, memo), one rule for all of them: a frame whose
// drawn colour has alpha 0 (clNone included) is no frame, and the fill covers the whole client
// rectangle; an opaque frame covers the fill's edge (the fill is the frame rectangle); a
// translucent frame lies beside the fill (the client rectangle shrunk by the frame width).
bool GPFrameVisible(const QColor& frameColor);
// The frame rectangle: the client rectangle shrunk by half the frame width (the pen's centre).
QRectF GPShapeFrameRect(const QRect& client, double frameWidth);
QRectF GPShapeFillRect(const QRect& client, double frameWidth, const QColor& frameColor);

}  // namespace orvelle
