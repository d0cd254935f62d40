// The viewer's pictures as PNG files, written without a PNG library so that
// every build saves them, Windows included: the pixels go into stored
// (uncompressed) deflate blocks. A picture of a 1024 x 768 window is 2.3 MB;
// mcubes snapshot, which writes pictures meant to be kept, compresses them
// with libpng instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The whole file for width x height RGB pixels, three bytes each, rows packed
// and top row first.
std::vector<unsigned char> pngFileBytes(int width, int height,
                                        const std::vector<unsigned char>& rgb);

// Writes that file at `path`; returns an empty string, or why it failed, in
// which case no file is left there.
std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgb);

// The checksums the format asks for: CRC-32 over each chunk, Adler-32 over
// the zlib stream's uncompressed data.
std::uint32_t crc32Of(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32Of(const unsigned char* data, std::size_t size);
