// The demo's picture at a given tick, rendered offscreen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Largest width or height a snapshot accepts.
constexpr int maxSnapshotSide = 8192;

// Parses "WxH" with each side from 1 to maxSnapshotSide; false with a reason
// otherwise.
bool parseSnapshotSize(const std::string& text, int& width, int& height, std::string& error);

// init, resize(width, height) and renderFrame at the tick, on a hidden window
// of the headless backend; rgb receives width x height RGB pixels, top row
// first.
bool renderSnapshot(std::int32_t tick, int width, int height, std::vector<unsigned char>& rgb,
                    std::string& error);
