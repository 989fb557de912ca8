#pragma once

#include "controls/custom_control.h"
#include "controls/gp_scroll_bar.h"
#include "controls/gp_state_options.h"
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

 public:
  explicit TscCustomMemo(QWidget* parent = nullptr);

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

// The notice memo's option set: the graphic face's per-state colours with the notice's own
// defaults (a translucent fill and frame at rest, no rounded corners), a gradient between two
// offsets of its own, and whether the frame width scales with the screen. The memo writes the
// state it is drawn in before drawing; the pressed state has no colours of its own and is drawn
// with the focused ones.
class TscGPMemoOptions : public TscGPStateOptions {
  Q_OBJECT
  Q_PROPERTY(int ShapeFillGradientBeginColorOffset READ ShapeFillGradientBeginColorOffset WRITE SetShapeFillGradientBeginColorOffset)
  Q_PROPERTY(int ShapeFillGradientEndColorOffset READ ShapeFillGradientEndColorOffset WRITE SetShapeFillGradientEndColorOffset)
  Q_PROPERTY(bool ScaleFrameWidth READ ScaleFrameWidth WRITE SetScaleFrameWidth)

 public:
  explicit TscGPMemoOptions(QObject* parent = nullptr);

  int ShapeFillGradientBeginColorOffset() const { return gradient_begin_offset_; }
  void SetShapeFillGradientBeginColorOffset(int value) { Store(gradient_begin_offset_, value); }
  int ShapeFillGradientEndColorOffset() const { return gradient_end_offset_; }
  void SetShapeFillGradientEndColorOffset(int value) { Store(gradient_end_offset_, value); }
  bool ScaleFrameWidth() const { return scale_frame_width_; }
  void SetScaleFrameWidth(bool value) { Store(scale_frame_width_, value); }

  TscsCtrlState State() const { return state_; }
  void SetState(TscsCtrlState state) { state_ = state; }
  // Fill and frame as drawn in the current state (through the theme when StyleColors).
  QColor DrawnFill() const { return StateFillColor(DrawnState()); }
  QColor DrawnFrame() const { return StateFrameColor(DrawnState()); }
  // The gradient runs from the fill darkened by ShapeFillGradientEndColorOffset to the fill
  // lightened by ShapeFillGradientBeginColorOffset.
  QColor DrawnGradientStart() const { return StateGradientDarkColor(DrawnState(), gradient_end_offset_); }
  QColor DrawnGradientEnd() const { return StateGradientLightColor(DrawnState(), gradient_begin_offset_); }

 private:
  TscsCtrlState DrawnState() const { return state_ == scsPressed ? scsFocused : state_; }

  int gradient_begin_offset_ = kGradientOffset;
  int gradient_end_offset_ = kGradientOffset;
  bool scale_frame_width_ = false;
  TscsCtrlState state_ = scsNormal;
};

// The notice view: a multi-line edit without a native border, its text inside content margins
// over an anti-aliased backing and frame coloured by state (translucent at rest, opaque while
// focused or under the pointer).
//
// Its scroll bars are its own (ScrollBarOptions' look), drawn inside the frame along the right
// (left for right-to-left reading) and bottom edges, shortened by the corner radius; where both
// show and the corners are square, the corner between them is filled with the track's colour. A
// bar shows while its ScrollBars switch is on and the text does not fit; the editor keeps the
// range and position, which the bar shows and sets (drag, paging). The bars take the pointer
// presses on them; hiding the memo or its losing the focus ends a drag or paging.
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
  TscGPControlScrollBar* VertScrollBar() const { return vert_scroll_bar_; }
  TscGPControlScrollBar* HorzScrollBar() const { return horz_scroll_bar_; }
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
  void ScrollBarsChanged() override { UpdateContentRect(); }
  void resizeEvent(QResizeEvent* event) override;
  void FontChanged() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void SetMargins(const QMargins& margins);
  void UpdateContentRect();
  void DrawBackingAndFrame(QPainter& painter);
  // Copies the editor's range, page and position into the bar of that direction: a bar that is
  // switched off, or whose page covers the whole range, gets range, position and page 0.
  void SyncScrollBar(TscGPControlScrollBar* bar, bool on);
  // Syncs both bars and lays them out inside the frame.
  void UpdateScrollBars();
  void DrawScrollBars(QPainter& painter);
  // Pointer input over the editor (memo coordinates); whether a bar took it.
  bool ScrollBarMouseEvent(QEvent::Type type, const QPoint& p, Qt::MouseButton button);
  void CancelScrollBarInput();

  TscGPMemoOptions* options_;
  TscGPControlScrollBarOptions* scroll_bar_options_;
  TscGPControlScrollBar* vert_scroll_bar_;
  TscGPControlScrollBar* horz_scroll_bar_;
  QMargins margins_{5, 5, 5, 5};
};

}  // namespace orvelle
