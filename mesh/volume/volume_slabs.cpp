#include "mesh/volume/volume_slabs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "mesh/surface/ordered_parallel.h"
#include "mesh/volume/volume_weld.h"

void mergeFindings(VolumeFindings& into, const VolumeFindings& part) {
  into.nonFiniteVoxels += part.nonFiniteVoxels;
  into.least = std::min(into.least, part.least);
  into.most = std::max(into.most, part.most);
  into.levelOnVoxels += part.levelOnVoxels;
}

namespace {

struct SoupPart {
  ExtractedSurface surface;
  VolumeFindings findings;
};

struct WeldPart {
  WeldedPart part;
  VolumeFindings findings;
};

}  // namespace

// Several parts per thread even out the uneven work of layers.
void sweepLayers(std::vector<LayerSweep>& sweeps, const SliceWindow& window, std::int64_t first,
                 std::int64_t last, const VolumeOutput& output, VolumeFindings& findings) {
  const std::int64_t layers = last - first;
  const int threads = static_cast<int>(std::min<std::int64_t>(sweeps.size(), layers));
  const std::int64_t parts = threads == 1 ? 1 : std::min<std::int64_t>(layers, 4 * threads);
  const auto from = [&](std::int64_t part) { return first + layers * part / parts; };
  if (output.weld) {
    runInOrder<WeldPart>(
        parts, threads,
        [&](int worker, std::int64_t p, WeldPart& made) {
          made.findings = {};
          sweeps[static_cast<std::size_t>(worker)].run(window, from(p), from(p + 1), made.part,
                                                       made.findings);
        },
        [&](std::int64_t, WeldPart& made) {
          mergeFindings(findings, made.findings);
          output.weld->add(made.part);
        });
    return;
  }
  if (threads == 1) {
    // Straight into the soup: nothing to join.
    sweeps[0].run(window, first, last, *output.soup, findings);
    return;
  }
  runInOrder<SoupPart>(
      parts, threads,
      [&](int worker, std::int64_t p, SoupPart& part) {
        part.surface.clear();
        part.findings = {};
        sweeps[static_cast<std::size_t>(worker)].run(window, from(p), from(p + 1), part.surface,
                                                     part.findings);
      },
      [&](std::int64_t, const SoupPart& part) {
        ExtractedSurface& soup = *output.soup;
        soup.triangles.insert(soup.triangles.end(), part.surface.triangles.begin(),
                              part.surface.triangles.end());
        soup.edges.insert(soup.edges.end(), part.surface.edges.begin(), part.surface.edges.end());
        soup.normals.insert(soup.normals.end(), part.surface.normals.begin(),
                            part.surface.normals.end());
        mergeFindings(findings, part.findings);
      });
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

std::vector<LayerSweep> sweepsFor(const Lattice& lattice, std::int64_t threads) {
  std::vector<LayerSweep> sweeps;
  for (std::int64_t t = 0; t < threads; ++t) sweeps.emplace_back(lattice);
  return sweeps;
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

void readSlabs(VolumeReader& reader, const SlabReading& reading,
               const std::function<void(std::int64_t k, const double* slice)>& read,
               const std::function<void(const SliceWindow& window, std::int64_t first,
                                        std::int64_t last)>& sweep,
               const LayerProgress& progress) {
  const std::int64_t(&dims)[3] = reader.header().geometry.dims;
  const std::int64_t begin = reading.begin;
  const std::int64_t end = reading.end < 0 ? dims[2] - 1 : reading.end;
  const std::int64_t sliceSize = dims[0] * dims[1];
  const std::int64_t slab = reading.layers, margin = reading.margin;
  // Left unfilled: every value is read before it is used.
  const std::unique_ptr<double[]> held(
      new double[static_cast<std::size_t>((slab + 1 + 2 * margin) * sliceSize)]);
  double* const buffer = held.get();
  std::int64_t firstHeld = std::max<std::int64_t>(0, begin - margin), nextToRead = firstHeld;
  reader.skipSlices(firstHeld);
  for (std::int64_t first = begin; first < end; first += slab) {
    const std::int64_t last = std::min(end, first + slab);
    // Keep the slices still needed, then read up to the last one needed.
    const std::int64_t keepFrom = std::max<std::int64_t>(0, first - margin);
    if (keepFrom > firstHeld) {
      std::memmove(buffer, buffer + (keepFrom - firstHeld) * sliceSize,
                   static_cast<std::size_t>((nextToRead - keepFrom) * sliceSize) * sizeof(double));
      firstHeld = keepFrom;
    }
    const std::int64_t needed = std::min(dims[2], last + 1 + margin);
    if (needed > nextToRead) {
      reader.readSlices(needed - nextToRead, buffer + (nextToRead - firstHeld) * sliceSize);
      for (std::int64_t k = nextToRead; read && k < needed; ++k) {
        read(k, buffer + (k - firstHeld) * sliceSize);
      }
      nextToRead = needed;
    }
    sweep({buffer, firstHeld, sliceSize}, first, last);
    if (progress) progress(last - begin, end - begin);
  }
}
