// mcubes bench --view: the viewer's frames on port/'s headless display.
#include <cstdio>
#include <string>

#include "port/port.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"
#include "tools/view_command.h"
#include "viewer/frame_bench.h"

void runViewBench(int frames, std::int32_t divisions, int threads, bool json) {
  std::string error;
  if (!port::selectDisplayBackend("headless", error)) failCommand(error);
  ViewBenchResult result{};
  {
    ProgressLine progress("bench", "frame", frames);
    if (!benchViewerFrames(
            frames, divisions, threads, [&progress](int done) { progress.update(done); }, result,
            error)) {
      failCommand(error);
    }
  }
  const std::string report = json ? viewBenchJson(result) : viewBenchText(result);
  std::fputs(report.c_str(), stdout);
}
