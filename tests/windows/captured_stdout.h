// What a piece of code writes to standard output, for checking the shutdown
// line in-process.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

// The capture is read back in text mode on some runtimes and not on others;
// the line itself is what matters, so carriage returns are dropped.
template <typename Body>
std::string capturedStdout(Body body) {
  testing::internal::CaptureStdout();
  body();
  std::string text = testing::internal::GetCapturedStdout();
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}
