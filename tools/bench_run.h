// Frame timings of the demo on the headless display backend.
#pragma once

#include <string>

struct BenchResult {
  int frames;            // frames measured
  double sweepUsMedian;  // the scene sweep alone (sampling and polygonising, no GL)
  double frameUsMedian;  // a whole renderFrame, swap included, until GL has finished
  double frameUsP95;     // nearest-rank 95th percentile of the same
  double fps;            // frames measured / total time of the measured frames
  long triangles;        // triangles per frame, mean over the measured frames, rounded
};

// Renders `frames` frames at 800x600, one tick apart from tick 0, timing the
// sweep and the full frame separately. Reports progress on stderr once it
// has run longer than a second.
bool runBench(int frames, BenchResult& result, std::string& error);

// The result as one JSON object on one line.
std::string benchJson(const BenchResult& result);

// The result as a few lines for people.
std::string benchText(const BenchResult& result);
