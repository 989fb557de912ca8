#include "controls/window_coverage.h"

#include "controls/x11_connection.h"
#include "service/log.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace orvelle {
namespace {

// Adds VisibilityChange to what this client asked the server to report for the window, keeping
// what Qt asked for (the same connection: one event mask).
bool AskForVisibility(xcb_connection_t* connection, std::uint32_t window) {
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
  if (!attributes) return false;
  const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_VISIBILITY_CHANGE;
  std::free(attributes);
  xcb_change_window_attributes(connection, window, XCB_CW_EVENT_MASK, &mask);
  xcb_flush(connection);
  return true;
}

}  // namespace

// The application's one filter of X events: hands each VisibilityNotify to the watches.
class VisibilityReports : public QAbstractNativeEventFilter {
 public:
  static VisibilityReports& Instance() {
    static VisibilityReports* reports = new VisibilityReports;  // lives as long as the application
    return *reports;
  }
  void Add(WindowCoverage* watch) {
    if (watches_.empty()) qGuiApp->installNativeEventFilter(this);
    watches_.push_back(watch);
  }
  void Remove(WindowCoverage* watch) {
    watches_.erase(std::remove(watches_.begin(), watches_.end(), watch), watches_.end());
    if (watches_.empty() && qGuiApp) qGuiApp->removeNativeEventFilter(this);
  }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_VISIBILITY_NOTIFY) return false;
    const auto* visibility = static_cast<const xcb_visibility_notify_event_t*>(message);
    const bool obscured = visibility->state == XCB_VISIBILITY_FULLY_OBSCURED;
    // A watch may go while reporting (a handler deleting a control).
    const std::vector<WindowCoverage*> watches = watches_;
    for (WindowCoverage* watch : watches) {
      if (std::find(watches_.begin(), watches_.end(), watch) != watches_.end()) watch->Report(visibility->window, obscured);
    }
    return false;  // Qt may have its own use for it
  }

 private:
  std::vector<WindowCoverage*> watches_;
};

WindowCoverage::WindowCoverage(QWidget* control) : control_(control) {}

WindowCoverage::~WindowCoverage() {
  if (window_) VisibilityReports::Instance().Remove(this);
}

void WindowCoverage::Watch() {
  const QWidget* native = control_->nativeParentWidget();
  xcb_connection_t* connection = X11Connection();
  if (!native || !native->internalWinId() || !connection) return;
  const auto window = static_cast<std::uint32_t>(native->internalWinId());
  if (window == window_) return;
  if (!AskForVisibility(connection, window)) {
    qCWarning(lcUi) << "the X server does not say when the window is covered";
    return;
  }
  if (!window_) VisibilityReports::Instance().Add(this);
  window_ = window;
  covered_ = false;
}

void WindowCoverage::Report(std::uint32_t window, bool fully_obscured) {
  if (window != window_ || fully_obscured == covered_) return;
  covered_ = fully_obscured;
  qCDebug(lcUi) << (covered_ ? "window fully covered" : "window seen again");
  emit CoveredChanged(covered_);
}

}  // namespace orvelle
