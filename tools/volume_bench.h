// `mcubes bench --volume`: the volume extractor's time on a user's volume,
// read into memory first so that only the extraction is timed; under
// mpirun, each process's on its share of the layers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/volume_options.h"

struct VolumeBenchSettings {
  VolumeOptions volume;
  double isoLevel;
  int threads;
  int repeats;  // extractions timed
};

struct VolumeBenchResult {
  double readUs;           // reading the whole volume into memory, once
  double extractUsMedian;  // one extraction, triangles collected in memory
  double extractUsMin;
  double extractCpuUsMedian;  // processor time of the process (all threads), which a
                              // busy machine disturbs less than wall time
  long long triangles;
  std::int64_t cells;
  // Under mpirun each process times its own share of the layers (the
  // fields above are process 0's, but triangles and cells count all):
  // the slowest share's median and every process's peak memory.
  int processes;
  double slowestExtractUsMedian;
  std::vector<long> peakKb;
};

// Ends the command with one line (failCommand) where the volume cannot be read.
VolumeBenchResult runVolumeBench(const VolumeBenchSettings& settings);

// One JSON object on one line.
std::string volumeBenchJson(const VolumeBenchSettings& settings, const VolumeBenchResult& result);

// A few lines for people.
std::string volumeBenchText(const VolumeBenchSettings& settings, const VolumeBenchResult& result);
