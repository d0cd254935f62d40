#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "iso/isosurface.h"
#include "port/port.h"
#include "tests/engine/offscreen_fixture.h"

namespace {

// The two ball centres (in the plane z = 0) at the ticks these tests draw:
// (5.5 cos t, 5 sin t) and (5.5 sin t, 5 sin t) for t = ticks / 50, worked out
// apart from the engine, to 200 bits, and rounded to float.
struct Balls {
  float ax, ay, bx, by;
};

Balls ballsAt(std::int32_t ticks) {
  switch (ticks) {
    case 0:
      return {5.5f, 0.0f, 0.0f, 0.0f};
    case 25:
      return {4.82670403f, 2.39712763f, 2.63684034f, 2.39712763f};
    case -1000:
      return {2.24445128f, -4.56472635f, -5.02119875f, -4.56472635f};
  }
  ADD_FAILURE() << "no ball centres written down for tick " << ticks;
  return {};
}

// The frame's triangles in drawing order, swept here rather than by the
// engine's own scene code: cell centres at grid coordinates 0 to 16 on each
// axis, x outermost and z innermost; each cell cleared, both balls sampled
// (extent 16, half edge 0.5, strength 2) and polygonised at iso level 0.25.
std::vector<Triangle> sceneTriangles(const Balls& balls) {
  std::vector<Triangle> triangles;
  GridCell cell;
  Triangle found[5];
  for (int x = 0; x <= 16; ++x) {
    for (int y = 0; y <= 16; ++y) {
      for (int z = 0; z <= 16; ++z) {
        clearGridCell(cell);
        sampleMetaball(cell, 16.0f, 0.5f, 2.0f, static_cast<float>(x), static_cast<float>(y),
                       static_cast<float>(z), balls.ax, balls.ay, 0.0f);
        sampleMetaball(cell, 16.0f, 0.5f, 2.0f, static_cast<float>(x), static_cast<float>(y),
                       static_cast<float>(z), balls.bx, balls.by, 0.0f);
        const int count = triangulateCell(cell, 0.25, found);
        triangles.insert(triangles.end(), found, found + count);
      }
    }
  }
  return triangles;
}

struct WindowVertex {
  double x, y, z;
};
using WindowTriangle = std::vector<WindowVertex>;

class RenderFrame : public OffscreenEngineTest {
 protected:
  void SetUp() override {
    OffscreenEngineTest::SetUp();
    engine.resize(width, height);
  }

  // The frame's polygons as GL reports them in feedback mode, in drawing order.
  std::vector<WindowTriangle> drawnPolygons() {
    std::vector<GLfloat> buffer(5 * 4913 * 11);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    engine.renderFrame();
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer overflow";
    std::vector<WindowTriangle> polygons;
    for (GLint i = 0; i < count;) {
      EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN) << "at " << i;
      if (buffer[i] != GL_POLYGON_TOKEN) {
        break;
      }
      const int vertices = static_cast<int>(buffer[i + 1]);
      i += 2;
      WindowTriangle polygon;
      for (int v = 0; v < vertices; ++v, i += 3) {
        polygon.push_back({buffer[i], buffer[i + 1], buffer[i + 2]});
      }
      polygons.push_back(polygon);
    }
    return polygons;
  }

  // The scene's triangles at the engine's tick, projected to the window with
  // the eye offset of -40 along z and the projection resize set.
  std::vector<WindowTriangle> sweptTriangles() {
    const GLdouble modelView[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -40, 1};
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLint viewport[4] = {0, 0, width, height};
    std::vector<WindowTriangle> triangles;
    for (const Triangle& triangle : sceneTriangles(ballsAt(engine.ticks))) {
      WindowTriangle projected;
      for (const Point3& p : triangle.vertices) {
        WindowVertex w{};
        gluProject(p.x, p.y, p.z, modelView, projection, viewport, &w.x, &w.y, &w.z);
        projected.push_back(w);
      }
      triangles.push_back(projected);
    }
    return triangles;
  }
};

// Twice the signed area in window coordinates: positive when counter-clockwise.
double windingArea(const WindowTriangle& t) {
  return (t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y);
}

void expectSameTriangles(const std::vector<WindowTriangle>& drawn,
                         const std::vector<WindowTriangle>& expected) {
  ASSERT_EQ(drawn.size(), expected.size());
  for (std::size_t t = 0; t < drawn.size(); ++t) {
    ASSERT_EQ(drawn[t].size(), 3u) << "polygon " << t;
    for (int v = 0; v < 3; ++v) {
      ASSERT_NEAR(drawn[t][v].x, expected[t][v].x, 0.01) << "triangle " << t << " vertex " << v;
      ASSERT_NEAR(drawn[t][v].y, expected[t][v].y, 0.01) << "triangle " << t << " vertex " << v;
      ASSERT_NEAR(drawn[t][v].z, expected[t][v].z, 1e-5) << "triangle " << t << " vertex " << v;
    }
  }
}

