// `mcubes record`: the demo's animation from a tick on, rendered offscreen
// frame by frame and written as a looping GIF.
#pragma once

#include <CLI/CLI.hpp>

void addRecordCommand(CLI::App& app);
