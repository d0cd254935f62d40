// What the volume extractions share: the sweeps of a lattice's layers on
// workers made once for the run, joined in order, and the reading of a
// volume slab by slab, several slabs swept at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "mesh/surface/huge_pages.h"
#include "mesh/surface/ordered_parallel.h"
#include "mesh/surface/surface.h"
#include "mesh/surface/worker_pool.h"
#include "mesh/volume/volume_extract.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_sweep.h"

namespace mcubes::internal {

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

// The workers of one run, made once for it, and a sweep for each (one
// sweep, on the calling thread, without workers).
struct SweepWorkers {
  SweepWorkers(const Lattice& lattice, std::int64_t threads);
  WorkerPool pool;
  std::vector<LayerSweep> sweeps;
};

// Sweeps layers [0, layers) of a volume held whole in `window` in chunks on
// the workers and joins them in order into `output`; `progress` as chunks
// are joined.
void sweepLayers(SweepWorkers& workers, const SliceWindow& window, std::int64_t layers,
                 const VolumeOutput& output, VolumeFindings& findings,
                 const LayerProgress& progress);

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

// The slices of the slabs being read and swept, in one ring of slices that
// holds every slab in flight: each slice is read once, into the slot that
// the slice a whole ring before it left, and a slab's window goes round the
// ring. Slabs are filled in order, one fill after another (on any thread);
// their windows stay valid until `slabs` more are filled. The values are
// held as Value: doubles, or the narrower form the reader gives them in
// (VolumeReader::valueForm).
template <typename Value>
class SlabBuffers {
 public:
  // With workers, slabs are kept small enough for each worker to have a
  // few to sweep.
  SlabBuffers(VolumeReader& reader, const SlabReading& reading, std::int64_t slabs,
              std::int64_t workers);

  std::int64_t slabs() const { return (end_ - begin_ + layers_ - 1) / layers_; }
  std::int64_t begin() const { return begin_; }
  std::int64_t end() const { return end_; }
  std::int64_t first(std::int64_t slab) const { return begin_ + slab * layers_; }
  std::int64_t last(std::int64_t slab) const { return std::min(end_, first(slab) + layers_); }

  // Reads the slices of the next slab, `slab`, not read yet into the ring,
  // `read` seeing each as it comes; the window that holds the slab.
  SliceWindowOf<Value> fill(std::int64_t slab,
                            const std::function<void(std::int64_t k, const Value* slice)>& read);

 private:
  VolumeReader& reader_;
  std::int64_t depth_, sliceSize_, margin_, layers_, begin_, end_;
  std::int64_t ring_;  // slices in the ring
  HugePageArray<Value> slices_;
  std::int64_t nextToRead_;
};

// Reads the volume slab by slab and sweeps the slabs, several at once, a
// part for each, all on the workers (runInOrder): `read` sees each slice
// once as it comes (its index and its values), before any slab whose layers
// need it; then, for each slab's layers [first, last), `start` in order
// (after the slab's reading, on the same worker), `make` with the window
// that holds them, and `take` in order; `progress` on the calling thread
// with the layers taken of the reading's. A start and a take may run at
// once. One slab more than there are workers is in flight. The slices hold
// the values as Value, which the reader must give them in.
template <typename Part, typename Value, typename Start, typename Make, typename Take>
void readSlabs(VolumeReader& reader, const SlabReading& reading, WorkerPool& pool,
               const std::function<void(std::int64_t k, const Value* slice)>& read, Start&& start,
               Make&& make, Take&& take, const LayerProgress& progress) {
  const std::int64_t inFlight = pool.size() + 1;
  SlabBuffers<Value> buffers(reader, reading, inFlight, pool.size());
  struct Slab {
    SliceWindowOf<Value> window{};
    Part part;
  };
  runInOrder<Slab>(
      pool, buffers.slabs(), inFlight,
      [&](std::int64_t i, Slab& slab) {
        slab.window = buffers.fill(i, read);
        start(buffers.first(i), buffers.last(i), slab.part);
      },
      [&](int worker, std::int64_t i, Slab& slab) {
        make(worker, slab.window, buffers.first(i), buffers.last(i), slab.part);
      },
      [&](std::int64_t i, Slab& slab) { take(buffers.first(i), buffers.last(i), slab.part); },
      [&](std::int64_t taken) {
        if (progress) {
          progress(buffers.last(taken - 1) - buffers.begin(), buffers.end() - buffers.begin());
        }
      });
}

// The streamed sweep of both volume extractions: the reading's slabs into
// `output`, their slices held in the narrowest form the reader gives the
// values in exactly; each slice recorded in `boundary` (if any) as read.
void sweepSlabs(VolumeReader& reader, const SlabReading& reading, SweepWorkers& workers,
                VolumeBoundary* boundary, const VolumeOutput& output, VolumeFindings& findings,
                const LayerProgress& progress);

}  // namespace mcubes::internal
