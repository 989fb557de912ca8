#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

namespace orvelle::test {

// A connection of the test's own to the X server: the window tree as the server has it, pointer
// input through the X Test extension, and requests to the window manager (EWMH). Window ids are
// the server's; the Xlib headers stay in the source file, away from Qt's and other headers.
class XServer {
 public:
  using WindowId = unsigned long;
  using Clock = std::chrono::steady_clock;

  // Nothing works (Available() is false) without an X server with the X Test extension.
  XServer();
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool Available() const;

  // A window manager that follows EWMH has put up its check window.
  bool WindowManagerRunning();

  // The viewable client window of the process `pid` with the title `title` (_NET_WM_NAME, else
  // WM_NAME), searched below the root and the window manager's frames.
  std::optional<WindowId> FindWindow(pid_t pid, const char* title);
  // How many such windows there are (a window and the message box over it share a title).
  int CountWindows(pid_t pid, const char* title);
  // Waits for that window, looking again at every change of the root's children (frames
  // appearing, mapped, going) and at least every 20 ms. Returns the window and the moment it was
  // seen.
  std::optional<std::pair<WindowId, Clock::time_point>> WaitForWindow(pid_t pid, const char* title,
                                                                     Clock::time_point deadline);

  struct Geometry {
    int x = 0, y = 0;  // the window's top left corner on the screen
    int width = 0, height = 0;
  };
  Geometry GeometryOf(WindowId window);

  // WM_DELETE_WINDOW is among the window's WM_PROTOCOLS.
  bool AcceptsDeleteRequests(WindowId window);

  // Asks the window manager to close the window, as a taskbar or pager does (_NET_CLOSE_WINDOW
  // to the root window); the window manager sends the client WM_DELETE_WINDOW. Returns once the
  // server has handled the request.
  void RequestClose(WindowId window);

  // Real pointer input (screen coordinates, the left button); each returns once the server has
  // handled it.
  void MoveTo(int x, int y);
  void Press();
  void Release();
  // Presses and lets go of the key of `keysym` (an X keysym name, "q"), with Control held when
  // asked, as the keyboard does; the window with the focus gets it.
  void TypeKey(const char* keysym, bool control);

  // The pixel values of a rectangle of the window (its own coordinates), row by row.
  std::vector<unsigned long> Pixels(WindowId window, int x, int y, int width, int height);

 private:
  struct Connection;
  Connection* connection_;
};

}  // namespace orvelle::test
