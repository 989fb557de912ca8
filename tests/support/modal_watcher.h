#pragma once

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace orvelle::test {

// Watches for modal message boxes while a test runs a nested event loop: records what each box
// shows and closes it with its first button once `ready_to_close` agrees.
class ModalWatcher {
 public:
  struct Box {
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QList<QMessageBox::StandardButton> buttons;
  };

  explicit ModalWatcher(std::function<bool()> ready_to_close = [] { return true; })
      : ready_to_close_(std::move(ready_to_close)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }

  const QList<Box>& Seen() const { return seen_; }

  // Boxes return at once: lets the event loop run until the open box has been seen and closed.
  bool Settle(int milliseconds = 5000) {
    QElapsedTimer clock;
    clock.start();
    do {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (QApplication::activeModalWidget() && clock.elapsed() < milliseconds);
    return !QApplication::activeModalWidget();
  }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (box != current_) {
      current_ = box;
      Box seen{box->windowTitle(), box->text(), box->icon(), {}};
      for (QAbstractButton* button : box->buttons()) seen.buttons.append(box->standardButton(button));
      seen_.append(seen);
    }
    if (ready_to_close_() && !box->buttons().isEmpty()) box->buttons().first()->click();
  }

  std::function<bool()> ready_to_close_;
  QTimer timer_;
  QPointer<QMessageBox> current_;
  QList<Box> seen_;
};

}  // namespace orvelle::test
