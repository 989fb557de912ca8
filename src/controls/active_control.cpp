#include "controls/active_control.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvelle {

TscCustomActiveControl::TscCustomActiveControl(QWidget* parent) : TscCustomControl(parent) {
  setMouseTracking(true);
}

TscsCtrlState TscCustomActiveControl::GetCtrlState() const {
  if (!isEnabled()) return scsDisabled;
  return mouse_in_ ? scsHot : scsNormal;
}

void TscCustomActiveControl::MouseEntered() {
  mouse_in_ = true;
  if (!mouse_timer_) {
    mouse_timer_ = new QTimer(this);
    connect(mouse_timer_, &QTimer::timeout, this, &TscCustomActiveControl::MouseTimerTick);
  }
  still_polls_ = 0;
  mouse_timer_->start(kMouseTimerInterval);
  DoMouseEnter();
}

void TscCustomActiveControl::PointerMovedInside() {
  still_polls_ = 0;
  if (mouse_timer_ && !mouse_timer_->isActive()) mouse_timer_->start(kMouseTimerInterval);
}

void TscCustomActiveControl::StopMouseTimer() {
  if (!mouse_timer_) return;
  mouse_timer_->stop();
  delete mouse_timer_;
  mouse_timer_ = nullptr;
}

void TscCustomActiveControl::MouseLeft() {
  StopMouseTimer();
  mouse_in_ = false;
  DoMouseLeave();
}

void TscCustomActiveControl::MouseTimerTick() {
  if (QApplication::widgetAt(QCursor::pos()) != this) {
    MouseLeft();
    return;
  }
  if (++still_polls_ >= kPollsBeforeRest && mouse_timer_) mouse_timer_->stop();
}

void TscCustomActiveControl::DoMouseEnter() { HotStateChanged(); }

void TscCustomActiveControl::DoMouseLeave() { HotStateChanged(); }

void TscCustomActiveControl::HotStateChanged() {
  if (animation_ && CanAnimate()) {
    can_animate_ = true;
    if (!animation_window_) {
      animation_window_ = new QTimer(this);
      animation_window_->setSingleShot(true);
      connect(animation_window_, &QTimer::timeout, this, &TscCustomActiveControl::StopAnimations);
    }
    animation_window_->start(kAnimationWindow);
  }
  RePaintControl();
}

bool TscCustomActiveControl::CanAnimate() const {
  if (!isVisible() || !isEnabled() || !animation_) return false;
  const TscsCtrlState state = GetCtrlState();
  return state == scsNormal || state == scsHot || (state == scsFocused && AnimateFocusedState());
}

void TscCustomActiveControl::enterEvent(QEnterEvent* event) {
  MouseEntered();
  TscCustomControl::enterEvent(event);
}

void TscCustomActiveControl::leaveEvent(QEvent* event) {
  MouseLeft();
  TscCustomControl::leaveEvent(event);
}

void TscCustomActiveControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const bool inside = p.x() >= 0 && p.y() >= 0 && p.x() <= width() && p.y() <= height();
  if (inside && !mouse_in_) {
    MouseEntered();
  } else if (!inside && mouse_in_) {
    MouseLeft();
  } else if (inside) {
    PointerMovedInside();
  }
  TscCustomControl::mouseMoveEvent(event);
}

void TscCustomActiveControl::StopAnimations() {
  can_animate_ = false;
  if (animation_window_) animation_window_->stop();
  if (fade_timer_) fade_timer_->stop();
  fade_from_ = QImage();
}

void TscCustomActiveControl::moveEvent(QMoveEvent* event) {
  StopAnimations();
  TscCustomControl::moveEvent(event);
}

void TscCustomActiveControl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) StopAnimations();
  TscCustomControl::changeEvent(event);
}

QImage TscCustomActiveControl::RenderState(TscsCtrlState state) {
  const qreal ratio = devicePixelRatioF();
  QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  PaintFace(painter, state);
  return image;
}

void TscCustomActiveControl::StartFade(TscsCtrlState from) {
  fade_from_ = RenderState(from);
  fade_clock_.start();
  if (!fade_timer_) {
    fade_timer_ = new QTimer(this);
    fade_timer_->setInterval(kFadeFrameInterval);
    connect(fade_timer_, &QTimer::timeout, this, [this] {
      if (!Fading()) {
        fade_timer_->stop();
        fade_from_ = QImage();
      }
      update();
    });
  }
  fade_timer_->start();
}

bool TscCustomActiveControl::Fading() const {
  return can_animate_ && !fade_from_.isNull() && fade_clock_.isValid() && fade_clock_.elapsed() < kFadeDuration;
}

void TscCustomActiveControl::paintEvent(QPaintEvent* event) {
  const TscsCtrlState state = GetCtrlState();
  if (can_animate_ && state != old_ctrl_state_ && width() > 0 && height() > 0) StartFade(old_ctrl_state_);
  old_ctrl_state_ = state;
  if (!Fading()) {
    TscCustomControl::paintEvent(event);
    return;
  }
  // The two faces are blended first and the blend is composed over what lies behind the control
  // once: composing is linear in premultiplied colour, so this equals blending the two faces each
  // composed over the background, and no more of the background shows than either face lets.
  const double t = static_cast<double>(fade_clock_.elapsed()) / kFadeDuration;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), CrossFade(fade_from_, RenderState(state), t));
}

QImage CrossFade(const QImage& from, const QImage& to, double t) {
  t = std::clamp(t, 0.0, 1.0);
  QImage result = to.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const QImage start = from.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int height = std::min(result.height(), start.height());
  const int width = std::min(result.width(), start.width());
  auto mix = [t](int a, int b) { return static_cast<int>(std::lround((1.0 - t) * a + t * b)); };
  for (int y = 0; y < height; ++y) {
    const QRgb* a = reinterpret_cast<const QRgb*>(start.constScanLine(y));
    QRgb* b = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < width; ++x) {
      b[x] = qRgba(mix(qRed(a[x]), qRed(b[x])), mix(qGreen(a[x]), qGreen(b[x])), mix(qBlue(a[x]), qBlue(b[x])),
                   mix(qAlpha(a[x]), qAlpha(b[x])));
    }
  }
  return result;
}

}  // namespace orvelle
