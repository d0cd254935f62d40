// The x11 display on a private Xvfb server: what the window system makes of
// a real X window and of what happens to it from outside (another client,
// standing in for the user and the window manager).

// GoogleTest first: Xlib defines None, Bool and Status as macros.
// clang-format off
#include <gtest/gtest.h>
#include <GL/gl.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// clang-format on

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/pixel_format.h"
#include "port/port.h"

namespace {

const char className[] = "X11Test";
const char title[] = "x11 display test";

std::vector<MSG> delivered;
bool refuseScreenSaver = false;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  delivered.push_back(MSG{window, message, wParam, lParam, 0, {0, 0}});
  if (message == WM_SYSCOMMAND && wParam == SC_SCREENSAVE && refuseScreenSaver) {
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// The window's X id, found by its title from the outside connection.
::Window findByTitle(::Display* x, ::Window parent) {
  ::Window root = 0;
  ::Window up = 0;
  ::Window* children = nullptr;
  unsigned count = 0;
  ::Window found = 0;
  if (XQueryTree(x, parent, &root, &up, &children, &count) == 0) {
    return 0;
  }
  for (unsigned i = 0; i < count && found == 0; ++i) {
    char* name = nullptr;
    if (XFetchName(x, children[i], &name) != 0 && name != nullptr) {
      found = std::string(name) == title ? children[i] : 0;
      XFree(name);
    }
  }
  XFree(children);
  return found;
}

class X11DisplayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(port::selectDisplayBackend("x11", error)) << error;
  }

  void SetUp() override {
    delivered.clear();
    refuseScreenSaver = false;
    outside = XOpenDisplay(nullptr);
    ASSERT_NE(outside, nullptr);
    // Every window made on the server from here on is reported.
    XSelectInput(outside, DefaultRootWindow(outside), SubstructureNotifyMask);
    XSync(outside, False);
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = recordingProc;
    windowClass.lpszClassName = className;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             320, 240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }

  // Shows the window and finds it from the outside connection.
  void show() {
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(pumpUntil(
        [&] { return (xWindow = findByTitle(outside, DefaultRootWindow(outside))) != 0; }));
    ASSERT_TRUE(pumpUntil([&] {
      XWindowAttributes attributes;
      return XGetWindowAttributes(outside, xWindow, &attributes) != 0 &&
             attributes.map_state == IsViewable;
    }));
    delivered.clear();
  }

  void TearDown() override {
    DestroyWindow(window);
    EXPECT_TRUE(UnregisterClassA(className, nullptr));
    XCloseDisplay(outside);
  }

  // Runs the message loop until `done` holds, for at most 10 s.
  static bool pumpUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      if (done()) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  static const MSG* last(UINT message) {
    for (auto it = delivered.rbegin(); it != delivered.rend(); ++it) {
      if (it->message == message) {
        return &*it;
      }
    }
    return nullptr;
  }

  // The top-level windows made on the server since SetUp.
  int windowsCreated() {
    XSync(outside, False);
    int created = 0;
    XEvent event;
    while (XCheckTypedWindowEvent(outside, DefaultRootWindow(outside), CreateNotify, &event)) {
      ++created;
    }
    return created;
  }

  ::Display* outside = nullptr;
  ::Window xWindow = 0;
  HWND window = nullptr;
};

TEST_F(X11DisplayTest, AContextWithTheBuffersAskedForOnTheOneWindowMade) {
  // The demo's order: the pixel format and the context first, then showing.
  HDC deviceContext = GetDC(window);
  const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
  const int format = ChoosePixelFormat(deviceContext, &request);
  ASSERT_NE(format, 0);
  ASSERT_TRUE(SetPixelFormat(deviceContext, format, &request));
  HGLRC context = wglCreateContext(deviceContext);
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
  ASSERT_NO_FATAL_FAILURE(show());

  GLboolean doubleBuffered = GL_FALSE;
  glGetBooleanv(GL_DOUBLEBUFFER, &doubleBuffered);
  EXPECT_EQ(doubleBuffered, GL_TRUE);
  GLint bits[3] = {};
  glGetIntegerv(GL_RED_BITS, &bits[0]);
  glGetIntegerv(GL_DEPTH_BITS, &bits[1]);
  glGetIntegerv(GL_STENCIL_BITS, &bits[2]);
  EXPECT_EQ(bits[0], 8);
  EXPECT_EQ(bits[1], 24);
  EXPECT_EQ(bits[2], 8);
  // The window was made once, with the configuration's visual, under its
  // title and with the window class as its class.
  EXPECT_EQ(windowsCreated(), 1);
  XClassHint hint{};
  const ::Window shown = findByTitle(outside, DefaultRootWindow(outside));
  ASSERT_NE(shown, 0u);
  ASSERT_NE(XGetClassHint(outside, shown, &hint), 0);
  EXPECT_STREQ(hint.res_class, className);
  XFree(hint.res_name);
  XFree(hint.res_class);
  EXPECT_TRUE(SwapBuffers(deviceContext));

  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglDeleteContext(context));
}

