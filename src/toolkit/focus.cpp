#include "toolkit/focus.h"

#include "service/error.h"

#include <QWidget>

namespace orvelle {

bool CanFocus(const QWidget* control) {
  return control && control->window()->isVisible() && control->isVisible() && control->isEnabled();
}

void SetFocus(QWidget* control) {
  if (!CanFocus(control)) throw Error(QStringLiteral("Cannot focus a disabled or invisible window"));
  QWidget* window = control->window();
  if (!window->isActiveWindow()) window->activateWindow();
  control->setFocus(Qt::OtherFocusReason);
}

bool Focused(const QWidget* control) { return control && control->window()->focusWidget() == control; }

QWidget* ActiveControl(const QWidget* window) { return window ? window->focusWidget() : nullptr; }

}  // namespace orvelle
