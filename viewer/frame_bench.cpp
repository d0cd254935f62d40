#include "viewer/frame_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/window_proc.h"
#include "platform/gl.h"
#include "viewer/viewer_window.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int benchWidth = 800;
constexpr int benchHeight = 600;

// Nearest rank: the smallest sample with at least the fraction at or below it.
double nearestRank(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  const double rank = std::ceil(fraction * static_cast<double>(samples.size()));
  const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return samples[std::min(index, samples.size() - 1)];
}

}  // namespace

bool benchViewerFrames(int frames, std::int32_t divisions, int threads,
                       const std::function<void(int done)>& progress, ViewBenchResult& result,
                       std::string& error) {
  if (divisions < MinViewDivisions || divisions > MaxViewDivisions) {
    error = "the viewer takes " + std::to_string(MinViewDivisions) + " to " +
            std::to_string(MaxViewDivisions) + " divisions, not " + std::to_string(divisions);
    return false;
  }
  ViewerOptions options;
  options.start.divisions = divisions;
  options.threads = threads;
  const HWND window = openViewer(options, benchWidth, benchHeight, error);
  if (window == nullptr) {
    return false;
  }
  std::vector<double> frameUs;
  frameUs.reserve(static_cast<std::size_t>(frames));
  long long triangles = 0;
  Clock::duration total{};
  for (int frame = 0; frame < frames; ++frame) {
    // The clock's timer message, as the running viewer receives it between
    // frames; it only steps the clock, so it stays outside the time.
    SendMessageA(window, WM_TIMER, ViewerAnimationTimer, 0);
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
  result.threads = threads;
  result.frameUsMedian = nearestRank(frameUs, 0.5);
  result.frameUsP95 = nearestRank(frameUs, 0.95);
  const double seconds = std::chrono::duration<double>(total).count();
  result.fps = seconds > 0.0 ? frames / seconds : 0.0;
  result.triangles = std::lround(static_cast<double>(triangles) / frames);
  return true;
}

std::string viewBenchJson(const ViewBenchResult& result) {
  char line[256];
  std::snprintf(line, sizeof line,
                "{\"view\": true, \"divisions\": %d, \"threads\": %d, \"frames\": %d, "
                "\"frame_us_median\": %.1f, \"frame_us_p95\": %.1f, \"fps\": %.1f, "
                "\"triangles\": %ld}\n",
                static_cast<int>(result.divisions), result.threads, result.frames,
                result.frameUsMedian, result.frameUsP95, result.fps, result.triangles);
  return line;
}

std::string viewBenchText(const ViewBenchResult& result) {
  char text[512];
  std::snprintf(text, sizeof text,
                "frames:          %d of the viewer at 800x600, headless\n"
                "frame:           %.1f us median, %.1f us p95 (extraction at %d divisions on %d "
                "thread(s), welding, normals, drawing, swap, glFinish)\n"
                "frames/s:        %.1f\n"
                "triangles/frame: %ld (mean)\n",
                result.frames, result.frameUsMedian, result.frameUsP95,
                static_cast<int>(result.divisions), result.threads, result.fps, result.triangles);
  return text;
}
