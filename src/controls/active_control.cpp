#include "controls/active_control.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace orvelle {

TscCustomActiveControl::TscCustomActiveControl(QWidget* parent) : TscCustomControl(parent) {
  setMouseTracking(true);
}

TscsCtrlState TscCustomActiveControl::GetCtrlState() const {
  if (!isEnabled()) return scsDisabled;
  return FMouseIn ? scsHot : scsNormal;
}

void TscCustomActiveControl::MouseEntered() {
  FMouseIn = true;
  if (!FMouseTimer) {
    FMouseTimer = new QTimer(this);
    connect(FMouseTimer, &QTimer::timeout, this, &TscCustomActiveControl::MouseTimerTick);
  }
  FMouseTimer->start(kMouseTimerInterval);
  DoMouseEnter();
}

void TscCustomActiveControl::StopMouseTimer() {
  if (!FMouseTimer) return;
  FMouseTimer->stop();
  delete FMouseTimer;
  FMouseTimer = nullptr;
}

void TscCustomActiveControl::MouseLeft() {
  StopMouseTimer();
  FMouseIn = false;
  DoMouseLeave();
}

void TscCustomActiveControl::MouseTimerTick() {
  if (QApplication::widgetAt(QCursor::pos()) == this) return;
  MouseLeft();
}

void TscCustomActiveControl::DoMouseEnter() { HotStateChanged(); }

void TscCustomActiveControl::DoMouseLeave() { HotStateChanged(); }

void TscCustomActiveControl::HotStateChanged() {
  if (FAnimation && CanAnimate()) {
    FCanAnimate = true;
    if (!animation_window_) {
      animation_window_ = new QTimer(this);
      animation_window_->setSingleShot(true);
      connect(animation_window_, &QTimer::timeout, this, [this] { FCanAnimate = false; });
    }
    animation_window_->start(kAnimationWindow);
  }
  RePaintControl();
}

bool TscCustomActiveControl::CanAnimate() const {
  if (!isVisible() || !isEnabled() || !FAnimation) return false;
  const TscsCtrlState state = GetCtrlState();
  return state == scsNormal || state == scsHot || (state == scsFocused && AnimateFocusedState());
}

void TscCustomActiveControl::enterEvent(QEnterEvent* event) {
  MouseEntered();
  TscCustomControl::enterEvent(event);
}

void TscCustomActiveControl::leaveEvent(QEvent* event) {
  StopMouseTimer();
  FMouseIn = false;
  DoMouseLeave();
  TscCustomControl::leaveEvent(event);
}

void TscCustomActiveControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const bool inside = p.x() >= 0 && p.y() >= 0 && p.x() <= width() && p.y() <= height();
  if (inside && !FMouseIn) {
    MouseEntered();
  } else if (!inside && FMouseIn) {
    MouseLeft();
  }
  TscCustomControl::mouseMoveEvent(event);
}

void TscCustomActiveControl::moveEvent(QMoveEvent* event) {
  FCanAnimate = false;
  TscCustomControl::moveEvent(event);
}

void TscCustomActiveControl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) FCanAnimate = false;
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

void TscCustomActiveControl::paintEvent(QPaintEvent* event) {
  const TscsCtrlState state = GetCtrlState();
  if (FCanAnimate && state != FOldCtrlState && width() > 0 && height() > 0) {
    // A new state while animating: fade from the old state's face to the new one.
    fade_from_ = RenderState(FOldCtrlState);
    fade_clock_.start();
    if (!fade_timer_) {
      fade_timer_ = new QTimer(this);
      fade_timer_->setInterval(15);
      connect(fade_timer_, &QTimer::timeout, this, [this] {
        if (!fade_clock_.isValid() || fade_clock_.elapsed() >= kFadeDuration) {
          fade_timer_->stop();
          fade_from_ = QImage();
        }
        update();
      });
    }
    fade_timer_->start();
  }
  FOldCtrlState = state;
  if (fade_from_.isNull() || !fade_clock_.isValid() || fade_clock_.elapsed() >= kFadeDuration) {
    TscCustomControl::paintEvent(event);
    return;
  }
  const double t = static_cast<double>(fade_clock_.elapsed()) / kFadeDuration;
  QPainter painter(this);
  painter.setOpacity(1.0 - t);
  painter.drawImage(QPoint(0, 0), fade_from_);
  painter.setOpacity(t);
  painter.drawImage(QPoint(0, 0), RenderState(state));
}

}  // namespace orvelle
