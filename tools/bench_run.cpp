#include "tools/bench_run.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/engine.h"
#include "engine/frame_drawing.h"
#include "mesh/scene/extract.h"
#include "scene/scene.h"
#include "tools/headless_window.h"
#include "tools/progress_line.h"
#include "viewer/nearest_rank.h"

using namespace mcubes::internal;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int benchWidth = 800;
constexpr int benchHeight = 600;

double microseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

}  // namespace

bool runBench(const BenchSettings& settings, BenchResult& result, std::string& error) {
  OffscreenWindow offscreen;
  if (!openHeadlessWindow(benchWidth, benchHeight, offscreen, error)) {
    return false;
  }
  Engine engine{};
  engine.init(offscreen.window, offscreen.rendering.deviceContext);
  engine.resize(benchWidth, benchHeight);

  ExtractionSettings extraction;
  extraction.divisions = settings.divisions;
  extraction.threads = settings.threads;
  extraction.isoLevel = settings.isoLevel;

  const auto frames = static_cast<std::size_t>(settings.frames);
  std::vector<double> extractUs, sweepUs, frameUs, drawUs;
  for (std::vector<double>* samples : {&extractUs, &sweepUs, &frameUs, &drawUs}) {
    samples->reserve(frames);
  }
  ExtractedSurface surface;
  long long extractedTotal = 0;
  long long frameTriangleTotal = 0;
  Clock::duration frameTotal{};
  {
    ProgressLine progress("bench", "frame", settings.frames);
    for (int frame = 0; frame < settings.frames; ++frame) {
      const BallCentres balls = ballCentres(engine.ticks);

      Clock::time_point start = Clock::now();
      extractSurfaceInto(balls, extraction, surface);
      extractUs.push_back(microseconds(Clock::now() - start));
      extractedTotal += static_cast<long long>(surface.triangles.size());

      long triangles = 0;
      start = Clock::now();
      sweepScene(balls, [&triangles](const Triangle&) { ++triangles; });
      sweepUs.push_back(microseconds(Clock::now() - start));
      frameTriangleTotal += triangles;

      // glFinish makes the time include the rasterising that the driver
      // would otherwise still be doing in the background.
      start = Clock::now();
      engine.renderFrame();
      glFinish();
      const Clock::duration frameTime = Clock::now() - start;
      frameUs.push_back(microseconds(frameTime));
      frameTotal += frameTime;

      const std::vector<Triangle> frameTriangles = sceneTriangles(engine.ticks);
      start = Clock::now();
      beginFrameDrawing();
      for (const Triangle& triangle : frameTriangles) drawFrameTriangle(triangle);
      SwapBuffers(offscreen.rendering.deviceContext);
      glFinish();
      drawUs.push_back(microseconds(Clock::now() - start));

      engine.tick();
      progress.update(frame + 1);
    }
  }
  closeOffscreenWindow(offscreen);

  result.settings = settings;
  result.extractUsMedian = nearestRank(extractUs, 0.5);
  result.sweepUsMedian = nearestRank(sweepUs, 0.5);
  result.frameUsMedian = nearestRank(frameUs, 0.5);
  result.frameUsP95 = nearestRank(frameUs, 0.95);
  result.drawUsMedian = nearestRank(drawUs, 0.5);
  const double totalSeconds = std::chrono::duration<double>(frameTotal).count();
  result.fps = totalSeconds > 0.0 ? static_cast<double>(frames) / totalSeconds : 0.0;
  result.triangles = std::lround(static_cast<double>(extractedTotal) / settings.frames);
  result.frameTriangles = std::lround(static_cast<double>(frameTriangleTotal) / settings.frames);
  return true;
}

std::string benchJson(const BenchResult& result) {
  char line[512];
  std::snprintf(line, sizeof line,
                "{\"divisions\": %d, \"threads\": %d, \"extract_us_median\": %.1f, "
                "\"sweep_us_median\": %.1f, \"frame_us_median\": %.1f, \"frame_us_p95\": %.1f, "
                "\"draw_us_median\": %.1f, \"fps\": %.1f, \"triangles\": %ld, "
                "\"frame_triangles\": %ld, \"iso\": %.9g}\n",
                static_cast<int>(result.settings.divisions), result.settings.threads,
                result.extractUsMedian, result.sweepUsMedian, result.frameUsMedian,
                result.frameUsP95, result.drawUsMedian, result.fps, result.triangles,
                result.frameTriangles, result.settings.isoLevel);
  return line;
}

std::string benchText(const BenchResult& result) {
  char text[1024];
  std::snprintf(text, sizeof text,
                "frames:          %d at 800x600, headless\n"
                "extraction:      %.1f us median at %d divisions, %d thread(s), %ld triangles\n"
                "sweep:           %.1f us median (the frame's literal sweep)\n"
                "frame:           %.1f us median, %.1f us p95 (swap and glFinish included)\n"
                "draw:            %.1f us median (the frame's triangles replayed, no sweep)\n"
                "frames/s:        %.1f\n"
                "triangles/frame: %ld (mean)\n",
                result.settings.frames, result.extractUsMedian,
                static_cast<int>(result.settings.divisions), result.settings.threads,
                result.triangles, result.sweepUsMedian, result.frameUsMedian, result.frameUsP95,
                result.drawUsMedian, result.fps, result.frameTriangles);
  return text;
}
