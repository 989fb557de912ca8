#pragma once

#include <QMessageBox>
#include <QString>

class QWidget;

namespace orvelle {

// Shows a message box and returns at once; the box stays until one of its buttons closes it. It
// is modal to the window it belongs to (`parent`, else the main window): that window takes no
// input meanwhile, while everything else (timers, loads, other windows, the desktop's remote
// control) goes on. Every box of the program goes through here, and only one is open at a time: a
// box asked for while another is open is not shown. Each box's text is logged at warning level
// (orvelle.ui), saying whether it was shown or not. An empty caption gives the program's title.
void MessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
                QMessageBox::StandardButtons buttons);

// Whether one of the program's message boxes is open.
bool MessageBoxOpen();

// The plain message box: the program's title as caption, no icon, an OK button.
void ShowMessage(const QString& text);

}  // namespace orvelle
