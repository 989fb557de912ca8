#pragma once

#include "controls/custom_control.h"
#include "controls/value_range.h"

#include <QRect>

class QTimer;

namespace orvelle {

// The kit's thin progress bar: a translucent track over the parent, filled from one end in
// proportion to Value, or an endless marquee while AnimationMode and Active are both on. It takes
// no input and raises no event for value changes.
class TscGPProgressBar : public TscCustomControl {
  Q_OBJECT
  Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
  Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
  Q_PROPERTY(int Value READ Value WRITE SetValue)
  Q_PROPERTY(bool Vertical READ Vertical WRITE SetVertical)
  Q_PROPERTY(orvelle::Color FrameColor READ FrameColor WRITE SetFrameColor)
  Q_PROPERTY(int FrameAlpha READ FrameAlpha WRITE SetFrameAlpha)
  Q_PROPERTY(orvelle::Color ProgressColor READ ProgressColor WRITE SetProgressColor)
  Q_PROPERTY(int ProgressAlpha READ ProgressAlpha WRITE SetProgressAlpha)
  Q_PROPERTY(bool AnimationMode READ AnimationMode WRITE SetAnimationMode)
  Q_PROPERTY(bool Active READ Active WRITE SetActive)

 public:
  static constexpr int kMarqueeInterval = 50;
  static constexpr int kMarqueeStep = 5;

  explicit TscGPProgressBar(QWidget* parent = nullptr);

  int MinValue() const { return range_.Minimum(); }
  // Stores a different minimum and pulls Value up to it when Value lies below; repaints.
  void SetMinValue(int value);
  int MaxValue() const { return range_.Maximum(); }
  // Stores a different maximum and pulls Value down to it when Value lies above; repaints.
  void SetMaxValue(int value);
  int Value() const { return range_.Value(); }
  // Clamps to the range (maximum first, then minimum) and repaints only when the value moved.
  void SetValue(int value);
  bool Vertical() const { return vertical_; }
  void SetVertical(bool value);
  orvelle::Color FrameColor() const { return frame_color_; }
  void SetFrameColor(orvelle::Color color);
  int FrameAlpha() const { return frame_alpha_; }
  // Alphas outside 0...255 are ignored.
  void SetFrameAlpha(int alpha);
  orvelle::Color ProgressColor() const { return progress_color_; }
  void SetProgressColor(orvelle::Color color);
  int ProgressAlpha() const { return progress_alpha_; }
  void SetProgressAlpha(int alpha);
  bool AnimationMode() const { return animation_mode_; }
  // Changes the look only; it neither starts nor stops a running marquee.
  void SetAnimationMode(bool value);
  bool Active() const { return active_; }
  // With AnimationMode on, starting (true) or stopping (false) the marquee.
  void SetActive(bool value);
  void Activate() { SetActive(true); }
  void Deactivate() { SetActive(false); }

  // The rectangle the fill covers now: the marquee's while it runs, else the part of the bar
  // that Value reaches.
  QRect FillRect() const;
  // The marquee rectangle (empty while no marquee runs).
  QRect MarqueeRect() const { return marquee_rect_; }
  // The running marquee's timer, present only while it runs.
  const QTimer* MarqueeTimer() const { return marquee_timer_; }
  // One step of the marquee, what each tick of its timer runs: the rectangle grows from the start
  // edge to a third of the bar, travels 5 pixels a step, and starts again once it has left the bar.
  void MarqueeTick();

 protected:
  void DrawControl(QPainter& painter, TscsCtrlState state) override;
  QAccessible::Role AccessibleRole() const override { return QAccessible::ProgressBar; }
  std::optional<KitAccessibleValue> AccessibleValue() const override {
    return KitAccessibleValue{double(Value()), double(MinValue()), double(MaxValue())};
  }

 private:
  QRect ValueRect() const;
  void StartMarquee();
  void StopMarquee();

  ValueRange range_{0, 100, 0};
  bool vertical_ = false;
  orvelle::Color frame_color_ = clBtnShadow;
  int frame_alpha_ = 125;
  orvelle::Color progress_color_ = clHighlight;
  int progress_alpha_ = 255;
  bool animation_mode_ = false;
  bool active_ = false;
  QTimer* marquee_timer_ = nullptr;
  QRect marquee_rect_;
};

}  // namespace orvelle
