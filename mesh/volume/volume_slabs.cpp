#include "mesh/volume/volume_slabs.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

#include "mesh/surface/ordered_parallel.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_weld.h"

namespace mcubes::internal {

void mergeFindings(VolumeFindings& into, const VolumeFindings& part) {
  into.nonFiniteVoxels += part.nonFiniteVoxels;
  into.least = std::min(into.least, part.least);
  into.most = std::max(into.most, part.most);
  into.levelOnVoxels += part.levelOnVoxels;
}

namespace {

// A part of the layers swept for the output: its triangles or its welded
// part, and what it found.
struct LayersPart {
  ExtractedSurface soup;
  WeldedPart weld;
  VolumeFindings findings;
};

// The whole welded surface of layers [begin, end), swept by one thread
// alone into one part that goes on from run to run: nothing to join, and
// room made for the whole as it grows, not by doubling.
struct WholePart {
  std::int64_t begin, end;
  WeldedPart part;
  RoomForWhole room;
  bool started = false;
};

// What a run of the sweep writes to.
struct Destination {
  const VolumeOutput& output;
  bool alone;
  WholePart* whole;  // nullptr: a part per run
};

template <typename Value>
void sweepWhole(LayerSweep& sweep, const SliceWindowOf<Value>& window, std::int64_t first,
                std::int64_t last, WholePart& whole, VolumeFindings& findings) {
  // Runs of a few layers, each after room for the whole as foretold by the
  // layers before.
  constexpr std::int64_t Layers = 8;
  for (std::int64_t from = first; from < last; from += Layers) {
    whole.room.make(whole.part.mesh, from - whole.begin, whole.end - whole.begin);
    sweep.run(window, from, std::min(last, from + Layers), whole.part, findings, whole.started);
    whole.started = true;
  }
}

// Without workers a soup is swept straight into the output: nothing to join.
template <typename Value>
void makePart(LayerSweep& sweep, const Destination& to, const SliceWindowOf<Value>& window,
              std::int64_t first, std::int64_t last, LayersPart& part) {
  part.findings = {};
  if (to.whole) {
    sweepWhole(sweep, window, first, last, *to.whole, part.findings);
  } else if (to.output.weld) {
    sweep.run(window, first, last, part.weld, part.findings);
  } else {
    ExtractedSurface& soup = to.alone ? *to.output.soup : part.soup;
    if (!to.alone) soup.clear();
    sweep.run(window, first, last, soup, part.findings);
  }
}

// The part's layers are [first, last) of the output's [begin, end).
void takePart(const Destination& to, std::int64_t begin, std::int64_t first, std::int64_t last,
              std::int64_t end, LayersPart& part, VolumeFindings& findings) {
  mergeFindings(findings, part.findings);
  if (to.whole) {
    if (last == end) to.output.weld->add(to.whole->part);
    return;
  }
  if (to.output.weld) {
    to.output.weld->expect(first - begin, end - begin);
    to.output.weld->add(part.weld);
    return;
  }
  if (to.alone) return;
  ExtractedSurface& soup = *to.output.soup;
  soup.triangles.insert(soup.triangles.end(), part.soup.triangles.begin(),
                        part.soup.triangles.end());
  soup.edges.insert(soup.edges.end(), part.soup.edges.begin(), part.soup.edges.end());
  soup.normals.insert(soup.normals.end(), part.soup.normals.begin(), part.soup.normals.end());
}

// A whole part where one thread welds into an output that joins.
std::unique_ptr<WholePart> wholePart(const SweepWorkers& workers, const VolumeOutput& output,
                                     std::int64_t begin, std::int64_t end) {
  if (workers.pool.size() != 0 || !output.weld || !output.weld->joins()) return nullptr;
  return std::make_unique<WholePart>(WholePart{begin, end, {}, {}, false});
}

}  // namespace

SweepWorkers::SweepWorkers(const Lattice& lattice, std::int64_t threads)
    : pool(static_cast<int>(threads)) {
  for (int t = 0; t < std::max(pool.size(), 1); ++t) sweeps.emplace_back(lattice);
}

// Several chunks per worker even out the uneven work of layers, and many
// keep the parts in flight small: they are reused chunk after chunk, so
// that few of the pages they fill are new ones, which the kernel gives at a
// cost near that of the sweep's own writes. Two layers a chunk at least: a
// chunk sorts the voxels of one slice more than the layers it sweeps.
void sweepLayers(SweepWorkers& workers, const SliceWindow& window, std::int64_t layers,
                 const VolumeOutput& output, VolumeFindings& findings,
                 const LayerProgress& progress) {
  const bool alone = workers.pool.size() == 0;
  std::int64_t chunks = alone ? 1 : std::max(4 * workers.pool.size(), 64);
  // Progress wants steps.
  if (progress) chunks = std::max<std::int64_t>(chunks, 100);
  chunks = std::min(chunks, std::max<std::int64_t>(layers / 2, 1));
  const auto from = [&](std::int64_t chunk) { return layers * chunk / chunks; };
  const std::unique_ptr<WholePart> whole = wholePart(workers, output, 0, layers);
  const Destination to{output, alone, whole.get()};
  runInOrder<LayersPart>(
      workers.pool, chunks, 2 * std::max(workers.pool.size(), 1), [](std::int64_t, LayersPart&) {},
      [&](int worker, std::int64_t c, LayersPart& part) {
        makePart(workers.sweeps[static_cast<std::size_t>(worker)], to, window, from(c), from(c + 1),
                 part);
      },
      [&](std::int64_t c, LayersPart& part) {
        takePart(to, 0, from(c), from(c + 1), layers, part, findings);
      },
      [&](std::int64_t taken) {
        if (progress) progress(from(taken), layers);
      });
}

namespace {

template <typename Value>
void sweepSlabsOf(VolumeReader& reader, const SlabReading& reading, SweepWorkers& workers,
                  VolumeBoundary* boundary, const VolumeOutput& output, VolumeFindings& findings,
                  const LayerProgress& progress) {
  const std::int64_t begin = reading.begin;
  const std::int64_t end = reading.end < 0 ? reader.header().geometry.dims[2] - 1 : reading.end;
  const std::unique_ptr<WholePart> whole = wholePart(workers, output, begin, end);
  const Destination to{output, workers.pool.size() == 0, whole.get()};
  readSlabs<LayersPart, Value>(
      reader, reading, workers.pool,
      [boundary](std::int64_t k, const Value* slice) {
        if (boundary) boundary->record(k, slice);
      },
      [](std::int64_t, std::int64_t, LayersPart&) {},
      [&](int worker, const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
          LayersPart& part) {
        makePart(workers.sweeps[static_cast<std::size_t>(worker)], to, window, first, last, part);
      },
      [&](std::int64_t first, std::int64_t last, LayersPart& part) {
        takePart(to, begin, first, last, end, part, findings);
      },
      progress);
}

}  // namespace

void sweepSlabs(VolumeReader& reader, const SlabReading& reading, SweepWorkers& workers,
                VolumeBoundary* boundary, const VolumeOutput& output, VolumeFindings& findings,
                const LayerProgress& progress) {
  switch (reader.valueForm()) {
    case ValueForm::Bytes:
      return sweepSlabsOf<std::uint8_t>(reader, reading, workers, boundary, output, findings,
                                        progress);
    case ValueForm::Floats:
      return sweepSlabsOf<float>(reader, reading, workers, boundary, output, findings, progress);
    case ValueForm::Doubles:
      return sweepSlabsOf<double>(reader, reading, workers, boundary, output, findings, progress);
  }
}

void checkSettings(const VolumeGeometry& geometry, const VolumeExtractionSettings& settings) {
  if (settings.threads < 1) throw std::invalid_argument("threads must be 1 or more");
  if (!std::isfinite(settings.isoLevel)) {
    throw std::invalid_argument("the iso level must be a finite number");
  }
  for (const std::int64_t d : geometry.dims) {
    if (d < 1) throw std::invalid_argument("every dimension of a volume must be 1 or more");
  }
}

Lattice latticeFor(const VolumeGeometry& geometry, const VolumeExtractionSettings& settings,
                   bool weld) {
  LatticeOptions options;
  options.iso = settings.isoLevel;
  options.inside = settings.inside;
  options.edgeKeys = settings.edgeKeys;
  options.normals = settings.normals;
  options.weld = weld;
  options.vectorUnit = settings.vectorUnit;
  return makeLattice(geometry, options);
}

std::int64_t cellCount(const std::int64_t (&dims)[3]) {
  return (dims[0] - 1) * (dims[1] - 1) * (dims[2] - 1);
}

SlabReading slabReading(const VolumeGeometry& geometry, std::int64_t sliceMemory, bool normals) {
  const std::int64_t layers = geometry.dims[2] - 1;
  const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
  const std::int64_t margin = normals ? 1 : 0;
  const std::int64_t budget = sliceMemory / static_cast<std::int64_t>(sizeof(double)) / sliceSize;
  return {std::clamp<std::int64_t>(budget - 1 - 2 * margin, 1, std::max<std::int64_t>(layers, 1)),
          margin};
}

template <typename Value>
SlabBuffers<Value>::SlabBuffers(VolumeReader& reader, const SlabReading& reading,
                                std::int64_t slabs, std::int64_t workers)
    : reader_(reader),
      depth_(reader.header().geometry.dims[2]),
      sliceSize_(reader.header().geometry.dims[0] * reader.header().geometry.dims[1]),
      margin_(reading.margin),
      layers_(reading.layers),
      begin_(reading.begin),
      end_(reading.end < 0 ? depth_ - 1 : reading.end) {
  if (workers > 0) {
    layers_ = std::clamp<std::int64_t>((end_ - begin_) / (4 * workers), 1, layers_);
  }
  // The slices of `slabs` slabs in a row, with the one they end on and the
  // margins: when a slab is filled, the slabs that still read slices are it
  // and the slabs - 1 before it, and the slices read for it take the slots
  // of slices no longer read.
  ring_ = std::min(depth_, slabs * layers_ + 1 + 2 * margin_);
  // Left unfilled: every value is read before it is used. Fresh memory,
  // as each run's: on huge pages it is faulted in 2 MB at a time.
  slices_ = hugePageArray<Value>(static_cast<std::size_t>(ring_ * sliceSize_));
  nextToRead_ = std::max<std::int64_t>(0, begin_ - margin_);
  reader_.skipSlices(nextToRead_);
}

namespace {

void readSlicesAs(VolumeReader& reader, std::int64_t count, double* out) {
  reader.readSlices(count, out);
}
void readSlicesAs(VolumeReader& reader, std::int64_t count, float* out) {
  reader.readFloatSlices(count, out);
}
void readSlicesAs(VolumeReader& reader, std::int64_t count, std::uint8_t* out) {
  reader.readByteSlices(count, out);
}

}  // namespace

template <typename Value>
SliceWindowOf<Value> SlabBuffers<Value>::fill(
    std::int64_t slab, const std::function<void(std::int64_t k, const Value* slice)>& read) {
  const std::int64_t held = std::max<std::int64_t>(0, first(slab) - margin_);
  const std::int64_t needed = std::min(depth_, last(slab) + 1 + margin_);
  const auto at = [&](std::int64_t k) { return slices_.get() + (k % ring_) * sliceSize_; };
  while (nextToRead_ < needed) {
    // As many slices at once as follow one another before the ring's end.
    const std::int64_t count = std::min(needed - nextToRead_, ring_ - nextToRead_ % ring_);
    readSlicesAs(reader_, count, at(nextToRead_));
    for (std::int64_t k = nextToRead_; read && k < nextToRead_ + count; ++k) read(k, at(k));
    nextToRead_ += count;
  }
  return {slices_.get(), held, sliceSize_, ring_, held % ring_};
}

template class SlabBuffers<double>;
template class SlabBuffers<float>;
template class SlabBuffers<std::uint8_t>;

}  // namespace mcubes::internal
