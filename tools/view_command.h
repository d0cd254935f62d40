// `mcubes view`: the interactive viewer of the scene's surface; and the
// viewer's frame timings for `mcubes bench --view`.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>

void addViewCommand(CLI::App& app);

// Times the viewer's whole frame offscreen and prints the result
// (tools/view_bench.cpp: only where port/'s headless display exists).
void runViewBench(int frames, std::int32_t divisions, int threads, bool json);
