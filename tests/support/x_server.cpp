#include "x_server.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace orvelle::test {

namespace {

// Windows vanish between a look at the tree and a look at their properties; such errors are
// expected and ignored.
int IgnoreXError(::Display*, XErrorEvent*) { return 0; }

}  // namespace

struct XServer::Connection {
  ::Display* display = nullptr;
  Window root = 0;

  void Drain() {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
  }

  std::optional<unsigned long> Property32(Window window, const char* name, Atom type) {
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, type, &actual_type,
                           &actual_format, &count, &after, &data) == Success &&
        actual_type == type && actual_format == 32 && count == 1) {
      // Xlib hands 32-bit properties over as longs.
      value = *reinterpret_cast<unsigned long*>(data);
    }
    if (data) XFree(data);
    return value;
  }

  std::string Title(Window window) {
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 256, False, utf8,
                           &actual_type, &actual_format, &count, &after, &data) == Success &&
        actual_type == utf8 && actual_format == 8 && data) {
      title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data) XFree(data);
    if (!title.empty()) return title;
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
      title = name;
      XFree(name);
    }
    return title;
  }

  void Collect(Window parent, pid_t pid, const char* title, int depth, std::vector<Window>& found) {
    Window root_of = 0, parent_of = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root_of, &parent_of, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
      const Window window = children[i];
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) continue;
      if (Property32(window, "_NET_WM_PID", XA_CARDINAL) == static_cast<unsigned long>(pid) && Title(window) == title) {
        found.push_back(window);
      } else if (depth < 3) {
        Collect(window, pid, title, depth + 1, found);
      }
    }
    if (children) XFree(children);
  }

  std::optional<Window> Search(Window parent, pid_t pid, const char* title, int depth) {
    Window root_of = 0, parent_of = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root_of, &parent_of, &children, &count)) return std::nullopt;
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
      const Window window = children[i];
      XWindowAttributes attributes;
      if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) continue;
      if (Property32(window, "_NET_WM_PID", XA_CARDINAL) == static_cast<unsigned long>(pid) && Title(window) == title) {
        found = window;
      } else if (depth < 3) {
        // A frame of the window manager holds the client window.
        found = Search(window, pid, title, depth + 1);
      }
    }
    if (children) XFree(children);
    return found;
  }
};

XServer::XServer() : connection_(new Connection) {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return;
  ::Display* display = XOpenDisplay(nullptr);
  if (!display) return;
  int event_base = 0, error_base = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
    XCloseDisplay(display);
    return;
  }
  XSetErrorHandler(IgnoreXError);
  connection_->display = display;
  connection_->root = DefaultRootWindow(display);
  // Frames appearing, being mapped and going are reported here; a new look at the tree follows.
  XSelectInput(display, connection_->root, SubstructureNotifyMask);
  XSync(display, False);
}

XServer::~XServer() {
  if (connection_->display) XCloseDisplay(connection_->display);
  delete connection_;
}

bool XServer::Available() const { return connection_->display != nullptr; }

bool XServer::WindowManagerRunning() {
  if (!Available()) return false;
  const std::optional<unsigned long> check =
      connection_->Property32(connection_->root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  return check && connection_->Property32(*check, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) == check;
}

std::optional<XServer::WindowId> XServer::FindWindow(pid_t pid, const char* title) {
  if (!Available()) return std::nullopt;
  connection_->Drain();
  return connection_->Search(connection_->root, pid, title, 0);
}

int XServer::CountWindows(pid_t pid, const char* title) {
  if (!Available()) return 0;
  connection_->Drain();
  std::vector<Window> found;
  connection_->Collect(connection_->root, pid, title, 0, found);
  return static_cast<int>(found.size());
}

std::optional<std::pair<XServer::WindowId, XServer::Clock::time_point>> XServer::WaitForWindow(
    pid_t pid, const char* title, Clock::time_point deadline) {
  if (!Available()) return std::nullopt;
  while (true) {
    if (const std::optional<WindowId> window = FindWindow(pid, title)) return std::make_pair(*window, Clock::now());
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd ready{ConnectionNumber(connection_->display), POLLIN, 0};
    poll(&ready, 1, static_cast<int>(std::min<long long>(left, 20)));
  }
}

XServer::Geometry XServer::GeometryOf(WindowId window) {
  Geometry geometry;
  XWindowAttributes attributes;
  if (!Available() || !XGetWindowAttributes(connection_->display, window, &attributes)) return geometry;
  Window child = 0;
  XTranslateCoordinates(connection_->display, window, connection_->root, 0, 0, &geometry.x, &geometry.y, &child);
  geometry.width = attributes.width;
  geometry.height = attributes.height;
  return geometry;
}

bool XServer::AcceptsDeleteRequests(WindowId window) {
  if (!Available()) return false;
  Atom* protocols = nullptr;
  int count = 0;
  bool found = false;
  if (XGetWMProtocols(connection_->display, window, &protocols, &count)) {
    const Atom wanted = XInternAtom(connection_->display, "WM_DELETE_WINDOW", False);
    for (int i = 0; i < count; ++i) found = found || protocols[i] == wanted;
    XFree(protocols);
  }
  return found;
}

void XServer::RequestClose(WindowId window) {
  if (!Available()) return;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(connection_->display, "_NET_CLOSE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = CurrentTime;
  event.xclient.data.l[1] = 2;  // source indication: a direct action of the user (a pager)
  XSendEvent(connection_->display, connection_->root, False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XSync(connection_->display, False);
}

void XServer::MoveTo(int x, int y) {
  if (!Available()) return;
  XTestFakeMotionEvent(connection_->display, -1, x, y, CurrentTime);
  XSync(connection_->display, False);
}

void XServer::Press() {
  if (!Available()) return;
  XTestFakeButtonEvent(connection_->display, 1, True, CurrentTime);
  XSync(connection_->display, False);
}

void XServer::Release() {
  if (!Available()) return;
  XTestFakeButtonEvent(connection_->display, 1, False, CurrentTime);
  XSync(connection_->display, False);
}

void XServer::TypeKey(const char* keysym, bool control) {
  if (!Available()) return;
  ::Display* display = connection_->display;
  const KeyCode key = XKeysymToKeycode(display, XStringToKeysym(keysym));
  const KeyCode control_key = XKeysymToKeycode(display, XK_Control_L);
  if (control) XTestFakeKeyEvent(display, control_key, True, CurrentTime);
  XTestFakeKeyEvent(display, key, True, CurrentTime);
  XTestFakeKeyEvent(display, key, False, CurrentTime);
  if (control) XTestFakeKeyEvent(display, control_key, False, CurrentTime);
  XSync(display, False);
}

std::vector<unsigned long> XServer::Pixels(WindowId window, int x, int y, int width, int height) {
  std::vector<unsigned long> pixels;
  if (!Available()) return pixels;
  XImage* image = XGetImage(connection_->display, window, x, y, width, height, AllPlanes, ZPixmap);
  if (!image) return pixels;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) pixels.push_back(XGetPixel(image, column, row));
  }
  XDestroyImage(image);
  return pixels;
}

}  // namespace orvelle::test
