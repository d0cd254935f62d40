// Which display a program runs on: the one it names, else the one the
// environment names, else x11 when an X server answers, else headless with a
// notice. Each case that depends on the environment runs in a fresh child
// process, since the choice is made once per process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "port/port.h"
#include "port/win32.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The first window makes the window system choose its display. Ends the
// process: 0 when the window exists, 3 when it does not.
[[noreturn]] void createFirstWindow(const char* displayVariable, const char* mcubesDisplay) {
  setenv("DISPLAY", displayVariable, 1);
  if (mcubesDisplay != nullptr) {
    setenv("MCUBES_DISPLAY", mcubesDisplay, 1);
  } else {
    unsetenv("MCUBES_DISPLAY");
  }
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = plainProc;
  windowClass.lpszClassName = "choice";
  RegisterClassA(&windowClass);
  const HWND window = CreateWindowExA(0, "choice", "choice", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 64, 64, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    std::exit(3);
  }
  DestroyWindow(window);
  std::exit(0);
}

// No X server listens on this display.
const char unreachable[] = ":59999";

class DisplayChoice : public ::testing::Test {
 protected:
  // Each child starts the test program afresh, so no display is chosen yet.
  static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(DisplayChoice, WithNoXServerAnsweringTheProgramRendersOffscreenAndSaysSo) {
  EXPECT_EXIT(createFirstWindow(unreachable, nullptr), ::testing::ExitedWithCode(0),
              "no display: rendering offscreen; Ctrl\\+C to stop");
  EXPECT_EXIT(createFirstWindow("", ""), ::testing::ExitedWithCode(0),
              "no display: rendering offscreen; Ctrl\\+C to stop");
}

TEST_F(DisplayChoice, ADisplayNamedInTheEnvironmentIsTakenOrTheProgramEndsSayingWhy) {
  EXPECT_EXIT(createFirstWindow(unreachable, "headless"), ::testing::ExitedWithCode(0), "^$");
  EXPECT_EXIT(createFirstWindow(unreachable, "x11"), ::testing::ExitedWithCode(1),
              "^MCUBES_DISPLAY=x11: cannot open the X display ':59999'\n$");
  EXPECT_EXIT(createFirstWindow(unreachable, "wayland"), ::testing::ExitedWithCode(1),
              "^MCUBES_DISPLAY=wayland: unknown display backend 'wayland' \\(x11 or "
              "headless\\)\n$");
}

TEST_F(DisplayChoice, TheDisplayNamedFirstStaysForTheWholeRun) {
  std::string error;
  EXPECT_FALSE(port::selectDisplayBackend("gdi", error));
  EXPECT_EQ(error, "unknown display backend 'gdi' (x11 or headless)");
  EXPECT_FALSE(port::selectDisplayBackend(nullptr, error));
  EXPECT_EQ(error, "unknown display backend '' (x11 or headless)");
  ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
  EXPECT_TRUE(port::selectDisplayBackend("headless", error));
  EXPECT_FALSE(port::selectDisplayBackend("x11", error));
  EXPECT_EQ(error, "the headless display is already in use");
}

}  // namespace
