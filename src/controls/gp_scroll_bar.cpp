#include "controls/gp_scroll_bar.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvelle {

int TscGPControlScrollBarOptions::ThumbAlpha(TscsCtrlState state) const {
  switch (state) {
    case scsHot:
      return thumb_color_hot_alpha_;
    case scsPressed:
      return thumb_color_pressed_alpha_;
    default:
      return thumb_color_alpha_;
  }
}

void TscGPControlScrollBarOptions::Scale(int m, int d) {
  Store(size_, MulDiv(size_, m, d));
  Store(border_width_, MulDiv(border_width_, m, d));
}

TscGPControlScrollBar::TscGPControlScrollBar(QObject* owner, TscGPControlScrollBarOptions* options,
                                             Qt::Orientation orientation)
    : QObject(owner), options_(options), orientation_(orientation), paging_timer_(new QTimer(this)) {
  connect(paging_timer_, &QTimer::timeout, this, &TscGPControlScrollBar::PagingTick);
}

int TscGPControlScrollBar::MaxPosition() const { return std::max(min_, max_ - page_size_ + 1); }

void TscGPControlScrollBar::SetParams(int min, int max, int pageSize) {
  min_ = min;
  max_ = std::max(max, min);
  page_size_ = max_ - min_ < pageSize ? 0 : std::max(pageSize, 0);
  SetPosition(position_);
}

void TscGPControlScrollBar::SetPosition(int value) {
  value = std::clamp(value, min_, MaxPosition());
  if (value == position_) return;
  position_ = value;
  emit PositionChanged();
}

QRect TscGPControlScrollBar::TrackRect() const {
  const int border = options_->BorderWidth();
  return bounds_.adjusted(border, border, -border, -border);
}

int TscGPControlScrollBar::ThumbLength(int trackLength) const {
  const int range = max_ - min_ + 1;
  const int length = RoundPixels(static_cast<double>(trackLength) * page_size_ / range);
  return std::min(trackLength, std::max(length, 2 * ThicknessOf(TrackRect())));
}

int TscGPControlScrollBar::ThumbOffset(int trackLength, int thumbLength) const {
  const int divisor = max_ - page_size_ + 1 - min_;
  if (divisor <= 0) return 0;
  return RoundPixels(static_cast<double>(trackLength - thumbLength) * (position_ - min_) / divisor);
}

QRect TscGPControlScrollBar::ThumbRect() const {
  const QRect track = TrackRect();
  const int length = ThumbLength(LengthOf(track));
  const int offset = ThumbOffset(LengthOf(track), length);
  if (orientation_ == Qt::Vertical) return QRect(track.left(), track.top() + offset, track.width(), length);
  return QRect(track.left() + offset, track.top(), length, track.height());
}

void TscGPControlScrollBar::Draw(QPainter& painter, bool themed) const {
  if (!Visible() || bounds_.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const QRect track = TrackRect();
  if (!options_->FillColor().IsNone() && options_->FillColorAlpha() > 0) {
    painter.fillRect(track, ResolveColor(options_->FillColor(), themed, options_->FillColorAlpha()));
  }
  const QColor thumb_color = ResolveColor(options_->ThumbColor(), themed, options_->ThumbAlpha(thumb_state_));
  const QRectF thumb = ToGPRectF(ThumbRect());
  if (options_->ThumbRounded()) {
    QPainterPath path;
    AddRoundedRectPath(path, thumb, ThicknessOf(ThumbRect()) / 2.0);
    painter.fillPath(path, thumb_color);
  } else {
    painter.fillRect(thumb, thumb_color);
  }
  painter.restore();
}

void TscGPControlScrollBar::SetThumbState(TscsCtrlState state) {
  if (state == thumb_state_) return;
  thumb_state_ = state;
  emit Invalidated();
}

bool TscGPControlScrollBar::MousePress(const QPoint& p) {
  if (!Visible() || !bounds_.contains(p)) return false;
  const QRect thumb = ThumbRect();
  if (thumb.contains(p)) {
    dragging_ = true;
    drag_grip_ = Along(p) - StartOf(thumb);
    SetThumbState(scsPressed);
  } else if (TrackRect().contains(p)) {
    paging_ = true;
    pointer_ = p;
    paging_timer_->start(kPagingDelay);
  }
  return true;
}

void TscGPControlScrollBar::DragTo(int along) {
  const QRect track = TrackRect();
  const int length = ThumbLength(LengthOf(track));
  const int free_length = LengthOf(track) - length;
  if (free_length <= 0) return;
  const int offset = std::clamp(along - drag_grip_ - StartOf(track), 0, free_length);
  SetPosition(min_ + RoundPixels(static_cast<double>(offset) / free_length * (max_ - min_ - page_size_ + 1)));
}

bool TscGPControlScrollBar::MouseMove(const QPoint& p) {
  if (dragging_) {
    DragTo(Along(p));
    return true;
  }
  if (paging_) {
    pointer_ = p;
    return true;
  }
  const bool over_thumb = Visible() && ThumbRect().contains(p);
  SetThumbState(over_thumb ? scsHot : scsNormal);
  return Visible() && bounds_.contains(p);
}

bool TscGPControlScrollBar::MouseRelease(const QPoint& p) {
  if (dragging_) {
    dragging_ = false;
    SetThumbState(ThumbRect().contains(p) ? scsHot : scsNormal);
    return true;
  }
  if (paging_) {
    pointer_ = p;
    PageTowardPointer();
    StopPaging();
    return true;
  }
  return false;
}

void TscGPControlScrollBar::MouseLeave() {
  if (!dragging_) SetThumbState(scsNormal);
}

void TscGPControlScrollBar::CancelPointerInput() {
  dragging_ = false;
  StopPaging();
  SetThumbState(scsNormal);
}

bool TscGPControlScrollBar::PageTowardPointer() {
  const QRect thumb = ThumbRect();
  const int page = page_size_ > 0 ? page_size_ : 1;
  if (Along(pointer_) < StartOf(thumb)) {
    SetPosition(position_ - page);
    return true;
  }
  if (Along(pointer_) > EndOf(thumb)) {
    SetPosition(position_ + page);
    return true;
  }
  return false;  // the thumb has reached the pointer
}

void TscGPControlScrollBar::PagingTick() {
  paging_timer_->setInterval(kPagingInterval);
  if (!bounds_.contains(pointer_)) return;  // paused while the pointer is off the bar
  if (!PageTowardPointer()) paging_timer_->stop();
}

void TscGPControlScrollBar::StopPaging() {
  paging_ = false;
  paging_timer_->stop();
}

}  // namespace orvelle
