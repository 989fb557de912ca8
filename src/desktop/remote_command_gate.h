#pragma once

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

namespace orvelle {

// Runs commands that come from outside the windows (the desktop's remote control) as the
// window's own controls would run: never inside another handler, never while one of the
// program's message boxes is open (a box is application-modal, so no button could be clicked),
// and, unless the command may interrupt a wait, never while a load waits for the network (user
// input is held then). Commands run from the event loop in the order they came, one per pass,
// each through the application's guard, so that an error shows the default error box; a
// command held only by open boxes passes those held by a waiting request.
class RemoteCommandGate : public QObject {
  Q_OBJECT

 public:
  enum class Hold {
    WhileBusy,    // held while a box is open or a request waits: what a click does
    WhileBoxOpen  // held only while a box is open: what closing the window does
  };

  // Commands held beyond this are dropped (and logged): a listener pressing a media key many
  // times during a long wait does not want all of them replayed.
  static constexpr int kMaxHeldCommands = 8;
  // How often held commands look again whether they may run.
  static constexpr int kHoldPollMilliseconds = 50;

  // `box_open` and `network_waits` tell whether a box is open and whether a request waits; the
  // defaults ask the toolkit.
  explicit RemoteCommandGate(std::function<bool()> box_open = {}, std::function<bool()> network_waits = {},
                             QObject* parent = nullptr);

  void Submit(std::function<void()> command, Hold hold = Hold::WhileBusy);
  // Commands waiting to run.
  int Pending() const { return static_cast<int>(commands_.size()); }

 private:
  struct Command {
    std::function<void()> run;
    Hold hold;
  };

  bool MayRun(const Command& command) const;
  void ScheduleNext();
  void RunNext();

  std::function<bool()> box_open_;
  std::function<bool()> network_waits_;
  std::deque<Command> commands_;
  bool scheduled_ = false;
  QTimer hold_poll_;
};

}  // namespace orvelle
