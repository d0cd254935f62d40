#include "viewer/view_drawing.h"

#include "engine/gl.h"

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
  const IndexedMesh& mesh = surface.mesh();
  if (mesh.faces.empty()) {
    return;
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  if (state.wireframe) {
    glVertexPointer(3, GL_FLOAT, sizeof(Point3), mesh.vertices.data());
    glNormalPointer(GL_FLOAT, sizeof(Point3), mesh.normals.data());
    glDrawElements(GL_LINES, static_cast<GLsizei>(surface.edges().size()), GL_UNSIGNED_INT,
                   surface.edges().data());
  } else if (state.smoothNormals) {
    glVertexPointer(3, GL_FLOAT, sizeof(Point3), mesh.vertices.data());
    glNormalPointer(GL_FLOAT, sizeof(Point3), mesh.normals.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(mesh.faces.size() * 3), GL_UNSIGNED_INT,
                   mesh.faces.data());
  } else {
    glVertexPointer(3, GL_FLOAT, sizeof(Point3), surface.flatVertices().data());
    glNormalPointer(GL_FLOAT, sizeof(Point3), surface.flatNormals().data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(surface.flatVertices().size()));
  }
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}
