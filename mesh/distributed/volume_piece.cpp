#include "mesh/distributed/volume_piece.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "mesh/surface/key_table.h"
#include "mesh/surface/weld.h"
#include "mesh/volume/volume_lattice.h"
#include "mesh/volume/volume_slabs.h"

namespace mcubes::internal {

namespace {

constexpr std::uint64_t Unset = ~std::uint64_t{0};

[[noreturn]] void disagree() {
  throw std::logic_error("the shares disagree on the vertices of the plane between them");
}

// A vertex's number in the whole mesh, which its files index in 32 bits.
std::uint32_t indexable(std::uint64_t number) {
  if (number >= PlaneNumbers::Unnumbered) {
    throw std::runtime_error("the mesh has more vertices than 32-bit indices can number");
  }
  return static_cast<std::uint32_t>(number);
}

// Whether merged vertices are those with the same bits, wherever they lie
// (PieceMerge::byPosition).
bool mergesByPosition(const VolumeGeometry& geometry, const PieceMerge& merge) {
  return merge.merge && (merge.byPosition || !makeLattice(geometry, {}).distinctPoints);
}

// A whole mesh whose vertices merge only on lattice points, merged as the
// piece's steps would merge it, in fewer passes: the vertices on one point
// become the lowest numbered, the rest keep their order, and faces that
// merging made lines or points are dropped.
IndexedMesh mergedOnLatticePoints(IndexedMesh mesh, NumberedVertices onPoints, bool normals) {
  std::sort(onPoints.begin(), onPoints.end());
  // Per merged vertex, the vertex it becomes, by merged vertex.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> merges;
  for (std::size_t n = 1, first = 0; n < onPoints.size(); ++n) {
    if (onPoints[n].first != onPoints[n - 1].first) {
      first = n;
      continue;
    }
    merges.emplace_back(onPoints[n].second, onPoints[first].second);
  }
  if (merges.empty()) return mesh;
  std::sort(merges.begin(), merges.end());
  // The kept vertices moved to the front, in place, and each vertex's
  // number after the move: a merged one's that of the vertex it becomes,
  // the lowest numbered on its point, which is kept.
  std::vector<std::uint32_t> to(mesh.vertices.size());
  std::uint32_t kept = 0;
  auto merged = merges.begin();
  for (std::uint32_t v = 0; v < to.size(); ++v) {
    if (merged != merges.end() && merged->first == v) {
      ++merged;
      continue;
    }
    to[v] = kept;
    mesh.vertices[kept] = mesh.vertices[v];
    if (normals) mesh.normals[kept] = mesh.normals[v];
    ++kept;
  }
  for (const auto& [v, into] : merges) to[v] = to[into];
  std::size_t faces = 0;
  for (const auto& face : mesh.faces) {
    const std::array<std::uint32_t, 3> made = {to[face[0]], to[face[1]], to[face[2]]};
    if (made[0] == made[1] || made[1] == made[2] || made[2] == made[0]) continue;
    mesh.faces[faces++] = made;
  }
  mesh.faces.resize(faces);
  mesh.vertices.resize(kept);
  if (normals) mesh.normals.resize(kept);
  return mesh;
}

}  // namespace

MeshPiece unweldedPiece(const VolumeGeometry& geometry, VolumeShare& share,
                        std::uint64_t trianglesBefore) {
  MeshPiece piece;
  piece.mesh = unweldedVolume(share.soup, geometry);
  share.soup = {};
  const std::uint64_t first = 3 * trianglesBefore;
  piece.numbers.resize(piece.mesh.vertices.size());
  for (std::size_t v = 0; v < piece.numbers.size(); ++v) piece.numbers[v] = indexable(first + v);
  piece.surfaceVertices = piece.mesh.vertices.size();
  piece.surfaceFaces = piece.mesh.faces.size();
  return piece;
}

IndexedMesh closeAndMerge(const VolumeGeometry& geometry, WeldedPart& part, const PieceCaps& caps,
                          const PieceMerge& merge) {
  const bool byPosition = mergesByPosition(geometry, merge);
  if (!caps.boundary && !byPosition) {
    // Nothing to add, and nothing to merge but vertices on lattice points:
    // the mesh as the sweep made it, without numbering its vertices again
    // (maps as large as the mesh), those merged.
    IndexedMesh mesh = merge.merge ? mergedOnLatticePoints(std::move(part.mesh),
                                                           std::move(part.onPoints), merge.normals)
                                   : std::move(part.mesh);
    part = {};
    if (isMirrored(geometry)) reverseFaces(mesh);
    return mesh;
  }
  const std::int64_t lastSlice = std::max<std::int64_t>(geometry.dims[2] - 1, 0);
  VolumePiece piece(geometry, part, 0, lastSlice, caps, merge, true, true);
  if (!byPosition) return piece.wholeMesh();
  const PieceCounts own = piece.ownVertices();
  piece.numberVertices({}, own.surface);
  const PieceCounts removed = piece.removedVertices();
  piece.renumber({}, removed.surface);
  return std::move(piece.take().mesh);
}

VolumePiece sharePiece(const VolumeGeometry& geometry, VolumeShare& share,
                       const VolumeBoundary& boundary, const SurfaceOptions& options, bool first,
                       bool last) {
  const PieceCaps caps{options.closed ? &boundary : nullptr, options.isoLevel, options.inside, {}};
  return VolumePiece(geometry, share.part, share.first, share.last, caps,
                     {options.mergeSnapped, false, options.normals}, first, last);
}

VolumePiece::VolumePiece(const VolumeGeometry& geometry, WeldedPart& part, std::int64_t firstSlice,
                         std::int64_t lastSlice, const PieceCaps& caps, const PieceMerge& merge,
                         bool first, bool last)
    : geometry_(geometry),
      firstSlice_(firstSlice),
      lastSlice_(lastSlice),
      first_(first),
      last_(last),
      mirrored_(isMirrored(geometry)),
      merge_(merge.merge),
      byPosition_(mergesByPosition(geometry, merge)),
      normals_(merge.normals) {
  if (byPosition_ && !(first && last)) {
    throw std::logic_error("pieces of a lattice whose points are not distinct cannot be merged");
  }
  std::swap(mesh_, part.mesh);
  surfaceFaces_ = mesh_.faces.size();
  kinds_.assign(mesh_.vertices.size(), Kind::Surface);
  // The vertices on the first plane are the piece before's.
  if (!first_) {
    for (const auto& [place, v] : part.firstPlane) kinds_[v] = Kind::SharedSurface;
  }
  firstPlane_ = std::move(part.firstPlane);
  lastPlane_ = std::move(part.lastPlane);
  for (const auto& [point, v] : part.onPoints) {
    if (kinds_[v] == Kind::Surface) onPoints_.emplace_back(point, v);
  }
  if (caps.boundary && cellCount(geometry.dims) > 0) makeCaps(caps, part.faceEdges);
  part = {};
}

std::uint32_t VolumePiece::addVertex(Kind kind, const Point3& position, const Point3& normal) {
  const auto v = static_cast<std::uint32_t>(mesh_.vertices.size());
  mesh_.vertices.push_back(position);
  if (normals_) mesh_.normals.push_back(normal);
  kinds_.push_back(kind);
  return v;
}

// The caps of the cells around the volume beside its layers (and below the
// first slice, above the last, where no piece comes before or after),
// welded with the surface by edge: every edge then has two faces. An edge
// in the first slice that no vertex of the surface has is met by the piece
// before's caps too, first: theirs.
void VolumePiece::makeCaps(const PieceCaps& caps,
                           const std::vector<std::pair<EdgeKey, std::uint32_t>>& faceEdges) {
  KeyTable<std::uint32_t> edges;
  edges.reserve(faceEdges.size() + caps.boundary->insideCount(caps.isoLevel, caps.inside));
  for (const auto& [key, v] : faceEdges) {
    const auto [held, made] = edges.tryEmplace(key);
    if (made) *held = v;
  }
  const std::int64_t firstK = first_ ? -1 : firstSlice_;
  const std::int64_t lastK = last_ ? geometry_.dims[2] : lastSlice_;
  forEachBoundaryTriangle(geometry_, caps.points, *caps.boundary, caps.isoLevel, caps.inside,
                          firstK, lastK, [&](const CapTriangle& cap) {
                            std::array<std::uint32_t, 3> face;
                            const int outward[3] = {0, 2, 1};
                            for (int v = 0; v < 3; ++v) {
                              const int drawn = outward[v];
                              const EdgeKey key = cap.keys[drawn];
                              const auto [held, made] = edges.tryEmplace(key);
                              if (!made) {
                                face[v] = *held;
                                continue;
                              }
                              const bool shared =
                                  !first_ && edgeInSlice(geometry_, key, firstSlice_);
                              face[v] = addVertex(shared ? Kind::SharedCap : Kind::Cap,
                                                  cap.triangle.vertices[drawn], cap.normals[drawn]);
                              *held = face[v];
                              if (shared) {
                                sharedCaps_.emplace_back(key, face[v]);
                                continue;
                              }
                              if (cap.points[drawn] >= 0)
                                onPoints_.emplace_back(cap.points[drawn], face[v]);
                              if (!last_ && edgeInSlice(geometry_, key, lastSlice_))
                                planeCaps_.emplace_back(key, face[v]);
                            }
                            mesh_.faces.push_back(face);
                          });
}

PieceCounts VolumePiece::ownVertices() const {
  PieceCounts counts;
  for (const Kind kind : kinds_) {
    counts.surface += kind == Kind::Surface;
    counts.caps += kind == Kind::Cap;
  }
  return counts;
}

void VolumePiece::numberVertices(const PieceCounts& before, std::uint64_t surfaceTotal) {
  numbers_.assign(kinds_.size(), Unset);
  std::uint64_t surface = before.surface, caps = surfaceTotal + before.caps;
  for (std::size_t v = 0; v < kinds_.size(); ++v) {
    if (kinds_[v] == Kind::Surface) numbers_[v] = surface++;
    if (kinds_[v] == Kind::Cap) numbers_[v] = caps++;
  }
}

std::int64_t VolumePiece::sliceOf(std::int64_t point) const {
  return point / (geometry_.dims[0] * geometry_.dims[1]);
}

std::vector<std::uint32_t> VolumePiece::sentVertices(PieceSide side) const {
  std::vector<std::uint32_t> sent;
  if (side == PieceSide::After) {
    for (const auto& [place, v] : lastPlane_) sent.push_back(v);
    for (const auto& [key, v] : planeCaps_) sent.push_back(v);
  }
  const std::int64_t slice = side == PieceSide::After ? lastSlice_ : firstSlice_;
  for (const auto& [point, v] : onPoints_) {
    if (merge_ && sliceOf(point) == slice) sent.push_back(v);
  }
  return sent;
}

PlaneVertices VolumePiece::plane(PieceSide side) const {
  PlaneVertices plane;
  if (side == PieceSide::After) {
    for (const auto& [place, v] : lastPlane_) plane.edges.emplace_back(place, numbers_[v]);
    for (const auto& [key, v] : planeCaps_) plane.capEdges.emplace_back(key, numbers_[v]);
  }
  const std::int64_t slice = side == PieceSide::After ? lastSlice_ : firstSlice_;
  for (const auto& [point, v] : onPoints_) {
    if (merge_ && sliceOf(point) == slice) plane.onPoints.emplace_back(point, numbers_[v]);
  }
  return plane;
}

void VolumePiece::takePlane(PieceSide side, const PlaneVertices& plane) {
  std::vector<std::uint64_t>& received = received_[static_cast<int>(side)];
  for (const auto& [place, g] : plane.edges) received.push_back(g);
  for (const auto& [key, g] : plane.capEdges) received.push_back(g);
  for (const auto& [point, g] : plane.onPoints) received.push_back(g);
  neighbourPoints_.insert(neighbourPoints_.end(), plane.onPoints.begin(), plane.onPoints.end());
  if (side == PieceSide::After) return;
  // The vertices shared with the piece before take its numbers.
  const auto numberShared = [&](auto theirs, const auto& mine) {
    std::sort(theirs.begin(), theirs.end());
    for (const auto& [where, v] : mine) {
      const auto found =
          std::lower_bound(theirs.begin(), theirs.end(), std::make_pair(where, 0ull),
                           [](const auto& a, const auto& b) { return a.first < b.first; });
      if (found == theirs.end() || found->first != where) disagree();
      numbers_[v] = found->second;
    }
  };
  if (!first_) numberShared(plane.edges, firstPlane_);
  numberShared(plane.capEdges, sharedCaps_);
}

void VolumePiece::mergeSameBits() {
  // Open addressing over the positions' bits, at most half full: each
  // vertex becomes the first with its bits.
  std::size_t size = 16;
  while (size < 2 * mesh_.vertices.size()) size *= 2;
  std::vector<std::uint32_t> slots(size, None);
  for (std::uint32_t v = 0; v < mesh_.vertices.size(); ++v) {
    std::uint32_t bits[3];
    std::memcpy(bits, &mesh_.vertices[v], sizeof bits);
    std::uint64_t h = bits[0];
    h = h * 0x9e3779b97f4a7c15ull ^ bits[1];
    h = h * 0x9e3779b97f4a7c15ull ^ bits[2];
    h *= 0x9e3779b97f4a7c15ull;
    std::size_t s = static_cast<std::size_t>(h >> 32) & (size - 1);
    while (slots[s] != None &&
           std::memcmp(&mesh_.vertices[slots[s]], &mesh_.vertices[v], sizeof bits) != 0) {
      s = (s + 1) & (size - 1);
    }
    if (slots[s] == None) {
      slots[s] = v;
    } else {
      mergedInto_[numbers_[v]] = {numbers_[slots[s]], slots[s]};
    }
  }
}

void VolumePiece::mergeOnLatticePoints() {
  // Vertices on one lattice point are one: the lowest numbered. By point,
  // number, and the vertex here (None: a neighbour's).
  struct OnPoint {
    std::int64_t point;
    std::uint64_t number;
    std::uint32_t vertex;
    bool operator<(const OnPoint& other) const {
      return point != other.point ? point < other.point : number < other.number;
    }
  };
  std::vector<OnPoint> points;
  for (const auto& [point, g] : neighbourPoints_) points.push_back({point, g, None});
  for (const auto& [point, v] : onPoints_) points.push_back({point, numbers_[v], v});
  neighbourPoints_ = {};
  std::sort(points.begin(), points.end());
  for (std::size_t n = 1, first = 0; n < points.size(); ++n) {
    if (points[n].point != points[n - 1].point) {
      first = n;
      continue;
    }
    mergedInto_[points[n].number] = {points[first].number, points[first].vertex};
  }
}

bool VolumePiece::merged(std::size_t v) const {
  if (mergedInto_.empty() || (!byPosition_ && !onPoint_[v])) return false;
  return mergedInto_.count(numbers_[v]) != 0;
}

PieceCounts VolumePiece::removedVertices() {
  if (!merge_) return {};
  if (byPosition_) {
    mergeSameBits();
  } else {
    mergeOnLatticePoints();
  }
  if (!byPosition_) {
    onPoint_.assign(kinds_.size(), false);
    for (const auto& [point, v] : onPoints_) onPoint_[v] = true;
  }
  PieceCounts removed;
  for (std::size_t v = 0; v < kinds_.size(); ++v) {
    if (!merged(v)) continue;
    removed.surface += kinds_[v] == Kind::Surface;
    removed.caps += kinds_[v] == Kind::Cap;
  }
  return removed;
}

void VolumePiece::renumber(const PieceCounts& removedBefore, std::uint64_t surfaceRemovedTotal) {
  finals_.assign(kinds_.size(), None);
  std::uint64_t surfaceGone = removedBefore.surface;
  std::uint64_t capsGone = surfaceRemovedTotal + removedBefore.caps;
  for (std::size_t v = 0; v < kinds_.size(); ++v) {
    const bool surface = kinds_[v] == Kind::Surface;
    if (!surface && kinds_[v] != Kind::Cap) continue;
    std::uint64_t& gone = surface ? surfaceGone : capsGone;
    if (merged(v)) {
      ++gone;
      continue;
    }
    finals_[v] = indexable(numbers_[v] - gone);
  }
  asItStands_ = true;
  for (std::size_t v = 0; v < finals_.size() && asItStands_; ++v) asItStands_ = finals_[v] == v;
}

PlaneNumbers VolumePiece::finalNumbers(PieceSide side) const {
  PlaneNumbers numbers;
  for (const std::uint32_t v : sentVertices(side)) {
    numbers.numbers.push_back(finals_[v]);
    numbers.positions.push_back(mesh_.vertices[v]);
  }
  return numbers;
}

void VolumePiece::takeFinalNumbers(PieceSide side, const PlaneNumbers& numbers) {
  const std::vector<std::uint64_t>& received = received_[static_cast<int>(side)];
  if (numbers.numbers.size() != received.size() || numbers.positions.size() != received.size()) {
    disagree();
  }
  for (std::size_t n = 0; n < received.size(); ++n) {
    if (numbers.numbers[n] == None) continue;
    neighbourFinals_[received[n]] = {numbers.numbers[n], numbers.positions[n]};
  }
}

IndexedMesh VolumePiece::wholeMesh() {
  if (!first_ || !last_ || byPosition_) {
    throw std::logic_error("wholeMesh: a piece of the lattice, or one merged by position");
  }
  // Its surface's vertices, then its caps', are numbered as they lie.
  IndexedMesh mesh = merge_
                         ? mergedOnLatticePoints(std::move(mesh_), std::move(onPoints_), normals_)
                         : std::move(mesh_);
  if (mirrored_) reverseFaces(mesh);
  return mesh;
}

MeshPiece VolumePiece::take() {
  MeshPiece piece;
  if (asItStands_) {
    // Most whole meshes: nothing merged.
    for (const Kind kind : kinds_)
      (kind == Kind::Surface ? piece.surfaceVertices : piece.capVertices) += 1;
    piece.surfaceFaces = surfaceFaces_;
    piece.mesh = std::move(mesh_);
    piece.numbers = std::move(finals_);
    if (mirrored_) reverseFaces(piece.mesh);
    return piece;
  }
  // The kept own vertices moved to the front, in place: the surface's come
  // before any of the caps' here too.
  const std::size_t count = kinds_.size();
  std::vector<std::uint32_t> to(count, None);
  std::size_t kept = 0;
  for (std::size_t v = 0; v < count; ++v) {
    if ((kinds_[v] != Kind::Surface && kinds_[v] != Kind::Cap) || finals_[v] == None) continue;
    to[v] = static_cast<std::uint32_t>(kept);
    mesh_.vertices[kept] = mesh_.vertices[v];
    if (normals_) mesh_.normals[kept] = mesh_.normals[v];
    finals_[kept++] = finals_[v];
    (kinds_[v] == Kind::Surface ? piece.surfaceVertices : piece.capVertices) += 1;
  }
  // Then the neighbours' vertices the faces use, after those: no more than
  // the vertices that went, whose places they take.
  std::unordered_map<std::uint32_t, std::uint32_t> neighbours;  // final number -> vertex
  const auto vertexOf = [&](std::uint32_t v) {
    if (to[v] != None) return to[v];
    const auto merged = mergedInto_.find(numbers_[v]);
    if (merged != mergedInto_.end() && merged->second.second != None) {
      to[v] = to[merged->second.second];
    } else {
      const std::uint64_t g = merged == mergedInto_.end() ? numbers_[v] : merged->second.first;
      const auto found = neighbourFinals_.find(g);
      if (found == neighbourFinals_.end()) disagree();
      const auto [at, made] =
          neighbours.emplace(found->second.first, static_cast<std::uint32_t>(kept));
      if (made) {
        if (kept == count) disagree();
        mesh_.vertices[kept] = found->second.second;
        if (normals_) mesh_.normals[kept] = {0, 0, 0};
        finals_[kept++] = found->second.first;
      }
      to[v] = at->second;
    }
    if (to[v] == None) disagree();
    return to[v];
  };
  // The faces, less those that merging made lines or points, in place.
  std::size_t faces = 0;
  for (std::size_t f = 0; f < mesh_.faces.size(); ++f) {
    const auto& face = mesh_.faces[f];
    const std::array<std::uint32_t, 3> made = {vertexOf(face[0]), vertexOf(face[1]),
                                               vertexOf(face[2])};
    if (made[0] == made[1] || made[1] == made[2] || made[2] == made[0]) continue;
    mesh_.faces[faces++] = made;
    piece.surfaceFaces += f < surfaceFaces_;
  }
  mesh_.faces.resize(faces);
  mesh_.vertices.resize(kept);
  if (normals_) mesh_.normals.resize(kept);
  finals_.resize(kept);
  piece.mesh = std::move(mesh_);
  piece.numbers = std::move(finals_);
  // A mirrored lattice turns the extraction's outward order inward.
  if (mirrored_) reverseFaces(piece.mesh);
  return piece;
}

}  // namespace mcubes::internal
