#include "toolkit/message_box.h"

#include "service/log.h"
#include "toolkit/application.h"

#include <QApplication>

namespace orvelle {
namespace {

// Whether one of the program's message boxes is open right now. Boxes run a nested event loop in
// which timers and clicks go on; a handler running there may ask for another box.
bool& BoxOpenFlag() {
  static bool open = false;
  return open;
}

// The button a suppressed box answers with: the one a listener closing it with its only or
// first button would give.
QMessageBox::StandardButton FirstButtonOf(QMessageBox::StandardButtons buttons) {
  for (unsigned bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
    if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit))) {
      return static_cast<QMessageBox::StandardButton>(bit);
    }
  }
  return QMessageBox::NoButton;
}

}  // namespace

bool MessageBoxOpen() { return BoxOpenFlag(); }

QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons) {
  // One box at a time: a box asked for inside an open one would nest another event loop, in
  // which the same failure can ask for yet another box, without end. It is logged instead and
  // its caller goes on as if it had been closed.
  if (BoxOpenFlag()) {
    qCWarning(lcUi).noquote() << "message box not shown, another one is open:" << text;
    return FirstButtonOf(buttons);
  }
  qCWarning(lcUi).noquote() << "message box shown:" << text;
  if (!parent) parent = QApplication::activeWindow();
  QMessageBox box(icon, caption.isEmpty() ? Application::Title() : caption, text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  BoxOpenFlag() = true;
  struct ClearOnExit {
    ~ClearOnExit() { BoxOpenFlag() = false; }
  } clear;
  const int result = box.exec();
  return static_cast<QMessageBox::StandardButton>(result);
}

void ShowMessage(const QString& text) { MessageBox(nullptr, QMessageBox::NoIcon, QString(), text, QMessageBox::Ok); }

}  // namespace orvelle
