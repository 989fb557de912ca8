#include "controls/memo.h"

#include "toolkit/theme.h"

#include <QEvent>
#include <QFontInfo>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace orvelle {

// ---- TscCustomMemo ----

TscCustomMemo::TscCustomMemo(QWidget* parent) : Memo(parent) {
  Editor()->setFrameShape(QFrame::NoFrame);
  Editor()->viewport()->setAutoFillBackground(false);
  Editor()->installEventFilter(this);
  Editor()->viewport()->installEventFilter(this);
  // The bars are part of the memo: the wheel over them scrolls as over the text.
  Editor()->verticalScrollBar()->installEventFilter(this);
  Editor()->horizontalScrollBar()->installEventFilter(this);
}

void TscCustomMemo::SetStyleElements(TscCustomControl::TStyleElements elements) {
  if (elements == style_elements_) return;
  style_elements_ = elements;
  UpdateTextColors();
  update();
}

void TscCustomMemo::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  UpdateTextColors();
  update();
}

bool TscCustomMemo::UsesStyle(TscCustomControl::TStyleElement element) const {
  return style_elements_.testFlag(element) && IsCustomStyleActive();
}

TscsCtrlState TscCustomMemo::GetCtrlState() const {
  if (!isEnabled()) return scsDisabled;
  if (Editor()->hasFocus()) return scsFocused;
  if (mouse_in_) return scsHot;
  return scsNormal;
}

void TscCustomMemo::UpdateTextColors() {
  QPalette palette = Editor()->palette();
  const QColor text = ResolveColor(TextColor(), false);
  palette.setColor(QPalette::Active, QPalette::Text, text);
  palette.setColor(QPalette::Inactive, QPalette::Text, text);
  // Disabled views draw their text in the theme's disabled edit colour.
  palette.setColor(QPalette::Disabled, QPalette::Text, ResolveColor(GetStyleEditTextColor(false), false));
  // The editor draws glyphs only; the view has painted the background already.
  palette.setBrush(QPalette::Base, Qt::transparent);
  if (palette != Editor()->palette()) Editor()->setPalette(palette);
}

void TscCustomMemo::ScalePixelOptions(int m, int d) {
  scale_percent_ = MulDiv(scale_percent_, m, d);
  scale_factor_ = std::max(1.0, scale_percent_ / 100.0);
}

void TscCustomMemo::paintEvent(QPaintEvent*) {
  if (width() == 0 || height() == 0) return;
  QPainter painter(this);
  DrawBackground(painter);
}

void TscCustomMemo::ScrollOneLine(int delta) {
  QScrollBar* bar = Editor()->verticalScrollBar();
  bar->setValue(bar->value() + (delta > 0 ? -1 : 1));
}

bool TscCustomMemo::eventFilter(QObject* watched, QEvent* event) {
  const bool over_memo = watched == Editor()->viewport() || watched == Editor()->verticalScrollBar() ||
                         watched == Editor()->horizontalScrollBar();
  if (over_memo && event->type() == QEvent::Wheel) {
    // One line per wheel message, up for a positive delta and down otherwise, whatever the delta
    // and the desktop's lines-per-notch setting.
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->angleDelta().y() != 0) ScrollOneLine(wheel->angleDelta().y());
    return true;
  }
  if (watched == Editor() && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) update();
  return Memo::eventFilter(watched, event);
}

void TscCustomMemo::changeEvent(QEvent* event) {
  Memo::changeEvent(event);
  switch (event->type()) {
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
    case QEvent::StyleChange:
      UpdateTextColors();
      update();
      break;
    default:
      break;
  }
}

void TscCustomMemo::enterEvent(QEnterEvent* event) {
  Memo::enterEvent(event);
  mouse_in_ = true;
  update();
}

void TscCustomMemo::leaveEvent(QEvent* event) {
  Memo::leaveEvent(event);
  mouse_in_ = false;
  update();
}

void TscCustomMemo::showEvent(QShowEvent* event) {
  Memo::showEvent(event);
  UpdateTextColors();
}

void TscCustomMemo::FontChanged() {
  UpdateTextColors();
  update();
}

// ---- TscMemo ----

void TscMemo::SetUseFontColorToStyleColor(bool value) {
  if (value == use_font_color_to_style_color_) return;
  use_font_color_to_style_color_ = value;
  UpdateTextColors();
}

void TscMemo::SetCustomImages(ImageList* images) {
  custom_images_ = images;
  update();
}

