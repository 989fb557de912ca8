#pragma once

class QWidget;

namespace orvelle {

// Keyboard focus helpers.

// Whether the control can take the focus: it and its window are shown and it is enabled.
bool CanFocus(const QWidget* control);
// Gives the control the keyboard focus and activates its window; throws Error("Cannot focus a
// disabled or invisible window") when it cannot take it.
void SetFocus(QWidget* control);
// Whether the control is its window's focus widget.
bool Focused(const QWidget* control);
// The control that has (or will get when its window activates) the focus in a window.
QWidget* ActiveControl(const QWidget* window);

}  // namespace orvelle
