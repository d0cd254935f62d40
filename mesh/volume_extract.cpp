#include "mesh/volume_extract.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "iso/cell_geometry.h"
#include "mesh/volume_caps.h"
#include "mesh/volume_rows.h"

namespace {

// The slices a sweep may read: slice k starts at base + (k - first) * X * Y.
struct SliceWindow {
  const double* base;
  std::int64_t first;
};

// Edge e of a cell, as the place its vertex is kept between cells: one of
// six families of lattice edges (by axis, slice and the order the
// polygoniser takes the ends in), the lattice row (0: the cell's j, 1: j + 1)
// and the column (0: the cell's i, 1: i + 1). Families: 0 i-edges at the
// cell's k, lower end first (edges 0, 4); 1 i-edges at k + 1, upper end
// first (2, 6); 2 k-edges, lower end first (1, 5); 3 k-edges, upper end
// first (3, 7); 4 j-edges at k (8, 9); 5 j-edges at k + 1 (11, 10).
// Cells of one layer that share such a place get the same bits for it.
constexpr int EdgeFamily[12] = {0, 2, 1, 3, 0, 2, 1, 3, 4, 4, 5, 5};
constexpr int EdgeRow[12] = {0, 0, 0, 0, 1, 1, 1, 1, 0, 0, 0, 0};
constexpr int EdgeColumn[12] = {0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0};
constexpr int Families = 6;
constexpr int MaxCellTriangles = 5;

// The ends of each edge of a cell, in the polygoniser's order: the corner
// row (dj + 2 dk) and column (di) of each.
struct EdgeEnd {
  int row, column;
};
struct EdgeEndTable {
  EdgeEnd ends[12][2];
  int axis[12];  // the axis the edge runs along: 0 i, 1 j, 2 k
  constexpr EdgeEndTable() : ends(), axis() {
    for (int e = 0; e < 12; ++e) {
      for (int end = 0; end < 2; ++end) {
        const int* side = CornerSide[EdgeCorners[e][end]];
        ends[e][end] = {side[1] + 2 * side[2], side[0]};
      }
      const int* a = CornerSide[EdgeCorners[e][0]];
      const int* b = CornerSide[EdgeCorners[e][1]];
      axis[e] = a[0] != b[0] ? 0 : a[1] != b[1] ? 1 : 2;
    }
  }
  constexpr const EdgeEnd* operator[](int e) const { return ends[e]; }
};
constexpr EdgeEndTable EdgeEnds;

typedef std::uint8_t Bytes __attribute__((vector_size(16)));

Bytes loadBytes(const std::uint8_t* from) {
  Bytes b;
  std::memcpy(&b, from, sizeof b);
  return b;
}

struct EdgeVertex {
  Point3 position;
  Point3 normal;
  std::int64_t stamp = 0;  // which lattice row it was computed for; 0: none
};

// The shared, read-only description of one extraction.
struct Lattice {
  std::int64_t dims[3];
  double iso;
  bool edgeKeys;
  bool normals;
  RowClassifier classifyRow;
  std::vector<double> rowStart[3];  // per i: origin + i * a, per coordinate
  double axes[3][3];
  // Where each world coordinate depends on one index alone (the others'
  // steps have +0 there, which adds nothing to any sum), that coordinate of
  // every lattice point, rounded to float, per value of that index: the
  // usual case of axes along the world's.
  bool separable;
  int coordinateAxis[3];
  std::vector<float> coordinates[3];
  // Separable with world coordinate d along index axis d: a lattice point's
  // position is (x[i], y[j], z[k]).
  bool aligned;
  double inverseTranspose[3][3];  // maps index-space gradients to world space
};

Lattice lattice(const VolumeGeometry& geometry, const VolumeExtractionSettings& settings) {
  Lattice l;
  for (int a = 0; a < 3; ++a) l.dims[a] = geometry.dims[a];
  l.iso = settings.isoLevel;
  l.edgeKeys = settings.edgeKeys;
  l.normals = settings.normals;
  l.classifyRow = rowClassifier(settings.vectorUnit);
  std::memcpy(l.axes, geometry.axes, sizeof l.axes);
  for (int d = 0; d < 3; ++d) {
    l.rowStart[d].resize(static_cast<std::size_t>(l.dims[0]));
    for (std::int64_t i = 0; i < l.dims[0]; ++i) {
      l.rowStart[d][static_cast<std::size_t>(i)] =
          geometry.origin[d] + static_cast<double>(i) * geometry.axes[0][d];
    }
  }
  l.separable = true;
  for (int d = 0; d < 3; ++d) {
    int along = -1, count = 0;
    for (int axis = 0; axis < 3; ++axis) {
      std::uint64_t bits;
      std::memcpy(&bits, &geometry.axes[axis][d], sizeof bits);
      if (bits != 0) {
        along = axis;
        ++count;
      }
    }
    if (count > 1) l.separable = false;
    l.coordinateAxis[d] = along < 0 ? 0 : along;
  }
  const bool alongTheAxes = l.separable && l.coordinateAxis[0] == 0 && l.coordinateAxis[1] == 1 &&
                            l.coordinateAxis[2] == 2;
  for (int d = 0; l.separable && d < 3; ++d) {
    // The whole sum with the other indices at 0: the same bits as with any.
    const int axis = l.coordinateAxis[d];
    for (std::int64_t n = 0; n < l.dims[axis]; ++n) {
      const std::int64_t index[3] = {axis == 0 ? n : 0, axis == 1 ? n : 0, axis == 2 ? n : 0};
      l.coordinates[d].push_back(
          static_cast<float>(((geometry.origin[d] + static_cast<double>(index[0]) * l.axes[0][d]) +
                              static_cast<double>(index[1]) * l.axes[1][d]) +
                             static_cast<double>(index[2]) * l.axes[2][d]));
    }
  }
  // The edge vertices of aligned lattices keep the coordinates an edge's
  // ends share as they are, where the interpolation would turn -0 into +0.
  // The sums end in adding a +0 product, so no coordinate is -0; checked.
  l.aligned = alongTheAxes;
  for (int d = 0; l.aligned && d < 3; ++d) {
    for (const float c : l.coordinates[d]) l.aligned = l.aligned && !(c == 0.0f && std::signbit(c));
  }
  // A gradient g in index space is (a . G, b . G, c . G) for the world
  // gradient G: G = M^-T g with M's columns the axes. Cofactors over the
  // determinant; a singular mapping leaves the index-space gradient.
  const double(&m)[3][3] = geometry.axes;  // m[axis][coordinate]
  double cof[3][3];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
      cof[r][c] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
    }
  }
  const double det = m[0][0] * cof[0][0] + m[0][1] * cof[0][1] + m[0][2] * cof[0][2];
  for (int coordinate = 0; coordinate < 3; ++coordinate) {
    for (int axis = 0; axis < 3; ++axis) {
      l.inverseTranspose[coordinate][axis] =
          det != 0.0 ? cof[axis][coordinate] / det : (coordinate == axis ? 1.0 : 0.0);
    }
  }
  return l;
}

