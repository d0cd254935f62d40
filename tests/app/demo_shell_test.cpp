// The demo's message loop and window procedure (app/) driven through the
// stand-in on the headless display and its simulated clock: every Win32 call
// the shell makes is logged with the animation clock and the amount of
// standard output at that moment, and the test steers the run by posting
// messages from the log. One whole run is also compared, call by call, with
// the readable record in tests/app/demo_run.txt.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/pixel_format.h"
#include "app/window_proc.h"
#include "port/port.h"
#include "tests/support/captured_stdout.h"
#include "tests/support/headless_suite.h"

namespace {

char moduleImage;
const HINSTANCE instance = reinterpret_cast<HINSTANCE>(&moduleImage);

// The simulated clock moves this much per frame: a tick every two frames.
constexpr std::chrono::milliseconds frameTime{8};

struct Call {
  std::string text;
  std::int32_t ticks;
  long outputSize;
};

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string hwnd() {
  return "hwnd#" + std::to_string(reinterpret_cast<std::uintptr_t>(mainWindow));
}

bool isRenderRequest(const std::string& call) {
  return startsWith(call, "SendMessageA(" + hwnd() + ", WM_USER+1, 0x0, 0x0)");
}

struct DemoRun {
  int exitCode = -1;
  std::vector<Call> calls;
  std::string output;
  std::string errors;

  // Index of the first call at or after `from` that starts with `prefix`, or -1.
  int find(const std::string& prefix, int from = 0) const {
    for (int i = from; i < static_cast<int>(calls.size()); ++i) {
      if (startsWith(calls[i].text, prefix)) {
        return i;
      }
    }
    return -1;
  }
  int count(const std::string& prefix) const {
    int n = 0;
    for (const Call& call : calls) {
      n += startsWith(call.text, prefix) ? 1 : 0;
    }
    return n;
  }
};

// Runs WinMain to its end. `steer` sees the log so far on every call and may
// post messages to the demo's window.
DemoRun runDemo(const std::function<void(const std::vector<Call>&)>& steer) {
  DemoRun run;
  ::testing::internal::CaptureStderr();
  {
    CapturedStdout output;
    port::observeCalls([&](std::string_view call) {
      run.calls.push_back(Call{std::string(call), engine.ticks, output.size()});
      if (isRenderRequest(run.calls.back().text)) {
        port::advanceClock(frameTime);
      }
      steer(run.calls);
    });
    run.exitCode = WinMain(instance, nullptr, nullptr, SW_SHOWDEFAULT);
    port::observeCalls(nullptr);
    run.output = output.text();
  }
  run.errors = ::testing::internal::GetCapturedStderr();
  return run;
}

int renderCount(const std::vector<Call>& calls) {
  int n = 0;
  for (const Call& call : calls) {
    n += isRenderRequest(call.text) ? 1 : 0;
  }
  return n;
}

// Closes the window once `frames` frames have been asked for.
void closeAfter(const std::vector<Call>& calls, int frames) {
  if (isRenderRequest(calls.back().text) && renderCount(calls) == frames) {
    PostMessageA(mainWindow, WM_CLOSE, 0, 0);
  }
}

using DemoShell = HeadlessSuite;

TEST_F(DemoShell, FramesOnlyWhenNothingWaitsAndNoneAfterTheQuit) {
  constexpr int waiting = 20;
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    // On the third frame, a burst of messages: timer 2 (not the clock) and
    // pointer motion, which the window procedure only swallows.
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 3) {
      for (int i = 0; i < waiting; ++i) {
        PostMessageA(mainWindow, i % 2 == 0 ? WM_TIMER : WM_MOUSEMOVE, 2, 0);
      }
    }
    closeAfter(calls, 10);
  });
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Shutting down.\n");

  // All twenty are handled between the third frame and the fourth.
  int third = -1;
  int fourth = -1;
  for (int i = 0, frames = 0; i < static_cast<int>(run.calls.size()); ++i) {
    if (isRenderRequest(run.calls[i].text)) {
      ++frames;
      third = frames == 3 ? i : third;
      fourth = frames == 4 ? i : fourth;
    }
  }
  ASSERT_GT(fourth, third);
  int handled = 0;
  for (int i = third; i < fourth; ++i) {
    if (startsWith(run.calls[i].text, "DispatchMessageA(" + hwnd() + ", WM_TIMER, 0x2,")) {
      ++handled;
      // Timer 2 leaves the clock alone: nothing runs between the dispatch
      // and the next call.
      EXPECT_EQ(run.calls[i + 1].ticks, run.calls[i].ticks);
    }
    handled += startsWith(run.calls[i].text, "DispatchMessageA(" + hwnd() + ", WM_MOUSEMOVE,");
  }
  EXPECT_EQ(handled, waiting);

  // Once the quit is posted, the loop only takes messages and asks for no
  // frame.
  const int quit = run.find("PostQuitMessage(0)");
  ASSERT_GE(quit, 0);
  for (int i = quit; i < static_cast<int>(run.calls.size()); ++i) {
    EXPECT_FALSE(isRenderRequest(run.calls[i].text)) << run.calls[i].text;
  }
}