void TscMemo::SetIndex(int& field, int index) {
  if (field == index) return;
  field = index;
  update();
}

void TscMemo::SetCustomBackgroundImageNormalIndex(int index) { SetIndex(normal_index_, index); }
void TscMemo::SetCustomBackgroundImageHotIndex(int index) { SetIndex(hot_index_, index); }
void TscMemo::SetCustomBackgroundImageDisabledIndex(int index) { SetIndex(disabled_index_, index); }

orvelle::Color TscMemo::TextColor() const {
  const orvelle::Color font_color = GetFont()->GetColor();
  if (!UsesStyle(TscCustomControl::seFont)) return font_color;
  if (use_font_color_to_style_color_ && isEnabled()) return GetStyleColor(font_color);
  return Transparent() ? GetStyleLabelTextColor(scsNormal) : GetStyleColor(clWindowText);
}

void TscMemo::DrawBackground(QPainter& painter) {
  if (!Transparent()) {
    const orvelle::Color brush = UsesStyle(TscCustomControl::seClient) ? GetStyleColor(clWindow) : GetColor();
    painter.fillRect(rect(), ResolveColor(brush, false));
  }
  if (!custom_images_) return;
  const TscsCtrlState state = GetCtrlState();
  int index = state == scsDisabled ? disabled_index_ : state == scsHot ? hot_index_ : normal_index_;
  if (index < 0) index = normal_index_;
  const QImage image = custom_images_->Image(index);
  if (!image.isNull()) painter.drawImage(rect(), image);
}

// ---- TscGPMemoOptions ----

TscGPMemoOptions::TscGPMemoOptions(QObject* parent) : TscGPStateOptions(parent, 0) {
  //                         fill      alpha  frame       alpha  text
  SetStateColors(scsNormal, clWindow, 200, clBtnText, 100, clWindowText);
  SetStateColors(scsHot, clWindow, 255, clHighlight, 255, clWindowText);
  SetStateColors(scsFocused, clWindow, 255, clHighlight, 255, clWindowText);
  SetStateColors(scsDisabled, clWindow, 150, clBtnText, 50, clGrayText);
  SetShapeCornerRadius(0);
  SetShapeFillGradientAngle(-90);
}

// ---- TscGPMemo ----

TscGPMemo::TscGPMemo(QWidget* parent)
    : TscCustomMemo(parent),
      options_(new TscGPMemoOptions(this)),
      scroll_bar_options_(new TscGPControlScrollBarOptions(this)) {
  SetColor(clBtnFace);
  SetBorderStyle(bsNone);
  SetTransparent(true);
  connect(options_, &TscOptions::Changed, this, qOverload<>(&QWidget::update));
  connect(scroll_bar_options_, &TscOptions::Changed, this, &TscGPMemo::UpdateContentRect);
  UpdateContentRect();
  UpdateTextColors();
}

void TscGPMemo::SetMargins(const QMargins& margins) {
  if (margins == margins_) return;
  margins_ = margins;
  UpdateContentRect();
}

void TscGPMemo::SetContentMarginLeft(int value) {
  if (value >= 0) SetMargins(QMargins(value, margins_.top(), margins_.right(), margins_.bottom()));
}
void TscGPMemo::SetContentMarginTop(int value) {
  if (value >= 0) SetMargins(QMargins(margins_.left(), value, margins_.right(), margins_.bottom()));
}
void TscGPMemo::SetContentMarginRight(int value) {
  if (value >= 0) SetMargins(QMargins(margins_.left(), margins_.top(), value, margins_.bottom()));
}
void TscGPMemo::SetContentMarginBottom(int value) {
  if (value >= 0) SetMargins(QMargins(margins_.left(), margins_.top(), margins_.right(), value));
}

QRect TscGPMemo::GetContentRect() const {
  QRect r = rect().marginsRemoved(margins_);
  const int bar = scroll_bar_options_->Size();
  const bool horizontal = ScrollBars() == ssHorizontal || ScrollBars() == ssBoth;
  const bool vertical = ScrollBars() == ssVertical || ScrollBars() == ssBoth;
  if (horizontal) r.setBottom(r.bottom() - bar);
  if (vertical) {
    if (layoutDirection() == Qt::RightToLeft) {
      r.setLeft(r.left() + bar);
    } else {
      r.setRight(r.right() - bar);
    }
  }
  const int least = 2 * QFontInfo(font()).pixelSize();
  if (r.width() < least) r.setWidth(least);
  if (r.height() < least) r.setHeight(least);
  return r;
}

