#include "tools/progress_line.h"

#include <csignal>
#include <cstdio>
#include <utility>

#include "tools/cluster.h"

namespace {

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
  if (clusterPlace().rank != 0) return;  // under mpirun process 0 speaks for all
  const Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(100)) {
    return;
  }
  last_ = now;
  shown_ = true;
  lineOpen = 1;
  std::fprintf(stderr, "\r%s: %s %ld/%ld", tool_.c_str(), what_.c_str(), done, total_);
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
    std::fprintf(stderr, "\r%s: %s %ld/%ld\n", tool_.c_str(), what_.c_str(), total_, total_);
    std::fflush(stderr);
  }
  shown_ = false;
  lineOpen = 0;
}