TEST_F(DemoShell, TimerOneAdvancesTheClockOncePerMessage) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    int ticks = 0;
    for (const Call& call : calls) {
      ticks += startsWith(call.text, "DispatchMessageA(") &&
               call.text.find(", WM_TIMER, 0x1,") != std::string::npos;
    }
    if (ticks == 3 && startsWith(calls.back().text, "PeekMessageA(")) {
      PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
  });
  ASSERT_EQ(run.exitCode, 0);
  int ticks = 0;
  for (std::size_t i = 0; i + 1 < run.calls.size(); ++i) {
    if (startsWith(run.calls[i].text, "DispatchMessageA(" + hwnd() + ", WM_TIMER, 0x1,")) {
      ++ticks;
      EXPECT_EQ(run.calls[i + 1].ticks, run.calls[i].ticks + 1);
    }
  }
  EXPECT_EQ(ticks, 3);
}

TEST_F(DemoShell, MinimisedFramesKeepComingWithAnEmptyViewport) {
  std::vector<GLint> viewportAfter;
  const DemoRun run = runDemo([&viewportAfter](const std::vector<Call>& calls) {
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 2) {
      PostMessageA(mainWindow, WM_SIZE, SIZE_MINIMIZED, 0);
    }
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 4) {
      GLint viewport[4] = {-1, -1, -1, -1};
      glGetIntegerv(GL_VIEWPORT, viewport);
      viewportAfter.assign(viewport, viewport + 4);
    }
    closeAfter(calls, 5);
  });
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(viewportAfter, (std::vector<GLint>{0, 0, 0, 0}));
}

TEST_F(DemoShell, ScreenSaverAndPowerDownRefusedOtherSystemCommandsPassedOn) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 1) {
      PostMessageA(mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
      PostMessageA(mainWindow, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
      PostMessageA(mainWindow, WM_SYSCOMMAND, SC_SCREENSAVE + 1, 0);
      PostMessageA(mainWindow, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  });
  const std::string defaultProc = "DefWindowProcA(" + hwnd() + ", WM_SYSCOMMAND, ";
  EXPECT_EQ(run.count(defaultProc + "0xf140,"), 0);
  EXPECT_EQ(run.count(defaultProc + "0xf170,"), 0);
  EXPECT_EQ(run.count(defaultProc + "0xf141,"), 1);
  // SC_CLOSE reaches the default procedure, which closes the window.
  EXPECT_EQ(run.count(defaultProc + "0xf060,"), 1);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Shutting down.\n");
}

TEST_F(DemoShell, KeystrokesAreOfferedToTheAcceleratorsThenTranslatedAndDispatchedUnchanged) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 1) {
      PostMessageA(mainWindow, WM_KEYDOWN, 'Q', 0x100001);
    }
    closeAfter(calls, 3);
  });
  ASSERT_EQ(run.exitCode, 0);
  const int accelerator = run.find("TranslateAcceleratorA(" + hwnd() + ", null, WM_KEYDOWN)");
  ASSERT_GE(accelerator, 0);
  const int translated = run.find("TranslateMessage(WM_KEYDOWN)", accelerator);
  ASSERT_GT(translated, accelerator);
  EXPECT_GT(run.find("DispatchMessageA(" + hwnd() + ", WM_KEYDOWN, 0x51, 0x100001)", translated),
            translated);
}

TEST_F(DemoShell, ClosingReleasesTheContextThenSaysSoThenQuitsWithZero) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) { closeAfter(calls, 3); });
  const int unbind = run.find("wglMakeCurrent(null, null)");
  const int deleted = run.find("wglDeleteContext(", unbind);
  const int released = run.find("ReleaseDC(" + hwnd(), deleted);
  const int quit = run.find("PostQuitMessage(0)", released);
  ASSERT_GE(unbind, 0);
  ASSERT_GT(deleted, unbind);
  ASSERT_GT(released, deleted);
  ASSERT_GT(quit, released);
  // The shutdown line comes after the release and before the quit.
  EXPECT_EQ(run.calls[released].outputSize, 0);
  EXPECT_EQ(run.calls[quit].outputSize, static_cast<long>(sizeof "Shutting down.\n" - 1));
  EXPECT_GT(run.find("UnregisterClassA(\"WinMain\"", quit), quit);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Shutting down.\n");
  EXPECT_EQ(run.errors, "");
}

