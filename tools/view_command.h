// `mcubes view`: the interactive viewer of the scene's surface; and the
// viewer's frame timings for `mcubes bench --view`.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

void addViewCommand(CLI::App& app);

// The viewer's picture writer: a PNG file, complete or not there at all.
std::string writeViewPicture(const std::string& path, int width, int height,
                             const std::vector<unsigned char>& rgb);

// Times the viewer's whole frame offscreen and prints the result.
void runViewBench(int frames, std::int32_t divisions, int threads, bool json);
