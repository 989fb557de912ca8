#include "toolkit/message_box.h"

#include "service/log.h"
#include "toolkit/application.h"
#include "toolkit/form.h"

#include <QApplication>
#include <QPointer>

namespace orvelle {
namespace {

// The program's message box that is open, if any.
QPointer<QMessageBox>& OpenBox() {
  static QPointer<QMessageBox> box;
  return box;
}

}  // namespace

bool MessageBoxOpen() { return !OpenBox().isNull(); }

void MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                QMessageBox::StandardButtons buttons) {
  // One box at a time: a failure that repeats (a picture that cannot be had at every load) must
  // not stack up boxes. It is logged instead, and its caller goes on.
  if (MessageBoxOpen()) {
    qCWarning(lcUi).noquote() << "message box not shown, another one is open:" << text;
    return;
  }
  qCWarning(lcUi).noquote() << "message box shown:" << text;
  if (!parent) parent = Application::MainForm();
  auto* box = new QMessageBox(icon, caption.isEmpty() ? Application::Title() : caption, text, buttons, parent);
  box->setTextFormat(Qt::PlainText);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Modal to its own window only; without a window (at start-up) to the application.
  box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
  OpenBox() = box;
  // Closed is no longer open, though the box itself goes a moment later.
  QObject::connect(box, &QDialog::finished, [] { OpenBox() = nullptr; });
  box->open();
}

void ShowMessage(const QString& text) { MessageBox(nullptr, QMessageBox::NoIcon, QString(), text, QMessageBox::Ok); }

}  // namespace orvelle
