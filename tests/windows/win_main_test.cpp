// WinMain on a real Win32 window manager (Wine's): the whole run from class
// registration to exit code, and the two set-up failures, whose modal message
// boxes a thread timer reads and dismisses (a modal loop still dispatches the
// thread's timer messages).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/window_proc.h"
#include "platform/win32.h"
#include "tests/support/captured_stdout.h"

namespace {

struct ShownBox {
  std::string caption;
  std::string text;
};
std::vector<ShownBox> shownBoxes;

// The static control that holds a message box's text.
constexpr int messageBoxTextId = 0xFFFF;

void CALLBACK dismissMessageBoxes(HWND, UINT, UINT_PTR, DWORD) {
  HWND box = FindWindowA("#32770", nullptr);
  if (box == nullptr) {
    return;
  }
  char caption[128] = "";
  char text[256] = "";
  GetWindowTextA(box, caption, sizeof caption);
  GetDlgItemTextA(box, messageBoxTextId, text, sizeof text);
  shownBoxes.push_back({caption, text});
  PostMessageA(box, WM_COMMAND, IDOK, 0);
}

// Asks the main window to close once the animation clock has run for a few
// ticks (or after ten seconds, so that a stopped clock fails, not hangs).
void CALLBACK closeWhenAnimated(HWND, UINT, UINT_PTR, DWORD) {
  static const DWORD start = GetTickCount();
  HWND window = FindWindowA("WinMain", "Marching Cubes");
  if (window != nullptr && (engine.ticks >= 3 || GetTickCount() - start > 10000)) {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

// Cancels the creation of the main window, as a failing CreateWindowExA would.
LRESULT CALLBACK refuseMainWindow(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    if (create->lpszName != nullptr && std::strcmp(create->lpszName, "Marching Cubes") == 0) {
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

bool classIsRegistered() {
  WNDCLASSA windowClass;
  return GetClassInfoA(instance(), "WinMain", &windowClass) != 0;
}

struct WinMainRun {
  int exitCode = -1;
  std::string out;
};

WinMainRun runWinMain(TIMERPROC steer) {
  shownBoxes.clear();
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, steer);
  WinMainRun run;
  run.out = capturedStdout(
      [&] { run.exitCode = WinMain(instance(), nullptr, GetCommandLineA(), SW_SHOWDEFAULT); });
  KillTimer(nullptr, timer);
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  return run;
}

TEST(WinMainTest, RunsTheAnimationUntilClosedAndReturnsZero) {
  const WinMainRun run = runWinMain(closeWhenAnimated);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "Shutting down.\n");
  EXPECT_GE(engine.ticks, 3);
  EXPECT_FALSE(classIsRegistered());
}

TEST(WinMainTest, ClassRegistrationFailureShowsABoxAndReturnsZero) {
  WNDCLASSA taken{};
  taken.lpfnWndProc = DefWindowProcA;
  taken.hInstance = instance();
  taken.lpszClassName = "WinMain";
  ASSERT_NE(RegisterClassA(&taken), 0);

  const WinMainRun run = runWinMain(dismissMessageBoxes);
  UnregisterClassA("WinMain", instance());

  EXPECT_EQ(run.exitCode, 0);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].caption, "WinMain");
  EXPECT_EQ(shownBoxes[0].text, "Unable to register window class.");
  EXPECT_EQ(run.out, "");  // no window, so no shutdown line
}

TEST(WinMainTest, WindowCreationFailureShowsABoxAndReturnsOne) {
  HHOOK hook = SetWindowsHookExA(WH_CBT, refuseMainWindow, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  const WinMainRun run = runWinMain(dismissMessageBoxes);
  UnhookWindowsHookEx(hook);

  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(shownBoxes.size(), 1u);
  EXPECT_EQ(shownBoxes[0].caption, "WinMain");
  EXPECT_EQ(shownBoxes[0].text, "Unable to create window.");
  EXPECT_EQ(run.out, "");
  // The class is given back before returning.
  EXPECT_FALSE(classIsRegistered());
}

}  // namespace
