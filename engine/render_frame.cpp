#include "engine/engine.h"
#include "engine/frame_drawing.h"
#include "scene/scene.h"

void beginFrameDrawing() {
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glColor3f(1.0f, 0.0f, 0.0f);
  glTranslatef(0.0f, 0.0f, -40.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void drawFrameTriangle(const Triangle& triangle) {
  glBegin(GL_TRIANGLES);
  for (const Point3& vertex : triangle.vertices) {
    glVertex3f(vertex.x, vertex.y, vertex.z);
  }
  glEnd();
}

void Engine::renderFrame() {
  beginFrameDrawing();
  sweepScene(ballCentres(ticks), drawFrameTriangle);
  SwapBuffers(deviceContext);
}
