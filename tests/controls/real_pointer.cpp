#include "real_pointer.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace orvelle::test {

struct RealPointer::Display {
  ::Display* x = nullptr;
};

RealPointer::RealPointer() : display_(new Display) {
  display_->x = XOpenDisplay(nullptr);
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (display_->x && !XTestQueryExtension(display_->x, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(display_->x);
    display_->x = nullptr;
  }
}

RealPointer::~RealPointer() {
  if (display_->x) XCloseDisplay(display_->x);
}

bool RealPointer::Available() const { return display_->x != nullptr; }

void RealPointer::MoveTo(const QPoint& global) {
  if (!display_->x) return;
  XTestFakeMotionEvent(display_->x, -1, global.x(), global.y(), CurrentTime);
  XSync(display_->x, False);
}

void RealPointer::Press(int button) {
  if (!display_->x) return;
  XTestFakeButtonEvent(display_->x, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display_->x, False);
}

void RealPointer::Release(int button) {
  if (!display_->x) return;
  XTestFakeButtonEvent(display_->x, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display_->x, False);
}

QRect RealPointer::TopLevelWindowAt(const QPoint& global) const {
  if (!display_->x) return {};
  const Window root = DefaultRootWindow(display_->x);
  int x = 0, y = 0;
  Window child = 0;
  if (!XTranslateCoordinates(display_->x, root, root, global.x(), global.y(), &x, &y, &child) || !child) return {};
  Window child_root = 0;
  unsigned width = 0, height = 0, border = 0, depth = 0;
  if (!XGetGeometry(display_->x, child, &child_root, &x, &y, &width, &height, &border, &depth)) return {};
  return QRect(x, y, static_cast<int>(width), static_cast<int>(height));
}

}  // namespace orvelle::test
