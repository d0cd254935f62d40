// A progress line on stderr for long runs of the tool.
#pragma once

#include <chrono>
#include <string>

// Shows "LABEL: frame DONE/TOTAL" on stderr, rewriting one line, only once the
// run has taken longer than a second and then at most ten times a second, so
// that short runs print nothing. The destructor ends the line if one was shown.
class Progress {
 public:
  Progress(std::string label, int total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void update(int done);

 private:
  using Clock = std::chrono::steady_clock;

  std::string label_;
  int total_;
  Clock::time_point start_;
  Clock::time_point last_;
  bool shown_ = false;
};