std::vector<unsigned char> readColour(int width, int height) {
  std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  return rgb;
}

}  // namespace

TEST_F(RenderFrame, DrawsEverySweptTriangleInOrderWhenNothingIsCulled) {
  for (const std::int32_t tick : {0, 25, -1000}) {
    SCOPED_TRACE(tick);
    engine.ticks = tick;
    glDisable(GL_CULL_FACE);
    const std::vector<WindowTriangle> expected = sweptTriangles();
    ASSERT_GT(expected.size(), 100u);
    expectSameTriangles(drawnPolygons(), expected);
  }
}

TEST_F(RenderFrame, CullingKeepsOnlyTheCounterClockwiseTriangles) {
  engine.ticks = 25;
  std::vector<WindowTriangle> frontFacing;
  std::size_t all = 0;
  for (const WindowTriangle& t : sweptTriangles()) {
    ++all;
    if (windingArea(t) > 0.0) {
      frontFacing.push_back(t);
    }
  }
  const std::vector<WindowTriangle> drawn = drawnPolygons();
  // Both sides of the closed surfaces face the eye somewhere.
  ASSERT_GT(frontFacing.size(), 0u);
  ASSERT_LT(frontFacing.size(), all);
  expectSameTriangles(drawn, frontFacing);
}

TEST_F(RenderFrame, LeavesModelViewWithEyeOffsetAndRedAndKeepsTheClock) {
  engine.ticks = 123;
  glMatrixMode(GL_PROJECTION);
  glColor3f(0.0f, 1.0f, 0.0f);
  engine.renderFrame();

  EXPECT_EQ(engine.ticks, 123);
  GLint mode = 0;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
  GLfloat modelView[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
  const GLfloat translated[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -40, 1};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(modelView[i], translated[i]) << i;
  }
  GLfloat colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_EQ(colour[0], 1.0f);
  EXPECT_EQ(colour[1], 0.0f);
  EXPECT_EQ(colour[2], 0.0f);
}

TEST_F(RenderFrame, ClearsAllThreeBuffersAndSwapsOnceOnTheEnginesDeviceContext) {
  // Fill the buffers with other values: green, depth 0 (which would hide
  // every triangle under GL_LESS), stencil 7; then restore the engine's own
  // clear values.
  glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
  glClearDepth(0.0);
  glClearStencil(7);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  glClearDepth(1.0);
  engine.init(offscreen.window, offscreen.rendering.deviceContext);

  // The swap on the engine's device context, as the window system reports it.
  std::vector<std::string> calls;
  port::observeCalls([&calls](std::string_view call) { calls.emplace_back(call); });
  SwapBuffers(offscreen.rendering.deviceContext);
  ASSERT_EQ(calls.size(), 1u);
  const std::string swap = calls[0];
  calls.clear();
  engine.renderFrame();
  port::observeCalls(nullptr);
  EXPECT_EQ(calls, std::vector<std::string>{swap});

  const std::vector<unsigned char> rgb = readColour(width, height);
  EXPECT_EQ(rgb[0], 64);
  EXPECT_EQ(rgb[1], 64);
  EXPECT_EQ(rgb[2], 64);
  std::vector<GLfloat> depth(static_cast<std::size_t>(width) * height);
  glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
  EXPECT_EQ(depth[0], 1.0f);
  std::vector<GLubyte> stencil(static_cast<std::size_t>(width) * height);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
  std::size_t uncleared = 0;
  for (const GLubyte s : stencil) {
    uncleared += s != 0;
  }
  EXPECT_EQ(uncleared, 0u);
  // The red blobs were drawn over the cleared depth.
  std::size_t red = 0;
  for (std::size_t i = 0; i < rgb.size(); i += 3) {
    red += rgb[i] == 255 && rgb[i + 1] == 0 && rgb[i + 2] == 0;
  }
  EXPECT_GT(red, 1000u);
}

TEST_F(RenderFrame, TwoFramesAtOneTickGiveIdenticalPixels) {
  engine.ticks = 40;
  engine.renderFrame();
  const std::vector<unsigned char> first = readColour(width, height);
  engine.renderFrame();
  EXPECT_TRUE(first == readColour(width, height));
  engine.ticks = 41;
  engine.renderFrame();
  EXPECT_FALSE(first == readColour(width, height));
}