// Room for `total` elements, growing geometrically: slab after slab of a
// streamed volume adds to the same vectors.
template <typename T>
void makeRoom(std::vector<T>& v, std::size_t total) {
  if (total > v.capacity()) v.reserve(std::max(total, 2 * v.capacity()));
}

// One thread's sweep over layers of cells: the side of the iso level of the
// voxels of two slices, and the vertices of the lattice rows in reach.
class LayerSweep {
 public:
  explicit LayerSweep(const Lattice& lattice)
      : l_(lattice),
        x_(lattice.dims[0]),
        y_(lattice.dims[1]),
        sliceSize_(x_ * y_),
        cases_(static_cast<std::size_t>(x_) + 32),
        vertices_(static_cast<std::size_t>(Families * 2 * (x_ + 1))),
        alignedX_(lattice.aligned ? lattice.coordinates[0].data() : nullptr) {
    for (int s = 0; s < 2; ++s) {
      // Room past the last row for the case loop's sixteen-wide reads.
      below_[s].resize(static_cast<std::size_t>(sliceSize_ + 32));
      firstChange_[s].resize(static_cast<std::size_t>(y_));
      lastChange_[s].resize(static_cast<std::size_t>(y_));
      nonFinite_[s].resize(static_cast<std::size_t>(y_));
    }
  }

  // Appends the triangles of layers [first, last) to `out`. The window holds
  // slices first to last (and one more on each side, where the volume has
  // them, for normals). Slices first to last - 1, and the volume's last
  // slice if it is `last`, are counted in `findings`.
  void run(const SliceWindow& window, std::int64_t first, std::int64_t last, ExtractedSurface& out,
           VolumeFindings& findings) {
    window_ = window;
    classify(first, last, findings);
    for (std::int64_t k = first; k < last; ++k) {
      classify(k + 1, last, findings);
      layer(k, out, findings);
    }
  }

