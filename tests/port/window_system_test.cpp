// The generic window system on the headless display: classes, the message
// queue's priorities, sent versus posted messages, timers (on the simulated
// clock), the default window procedure, message boxes, the call trace and
// the close signal.
#include "port/window_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "port/close_signals.h"
#include "port/port.h"
#include "tests/support/headless_suite.h"

namespace {

const char className[] = "window system test";

struct Delivered {
  UINT message;
  WPARAM wParam;
};
std::vector<Delivered> delivered;
// What the procedure does with WM_SYSCOMMAND and WM_PAINT: pass them on to
// DefWindowProcA, or keep them.
bool passSystemCommands = true;
bool passPaint = true;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  delivered.push_back(Delivered{message, wParam});
  if ((message == WM_SYSCOMMAND && !passSystemCommands) || (message == WM_PAINT && !passPaint)) {
    return 0;
  }
  if (message == WM_USER) {
    return static_cast<LRESULT>(wParam * 2);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<UINT> messagesOf(const std::vector<Delivered>& all) {
  std::vector<UINT> messages;
  for (const Delivered& entry : all) {
    messages.push_back(entry.message);
  }
  return messages;
}

using std::chrono::milliseconds;

class WindowSystem : public HeadlessSuite {
 protected:
  void SetUp() override {
    delivered.clear();
    passSystemCommands = true;
    passPaint = true;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = recordingProc;
    windowClass.lpszClassName = className;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window =
        CreateWindowExA(0, className, "test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    delivered.clear();
  }

  void TearDown() override {
    DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA(className, nullptr));
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Takes the next message, failing the test if none waits.
  MSG next() {
    MSG message{};
    EXPECT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    return message;
  }

  HWND window = nullptr;
};

TEST_F(WindowSystem, ClassesAreUniqueByNameWithoutCaseAndStayWhileTheirWindowsLive) {
  WNDCLASSA duplicate{};
  duplicate.lpfnWndProc = recordingProc;
  duplicate.lpszClassName = "WINDOW System TEST";
  EXPECT_EQ(RegisterClassA(&duplicate), 0);

  EXPECT_FALSE(UnregisterClassA(className, nullptr));  // its window still exists
  EXPECT_FALSE(UnregisterClassA("no such class", nullptr));
  EXPECT_EQ(
      CreateWindowExA(0, "no such class", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
      nullptr);
}

TEST_F(WindowSystem, SentMessagesRunAtOncePostedOnesWaitTheirTurn) {
  EXPECT_EQ(SendMessageA(window, WM_USER, 21, 0), 42);
  EXPECT_EQ(messagesOf(delivered), std::vector<UINT>{WM_USER});

  delivered.clear();
  EXPECT_TRUE(PostMessageA(window, WM_USER, 1, 0));
  EXPECT_TRUE(delivered.empty());
  MSG message{};
  // A non-removing peek reports the message and leaves it there.
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(DispatchMessageA(&message), 2);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));

  EXPECT_EQ(GetMessageA(&message, reinterpret_cast<HWND>(0x7777), 0, 0), -1);
  EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(0x7777), WM_USER, 0, 0));
}

