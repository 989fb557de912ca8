#pragma once

// A window of the main window's face colour under the Glow theme, holding one control at the size
// the main window gives it, so that a transparent kit control and its plain Qt counterpart are
// both composed over the same parent.
#include "toolkit/application.h"
#include "toolkit/form.h"
#include "toolkit/theme.h"

#include <QCoreApplication>
#include <QWidget>

namespace orvelle::bench {

class BenchWindow {
 public:
  BenchWindow() {
    Application::RegisterFonts();
    TrySetStyle(QStringLiteral("Glow"));
    form_.SetClientWidth(420);
    form_.SetClientHeight(120);
  }
  ~BenchWindow() { ClearStyle(); }

  // Places the control, shows the window and lets the first expose happen (before it a repaint
  // draws nothing).
  void Hold(QWidget* control, int width, int height) {
    control->setParent(&form_);
    control->setGeometry(10, 10, width, height);
    form_.show();
    QCoreApplication::processEvents();
  }

 private:
  Form form_;
};

}  // namespace orvelle::bench
