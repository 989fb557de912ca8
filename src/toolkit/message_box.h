#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace orvelle {

// Shows a modal message box and runs its nested event loop until it is closed (timers, clicks
// and other handlers keep running meanwhile). An empty caption gives the program's title.
// Returns the button that closed the box. Every box of the program goes through here, and only
// one is open at a time: a box asked for while another is open is not shown, and the call
// returns at once with the first of `buttons`. Each box's text is logged at warning level
// (orvelle.ui), saying whether it was shown or not.
QMessageBox::StandardButton MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                                       const QString& text, QMessageBox::StandardButtons buttons);

// Whether one of the program's message boxes is open.
bool MessageBoxOpen();

// The plain message box: the program's title as caption, no icon, an OK button.
void ShowMessage(const QString& text);

}  // namespace orvelle
