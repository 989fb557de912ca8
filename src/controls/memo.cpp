#include "controls/memo.h"

#include "toolkit/theme.h"

#include <QEvent>
#include <QFontInfo>
#include <QMouseEvent>
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
  // The editor itself shows between the text and the view's edges (margins, scroll bars drawn by
  // the view).
  const bool over_memo = watched == Editor() || watched == Editor()->viewport() ||
                         watched == Editor()->verticalScrollBar() || watched == Editor()->horizontalScrollBar();
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
      scroll_bar_options_(new TscGPControlScrollBarOptions(this)),
      vert_scroll_bar_(new TscGPControlScrollBar(this, scroll_bar_options_, Qt::Vertical)),
      horz_scroll_bar_(new TscGPControlScrollBar(this, scroll_bar_options_, Qt::Horizontal)) {
  SetColor(clBtnFace);
  SetBorderStyle(bsNone);
  SetTransparent(true);
  UseOwnScrollBars();
  // Hover over the bars reaches the editor, which lies under them.
  Editor()->setMouseTracking(true);
  connect(options_, &TscOptions::Changed, this, qOverload<>(&QWidget::update));
  connect(scroll_bar_options_, &TscOptions::Changed, this, &TscGPMemo::UpdateContentRect);
  const std::pair<TscGPControlScrollBar*, QScrollBar*> bars[] = {
      {vert_scroll_bar_, Editor()->verticalScrollBar()}, {horz_scroll_bar_, Editor()->horizontalScrollBar()}};
  for (auto [bar, native] : bars) {
    connect(native, &QScrollBar::rangeChanged, this, &TscGPMemo::UpdateScrollBars);
    connect(native, &QScrollBar::valueChanged, this, &TscGPMemo::UpdateScrollBars);
    connect(bar, &TscGPControlScrollBar::PositionChanged, native, [bar, native] { native->setValue(bar->Position()); });
    connect(bar, &TscGPControlScrollBar::Invalidated, this, qOverload<>(&QWidget::update));
  }
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
  if (HorizontalScrollBarOn()) r.setBottom(r.bottom() - bar);
  if (VerticalScrollBarOn()) {
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
  Editor()->SetFormattingMargins(formatting);
  UpdateScrollBars();
  update();
}

void TscGPMemo::SyncScrollBar(TscGPControlScrollBar* bar, bool on) {
  const QScrollBar* native = bar->Orientation() == Qt::Vertical ? Editor()->verticalScrollBar() : Editor()->horizontalScrollBar();
  if (!on || native->maximum() <= native->minimum()) {
    bar->SetParams(0, 0, 0);
    return;
  }
  // The editor's range is that of the first visible unit; the bar's covers every unit, the last
  // page included.
  bar->SetParams(native->minimum(), native->maximum() + native->pageStep() - 1, native->pageStep());
  bar->SetPosition(native->value());
}

void TscGPMemo::UpdateScrollBars() {
  SyncScrollBar(vert_scroll_bar_, VerticalScrollBarOn());
  SyncScrollBar(horz_scroll_bar_, HorizontalScrollBarOn());
  const int frame = options_->FrameWidth();
  const QRect inner = rect().adjusted(frame, frame, -frame, -frame);
  const int size = scroll_bar_options_->Size();
  const int radius = options_->ShapeCornerRadius();
  const bool rtl = layoutDirection() == Qt::RightToLeft;
  const bool vertical = vert_scroll_bar_->Visible();
  const bool horizontal = horz_scroll_bar_->Visible();
  const int vertical_left = rtl ? inner.left() : inner.right() + 1 - size;
  const int vertical_bottom = horizontal ? inner.bottom() - size : inner.bottom() - radius;
  vert_scroll_bar_->SetBounds(QRect(QPoint(vertical_left, inner.top() + radius), QPoint(vertical_left + size - 1, vertical_bottom)));
  const int horizontal_left = vertical && rtl ? inner.left() + size : inner.left() + radius;
  const int horizontal_right = vertical && !rtl ? inner.right() - size : inner.right() - radius;
  const int horizontal_top = inner.bottom() + 1 - size;
  horz_scroll_bar_->SetBounds(QRect(QPoint(horizontal_left, horizontal_top), QPoint(horizontal_right, inner.bottom())));
  update();
}

void TscGPMemo::DrawScrollBars(QPainter& painter) {
  const bool themed = UsesStyle(TscCustomControl::seClient);
  vert_scroll_bar_->Draw(painter, themed);
  horz_scroll_bar_->Draw(painter, themed);
  const TscGPControlScrollBarOptions& o = *scroll_bar_options_;
  const bool corner = vert_scroll_bar_->Visible() && horz_scroll_bar_->Visible() && options_->ShapeCornerRadius() == 0;
  if (!corner || o.FillColor().IsNone() || o.FillColorAlpha() == 0) return;
  const QRect square(vert_scroll_bar_->Bounds().left(), horz_scroll_bar_->Bounds().top(), o.Size(), o.Size());
  painter.fillRect(square, ResolveColor(o.FillColor(), themed, o.FillColorAlpha()));
}

bool TscGPMemo::ScrollBarMouseEvent(QEvent::Type type, const QPoint& p, Qt::MouseButton button) {
  bool took = false;
  for (TscGPControlScrollBar* bar : {vert_scroll_bar_, horz_scroll_bar_}) {
    switch (type) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        if (button == Qt::LeftButton && !took) took = bar->MousePress(p);
        break;
      case QEvent::MouseMove:
        took = bar->MouseMove(p) || took;
        break;
      case QEvent::MouseButtonRelease:
        if (button == Qt::LeftButton) took = bar->MouseRelease(p) || took;
        break;
      default:
        break;
    }
  }
  return took;
}

void TscGPMemo::CancelScrollBarInput() {
  vert_scroll_bar_->CancelPointerInput();
  horz_scroll_bar_->CancelPointerInput();
}

bool TscGPMemo::eventFilter(QObject* watched, QEvent* event) {
  const bool editor = watched == Editor(), text = watched == Editor()->viewport();
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
      if (editor || text) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint p = static_cast<QWidget*>(watched)->mapTo(this, mouse->position().toPoint());
        // Over the text the bars only learn that the pointer is off them.
        if (ScrollBarMouseEvent(event->type(), p, mouse->button()) && editor) return true;
      }
      break;
    case QEvent::FocusOut:
      if (editor) CancelScrollBarInput();
      break;
    default:
      break;
  }
  return TscCustomMemo::eventFilter(watched, event);
}

void TscGPMemo::leaveEvent(QEvent* event) {
  TscCustomMemo::leaveEvent(event);
  vert_scroll_bar_->MouseLeave();
  horz_scroll_bar_->MouseLeave();
}

void TscGPMemo::hideEvent(QHideEvent* event) {
  TscCustomMemo::hideEvent(event);
  CancelScrollBarInput();
}

void TscGPMemo::changeEvent(QEvent* event) {
  TscCustomMemo::changeEvent(event);
  if (event->type() == QEvent::LayoutDirectionChange) UpdateContentRect();
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
  DrawScrollBars(painter);
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
