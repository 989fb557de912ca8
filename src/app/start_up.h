#pragma once

#include "app/main_window.h"
#include "app/notice_window.h"

#include <memory>

namespace orvelle {

// The program's two windows, created at start-up and destroyed together at exit (the main
// window first, so that its player stops before anything else goes).
struct ProgramWindows {
  std::unique_ptr<NoticeWindow> notice_window;
  std::unique_ptr<MainWindow> main_window;
};

// Start-up up to the event loop: the fonts, the main window's task-bar button, the theme "Glow"
// (a missing theme shows its error box and the program goes on with the default look), the
// main window from its layout (its creation runs FormCreate) and the notice window, hidden.
ProgramWindows CreateProgramWindows(PlayState& state, MediaPlayerFactory make_player);

// The whole program: start-up, the main window on the desktop's remote control (MPRIS) and idle
// inhibit, then the event loop until the main window closes.
int RunProgram();

}  // namespace orvelle
