#pragma once

#include "controls/custom_control.h"

#include <QElapsedTimer>
#include <QImage>

class QTimer;

namespace orvelle {

// A kit control with hot tracking: the pointer entering (or moving inside) makes it hot, leaving
// (or moving outside) ends it, and a 100 ms poll ends a hot state whose leave the window system
// did not report (the pointer jumped onto another window). The poll rests once the pointer has
// stood still over the control for a second (a listener who clicked and left the pointer there)
// and runs again at the pointer's next move over it: a resting pointer wakes nothing up. With Animation on, state changes
// between normal and hot cross-fade linearly over 150 ms, within a 350 ms window opened by the
// state change; a move or a disable closes the window and ends a running fade at once.
class TscCustomActiveControl : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(bool Animation READ Animation WRITE SetAnimation)

 public:
  static constexpr int kMouseTimerInterval = 100;
  // Polls that find the pointer still over the control, with no move in between, before the poll
  // rests.
  static constexpr int kPollsBeforeRest = 10;
  static constexpr int kAnimationWindow = 350;
  static constexpr int kFadeDuration = 150;
  static constexpr int kFadeFrameInterval = 15;

  explicit TscCustomActiveControl(QWidget* parent = nullptr);

  bool Animation() const { return animation_; }
  void SetAnimation(bool value) { animation_ = value; }

  // scsDisabled when disabled, else scsHot while the pointer is over the control, else scsNormal.
  TscsCtrlState GetCtrlState() const override;

  bool MouseIn() const { return mouse_in_; }
  // The poll timer, present only while the pointer is over the control (stopped while it rests).
  const QTimer* MouseTimer() const { return mouse_timer_; }

 protected:
  // Ends the hot state when the widget under the pointer is no longer this control.
  virtual void MouseTimerTick();
  // Called when the hot state starts and ends: open the animation window when animating, then
  // RePaintControl. Overrides call these.
  virtual void DoMouseEnter();
  virtual void DoMouseLeave();
  virtual bool CanAnimate() const;
  // Whether the focused state cross-fades too (false here).
  virtual bool AnimateFocusedState() const { return false; }
  // Stores the pointer-over flag only (a control that ends its hot look on a disable clears it).
  void SetMouseIn(bool value) { mouse_in_ = value; }

  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void MouseEntered();
  void MouseLeft();
  void StopMouseTimer();
  // A move over the control: the poll counts from the start again, and runs again if it rested.
  void PointerMovedInside();
  void HotStateChanged();
  // Closes the animation window and ends a running fade: the next paint shows the face at once.
  void StopAnimations();
  void StartFade(TscsCtrlState from);
  bool Fading() const;
  QImage RenderState(TscsCtrlState state);

  bool mouse_in_ = false;
  QTimer* mouse_timer_ = nullptr;
  int still_polls_ = 0;
  bool animation_ = false;
  bool can_animate_ = false;
  TscsCtrlState old_ctrl_state_ = scsNormal;
  QTimer* animation_window_ = nullptr;
  QTimer* fade_timer_ = nullptr;
  QImage fade_from_;
  QElapsedTimer fade_clock_;
};

// The linear cross-fade of two faces of the same size (ARGB32 premultiplied): each pixel is
// (1 - t) x from + t x to, rounded, for t in 0..1.
QImage CrossFade(const QImage& from, const QImage& to, double t);

}  // namespace orvelle
