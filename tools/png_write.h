// 8-bit RGB PNG output.
#pragma once

#include <string>

// Writes width x height RGB pixels, three bytes each, rows packed and top row
// first. On failure returns false with libpng's reason.
bool writePngRgb(const std::string& path, int width, int height, const unsigned char* pixels,
                 std::string& error);
