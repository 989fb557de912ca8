#include "app/start_up.h"

#include "app/song_notifications.h"
#include "desktop/desktop_integration.h"
#include "desktop/termination_signals.h"

#include "toolkit/application.h"
#include "toolkit/theme.h"

#include "service/log.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>

#include <malloc.h>

namespace orvelle {

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addFile(QStringLiteral(":/desktop/window_icon/%1.png").arg(size), QSize(size, size));
  }
  return icon;
}

ProgramWindows CreateProgramWindows(MediaPlayerFactory make_player, ListenerSettings* settings) {
  // Each step's time is logged at debug level (QT_LOGGING_RULES="orvelle.ui.debug=true") for a
  // listener's "it takes long to start".
  QElapsedTimer starting;
  starting.start();
  Application::RegisterFonts();
  qCDebug(lcUi) << "start-up: fonts after" << starting.elapsed() << "ms";
  QApplication::setWindowIcon(ProgramIcon());
  Application::SetMainFormOnTaskBar(true);
  SetStyle(QStringLiteral("Glow"), true);
  qCDebug(lcUi) << "start-up: icon and theme after" << starting.elapsed() << "ms";
  ProgramWindows windows;
  windows.main_window = std::make_unique<MainWindow>(std::move(make_player));
  Application::SetMainForm(windows.main_window.get());
  windows.main_window->Load(QString::fromLatin1(MainWindow::kLayout));
  qCDebug(lcUi) << "start-up: main window loaded after" << starting.elapsed() << "ms";
  windows.notice_window = std::make_unique<NoticeWindow>();
  windows.notice_window->Load(QString::fromLatin1(NoticeWindow::kLayout));
  qCDebug(lcUi) << "start-up: notice window loaded after" << starting.elapsed() << "ms";
  windows.main_window->SetNoticeWindow(windows.notice_window.get());
  windows.main_window->SetListenerSettings(settings);
  return windows;
}

int RunProgram() {
  // Made before the windows and gone after them: the main window remembers into it until it goes.
  ListenerSettings settings;
  ProgramWindows windows = CreateProgramWindows(MakeProgramMediaPlayer, &settings);
  // What a song held (its pictures, the player's buffers) is given back to the system when the
  // next one is shown, so that the freed memory does not stay resident.
  QObject::connect(&windows.main_window->Radio(), &Radio::SongShown, [] { malloc_trim(0); });
  // The media keys, the sound menu and the idle inhibit, for as long as the main window lives.
  auto desktop = std::make_unique<DesktopIntegration>(*windows.main_window);
  // Each new song told to the desktop while the listener is in another window.
  SongNotifier notifier(QDBusConnection::sessionBus(), QStringLiteral("Orvelle"),
                        QString::fromLatin1(DesktopIntegration::kDesktopEntry));
  if (settings.NotificationsWanted()) NotifyNewSongs(*windows.main_window, notifier);
  qCDebug(lcUi) << "start-up: the desktop's services ready";
  // Asked to end from outside, the program still leaves through what follows the loop.
  const TerminationSignals termination_signals;
  const int code = Application::Run();
  // The program ends soon after its window closed; each step's time is logged at debug level
  // (QT_LOGGING_RULES="orvelle.ui.debug=true") for a listener's "it took long to end".
  QElapsedTimer ending;
  ending.start();
  desktop.reset();
  qCDebug(lcUi) << "ending: the desktop's services released after" << ending.elapsed() << "ms";
  windows.main_window.reset();
  windows.notice_window.reset();
  qCDebug(lcUi) << "ending: the windows and the player gone after" << ending.elapsed() << "ms";
  return code;
}

}  // namespace orvelle
