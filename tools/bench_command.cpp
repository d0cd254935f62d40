#include "tools/bench_command.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "mesh/scene/grid.h"
#include "tools/bench_run.h"
#include "tools/cli_support.h"
#include "tools/cluster.h"
#include "tools/view_command.h"
#include "tools/volume_bench.h"
#include "tools/volume_options.h"

using namespace mcubes::internal;

namespace {

struct BenchOptions {
  BenchSettings settings = {1000, GridDivisions, 1, SceneIsoLevel};
  VolumeOptions volume;
  bool json = false;
  const CLI::Option* frames = nullptr;
  const CLI::Option* iso = nullptr;
  bool view = false;
  std::int32_t detail = 1;
  const CLI::Option* detailOption = nullptr;
};

void runVolumeBenchCommand(const BenchOptions& options) {
  if (options.iso->count() == 0) failCommand("--volume needs --iso V");
  // A volume takes far longer per extraction than the scene's frame.
  const int repeats = options.frames->count() > 0 ? options.settings.frames : 11;
  const VolumeBenchSettings settings = {options.volume, options.settings.isoLevel,
                                        options.settings.threads, repeats};
  const VolumeBenchResult result = runVolumeBench(settings);
  if (cluster().rank() != 0) return;  // process 0 reports for all
  const std::string report =
      options.json ? volumeBenchJson(settings, result) : volumeBenchText(settings, result);
  std::fputs(report.c_str(), stdout);
}

void runBenchCommand(const BenchOptions& options) {
  if (options.view) {
    if (namesVolume(options.volume) && options.iso->count() == 0) {
      failCommand("--volume needs --iso V");
    }
    if (!namesVolume(options.volume) && options.detailOption->count() > 0) {
      failCommand("--detail: only a volume has levels of detail; add --volume FILE");
    }
    // A volume's level key waits for its full detail, far longer than a frame.
    const int frames =
        namesVolume(options.volume) && options.frames->count() == 0 ? 11 : options.settings.frames;
    return runViewBench({frames, options.settings.divisions, options.settings.threads,
                         options.volume, options.settings.isoLevel, options.detail, options.json});
  }
  if (options.detailOption->count() > 0) failCommand("--detail needs --view");
  if (!options.volume.path.empty() || !options.volume.dims.empty()) {
    runVolumeBenchCommand(options);
    return;
  }
  if (!(options.settings.isoLevel > 0.0)) failCommand("--iso: the scene's level must be positive");
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
      "Time the extractor, the frame's sweep, whole frames and their drawing offscreen at "
      "800x600; or, with --volume, the extraction of a volume held in memory (under mpirun, "
      "each process's share of its layers, with the slowest share and every process's peak "
      "memory)");
  options->frames =
      bench
          ->add_option("--frames", options->settings.frames,
                       "Frames to time, 1 to 1000000 (with --volume: extractions, 11 by default)")
          ->check(CLI::Range(1, 1000000))
          ->capture_default_str();
  bench
      ->add_option("--divisions", options->settings.divisions,
                   "Grid divisions of the timed extraction, 1 to 2048")
      ->check(CLI::Range(MinDivisions, MaxDivisions))
      ->capture_default_str();
  options->iso = bench
                     ->add_option("--iso", options->settings.isoLevel,
                                  "Iso level of the timed extraction (the scene: positive; a "
                                  "volume: required)")
                     ->capture_default_str();
  addVolumeOptions(*bench, options->volume);
  addThreadsOption(*bench, options->settings.threads);
  bench->add_flag("--json", options->json, "Print one JSON object instead of text");
  bench->add_flag("--view", options->view,
                  "Time the viewer's whole frame instead (mcubes view, offscreen unless "
                  "MCUBES_DISPLAY names a display; 4 to 1024 divisions); with "
                  "--volume: N level keys (11 by default), each until a new surface is on screen "
                  "and until its full detail is, then N frames orbiting and N still");
  options->detailOption =
      bench
          ->add_option("--detail", options->detail,
                       "With --view --volume: the level of detail, every K-th voxel (1, 2, 4 ...)")
          ->check([](const std::string& text) {
            const long k = std::strtol(text.c_str(), nullptr, 10);
            return k >= 1 && k <= (1 << 20) && (k & (k - 1)) == 0
                       ? std::string()
                       : "a power of two, 1 or more: " + text;
          })
          ->capture_default_str();
  bench->callback([options] { runBenchCommand(*options); });
}