 private:
  const double* slice(std::int64_t k) const {
    return window_.base + (k - window_.first) * sliceSize_;
  }

  // Which side of the iso level each voxel of slice k is on; per row, the
  // first and last voxel where that changes along the row, and whether a
  // value is not finite; the finite values' range into `findings`.
  void classify(std::int64_t k, std::int64_t last, VolumeFindings& findings) {
    const bool counted = k < last || k == l_.dims[2] - 1;
    const int s = static_cast<int>(k & 1);
    const double* values = slice(k);
    for (std::int64_t j = 0; j < y_; ++j) {
      const double* row = values + j * x_;
      std::uint8_t* below = below_[s].data() + j * x_;
      const RowClasses classes = l_.classifyRow(row, x_, l_.iso, below);
      double rowLeast = classes.least, rowMost = classes.most;
      const bool nonFinite = classes.nonFinite;
      const auto ju = static_cast<std::size_t>(j);
      nonFinite_[s][ju] = nonFinite;
      firstChange_[s][ju] = firstChange(below);
      lastChange_[s][ju] = lastChange(below);
      if (!counted) continue;
      if (nonFinite) {
        // Rare: the range and the count from the finite values alone.
        rowLeast = HUGE_VAL;
        rowMost = -HUGE_VAL;
        for (std::int64_t i = 0; i < x_; ++i) {
          if (std::isfinite(row[i])) {
            rowLeast = std::min(rowLeast, row[i]);
            rowMost = std::max(rowMost, row[i]);
          } else {
            ++findings.nonFiniteVoxels;
          }
        }
      }
      findings.least = std::min(findings.least, rowLeast);
      findings.most = std::max(findings.most, rowMost);
    }
  }

