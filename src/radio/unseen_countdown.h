#pragma once

#include <QElapsedTimer>

#include <functional>

namespace orvelle {

class Timer;

// The song's countdown while nobody sees it (the window minimised or hidden).
//
// Seen, the countdown timer ticks every second and each tick takes one step. Unseen, waking every
// second for a count that nobody reads keeps the program from resting: the timer is set to wake
// once, when the song runs out, and the seconds that passed meanwhile are counted when it wakes,
// when the window is seen again, or when someone reads the count (the desktop asking for the
// position). Seen again, the timer ticks every second on the same beat as before.
class UnseenCountdown {
 public:
  // `step` takes one countdown step, as a seen tick does, and tells whether the count goes on (no
  // load started or under way). `steps_to_run_out` tells how many steps are left up to and
  // including the one that loads the next song.
  UnseenCountdown(std::function<bool()> step, std::function<int()> steps_to_run_out);

  // A seen tick happened now: the beat of the seconds. Also puts back the timer's period after
  // the first tick that followed the window being seen again.
  void NoteSeenTick(Timer& timer);
  // The window is no longer seen: the timer wakes at the run-out only.
  void Begin(Timer& timer);
  // The window is seen again: the seconds passed are counted, and the timer ticks every second
  // from the beat the count was on.
  void End(Timer& timer);
  bool Active() const { return active_; }

  // Takes the steps due by now.
  void CatchUp();
  // The same, short of the step that loads the next song (that one waits for the timer): for
  // readers of the count, who must not start a load.
  void CatchUpWithoutLoading();
  // The count started again (a new song, or playing resumed; the timer's period starts now): the
  // timer wakes at its run-out.
  void Restart(Timer& timer);
  // The unseen timer woke: counts what passed and sets the next wake-up.
  void Tick(Timer& timer);

 private:
  void TakeDueSteps(bool up_to_run_out);
  qint64 MillisecondsCounted() const;
  void WakeAtRunOut(Timer& timer);

  std::function<bool()> step_;
  std::function<int()> steps_to_run_out_;
  bool active_ = false;
  // The timer's own period (its Interval while seen).
  int period_ms_ = 0;
  // The seen beat: time since the last seen tick or (re)start of the count.
  QElapsedTimer since_beat_;
  // Unseen: how far into a second the count was when the clock started, the clock, and the
  // steps taken since.
  qint64 phase_ms_ = 0;
  QElapsedTimer clock_;
  int steps_taken_ = 0;
  // Seen again, the first tick comes at the rest of the second; the period is put back after it.
  bool period_to_restore_ = false;
};

}  // namespace orvelle
