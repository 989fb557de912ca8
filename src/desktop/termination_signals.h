#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <memory>

namespace orvelle {

// Ends the event loop, as closing the main window does, when the process is asked to end: SIGTERM
// (the desktop session ending), SIGINT (Ctrl+C in a terminal) or SIGHUP (the terminal closed),
// unless the signal was ignored when the program started (SIGHUP under nohup).
// What follows the loop then runs (the cover file removed, the idle inhibit and the bus name
// released) instead of being skipped by the signal's default end. The handlers are installed for
// as long as the object lives; one at a time per process.
class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

 private:
  void InstallHandlers();
  void RestoreHandlers();
  void Received();

  // SIGTERM, SIGINT, SIGHUP.
  static constexpr int kSignalCount = 3;

  int pipe_[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_[kSignalCount] = {};
};

}  // namespace orvelle