  // The first voxel of the row on the other side from voxel 0 (x if none),
  // eight at a time.
  std::int64_t firstChange(const std::uint8_t* below) const {
    const std::uint64_t same = below[0] * 0x0101010101010101ull;
    std::int64_t i = 0;
    for (; i + 8 <= x_; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, below + i, sizeof word);
      if (word != same) break;
    }
    while (i < x_ && below[i] == below[0]) ++i;
    return i;
  }

  // The last voxel of the row on the other side from the last (-1 if none).
  std::int64_t lastChange(const std::uint8_t* below) const {
    const std::uint8_t end = below[x_ - 1];
    const std::uint64_t same = end * 0x0101010101010101ull;
    std::int64_t i = x_;
    for (; i >= 8; i -= 8) {
      std::uint64_t word;
      std::memcpy(&word, below + i - 8, sizeof word);
      if (word != same) break;
    }
    while (i > 0 && below[i - 1] == end) --i;
    return i - 1;
  }

  void layer(std::int64_t k, ExtractedSurface& out, VolumeFindings& findings) {
    const int s0 = static_cast<int>(k & 1), s1 = 1 - s0;
    const std::int64_t cells = x_ - 1;
    for (std::int64_t j = 0; j + 1 < y_; ++j) {
      const auto ju = static_cast<std::size_t>(j);
      const std::uint8_t* r0 = below_[s0].data() + j * x_;
      const std::uint8_t* r1 = below_[s1].data() + j * x_;
      const std::uint8_t* r2 = r0 + x_;
      const std::uint8_t* r3 = r1 + x_;
      // Cells before every row's first change, or after every row's last,
      // are uniform where the four rows agree there.
      std::int64_t from = 0, to = cells;
      if (r0[0] == r1[0] && r0[0] == r2[0] && r0[0] == r3[0]) {
        from = std::min({firstChange_[s0][ju], firstChange_[s0][ju + 1], firstChange_[s1][ju],
                         firstChange_[s1][ju + 1]}) -
               1;
        from = std::max<std::int64_t>(from, 0);
      }
      const std::int64_t e = x_ - 1;
      if (r0[e] == r1[e] && r0[e] == r2[e] && r0[e] == r3[e]) {
        to = std::max({lastChange_[s0][ju], lastChange_[s0][ju + 1], lastChange_[s1][ju],
                       lastChange_[s1][ju + 1]}) +
             1;
        to = std::min(to, cells);
      }
      if (from >= to) continue;
      // The cases of cells from..to, sixteen at a time; the rows are padded
      // so that reads past a row's end stay in the buffer.
      std::uint8_t* cases = cases_.data();
      for (std::int64_t i = from; i < to; i += 16) {
        const Bytes a = loadBytes(r0 + i), b = loadBytes(r0 + i + 1);
        const Bytes c = loadBytes(r1 + i + 1), d = loadBytes(r1 + i);
        const Bytes f = loadBytes(r2 + i), g = loadBytes(r2 + i + 1);
        const Bytes h = loadBytes(r3 + i + 1), m = loadBytes(r3 + i);
        const Bytes code = a | b << 1 | c << 2 | d << 3 | f << 4 | g << 5 | h << 6 | m << 7;
        std::memcpy(cases + i, &code, sizeof code);
      }
      std::memset(cases + to, 0, 16);
      // Where each edge of the row's cells keeps its vertex, and the stamp
      // of a vertex made for this lattice row.
      for (int e = 0; e < 12; ++e) {
        rowSlots_[e] = vertices_.data() + (EdgeFamily[e] * 2 + ((j + EdgeRow[e]) & 1)) * (x_ + 1) +
                       EdgeColumn[e];
        rowStamps_[e] = k * (y_ + 1) + j + EdgeRow[e] + 1;
      }
      // The four rows of voxels the row's cells span (corner row dj + 2 dk)
      // and, where coordinates depend on one index each, where each corner
      // row finds its coordinates: along i from the table, across it fixed
      // (aligned lattices have their own, below).
      for (int r = 0; r < 4; ++r) {
        const int dj = r & 1, dk = r >> 1;
        cornerValues_[r] = slice(k + dk) + (j + dj) * x_;
        if (!l_.separable || l_.aligned) continue;
        for (int d = 0; d < 3; ++d) {
          const int axis = l_.coordinateAxis[d];
          const std::int64_t at = axis == 0 ? 0 : axis == 1 ? j + dj : k + dk;
          cornerCoordinates_[r][d] = l_.coordinates[d].data() + at;
        }
      }
      const bool checkFinite = nonFinite_[s0][ju] || nonFinite_[s0][ju + 1] || nonFinite_[s1][ju] ||
                               nonFinite_[s1][ju + 1];
      // Room for the most triangles the row's cells can make: the vector is
      // not grown in the middle of a row.
      makeRoom(out.triangles,
               out.triangles.size() + static_cast<std::size_t>(MaxCellTriangles * (to - from)));
      if (l_.aligned) {
        for (int r = 0; r < 4; ++r) {
          alignedRows_[r][0] = l_.coordinates[1][static_cast<std::size_t>(j + (r & 1))];
          alignedRows_[r][1] = l_.coordinates[2][static_cast<std::size_t>(k + (r >> 1))];
        }
        crossedCells<true>(from, to, j, k, checkFinite, out, findings);
      } else {
        crossedCells<false>(from, to, j, k, checkFinite, out, findings);
      }
    }
  }

  // The cells from..to of row j of layer k with their cases in cases_.
  template <bool Aligned>
  void crossedCells(std::int64_t from, std::int64_t to, std::int64_t j, std::int64_t k,
                    bool checkFinite, ExtractedSurface& out, VolumeFindings& findings) {
    const std::uint8_t* cases = cases_.data();
    // Eight cells at a time where none is crossed (all 0 or all 255).
    for (std::int64_t i = from; i < to; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, cases + i, sizeof word);
      if (word == 0 || word == ~std::uint64_t{0}) continue;
      for (std::int64_t c = i; c < i + 8 && c < to; ++c) {
        if (cases[c] != 0 && cases[c] != 255) {
          cell<Aligned>(c, j, k, cases[c], checkFinite, out, findings);
        }
      }
    }
  }

  double value(std::int64_t i, std::int64_t j, std::int64_t k) const {
    return slice(k)[j * x_ + i];
  }

  // The world position of lattice point (i, j, k), which lies in corner row
  // r of the current row of cells.
  template <bool Aligned>
  Point3 cornerPosition(int r, std::int64_t i, std::int64_t j, std::int64_t k) const {
    if (Aligned) return {alignedX_[i], alignedRows_[r][0], alignedRows_[r][1]};
    if (l_.separable) {
      const float* const* c = cornerCoordinates_[r];
      return {c[0][l_.coordinateAxis[0] == 0 ? i : 0], c[1][l_.coordinateAxis[1] == 0 ? i : 0],
              c[2][l_.coordinateAxis[2] == 0 ? i : 0]};
    }
    float p[3];
    for (int d = 0; d < 3; ++d) {
      p[d] = static_cast<float>(
          (l_.rowStart[d][static_cast<std::size_t>(i)] + static_cast<double>(j) * l_.axes[1][d]) +
          static_cast<double>(k) * l_.axes[2][d]);
    }
    return {p[0], p[1], p[2]};
  }

  template <bool Aligned>
  void cell(std::int64_t i, std::int64_t j, std::int64_t k, int caseIndex, bool checkFinite,
            ExtractedSurface& out, VolumeFindings& findings) {
    if (checkFinite) {
      for (const int* side : CornerSide) {
        if (!std::isfinite(value(i + side[0], j + side[1], k + side[2]))) return;
      }
    }
    const EdgeVertex* at[12];
    for (auto mask = static_cast<std::uint32_t>(CaseEdgeMasks[caseIndex]); mask != 0;
         mask &= mask - 1) {
      const int e = __builtin_ctz(mask);
      EdgeVertex& v = rowSlots_[e][i];
      if (v.stamp != rowStamps_[e]) {
        v.stamp = rowStamps_[e];
        computeVertex<Aligned>(e, i, j, k, v, findings);
      }
      at[e] = &v;
    }
    const std::int32_t* row = CaseTriangles[caseIndex];
    for (int t = 0; row[t] != -1; t += 3) {
      // Read before the vector is written, which could otherwise alias them.
      const Point3 p0 = at[row[t]]->position, p1 = at[row[t + 1]]->position,
                   p2 = at[row[t + 2]]->position;
      Triangle& made = out.triangles.emplace_back();
      made.vertices[0] = p0;
      made.vertices[1] = p1;
      made.vertices[2] = p2;
    }
    if (!l_.edgeKeys && !l_.normals) return;
    for (int t = 0; row[t] != -1; t += 3) {
      if (l_.edgeKeys) {
        out.edges.push_back(
            {edgeKey(row[t], i, j, k), edgeKey(row[t + 1], i, j, k), edgeKey(row[t + 2], i, j, k)});
      }
      if (l_.normals) {
        out.normals.push_back({at[row[t]]->normal, at[row[t + 1]]->normal, at[row[t + 2]]->normal});
      }
    }
  }

  template <bool Aligned>
  void computeVertex(int e, std::int64_t i, std::int64_t j, std::int64_t k, EdgeVertex& v,
                     VolumeFindings& findings) const {
    const int* a = CornerSide[EdgeCorners[e][0]];
    const int* b = CornerSide[EdgeCorners[e][1]];
    double va, vb;
    Point3 wa, wb;
    if (Aligned) {
      const EdgeEnd& ea = EdgeEnds[e][0];
      const EdgeEnd& eb = EdgeEnds[e][1];
      va = cornerValues_[ea.row][i + ea.column];
      vb = cornerValues_[eb.row][i + eb.column];
      wa = {alignedX_[i + ea.column], alignedRows_[ea.row][0], alignedRows_[ea.row][1]};
      wb = {alignedX_[i + eb.column], alignedRows_[eb.row][0], alignedRows_[eb.row][1]};
      v.position = alignedEdgeVertex(EdgeEnds.axis[e], wa, wb, va, vb, findings);
    } else {
      const int ra = a[1] + 2 * a[2], rb = b[1] + 2 * b[2];
      va = cornerValues_[ra][i + a[0]];
      vb = cornerValues_[rb][i + b[0]];
      wa = cornerPosition<Aligned>(ra, i + a[0], j + a[1], k + a[2]);
      wb = cornerPosition<Aligned>(rb, i + b[0], j + b[1], k + b[2]);
      v.position = interpolateEdgeVertex(l_.iso, wa, wb, va, vb);
      // A snapped vertex is one of the ends; only then is it looked at again.
      if (std::memcmp(&v.position, &wa, sizeof wa) == 0 ||
          std::memcmp(&v.position, &wb, sizeof wb) == 0) {
        countSnap(va, vb, findings);
      }
    }
    if (l_.normals) {
      const std::int64_t pa[3] = {i + a[0], j + a[1], k + a[2]};
      const std::int64_t pb[3] = {i + b[0], j + b[1], k + b[2]};
      v.normal = normal(pa, pb, va, vb, wa, wb);
    }
  }

  // An edge whose snapping the findings count: the level on a voxel, or
  // differences within the polygoniser's tolerance.
  void countSnap(double va, double vb, VolumeFindings& findings) const {
    if (va == l_.iso || vb == l_.iso) ++findings.levelOnVoxels;
    const auto snapped = [](double p, double q) { return p != q && withinSnapTolerance(p, q); };
    if (snapped(l_.iso, va) || snapped(l_.iso, vb) || snapped(va, vb)) ++findings.snappedEdges;
  }

  // interpolateEdgeVertex(iso, wa, wb, va, vb) on an edge along world
  // coordinate `axis`, bit for bit: it takes the same branches, and where it
  // interpolates, the coordinates the ends share come out as they are (it
  // adds a zero difference times a factor in (0, 1], which changes nothing
  // but -0, and aligned lattices have none), so only the one along the edge
  // is interpolated. Every findings count needs
  // a snap, so they are looked at only where one happens.
  Point3 alignedEdgeVertex(int axis, const Point3& wa, const Point3& wb, double va, double vb,
                           VolumeFindings& findings) const {
    const double iso = l_.iso;
    if (withinSnapTolerance(iso, va) || withinSnapTolerance(iso, vb) ||
        withinSnapTolerance(va, vb)) {
      countSnap(va, vb, findings);
      return interpolateEdgeVertex(iso, wa, wb, va, vb);
    }
    const double span = vb - va;
    const double mu =
        std::isfinite(span) ? (iso - va) / span : (iso / 2 - va / 2) / (vb / 2 - va / 2);
    Point3 p = wa;
    if (axis == 0) p.x = interpolateCoordinate(wa.x, wb.x, mu);
    if (axis == 1) p.y = interpolateCoordinate(wa.y, wb.y, mu);
    if (axis == 2) p.z = interpolateCoordinate(wa.z, wb.z, mu);
    return p;
  }

  // The gradient at a voxel in index space: central differences, one-sided
  // at the volume's faces.
  void gradient(const std::int64_t (&p)[3], double (&g)[3]) const {
    for (int axis = 0; axis < 3; ++axis) {
      std::int64_t lo[3] = {p[0], p[1], p[2]}, hi[3] = {p[0], p[1], p[2]};
      if (p[axis] > 0) --lo[axis];
      if (p[axis] + 1 < l_.dims[axis]) ++hi[axis];
      const double span = static_cast<double>(hi[axis] - lo[axis]);
      g[axis] = span > 0 ? (value(hi[0], hi[1], hi[2]) - value(lo[0], lo[1], lo[2])) / span : 0.0;
    }
  }

  Point3 normal(const std::int64_t (&pa)[3], const std::int64_t (&pb)[3], double va, double vb,
                const Point3& wa, const Point3& wb) const {
    // Where the vertex lies along the edge, as the interpolation puts it.
    double t;
    if (withinSnapTolerance(l_.iso, va)) {
      t = 0.0;
    } else if (withinSnapTolerance(l_.iso, vb)) {
      t = 1.0;
    } else if (withinSnapTolerance(va, vb)) {
      t = 0.0;
    } else {
      t = (l_.iso - va) / (vb - va);
    }
    double ga[3], gb[3], g[3], world[3] = {0, 0, 0};
    gradient(pa, ga);
    gradient(pb, gb);
    for (int axis = 0; axis < 3; ++axis) g[axis] = ga[axis] + (gb[axis] - ga[axis]) * t;
    for (int d = 0; d < 3; ++d) {
      for (int axis = 0; axis < 3; ++axis) world[d] -= l_.inverseTranspose[d][axis] * g[axis];
    }
    double length = std::sqrt(world[0] * world[0] + world[1] * world[1] + world[2] * world[2]);
    if (!(length > 0.0) || !std::isfinite(length)) {
      // Toward the lower end of the edge.
      const double sign = va < vb ? -1.0 : 1.0;
      world[0] = sign * (static_cast<double>(wb.x) - wa.x);
      world[1] = sign * (static_cast<double>(wb.y) - wa.y);
      world[2] = sign * (static_cast<double>(wb.z) - wa.z);
      length = std::sqrt(world[0] * world[0] + world[1] * world[1] + world[2] * world[2]);
      if (!(length > 0.0)) return {0.0f, 0.0f, 0.0f};
    }
    return {static_cast<float>(world[0] / length), static_cast<float>(world[1] / length),
            static_cast<float>(world[2] / length)};
  }

  EdgeKey edgeKey(int e, std::int64_t i, std::int64_t j, std::int64_t k) const {
    const int* a = CornerSide[EdgeCorners[e][0]];
    const int* b = CornerSide[EdgeCorners[e][1]];
    const int axis = a[0] != b[0] ? 0 : a[1] != b[1] ? 1 : 2;
    const auto low = [&](int d) { return std::min(a[d], b[d]); };
    const auto index = static_cast<EdgeKey>(((k + low(2)) * y_ + (j + low(1))) * x_ + (i + low(0)));
    return index * 3 + static_cast<EdgeKey>(axis);
  }

  const Lattice& l_;
  std::int64_t x_, y_, sliceSize_;
  SliceWindow window_{};
  // Per slice parity: per voxel, 1 where below the iso level; per row, the
  // first and last change along it and whether a value is not finite.
  std::vector<std::uint8_t> below_[2];
  std::vector<std::int64_t> firstChange_[2];
  std::vector<std::int64_t> lastChange_[2];
  std::vector<std::uint8_t> nonFinite_[2];
  std::vector<std::uint8_t> cases_;
  std::vector<EdgeVertex> vertices_;
  EdgeVertex* rowSlots_[12];              // per edge of a cell: its family's slots for this row
  const double* cornerValues_[4];         // per corner row (dj + 2 dk): its voxels' values
  const float* cornerCoordinates_[4][3];  // per corner row and coordinate (separable lattices)
  // Aligned lattices: x per i; per corner row, its y and z.
  const float* alignedX_;
  float alignedRows_[4][2];

  std::int64_t rowStamps_[12];
};

