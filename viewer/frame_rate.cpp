#include "viewer/frame_rate.h"

#include <cmath>

bool FrameRate::frameShown(Clock::time_point now) {
  if (!started_) {
    // The count starts with the first frame shown, not at some earlier time.
    started_ = true;
    countStart_ = now;
    return false;
  }
  ++frames_;
  const std::chrono::duration<double> elapsed = now - countStart_;
  if (elapsed.count() < 1.0) {
    return false;
  }
  perSecond_ = static_cast<int>(std::lround(frames_ / elapsed.count()));
  frames_ = 0;
  countStart_ = now;
  return true;
}
