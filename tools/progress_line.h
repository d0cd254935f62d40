// One progress line on stderr for long runs: nothing during the first
// second, then at most ten updates a second, rewritten in place.
#pragma once

#include <chrono>
#include <string>

// Whether a progress line is shown and not yet ended, so that a line
// printed in a signal handler starts on a line of its own. Safe in a signal
// handler.
bool progressLineOpen();

class ProgressLine {
 public:
  // Shown as "<tool>: <what> done/total".
  ProgressLine(std::string tool, std::string what, long total);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;
  // Ends a line that was shown, at the total.
  ~ProgressLine();

  void update(long done);
  // Starts a new stage of the same run, counted from the same start, for
  // example "mesh: welding" after "mesh: slab 2049/2049".
  void stage(const std::string& what, long total);

 private:
  void finish();

  using Clock = std::chrono::steady_clock;
  std::string tool_;
  std::string what_;
  long total_;
  Clock::time_point start_;
  Clock::time_point last_;
  bool shown_ = false;
};
