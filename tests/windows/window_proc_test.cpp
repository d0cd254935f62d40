// The window procedure on a real Win32 window manager (Wine's, on a private X
// display): creation, timer, size, system commands and the close path, seen
// through the engine, the GL state and the thread's queue.

#include "app/window_proc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/pixel_format.h"
#include "tests/support/captured_stdout.h"

namespace {

const DWORD mainStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

void expectViewport(GLint x, GLint y, GLint width, GLint height) {
  GLint viewport[4] = {-1, -1, -1, -1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], x);
  EXPECT_EQ(viewport[1], y);
  EXPECT_EQ(viewport[2], width);
  EXPECT_EQ(viewport[3], height);
}

void projection(GLdouble matrix[16]) { glGetDoublev(GL_PROJECTION_MATRIX, matrix); }

// Removes whatever the thread's queue holds, WM_QUIT included.
void drainQueue() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

class WindowProcTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "WinMain";
    ASSERT_NE(RegisterClassA(&windowClass), 0);
  }
  static void TearDownTestSuite() { UnregisterClassA("WinMain", GetModuleHandleA(nullptr)); }

  void SetUp() override {
    engine.ticks = 7;  // creation must reset the clock
    window = CreateWindowExA(0, "WinMain", "Marching Cubes", mainStyle, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
  }

  void TearDown() override {
    if (IsWindow(window)) {
      capturedStdout([&] { DestroyWindow(window); });
    }
    drainQueue();
  }

  HWND window = nullptr;
};

TEST_F(WindowProcTest, CreationBindsContextAndInitialisesEngine) {
  EXPECT_EQ(mainWindow, window);
  EXPECT_EQ(engine.window, window);
  ASSERT_NE(mainDC, nullptr);
  EXPECT_EQ(engine.deviceContext, mainDC);
  ASSERT_NE(glContext, nullptr);
  EXPECT_EQ(wglGetCurrentContext(), glContext);
  EXPECT_EQ(engine.ticks, 0);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

  // The first WM_SIZE arrives inside creation and fits the viewport to the
  // client area before any frame is asked for.
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_GT(client.right, 0);
  expectViewport(0, 0, client.right, client.bottom);
}

TEST_F(WindowProcTest, OnlyTimerOneAdvancesTheClock) {
  EXPECT_EQ(SendMessageA(window, WM_TIMER, 1, 0), 0);
  EXPECT_EQ(engine.ticks, 1);
  EXPECT_EQ(SendMessageA(window, WM_TIMER, 2, 0), 0);
  EXPECT_EQ(engine.ticks, 1);
  EXPECT_EQ(SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10)), 0);
  EXPECT_EQ(engine.ticks, 1);

  // Creation started the real timer: dispatching the queue eventually ticks.
  const DWORD start = GetTickCount();
  while (engine.ticks < 3 && GetTickCount() - start < 10000) {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      Sleep(1);
    }
  }
  EXPECT_GE(engine.ticks, 3);
}

TEST_F(WindowProcTest, SizeFitsViewportAndProjection) {
  EXPECT_EQ(SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600)), 0);
  expectViewport(0, 0, 800, 600);
  GLdouble matrix[16];
  projection(matrix);
  // 45 degrees vertically, aspect 800 / 600, near 1, far 2001; GL keeps the
  // matrix in single precision.
  const double focal = 1.0 / std::tan(22.5 * 3.14159265358979323846 / 180.0);
  EXPECT_NEAR(matrix[5], focal, 1e-6);
  EXPECT_NEAR(matrix[0], focal * 600.0 / 800.0, 1e-6);
  EXPECT_NEAR(matrix[10], -(2001.0 + 1.0) / (2001.0 - 1.0), 1e-6);

  // Minimised: 0 x 0, an empty viewport and the identity projection.
  EXPECT_EQ(SendMessageA(window, WM_SIZE, SIZE_MINIMIZED, 0), 0);
  expectViewport(0, 0, 0, 0);
  projection(matrix);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(matrix[i], i % 5 == 0 ? 1.0 : 0.0) << "element " << i;
  }

  // The two halves of lParam are unsigned: a width above 32767 is a large
  // positive size (the viewport is clamped), never a negative one (an error).
  while (glGetError() != GL_NO_ERROR) {
  }
  SendMessageA(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(40000, 600));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_GT(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
}

// The system commands that reached the default handling: DefWindowProcA
// reports each one it is about to carry out to the thread's CBT hook.
std::vector<WPARAM> defaultedCommands;

LRESULT CALLBACK recordDefaultedCommand(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SYSCOMMAND) defaultedCommands.push_back(wParam);
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(WindowProcTest, ScreenSaverAndPowerDownRefusedCloseCommandPassedOn) {
  defaultedCommands.clear();
  const HHOOK hook =
      SetWindowsHookExA(WH_CBT, recordDefaultedCommand, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  // The default handling would return 0 as well: what shows the refusal is
  // that it never sees these two.
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
  EXPECT_EQ(SendMessageA(window, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
  EXPECT_TRUE(defaultedCommands.empty());
  EXPECT_TRUE(IsWindow(window));

  // Any other command takes the default path: close destroys the window.
  capturedStdout([&] { SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); });
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(defaultedCommands, std::vector<WPARAM>{SC_CLOSE});
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(WindowProcTest, CloseReleasesContextAnnouncesAndQuitsWithZero) {
  const std::string out = capturedStdout([&] { SendMessageA(window, WM_CLOSE, 0, 0); });

  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(wglGetCurrentContext(), nullptr);
  EXPECT_EQ(out, "Shutting down.\n");
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(message.wParam, 0u);
}

}  // namespace
