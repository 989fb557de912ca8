// CPU time of the whole process while the cover disc turns in an otherwise idle window under the
// offscreen platform, measured with getrusage, against the same window with the disc standing
// still. Usage: bench_disc_idle [seconds turning, default 20] [seconds still, default 5]
// With QT_QPA_PLATFORM=xcb on an X server (tests/support/run-with-xvfb bench_disc_idle) the turning
// steps are copies of frames the X server keeps, as in the program on a desktop.
#include "disc_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

// User and system time as getrusage reports it.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The scheduler's exact count of the process's running time: a cross-check, since the kernel
// may sample getrusage's times at its clock tick, which short bursts of work can fall between.
double SchedulerSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

struct Phase {
  double cpu_percent;
  double scheduler_percent;
  int ticks;
};

// Runs the event loop for the given time and returns the CPU time it took, in percent of one
// core, and how many turning steps happened.
Phase RunFor(orvelle::TscGPImage& disc, int seconds) {
  int ticks = 0;
  QMetaObject::Connection counter;
  if (disc.AnimationTimer()) counter = QObject::connect(disc.AnimationTimer(), &QTimer::timeout, [&] { ++ticks; });
  const auto wall_start = std::chrono::steady_clock::now();
  const double cpu_start = CpuSeconds();
  const double scheduler_start = SchedulerSeconds();
  // A loop of its own: quitting the application's loop would close the window.
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const double cpu = CpuSeconds() - cpu_start;
  const double scheduler = SchedulerSeconds() - scheduler_start;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall_start).count();
  QObject::disconnect(counter);
  return {100.0 * cpu / wall, 100.0 * scheduler / wall, ticks};
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int turning_seconds = argc > 1 ? std::atoi(argv[1]) : 20;
  const int still_seconds = argc > 2 ? std::atoi(argv[2]) : 5;

  orvelle::bench::DiscWindow window;
  const Phase still = RunFor(*window.disc, still_seconds);
  window.disc->SetRotateAnimation(true);
  const Phase turning = RunFor(*window.disc, turning_seconds);
  if (!window.form.isVisible()) {
    std::fprintf(stderr, "the window was closed during the measurement\n");
    return 1;
  }

  std::printf("still:   %5.2f %% of one core over %d s (scheduler clock %5.2f %%)\n", still.cpu_percent, still_seconds,
              still.scheduler_percent);
  std::printf("turning: %5.2f %% of one core over %d s (scheduler clock %5.2f %%), %d steps (%.1f per second)\n",
              turning.cpu_percent, turning_seconds, turning.scheduler_percent, turning.ticks,
              static_cast<double>(turning.ticks) / turning_seconds);
  return 0;
}
