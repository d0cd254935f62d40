#include "tools/progress_line.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <utility>

#include "tools/cluster.h"

using namespace mcubes::internal;

namespace {

bool toTerminal() {
  static const bool terminal = ::isatty(2) == 1;
  return terminal;
}

// The line in place now, which a message must not run into; whether there
// is one, as a signal handler may read it.
ProgressLine* unfinished = nullptr;
volatile std::sig_atomic_t lineOpen = 0;

}  // namespace

bool progressLineOpen() { return lineOpen != 0; }

ProgressLine::ProgressLine(std::string tool, std::string what, long total)
    : tool_(std::move(tool)),
      what_(std::move(what)),
      total_(total),
      start_(Clock::now()),
      last_(start_) {}

ProgressLine::~ProgressLine() { finish(); }

void ProgressLine::update(long done) {
  if (cluster().rank() != 0) return;  // under mpirun process 0 speaks for all
  const Clock::time_point now = Clock::now();
  const Clock::duration every =
      toTerminal() ? Clock::duration(std::chrono::milliseconds(100)) : std::chrono::seconds(10);
  if (now - start_ < std::chrono::seconds(1) || (last_ != start_ && now - last_ < every)) return;
  last_ = now;
  if (toTerminal()) {
    std::fprintf(stderr, "\r%s: %s %ld/%ld", tool_.c_str(), what_.c_str(), done, total_);
    shown_ = true;
    unfinished = this;
    lineOpen = 1;
  } else {
    std::fprintf(stderr, "%s: %s %ld/%ld\n", tool_.c_str(), what_.c_str(), done, total_);
  }
  std::fflush(stderr);
}

void ProgressLine::stage(const std::string& what, long total) {
  finish();
  what_ = what;
  total_ = total;
  last_ = start_;
  update(0);
}

void ProgressLine::finish() {
  if (shown_) {
    if (std::uncaught_exceptions() > 0) {
      std::fputc('\n', stderr);
    } else {
      std::fprintf(stderr, "\r%s: %s %ld/%ld\n", tool_.c_str(), what_.c_str(), total_, total_);
    }
    std::fflush(stderr);
  }
  shown_ = false;
  if (unfinished == this) {
    unfinished = nullptr;
    lineOpen = 0;
  }
}

void ProgressLine::makeRoomForMessage() {
  if (unfinished == nullptr) return;
  std::fputc('\n', stderr);
  unfinished->shown_ = false;
  unfinished = nullptr;
  lineOpen = 0;
}
