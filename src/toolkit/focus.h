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

// The focus cue: whether a control with the keyboard focus shows it (a focus frame, a focused
// look). By default it always does. ShowFocusOnlyAfterKeyboard switches the whole program to the
// rule of browsers and GTK 4 (focus-visible): the cue appears once a key is pressed and goes again
// at the next pointer press, so that a window met with the pointer looks as designed.
bool ShowsFocus(const QWidget* control);
bool FocusCueVisible();
void ShowFocusOnlyAfterKeyboard();

}  // namespace orvelle
