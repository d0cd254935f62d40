// One progress line on stderr for long runs: nothing during the first
// second, then, where stderr is a terminal, at most ten updates a second
// rewritten in place; in a file or a pipe, where a carriage return would
// leave every update in one line of the log, a whole line at most every ten
// seconds.
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
  // Ends a line that was shown: at the total, or where it got when an
  // exception ends the run.
  ~ProgressLine();

  void update(long done);
  // Starts a new stage of the same run, counted from the same start, for
  // example "mesh: welding" after "mesh: slab 2049/2049".
  void stage(const std::string& what, long total);

  // Ends the line being rewritten in place, if any, so that a message
  // written to stderr next has a line of its own; the next update starts
  // a new one.
  static void makeRoomForMessage();

 private:
  void finish();

  using Clock = std::chrono::steady_clock;
  std::string tool_;
  std::string what_;
  long total_;
  Clock::time_point start_;
  Clock::time_point last_;
  bool shown_ = false;  // a line in place, unfinished
};
