#include "mesh/pipeline/streamed_surface.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mesh/surface/key_table.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_slabs.h"
#include "mesh/volume/volume_weld.h"

namespace mcubes::internal {

namespace {

constexpr std::uint32_t None = 0xffffffffu;

// A vertex of the mesh: its number and where it lies.
struct Numbered {
  std::uint32_t number = None;
  Point3 position{};
};

// The sweep's parts numbered as JoinedParts joins them and closed and
// merged as closeAndMerge does one piece, each vertex and face handed on as
// soon as it is final.
class StreamedWeld {
 public:
  StreamedWeld(const VolumeGeometry& geometry, const SurfaceOptions& options, SurfaceStream& stream)
      : geometry_(geometry),
        stream_(stream),
        merge_(options.mergeSnapped),
        normals_(options.normals),
        mirrored_(isMirrored(geometry)),
        sliceSize_(geometry.dims[0] * geometry.dims[1]) {}

  void add(WeldedPart& part);
  void close(const VolumeBoundary& boundary, double isoLevel, Inside inside);

 private:
  Numbered newVertex(const Point3& position, const Point3& normal);
  void addFace(const Numbered& a, const Numbered& b, const Numbered& c);
  bool onBoxFace(std::int64_t point) const;

  const VolumeGeometry& geometry_;
  SurfaceStream& stream_;
  bool merge_, normals_, mirrored_;
  std::int64_t sliceSize_;
  bool first_ = true;
  std::uint32_t made_ = 0;  // vertices handed on
  // The last part's vertices on its last plane of lattice points, by place.
  std::vector<std::pair<std::int64_t, Numbered>> lastPlane_;
  // The first vertex made on a lattice point, for those made later there:
  // the points of the slices parts to come still reach, and those on the
  // box's faces, which the caps reach.
  std::unordered_map<std::int64_t, Numbered> points_;
  std::int64_t highestSlice_ = 0;
  // Vertices on edges in the box's faces, by the edge's key, for the caps.
  KeyTable<Numbered> faceEdges_;
  // The part's vertices, by its numbers, and the lattice point each lies on.
  std::vector<Numbered> numbers_;
  std::vector<std::int64_t> pointOf_;
};

Numbered StreamedWeld::newVertex(const Point3& position, const Point3& normal) {
  if (made_ == None) {
    throw std::runtime_error("the mesh has more vertices than 32-bit indices can number");
  }
  stream_.vertex(position, normal);
  return {made_++, position};
}

void StreamedWeld::addFace(const Numbered& a, const Numbered& b, const Numbered& c) {
  // Faces that merging made lines or points go.
  if (a.number == b.number || b.number == c.number || c.number == a.number) return;
  // A mirrored lattice turns the extraction's outward order inward.
  if (mirrored_) {
    stream_.face({a.number, c.number, b.number}, a.position, c.position, b.position);
  } else {
    stream_.face({a.number, b.number, c.number}, a.position, b.position, c.position);
  }
}

bool StreamedWeld::onBoxFace(std::int64_t point) const {
  const std::int64_t X = geometry_.dims[0], Y = geometry_.dims[1], Z = geometry_.dims[2];
  const std::int64_t i = point % X, j = point / X % Y, k = point / sliceSize_;
  return i == 0 || i == X - 1 || j == 0 || j == Y - 1 || k == 0 || k == Z - 1;
}

void StreamedWeld::add(WeldedPart& part) {
  const IndexedMesh& mesh = part.mesh;
  const std::size_t count = mesh.vertices.size();
  assignGrown(numbers_, count, Numbered{});
  // The vertices shared with the part before are its.
  if (!first_) {
    for (const auto& [place, v] : part.firstPlane) {
      const auto found = std::lower_bound(
          lastPlane_.begin(), lastPlane_.end(), place,
          [](const std::pair<std::int64_t, Numbered>& a, std::int64_t b) { return a.first < b; });
      if (found != lastPlane_.end() && found->first == place) numbers_[v] = found->second;
    }
  }
  first_ = false;
  assignGrown(pointOf_, count, std::int64_t{-1});
  if (merge_) {
    for (const auto& [point, v] : part.onPoints) {
      pointOf_[v] = point;
      highestSlice_ = std::max(highestSlice_, point / sliceSize_);
    }
  }
  // The rest numbered on in the part's order, each on a lattice point where
  // one was made before it becoming that one.
  const Point3 zero{0, 0, 0};
  for (std::size_t v = 0; v < count; ++v) {
    if (numbers_[v].number != None) continue;
    const Point3& normal = normals_ ? mesh.normals[v] : zero;
    if (pointOf_[v] < 0) {
      numbers_[v] = newVertex(mesh.vertices[v], normal);
      continue;
    }
    const auto [at, made] = points_.try_emplace(pointOf_[v]);
    if (made) at->second = newVertex(mesh.vertices[v], normal);
    numbers_[v] = at->second;
  }
  for (const auto& f : mesh.faces) addFace(numbers_[f[0]], numbers_[f[1]], numbers_[f[2]]);
  for (const auto& [key, v] : part.faceEdges) {
    const auto [edge, made] = faceEdges_.tryEmplace(key);
    if (made) *edge = numbers_[v];
  }
  lastPlane_.clear();
  for (const auto& [place, v] : part.lastPlane) lastPlane_.emplace_back(place, numbers_[v]);
  std::sort(lastPlane_.begin(), lastPlane_.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  // Parts to come reach no slice below the highest this one reached.
  for (auto at = points_.begin(); at != points_.end();) {
    if (at->first / sliceSize_ < highestSlice_ && !onBoxFace(at->first)) {
      at = points_.erase(at);
    } else {
      ++at;
    }
  }
}

// The caps of the cells around the volume, welded with the surface by edge;
// their vertices come after the surface's.
void StreamedWeld::close(const VolumeBoundary& boundary, double isoLevel, Inside inside) {
  // Room made once for about a cap vertex per voxel of the faces inside:
  // growing by rehashing costs more, and so does room for every voxel.
  const std::size_t caps = boundary.insideCount(isoLevel, inside);
  // Only a cell with a face voxel inside is crossed: with none (a surface
  // that never reaches the faces), there is nothing to cap, and the walk
  // over every cell around the volume is skipped.
  if (caps == 0) return;
  faceEdges_.reserve(faceEdges_.size() + caps);
  // The lattice points the caps may meet, in a table as the caps add
  // theirs: most cap vertices lie on a face's voxel.
  KeyTable<Numbered> points;
  if (merge_) {
    points.reserve(points_.size() + caps);
    for (const auto& [point, v] : points_)
      *points.tryEmplace(static_cast<std::uint64_t>(point)).first = v;
    points_ = {};
  }
  forEachBoundaryTriangle(
      geometry_, {}, boundary, isoLevel, inside, -1, geometry_.dims[2],
      [&](const CapTriangle& cap) {
        Numbered corners[3];
        const int outward[3] = {0, 2, 1};
        for (int v = 0; v < 3; ++v) {
          const int drawn = outward[v];
          const auto [edge, made] = faceEdges_.tryEmplace(cap.keys[drawn]);
          if (made) {
            const Point3& position = cap.triangle.vertices[drawn];
            const Point3 normal = normals_ ? cap.normals[drawn] : Point3{0, 0, 0};
            if (merge_ && cap.points[drawn] >= 0) {
              const auto [at, first] =
                  points.tryEmplace(static_cast<std::uint64_t>(cap.points[drawn]));
              if (first) *at = newVertex(position, normal);
              *edge = *at;
            } else {
              *edge = newVertex(position, normal);
            }
          }
          corners[v] = *edge;
        }
        addFace(corners[0], corners[1], corners[2]);
      });
}

}  // namespace

bool streamsSurface(const VolumeGeometry& geometry, const SurfaceOptions& options) {
  return options.welded && (!options.mergeSnapped || makeLattice(geometry, {}).distinctPoints);
}

void streamSurface(VolumeReader& reader, const SurfaceOptions& options, SurfaceReport& report,
                   SurfaceStream& stream, const SurfaceProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  if (!streamsSurface(geometry, options)) {
    throw std::logic_error("this surface cannot be streamed: it needs the whole mesh");
  }
  StreamedWeld streamed(geometry, options, stream);
  // The faces' voxels, to close the surface where it leaves the volume.
  std::optional<VolumeBoundary> boundary;
  if (options.closed) boundary.emplace(geometry.dims);
  VolumeWeld weld([&](WeldedPart& part) { streamed.add(part); });
  weldVolume(reader, extractionSettings(options), weld, report.findings, layerProgress(progress),
             boundary ? &*boundary : nullptr);
  const bool capped = boundary && report.findings.cells > 0;
  report.facesAllInside = capped && boundary->allInside(options.isoLevel, options.inside);
  if (capped && cellCount(geometry.dims) > 0)
    streamed.close(*boundary, options.isoLevel, options.inside);
}

}  // namespace mcubes::internal
