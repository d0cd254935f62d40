// `mcubes sample`: the classic test volumes (VTK's Wavelet, Marschner-Lobb,
// signed distances, a gyroid, touching labels) written as NRRD files.
#pragma once

#include <CLI/CLI.hpp>

void addSampleCommand(CLI::App& app);
