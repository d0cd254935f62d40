// Runs test code in a child process placed in a chosen terminal setting, so
// that console calls, which change process-wide state (the standard streams,
// the console), never touch the test runner itself. Linux only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

enum class TerminalSetting {
  // A new session with no controlling terminal; stdio on /dev/null.
  None,
  // The pseudo-terminal is the controlling terminal, but stdio is on
  // /dev/null: a process started from a terminal with its streams redirected.
  ControllingOnly,
  // The pseudo-terminal is the controlling terminal and stdio, as in a shell.
  OnStandardStreams,
};

class TerminalChild {
 public:
  // Starts `body` in a child on a terminal of `columns` x `rows`; its return
  // value is the child's exit code. The size is set before the child exists,
  // so whatever the child reads of it does not depend on which process runs
  // first. Returns false if no pseudo-terminal or process could be made.
  bool start(TerminalSetting setting, const std::function<int()>& body, unsigned short columns = 80,
             unsigned short rows = 24) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return false;
    const winsize size = {rows, columns, 0, 0};
    if (ioctl(master_, TIOCSWINSZ, &size) != 0) return false;
    const std::string slavePath = ptsname(master_);
    // Output still buffered in the runner must not be written twice.
    std::fflush(nullptr);
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) _exit(runChild(setting, slavePath, body));
    return true;
  }

  // Reads what the child writes to the terminal until `expected` has arrived
  // or the terminal is closed; all output so far is kept in output().
  bool waitFor(const std::string& expected) {
    while (output_.find(expected) == std::string::npos) {
      pollfd ready = {master_, POLLIN, 0};
      // A generous bound so that a broken child fails the test instead of
      // hanging it; no timing is asserted.
      if (poll(&ready, 1, 60000) <= 0) return false;
      char chunk[256];
      const ssize_t count = read(master_, chunk, sizeof chunk);
      if (count <= 0) return false;
      output_.append(chunk, static_cast<std::size_t>(count));
    }
    return true;
  }

  void type(const std::string& text) {
    if (write(master_, text.data(), text.size()) < 0) output_ += "<write failed>";
  }

  // The child's exit code, or -1 if it did not exit normally.
  int finish() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) {
      pid_ = -1;
      return WEXITSTATUS(status);
    }
    return -1;
  }

  const std::string& output() const { return output_; }

  ~TerminalChild() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (master_ >= 0) close(master_);
  }

 private:
  static int runChild(TerminalSetting setting, const std::string& slavePath,
                      const std::function<int()>& body) {
    if (setsid() < 0) return 101;
    const int nowhere = open("/dev/null", O_RDWR);
    if (nowhere < 0) return 102;
    int standard = nowhere;
    if (setting != TerminalSetting::None) {
      // The first terminal a session leader opens becomes its controlling
      // terminal.
      const int slave = open(slavePath.c_str(), O_RDWR);
      if (slave < 0) return 103;
      if (setting == TerminalSetting::OnStandardStreams) standard = slave;
    }
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
      if (dup2(standard, descriptor) < 0) return 104;
    }
    return body();
  }

  int master_ = -1;
  pid_t pid_ = -1;
  std::string output_;
};
