#include "app/pixel_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "port/port.h"

namespace {

const char className[] = "pixel format test";

// A plain window of the own-DC class style; the tests run the context set-up
// and release on it themselves.
class PixelFormat : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(port::selectDisplayBackend("headless", error)) << error;
    WNDCLASSA windowClass{};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = className;
    ASSERT_NE(RegisterClassA(&windowClass), 0);
    window = CreateWindowExA(0, className, "Marching Cubes", WS_OVERLAPPEDWINDOW, 0, 0, 64, 48,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    mainDC = nullptr;
    glContext = nullptr;
    port::observeCalls([this](std::string_view call) { calls.emplace_back(call); });
  }
  void TearDown() override {
    port::observeCalls(nullptr);
    port::hideFramebufferConfigs(false);
    DestroyWindow(window);
    UnregisterClassA(className, nullptr);
  }

  // The names of the calls observed so far, then forgets them.
  std::vector<std::string> takeCallNames() {
    std::vector<std::string> names;
    for (const std::string& call : calls) {
      names.push_back(call.substr(0, call.find('(')));
    }
    calls.clear();
    return names;
  }

  HWND window = nullptr;
  std::vector<std::string> calls;
};

using Names = std::vector<std::string>;

}  // namespace

TEST_F(PixelFormat, SetUpMakesADoubleBufferedContextCurrentAndReleaseGivesItBack) {
  createRenderingContext(window);
  EXPECT_EQ(takeCallNames(), (Names{"GetDC", "ChoosePixelFormat", "SetPixelFormat",
                                    "wglCreateContext", "wglMakeCurrent"}));
  ASSERT_NE(mainDC, nullptr);
  ASSERT_NE(glContext, nullptr);
  // The format asked for: RGBA with depth and stencil, and a context that
  // draws with OpenGL 1.1 calls.
  ASSERT_NE(glGetString(GL_VERSION), nullptr);
  GLint bits = 0;
  glGetIntegerv(GL_DEPTH_BITS, &bits);
  EXPECT_GE(bits, 24);
  glGetIntegerv(GL_STENCIL_BITS, &bits);
  EXPECT_GE(bits, 8);
  glGetIntegerv(GL_RED_BITS, &bits);
  EXPECT_GE(bits, 8);

  releaseRenderingContext(window);
  EXPECT_EQ(takeCallNames(), (Names{"wglMakeCurrent", "wglDeleteContext", "ReleaseDC"}));
  EXPECT_EQ(glGetString(GL_VERSION), nullptr) << "a context is still current";
}

TEST_F(PixelFormat, NoMatchingFormatReportsOnceAndLeavesNoContextToRelease) {
  port::hideFramebufferConfigs(true);
  mainDC = GetDC(window);
  calls.clear();
  EXPECT_EQ(setupPixelFormat(mainDC), 0);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].rfind("ChoosePixelFormat(", 0), 0u) << calls[0];
  EXPECT_EQ(calls[1].rfind("MessageBoxA(", 0), 0u) << calls[1];
  EXPECT_NE(calls[1].find("ChoosePixelFormat failed"), std::string::npos) << calls[1];
  EXPECT_NE(calls[1].find("Error"), std::string::npos) << calls[1];
  ReleaseDC(window, mainDC);
  calls.clear();

  // The whole set-up goes on after the one box and ends with no context.
  createRenderingContext(window);
  EXPECT_EQ(takeCallNames(), (Names{"GetDC", "ChoosePixelFormat", "MessageBoxA", "wglCreateContext",
                                    "wglMakeCurrent"}));
  EXPECT_EQ(glContext, nullptr);
  releaseRenderingContext(window);
  EXPECT_TRUE(calls.empty()) << "release without a context made calls, first " << calls[0];
  ReleaseDC(window, mainDC);
}
