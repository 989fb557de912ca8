#include "app/start_up.h"

#include "desktop/desktop_integration.h"
#include "desktop/termination_signals.h"

#include "toolkit/application.h"
#include "toolkit/theme.h"

namespace orvelle {

ProgramWindows CreateProgramWindows(PlayState& state, MediaPlayerFactory make_player) {
  Application::RegisterFonts();
  Application::SetMainFormOnTaskBar(true);
  SetStyle(QStringLiteral("Glow"), true);
  ProgramWindows windows;
  windows.form1 = std::make_unique<TForm1>(state, std::move(make_player));
  Application::SetMainForm(windows.form1.get());
  windows.form1->Load(QString::fromLatin1(TForm1::kLayout));
  windows.form2 = std::make_unique<TForm2>();
  windows.form2->Load(QString::fromLatin1(TForm2::kLayout));
  windows.form1->SetNoticeWindow(windows.form2.get());
  return windows;
}

int RunProgram() {
  ProgramWindows windows = CreateProgramWindows(ProgramPlayState(), MakeProgramMediaPlayer);
  // The media keys, the sound menu and the idle inhibit, for as long as the main window lives.
  auto desktop = std::make_unique<DesktopIntegration>(*windows.form1);
  // Asked to end from outside, the program still leaves through what follows the loop.
  const TerminationSignals termination_signals;
  const int code = Application::Run();
  desktop.reset();
  windows.form1.reset();
  windows.form2.reset();
  return code;
}

}  // namespace orvelle
