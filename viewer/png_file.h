// Pictures as 8-bit RGB PNG files, the viewer's and mcubes snapshot's alike.
// The format's few lines (signature, chunks, CRC-32, row filters) are ours;
// the pixels go into one zlib stream, compressed where the build has zlib and
// stored uncompressed where it has not (png_deflate.h), so that every build,
// Windows and the browser included, saves pictures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The whole file for width x height RGB pixels, three bytes each, rows packed
// and top row first.
std::vector<unsigned char> pngFileBytes(int width, int height,
                                        const std::vector<unsigned char>& rgb);

// Writes that file to an open stream; false when writing fails.
bool writePng(std::FILE* out, int width, int height, const std::vector<unsigned char>& rgb);

// Writes that file at `path`; returns an empty string, or why it failed, in
// which case no file is left there.
std::string writePngFile(const std::string& path, int width, int height,
                         const std::vector<unsigned char>& rgb);

// The CRC-32 that the format asks for over each chunk; `crc` carries it
// across pieces.
std::uint32_t crc32Of(const unsigned char* data, std::size_t size, std::uint32_t crc = 0);
