// Timings of the demo's frame on the headless display backend, and of the
// surface extractor at any number of divisions.
#pragma once

#include <cstdint>
#include <string>

struct BenchSettings {
  int frames;              // frames measured, one tick apart from tick 0
  std::int32_t divisions;  // of the extraction
  int threads;             // of the extraction
  double isoLevel;         // of the extraction (the frame keeps the demo's)
};

struct BenchResult {
  BenchSettings settings;
  double extractUsMedian;  // the extractor at the divisions: sampling and extraction,
                           // triangles collected in memory
  double sweepUsMedian;    // the frame's literal sweep (sampling and polygonising, no GL)
  double frameUsMedian;    // a whole renderFrame, swap included, until GL has finished
  double frameUsP95;       // nearest-rank 95th percentile of the same
  double drawUsMedian;     // the same frame's triangles replayed through the same
                           // GL calls without the sweep, swap and finish included
  double fps;              // frames measured / total time of the measured frames
  long triangles;          // extracted triangles, mean over the frames, rounded
  long frameTriangles;     // triangles per frame, mean, rounded
};

// Runs the measurements at 800x600, all four for each frame in turn. Reports
// progress on stderr once it has run longer than a second.
bool runBench(const BenchSettings& settings, BenchResult& result, std::string& error);

// The result as one JSON object on one line.
std::string benchJson(const BenchResult& result);

// The result as a few lines for people.
std::string benchText(const BenchResult& result);
