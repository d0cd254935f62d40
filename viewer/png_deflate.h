// The zlib stream that holds a PNG's filtered rows. CMake builds one of two
// versions: zlib's deflate where the platform has zlib (png_deflate_zlib.cpp),
// stored deflate blocks, larger but needing no library, where it has not
// (png_deflate_stored.cpp: the Windows and browser builds).
#pragma once

#include <vector>

std::vector<unsigned char> zlibStream(const std::vector<unsigned char>& data);
