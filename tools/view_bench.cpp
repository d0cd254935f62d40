// mcubes bench --view: the viewer's frames on port/'s headless display, or
// on the one MCUBES_DISPLAY names (x11: a window on the X server, as a
// person sees it).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "port/port.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"
#include "tools/view_command.h"
#include "viewer/frame_bench.h"

using namespace mcubes::internal;

void runViewBench(const ViewBenchOptions& options) {
  ViewerOptions viewer;
  viewer.start.divisions = options.divisions;
  viewer.threads = options.threads;
  if (namesVolume(options.volume)) {
    viewer.source = volumeSourceOrFail(options.volume, options.threads);
    viewer.start.iso.start = options.iso;
    viewer.start.voxelStride = options.detail;
  }
  std::string error;
  const char* named = std::getenv("MCUBES_DISPLAY");
  const std::string display = named != nullptr && named[0] != '\0' ? named : "headless";
  if (!port::selectDisplayBackend(display.c_str(), error)) {
    failCommand("MCUBES_DISPLAY=" + display + ": " + error);
  }
  ViewBenchResult result{};
  {
    // A volume's level keys, orbit frames and still frames.
    const int steps = viewer.source ? 3 * options.frames : options.frames;
    ProgressLine progress("bench", viewer.source ? "step" : "frame", steps);
    if (!benchViewerFrames(
            options.frames, viewer, [&progress](int done) { progress.update(done); }, result,
            error)) {
      failCommand(error);
    }
  }
  const std::string report = options.json ? viewBenchJson(result) : viewBenchText(result);
  std::fputs(report.c_str(), stdout);
}