void TscGPMemo::UpdateContentRect() {
  const QRect content = GetContentRect();
  QMargins formatting(content.left(), content.top(), width() - content.right() - 1, height() - content.bottom() - 1);
  // The editor's own bars take their room inside the formatting margins already.
  const int bar = scroll_bar_options_->Size();
  if (ScrollBars() == ssVertical || ScrollBars() == ssBoth) formatting.setRight(std::max(0, formatting.right() - bar));
  if (ScrollBars() == ssHorizontal || ScrollBars() == ssBoth) formatting.setBottom(std::max(0, formatting.bottom() - bar));
  Editor()->SetFormattingMargins(formatting);
  update();
}

orvelle::Color TscGPMemo::TextColor() const {
  const orvelle::Color font_color = GetFont()->GetColor();
  if (!UsesStyle(TscCustomControl::seFont)) return font_color;
  if (isEnabled()) return GetStyleColor(font_color);
  return Transparent() ? GetStyleLabelTextColor(scsNormal) : GetStyleColor(clWindowText);
}

void TscGPMemo::DrawBackground(QPainter& painter) {
  if (!Transparent()) {
    painter.fillRect(rect(), ResolveColor(GetColor(), true));
    painter.fillRect(rect(), ResolveColor(clBtnFace, true));
  }
  options_->SetState(GetCtrlState());
  DrawBackingAndFrame(painter);
}

void TscGPMemo::DrawBackingAndFrame(QPainter& painter) {
  const TscGPMemoOptions& o = *options_;
  const QColor frame = o.DrawnFrame();
  const double frame_width = o.FrameWidth();
  // The graphic faces' frame rule (GPShapeFillRect): a frame of alpha 0 is no frame.
  const bool frame_visible = GPFrameVisible(frame);
  const bool frame_opaque = frame.alpha() == 255;
  const QRectF frame_rect = GPShapeFrameRect(rect(), frame_width);
  const QRectF fill_rect = GPShapeFillRect(rect(), frame_width, frame);

  QBrush brush(o.DrawnFill());
  if (o.ShapeFillStyle() == TscGPMemoOptions::scgpsfGradient) {
    QRectF span = fill_rect;
    InflateGPRectF(span, 1, 1);
    brush = QBrush(AngledGradient(span, o.ShapeFillGradientAngle(), o.DrawnGradientStart(), o.DrawnGradientEnd()));
  }

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  const int radius = o.ShapeCornerRadius();
  QPen pen(frame, frame_width);
  pen.setJoinStyle(Qt::MiterJoin);
  if (radius != 0) {
    double fill_diameter = 2.0 * radius;
    if (frame_visible && !frame_opaque) fill_diameter = std::max(1.0, fill_diameter - frame_width);
    QPainterPath fill_path;
    AddRoundedRectPath(fill_path, fill_rect, fill_diameter / 2);
    painter.fillPath(fill_path, brush);
    QPainterPath frame_path;
    AddRoundedRectPath(frame_path, frame_rect, radius);
    if (frame_width > 0) painter.strokePath(frame_path, pen);
  } else {
    painter.fillRect(fill_rect, brush);
    if (frame_width > 0) {
      // The stroke of the frame rectangle, as the ring between its outer and inner edges: every
      // corner pixel is covered exactly once.
      QRectF outer = frame_rect, inner = frame_rect;
      InflateGPRectF(outer, frame_width / 2, frame_width / 2);
      InflateGPRectF(inner, -frame_width / 2, -frame_width / 2);
      QPainterPath ring;
      ring.addRect(outer);
      if (inner.isValid()) ring.addRect(inner);
      painter.fillPath(ring, frame);
    }
  }
  painter.restore();
}

void TscGPMemo::ScalePixelOptions(int m, int d) {
  TscCustomMemo::ScalePixelOptions(m, d);
  options_->Scale(m, d, options_->ScaleFrameWidth());
  margins_ = QMargins(MulDiv(margins_.left(), m, d), MulDiv(margins_.top(), m, d), MulDiv(margins_.right(), m, d),
                      MulDiv(margins_.bottom(), m, d));
  scroll_bar_options_->Scale(m, d);
  UpdateContentRect();
}

void TscGPMemo::resizeEvent(QResizeEvent* event) {
  TscCustomMemo::resizeEvent(event);
  UpdateContentRect();
}

void TscGPMemo::FontChanged() {
  TscCustomMemo::FontChanged();
  UpdateContentRect();
}

}  // namespace orvelle
