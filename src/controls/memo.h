#pragma once

#include "controls/custom_control.h"
#include "controls/gp_scroll_bar.h"
#include "controls/options.h"
#include "toolkit/image_list.h"
#include "toolkit/memo.h"

#include <QPointer>

namespace orvelle {

// What the kit's two text views share: the toolkit's multi-line edit drawn over a background of
// their own (nothing but the parent's pixels while Transparent), text in a theme colour, one line
// scrolled per wheel notch, and hot tracking of the pointer.
//
// The editor itself never paints a background: the view paints its face in paintEvent and Qt
// composes the editor's glyphs over it, which is the off-screen composition the views need.
class TscCustomMemo : public Memo {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscCustomControl::TStyleElements StyleElements READ StyleElements WRITE SetStyleElements)
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(QString AccessibleName READ AccessibleName WRITE SetAccessibleName)

 public:
  explicit TscCustomMemo(QWidget* parent = nullptr);

  // The name assistive technology announces for the text; its role and value (the text) are the
  // editor's own.
  QString AccessibleName() const { return Editor()->accessibleName(); }
  void SetAccessibleName(const QString& name) { Editor()->setAccessibleName(name); }

  TscCustomControl::TStyleElements StyleElements() const { return style_elements_; }
  void SetStyleElements(TscCustomControl::TStyleElements elements);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // Whether a theme colour applies to the given element of this view.
  bool UsesStyle(TscCustomControl::TStyleElement element) const;
  bool MouseIn() const { return mouse_in_; }
  // The view's state: disabled, else focused, else hot while the pointer is over it, else normal.
  TscsCtrlState GetCtrlState() const;
  // The colour the editor draws enabled text in.
  virtual orvelle::Color TextColor() const = 0;
  int ScalePercent() const { return scale_percent_; }
  double ScaleFactor() const { return scale_factor_; }

 protected:
  // Paints the face behind the text.
  virtual void DrawBackground(QPainter& painter) = 0;
  // Keeps the accumulated scale; the views' own pixel options scale in overrides.
  void ScalePixelOptions(int m, int d) override;
  // Gives the editor the current text colours.
  void UpdateTextColors();

  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void changeEvent(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void FontChanged() override;
  void ColorChanged() override { update(); }

 private:
  void ScrollOneLine(int delta);

  TscCustomControl::TStyleElements style_elements_ =
      TscCustomControl::TStyleElements(TscCustomControl::seFont | TscCustomControl::seClient | TscCustomControl::seBorder);
  bool transparent_ = false;
  bool mouse_in_ = false;
  int scale_percent_ = 100;
  double scale_factor_ = 1.0;
};

// The lyrics view: a multi-line edit that looks transparent over its parent, its text in the
// theme's label colour, with optional background images per state.
class TscMemo : public TscCustomMemo {
  Q_OBJECT
  Q_PROPERTY(bool UseFontColorToStyleColor READ UseFontColorToStyleColor WRITE SetUseFontColorToStyleColor)
  Q_PROPERTY(orvelle::ImageList* CustomImages READ CustomImages WRITE SetCustomImages)
  Q_PROPERTY(int CustomBackgroundImageNormalIndex READ CustomBackgroundImageNormalIndex WRITE SetCustomBackgroundImageNormalIndex)
  Q_PROPERTY(int CustomBackgroundImageHotIndex READ CustomBackgroundImageHotIndex WRITE SetCustomBackgroundImageHotIndex)
  Q_PROPERTY(int CustomBackgroundImageDisabledIndex READ CustomBackgroundImageDisabledIndex WRITE SetCustomBackgroundImageDisabledIndex)

 public:
  explicit TscMemo(QWidget* parent = nullptr) : TscCustomMemo(parent) { UpdateTextColors(); }

  bool UseFontColorToStyleColor() const { return use_font_color_to_style_color_; }
  void SetUseFontColorToStyleColor(bool value);
  ImageList* CustomImages() const { return custom_images_; }
  void SetCustomImages(ImageList* images);
  int CustomBackgroundImageNormalIndex() const { return normal_index_; }
  void SetCustomBackgroundImageNormalIndex(int index);
  int CustomBackgroundImageHotIndex() const { return hot_index_; }
  void SetCustomBackgroundImageHotIndex(int index);
  int CustomBackgroundImageDisabledIndex() const { return disabled_index_; }
  void SetCustomBackgroundImageDisabledIndex(int index);

