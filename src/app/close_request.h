#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

class QWidget;

namespace orvelle {

// Hears every request to close the window, also while a message box holds its input.
//
// A window whose input a modal box holds drops the window manager's close before it becomes an
// event, and its shortcuts do not reach it while the box has the keyboard: the close would be
// lost. This filter sees the window manager's WM_DELETE_WINDOW for the window on X11 before
// that, and Ctrl+Q typed into a box of the program, and calls `close` for them while the window
// is blocked (unblocked, the window's own close and shortcut do the work).
class CloseRequests : public QObject, public QAbstractNativeEventFilter {
 public:
  CloseRequests(QWidget& window, std::function<void()> close);
  ~CloseRequests() override;

  bool nativeEventFilter(const QByteArray& event_type, void* message, qintptr* result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool WindowBlocked() const;
  bool IsDeleteRequestForWindow(const void* event) const;

  QWidget& window_;
  std::function<void()> close_;
  unsigned protocols_atom_ = 0;
  unsigned delete_atom_ = 0;
};

}  // namespace orvelle