TEST_F(WindowSystem, PostedThenInputThenQuitThenPaintThenTimers) {
  SetTimer(window, 5, 10, nullptr);
  port::advanceClock(milliseconds(10));  // the timer is due
  ShowWindow(window, SW_SHOW);           // and paint is due
  PostQuitMessage(3);
  port::windowSystem().queue.queueInput(window, WM_MOUSEMOVE, 0, MAKELPARAM(1, 2));
  PostMessageA(window, WM_USER + 2, 0, 0);
  PostMessageA(window, WM_USER + 3, 0, 0);

  EXPECT_EQ(next().message, static_cast<UINT>(WM_USER + 2));
  EXPECT_EQ(next().message, static_cast<UINT>(WM_USER + 3));
  EXPECT_EQ(next().message, static_cast<UINT>(WM_MOUSEMOVE));
  MSG quit{};
  ASSERT_TRUE(PeekMessageA(&quit, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(quit.message, static_cast<UINT>(WM_QUIT));
  // Reported as waiting until it is taken, which ends a GetMessage loop.
  ASSERT_EQ(GetMessageA(&quit, nullptr, 0, 0), FALSE);
  EXPECT_EQ(quit.wParam, 3u);

  MSG paint = next();
  EXPECT_EQ(paint.message, static_cast<UINT>(WM_PAINT));
  DispatchMessageA(&paint);  // DefWindowProcA validates the window
  MSG timer = next();
  EXPECT_EQ(timer.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(timer.wParam, 5u);
}

TEST_F(WindowSystem, ATimerHasAtMostOneMessagePendingHoweverLateItIsTaken) {
  constexpr UINT interval = 100;
  ASSERT_EQ(SetTimer(window, 1, interval, nullptr), 1u);
  MSG message;
  port::advanceClock(milliseconds(interval - 1));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  port::advanceClock(milliseconds(5 * interval));
  // Five intervals went by, yet only one WM_TIMER waits; the next is due a
  // whole interval after it was taken.
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_TIMER));
  const DWORD taken = message.time;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  port::advanceClock(milliseconds(interval - 1));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  // GetMessageA waits for it: on the simulated clock, exactly until it is due.
  ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(message.wParam, 1u);
  EXPECT_EQ(message.time - taken, interval);
}

TEST_F(WindowSystem, OnlyWindowTimersWithoutProceduresAreSet) {
  // Win32 runs a timer no faster than every 10 ms.
  ASSERT_EQ(SetTimer(window, 4, 1, nullptr), 4u);
  port::advanceClock(milliseconds(9));
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  port::advanceClock(milliseconds(1));
  EXPECT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));

  // Timer procedures and thread timers are not emulated: refused, not run
  // some other way.
  EXPECT_EQ(SetTimer(window, 9, 10, [](HWND, UINT, UINT_PTR, DWORD) {}), 0u);
  EXPECT_EQ(SetTimer(nullptr, 9, 10, nullptr), 0u);
  port::advanceClock(milliseconds(5));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(WindowSystem, CloseRequestsEndInDestructionThroughTheDefaultProcedure) {
  // The low four bits of a system command are ignored by the default
  // procedure: 0xF061 closes as SC_CLOSE does.
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE | 1, 0);
  EXPECT_EQ(messagesOf(delivered), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_TRUE(UnregisterClassA(className, nullptr));  // no window of the class left
  WNDCLASSA again{};
  again.lpfnWndProc = recordingProc;
  again.lpszClassName = className;
  ASSERT_NE(RegisterClassA(&again), 0);  // for TearDown
}

TEST_F(WindowSystem, DestroyingAWindowDropsItsMessagesAndTimers) {
  SetTimer(window, 1, 10, nullptr);
  PostMessageA(window, WM_USER, 0, 0);
  PostMessageA(nullptr, WM_USER + 7, 0, 0);  // to the thread: survives
  DestroyWindow(window);
  port::advanceClock(milliseconds(30));
  MSG message = next();
  EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 7));
  EXPECT_EQ(message.hwnd, nullptr);
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowSystem, PaintIsDueAfterShowingUntilTheDefaultProcedureValidates) {
  ShowWindow(window, SW_SHOWDEFAULT);
  UpdateWindow(window);
  EXPECT_EQ(messagesOf(delivered), std::vector<UINT>{WM_PAINT});
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));

  // A procedure that never validates keeps getting WM_PAINT, as in Win32.
  passPaint = false;
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_SHOW);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
    DispatchMessageA(&message);
  }
}

TEST_F(WindowSystem, TheScreenSaverStartsOnlyWhenTheDefaultProcedureGetsTheRequest) {
  EXPECT_TRUE(port::windowSystem().screenSaverAllowed(window));
  passSystemCommands = false;
  EXPECT_FALSE(port::windowSystem().screenSaverAllowed(window));
  ASSERT_FALSE(delivered.empty());
  EXPECT_EQ(delivered.back().message, static_cast<UINT>(WM_SYSCOMMAND));
  EXPECT_EQ(delivered.back().wParam, static_cast<WPARAM>(SC_SCREENSAVE));
}

TEST_F(WindowSystem, MessageFiltersAreNotEmulated) {
  // The programs always take every message; a filtered call finds nothing
  // rather than the wrong message.
  PostMessageA(window, WM_USER, 0, 0);
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, window, 0, 0, PM_NOREMOVE));
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
  EXPECT_EQ(GetMessageA(&message, window, 0, 0), -1);
  EXPECT_EQ(GetMessageA(&message, nullptr, WM_TIMER, WM_TIMER), -1);
  EXPECT_EQ(next().message, static_cast<UINT>(WM_USER));
}