TEST_F(X11DisplayTest, ResizingAndMinimisingSendWmSize) {
  ASSERT_NO_FATAL_FAILURE(show());
  XResizeWindow(outside, xWindow, 400, 300);
  XFlush(outside);
  ASSERT_TRUE(pumpUntil([] { return last(WM_SIZE) != nullptr; }));
  EXPECT_EQ(last(WM_SIZE)->wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(last(WM_SIZE)->lParam, MAKELPARAM(400, 300));

  // Unmapped by someone else: iconified, which Win32 reports as 0 x 0.
  XUnmapWindow(outside, xWindow);
  XFlush(outside);
  ASSERT_TRUE(pumpUntil([] { return last(WM_SIZE)->wParam == SIZE_MINIMIZED; }));
  EXPECT_EQ(last(WM_SIZE)->lParam, 0);

  XMapWindow(outside, xWindow);
  XFlush(outside);
  ASSERT_TRUE(pumpUntil([] { return last(WM_SIZE)->wParam == SIZE_RESTORED; }));
  EXPECT_EQ(last(WM_SIZE)->lParam, MAKELPARAM(400, 300));
}

TEST_F(X11DisplayTest, TheCloseButtonClosesThroughTheSystemMenuCommand) {
  ASSERT_NO_FATAL_FAILURE(show());
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xWindow;
  event.xclient.message_type = XInternAtom(outside, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(outside, "WM_DELETE_WINDOW", False));
  XSendEvent(outside, xWindow, False, NoEventMask, &event);
  XFlush(outside);
  ASSERT_TRUE(pumpUntil([] { return last(WM_DESTROY) != nullptr; }));
  std::vector<UINT> sequence;
  for (const MSG& message : delivered) {
    if (message.message == WM_SYSCOMMAND || message.message == WM_CLOSE ||
        message.message == WM_DESTROY) {
      sequence.push_back(message.message);
    }
  }
  EXPECT_EQ(sequence, (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}));
  EXPECT_EQ(delivered.front().wParam, static_cast<WPARAM>(SC_CLOSE));
}

TEST_F(X11DisplayTest, KeysButtonsAndTheWheelArriveAsWin32Input) {
  ASSERT_NO_FATAL_FAILURE(show());
  // Shift and the '=' key, then the left button and a notch of the wheel
  // towards the user at (12, 34), sent to the window as a server would.
  XEvent key{};
  key.xkey.type = KeyPress;
  key.xkey.window = xWindow;
  key.xkey.root = DefaultRootWindow(outside);
  key.xkey.keycode = XKeysymToKeycode(outside, XK_equal);
  key.xkey.state = ShiftMask;
  key.xkey.same_screen = True;
  XSendEvent(outside, xWindow, False, KeyPressMask, &key);
  XEvent button{};
  button.xbutton.type = ButtonPress;
  button.xbutton.window = xWindow;
  button.xbutton.root = DefaultRootWindow(outside);
  button.xbutton.x = 12;
  button.xbutton.y = 34;
  button.xbutton.x_root = 112;
  button.xbutton.y_root = 134;
  button.xbutton.same_screen = True;
  button.xbutton.button = Button1;
  XSendEvent(outside, xWindow, False, ButtonPressMask, &button);
  button.xbutton.button = Button5;
  button.xbutton.state = Button1Mask;
  XSendEvent(outside, xWindow, False, ButtonPressMask, &button);
  XFlush(outside);
  ASSERT_TRUE(pumpUntil([] { return last(WM_MOUSEWHEEL) != nullptr; }));

  ASSERT_NE(last(WM_KEYDOWN), nullptr);
  EXPECT_EQ(last(WM_KEYDOWN)->wParam, static_cast<WPARAM>(VK_OEM_PLUS));
  ASSERT_NE(last(WM_CHAR), nullptr);  // TranslateMessage in the loop made it
  EXPECT_EQ(last(WM_CHAR)->wParam, static_cast<WPARAM>('+'));
  ASSERT_NE(last(WM_LBUTTONDOWN), nullptr);
  EXPECT_EQ(last(WM_LBUTTONDOWN)->wParam, static_cast<WPARAM>(MK_LBUTTON));
  EXPECT_EQ(last(WM_LBUTTONDOWN)->lParam, MAKELPARAM(12, 34));
  EXPECT_EQ(last(WM_MOUSEWHEEL)->wParam, MAKEWPARAM(MK_LBUTTON, -WHEEL_DELTA));
  EXPECT_EQ(last(WM_MOUSEWHEEL)->lParam, MAKELPARAM(112, 134));
}

TEST_F(X11DisplayTest, TheActiveWindowIsAskedBeforeTheScreenSaverStarts) {
  ASSERT_NO_FATAL_FAILURE(show());
  XSetScreenSaver(outside, 2, 0, DefaultBlanking, DefaultExposures);
  XSetInputFocus(outside, xWindow, RevertToParent, CurrentTime);
  XFlush(outside);
  refuseScreenSaver = true;
  const auto asked = [] {
    const MSG* command = last(WM_SYSCOMMAND);
    return command != nullptr && command->wParam == SC_SCREENSAVE;
  };
  EXPECT_TRUE(pumpUntil(asked));
  XSetScreenSaver(outside, 0, 0, DefaultBlanking, DefaultExposures);
  XFlush(outside);
}

}  // namespace
