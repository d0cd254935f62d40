// Frames per second for the title: counted over about a second at a time,
// so that the number changes at a readable pace.
#pragma once

#include <chrono>

class FrameRate {
 public:
  using Clock = std::chrono::steady_clock;

  // One frame was shown at `now`. True when this completes a count and the
  // rate has a new value.
  bool frameShown(Clock::time_point now);

  // The last count, rounded; -1 until the first second is over.
  int perSecond() const { return perSecond_; }

 private:
  bool started_ = false;
  Clock::time_point countStart_;
  int frames_ = 0;
  int perSecond_ = -1;
};
