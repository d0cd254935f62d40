// What the volume extractions share: the sweeps of a lattice's layers on
// several threads, joined in order, and the reading of a volume slab by
// slab with a window of slices that moves through it.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "mesh/surface/surface.h"
#include "mesh/volume/volume_extract.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_sweep.h"

// Where the sweep's output goes: a triangle soup, or a welded mesh.
struct VolumeOutput {
  ExtractedSurface* soup;
  VolumeWeld* weld;
};

// Throws std::invalid_argument for settings no sweep can run with.
void checkSettings(const VolumeGeometry& geometry, const VolumeExtractionSettings& settings);

std::int64_t cellCount(const std::int64_t (&dims)[3]);

Lattice latticeFor(const VolumeGeometry& geometry, const VolumeExtractionSettings& settings,
                   bool weld);

// One sweep for each of `threads` threads.
std::vector<LayerSweep> sweepsFor(const Lattice& lattice, std::int64_t threads);

// Sweeps layers [first, last) on the threads and joins their parts in
// order into `output`.
void sweepLayers(std::vector<LayerSweep>& sweeps, const SliceWindow& window, std::int64_t first,
                 std::int64_t last, const VolumeOutput& output, VolumeFindings& findings);

// The reading of a volume in slabs of `layers` layers of cells, `margin`
// slices (0 or 1, for normals) more on each side where the volume has them;
// of the layers [begin, end) only (end -1: to the last), the slices before
// them skipped.
struct SlabReading {
  std::int64_t layers;
  std::int64_t margin;
  std::int64_t begin = 0;
  std::int64_t end = -1;
};

// Adds what a part of the layers found to what the others did.
void mergeFindings(VolumeFindings& into, const VolumeFindings& part);

// As many layers as `sliceMemory` bytes of slices hold, at least one.
SlabReading slabReading(const VolumeGeometry& geometry, std::int64_t sliceMemory, bool normals);

// Reads the volume slab by slab: `read` sees each slice once as it comes,
// (its index and its values), before any slab whose layers need it; `sweep`
// then each slab's layers [first, last) with the window that holds them;
// `progress` the layers done of the reading's.
void readSlabs(VolumeReader& reader, const SlabReading& reading,
               const std::function<void(std::int64_t k, const double* slice)>& read,
               const std::function<void(const SliceWindow& window, std::int64_t first,
                                        std::int64_t last)>& sweep,
               const LayerProgress& progress);
