#include "tools/bench_command.h"

#include <cstdio>
#include <memory>
#include <string>

#include "mesh/grid.h"
#include "tools/bench_run.h"
#include "tools/cli_support.h"
#include "tools/view_command.h"

namespace {

struct BenchOptions {
  BenchSettings settings = {1000, GridDivisions, 1};
  bool json = false;
  bool view = false;
};

void runBenchCommand(const BenchOptions& options) {
  if (options.view) {
    return runViewBench(options.settings.frames, options.settings.divisions,
                        options.settings.threads, options.json);
  }
  BenchResult result{};
  std::string error;
  if (!runBench(options.settings, result, error)) failCommand(error);
  const std::string report = options.json ? benchJson(result) : benchText(result);
  std::fputs(report.c_str(), stdout);
}

}  // namespace

void addBenchCommand(CLI::App& app) {
  auto options = std::make_shared<BenchOptions>();
  CLI::App* bench = app.add_subcommand(
      "bench",
      "Time the extractor, the frame's sweep, whole frames and their drawing offscreen at 800x600");
  bench->add_option("--frames", options->settings.frames, "Frames to time, 1 to 1000000")
      ->check(CLI::Range(1, 1000000))
      ->capture_default_str();
  bench
      ->add_option("--divisions", options->settings.divisions,
                   "Grid divisions of the timed extraction, 1 to 2048")
      ->check(CLI::Range(MinDivisions, MaxDivisions))
      ->capture_default_str();
  addThreadsOption(*bench, options->settings.threads);
  bench->add_flag("--json", options->json, "Print one JSON object instead of text");
  bench->add_flag("--view", options->view,
                  "Time the viewer's whole frame instead (mcubes view; 4 to 1024 divisions)");
  bench->callback([options] { runBenchCommand(*options); });
}
