#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace orvelle {

// Shows a modal message box and runs its nested event loop until it is closed (timers, clicks
// and other handlers keep running meanwhile). An empty caption gives the program's title.
// Returns the button that closed the box.
QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons);

// The plain message box: the program's title as caption, no icon, an OK button.
void ShowMessage(const QString& text);

}  // namespace orvelle
