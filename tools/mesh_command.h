// `mcubes mesh`: the frame's isosurface at a tick as an OBJ, PLY or STL file.
#pragma once

#include <CLI/CLI.hpp>

void addMeshCommand(CLI::App& app);
