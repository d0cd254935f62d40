// A window on the headless display gets a current OpenGL context through
// the same calls the demo's shell makes, and draws pixels that can be read
// back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/pixel_format.h"
#include "port/port.h"
#include "port/wgl.h"
#include "port/window_table.h"

namespace {

const char className[] = "headless test";

struct Creation {
  std::vector<UINT> messages;
  LPARAM sizeParameter = 0;
};
Creation creation;

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  creation.messages.push_back(message);
  if (message == WM_SIZE) {
    creation.sizeParameter = lParam;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class HeadlessWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
  }

  void SetUp() override {
    creation = Creation();
    WNDCLASSA windowClass{};
    windowClass.style = CS_OWNDC;
    windowClass.lpfnWndProc = recordingProc;
    windowClass.lpszClassName = className;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
  }

  void TearDown() override {
    if (window != nullptr) {
      DestroyWindow(window);
    }
    EXPECT_TRUE(UnregisterClassA(className, nullptr));
  }

  void create(int width, int height) {
    window = CreateWindowExA(0, className, "test", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, width, height, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
  }

  HGLRC makeContext(HDC deviceContext) {
    const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
    const int format = ChoosePixelFormat(deviceContext, &request);
    EXPECT_NE(format, 0);
    EXPECT_TRUE(SetPixelFormat(deviceContext, format, &request));
    HGLRC context = wglCreateContext(deviceContext);
    EXPECT_NE(context, nullptr);
    EXPECT_TRUE(wglMakeCurrent(deviceContext, context));
    return context;
  }

  HWND window = nullptr;
};

TEST_F(HeadlessWindow, CreationSendsCreateThenSizeWithTheClientSize) {
  create(320, 200);
  ASSERT_GE(creation.messages.size(), 2u);
  EXPECT_EQ(creation.messages[0], static_cast<UINT>(WM_CREATE));
  EXPECT_EQ(creation.messages[1], static_cast<UINT>(WM_SIZE));
  EXPECT_EQ(LOWORD(creation.sizeParameter), 320);
  EXPECT_EQ(HIWORD(creation.sizeParameter), 200);

  DestroyWindow(window);
  window = nullptr;
  EXPECT_EQ(creation.messages.back(), static_cast<UINT>(WM_DESTROY));
}

TEST_F(HeadlessWindow, DrawsIntoTheBackBufferAndReadsItBack) {
  create(64, 48);
  HDC deviceContext = GetDC(window);
  ASSERT_NE(deviceContext, nullptr);
  HGLRC context = makeContext(deviceContext);

  // The surface is the window's client area, with the buffers asked for:
  // 8 bits per colour, depth 24, and the 8 stencil bits the driver offers.
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 64);
  EXPECT_EQ(viewport[3], 48);
  GLint bits = 0;
  glGetIntegerv(GL_RED_BITS, &bits);
  EXPECT_EQ(bits, 8);
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  EXPECT_EQ(bits, 24);
  glGetIntegerv(GL_STENCIL_BITS, &bits);
  EXPECT_EQ(bits, 8);

  // Grey everywhere, a red triangle over the lower left half.
  glClearColor(0.25f, 0.25f, 0.25f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glColor3f(1.0f, 0.0f, 0.0f);
  glBegin(GL_TRIANGLES);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glEnd();
  glFinish();

  unsigned char lowerLeft[4] = {};
  unsigned char upperRight[4] = {};
  glReadBuffer(GL_BACK);
  glReadPixels(4, 4, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, lowerLeft);
  glReadPixels(60, 44, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, upperRight);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_EQ(lowerLeft[0], 255);
  EXPECT_EQ(lowerLeft[1], 0);
  EXPECT_EQ(upperRight[0], 64);
  EXPECT_EQ(upperRight[1], 64);
  EXPECT_EQ(upperRight[2], 64);
  EXPECT_TRUE(SwapBuffers(deviceContext));

  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglDeleteContext(context));
  EXPECT_EQ(ReleaseDC(window, deviceContext), 1);
}

TEST_F(HeadlessWindow, FormatsAndContextsFollowTheWin32Rules) {
  create(32, 32);
  HDC deviceContext = GetDC(window);
  const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();

  // No context without a pixel format.
  EXPECT_EQ(wglCreateContext(deviceContext), nullptr);
  EXPECT_FALSE(SetPixelFormat(deviceContext, 0, &request));

  // A display without OpenGL configurations matches nothing.
  port::hideFramebufferConfigs(true);
  EXPECT_EQ(ChoosePixelFormat(deviceContext, &request), 0);
  port::hideFramebufferConfigs(false);

  // The format is set once: the same again is accepted, another refused.
  const int format = ChoosePixelFormat(deviceContext, &request);
  ASSERT_NE(format, 0);
  ASSERT_TRUE(SetPixelFormat(deviceContext, format, &request));
  EXPECT_TRUE(SetPixelFormat(deviceContext, format, &request));
  EXPECT_FALSE(SetPixelFormat(deviceContext, format == 1 ? 2 : 1, &request));

  HGLRC context = wglCreateContext(deviceContext);
  ASSERT_NE(context, nullptr);
  ASSERT_TRUE(wglMakeCurrent(deviceContext, context));
  EXPECT_FALSE(wglMakeCurrent(nullptr, context));  // a context needs a device context

  // Destroying the window takes its surface away from the context, which
  // stays valid and can be deleted.
  DestroyWindow(window);
  window = nullptr;
  EXPECT_FALSE(SwapBuffers(deviceContext));
  EXPECT_FALSE(wglMakeCurrent(deviceContext, context));
  EXPECT_TRUE(wglDeleteContext(context));
  EXPECT_FALSE(wglDeleteContext(context));
}

TEST_F(HeadlessWindow, AFreshWindowSystemReleasesWhatTheOldOneHeld) {
  // A window with a current context: the window system owns its surface,
  // drawable and context, and releases them all when it ends.
  create(16, 16);
  HDC deviceContext = GetDC(window);
  makeContext(deviceContext);
  port::resetWindowSystem();
  EXPECT_EQ(GetDC(window), nullptr);
  EXPECT_EQ(glGetString(GL_VERSION), nullptr);  // no context is current

  // The new one opens its display again and numbers its windows from 1.
  SetUpTestSuite();
  SetUp();
  create(16, 16);
  EXPECT_EQ(port::handleNumber(window), 1u);
  HGLRC context = makeContext(GetDC(window));
  glClear(GL_COLOR_BUFFER_BIT);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  EXPECT_TRUE(wglMakeCurrent(nullptr, nullptr));
  EXPECT_TRUE(wglDeleteContext(context));
}

}  // namespace
