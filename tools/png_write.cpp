#include "tools/png_write.h"

#include <png.h>

bool writePngRgb(std::FILE* out, int width, int height, const unsigned char* pixels) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const bool written = png_image_write_to_stdio(&image, out, 0, pixels, 0, nullptr) != 0;
  png_image_free(&image);
  return written && std::ferror(out) == 0;
}
