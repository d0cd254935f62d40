#include "viewer/frame_bench.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/window_proc.h"
#include "platform/gl.h"
#include "viewer/nearest_rank.h"
#include "viewer/viewer_window.h"

using namespace mcubes::internal;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int benchWidth = 800;
constexpr int benchHeight = 600;

double microseconds(Clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

// One turn of the viewer's loop with nothing waiting: a frame drawn,
// presented and finished (the time includes the rasterising that the driver
// would otherwise still be doing in the background).
double drawFrame(HWND window) {
  const Clock::time_point start = Clock::now();
  SendMessageA(window, WM_RENDER, 0, 0);
  glFinish();
  return microseconds(Clock::now() - start);
}

// The surface on screen is at the state's level, and at its own detail.
bool showsLevel() { return viewerShownState().iso.value() == viewerState().iso.value(); }
bool showsFullDetail() {
  return showsLevel() && viewerShownState().voxelStride == viewerState().voxelStride;
}
void drawUntilFullDetail(HWND window) {
  while (!showsFullDetail()) drawFrame(window);
}

// The clock's timer message, as the running viewer receives it between
// frames: it only changes the state, so it stays outside the time.
void benchScene(HWND window, int frames, const std::function<void(int done)>& progress,
                ViewBenchResult& result) {
  std::vector<double> frameUs;
  long long triangles = 0;
  for (int frame = 0; frame < frames; ++frame) {
    SendMessageA(window, WM_TIMER, ViewerAnimationTimer, 0);
    frameUs.push_back(drawFrame(window));
    triangles += static_cast<long long>(viewerTriangles());
    if (progress) progress(frame + 1);
  }
  result.frameUsMedian = nearestRank(frameUs, 0.5);
  result.frameUsP95 = nearestRank(frameUs, 0.95);
  double total = 0.0;
  for (const double us : frameUs) total += us;
  result.fps = total > 0.0 ? frames / (total / 1e6) : 0.0;
  result.triangles = std::lround(static_cast<double>(triangles) / frames);
}

void benchVolume(HWND window, int frames, const std::function<void(int done)>& progress,
                 ViewBenchResult& result) {
  int done = 0;
  // The first picture: nothing measured yet, it waits for the full detail.
  drawFrame(window);
  drawUntilFullDetail(window);
  std::vector<double> firstUs, fullUs;
  for (int key = 0; key < frames; ++key) {
    const Clock::time_point typed = Clock::now();
    SendMessageA(window, WM_CHAR, key % 2 == 0 ? '=' : '-', 0);
    bool first = false;
    for (;;) {
      const double took = drawFrame(window);
      const double since = microseconds(Clock::now() - typed);
      if (first) result.refiningFrameUsMax = std::max(result.refiningFrameUsMax, took);
      if (!first && showsLevel()) {
        firstUs.push_back(since);
        first = true;
      }
      if (showsFullDetail()) {
        fullUs.push_back(since);
        break;
      }
    }
    if (progress) progress(++done);
  }
  result.firstPictureUsMedian = nearestRank(firstUs, 0.5);
  result.firstPictureUsP95 = nearestRank(firstUs, 0.95);
  result.fullDetailUsMedian = nearestRank(fullUs, 0.5);

  // Orbiting: the left button held, the pointer 4 pixels further each frame.
  std::vector<double> orbitUs;
  long long orbitTriangles = 0;
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(benchWidth / 2, benchHeight / 2));
  for (int frame = 0; frame < frames; ++frame) {
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM(benchWidth / 2 + 4 * ((frame + 1) % 200), benchHeight / 2));
    orbitUs.push_back(drawFrame(window));
    orbitTriangles += static_cast<long long>(viewerTriangles());
    if (progress) progress(++done);
  }
  SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(benchWidth / 2, benchHeight / 2));
  drawUntilFullDetail(window);
  result.orbitFrameUsMedian = nearestRank(orbitUs, 0.5);
  double orbitTotal = 0.0;
  for (const double us : orbitUs) orbitTotal += us;
  result.orbitFps = orbitTotal > 0.0 ? frames / (orbitTotal / 1e6) : 0.0;
  result.orbitTriangles = std::lround(static_cast<double>(orbitTriangles) / frames);

  // Still frames at the level's full detail.
  std::vector<double> frameUs;
  double total = 0.0;
  for (int frame = 0; frame < frames; ++frame) {
    frameUs.push_back(drawFrame(window));
    total += frameUs.back();
    if (progress) progress(++done);
  }
  result.frameUsMedian = nearestRank(frameUs, 0.5);
  result.frameUsP95 = nearestRank(frameUs, 0.95);
  result.fps = total > 0.0 ? frames / (total / 1e6) : 0.0;
  result.triangles = static_cast<long>(viewerTriangles());
}

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
  result = ViewBenchResult{};
  result.grid = viewerState().gridLabel;
  result.detail = viewerState().voxelStride;
  result.frames = frames;
  result.divisions = divisions;
  result.threads = options.threads;
  result.volume = volume;
  result.iso = options.start.iso.start;
  if (volume) {
    benchVolume(window, frames, progress, result);
  } else {
    benchScene(window, frames, progress, result);
  }
  closeViewer(window);
  return true;
}

