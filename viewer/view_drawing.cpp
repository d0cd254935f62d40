#include "viewer/view_drawing.h"

#include "platform/gl.h"

using namespace mcubes::internal;

namespace {

void drawElements(GLenum mode, const ElementIndices& indices) {
  const auto count = static_cast<GLsizei>(indices.size());
  if (!indices.narrow.empty()) {
    glDrawElements(mode, count, GL_UNSIGNED_SHORT, indices.narrow.data());
  } else {
    glDrawElements(mode, count, GL_UNSIGNED_INT, indices.wide.data());
  }
}

// The lit faces' colour. The browser's GL emulation takes materials for
// both sides alike only, so the inside's darker red is drawn in a pass of
// its own; and it has no glColorMaterial, so a surface's own colours rely on
// its default (ambient and diffuse of both sides).
void setMaterial(const GLfloat (&colour)[4]) {
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, colour);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour);
}

// The demo's red, shaded, and the inside's, where the clipping plane or the
// grid opens the surface.
constexpr GLfloat outsideRed[4] = {0.9f, 0.15f, 0.1f, 1.0f};
constexpr GLfloat insideRed[4] = {0.35f, 0.06f, 0.04f, 1.0f};

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
  const GLfloat specular[4] = {0.5f, 0.5f, 0.5f, 1.0f};
  const GLfloat shininess[1] = {40.0f};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SHININESS, shininess);
}

void drawView(const ViewState& state, const SurfaceView& surface, const SliceView& slices,
              const SurfaceDescription& box) {
  glClear(GL_COLOR_BUFFER_BIT | GL_STENCIL_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  if (state.lighting) {
    // Given while the model-view matrix is the identity, the direction is in
    // eye space: the light stays above left of the eye however it turns.
    const GLfloat towardsLight[4] = {-0.3f, 0.4f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, towardsLight);
  }
  const Camera& camera = state.camera;
  glTranslatef(static_cast<GLfloat>(camera.panX), static_cast<GLfloat>(camera.panY),
               static_cast<GLfloat>(-camera.distance));
  glRotatef(static_cast<GLfloat>(camera.pitchDegrees), 1.0f, 0.0f, 0.0f);
  glRotatef(static_cast<GLfloat>(camera.yawDegrees), 0.0f, 1.0f, 0.0f);

  // The slices first, unclipped, seen from both sides: the one in the
  // clipping plane lies where the surface is cut.
  glDisable(GL_CULL_FACE);
  slices.draw(state);
  if (state.lighting) {
    glEnable(GL_LIGHTING);
  } else {
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 0.0f, 0.0f);
  }

  // Given under the camera's transformation, the plane stays with the
  // surface as it turns; it keeps the side below its position.
  const ClipPlane& clip = state.clip;
  if (clip.on) {
    const int a = clip.axis;
    GLdouble plane[4] = {0.0, 0.0, 0.0, 0.0};
    plane[a] = -1.0;
    plane[3] = box.boxLow[a] + clip.fraction(a) * (box.boxHigh[a] - box.boxLow[a]);
    glClipPlane(GL_CLIP_PLANE0, plane);
    glEnable(GL_CLIP_PLANE0);
  }

  if (surface.triangles() == 0) {
    glDisable(GL_CLIP_PLANE0);
    return;
  }
  const bool smooth = state.smoothNormals || state.wireframe;
  const std::vector<ShadedVertex>& vertices =
      smooth ? surface.smoothVertices() : surface.flatVertices();
  const std::vector<Rgb>& colours = smooth ? surface.smoothColours() : surface.flatColours();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, sizeof(ShadedVertex), &vertices.data()->position);
  glNormalPointer(GL_FLOAT, sizeof(ShadedVertex), &vertices.data()->normal);
  const auto drawFaces = [&] {
    if (state.wireframe) {
      drawElements(GL_LINES, surface.edgeIndices());
    } else if (state.smoothNormals) {
      drawElements(GL_TRIANGLES, surface.faceIndices());
    } else {
      glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    }
  };

  // Faces seen from behind are left out where none can show, which saves
  // the rasteriser about half its work; where the grid or the clipping
  // plane cuts the surface open they are drawn, lit from their own side,
  // darker (lines are never culled: the wireframe draws once).
  const bool backsShow = !surface.closed() || clip.on;
  if (backsShow && state.lighting && !state.wireframe) {
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    setMaterial(insideRed);
    drawFaces();
    glCullFace(GL_BACK);
  } else if (backsShow) {
    glDisable(GL_CULL_FACE);
  } else {
    glEnable(GL_CULL_FACE);
  }
  setMaterial(outsideRed);
  if (!colours.empty()) {
    glEnable(GL_COLOR_MATERIAL);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_UNSIGNED_BYTE, sizeof(Rgb), colours.data());
  }
  drawFaces();
  glDisableClientState(GL_COLOR_ARRAY);
  glDisable(GL_COLOR_MATERIAL);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_CLIP_PLANE0);
}
