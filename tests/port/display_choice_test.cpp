// Which display a program runs on: the one it names, else the one the
// environment names, else x11 when an X server answers, else headless with a
// notice. The window system is started afresh for each choice; only the
// choices that end the program run in a child process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "port/port.h"
#include "port/win32.h"

namespace {

LRESULT CALLBACK plainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// The first window of a fresh window system makes it choose its display;
// true when the window was made.
bool createFirstWindow(const char* displayVariable, const char* mcubesDisplay) {
  port::resetWindowSystem();
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
    return false;
  }
  DestroyWindow(window);
  return UnregisterClassA("choice", nullptr) == TRUE;
}

// In a child process: exit code 0 when the window was made, 3 when not.
[[noreturn]] void exitAfterFirstWindow(const char* displayVariable, const char* mcubesDisplay) {
  std::exit(createFirstWindow(displayVariable, mcubesDisplay) ? 0 : 3);
}

// The first window's stderr, when it was made.
std::string noticesOfFirstWindow(const char* displayVariable, const char* mcubesDisplay) {
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(createFirstWindow(displayVariable, mcubesDisplay));
  return ::testing::internal::GetCapturedStderr();
}

// No X server listens on this display.
const char unreachable[] = ":59999";

class DisplayChoice : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
  void TearDown() override { port::resetWindowSystem(); }
};

TEST_F(DisplayChoice, WithNoXServerAnsweringTheProgramRendersOffscreenAndSaysSo) {
  const std::string notice = "no display: rendering offscreen; Ctrl+C to stop";
  EXPECT_NE(noticesOfFirstWindow(unreachable, nullptr).find(notice), std::string::npos);
  EXPECT_NE(noticesOfFirstWindow("", "").find(notice), std::string::npos);
}

TEST_F(DisplayChoice, ADisplayNamedInTheEnvironmentIsTakenOrTheProgramEndsSayingWhy) {
  EXPECT_EQ(noticesOfFirstWindow(unreachable, "headless"), "");
  EXPECT_EXIT(exitAfterFirstWindow(unreachable, "x11"), ::testing::ExitedWithCode(1),
              "^MCUBES_DISPLAY=x11: cannot open the X display ':59999'\n$");
  EXPECT_EXIT(exitAfterFirstWindow(unreachable, "wayland"), ::testing::ExitedWithCode(1),
              "^MCUBES_DISPLAY=wayland: unknown display backend 'wayland' \\(x11 or "
              "headless\\)\n$");
}

TEST_F(DisplayChoice, TheDisplayNamedFirstStaysUntilTheWindowSystemStartsAfresh) {
  port::resetWindowSystem();
  std::string error;
  EXPECT_FALSE(port::selectDisplayBackend("gdi", error));
  EXPECT_EQ(error, "unknown display backend 'gdi' (x11 or headless)");
  EXPECT_FALSE(port::selectDisplayBackend(nullptr, error));
  EXPECT_EQ(error, "unknown display backend '' (x11 or headless)");
  ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
  EXPECT_TRUE(port::selectDisplayBackend("headless", error));
  EXPECT_FALSE(port::selectDisplayBackend("x11", error));
  EXPECT_EQ(error, "the headless display is already in use");

  port::resetWindowSystem();
  setenv("DISPLAY", unreachable, 1);
  EXPECT_FALSE(port::selectDisplayBackend("x11", error));
  EXPECT_EQ(error, "cannot open the X display ':59999'");
}

}  // namespace