  // Without a theme (or seFont) the font's colour; with UseFontColorToStyleColor the font's
  // colour through the theme; otherwise the theme's label colour over the parent, or its window
  // text colour on the view's own background.
  orvelle::Color TextColor() const override;

 protected:
  void DrawBackground(QPainter& painter) override;

 private:
  void SetIndex(int& field, int index);

  bool use_font_color_to_style_color_ = false;
  QPointer<ImageList> custom_images_;
  int normal_index_ = -1;
  int hot_index_ = -1;
  int disabled_index_ = -1;
};

// The fill and frame of a TscGPMemo per state (the pressed state uses the focused one), with the
// shape's fill style and corner radius.
class TscGPMemoOptions : public TscOptions {
  Q_OBJECT
  Q_PROPERTY(orvelle::Color NormalColor READ NormalColor WRITE SetNormalColor)
  Q_PROPERTY(orvelle::Color HotColor READ HotColor WRITE SetHotColor)
  Q_PROPERTY(orvelle::Color FocusedColor READ FocusedColor WRITE SetFocusedColor)
  Q_PROPERTY(orvelle::Color DisabledColor READ DisabledColor WRITE SetDisabledColor)
  Q_PROPERTY(int NormalColorAlpha READ NormalColorAlpha WRITE SetNormalColorAlpha)
  Q_PROPERTY(int HotColorAlpha READ HotColorAlpha WRITE SetHotColorAlpha)
  Q_PROPERTY(int FocusedColorAlpha READ FocusedColorAlpha WRITE SetFocusedColorAlpha)
  Q_PROPERTY(int DisabledColorAlpha READ DisabledColorAlpha WRITE SetDisabledColorAlpha)
  Q_PROPERTY(orvelle::Color FrameNormalColor READ FrameNormalColor WRITE SetFrameNormalColor)
  Q_PROPERTY(orvelle::Color FrameHotColor READ FrameHotColor WRITE SetFrameHotColor)
  Q_PROPERTY(orvelle::Color FrameFocusedColor READ FrameFocusedColor WRITE SetFrameFocusedColor)
  Q_PROPERTY(orvelle::Color FrameDisabledColor READ FrameDisabledColor WRITE SetFrameDisabledColor)
  Q_PROPERTY(int FrameNormalColorAlpha READ FrameNormalColorAlpha WRITE SetFrameNormalColorAlpha)
  Q_PROPERTY(int FrameHotColorAlpha READ FrameHotColorAlpha WRITE SetFrameHotColorAlpha)
  Q_PROPERTY(int FrameFocusedColorAlpha READ FrameFocusedColorAlpha WRITE SetFrameFocusedColorAlpha)
  Q_PROPERTY(int FrameDisabledColorAlpha READ FrameDisabledColorAlpha WRITE SetFrameDisabledColorAlpha)
  Q_PROPERTY(orvelle::Color FontNormalColor READ FontNormalColor WRITE SetFontNormalColor)
  Q_PROPERTY(orvelle::Color FontHotColor READ FontHotColor WRITE SetFontHotColor)
  Q_PROPERTY(orvelle::Color FontFocusedColor READ FontFocusedColor WRITE SetFontFocusedColor)
  Q_PROPERTY(orvelle::Color FontDisabledColor READ FontDisabledColor WRITE SetFontDisabledColor)
  Q_PROPERTY(int FrameWidth READ FrameWidth WRITE SetFrameWidth)
  Q_PROPERTY(orvelle::TscGPMemoOptions::TscGPShapeFillStyle ShapeFillStyle READ ShapeFillStyle WRITE SetShapeFillStyle)
  Q_PROPERTY(int ShapeFillGradientAngle READ ShapeFillGradientAngle WRITE SetShapeFillGradientAngle)
  Q_PROPERTY(int ShapeFillGradientBeginColorOffset READ ShapeFillGradientBeginColorOffset WRITE SetShapeFillGradientBeginColorOffset)
  Q_PROPERTY(int ShapeFillGradientEndColorOffset READ ShapeFillGradientEndColorOffset WRITE SetShapeFillGradientEndColorOffset)
  Q_PROPERTY(int ShapeCornerRadius READ ShapeCornerRadius WRITE SetShapeCornerRadius)
  Q_PROPERTY(bool ScaleFrameWidth READ ScaleFrameWidth WRITE SetScaleFrameWidth)
  Q_PROPERTY(bool StyleColors READ StyleColors WRITE SetStyleColors)