TEST_F(DemoShell, WithoutAMatchingFormatItRunsAndClosesWithoutAContext) {
  port::hideFramebufferConfigs(true);
  const DemoRun run = runDemo([](const std::vector<Call>& calls) { closeAfter(calls, 5); });
  port::hideFramebufferConfigs(false);
  EXPECT_EQ(run.errors, "Error: ChoosePixelFormat failed\n");
  EXPECT_EQ(run.count("MessageBoxA(null, \"ChoosePixelFormat failed\", \"Error\", 0x0)"), 1);
  EXPECT_EQ(run.count("SetPixelFormat("), 0);
  EXPECT_EQ(renderCount(run.calls), 5);
  EXPECT_EQ(run.count("wglMakeCurrent(null, null)"), 0);
  // Every frame still clears and swaps, with nothing to swap.
  EXPECT_EQ(run.count("SwapBuffers("), 5);
  EXPECT_EQ(run.count("ReleaseDC("), 0);
  EXPECT_EQ(run.output, "Shutting down.\n");
  EXPECT_EQ(run.exitCode, 0);
}

TEST_F(DemoShell, ClassRegistrationFailureEndsWithZeroUnregistrationFailureWithOne) {
  WNDCLASSA taken{};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = instance;
  taken.lpszClassName = "WinMain";
  ASSERT_NE(RegisterClassA(&taken), 0);
  DemoRun run = runDemo([](const std::vector<Call>&) {});
  EXPECT_TRUE(UnregisterClassA("WinMain", instance));
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.errors, "WinMain: Unable to register window class.\n");
  EXPECT_EQ(run.count("MessageBoxA(null, \"Unable to register window class.\", \"WinMain\", 0x10)"),
            1);
  EXPECT_EQ(run.count("CreateWindowExA("), 0);

  // Someone else unregisters the class between the loop's end and the
  // demo's own unregistration.
  bool unregistered = false;
  run = runDemo([&unregistered](const std::vector<Call>& calls) {
    if (!unregistered && startsWith(calls.back().text, "UnregisterClassA(")) {
      unregistered = true;
      UnregisterClassA("WinMain", instance);
    }
    closeAfter(calls, 2);
  });
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.errors, "WinMain: Unable to unregister class.\n");
  EXPECT_EQ(run.count("MessageBoxA(null, \"Unable to unregister class.\", \"WinMain\", 0x10)"), 1);
  EXPECT_EQ(run.output, "Shutting down.\n");
}

TEST_F(DemoShell, AFormatThatCannotBeSetIsReportedOnceAndTheRunGoesOn) {
  // Someone sets another format on the window's device context first, so
  // the demo's own SetPixelFormat is refused (a window's format is set once).
  bool taken = false;
  const DemoRun run = runDemo([&taken](const std::vector<Call>& calls) {
    const std::string choose = "ChoosePixelFormat(hdc#";
    if (!taken && startsWith(calls.back().text, choose)) {
      taken = true;
      const HDC deviceContext =
          reinterpret_cast<HDC>(std::stoul(calls.back().text.substr(choose.size())));
      const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
      const int chosen = ChoosePixelFormat(deviceContext, &request);
      ASSERT_TRUE(SetPixelFormat(deviceContext, chosen == 1 ? 2 : 1, &request));
    }
    closeAfter(calls, 2);
  });
  EXPECT_EQ(run.errors, "Error: SetPixelFormat failed\n");
  EXPECT_EQ(run.count("MessageBoxA(null, \"SetPixelFormat failed\", \"Error\", 0x0)"), 1);
  EXPECT_EQ(run.output, "Shutting down.\n");
  EXPECT_EQ(run.exitCode, 0);
}

// The whole run, call by call: start-up (class, window, console, timer,
// context, shown), frames and ticks as the simulated clock advances, and a
// close through the engine's requestClose. Handles are shown by kind only.
TEST_F(DemoShell, OneRunMatchesItsRecordCallByCall) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 6) {
      engine.requestClose();
    }
  });
  ASSERT_EQ(run.exitCode, 0);
  std::string record;
  long written = 0;
  // The handles' numbers and the format's number depend on what ran before
  // and on the driver.
  const std::regex handleNumber("(hwnd|hdc|hglrc)#[0-9]+");
  const std::regex formatNumber("SetPixelFormat\\(hdc, [0-9]+\\)");
  for (const Call& call : run.calls) {
    if (call.outputSize != written) {
      record += "stdout: " + run.output.substr(static_cast<std::size_t>(written));
      written = call.outputSize;
    }
    const std::string text = std::regex_replace(call.text, handleNumber, "$1");
    record += std::regex_replace(text, formatNumber, "SetPixelFormat(hdc, chosen)") + "\n";
  }
  const std::string path = std::string(MC_SOURCE_DIR) + "/tests/app/demo_run.txt";
  if (std::getenv("MCUBES_UPDATE_RECORD") != nullptr) {
    std::ofstream(path) << record;
  }
  std::ifstream file(path);
  std::stringstream expected;
  expected << file.rdbuf();
  EXPECT_EQ(record, expected.str())
      << "differs from " << path << " (MCUBES_UPDATE_RECORD=1 rewrites it)";
}

}  // namespace
