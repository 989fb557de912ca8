#pragma once

#include "controls/caption_text.h"
#include "controls/custom_control.h"
#include "controls/glow_effect.h"

#include <QPointer>
#include <QString>

namespace orvelle {

// The kit's transparent label: its caption drawn over the parent in the theme's label colour,
// with the access character underlined, sizing itself to the caption while AutoSize is on.
class TscLabel : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
  Q_PROPERTY(orvelle::TscLabel::TAlignment Alignment READ Alignment WRITE SetAlignment)
  Q_PROPERTY(orvelle::TscLabel::TscVertAlignment VertAlignment READ VertAlignment WRITE SetVertAlignment)
  Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
  Q_PROPERTY(bool ShowAccelChar READ ShowAccelChar WRITE SetShowAccelChar)
  Q_PROPERTY(bool UseFontColorToStyleColor READ UseFontColorToStyleColor WRITE SetUseFontColorToStyleColor)
  Q_PROPERTY(orvelle::TscLabel::TTextLayout Layout READ Layout WRITE SetLayout)
  Q_PROPERTY(orvelle::TscGlowEffect* GlowEffect READ GlowEffect)
  Q_PROPERTY(bool DragForm READ DragForm WRITE SetDragForm)
  Q_PROPERTY(orvelle::Control* FocusControl READ FocusControl WRITE SetFocusControl)
  Q_PROPERTY(int ElideWidth READ ElideWidth WRITE SetElideWidth)

 public:
  enum TAlignment { taLeftJustify, taRightJustify, taCenter };
  Q_ENUM(TAlignment)
  enum TscVertAlignment { scvtaTop, scvtaCenter, scvtaBottom };
  Q_ENUM(TscVertAlignment)
  enum TTextLayout { tlTop, tlCenter, tlBottom };
  Q_ENUM(TTextLayout)

  explicit TscLabel(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  // Stores the text, sizes the label to it (AutoSize) and repaints.
  void SetCaption(const QString& caption);
  bool AutoSize() const { return auto_size_; }
  void SetAutoSize(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TscVertAlignment VertAlignment() const { return vert_alignment_; }
  void SetVertAlignment(TscVertAlignment value);
  bool WordWrap() const { return word_wrap_; }
  void SetWordWrap(bool value);
  bool ShowAccelChar() const { return show_accel_char_; }
  void SetShowAccelChar(bool value);
  bool UseFontColorToStyleColor() const { return use_font_color_to_style_color_; }
  void SetUseFontColorToStyleColor(bool value);
  // Stored only; drawing follows VertAlignment.
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout value) { layout_ = value; }
  TscGlowEffect* GlowEffect() const { return glow_; }
  bool DragForm() const { return drag_form_; }
  void SetDragForm(bool value) { drag_form_ = value; }
  Control* FocusControl() const { return focus_control_; }
  void SetFocusControl(Control* control);
  // The widest a single-line caption is shown, in pixels; 0 (the default): as wide as it is. A
  // caption wider than this is cut at the end with "…", the label sized to this width while
  // AutoSize is on, and the whole caption is the label's tooltip; assistive technology always
  // reads the whole caption.
  int ElideWidth() const { return elide_width_; }
  void SetElideWidth(int value);
  // Whether the caption is shown cut.
  bool CaptionCut() const { return caption_cut_; }

  // Sizes the label to its caption when AutoSize is on and the label is not aligned to the top,
  // bottom or whole of its parent: the left edge stays (the right edge for right alignment); an
  // empty caption measures as one space.
  void AdjustBounds();
  // The colour the caption is drawn in for a state.
  orvelle::Color TextColor(TscsCtrlState state) const;
  // How many times the caption has been set into lines for drawing: once per change of the
  // caption, font, format or wrap width, not per paint.
  int CaptionLayoutCount() const { return drawn_caption_.LayoutCount(); }

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  void Loaded() override;
  void FontChanged() override;
  void ScalePixelOptions(int m, int d) override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::StaticText; }
  QString AccessibleCaption() const override { return caption_; }
  // A label named in its layout keeps that name and offers its caption as its value, read on
  // demand and never announced (a count-down that changes every second); a label without a name
  // is named by its caption, and each new caption is announced as a name change.
  QString AccessibleValueText() const override { return AccessibleName().isEmpty() ? QString() : caption_; }

  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

  bool event(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRect TextRect() const;
  // The caption's horizontal alignment as drawn: Alignment, mirrored for right-to-left reading.
  Qt::Alignment DrawnAlignment() const;
  CaptionFormat Format() const;
  void UpdateAccessKey();
  // Whether a caption of this measured width is cut, and the tooltip that says so.
  void NoteCaptionCut(int measured_width);

  QString caption_;
  // The caption as set for sizing the label and as set for drawing (they differ in width when
  // the caption wraps and the glow takes a margin).
  LaidOutCaption measured_caption_;
  LaidOutCaption drawn_caption_;
  bool caption_written_ = false;
  bool auto_size_ = true;
  TAlignment alignment_ = taLeftJustify;
  TscVertAlignment vert_alignment_ = scvtaTop;
  bool word_wrap_ = false;
  bool show_accel_char_ = true;
  bool use_font_color_to_style_color_ = false;
  TTextLayout layout_ = tlTop;
  TscGlowEffect* glow_;
  bool drag_form_ = false;
  QPointer<Control> focus_control_;
  int elide_width_ = 0;
  bool caption_cut_ = false;
  int access_key_id_ = 0;
  bool dragging_form_ = false;
  QPoint drag_origin_;
};

}  // namespace orvelle
