// `mcubes view`: the interactive viewer of the scene's surface or a volume's;
// and the viewer's frame timings for `mcubes bench --view`.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>

#include "tools/volume_options.h"
#include "viewer/surface_source.h"
#include "viewer/viewer_window.h"

void addViewCommand(CLI::App& app);

// The volume the options name read whole into memory, to be shown on
// `threads` extraction threads, or the command ended with the reader's one
// line (failCommand).
std::shared_ptr<VolumeSource> volumeSourceOrFail(const VolumeOptions& options, int threads);

// What the viewer's `e` runs: the mcubes mesh command that writes what the
// state shows, at full detail and with normals, of the volume the options
// name (else the scene), in-process, so that the file is the command's to
// the byte; `inside`: the side of the level the volume's object lies on.
MeshExporter meshExporter(const VolumeOptions& volume,
                          mcubes::internal::Inside inside = mcubes::internal::Inside::Above);

struct ViewBenchOptions {
  int frames;
  std::int32_t divisions;  // of the scene
  int threads;
  VolumeOptions volume;  // a volume instead of the scene, if it names one
  double iso;            // a volume's start level
  std::int32_t detail;   // a volume's level of detail: every detail-th voxel
  bool json;
};

// Times the viewer's whole frame offscreen and prints the result
// (tools/view_bench.cpp: only where port/'s headless display exists).
void runViewBench(const ViewBenchOptions& options);
