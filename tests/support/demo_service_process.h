#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace orvelle::test {

// The demo service program (the path the test target defines as ORVELLE_DEMO_SERVICE), started
// with the given arguments; its first output lines are read as they come. Stopped with SIGTERM
// when the object goes.
class ServiceProcess {
 public:
  explicit ServiceProcess(std::vector<std::string> arguments) {
    // Everything the child needs is made before fork: the test process has threads, and the
    // child may only make async-signal-safe calls.
    std::string program = ORVELLE_DEMO_SERVICE;
    std::vector<char*> argv{program.data()};
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
  }

  ~ServiceProcess() {
    stop();
    if (output_ >= 0) close(output_);
  }

  // The next line of output, or an empty text after 20 seconds without one.
  std::string readLine() {
    std::string line;
    char c = 0;
    while (true) {
      pollfd ready{output_, POLLIN, 0};
      if (poll(&ready, 1, 20000) != 1 || read(output_, &c, 1) != 1) return {};
      if (c == '\n') return line;
      line += c;
    }
  }

  // Sends SIGTERM and returns the exit status (-1 when it did not exit normally).
  int stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

}  // namespace orvelle::test
