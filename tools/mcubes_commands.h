// The subcommands this build of mcubes offers; which ones is decided by the
// build (tools/CMakeLists.txt), which generates the definition.
#pragma once

#include <CLI/CLI.hpp>

// Registers each subcommand with the application.
void addCommands(CLI::App& app);
