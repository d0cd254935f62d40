#include "tools/png_write.h"

#include <png.h>

bool writePngRgb(const std::string& path, int width, int height, const unsigned char* pixels,
                 std::string& error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  if (png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr) == 0) {
    error = image.message;
    png_image_free(&image);
    return false;
  }
  return true;
}
