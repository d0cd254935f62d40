// mcubes, the demo's companion command-line tool. Each subcommand lives in
// its own file with an add...Command(app) that registers it.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>

#include "tools/cli_support.h"
#include "tools/mcubes_commands.h"

int main(int argc, char** argv) {
  CLI::App app{"Companion tool of the Marching Cubes demo", "mcubes"};
  addCommands(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Error& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    std::fprintf(stderr, "mcubes: %s\n", e.what());
    return BadInputExitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mcubes: %s\n", e.what());
    return BadInputExitCode;
  }
  if (app.get_subcommands().empty()) {
    std::fprintf(stderr, "mcubes: no subcommand given (see mcubes --help)\n");
    return BadInputExitCode;
  }
  return 0;
}
