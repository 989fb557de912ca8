#include "radio/unseen_countdown.h"

#include "service/log.h"
#include "toolkit/timer.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace orvelle {
namespace {

// A timer may fire this much early (Qt's coarse timers allow 5 % of the interval); a second that
// is this close to its end counts as passed.
constexpr qint64 kEarlyWakeMs = 60;

}  // namespace

UnseenCountdown::UnseenCountdown(std::function<bool()> step, std::function<int()> steps_to_run_out)
    : step_(std::move(step)), steps_to_run_out_(std::move(steps_to_run_out)) {}

void UnseenCountdown::NoteSeenTick(Timer& timer) {
  since_beat_.start();
  if (std::exchange(period_to_restore_, false)) timer.SetInterval(period_ms_);
}

void UnseenCountdown::Begin(Timer& timer) {
  if (active_) return;
  if (!period_to_restore_) period_ms_ = timer.Interval();
  period_to_restore_ = false;
  if (period_ms_ <= 0) return;
  active_ = true;
  phase_ms_ = since_beat_.isValid() ? std::min<qint64>(since_beat_.elapsed(), period_ms_ - 1) : 0;
  clock_.start();
  steps_taken_ = 0;
  WakeAtRunOut(timer);
}

void UnseenCountdown::End(Timer& timer) {
  if (!active_) return;
  CatchUp();
  active_ = false;
  const qint64 into_second = std::clamp<qint64>(MillisecondsCounted() - qint64{steps_taken_} * period_ms_, 0,
                                                period_ms_ - 1);
  since_beat_.start();
  // The first seen tick comes when the current second ends; NoteSeenTick puts the period back.
  timer.SetInterval(static_cast<int>(period_ms_ - into_second));
  period_to_restore_ = true;
}

void UnseenCountdown::CatchUp() { TakeDueSteps(true); }

void UnseenCountdown::CatchUpWithoutLoading() { TakeDueSteps(false); }

void UnseenCountdown::TakeDueSteps(bool up_to_run_out) {
  if (!active_) return;
  const qint64 due = (MillisecondsCounted() + kEarlyWakeMs) / period_ms_;
  while (steps_taken_ < due) {
    if (!up_to_run_out && steps_to_run_out_() <= 1) return;
    ++steps_taken_;
    if (!step_()) {
      // A load began: its end starts the count again (Restart).
      steps_taken_ = static_cast<int>(due);
      break;
    }
  }
}

void UnseenCountdown::Restart(Timer& timer) {
  since_beat_.start();
  if (!active_) {
    // A count that starts again starts on a whole second, not on the rest of the one it was on.
    if (std::exchange(period_to_restore_, false)) timer.SetInterval(period_ms_);
    return;
  }
  phase_ms_ = 0;
  clock_.start();
  steps_taken_ = 0;
  WakeAtRunOut(timer);
}

void UnseenCountdown::Tick(Timer& timer) {
  CatchUp();
  if (active_) WakeAtRunOut(timer);
}

qint64 UnseenCountdown::MillisecondsCounted() const { return phase_ms_ + clock_.elapsed(); }

void UnseenCountdown::WakeAtRunOut(Timer& timer) {
  const qint64 run_out = (qint64{steps_taken_} + std::max(1, steps_to_run_out_())) * period_ms_;
  const qint64 wait = std::max<qint64>(run_out - MillisecondsCounted(), 1);
  qCDebug(lcUi) << "countdown unseen: the next wake-up in" << wait << "ms";
  timer.SetInterval(static_cast<int>(std::min<qint64>(wait, std::numeric_limits<int>::max())));
}

}  // namespace orvelle