TEST_F(WindowSystem, InputReportedByADisplayArrivesAsWin32MessagesWithTheirParameters) {
  using Pointer = port::DisplayEvents::Pointer;
  using Button = port::DisplayEvents::Button;
  port::WindowSystem& system = port::windowSystem();
  Pointer dragging;
  dragging.x = 30;
  dragging.y = -4;  // outside the client area: a signed word
  dragging.left = true;
  dragging.control = true;
  Pointer released = dragging;
  released.left = false;
  released.right = true;
  released.middle = true;
  released.shift = true;
  system.keyPressed(window, VK_OEM_PLUS, '+', false);
  system.keyPressed(window, VK_LEFT, 0, true);
  system.pointerMoved(window, Pointer{});
  system.pointerMoved(window, dragging);  // replaces the move before it
  system.buttonChanged(window, Button::left, true, dragging);
  system.buttonChanged(window, Button::left, false, released);
  system.buttonChanged(window, Button::right, true, dragging);
  system.buttonChanged(window, Button::middle, false, released);
  system.wheelTurned(window, -WHEEL_DELTA, released, 1000, 700);

  // A key that types a character is followed by WM_CHAR once translated,
  // before the input behind it.
  MSG key = next();
  EXPECT_EQ(key.message, static_cast<UINT>(WM_KEYDOWN));
  EXPECT_EQ(key.wParam, static_cast<WPARAM>(VK_OEM_PLUS));
  EXPECT_EQ(key.lParam, 1);  // a repeat count of 1, up before
  EXPECT_TRUE(TranslateMessage(&key));
  const MSG character = next();
  EXPECT_EQ(character.message, static_cast<UINT>(WM_CHAR));
  EXPECT_EQ(character.wParam, static_cast<WPARAM>('+'));
  EXPECT_EQ(character.lParam, key.lParam);
  EXPECT_FALSE(TranslateMessage(&key));  // translated once

  key = next();
  EXPECT_EQ(key.wParam, static_cast<WPARAM>(VK_LEFT));
  EXPECT_EQ(key.lParam, 1 | (LPARAM{1} << 30));  // held down
  EXPECT_FALSE(TranslateMessage(&key));          // types nothing

  const struct {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } expected[] = {
      {WM_MOUSEMOVE, MK_LBUTTON | MK_CONTROL, MAKELPARAM(30, -4)},
      {WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(30, -4)},
      {WM_LBUTTONUP, MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(30, -4)},
      {WM_RBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(30, -4)},
      {WM_MBUTTONUP, MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL, MAKELPARAM(30, -4)},
      {WM_MOUSEWHEEL, MAKEWPARAM(MK_RBUTTON | MK_MBUTTON | MK_SHIFT | MK_CONTROL, -WHEEL_DELTA),
       MAKELPARAM(1000, 700)},
  };
  for (const auto& input : expected) {
    const MSG message = next();
    EXPECT_EQ(message.hwnd, window);
    EXPECT_EQ(message.message, input.message);
    EXPECT_EQ(message.wParam, input.wParam);
    EXPECT_EQ(message.lParam, input.lParam);
  }
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(MAKEWPARAM(0, -WHEEL_DELTA)), -WHEEL_DELTA);
  EXPECT_EQ(GET_Y_LPARAM(MAKELPARAM(30, -4)), -4);
  EXPECT_FALSE(PeekMessageA(&key, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowSystem, ResourcesAndMessageBoxes) {
  EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
  EXPECT_EQ(LoadIconA(nullptr, "Kestrival"), nullptr);
  EXPECT_EQ(LoadAcceleratorsA(nullptr, "WinMain"), nullptr);
  MSG key{window, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorA(window, nullptr, &key), 0);
  EXPECT_FALSE(TranslateMessage(&key));

  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBoxA(nullptr, "Unable to register window class.", "WinMain", MB_ICONERROR),
            IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "WinMain: Unable to register window class.\n");
}

TEST_F(WindowSystem, CallsAreReportedToTheObserver) {
  std::vector<std::string> calls;
  port::observeCalls([&calls](std::string_view call) { calls.emplace_back(call); });
  PostQuitMessage(4);
  SendMessageA(window, WM_USER, 1, 2);
  PostMessageA(window, WM_TIMER, 3, 0);
  ::testing::internal::CaptureStderr();
  MessageBoxA(nullptr, "text", nullptr, MB_ICONERROR);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: text\n");
  LoadCursorA(nullptr, IDC_ARROW);
  port::observeCalls(nullptr);
  PostQuitMessage(0);
  const std::string hwnd = "hwnd#" + std::to_string(port::handleNumber(window));
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "PostQuitMessage(4)",
                       "SendMessageA(" + hwnd + ", WM_USER, 0x1, 0x2)",
                       "PostMessageA(" + hwnd + ", WM_TIMER, 0x3, 0x0)",
                       "MessageBoxA(null, \"text\", null, 0x10)",
                       "LoadCursorA(null, #32512)",
                   }));
}

// Runs once per process: the handler gives way to the default action after
// the first signal.
TEST_F(WindowSystem, InterruptBecomesACloseRequestToTopLevelWindows) {
  port::installCloseSignals();
  std::raise(SIGINT);
  MSG message = next();
  EXPECT_EQ(message.message, static_cast<UINT>(WM_CLOSE));
  EXPECT_EQ(message.hwnd, window);
  DispatchMessageA(&message);
  EXPECT_EQ(messagesOf(delivered), (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
  WNDCLASSA again{};
  again.lpfnWndProc = recordingProc;
  again.lpszClassName = className;
  EXPECT_TRUE(UnregisterClassA(className, nullptr));
  ASSERT_NE(RegisterClassA(&again), 0);  // for TearDown
}

}  // namespace
