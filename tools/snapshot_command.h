// `mcubes snapshot`: the demo's picture at a tick, rendered offscreen and
// written as an 8-bit RGB PNG.
#pragma once

#include <CLI/CLI.hpp>

void addSnapshotCommand(CLI::App& app);
