// A second application for the window-system tests: shows a plain window at the screen rectangle
// given as "x y width height", writes "ready" to standard output once the window is shown, and
// runs until its standard input closes. A press in its window activates it (on a server without
// a window manager Qt does that itself), as a press in any other application's window would.
#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 5) {
    std::fprintf(stderr, "usage: other_app X Y WIDTH HEIGHT\n");
    return 2;
  }
  QWidget window;
  window.setWindowTitle(QStringLiteral("Another application"));
  window.setGeometry(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  window.show();
  QTimer::singleShot(200, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[64];
    if (read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  return app.exec();
}
