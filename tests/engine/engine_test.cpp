#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "tests/engine/offscreen_fixture.h"
#include "tests/support/captured_stdout.h"

TEST(EngineClock, TickAddsOneAndWrapsFromLargestToSmallest) {
  Engine engine{};
  engine.tick();
  EXPECT_EQ(engine.ticks, 1);
  engine.ticks = -1;
  engine.tick();
  EXPECT_EQ(engine.ticks, 0);
  engine.ticks = std::numeric_limits<std::int32_t>::max();
  engine.tick();
  EXPECT_EQ(engine.ticks, std::numeric_limits<std::int32_t>::min());
  engine.tick();
  EXPECT_EQ(engine.ticks, std::numeric_limits<std::int32_t>::min() + 1);
}

TEST(EngineShutdown, WritesExactlyTheShutdownLineToStandardOutput) {
  Engine engine{};
  EXPECT_EQ(capturedStdout([&engine] { engine.shutdown(); }), "Shutting down.\n");
}

using EngineState = OffscreenEngineTest;

TEST_F(EngineState, InitCopiesHandlesResetsClockAndFixesGlState) {
  // Start from the opposite of every value init sets.
  glClearColor(1.0f, 0.0f, 1.0f, 0.0f);
  glClearStencil(5);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glFrontFace(GL_CW);
  glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
  Engine fresh{};
  fresh.ticks = 77;
  fresh.init(offscreen.window, offscreen.rendering.deviceContext);

  EXPECT_EQ(fresh.ticks, 0);
  EXPECT_EQ(fresh.window, offscreen.window);
  EXPECT_EQ(fresh.deviceContext, offscreen.rendering.deviceContext);

  GLfloat clearColour[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
  EXPECT_FLOAT_EQ(clearColour[0], 0.25f);
  EXPECT_FLOAT_EQ(clearColour[1], 0.25f);
  EXPECT_FLOAT_EQ(clearColour[2], 0.25f);
  EXPECT_FLOAT_EQ(clearColour[3], 1.0f);
  GLint value = -1;
  glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &value);
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  glGetIntegerv(GL_FRONT_FACE, &value);
  EXPECT_EQ(value, GL_CCW);
  glGetIntegerv(GL_BLEND_SRC, &value);
  EXPECT_EQ(value, GL_ONE);
  glGetIntegerv(GL_BLEND_DST, &value);
  EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  // The defaults the picture relies on.
  glGetIntegerv(GL_DEPTH_FUNC, &value);
  EXPECT_EQ(value, GL_LESS);
  glGetIntegerv(GL_CULL_FACE_MODE, &value);
  EXPECT_EQ(value, GL_BACK);
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

namespace {

void expectMatrix(GLenum which, const double (&expected)[16]) {
  GLdouble actual[16];
  glGetDoublev(which, actual);
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(actual[i], expected[i], 1e-5 * (1.0 + std::fabs(expected[i]))) << "element " << i;
  }
}

constexpr double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// Leaves a non-identity model-view and the projection selected, so resize
// has to select and reset the model-view itself.
void disturbMatrices() {
  glMatrixMode(GL_MODELVIEW);
  glTranslatef(1.0f, 2.0f, 3.0f);
  glMatrixMode(GL_PROJECTION);
}

void expectModelViewSelectedAndIdentity() {
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  expectMatrix(GL_MODELVIEW_MATRIX, identity);
}

}  // namespace

TEST_F(EngineState, ResizeSetsViewportAndFortyFiveDegreePerspective) {
  disturbMatrices();
  engine.resize(800, 600);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[0], 0);
  EXPECT_EQ(viewport[1], 0);
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);

  // The perspective matrix for a 45-degree vertical field of view, aspect
  // 800 / 600 = 1.333... (an integer quotient would give 1), near 1, far 2001.
  const double f = 1.0 / std::tan(45.0 / 2.0 * std::acos(-1.0) / 180.0);
  const double aspect = 800.0 / 600.0;
  const double near = 1.0;
  const double far = 2001.0;
  const double perspective[16] = {f / aspect,
                                  0,
                                  0,
                                  0,
                                  0,
                                  f,
                                  0,
                                  0,
                                  0,
                                  0,
                                  (far + near) / (near - far),
                                  -1,
                                  0,
                                  0,
                                  2 * far * near / (near - far),
                                  0};
  expectMatrix(GL_PROJECTION_MATRIX, perspective);
  expectModelViewSelectedAndIdentity();
}

TEST_F(EngineState, ResizeToZeroHeightKeepsIdentityProjectionAndFramesStillDraw) {
  engine.resize(800, 600);
  disturbMatrices();
  engine.resize(0, 0);

  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 0);
  EXPECT_EQ(viewport[3], 0);
  expectMatrix(GL_PROJECTION_MATRIX, identity);
  expectModelViewSelectedAndIdentity();

  engine.resize(640, 0);
  expectMatrix(GL_PROJECTION_MATRIX, identity);
  engine.renderFrame();
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(EngineState, DrawUnitCubeSubmitsTheTriangleListAsEighteenLinePairs) {
  // An orthographic view of the unit box onto the 800x600 viewport: window
  // x = 200 or 600 for model x = -0.5 or +0.5, window y = 150 or 450, and
  // depth 0.75 or 0.25 for model z = -0.5 or +0.5.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-1.0, 1.0, -1.0, 1.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, width, height);

  GLfloat buffer[512];
  glFeedbackBuffer(512, GL_3D, buffer);
  glRenderMode(GL_FEEDBACK);
  engine.drawUnitCube();
  const GLint count = glRenderMode(GL_RENDER);

  // Each segment: a line token and two window-space vertices.
  ASSERT_EQ(count, 18 * 7);
  for (int segment = 0; segment < 18; ++segment) {
    const GLfloat token = buffer[segment * 7];
    EXPECT_TRUE(token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) << segment;
  }
  // Vertices pair up in list order: the first segment joins (-, -, -) to
  // (-, -, +), the last (+, +, +) to (+, +, -).
  const GLfloat first[6] = {200, 150, 0.75f, 200, 150, 0.25f};
  const GLfloat last[6] = {600, 450, 0.25f, 600, 450, 0.75f};
  for (int i = 0; i < 6; ++i) {
    EXPECT_NEAR(buffer[1 + i], first[i], 1e-3) << i;
    EXPECT_NEAR(buffer[17 * 7 + 1 + i], last[i], 1e-3) << i;
  }
}