std::string viewBenchJson(const ViewBenchResult& result) {
  char line[1024];
  if (result.volume) {
    std::snprintf(line, sizeof line,
                  "{\"view\": true, \"volume\": \"%s\", \"iso\": %.9g, \"detail\": %d, "
                  "\"threads\": %d, \"frames\": %d, \"frame_us_median\": %.1f, "
                  "\"frame_us_p95\": %.1f, \"fps\": %.1f, \"triangles\": %ld, "
                  "\"first_picture_us_median\": %.1f, \"first_picture_us_p95\": %.1f, "
                  "\"full_detail_us_median\": %.1f, \"refining_frame_us_max\": %.1f, "
                  "\"orbit_frame_us_median\": %.1f, \"orbit_fps\": %.1f, "
                  "\"orbit_triangles\": %ld}\n",
                  result.grid.c_str(), result.iso, static_cast<int>(result.detail), result.threads,
                  result.frames, result.frameUsMedian, result.frameUsP95, result.fps,
                  result.triangles, result.firstPictureUsMedian, result.firstPictureUsP95,
                  result.fullDetailUsMedian, result.refiningFrameUsMax, result.orbitFrameUsMedian,
                  result.orbitFps, result.orbitTriangles);
  } else {
    std::snprintf(line, sizeof line,
                  "{\"view\": true, \"divisions\": %d, \"threads\": %d, \"frames\": %d, "
                  "\"frame_us_median\": %.1f, \"frame_us_p95\": %.1f, \"fps\": %.1f, "
                  "\"triangles\": %ld}\n",
                  static_cast<int>(result.divisions), result.threads, result.frames,
                  result.frameUsMedian, result.frameUsP95, result.fps, result.triangles);
  }
  return line;
}

std::string viewBenchText(const ViewBenchResult& result) {
  char text[1536];
  if (result.volume) {
    std::snprintf(text, sizeof text,
                  "viewer:          a volume of %s at 800x600, voxel stride %d, "
                  "%d extraction thread(s)\n"
                  "level keys:      %d; new surface on screen %.1f us median (%.1f p95), full "
                  "detail %.1f us median; longest frame meanwhile %.1f us\n"
                  "orbit:           %.1f us median a frame, %.1f frames/s, %ld triangles (mean)\n"
                  "still frame:     %.1f us median, %.1f us p95, %.1f frames/s, %ld triangles\n",
                  result.grid.c_str(), static_cast<int>(result.detail), result.threads,
                  result.frames, result.firstPictureUsMedian, result.firstPictureUsP95,
                  result.fullDetailUsMedian, result.refiningFrameUsMax, result.orbitFrameUsMedian,
                  result.orbitFps, result.orbitTriangles, result.frameUsMedian, result.frameUsP95,
                  result.fps, result.triangles);
  } else {
    std::snprintf(text, sizeof text,
                  "frames:          %d of the viewer at 800x600\n"
                  "frame:           %.1f us median, %.1f us p95 (extraction of %d divisions on "
                  "%d thread(s), welding, normals, drawing, swap, glFinish)\n"
                  "frames/s:        %.1f\n"
                  "triangles/frame: %ld (mean)\n",
                  result.frames, result.frameUsMedian, result.frameUsP95,
                  static_cast<int>(result.divisions), result.threads, result.fps, result.triangles);
  }
  return text;
}
