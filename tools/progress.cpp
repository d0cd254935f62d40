#include "tools/progress.h"

#include <cstdio>
#include <utility>

Progress::Progress(std::string label, int total)
    : label_(std::move(label)), total_(total), start_(Clock::now()), last_(start_) {}

Progress::~Progress() {
  if (shown_) {
    std::fprintf(stderr, "\r%s: frame %d/%d\n", label_.c_str(), total_, total_);
  }
}

void Progress::update(int done) {
  const Clock::time_point now = Clock::now();
  if (now - start_ < std::chrono::seconds(1) || now - last_ < std::chrono::milliseconds(100)) {
    return;
  }
  last_ = now;
  shown_ = true;
  std::fprintf(stderr, "\r%s: frame %d/%d", label_.c_str(), done, total_);
  std::fflush(stderr);
}
