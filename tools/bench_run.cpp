#include "tools/bench_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/engine.h"
#include "engine/scene.h"
#include "tools/headless_window.h"
#include "tools/progress.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int benchWidth = 800;
constexpr int benchHeight = 600;

double microseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::micro>(duration).count();
}

// Nearest rank: the smallest sample with at least the fraction at or below it.
double percentile(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  const double rank = std::ceil(fraction * static_cast<double>(samples.size()));
  const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return samples[std::min(index, samples.size() - 1)];
}

}  // namespace

bool runBench(int frames, BenchResult& result, std::string& error) {
  OffscreenWindow offscreen;
  if (!openHeadlessWindow(benchWidth, benchHeight, offscreen, error)) {
    return false;
  }
  Engine engine{};
  engine.init(offscreen.window, offscreen.rendering.deviceContext);
  engine.resize(benchWidth, benchHeight);

  std::vector<double> sweepUs;
  std::vector<double> frameUs;
  sweepUs.reserve(static_cast<std::size_t>(frames));
  frameUs.reserve(static_cast<std::size_t>(frames));
  long long triangleTotal = 0;
  Clock::duration frameTotal{};
  {
    Progress progress("bench", frames);
    for (int frame = 0; frame < frames; ++frame) {
      long triangles = 0;
      const Clock::time_point sweepStart = Clock::now();
      sweepScene(ballCentres(engine.ticks), [&triangles](const Triangle&) { ++triangles; });
      sweepUs.push_back(microseconds(Clock::now() - sweepStart));
      triangleTotal += triangles;

      // glFinish makes the time include the rasterising that the driver
      // would otherwise still be doing in the background.
      const Clock::time_point frameStart = Clock::now();
      engine.renderFrame();
      glFinish();
      const Clock::duration frameTime = Clock::now() - frameStart;
      frameUs.push_back(microseconds(frameTime));
      frameTotal += frameTime;

      engine.tick();
      progress.update(frame + 1);
    }
  }
  closeOffscreenWindow(offscreen);

  result.frames = frames;
  result.sweepUsMedian = percentile(sweepUs, 0.5);
  result.frameUsMedian = percentile(frameUs, 0.5);
  result.frameUsP95 = percentile(frameUs, 0.95);
  const double totalSeconds = std::chrono::duration<double>(frameTotal).count();
  result.fps = totalSeconds > 0.0 ? static_cast<double>(frames) / totalSeconds : 0.0;
  result.triangles = std::lround(static_cast<double>(triangleTotal) / frames);
  return true;
}

std::string benchJson(const BenchResult& result) {
  char line[256];
  std::snprintf(line, sizeof line,
                "{\"sweep_us_median\": %.1f, \"frame_us_median\": %.1f, "
                "\"frame_us_p95\": %.1f, \"fps\": %.1f, \"triangles\": %ld}\n",
                result.sweepUsMedian, result.frameUsMedian, result.frameUsP95, result.fps,
                result.triangles);
  return line;
}

std::string benchText(const BenchResult& result) {
  char text[512];
  std::snprintf(text, sizeof text,
                "frames:          %d at 800x600, headless\n"
                "sweep:           %.1f us median\n"
                "frame:           %.1f us median, %.1f us p95 (swap and glFinish included)\n"
                "frames/s:        %.1f\n"
                "triangles/frame: %ld (mean)\n",
                result.frames, result.sweepUsMedian, result.frameUsMedian, result.frameUsP95,
                result.fps, result.triangles);
  return text;
}
