// mcubes, the demo's companion command-line tool. Each subcommand lives in
// its own file with an add...Command(app) that registers it; those that
// render offscreen exist where the build has the headless display
// (MC_RENDER_COMMANDS, tools/CMakeLists.txt).
#include "tools/mcubes.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "tools/cli_support.h"
#include "tools/cluster.h"
#include "tools/mesh_command.h"
#include "tools/sample_command.h"
#include "tools/view_command.h"

#ifdef MC_RENDER_COMMANDS
#include "tools/bench_command.h"
#include "tools/record_command.h"
#include "tools/snapshot_command.h"
#endif

using namespace mcubes::internal;

namespace {

// The one error line (under mpirun, process 0's). Messages quote the
// arguments, which may hold any byte: control characters are written as
// escapes so that the message stays on one line, but for the line end
// before each row of a table under it (a folder's DICOM series, rows that
// start with two spaces).
void printError(const char* message) {
  if (cluster().rank() != 0) return;
  std::string line = "mcubes: ";
  for (const char* c = message; *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte == '\n' && c[1] == ' ' && c[2] == ' ') {
      line += '\n';
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      line += escape;
    } else {
      line += *c;
    }
  }
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int runMcubes(int argc, char** argv) {
  CLI::App app{"Companion tool of the Marching Cubes demo", "mcubes"};
  addMeshCommand(app);
  addSampleCommand(app);
  addViewCommand(app);
#ifdef MC_RENDER_COMMANDS
  addSnapshotCommand(app);
  addRecordCommand(app);
  addBenchCommand(app);
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::Error& e) {
    // --help, which under mpirun process 0 alone prints.
    if (e.get_exit_code() == 0) return cluster().rank() == 0 ? app.exit(e) : 0;
    printError(e.what());
    return BadInputExitCode;
  } catch (const std::exception& e) {
    printError(e.what());
    return BadInputExitCode;
  }
  if (app.get_subcommands().empty()) {
    printError("no subcommand given (see mcubes --help)");
    return BadInputExitCode;
  }
  return 0;
}
