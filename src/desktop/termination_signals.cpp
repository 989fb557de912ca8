#include "desktop/termination_signals.h"

#include "service/log.h"

#include <QCoreApplication>

#include <cerrno>
#include <iterator>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace orvelle {

namespace {

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The pipe's end the signal handler writes to; -1 while no TerminationSignals lives.
volatile sig_atomic_t signal_pipe_write_end = -1;

// Only async-signal-safe calls: the signal's number goes down the pipe, the event loop reads it.
void WriteSignalToPipe(int signal_number) {
  const int saved_errno = errno;
  const unsigned char byte = static_cast<unsigned char>(signal_number);
  [[maybe_unused]] const ssize_t written = ::write(signal_pipe_write_end, &byte, 1);
  errno = saved_errno;
}

}  // namespace

// A signal ignored when the program started (SIGHUP under nohup) stays ignored.
void TerminationSignals::InstallHandlers() {
  static_assert(std::size(kTerminationSignals) == kSignalCount);
  struct sigaction action {};
  action.sa_handler = WriteSignalToPipe;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) {
    sigaction(kTerminationSignals[i], nullptr, &previous_[i]);
    if (previous_[i].sa_handler != SIG_IGN) sigaction(kTerminationSignals[i], &action, nullptr);
  }
}

void TerminationSignals::RestoreHandlers() {
  for (std::size_t i = 0; i < std::size(kTerminationSignals); ++i) sigaction(kTerminationSignals[i], &previous_[i], nullptr);
}

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    qCWarning(lcDesktop) << "A termination signal will end Orvelle without removing its cover file:"
                         << std::strerror(errno);
    return;
  }
  signal_pipe_write_end = pipe_[1];
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Received);
  InstallHandlers();
}

TerminationSignals::~TerminationSignals() {
  if (pipe_[0] < 0) return;
  RestoreHandlers();
  signal_pipe_write_end = -1;
  notifier_.reset();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void TerminationSignals::Received() {
  unsigned char byte = 0;
  while (::read(pipe_[0], &byte, 1) == 1) {
    qCInfo(lcDesktop) << "Ending on signal" << byte;
  }
  // Every running loop ends, a box's or a network wait's too, so that the program ends even then.
  QCoreApplication::exit(0);
}

}  // namespace orvelle