 public:
  enum TscGPShapeFillStyle { scgpsfColor, scgpsfGradient };
  Q_ENUM(TscGPShapeFillStyle)

  using TscOptions::TscOptions;

#define ORVELLE_OPTION(Type, Name, field)          \
  Type Name() const { return field; }              \
  void Set##Name(Type value) { Store(field, value); }
#define ORVELLE_ALPHA(Name, field)                 \
  int Name() const { return field; }               \
  void Set##Name(int value) {                      \
    if (value >= 0 && value <= 255) Store(field, value); \
  }
  ORVELLE_OPTION(orvelle::Color, NormalColor, normal_color_)
  ORVELLE_OPTION(orvelle::Color, HotColor, hot_color_)
  ORVELLE_OPTION(orvelle::Color, FocusedColor, focused_color_)
  ORVELLE_OPTION(orvelle::Color, DisabledColor, disabled_color_)
  ORVELLE_ALPHA(NormalColorAlpha, normal_alpha_)
  ORVELLE_ALPHA(HotColorAlpha, hot_alpha_)
  ORVELLE_ALPHA(FocusedColorAlpha, focused_alpha_)
  ORVELLE_ALPHA(DisabledColorAlpha, disabled_alpha_)
  ORVELLE_OPTION(orvelle::Color, FrameNormalColor, frame_normal_color_)
  ORVELLE_OPTION(orvelle::Color, FrameHotColor, frame_hot_color_)
  ORVELLE_OPTION(orvelle::Color, FrameFocusedColor, frame_focused_color_)
  ORVELLE_OPTION(orvelle::Color, FrameDisabledColor, frame_disabled_color_)
  ORVELLE_ALPHA(FrameNormalColorAlpha, frame_normal_alpha_)
  ORVELLE_ALPHA(FrameHotColorAlpha, frame_hot_alpha_)
  ORVELLE_ALPHA(FrameFocusedColorAlpha, frame_focused_alpha_)
  ORVELLE_ALPHA(FrameDisabledColorAlpha, frame_disabled_alpha_)
  ORVELLE_OPTION(orvelle::Color, FontNormalColor, font_normal_color_)
  ORVELLE_OPTION(orvelle::Color, FontHotColor, font_hot_color_)
  ORVELLE_OPTION(orvelle::Color, FontFocusedColor, font_focused_color_)
  ORVELLE_OPTION(orvelle::Color, FontDisabledColor, font_disabled_color_)
  ORVELLE_OPTION(TscGPShapeFillStyle, ShapeFillStyle, shape_fill_style_)
  ORVELLE_OPTION(int, ShapeFillGradientAngle, gradient_angle_)
  ORVELLE_OPTION(int, ShapeFillGradientBeginColorOffset, gradient_begin_offset_)
  ORVELLE_OPTION(int, ShapeFillGradientEndColorOffset, gradient_end_offset_)
  ORVELLE_OPTION(bool, ScaleFrameWidth, scale_frame_width_)
#undef ORVELLE_OPTION
#undef ORVELLE_ALPHA

  int FrameWidth() const { return frame_width_; }
  // Negative widths are ignored.
  void SetFrameWidth(int value) {
    if (value >= 0) Store(frame_width_, value);
  }
  int ShapeCornerRadius() const { return corner_radius_; }
  void SetShapeCornerRadius(int value) {
    if (value >= 0) Store(corner_radius_, value);
  }

  // The state the view is drawn in, written by the view before drawing.
  TscsCtrlState State() const { return state_; }
  void SetState(TscsCtrlState state) { state_ = state; }
  // Fill and frame as drawn in the current state (through the theme when StyleColors).
  orvelle::Color StateColor() const;
  int StateColorAlpha() const;
  orvelle::Color FrameStateColor() const;
  int FrameStateColorAlpha() const;
  bool StyleColors() const override { return style_colors_; }
  void SetStyleColors(bool value) { Store(style_colors_, value); }
  QColor DrawnFill() const { return Resolve(StateColor(), static_cast<std::uint8_t>(StateColorAlpha())); }
  QColor DrawnFrame() const { return Resolve(FrameStateColor(), static_cast<std::uint8_t>(FrameStateColorAlpha())); }

