#pragma once

#include "controls/custom_control.h"

#include <QElapsedTimer>
#include <QImage>

class QTimer;

namespace orvelle {

// A kit control with hot tracking: the pointer entering (or moving inside) makes it hot, leaving
// (or moving outside) ends it, and a 100 ms poll ends a hot state whose leave the window system
// did not report (the pointer jumped onto another window). With Animation on, state changes
// between normal and hot cross-fade over 150 ms.
class TscCustomActiveControl : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(bool Animation READ Animation WRITE SetAnimation)

 public:
  static constexpr int kMouseTimerInterval = 100;
  static constexpr int kAnimationWindow = 350;
  static constexpr int kFadeDuration = 150;

  explicit TscCustomActiveControl(QWidget* parent = nullptr);

  bool Animation() const { return FAnimation; }
  void SetAnimation(bool value) { FAnimation = value; }

  // scsDisabled when disabled, else scsHot while the pointer is over the control, else scsNormal.
  TscsCtrlState GetCtrlState() const override;

  bool MouseIn() const { return FMouseIn; }
  // The poll timer, present only while the pointer is over the control.
  const QTimer* MouseTimer() const { return FMouseTimer; }

 protected:
  // Ends the hot state when the widget under the pointer is no longer this control.
  virtual void MouseTimerTick();
  // Called when the hot state starts and ends: start the animation window when animating, then
  // RePaintControl. Overrides call these.
  virtual void DoMouseEnter();
  virtual void DoMouseLeave();
  virtual bool CanAnimate() const;
  // Whether the focused state cross-fades too (false here).
  virtual bool AnimateFocusedState() const { return false; }

  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

  bool FMouseIn = false;
  QTimer* FMouseTimer = nullptr;
  bool FAnimation = false;
  bool FCanAnimate = false;
  TscsCtrlState FOldCtrlState = scsNormal;

 private:
  void MouseEntered();
  void MouseLeft();
  void StopMouseTimer();
  void HotStateChanged();
  QImage RenderState(TscsCtrlState state);

  QTimer* animation_window_ = nullptr;
  QTimer* fade_timer_ = nullptr;
  QImage fade_from_;
  QElapsedTimer fade_clock_;
};

}  // namespace orvelle
