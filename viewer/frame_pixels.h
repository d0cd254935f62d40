// The picture just drawn, read back from the current GL context.
#pragma once

#include <string>
#include <vector>

// Fills `rgb` with the width x height pixels of the context's read buffer,
// three bytes each, rows packed and top row first (GL hands them bottom
// first). Read as RGBA, the one format that every GL, WebGL included, reads
// back. False with a one-line reason when GL reports an error.
bool readFramePixels(int width, int height, std::vector<unsigned char>& rgb, std::string& error);
