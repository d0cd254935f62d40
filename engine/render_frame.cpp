#include "engine/engine.h"
#include "engine/scene.h"

void Engine::renderFrame() {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1.0f, 0.0f, 0.0f);
  glTranslatef(0.0f, 0.0f, -40.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // Each triangle is its own batch, in the polygoniser's vertex order: the
  // winding decides what back-face culling keeps.
  sweepScene(ballCentres(ticks), [](const Triangle& triangle) {
    glBegin(GL_TRIANGLES);
    for (const Point3& vertex : triangle.vertices) {
      glVertex3f(vertex.x, vertex.y, vertex.z);
    }
    glEnd();
  });

  SwapBuffers(deviceContext);
}
