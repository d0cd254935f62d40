#include "tools/view_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "tools/cli_support.h"
#include "viewer/controls.h"
#include "viewer/viewer_window.h"
#include "volume/in_memory_volume.h"
#ifndef _WIN32
#include "port/port.h"
#endif

namespace {

struct ViewOptions {
  ViewerOptions viewer;
  double iso = 0.25;
  VolumeOptions volume;
  const CLI::Option* isoOption = nullptr;
  const CLI::Option* divisionsOption = nullptr;
};

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

void runView(ViewOptions options) {
  if (namesVolume(options.volume)) {
    if (options.divisionsOption->count() > 0) {
      failCommand("--divisions is for the scene: a volume is shown at its own voxels");
    }
    const std::shared_ptr<VolumeSource> source =
        volumeSourceOrFail(options.volume, options.viewer.threads);
    options.viewer.source = source;
    options.viewer.start.iso.start =
        options.isoOption->count() > 0 ? options.iso : source->middleLevel();
  } else {
    if (!(options.iso > 0.0)) {
      failCommand("--iso '" + number(options.iso) +
                  "': the scene's iso level must be a positive number");
    }
    options.viewer.start.iso.start = options.iso;
  }
#ifndef _WIN32
  // Ctrl+C and SIGTERM close the window as its close button does.
  port::installCloseSignals();
#endif
  std::string error;
  const HWND window = openViewer(options.viewer, CW_USEDEFAULT, CW_USEDEFAULT, error);
  if (window == nullptr) failCommand(error);
  const int exitCode = runViewer(window);
  if (exitCode != 0) std::exit(exitCode);
}

}  // namespace

std::shared_ptr<VolumeSource> volumeSourceOrFail(const VolumeOptions& options, int threads) {
  const std::unique_ptr<VolumeReader> reader = openVolumeOrFail(options);
  const VolumeHeader& header = reader->header();
  if (!header.notice.empty()) std::fprintf(stderr, "mcubes: %s\n", header.notice.c_str());
  const VolumeGeometry& geometry = header.geometry;
  const std::int64_t voxels = geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
  std::unique_ptr<double[]> values;
  try {
    values.reset(new double[static_cast<std::size_t>(voxels)]);
    reader->readSlices(geometry.dims[2], values.get());
  } catch (const VolumeError& error) {
    failCommand(error.what());
  } catch (const std::bad_alloc&) {
    failCommand("the volume does not fit in memory (" + std::to_string(voxels) +
                " voxels as doubles): the viewer holds it whole");
  }
  return std::make_shared<VolumeSource>(
      std::make_shared<const InMemoryVolume>(header, std::move(values)), threads);
}

void addViewCommand(CLI::App& app) {
  auto options = std::make_shared<ViewOptions>();
  CLI::App* view = app.add_subcommand(
      "view",
      "Explore the scene's surface, or a volume's, in a window: orbit, zoom, iso level, divisions");
  options->divisionsOption = view->add_option("--divisions", options->viewer.start.divisions,
                                              "Grid divisions of the scene, 4 to 1024")
                                 ->check(CLI::Range(MinViewDivisions, MaxViewDivisions))
                                 ->capture_default_str();
  options->isoOption =
      view->add_option("--iso", options->iso,
                       "Iso level at the start: for the scene above 0 (0.25); for a volume in "
                       "the data's units (the middle of its values)")
          ->check(CLI::Validator(
              [](std::string& text) {
                char* end = nullptr;
                const double value = std::strtod(text.c_str(), &end);
                return !text.empty() && *end == '\0' && std::isfinite(value)
                           ? std::string()
                           : "not a finite number: '" + text + "'";
              },
              "NUMBER"))
          ->capture_default_str();
  addVolumeOptions(*view, options->volume);
  addTickOption(*view, options->viewer.start.tick);
  view->add_flag("--paused", options->viewer.start.paused, "Start with the animation paused");
  addThreadsOption(*view, options->viewer.threads);
  view->footer(std::string(viewerControls) +
               "A volume is held in memory and shown at its own voxels, where the scene's "
               "divisions would be, and it does not move; [ shows every 2nd, 4th ... voxel along "
               "each axis instead (a coarser volume of its own, extracted exactly, built once and "
               "kept), ] goes back toward every voxel.\n");
  view->callback([options] { runView(*options); });
}
