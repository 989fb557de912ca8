#pragma once

#include "app/form1.h"
#include "app/form2.h"

#include <memory>

namespace orvelle {

// The program's two windows, created at start-up and destroyed together at exit (the main
// window first, so that its player stops before anything else goes).
struct ProgramWindows {
  std::unique_ptr<TForm2> form2;
  std::unique_ptr<TForm1> form1;
};

// Start-up up to the event loop: the fonts, the main window's task-bar button, the theme "Glow"
// (a missing theme shows its error box and the program goes on with the default look), Form1
// from its layout (it becomes the main window; its creation runs FormCreate) and Form2, hidden.
ProgramWindows CreateProgramWindows(PlayState& state, MediaPlayerFactory make_player);

// The whole program: start-up, the main window on the desktop's remote control (MPRIS) and idle
// inhibit, then the event loop until the main window closes.
int RunProgram();

}  // namespace orvelle