void merge(VolumeFindings& into, const VolumeFindings& part) {
  into.nonFiniteVoxels += part.nonFiniteVoxels;
  into.least = std::min(into.least, part.least);
  into.most = std::max(into.most, part.most);
  into.snappedEdges += part.snappedEdges;
  into.levelOnVoxels += part.levelOnVoxels;
}

void clear(ExtractedSurface& surface) {
  surface.triangles.clear();
  surface.edges.clear();
  surface.normals.clear();
}

// Appends a part and empties it, keeping its capacity for the next use.
void append(ExtractedSurface& into, ExtractedSurface& part) {
  into.triangles.insert(into.triangles.end(), part.triangles.begin(), part.triangles.end());
  into.edges.insert(into.edges.end(), part.edges.begin(), part.edges.end());
  into.normals.insert(into.normals.end(), part.normals.begin(), part.normals.end());
  clear(part);
}

// Runs layers [first, last) on `threads` threads, chunk by chunk, and
// appends the chunks' triangles to `surface` in order.
void sweepLayers(const Lattice& lattice, const SliceWindow& window, std::int64_t first,
                 std::int64_t last, int threads, std::vector<LayerSweep>& sweeps,
                 std::vector<ExtractedSurface>& parts, ExtractedSurface& surface,
                 VolumeFindings& findings) {
  const std::int64_t layers = last - first;
  if (threads == 1 || layers < 2) {
    sweeps[0].run(window, first, last, surface, findings);
    return;
  }
  // Several chunks per thread even out the uneven work of layers.
  const std::int64_t chunks = std::min<std::int64_t>(layers, 4 * threads);
  if (parts.size() < static_cast<std::size_t>(chunks)) {
    parts.resize(static_cast<std::size_t>(chunks));
  }
  std::vector<VolumeFindings> partFindings(static_cast<std::size_t>(chunks));
  std::atomic<std::int64_t> next{0};
  const auto work = [&](LayerSweep& sweep) {
    for (std::int64_t c; (c = next++) < chunks;) {
      const std::int64_t from = first + layers * c / chunks;
      const std::int64_t to = first + layers * (c + 1) / chunks;
      sweep.run(window, from, to, parts[static_cast<std::size_t>(c)],
                partFindings[static_cast<std::size_t>(c)]);
    }
  };
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t)
    workers.emplace_back(work, std::ref(sweeps[static_cast<std::size_t>(t)]));
  work(sweeps[0]);
  for (std::thread& worker : workers) worker.join();
  std::size_t total = surface.triangles.size();
  for (const ExtractedSurface& part : parts) total += part.triangles.size();
  makeRoom(surface.triangles, total);
  if (lattice.edgeKeys) makeRoom(surface.edges, total);
  if (lattice.normals) makeRoom(surface.normals, total);
  for (std::size_t c = 0; c < static_cast<std::size_t>(chunks); ++c) {
    append(surface, parts[c]);
    merge(findings, partFindings[c]);
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

std::vector<LayerSweep> sweepsFor(const Lattice& lattice, int threads) {
  std::vector<LayerSweep> sweeps;
  sweeps.reserve(static_cast<std::size_t>(threads));
  for (int t = 0; t < threads; ++t) sweeps.emplace_back(lattice);
  return sweeps;
}

std::int64_t cellCount(const std::int64_t (&dims)[3]) {
  return (dims[0] - 1) * (dims[1] - 1) * (dims[2] - 1);
}

}  // namespace

