// orvelle-screenshot OUTPUT.png [--settle-ms N] [--play-seconds N] [--handler NAME]... [--setting KEY=VALUE]...
//
// Starts Orvelle's two windows exactly as the program does (against ORVELLE_SERVICE_URL), and
// once the first song's title is shown waits --settle-ms (default 2500, the disc turning), saves
// the main window's pixels to OUTPUT.png at the screen's scale, and prints:
//   title shown after <ms> ms since process start
//   resident memory after <s> s of playing: <KiB> KiB       (with --play-seconds)
// Each --handler NAME runs that handler of the main window (lyricsButtonClick opens the lyrics panel,
// singerLabelMouseEnter shows the singer's picture) right after the title is shown. Each
// --setting KEY=VALUE is a line of a settings file of its own that the windows start from, as from
// an earlier run (channel=3 starts on that channel, lyrics_size=40 shows the lyrics at 40 pixels).
// Exits 1 when no title is shown within 30 seconds.

#include "app/start_up.h"
#include "desktop/listener_settings.h"
#include "toolkit/application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Milliseconds since this process started, from the kernel's start time and uptime.
long long MillisecondsSinceProcessStart() {
  QFile stat(QStringLiteral("/proc/self/stat"));
  QFile uptime(QStringLiteral("/proc/uptime"));
  if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly)) return -1;
  const QByteArray line = stat.readAll();
  // Fields after the command name (which may hold spaces) start after the last ')'.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  const double start_ticks = fields.value(19).toDouble();  // field 22: starttime
  const double now_seconds = uptime.readAll().split(' ').value(0).toDouble();
  return static_cast<long long>((now_seconds - start_ticks / sysconf(_SC_CLK_TCK)) * 1000.0);
}

long long ResidentKiB() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLongLong();
  }
  return -1;
}

int ArgumentAfter(const QStringList& arguments, const QString& name, int fallback) {
  const int at = arguments.indexOf(name);
  return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : fallback;
}

// The values after each occurrence of `name`.
QStringList ArgumentsAfter(const QStringList& arguments, const QString& name) {
  QStringList values;
  for (int i = arguments.indexOf(name); i >= 0 && i + 1 < arguments.size(); i = arguments.indexOf(name, i + 1)) {
    values << arguments.at(i + 1);
  }
  return values;
}

// Settings read from a file in `folder` that holds the given lines; none without lines.
std::unique_ptr<orvelle::ListenerSettings> SettingsOf(const QStringList& lines, const QTemporaryDir& folder) {
  if (lines.isEmpty()) return nullptr;
  const QString path = folder.filePath(QStringLiteral("orvelle.conf"));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return nullptr;
  file.write((lines.join(u'\n') + u'\n').toUtf8());
  file.close();
  return std::make_unique<orvelle::ListenerSettings>(path);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  const QStringList arguments = QApplication::arguments();
  if (arguments.size() < 2) {
    std::fprintf(stderr,
                 "usage: orvelle-screenshot OUTPUT.png [--settle-ms N] [--play-seconds N] [--handler NAME]... "
                 "[--setting KEY=VALUE]...\n");
    return 2;
  }
  const QString output = arguments.at(1);
  const int settle_ms = ArgumentAfter(arguments, QStringLiteral("--settle-ms"), 2500);
  const int play_seconds = ArgumentAfter(arguments, QStringLiteral("--play-seconds"), 0);

  const QTemporaryDir settings_folder;
  const std::unique_ptr<orvelle::ListenerSettings> settings =
      SettingsOf(ArgumentsAfter(arguments, QStringLiteral("--setting")), settings_folder);
  orvelle::ProgramWindows windows =
      orvelle::CreateProgramWindows(orvelle::MakeProgramMediaPlayer, settings.get());
  orvelle::MainWindow* main_window = windows.main_window.get();
  int exit_code = 0;

  auto finish = [&] {
    if (play_seconds > 0) {
      std::printf("resident memory after %d s of playing: %lld KiB\n", play_seconds, ResidentKiB());
    }
    main_window->close();
  };
  auto take_shot = [&] {
    const QPixmap shot = main_window->grab();
    if (!shot.save(output)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
      exit_code = 1;
    }
    std::printf("saved %s (%dx%d pixels)\n", qPrintable(output), shot.width(), shot.height());
    std::fflush(stdout);
    QTimer::singleShot(std::max(0, play_seconds * 1000 - settle_ms), finish);
  };

  QTimer poll;
  QElapsedTimer waited;
  waited.start();
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (!main_window->titleLabel->Caption().isEmpty() && main_window->State().audio_playing) {
      poll.stop();
      std::printf("title shown after %lld ms since process start: %s\n", MillisecondsSinceProcessStart(),
                  qPrintable(main_window->titleLabel->Caption()));
      std::fflush(stdout);
      for (const QString& name : ArgumentsAfter(arguments, QStringLiteral("--handler"))) {
        const QByteArray handler = name.toLatin1();
        if (!QMetaObject::invokeMethod(main_window, handler.constData(), Q_ARG(QObject*, main_window))) {
          std::fprintf(stderr, "no handler %s\n", handler.constData());
        }
      }
      QTimer::singleShot(settle_ms, take_shot);
    } else if (waited.elapsed() > 30000) {
      std::fprintf(stderr, "no song title shown within 30 s\n");
      exit_code = 1;
      poll.stop();
      main_window->close();
    }
  });
  poll.start(10);

  orvelle::Application::Run();
  windows.main_window.reset();
  windows.notice_window.reset();
  return exit_code;
}