 private:
  orvelle::Color normal_color_ = clWindow;
  orvelle::Color hot_color_ = clWindow;
  orvelle::Color focused_color_ = clWindow;
  orvelle::Color disabled_color_ = clWindow;
  int normal_alpha_ = 200;
  int hot_alpha_ = 255;
  int focused_alpha_ = 255;
  int disabled_alpha_ = 150;
  orvelle::Color frame_normal_color_ = clBtnText;
  orvelle::Color frame_hot_color_ = clHighlight;
  orvelle::Color frame_focused_color_ = clHighlight;
  orvelle::Color frame_disabled_color_ = clBtnText;
  int frame_normal_alpha_ = 100;
  int frame_hot_alpha_ = 255;
  int frame_focused_alpha_ = 255;
  int frame_disabled_alpha_ = 50;
  orvelle::Color font_normal_color_ = clWindowText;
  orvelle::Color font_hot_color_ = clWindowText;
  orvelle::Color font_focused_color_ = clWindowText;
  orvelle::Color font_disabled_color_ = clGrayText;
  int frame_width_ = 1;
  TscGPShapeFillStyle shape_fill_style_ = scgpsfColor;
  int gradient_angle_ = -90;
  int gradient_begin_offset_ = 25;
  int gradient_end_offset_ = 25;
  int corner_radius_ = 0;
  bool scale_frame_width_ = false;
  bool style_colors_ = true;
  TscsCtrlState state_ = scsNormal;
};

// The notice view: a multi-line edit without a native border, its text inside content margins
// over an anti-aliased backing and frame coloured by state (translucent at rest, opaque while
// focused or under the pointer).
class TscGPMemo : public TscCustomMemo {
  Q_OBJECT
  Q_PROPERTY(orvelle::TscGPMemoOptions* Options READ Options)
  Q_PROPERTY(orvelle::TscGPControlScrollBarOptions* ScrollBarOptions READ ScrollBarOptions)
  Q_PROPERTY(int ContentMarginLeft READ ContentMarginLeft WRITE SetContentMarginLeft)
  Q_PROPERTY(int ContentMarginTop READ ContentMarginTop WRITE SetContentMarginTop)
  Q_PROPERTY(int ContentMarginRight READ ContentMarginRight WRITE SetContentMarginRight)
  Q_PROPERTY(int ContentMarginBottom READ ContentMarginBottom WRITE SetContentMarginBottom)

 public:
  explicit TscGPMemo(QWidget* parent = nullptr);

  TscGPMemoOptions* Options() const { return options_; }
  TscGPControlScrollBarOptions* ScrollBarOptions() const { return scroll_bar_options_; }
  int ContentMarginLeft() const { return margins_.left(); }
  int ContentMarginTop() const { return margins_.top(); }
  int ContentMarginRight() const { return margins_.right(); }
  int ContentMarginBottom() const { return margins_.bottom(); }
  // Margins below 0 are ignored.
  void SetContentMarginLeft(int value);
  void SetContentMarginTop(int value);
  void SetContentMarginRight(int value);
  void SetContentMarginBottom(int value);

  // Where the text is laid out: the view minus the content margins (and the scroll bars' room),
  // at least twice the font's character height in each direction.
  QRect GetContentRect() const;
  // Without a theme (or seFont) the font's colour, else the font's colour through the theme.
  orvelle::Color TextColor() const override;

 protected:
  void DrawBackground(QPainter& painter) override;
  void ScalePixelOptions(int m, int d) override;
  void resizeEvent(QResizeEvent* event) override;
  void FontChanged() override;

 private:
  void SetMargins(const QMargins& margins);
  void UpdateContentRect();
  void DrawBackingAndFrame(QPainter& painter);

  TscGPMemoOptions* options_;
  TscGPControlScrollBarOptions* scroll_bar_options_;
  QMargins margins_{5, 5, 5, 5};
};

}  // namespace orvelle