void extractVolumeInto(const VolumeGeometry& geometry, const double* values,
                       const VolumeExtractionSettings& settings, ExtractedSurface& surface,
                       VolumeFindings& findings, const LayerProgress& progress,
                       VolumeScratch* scratch) {
  checkSettings(geometry, settings);
  clear(surface);
  VolumeScratch own;
  std::vector<ExtractedSurface>& parts = (scratch ? *scratch : own).parts;
  findings = {};
  findings.cells = cellCount(geometry.dims);
  if (findings.cells == 0) return;
  const Lattice l = lattice(geometry, settings);
  const std::int64_t layers = l.dims[2] - 1;
  const int threads = static_cast<int>(std::min<std::int64_t>(settings.threads, layers));
  std::vector<LayerSweep> sweeps = sweepsFor(l, threads);
  // Progress wants steps; otherwise all layers go to the threads at once.
  const std::int64_t step = progress ? std::max<std::int64_t>(1, layers / 100) : layers;
  for (std::int64_t first = 0; first < layers; first += step) {
    const std::int64_t last = std::min(layers, first + step);
    sweepLayers(l, {values, 0}, first, last, threads, sweeps, parts, surface, findings);
    if (progress) progress(last, layers);
  }
}

ExtractedSurface extractVolume(VolumeReader& reader, const VolumeExtractionSettings& settings,
                               VolumeFindings& findings, const LayerProgress& progress,
                               VolumeBoundary* boundary) {
  const VolumeGeometry& geometry = reader.header().geometry;
  checkSettings(geometry, settings);
  ExtractedSurface surface;
  findings = {};
  findings.cells = cellCount(geometry.dims);
  if (findings.cells == 0) return surface;
  const Lattice l = lattice(geometry, settings);
  const std::int64_t layers = l.dims[2] - 1;
  const std::int64_t sliceSize = l.dims[0] * l.dims[1];
  // Slabs of layers, as many as the slice memory holds. Normals need one
  // slice more on each side.
  const std::int64_t margin = settings.normals ? 1 : 0;
  const std::int64_t budget =
      settings.sliceMemory / static_cast<std::int64_t>(sizeof(double)) / sliceSize;
  const std::int64_t slab = std::clamp<std::int64_t>(budget - 1 - 2 * margin, 1, layers);
  const int threads = static_cast<int>(std::min<std::int64_t>(settings.threads, slab));
  std::vector<LayerSweep> sweeps = sweepsFor(l, threads);
  std::vector<double> buffer(static_cast<std::size_t>((slab + 1 + 2 * margin) * sliceSize));
  std::vector<ExtractedSurface> parts;
  std::int64_t firstHeld = 0, nextToRead = 0;
  for (std::int64_t first = 0; first < layers; first += slab) {
    const std::int64_t last = std::min(layers, first + slab);
    // Keep the slices still needed, then read up to the last one needed.
    const std::int64_t keepFrom = std::max<std::int64_t>(0, first - margin);
    if (keepFrom > firstHeld) {
      std::memmove(buffer.data(), buffer.data() + (keepFrom - firstHeld) * sliceSize,
                   static_cast<std::size_t>((nextToRead - keepFrom) * sliceSize) * sizeof(double));
      firstHeld = keepFrom;
    }
    const std::int64_t needed = std::min(l.dims[2], last + 1 + margin);
    if (needed > nextToRead) {
      reader.readSlices(needed - nextToRead, buffer.data() + (nextToRead - firstHeld) * sliceSize);
      for (std::int64_t k = nextToRead; boundary && k < needed; ++k) {
        boundary->record(k, buffer.data() + (k - firstHeld) * sliceSize);
      }
      nextToRead = needed;
    }
    sweepLayers(l, {buffer.data(), firstHeld}, first, last, threads, sweeps, parts, surface,
                findings);
    if (progress) progress(last, layers);
  }
  return surface;
}
