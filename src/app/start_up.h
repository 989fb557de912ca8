#pragma once

#include "app/main_window.h"
#include "app/notice_window.h"

#include <QIcon>

#include <memory>

namespace orvelle {

// The program's two windows, created at start-up and destroyed together at exit (the main
// window first, so that its player stops before anything else goes).
struct ProgramWindows {
  std::unique_ptr<NoticeWindow> notice_window;
  std::unique_ptr<MainWindow> main_window;
};

// The program's icon in the sizes compiled in, which every window shows.
QIcon ProgramIcon();

// Start-up up to the event loop: the fonts, the windows' icon, the main window's task-bar button,
// the theme "Glow" (a missing theme shows its error box and the program goes on with the default
// look), the main window from its layout (its creation runs FormCreate) and the notice window,
// hidden. With `settings`, the main window takes the listener's channel and volume back from them
// when it is first shown, and remembers them there (see MainWindow::SetListenerSettings).
ProgramWindows CreateProgramWindows(MediaPlayerFactory make_player, ListenerSettings* settings = nullptr);

// The whole program: start-up with the listener's settings file (ListenerSettings::DefaultPath()),
// the main window on the desktop's remote control (MPRIS), idle inhibit and song notifications
// (unless the settings file turns them off), then the event loop until the main window closes.
int RunProgram();

}  // namespace orvelle
