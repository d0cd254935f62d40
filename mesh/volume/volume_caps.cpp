#include "mesh/volume/volume_caps.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "mesh/surface/cell_rules.h"
#include "mesh/volume/volume_lattice.h"

namespace mcubes::internal {

VolumeBoundary::VolumeBoundary(const std::int64_t (&dims)[3])
    : VolumeBoundary(dims, 0, dims[2] - 1) {}

VolumeBoundary::VolumeBoundary(const std::int64_t (&dims)[3], std::int64_t first, std::int64_t last)
    : first_(first), last_(last) {
  std::memcpy(dims_, dims, sizeof dims_);
  const std::int64_t slices = std::max<std::int64_t>(last - first + 1, 0);
  const auto length = [&](int across) { return static_cast<std::size_t>(dims[across] * slices); };
  const std::uint8_t zero = 0;
  assignGrown(byteFaces_[0], length(1), zero);
  assignGrown(byteFaces_[1], length(1), zero);
  assignGrown(byteFaces_[2], length(0), zero);
  assignGrown(byteFaces_[3], length(0), zero);
  const auto whole = static_cast<std::size_t>(dims[0] * dims[1]);
  if (first <= 0 && 0 <= last) assignGrown(byteFaces_[4], whole, zero);
  if (first <= dims[2] - 1 && dims[2] - 1 <= last) assignGrown(byteFaces_[5], whole, zero);
}

namespace {

// Whether a float holds `value` exactly. Beyond a float's range the
// conversion is undefined: such values widen the faces too.
bool exactFloat(double value) {
  const bool fits = std::isinf(value) || std::fabs(value) <= std::numeric_limits<float>::max();
  return fits && static_cast<double>(static_cast<float>(value)) == value;
}

// Whether a byte holds `value` exactly (not -0: its sign is kept).
bool exactByte(double value) {
  return value >= 0.0 && value <= 255.0 && !std::signbit(value) &&
         static_cast<double>(static_cast<std::uint8_t>(value)) == value;
}

}  // namespace

void VolumeBoundary::widen() {
  for (int f = 0; f < 6; ++f) {
    if (width_ == Width::Bytes) {
      makeRoom(faces_[f], byteFaces_[f].size());
      faces_[f].assign(byteFaces_[f].begin(), byteFaces_[f].end());
      std::vector<std::uint8_t>().swap(byteFaces_[f]);
    } else {
      makeRoom(wideFaces_[f], faces_[f].size());
      wideFaces_[f].assign(faces_[f].begin(), faces_[f].end());
      std::vector<float>().swap(faces_[f]);
    }
  }
  width_ = width_ == Width::Bytes ? Width::Floats : Width::Doubles;
}

void VolumeBoundary::put(int face, std::size_t at, double value) {
  if (width_ == Width::Bytes) {
    if (exactByte(value)) {
      byteFaces_[face][at] = static_cast<std::uint8_t>(value);
      return;
    }
    widen();
  }
  if (width_ == Width::Floats) {
    if (exactFloat(value)) {
      faces_[face][at] = static_cast<float>(value);
      return;
    }
    widen();
  }
  wideFaces_[face][at] = value;
}

template <typename Value>
void VolumeBoundary::putRun(int face, std::size_t at, const Value* from, std::int64_t stride,
                            std::size_t count) {
  // The common cases in tight loops, until one value needs a wider form.
  std::size_t n = 0;
  const auto value = [&](std::size_t m) {
    return latticeValue(static_cast<double>(from[static_cast<std::int64_t>(m) * stride]));
  };
  if (width_ == Width::Bytes) {
    std::uint8_t* const out = byteFaces_[face].data() + at;
    for (; n < count && exactByte(value(n)); ++n) out[n] = static_cast<std::uint8_t>(value(n));
    if (n == count) return;
    widen();
  }
  if (width_ == Width::Floats) {
    float* const out = faces_[face].data() + at;
    for (; n < count && exactFloat(value(n)); ++n) out[n] = static_cast<float>(value(n));
    if (n == count) return;
    widen();
  }
  double* const out = wideFaces_[face].data() + at;
  for (; n < count; ++n) out[n] = value(n);
}

template <typename Value>
void VolumeBoundary::record(std::int64_t k, const Value* slice) {
  if (k < first_ || k > last_) return;
  const std::int64_t x = dims_[0], y = dims_[1], held = k - first_;
  const auto ys = static_cast<std::size_t>(y), xs = static_cast<std::size_t>(x);
  putRun(0, static_cast<std::size_t>(held * y), slice, x, ys);
  putRun(1, static_cast<std::size_t>(held * y), slice + x - 1, x, ys);
  putRun(2, static_cast<std::size_t>(held * x), slice, 1, xs);
  putRun(3, static_cast<std::size_t>(held * x), slice + (y - 1) * x, 1, xs);
  if (k == 0) putRun(4, 0, slice, 1, size(4));
  if (k == dims_[2] - 1) putRun(5, 0, slice, 1, size(5));
}

template void VolumeBoundary::record(std::int64_t, const double*);
template void VolumeBoundary::record(std::int64_t, const float*);
template void VolumeBoundary::record(std::int64_t, const std::uint8_t*);

double VolumeBoundary::value(std::int64_t i, std::int64_t j, std::int64_t k) const {
  const std::int64_t x = dims_[0], y = dims_[1], held = k - first_;
  if (i == 0) return get(0, static_cast<std::size_t>(j + held * y));
  if (i == x - 1) return get(1, static_cast<std::size_t>(j + held * y));
  if (j == 0) return get(2, static_cast<std::size_t>(i + held * x));
  if (j == y - 1) return get(3, static_cast<std::size_t>(i + held * x));
  if (k == 0) return get(4, static_cast<std::size_t>(i + j * x));
  return get(5, static_cast<std::size_t>(i + j * x));
}

namespace {

// Where slices [first, last] lie in each face of a boundary holding slices
// from `held` on: from, count.
std::array<std::pair<std::size_t, std::size_t>, 6> sliceSpans(const std::int64_t (&dims)[3],
                                                              std::int64_t held, std::int64_t first,
                                                              std::int64_t last) {
  std::array<std::pair<std::size_t, std::size_t>, 6> spans;
  const auto span = [&](std::int64_t across) {
    return std::make_pair(static_cast<std::size_t>((first - held) * across),
                          static_cast<std::size_t>((last + 1 - first) * across));
  };
  spans[0] = spans[1] = span(dims[1]);
  spans[2] = spans[3] = span(dims[0]);
  const auto whole = static_cast<std::size_t>(dims[0] * dims[1]);
  spans[4] = {0, first == 0 ? whole : 0};
  spans[5] = {0, last == dims[2] - 1 ? whole : 0};
  return spans;
}

}  // namespace

std::vector<double> VolumeBoundary::slices(std::int64_t first, std::int64_t last) const {
  std::vector<double> values;
  const auto spans = sliceSpans(dims_, first_, first, last);
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < spans[f].second; ++n) values.push_back(get(f, spans[f].first + n));
  }
  return values;
}

