#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <ostream>

class QWidget;

// GoogleTest prints colours in failure messages as #AARRGGBB (rgb(r, g, b, a)).
void PrintTo(const QColor& color, std::ostream* os);

namespace orvelle::test {

// Saves the process-wide theme on construction and restores it when it goes out of scope, so a
// test that switches the theme cannot leak it into the next one. A test (or fixture) that calls
// TrySetStyle or ClearStyle holds one.
class ScopedTheme {
 public:
  ScopedTheme();
  ~ScopedTheme();
  ScopedTheme(const ScopedTheme&) = delete;
  ScopedTheme& operator=(const ScopedTheme&) = delete;

 private:
  QString saved_;  // the active theme's name; empty for the default look
};

// The control's pixels as they appear in its window, composed over its parent and the siblings
// below it: the window rendered and cropped to the control's rectangle. (A transparent control's
// own grab() shows only what it draws.)
QImage GrabAsShown(QWidget* control);

}  // namespace orvelle::test
