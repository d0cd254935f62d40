#include "viewer/slice_view.h"

using namespace mcubes::internal;

void SliceView::release() {
  if (textures_[0] != 0) glDeleteTextures(3, textures_);
  for (int axis = 0; axis < 3; ++axis) {
    textures_[axis] = 0;
    at_[axis] = -1;
  }
}

void SliceView::update(const ViewState& state) {
  if (!state.slices) return;
  if (textures_[0] == 0) glGenTextures(3, textures_);
  for (int axis = 0; axis < 3; ++axis) {
    if (state.clip.at[axis] == at_[axis]) continue;
    at_[axis] = state.clip.at[axis];
    SliceImage image;
    present_[axis] = source_.slice(axis, state.clip.fraction(axis), image);
    if (!present_[axis]) continue;
    for (int corner = 0; corner < 4; ++corner) corners_[axis][corner] = image.corners[corner];
    glBindTexture(GL_TEXTURE_2D, textures_[axis]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, image.width, image.height, 0, GL_LUMINANCE,
                 GL_UNSIGNED_BYTE, image.grey.data());
  }
  glBindTexture(GL_TEXTURE_2D, 0);
}

void SliceView::draw(const ViewState& state) const {
  if (!state.slices) return;
  glDisable(GL_LIGHTING);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glColor3f(1.0f, 1.0f, 1.0f);
  const GLfloat texture[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int axis = 0; axis < 3; ++axis) {
    if (!present_[axis]) continue;
    glBindTexture(GL_TEXTURE_2D, textures_[axis]);
    glBegin(GL_QUADS);
    for (int corner = 0; corner < 4; ++corner) {
      const Point3& p = corners_[axis][corner];
      glTexCoord2f(texture[corner][0], texture[corner][1]);
      glVertex3f(p.x, p.y, p.z);
    }
    glEnd();
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
}
