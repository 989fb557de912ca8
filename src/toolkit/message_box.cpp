#include "toolkit/message_box.h"

#include "toolkit/application.h"

#include <QApplication>

namespace orvelle {

QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons) {
  if (!parent) parent = QApplication::activeWindow();
  QMessageBox box(icon, caption.isEmpty() ? Application::Title() : caption, text, buttons, parent);
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  const int result = box.exec();
  return static_cast<QMessageBox::StandardButton>(result);
}

void ShowMessage(const QString& text) { MessageBox(nullptr, QMessageBox::NoIcon, QString(), text, QMessageBox::Ok); }

}  // namespace orvelle
