#include "mcubes/pieces.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "library/conversion.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "mesh/distributed/share_bytes.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

// What follows a piece's share (mesh/distributed/share_bytes.h), read
// before the share so that bytes of another volume, another build or other
// options are refused before they are taken apart.
struct PieceMark {
  char tag[16];
  std::int64_t dims[3];
  std::int64_t firstLayer, lastLayer;
  double level;
  std::uint8_t welded, normals, below, unused[5];
};

constexpr char PieceTag[16] = "mcubes piece 1";

PieceMark markOf(const VolumeGeometry& geometry, std::int64_t firstLayer, std::int64_t lastLayer,
                 const internal::SurfaceOptions& options) {
  PieceMark mark{};
  std::memcpy(mark.tag, PieceTag, sizeof mark.tag);
  std::copy(std::begin(geometry.dims), std::end(geometry.dims), mark.dims);
  mark.firstLayer = firstLayer;
  mark.lastLayer = lastLayer;
  mark.level = options.isoLevel;
  mark.welded = options.welded;
  mark.normals = options.normals;
  mark.below = options.inside == internal::Inside::Below;
  return mark;
}

std::int64_t layersOf(const Geometry& geometry) {
  return std::max<std::int64_t>(geometry.dims[2] - 1, 0);
}

void checkLayers(const Geometry& geometry, std::int64_t firstLayer, std::int64_t lastLayer) {
  const std::int64_t layers = layersOf(geometry);
  if (firstLayer < 0 || firstLayer > lastLayer || lastLayer > layers) {
    throw ArgumentError("layers " + std::to_string(firstLayer) + " to " +
                        std::to_string(lastLayer) + " are no run of a volume's " +
                        std::to_string(layers) +
                        " layers: give 0 <= first <= last <= " + std::to_string(layers));
  }
}

}  // namespace

SliceRange pieceSlices(const Geometry& geometry, std::int64_t firstLayer, std::int64_t lastLayer,
                       const SurfaceOptions& options) {
  checkLayers(geometry, firstLayer, lastLayer);
  if (firstLayer == lastLayer) return {firstLayer, firstLayer};
  const std::int64_t margin = options.normals ? 1 : 0;
  return {std::max<std::int64_t>(firstLayer - margin, 0),
          std::min(geometry.dims[2], lastLayer + 1 + margin)};
}

std::vector<char> meshPiece(const Geometry& geometry, const ArrayView& slab,
                            std::int64_t firstLayer, std::int64_t lastLayer,
                            const SurfaceOptions& options) {
  const SliceRange slices = pieceSlices(geometry, firstLayer, lastLayer, options);
  internal::SurfaceOptions surface = internalOptions(options);
  const VolumeGeometry whole = internalGeometry(geometry);
  VolumeBoundary boundary(whole.dims, firstLayer, lastLayer);
  VolumeShare share{firstLayer, lastLayer, {}, {}, {}};
  if (firstLayer < lastLayer) {
    if (slab.dims[2] != slices.last - slices.first) {
      throw ArgumentError("the piece of layers " + std::to_string(firstLayer) + " to " +
                          std::to_string(lastLayer) + " reads slices " +
                          std::to_string(slices.first) + " to " + std::to_string(slices.last - 1) +
                          " (" + std::to_string(slices.last - slices.first) +
                          "), and the slab holds " + std::to_string(slab.dims[2]));
    }
    const std::unique_ptr<VolumeReader> reader = openArray(geometry, slab, slices.first);
    share = volumeShare(*reader, firstLayer, lastLayer, surface, boundary, progressOf(options));
  }
  std::vector<char> bytes = shareBytes(share, boundary);
  const PieceMark mark = markOf(whole, firstLayer, lastLayer, surface);
  const char* markBytes = reinterpret_cast<const char*>(&mark);
  bytes.insert(bytes.end(), markBytes, markBytes + sizeof mark);
  return bytes;
}

MeshResult joinPieces(const Geometry& geometry, std::vector<std::vector<char>> pieces,
                      const SurfaceOptions& options) {
  MeshRequest request;
  // Only its geometry is used: the pieces hold what was read of the array.
  request.source = ArraySource{
      {nullptr, VoxelType::Uint8, {geometry.dims[0], geometry.dims[1], geometry.dims[2]}, {}},
      geometry};
  request.surface = options;
  request.surface.progress = {};
  checkRequest(request);
  const std::unique_ptr<VolumeReader> volume = openSource(request);
  const VolumeGeometry& whole = volume->header().geometry;
  const internal::SurfaceOptions surface = internalOptions(options);
  VolumeBoundary boundary(whole.dims);
  std::vector<VolumeShare> shares;
  std::int64_t next = 0;
  for (std::size_t p = 0; p < pieces.size(); ++p) {
    std::vector<char>& bytes = pieces[p];
    const std::string which = "piece " + std::to_string(p);
    PieceMark mark;
    if (bytes.size() < sizeof mark) throw ArgumentError(which + " is no piece of a mesh");
    std::memcpy(&mark, bytes.data() + bytes.size() - sizeof mark, sizeof mark);
    const PieceMark expected = markOf(whole, mark.firstLayer, mark.lastLayer, surface);
    if (std::memcmp(mark.tag, PieceTag, sizeof mark.tag) != 0) {
      throw ArgumentError(which + " is no piece of a mesh of this build of mcubes");
    }
    if (!std::equal(std::begin(mark.dims), std::end(mark.dims), std::begin(whole.dims))) {
      throw ArgumentError(which + " is a piece of another volume: its dims differ");
    }
    if (mark.level != expected.level || mark.welded != expected.welded ||
        mark.normals != expected.normals || mark.below != expected.below) {
      throw ArgumentError(which +
                          " was made with another level, inside, welded or normals than the "
                          "join's: give every piece and the join the same options");
    }
    if (mark.firstLayer != next || mark.lastLayer < next || mark.lastLayer > layersOf(geometry)) {
      throw ArgumentError(which + " holds layers " + std::to_string(mark.firstLayer) + " to " +
                          std::to_string(mark.lastLayer) + ", and the pieces before it end at " +
                          std::to_string(next) + ": give the pieces in order, every layer once");
    }
    next = mark.lastLayer;
    try {
      shares.push_back(shareFromBytes(bytes, boundary));
    } catch (const std::runtime_error&) {
      throw ArgumentError(which + " ends early: its bytes are cut short");
    }
    std::vector<char>().swap(bytes);
  }
  if (next != layersOf(geometry)) {
    throw ArgumentError("the pieces hold layers 0 to " + std::to_string(next) + " of " +
                        std::to_string(layersOf(geometry)) + ": give a piece of every layer");
  }
  return meshResult(
      runOn(request, *volume,
            [&](VolumeReader&, const internal::SurfaceOptions& settings, SurfaceReport& report) {
              return joinVolumeShares(whole, shares, boundary, settings, report);
            }));
}

}  // namespace mcubes
