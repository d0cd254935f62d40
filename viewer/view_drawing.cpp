#include "viewer/view_drawing.h"

#include "platform/gl.h"

namespace {

void drawElements(GLenum mode, const ElementIndices& indices) {
  const auto count = static_cast<GLsizei>(indices.size());
  if (!indices.narrow.empty()) {
    glDrawElements(mode, count, GL_UNSIGNED_SHORT, indices.narrow.data());
  } else {
    glDrawElements(mode, count, GL_UNSIGNED_INT, indices.wide.data());
  }
}

}  // namespace

void setUpViewDrawing() {
  // Only the calls and parameters that the browser's GL emulation has too:
  // glLightModelf, and ambient and diffuse given apart.
  glLightModelf(GL_LIGHT_MODEL_TWO_SIDE, 1.0f);
  const GLfloat white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  const GLfloat ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightfv(GL_LIGHT0, GL_SPECULAR, white);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glEnable(GL_LIGHT0);
  // The demo's red, shaded.
  const GLfloat red[4] = {0.9f, 0.15f, 0.1f, 1.0f};
  const GLfloat specular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  const GLfloat shininess[1] = {40.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, red);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

void drawView(const ViewState& state, const SurfaceView& surface) {
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (state.lighting) {
    glEnable(GL_LIGHTING);
    // Given while the model-view matrix is the identity, the direction is in
    // eye space: the light stays above left of the eye however it turns.
    const GLfloat towardsLight[4] = {-0.3f, 0.4f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, towardsLight);
  } else {
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 0.0f);
  }
  const Camera& camera = state.camera;
  glTranslatef(static_cast<GLfloat>(camera.panX), static_cast<GLfloat>(camera.panY),
               static_cast<GLfloat>(-camera.distance));
  glRotatef(static_cast<GLfloat>(camera.pitchDegrees), 1.0f, 0.0f, 0.0f);
  glRotatef(static_cast<GLfloat>(camera.yawDegrees), 0.0f, 1.0f, 0.0f);

  // Faces seen from behind are left out where none can show, which saves
  // the rasteriser about half its work; where the grid cuts the surface
  // open they are drawn, lit from their own side.
  if (surface.closed()) {
    glEnable(GL_CULL_FACE);
  } else {
    glDisable(GL_CULL_FACE);
  }
  if (surface.triangles() == 0) {
    return;
  }
  const std::vector<ShadedVertex>& vertices =
      state.smoothNormals || state.wireframe ? surface.smoothVertices() : surface.flatVertices();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(ShadedVertex), &vertices.data()->position);
  glNormalPointer(GL_FLOAT, sizeof(ShadedVertex), &vertices.data()->normal);
  if (state.wireframe) {
    drawElements(GL_LINES, surface.edgeIndices());
  } else if (state.smoothNormals) {
    drawElements(GL_TRIANGLES, surface.faceIndices());
  } else {
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
  }
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}
