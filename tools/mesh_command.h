// `mcubes mesh`: the frame's isosurface at a tick as an OBJ, PLY or STL file.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

void addMeshCommand(CLI::App& app);

// --labels as given: "all" (both empty: every label but 0), else the labels
// listed by number and by name, each once; or the command ended with why
// not (failCommand).
struct LabelChoice {
  std::vector<std::int64_t> numbers;
  std::vector<std::string> names;
};
LabelChoice labelsNamed(const std::string& text);

// `mcubes mesh ARGUMENTS...` in-process, as the viewer's export runs it:
// the exit status, after its one line on stderr where it failed.
int runMeshCommand(const std::vector<std::string>& arguments);
