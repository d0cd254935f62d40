// Timings of the viewer's whole frame — extraction, welding and normals,
// drawing, the swap, until GL has finished — through its own window
// procedure on a hidden 800x600 window. The animated scene: one tick per
// frame. A volume: level keys (a fine iso step up, then back down, in turn),
// each timed until a new surface is on screen and until its full detail is,
// the frames drawn meanwhile; then an orbit with the left button held; then
// still frames at the level.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/viewer_window.h"

struct ViewBenchResult {
  int frames;
  std::int32_t divisions;  // of the scene
  int threads;
  bool volume;          // a volume's level keys, not the scene's ticks
  std::string grid;     // the volume's voxels ("256x256x256 voxels")
  double iso;           // the volume's start level
  std::int32_t detail;  // the volume's level of detail: every detail-th voxel
  double frameUsMedian;
  double frameUsP95;  // nearest rank
  double fps;         // frames / their total time
  long triangles;     // per frame, mean, rounded
  // A volume's level keys: from the key to the first frame on screen with a
  // surface at the new level, and to the first at its full detail; the
  // longest frame after the first picture (the full detail's first frame
  // included), which a key typed then would wait for.
  double firstPictureUsMedian;
  double firstPictureUsP95;
  double fullDetailUsMedian;
  double refiningFrameUsMax;
  // Frames with the left button dragging, and their triangles (mean).
  double orbitFrameUsMedian;
  double orbitFps;
  long orbitTriangles;
};

// Runs the viewer that `options` open (the scene at MinViewDivisions to
// MaxViewDivisions) on the current display: `frames` frames of the scene,
// or `frames` level keys, orbit frames and still frames of a volume;
// `progress` hears the steps done (of `frames`, or of three times it).
bool benchViewerFrames(int frames, const ViewerOptions& options,
                       const std::function<void(int done)>& progress, ViewBenchResult& result,
                       std::string& error);

// One JSON object on one line, and a few lines for people.
std::string viewBenchJson(const ViewBenchResult& result);
std::string viewBenchText(const ViewBenchResult& result);
