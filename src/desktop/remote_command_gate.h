#pragma once

#include <QObject>

#include <deque>
#include <functional>

namespace orvelle {

// Runs commands that come from outside the windows (the desktop's remote control) as the
// window's own controls would run: from the event loop, never inside the call that brought them
// nor inside a handler that is running, one per pass in the order they came, each through the
// application's guard, so that an error shows the default error box. Nothing holds them: a box is
// modal to its window only, and loads do not wait.
class RemoteCommandGate : public QObject {
  Q_OBJECT

 public:
  explicit RemoteCommandGate(QObject* parent = nullptr);

  void Submit(std::function<void()> command);
  // Commands waiting to run.
  int Pending() const { return static_cast<int>(commands_.size()); }

 private:
  void ScheduleNext();
  void RunNext();

  std::deque<std::function<void()>> commands_;
  bool scheduled_ = false;
};

}  // namespace orvelle
