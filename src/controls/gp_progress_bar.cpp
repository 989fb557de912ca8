#include "controls/gp_progress_bar.h"

#include "toolkit/theme.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>

namespace orvelle {

TscGPProgressBar::TscGPProgressBar(QWidget* parent) : TscCustomControl(parent) {
  SetColor(clWindow);
  resize(150, 5);
}

void TscGPProgressBar::SetMinValue(int value) {
  if (range_.SetMinimum(value)) RePaintControl();
}

void TscGPProgressBar::SetMaxValue(int value) {
  if (range_.SetMaximum(value)) RePaintControl();
}

void TscGPProgressBar::SetValue(int value) {
  if (range_.SetValue(value)) RePaintControl();
}

void TscGPProgressBar::SetVertical(bool value) { StoreAndRepaint(vertical_, value); }
void TscGPProgressBar::SetFrameColor(orvelle::Color color) { StoreAndRepaint(frame_color_, color); }
void TscGPProgressBar::SetProgressColor(orvelle::Color color) { StoreAndRepaint(progress_color_, color); }
void TscGPProgressBar::SetAnimationMode(bool value) { StoreAndRepaint(animation_mode_, value); }

void TscGPProgressBar::SetFrameAlpha(int alpha) {
  if (alpha >= 0 && alpha <= 255) StoreAndRepaint(frame_alpha_, alpha);
}

void TscGPProgressBar::SetProgressAlpha(int alpha) {
  if (alpha >= 0 && alpha <= 255) StoreAndRepaint(progress_alpha_, alpha);
}

void TscGPProgressBar::SetActive(bool value) {
  if (value == active_) return;
  active_ = value;
  if (value && animation_mode_) StartMarquee();
  // A marquee whose bar left animation mode meanwhile still stops: its timer would otherwise
  // tick for the control's whole life with nothing to show.
  if (!value) StopMarquee();
  RePaintControl();
}

void TscGPProgressBar::StartMarquee() {
  marquee_rect_ = QRect();
  if (!marquee_timer_) {
    marquee_timer_ = new QTimer(this);
    connect(marquee_timer_, &QTimer::timeout, this, &TscGPProgressBar::MarqueeTick);
  }
  marquee_timer_->start(kMarqueeInterval);
}

void TscGPProgressBar::StopMarquee() {
  delete marquee_timer_;
  marquee_timer_ = nullptr;
  marquee_rect_ = QRect();
}

void TscGPProgressBar::MarqueeTick() {
  // The marquee runs along the bar from its start edge (left, or bottom when vertical): `start`
  // and `end` are distances from that edge, `end` exclusive.
  const int length = vertical_ ? height() : width();
  const int third = length / 3;
  int start = vertical_ ? height() - marquee_rect_.bottom() - 1 : marquee_rect_.left();
  int end = start + (vertical_ ? marquee_rect_.height() : marquee_rect_.width());
  if (marquee_rect_.isNull()) start = end = 0;
  if (start == 0 && end - start < third) {
    end += kMarqueeStep;
  } else if (start != 0 && end < third) {
    end = start + third;
  }
  if (end >= third) {
    start += kMarqueeStep;
    end += kMarqueeStep;
    if (end - start < third) end = start + third;
    end = std::min(end, length);
  }
  if (start >= length) start = end = 0;
  marquee_rect_ = vertical_ ? QRect(0, height() - end, width(), end - start) : QRect(start, 0, end - start, height());
  RePaintControl();
}

QRect TscGPProgressBar::ValueRect() const {
  const int length = vertical_ ? height() : width();
  const auto filled = MulDivRoundEven(length, range_.Reached(), range_.Span());
  const int n = static_cast<int>(std::clamp<std::int64_t>(filled, 0, length));
  return vertical_ ? QRect(0, height() - n, width(), n) : QRect(0, 0, n, height());
}

QRect TscGPProgressBar::FillRect() const { return animation_mode_ && active_ ? marquee_rect_ : ValueRect(); }

void TscGPProgressBar::DrawControl(QPainter& painter, TscsCtrlState) {
  const bool themed = UsesStyle(seClient);
  auto drawn = [themed](orvelle::Color color, int alpha) { return ResolveColor(color, themed, static_cast<std::uint8_t>(alpha)); };
  DrawOpaqueBackground(painter);
  painter.fillRect(rect(), drawn(frame_color_, frame_alpha_));
  const QRect fill = FillRect();
  if (!fill.isEmpty()) painter.fillRect(fill, drawn(progress_color_, progress_alpha_));
}

}  // namespace orvelle
