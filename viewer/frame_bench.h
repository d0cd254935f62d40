// Timings of the viewer's whole frame — extraction, welding and normals,
// drawing, the swap, until GL has finished — through its own window
// procedure on a hidden 800x600 window: the animated scene one tick per
// frame, a volume one fine iso step per frame (up, then back down, in turn).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/viewer_window.h"

struct ViewBenchResult {
  int frames;
  std::int32_t divisions;  // of the scene
  int threads;
  bool volume;       // a volume's iso steps, not the scene's ticks
  std::string grid;  // the volume's voxels ("256x256x256 voxels")
  double iso;        // the volume's start level
  double frameUsMedian;
  double frameUsP95;  // nearest rank
  double fps;         // frames / their total time
  long triangles;     // per frame, mean, rounded
};

// Runs `frames` frames of the viewer that `options` open (the scene at
// MinViewDivisions to MaxViewDivisions) on the current display; `progress`
// hears the frames done after each.
bool benchViewerFrames(int frames, const ViewerOptions& options,
                       const std::function<void(int done)>& progress, ViewBenchResult& result,
                       std::string& error);

// One JSON object on one line, and a few lines for people.
std::string viewBenchJson(const ViewBenchResult& result);
std::string viewBenchText(const ViewBenchResult& result);
