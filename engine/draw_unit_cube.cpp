#include "engine/engine.h"

namespace {

constexpr float m = -0.5f;
constexpr float p = 0.5f;

// The axis-aligned cube of edge 1 centred at the origin as twelve triangles,
// two per face, each counter-clockwise seen from outside.
constexpr GLfloat unitCubeVertices[36][3] = {
    {m, m, m}, {m, m, p}, {m, p, m},  // x = -0.5
    {m, m, p}, {m, p, p}, {m, p, m},  //
    {p, p, p}, {m, m, p}, {p, m, p},  // z = +0.5
    {p, p, p}, {m, p, p}, {m, m, p},  //
    {p, m, p}, {p, p, m}, {p, p, p},  // x = +0.5
    {p, m, p}, {p, m, m}, {p, p, m},  //
    {m, m, m}, {m, p, m}, {p, p, m},  // z = -0.5
    {m, m, m}, {p, p, m}, {p, m, m},  //
    {m, m, m}, {p, m, m}, {m, m, p},  // y = -0.5
    {m, m, p}, {p, m, m}, {p, m, p},  //
    {m, p, m}, {m, p, p}, {p, p, m},  // y = +0.5
    {m, p, p}, {p, p, p}, {p, p, m},  //
};

}  // namespace

void Engine::drawUnitCube() {
  // One GL_LINES batch over the triangle list, as the graphics call list has
  // it: consecutive vertices pair up into 18 segments. Nothing draws the cube,
  // so keeping the one batch of the call list matters more than its look.
  glBegin(GL_LINES);
  for (const auto& vertex : unitCubeVertices) {
    glVertex3f(vertex[0], vertex[1], vertex[2]);
  }
  glEnd();
}
