#include "viewer/frame_bench.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/window_proc.h"
#include "platform/gl.h"
#include "viewer/nearest_rank.h"
#include "viewer/viewer_window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int benchWidth = 800;
constexpr int benchHeight = 600;

}  // namespace

bool benchViewerFrames(int frames, const ViewerOptions& options,
                       const std::function<void(int done)>& progress, ViewBenchResult& result,
                       std::string& error) {
  const std::int32_t divisions = options.start.divisions;
  const bool volume =
      options.source != nullptr && options.source->describe().grid == SurfaceGrid::volumeVoxels;
  if (!volume && (divisions < MinViewDivisions || divisions > MaxViewDivisions)) {
    error = "the viewer takes " + std::to_string(MinViewDivisions) + " to " +
            std::to_string(MaxViewDivisions) + " divisions, not " + std::to_string(divisions);
    return false;
  }
  const HWND window = openViewer(options, benchWidth, benchHeight, error);
  if (window == nullptr) {
    return false;
  }
  result.grid = viewerState().gridLabel;
  std::vector<double> frameUs;
  frameUs.reserve(static_cast<std::size_t>(frames));
  long long triangles = 0;
  Clock::duration total{};
  for (int frame = 0; frame < frames; ++frame) {
    // The clock's timer message, as the running viewer receives it between
    // frames, or for a still volume an iso key, up and back down in turn: they
    // only change the state, so they stay outside the time, and the frame
    // extracts the surface anew.
    if (volume) {
      SendMessageA(window, WM_CHAR, frame % 2 == 0 ? '=' : '-', 0);
    } else {
      SendMessageA(window, WM_TIMER, ViewerAnimationTimer, 0);
    }
    const Clock::time_point start = Clock::now();
    SendMessageA(window, WM_RENDER, 0, 0);
    // The time includes the rasterising that the driver would otherwise
    // still be doing in the background.
    glFinish();
    const Clock::duration took = Clock::now() - start;
    frameUs.push_back(std::chrono::duration<double, std::micro>(took).count());
    total += took;
    triangles += static_cast<long long>(viewerTriangles());
    if (progress) {
      progress(frame + 1);
    }
  }
  closeViewer(window);

  result.frames = frames;
  result.divisions = divisions;
  result.threads = options.threads;
  result.volume = volume;
  result.iso = options.start.iso.start;
  result.frameUsMedian = nearestRank(frameUs, 0.5);
  result.frameUsP95 = nearestRank(frameUs, 0.95);
  const double seconds = std::chrono::duration<double>(total).count();
  result.fps = seconds > 0.0 ? frames / seconds : 0.0;
  result.triangles = std::lround(static_cast<double>(triangles) / frames);
  return true;
}

std::string viewBenchJson(const ViewBenchResult& result) {
  char what[128];
  if (result.volume) {
    std::snprintf(what, sizeof what, "\"volume\": \"%s\", \"iso\": %.9g", result.grid.c_str(),
                  result.iso);
  } else {
    std::snprintf(what, sizeof what, "\"divisions\": %d", static_cast<int>(result.divisions));
  }
  char line[512];
  std::snprintf(line, sizeof line,
                "{\"view\": true, %s, \"threads\": %d, \"frames\": %d, "
                "\"frame_us_median\": %.1f, \"frame_us_p95\": %.1f, \"fps\": %.1f, "
                "\"triangles\": %ld}\n",
                what, result.threads, result.frames, result.frameUsMedian, result.frameUsP95,
                result.fps, result.triangles);
  return line;
}

std::string viewBenchText(const ViewBenchResult& result) {
  const std::string what = result.volume
                               ? "a volume of " + result.grid + ", the iso level stepped each frame"
                               : std::to_string(result.divisions) + " divisions";
  char text[768];
  std::snprintf(text, sizeof text,
                "frames:          %d of the viewer at 800x600, headless\n"
                "frame:           %.1f us median, %.1f us p95 (extraction of %s on %d "
                "thread(s), welding, normals, drawing, swap, glFinish)\n"
                "frames/s:        %.1f\n"
                "triangles/frame: %ld (mean)\n",
                result.frames, result.frameUsMedian, result.frameUsP95, what.c_str(),
                result.threads, result.fps, result.triangles);
  return text;
}
