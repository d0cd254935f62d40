// The demo's message loop and window procedure (app/) driven through the
// stand-in on the headless display: every Win32 call the shell makes is
// logged with the animation clock and the amount of standard output at that
// moment, and the test steers the run by posting messages from the log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "port/port.h"

namespace {

char moduleImage;
const HINSTANCE instance = reinterpret_cast<HINSTANCE>(&moduleImage);

struct Call {
  std::string text;
  std::int32_t ticks;
  long outputSize;
};

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// Standard output goes to a file while the demo runs, so the log can say
// when the shutdown line was written.
class OutputFile {
 public:
  OutputFile() : file_(std::tmpfile()) {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
  }
  ~OutputFile() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
    std::fclose(file_);
  }
  long size() const {
    std::fflush(stdout);
    struct stat status {};
    fstat(fileno(file_), &status);
    return static_cast<long>(status.st_size);
  }
  std::string text() const {
    std::fflush(stdout);
    std::string all(static_cast<std::size_t>(size()), '\0');
    std::rewind(file_);
    all.resize(std::fread(all.data(), 1, all.size(), file_));
    return all;
  }

 private:
  std::FILE* file_;
  int saved_;
};

struct DemoRun {
  int exitCode = -1;
  std::vector<Call> calls;
  std::string output;
  std::string errors;

  std::string windowHex() const {
    char text[32];
    std::snprintf(text, sizeof text, "0x%jx",
                  static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(mainWindow)));
    return text;
  }
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

const std::string renderRequest = "SendMessageA(";
bool isRenderRequest(const std::string& call) {
  return startsWith(call, renderRequest) && call.find(", 0x401, ") != std::string::npos;
}

// Runs WinMain to its end. `steer` sees the log so far on every call and may
// post messages to the demo's window.
DemoRun runDemo(const std::function<void(const std::vector<Call>&)>& steer) {
  DemoRun run;
  ::testing::internal::CaptureStderr();
  {
    OutputFile output;
    observeCalls([&](const std::string& call) {
      run.calls.push_back(Call{call, engine.ticks, output.size()});
      steer(run.calls);
    });
    run.exitCode = WinMain(instance, nullptr, nullptr, SW_SHOWDEFAULT);
    observeCalls(nullptr);
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

class DemoShell : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(selectDisplayBackend("headless", error)) << error;
  }
};

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
    if (startsWith(run.calls[i].text, "DispatchMessageA(" + run.windowHex() + ", 0x113, 0x2,")) {
      ++handled;
      // Timer 2 leaves the clock alone: nothing runs between the dispatch
      // and the next call.
      EXPECT_EQ(run.calls[i + 1].ticks, run.calls[i].ticks);
    }
    handled += startsWith(run.calls[i].text, "DispatchMessageA(" + run.windowHex() + ", 0x200,");
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
               call.text.find(", 0x113, 0x1,") != std::string::npos;
    }
    if (ticks == 3 && startsWith(calls.back().text, "PeekMessageA(")) {
      PostMessageA(mainWindow, WM_CLOSE, 0, 0);
    }
  });
  ASSERT_EQ(run.exitCode, 0);
  int ticks = 0;
  for (std::size_t i = 0; i + 1 < run.calls.size(); ++i) {
    if (startsWith(run.calls[i].text, "DispatchMessageA(" + run.windowHex() + ", 0x113, 0x1,")) {
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
  const std::string defaultProc = "DefWindowProcA(" + run.windowHex() + ", 0x112, ";
  EXPECT_EQ(run.count(defaultProc + "0xf140,"), 0);
  EXPECT_EQ(run.count(defaultProc + "0xf170,"), 0);
  EXPECT_EQ(run.count(defaultProc + "0xf141,"), 1);
  // SC_CLOSE reaches the default procedure, which closes the window.
  EXPECT_EQ(run.count(defaultProc + "0xf060,"), 1);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Shutting down.\n");
}

TEST_F(DemoShell, KeystrokesAreTranslatedAndDispatchedUnchanged) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) {
    if (isRenderRequest(calls.back().text) && renderCount(calls) == 1) {
      PostMessageA(mainWindow, WM_KEYDOWN, 'Q', 0x100001);
    }
    closeAfter(calls, 3);
  });
  ASSERT_EQ(run.exitCode, 0);
  const int accelerator = run.find("TranslateAcceleratorA(0x100)");
  ASSERT_GE(accelerator, 0);
  const int translated = run.find("TranslateMessage(0x100, 0x51, 0x100001)", accelerator);
  ASSERT_GT(translated, accelerator);
  const int dispatched =
      run.find("DispatchMessageA(" + run.windowHex() + ", 0x100, 0x51, 0x100001)", translated);
  ASSERT_GT(dispatched, translated);
  EXPECT_GT(run.find("DispatchMessageA(" + run.windowHex() + ", 0x102, 0x71,", dispatched),
            dispatched);
}

TEST_F(DemoShell, ClosingReleasesTheContextThenSaysSoThenQuitsWithZero) {
  const DemoRun run = runDemo([](const std::vector<Call>& calls) { closeAfter(calls, 3); });
  const int unbind = run.find("wglMakeCurrent(0x0, 0x0)");
  const int deleted = run.find("wglDeleteContext(", unbind);
  const int released = run.find("ReleaseDC(" + run.windowHex(), deleted);
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
  hideFramebufferConfigs(true);
  const DemoRun run = runDemo([](const std::vector<Call>& calls) { closeAfter(calls, 5); });
  hideFramebufferConfigs(false);
  EXPECT_EQ(run.errors, "Error: ChoosePixelFormat failed\n");
  EXPECT_EQ(run.count("SetPixelFormat("), 0);
  EXPECT_EQ(renderCount(run.calls), 5);
  EXPECT_EQ(run.count("wglMakeCurrent(0x0, 0x0)"), 0);
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
  EXPECT_EQ(run.output, "Shutting down.\n");
}

}  // namespace
