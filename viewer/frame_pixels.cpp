#include "viewer/frame_pixels.h"

#include <algorithm>
#include <cstddef>

#include "platform/gl.h"

bool readFramePixels(int width, int height, std::vector<unsigned char>& rgb, std::string& error) {
  const auto columns = static_cast<std::size_t>(width);
  const auto rows = static_cast<std::size_t>(height);
  std::vector<unsigned char> rgbaBottomFirst(columns * rows * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rgbaBottomFirst.data());
  const GLenum glError = glGetError();
  if (glError != GL_NO_ERROR) {
    error = "reading the picture back failed (GL error " + std::to_string(glError) + ")";
    return false;
  }
  rgb.resize(columns * rows * 3);
  for (std::size_t row = 0; row < rows; ++row) {
    const unsigned char* from = &rgbaBottomFirst[(rows - 1 - row) * columns * 4];
    unsigned char* to = &rgb[row * columns * 3];
    for (std::size_t column = 0; column < columns; ++column) {
      std::copy_n(from + column * 4, 3, to + column * 3);
    }
  }
  return true;
}
