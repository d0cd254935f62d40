// mcubes bench --view: the viewer's frames on port/'s headless display.
#include <cstdio>
#include <string>

#include "port/port.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"
#include "tools/view_command.h"
#include "viewer/frame_bench.h"

void runViewBench(const ViewBenchOptions& options) {
  ViewerOptions viewer;
  viewer.start.divisions = options.divisions;
  viewer.threads = options.threads;
  if (namesVolume(options.volume)) {
    viewer.source = volumeSourceOrFail(options.volume, options.threads);
    viewer.start.iso.start = options.iso;
  }
  std::string error;
  if (!port::selectDisplayBackend("headless", error)) failCommand(error);
  ViewBenchResult result{};
  {
    ProgressLine progress("bench", "frame", options.frames);
    if (!benchViewerFrames(
            options.frames, viewer, [&progress](int done) { progress.update(done); }, result,
            error)) {
      failCommand(error);
    }
  }
  const std::string report = options.json ? viewBenchJson(result) : viewBenchText(result);
  std::fputs(report.c_str(), stdout);
}
