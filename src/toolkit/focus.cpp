#include "toolkit/focus.h"

#include "service/error.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
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

namespace {

// Whether the key tells that the keyboard is in use: any but a modifier held alone.
bool ShowsKeyboardUse(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_AltGr:
      return false;
    default:
      return true;
  }
}

// Watches the whole program's input: a key shows the cue, a pointer press hides it. Keys that
// only hold a modifier (a screen reader's modifier, Alt+Tab's Alt) change nothing.
class FocusCueWatcher : public QObject {
 public:
  using QObject::QObject;
  bool visible = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::KeyPress:
      case QEvent::ShortcutOverride:
        if (ShowsKeyboardUse(*static_cast<QKeyEvent*>(event))) Show(true);
        break;
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
        Show(false);
        break;
      default:
        break;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void Show(bool value) {
    if (visible == value) return;
    visible = value;
    if (QWidget* focused = QApplication::focusWidget()) focused->update();
  }
};

FocusCueWatcher* watcher = nullptr;

}  // namespace

bool FocusCueVisible() { return !watcher || watcher->visible; }

bool ShowsFocus(const QWidget* control) { return control && control->hasFocus() && FocusCueVisible(); }

void ShowFocusOnlyAfterKeyboard() {
  if (watcher || !qApp) return;
  watcher = new FocusCueWatcher(qApp);
  qApp->installEventFilter(watcher);
  QObject::connect(watcher, &QObject::destroyed, [] { watcher = nullptr; });
}

}  // namespace orvelle