void VolumeBoundary::recordSlices(std::int64_t first, std::int64_t last,
                                  const std::vector<double>& values) {
  const auto spans = sliceSpans(dims_, first_, first, last);
  auto from = values.begin();
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < spans[f].second; ++n) put(f, spans[f].first + n, *from++);
  }
}

namespace {

// Recorded values that are not finite are -infinity: outside.
bool recordedInside(double v, double isoLevel, Inside side) {
  return side == Inside::Above ? !(v < isoLevel) : v - v == 0.0 && v <= isoLevel;
}

}  // namespace

bool VolumeBoundary::allInside(double isoLevel, Inside side) const {
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < size(f); ++n) {
      if (!recordedInside(get(f, n), isoLevel, side)) return false;
    }
  }
  return true;
}

std::size_t VolumeBoundary::insideCount(double isoLevel, Inside side) const {
  std::size_t count = 0;
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < size(f); ++n) count += recordedInside(get(f, n), isoLevel, side);
  }
  return count;
}

bool VolumeBoundary::holds(double value) const {
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < size(f); ++n) {
      if (get(f, n) == value) return true;
    }
  }
  return false;
}

VolumeBoundary VolumeBoundary::indicator(double label) const {
  VolumeBoundary faces(dims_);
  for (int f = 0; f < 6; ++f) {
    for (std::size_t n = 0; n < size(f); ++n) faces.put(f, n, get(f, n) == label ? 1.0 : 0.0);
  }
  return faces;
}

namespace {

// The outer layer's value: below any finite level, and finite, so that the
// interpolation toward it stays a number.
constexpr double Outside = -std::numeric_limits<double>::max();

}  // namespace

EdgeKey outerEdgeKeys(const VolumeGeometry& geometry) {
  const std::int64_t* d = geometry.dims;
  return static_cast<EdgeKey>(d[0] * d[1] * d[2]) * 3;
}

bool edgeInSlice(const VolumeGeometry& geometry, EdgeKey key, std::int64_t k) {
  const std::int64_t* d = geometry.dims;
  const EdgeKey outer = outerEdgeKeys(geometry);
  const bool inVolume = key < outer;
  const EdgeKey edge = inVolume ? key : key - outer;
  if (edge % 3 == 2) return false;
  // The low end's k, on the lattice grown by one voxel each way for edges
  // that reach out.
  const EdgeKey point = edge / 3;
  if (inVolume) return static_cast<std::int64_t>(point / static_cast<EdgeKey>(d[0] * d[1])) == k;
  return static_cast<std::int64_t>(point / static_cast<EdgeKey>((d[0] + 2) * (d[1] + 2))) - 1 == k;
}

void forEachBoundaryTriangle(const VolumeGeometry& geometry, const VolumeBoundary& boundary,
                             double isoLevel, Inside side,
                             const std::function<void(const CapTriangle&)>& take) {
  forEachBoundaryTriangle(geometry, {}, boundary, isoLevel, side, -1, geometry.dims[2], take);
}

