#include "kit_test_support.h"

#include "toolkit/theme.h"

#include <QWidget>

void PrintTo(const QColor& color, std::ostream* os) {
  *os << color.name(QColor::HexArgb).toStdString() << " rgb(" << color.red() << ", " << color.green() << ", "
      << color.blue() << ", " << color.alpha() << ")";
}

namespace orvelle::test {

ScopedTheme::ScopedTheme() {
  if (const Theme* theme = ActiveTheme()) saved_ = theme->Name();
}

ScopedTheme::~ScopedTheme() {
  const Theme* active = ActiveTheme();
  if (saved_.isEmpty()) {
    ClearStyle();
  } else if (!active || active->Name() != saved_) {
    TrySetStyle(saved_);
  }
}

QImage GrabAsShown(QWidget* control) {
  QWidget* window = control->window();
  const QRect area(control->mapTo(window, QPoint(0, 0)), control->size());
  return window->grab(area).toImage();
}

}  // namespace orvelle::test
