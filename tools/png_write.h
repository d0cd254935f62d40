// 8-bit RGB PNG output.
#pragma once

#include <cstdio>

// Writes width x height RGB pixels, three bytes each, rows packed and top row
// first, to an open file. False when libpng or the file fails.
bool writePngRgb(std::FILE* out, int width, int height, const unsigned char* pixels);
