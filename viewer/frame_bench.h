// Timings of the viewer's whole frame — extraction, welding and normals,
// drawing, the swap, until GL has finished — through its own window
// procedure on a hidden 800x600 window, the animated scene one tick per
// frame.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct ViewBenchResult {
  int frames;
  std::int32_t divisions;
  int threads;
  double frameUsMedian;
  double frameUsP95;  // nearest rank
  double fps;         // frames / their total time
  long triangles;     // per frame, mean, rounded
};

// Runs `frames` frames at `divisions` (MinViewDivisions to MaxViewDivisions)
// on the current display; `progress` hears the frames done after each.
bool benchViewerFrames(int frames, std::int32_t divisions, int threads,
                       const std::function<void(int done)>& progress, ViewBenchResult& result,
                       std::string& error);

// One JSON object on one line, and a few lines for people.
std::string viewBenchJson(const ViewBenchResult& result);
std::string viewBenchText(const ViewBenchResult& result);
