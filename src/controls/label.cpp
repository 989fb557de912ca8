#include "controls/label.h"

#include "controls/accessible.h"
#include "controls/caption_text.h"
#include "controls/glow_text.h"
#include "toolkit/focus.h"
#include "toolkit/theme.h"

#include <QEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

#include <algorithm>

namespace orvelle {

TscLabel::TscLabel(QWidget* parent) : TscCustomControl(parent), glow_(new TscGlowEffect(this)) {
  resize(65, 17);
  // A label made a tab stop is reached by Tab only: the pointer never focuses it.
  UseLeftPressFocus();
  // Until a caption is written, the label shows its component name.
  connect(this, &QObject::objectNameChanged, this, [this](const QString& name) {
    if (!caption_written_) {
      caption_ = name;
      AdjustBounds();
      RePaintControl();
    }
  });
  connect(glow_, &TscOptions::Changed, this, [this] {
    AdjustBounds();
    RePaintControl();
  });
}

void TscLabel::SetCaption(const QString& caption) {
  caption_written_ = true;
  if (caption == caption_) return;
  caption_ = caption;
  UpdateAccessKey();
  AdjustBounds();
  RePaintControl();
  if (AccessibleName().isEmpty()) NotifyAccessibleNameChanged();
}

void TscLabel::SetAutoSize(bool value) {
  if (StoreAndRepaint(auto_size_, value)) AdjustBounds();
}
void TscLabel::SetAlignment(TAlignment value) { StoreAndRepaint(alignment_, value); }
void TscLabel::SetVertAlignment(TscVertAlignment value) { StoreAndRepaint(vert_alignment_, value); }
void TscLabel::SetWordWrap(bool value) {
  if (StoreAndRepaint(word_wrap_, value)) AdjustBounds();
}
void TscLabel::SetUseFontColorToStyleColor(bool value) { StoreAndRepaint(use_font_color_to_style_color_, value); }

void TscLabel::SetShowAccelChar(bool value) {
  if (value == show_accel_char_) return;
  show_accel_char_ = value;
  SetLiteralCaption(!value);
  UpdateAccessKey();
  AdjustBounds();
  RePaintControl();
}

void TscLabel::SetElideWidth(int value) {
  if (value < 0 || !StoreAndRepaint(elide_width_, value)) return;
  AdjustBounds();
}

void TscLabel::SetFocusControl(Control* control) {
  focus_control_ = control;
  UpdateAccessKey();
}

void TscLabel::UpdateAccessKey() {
  if (access_key_id_ != 0) releaseShortcut(access_key_id_);
  access_key_id_ = 0;
  if (!show_accel_char_ || !focus_control_) return;
  const QKeySequence key = QKeySequence::mnemonic(caption_);
  if (!key.isEmpty()) access_key_id_ = grabShortcut(key);
}

Qt::Alignment TscLabel::DrawnAlignment() const {
  if (alignment_ == taCenter) return Qt::AlignHCenter;
  // Right-to-left reading mirrors the alignment: a left-justified caption starts at the right.
  const bool right = (alignment_ == taRightJustify) != (layoutDirection() == Qt::RightToLeft);
  return right ? Qt::AlignRight : Qt::AlignLeft;
}

CaptionFormat TscLabel::Format() const {
  CaptionFormat format;
  format.access_markers = show_accel_char_;
  format.word_wrap = word_wrap_;
  format.alignment = DrawnAlignment();
  format.elide_right = elide_width_ > 0;
  return format;
}

void TscLabel::AdjustBounds() {
  if (Loading() || !auto_size_) return;
  if (Align() == alTop || Align() == alBottom || Align() == alClient) return;
  QString text = caption_;
  if (text.isEmpty() || (show_accel_char_ && text == QLatin1String("&"))) text = QStringLiteral(" ");
  measured_caption_.Update(text, font(), Format(), width());
  const QSize measured = measured_caption_.Size();
  NoteCaptionCut(measured.width());
  int w = caption_cut_ ? elide_width_ : measured.width();
  int h = measured.height();
  if (glow_->Enabled()) {
    w += 2 * glow_->GlowSize() + glow_->Offset();
    h += 2 * glow_->GlowSize() + glow_->Offset();
  }
  const int left = alignment_ == taRightJustify ? Left() + Width() - w : Left();
  SetBounds(left, Top(), w, h);
}

void TscLabel::NoteCaptionCut(int measured_width) {
  caption_cut_ = elide_width_ > 0 && !word_wrap_ && measured_width > elide_width_;
  // The whole text where the label shows only its beginning.
  setToolTip(caption_cut_ ? (show_accel_char_ ? StripAccessKeyMarkers(caption_) : caption_) : QString());
}

orvelle::Color TscLabel::TextColor(TscsCtrlState state) const {
  const orvelle::Color font_color = GetFont()->GetColor();
  if (!UsesStyle(seFont)) return font_color;
  if (state != scsNormal || !use_font_color_to_style_color_) return GetStyleLabelTextColor(state);
  return GetStyleColor(font_color);
}

QRect TscLabel::TextRect() const {
  QRect r = rect();
  if (glow_->Enabled()) {
    const int inset = std::max(0, glow_->GlowSize() - glow_->Offset());
    r.adjust(inset, inset, -inset, -inset);
  }
  return r;
}

void TscLabel::DrawControl(QPainter& painter, TscsCtrlState state) {
  QRect r = TextRect();
  drawn_caption_.Update(caption_, font(), Format(), r.width());
  if (vert_alignment_ != scvtaTop) {
    const int text_height = drawn_caption_.Size().height();
    r.setTop(vert_alignment_ == scvtaCenter ? (height() - text_height) / 2 : height() - text_height);
  }
  auto draw_text = [&](QPainter& p, const QRect& at) { drawn_caption_.Draw(p, at); };
  if (glow_->Enabled()) DrawGlowText(painter, r, *glow_, draw_text);
  const QColor text_color = ResolveColor(TextColor(state), UsesStyle(seFont));
  painter.setPen(text_color);
  draw_text(painter, r);
  // A label that the keyboard reaches (a tab stop) shows the focus as dots around its caption.
  if (ShowsFocus(this)) DrawFocusDots(painter, rect(), text_color, ScaleFactor() >= 1.5 ? 2 : 1);
}

void TscLabel::focusInEvent(QFocusEvent* event) {
  TscCustomControl::focusInEvent(event);
  RePaintControl();
}

void TscLabel::focusOutEvent(QFocusEvent* event) {
  TscCustomControl::focusOutEvent(event);
  RePaintControl();
}

void TscLabel::Loaded() {
  TscCustomControl::Loaded();
  AdjustBounds();
}

void TscLabel::FontChanged() {
  AdjustBounds();
  RePaintControl();
}

void TscLabel::ScalePixelOptions(int m, int d) {
  // The bounds and the font have been scaled; the caption decides the size again.
  elide_width_ = MulDiv(elide_width_, m, d);
  AdjustBounds();
}

bool TscLabel::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut && static_cast<QShortcutEvent*>(event)->shortcutId() == access_key_id_) {
    if (focus_control_ && focus_control_->isEnabled() && focus_control_->isVisible() &&
        focus_control_->focusPolicy() != Qt::NoFocus) {
      focus_control_->setFocus(Qt::ShortcutFocusReason);
    }
    return true;
  }
  return TscCustomControl::event(event);
}

void TscLabel::mousePressEvent(QMouseEvent* event) {
  TscCustomControl::mousePressEvent(event);
  if (drag_form_ && event->button() == Qt::LeftButton) {
    dragging_form_ = true;
    drag_origin_ = event->globalPosition().toPoint();
  }
}

void TscLabel::mouseMoveEvent(QMouseEvent* event) {
  TscCustomControl::mouseMoveEvent(event);
  if (!dragging_form_) return;
  const QPoint now = event->globalPosition().toPoint();
  window()->move(window()->pos() + now - drag_origin_);
  drag_origin_ = now;
}

void TscLabel::mouseReleaseEvent(QMouseEvent* event) {
  TscCustomControl::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) dragging_form_ = false;
}

}  // namespace orvelle