void forEachBoundaryTriangle(const VolumeGeometry& geometry, const LatticePoints& points,
                             const VolumeBoundary& boundary, double givenLevel, Inside side,
                             std::int64_t firstK, std::int64_t lastK,
                             const std::function<void(const CapTriangle&)>& take) {
  // The values as the extraction takes them: latticeValue of the negated
  // voxel is the negated recorded value where that is finite, else
  // -infinity.
  const bool negated = side == Inside::Below;
  const double isoLevel = negated ? -givenLevel : givenLevel;
  const auto swept = [negated](double recorded) {
    return negated && recorded - recorded == 0.0 ? -recorded : recorded;
  };
  const std::int64_t* dims = geometry.dims;
  const std::int64_t x = dims[0], y = dims[1], z = dims[2];
  const auto inside = [&](const std::int64_t(&p)[3]) {
    return p[0] >= 0 && p[0] < x && p[1] >= 0 && p[1] < y && p[2] >= 0 && p[2] < z;
  };
  const auto pointIndex = [&](const std::int64_t(&p)[3]) { return (p[2] * y + p[1]) * x + p[0]; };
  // Edges inside the volume keep the extraction's keys; the others are
  // numbered on the lattice grown by one voxel each way, after all of those.
  const EdgeKey volumeEdges = outerEdgeKeys(geometry);
  const auto keyOf = [&](const std::int64_t(&a)[3], const std::int64_t(&b)[3]) {
    const int axis = a[0] != b[0] ? 0 : a[1] != b[1] ? 1 : 2;
    std::int64_t low[3];
    for (int d = 0; d < 3; ++d) low[d] = std::min(a[d], b[d]);
    if (inside(a) && inside(b)) return static_cast<EdgeKey>(pointIndex(low)) * 3 + axis;
    return volumeEdges +
           static_cast<EdgeKey>(((low[2] + 1) * (y + 2) + (low[1] + 1)) * (x + 2) + low[0] + 1) *
               3 +
           axis;
  };
  for (std::int64_t k = std::max<std::int64_t>(firstK, -1); k < std::min(lastK, z); ++k) {
    for (std::int64_t j = -1; j < y; ++j) {
      const bool wholeRow = k == -1 || k == z - 1 || j == -1 || j == y - 1;
      for (std::int64_t i = -1; i < x; i = wholeRow || i == x - 1 ? i + 1 : x - 1) {
        // The outer corners are below the level, and so are face voxels
        // that are not finite (-infinity, as latticeValue gives them): only
        // a cell with a voxel at or above it can be crossed.
        GridCell cell;
        std::int64_t corners[8][3];
        bool reached = false;
        for (int c = 0; c < 8; ++c) {
          for (int d = 0; d < 3; ++d)
            corners[c][d] = (d == 0 ? i : d == 1 ? j : k) + iso::CornerSide[c][d];
          cell.values[c] = inside(corners[c])
                               ? swept(boundary.value(corners[c][0], corners[c][1], corners[c][2]))
                               : Outside;
          reached = reached || !(cell.values[c] < isoLevel);
        }
        if (!reached) continue;
        for (int c = 0; c < 8; ++c) {
          cell.points[c] = points ? points(corners[c]) : latticePoint(geometry, corners[c]);
        }
        Triangle made[5];
        const CellTriangles result = iso::polygoniseVolumeCell(cell, isoLevel, made);
        const std::int32_t* row = iso::CaseTriangles[result.caseIndex];
        for (int t = 0; t < result.count; ++t) {
          CapTriangle cap;
          for (int v = 0; v < 3; ++v) {
            const int a = iso::EdgeCorners[row[3 * t + v]][0],
                      b = iso::EdgeCorners[row[3 * t + v]][1];
            cap.keys[v] = keyOf(corners[a], corners[b]);
            cap.normals[v] = {0, 0, 0};
            cap.points[v] = -1;
            Point3& vertex = made[t].vertices[v];
            if (inside(corners[a]) && inside(corners[b])) {
              if (std::memcmp(&vertex, &cell.points[a], sizeof vertex) == 0) {
                cap.points[v] = pointIndex(corners[a]);
              } else if (std::memcmp(&vertex, &cell.points[b], sizeof vertex) == 0) {
                cap.points[v] = pointIndex(corners[b]);
              }
              continue;
            }
            // Out of the volume: the vertex is the face's voxel itself, its
            // normal the way out.
            const int in = inside(corners[a]) ? a : b, out = in == a ? b : a;
            vertex = cell.points[in];
            cap.points[v] = pointIndex(corners[in]);
            const double step[3] = {static_cast<double>(cell.points[out].x) - cell.points[in].x,
                                    static_cast<double>(cell.points[out].y) - cell.points[in].y,
                                    static_cast<double>(cell.points[out].z) - cell.points[in].z};
            const double length =
                std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
            if (length > 0) {
              cap.normals[v] = {static_cast<float>(step[0] / length),
                                static_cast<float>(step[1] / length),
                                static_cast<float>(step[2] / length)};
            }
          }
          cap.triangle = made[t];
          take(cap);
        }
      }
    }
  }
}

}  // namespace mcubes::internal
