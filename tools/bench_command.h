// `mcubes bench`: sweep and frame timings of the demo on the headless
// display.
#pragma once

#include <CLI/CLI.hpp>

void addBenchCommand(CLI::App& app);
