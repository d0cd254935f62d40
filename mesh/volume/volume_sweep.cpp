#include "mesh/volume/volume_sweep.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "mesh/surface/cell_rules.h"
#include "mesh/surface/edge_numbers.h"
#include "mesh/volume/edge_places.h"
#include "mesh/volume/edge_vertex.h"
#include "mesh/volume/row_changes.h"
#include "mesh/volume/volume_normals.h"

namespace mcubes::internal {

namespace {

// How lattice points' positions are found: from the coordinates along each
// index axis (aligned lattices, Lattice::aligned, in world order as they are
// or permuted), or in general from the sums (separable or not).
enum class Layout { General, Aligned, Permuted };

typedef std::uint8_t Bytes __attribute__((vector_size(16)));

Bytes loadBytes(const std::uint8_t* from) {
  Bytes b;
  std::memcpy(&b, from, sizeof b);
  return b;
}

// A lattice point's gradient, kept for the crossed edges that share it.
struct PointGradient {
  double g[3];
  std::int64_t stamp = 0;  // which lattice row it was computed for; 0: none
};

}  // namespace

// One thread's sweep over layers of cells: the side of the iso level of the
// voxels of two slices, and the vertices of the lattice rows in reach; its
// slices' values held as Value (doubles, or narrower where exact).
template <typename Value>
class LayerSweep::Sweep {
 public:
  explicit Sweep(const Lattice& lattice)
      : l_(lattice),
        classifyRow_(rowClassifier<Value>(lattice.vectorUnit, lattice.negated)),
        x_(lattice.dims[0]),
        y_(lattice.dims[1]),
        sliceSize_(x_ * y_),
        cases_(static_cast<std::size_t>(x_) + 32),
        vertices_(static_cast<std::size_t>(Families * 2 * (x_ + 1))),
        alignedX_(lattice.aligned ? lattice.coordinates[lattice.indexCoordinate[0]].data()
                                  : nullptr) {
    for (int s = 0; s < 2; ++s) {
      // Room past the last row for the case loop's sixteen-wide reads.
      assignGrown(below_[s], static_cast<std::size_t>(sliceSize_ + 32), std::uint8_t{0});
      nonFinite_[s].resize(static_cast<std::size_t>(y_));
    }
    if (lattice.normals) assignGrown(gradients_, static_cast<std::size_t>(4 * x_), PointGradient{});
    if (lattice.weld)
      numbers_ =
          std::make_unique<EdgeNumbers>(static_cast<std::size_t>(x_), static_cast<std::size_t>(y_));
  }

  void run(const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
           ExtractedSurface* soup, WeldedPart* part, VolumeFindings& findings,
           bool continued = false) {
    window_ = window;
    last_ = last;
    soup_ = soup;
    part_ = part;
    findings_ = &findings;
    if (continued) {
      // The vertices, gradients and numbers kept are the run before's, of
      // the same values; its last plane is inside the part now.
      part_->lastPlane.clear();
    } else {
      first_ = first;
      // The vertices kept are another run's, perhaps of other values at the
      // same rows (a label map's labels).
      for (EdgeVertex& v : vertices_) v.stamp = 0;
      for (PointGradient& g : gradients_) g.stamp = 0;
      if (part_) numbers_->forgetAll();
    }
    classify(first, last, findings);
    for (std::int64_t k = first; k < last; ++k) {
      classify(k + 1, last, findings);
      if (part_) {
        // Slice k + 1's edges take the place of slice k - 1's.
        numbers_->forget(static_cast<int>((k + 1) & 1));
        numbers_->forget(EdgeNumbers::Across);
      }
      layer(k);
    }
  }

 private:
  const Value* slice(std::int64_t k) const { return window_.slice(k); }

  // Which side of the iso level each voxel of slice k is on (values that
  // are not finite below, as latticeValue takes them); per row, the first
  // and last voxel where that changes along the row, and whether a value is
  // not finite; the finite values' range into `findings`.
  void classify(std::int64_t k, std::int64_t last, VolumeFindings& findings) {
    const bool counted = k < last || k == l_.dims[2] - 1;
    const int s = static_cast<int>(k & 1);
    const Value* values = slice(k);
    for (std::int64_t j = 0; j < y_; ++j) {
      const Value* row = values + j * x_;
      std::uint8_t* below = below_[s].data() + j * x_;
      const RowClasses classes = classifyRow_(row, x_, l_.iso, below);
      double rowLeast = classes.least, rowMost = classes.most;
      const bool nonFinite = classes.nonFinite;
      if (nonFinite) {
        // Rare: NaN and +infinity turned below, the range and the count
        // from the finite values alone.
        rowLeast = HUGE_VAL;
        rowMost = -HUGE_VAL;
        std::int64_t count = 0;
        for (std::int64_t i = 0; i < x_; ++i) {
          const double v = row[i];
          if (std::isfinite(v)) {
            rowLeast = std::min(rowLeast, v);
            rowMost = std::max(rowMost, v);
          } else {
            below[i] = 1;
            ++count;
          }
        }
        if (counted) findings.nonFiniteVoxels += count;
      }
      const auto ju = static_cast<std::size_t>(j);
      nonFinite_[s][ju] = nonFinite;
      changes_.set(s, j, firstChange(below), lastChange(below));
      if (!counted) continue;
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

  void layer(std::int64_t k) {
    const int s0 = static_cast<int>(k & 1), s1 = 1 - s0;
    const std::int64_t cells = x_ - 1;
    for (std::int64_t j = 0; j + 1 < y_; ++j) {
      const auto ju = static_cast<std::size_t>(j);
      const std::uint8_t* r0 = below_[s0].data() + j * x_;
      const std::uint8_t* r1 = below_[s1].data() + j * x_;
      const std::uint8_t* r2 = r0 + x_;
      const std::uint8_t* r3 = r1 + x_;
      const auto [from, to] = changes_.mixedCells(s0, s1, j, {r0, r1, r2, r3}, cells);
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
      if (l_.normals) {
        // The gradients of the four rows of lattice points the row's cells
        // span, by slice and row parity: rows of the layer's two slices
        // shared by neighbouring rows of cells are computed once.
        for (int r = 0; r < 4; ++r) {
          const std::int64_t row = j + (r & 1), at = k + (r >> 1);
          gradientRows_[r] = gradients_.data() + ((at & 1) * 2 + (row & 1)) * x_;
          gradientStamps_[r] = at * (y_ + 1) + row + 1;
        }
      }
      if (part_) {
        numbers_->reach(j);
        numbers_->reach(j + 1);
        // Where each edge of the row's cells finds its vertex number, by i.
        for (int e = 0; e < 12; ++e) {
          const int axis = EdgeEnds.axis[e];
          const int* low = EdgeEnds.low[e];
          const int list = axis == 2 ? EdgeNumbers::Across : static_cast<int>((k + low[2]) & 1);
          rowNumbers_[e] = numbers_->numbers(list, axis) + (j + low[1]) * x_ + low[0];
        }
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
      // Rows with values that are not finite take them as latticeValue does.
      const bool checkFinite = nonFinite_[s0][ju] || nonFinite_[s0][ju + 1] || nonFinite_[s1][ju] ||
                               nonFinite_[s1][ju + 1];
      // Room for the most triangles the row's cells can make: the vector is
      // not grown in the middle of a row.
      const auto most = static_cast<std::size_t>(MaxCellTriangles * (to - from));
      if (soup_) {
        makeRoom(soup_->triangles, soup_->triangles.size() + most);
      } else {
        makeRoom(part_->mesh.faces, part_->mesh.faces.size() + most);
      }
      if (l_.aligned) {
        for (int r = 0; r < 4; ++r) {
          alignedRows_[r][0] =
              l_.coordinates[l_.indexCoordinate[1]][static_cast<std::size_t>(j + (r & 1))];
          alignedRows_[r][1] =
              l_.coordinates[l_.indexCoordinate[2]][static_cast<std::size_t>(k + (r >> 1))];
        }
        if (l_.permuted) {
          layerRow<Layout::Permuted>(from, to, j, k, checkFinite);
        } else {
          layerRow<Layout::Aligned>(from, to, j, k, checkFinite);
        }
      } else {
        layerRow<Layout::General>(from, to, j, k, checkFinite);
      }
    }
  }

  template <Layout Kind>
  void layerRow(std::int64_t from, std::int64_t to, std::int64_t j, std::int64_t k,
                bool checkFinite) {
    if (part_) {
      crossedCells<Kind, true>(from, to, j, k, checkFinite, soup_, *findings_);
    } else {
      crossedCells<Kind, false>(from, to, j, k, checkFinite, soup_, *findings_);
    }
  }

  // The cells from..to of row j of layer k with their cases in cases_.
  template <Layout Kind, bool Weld>
  __attribute__((always_inline)) void crossedCells(std::int64_t from, std::int64_t to,
                                                   std::int64_t j, std::int64_t k, bool checkFinite,
                                                   ExtractedSurface* out,
                                                   VolumeFindings& findings) {
    const std::uint8_t* cases = cases_.data();
    // Eight cells at a time where none is crossed (all 0 or all 255).
    for (std::int64_t i = from; i < to; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, cases + i, sizeof word);
      if (word == 0 || word == ~std::uint64_t{0}) continue;
      for (std::int64_t c = i; c < i + 8 && c < to; ++c) {
        if (cases[c] != 0 && cases[c] != 255) {
          cell<Kind, Weld>(c, j, k, cases[c], checkFinite, out, findings);
        }
      }
    }
  }

  // The world position of lattice point (i, j, k), which lies in corner row
  // r of the current row of cells.
  template <bool Aligned>
  Point3 cornerPosition(int r, std::int64_t i, std::int64_t j, std::int64_t k) const {
    if (Aligned) return inWorldOrder({alignedX_[i], alignedRows_[r][0], alignedRows_[r][1]});
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

  // Inlined into the row loop, as the bulk of the work.
  template <Layout Kind, bool Weld>
  __attribute__((always_inline)) void cell(std::int64_t i, std::int64_t j, std::int64_t k,
                                           int caseIndex, bool checkFinite, ExtractedSurface* soup,
                                           VolumeFindings& findings) {
    const EdgeVertex* at[12];
    for (auto mask = static_cast<std::uint32_t>(iso::CaseEdgeMasks[caseIndex]); mask != 0;
         mask &= mask - 1) {
      const int e = __builtin_ctz(mask);
      EdgeVertex& v = rowSlots_[e][i];
      if (v.stamp != rowStamps_[e]) {
        v.stamp = rowStamps_[e];
        if (Weld && rowNumbers_[e][i] != EdgeNumbers::Empty) {
          // Numbered by the layer before, which made its vertex: only what
          // making it again would count.
          const EdgeEnd& ea = EdgeEnds[e][0];
          const EdgeEnd& eb = EdgeEnds[e][1];
          countLevelOnVoxel(l_.iso, swept(cornerValues_[ea.row][i + ea.column]),
                            swept(cornerValues_[eb.row][i + eb.column]), findings);
        } else {
          computeVertex<Kind>(e, i, j, k, checkFinite, v, findings);
        }
      }
      at[e] = &v;
    }
    const std::int32_t* row = iso::CaseTriangles[caseIndex];
    if (Weld) {
      weldTriangles(row, i, j, k, at);
      return;
    }
    ExtractedSurface& out = *soup;
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

  // `checkFinite`: the ends' values may be not finite.
  template <Layout Kind>
  __attribute__((always_inline)) void computeVertex(int e, std::int64_t i, std::int64_t j,
                                                    std::int64_t k, bool checkFinite, EdgeVertex& v,
                                                    VolumeFindings& findings) {
    const int* a = iso::CornerSide[iso::EdgeCorners[e][0]];
    const int* b = iso::CornerSide[iso::EdgeCorners[e][1]];
    constexpr bool Aligned = Kind != Layout::General;
    double va, vb;
    Point3 wa, wb;
    if (Aligned) {
      const EdgeEnd& ea = EdgeEnds[e][0];
      const EdgeEnd& eb = EdgeEnds[e][1];
      va = swept(cornerValues_[ea.row][i + ea.column]);
      vb = swept(cornerValues_[eb.row][i + eb.column]);
      if (checkFinite) {
        va = latticeValue(va);
        vb = latticeValue(vb);
      }
      wa = {alignedX_[i + ea.column], alignedRows_[ea.row][0], alignedRows_[ea.row][1]};
      wb = {alignedX_[i + eb.column], alignedRows_[eb.row][0], alignedRows_[eb.row][1]};
      v.position = alignedEdgeVertex(l_.iso, EdgeEnds.axis[e], wa, wb, va, vb, findings);
      if (Kind == Layout::Permuted) {
        wa = inWorldOrder(wa);
        wb = inWorldOrder(wb);
        v.position = inWorldOrder(v.position);
      }
    } else {
      const int ra = a[1] + 2 * a[2], rb = b[1] + 2 * b[2];
      va = swept(cornerValues_[ra][i + a[0]]);
      vb = swept(cornerValues_[rb][i + b[0]]);
      if (checkFinite) {
        va = latticeValue(va);
        vb = latticeValue(vb);
      }
      wa = cornerPosition<Aligned>(ra, i + a[0], j + a[1], k + a[2]);
      wb = cornerPosition<Aligned>(rb, i + b[0], j + b[1], k + b[2]);
      v.position = iso::interpolateVolumeEdgeVertex(l_.iso, wa, wb, va, vb);
      countLevelOnVoxel(l_.iso, va, vb, findings);
    }
    if (l_.normals) {
      // Only the finite end's gradient where the other end is not finite.
      static constexpr double None[3] = {0, 0, 0};
      const EdgeEnd& ea = EdgeEnds[e][0];
      const EdgeEnd& eb = EdgeEnds[e][1];
      const double(&ga)[3] = std::isfinite(va) ? gradientAt(ea.row, i + ea.column, j, k) : None;
      const double(&gb)[3] = std::isfinite(vb) ? gradientAt(eb.row, i + eb.column, j, k) : None;
      v.normal = edgeNormal(l_, ga, gb, va, vb, vertexFraction(va, vb), wa, wb);
    }
  }

  // How far along the edge from the end of value va its vertex lies, as
  // the interpolation puts it (the nudge off an end it rounds onto is below
  // a normal's precision); for finite ends. Inlined beside the
  // interpolation, the quotient is computed once for both.
  double vertexFraction(double va, double vb) const {
    return l_.iso == va   ? 0.0
           : l_.iso == vb ? 1.0
           : va == vb     ? 0.0
                          : iso::iso_internal::edgeFraction(l_.iso, va, vb);
  }

  // The gradient at lattice point i of corner row r of row j of layer k's
  // cells, computed on first use.
  __attribute__((always_inline))
  const double (&gradientAt(int r, std::int64_t i, std::int64_t j, std::int64_t k))[3] {
    PointGradient& kept = gradientRows_[r][i];
    if (kept.stamp != gradientStamps_[r]) {
      kept.stamp = gradientStamps_[r];
      const std::int64_t p[3] = {i, j + (r & 1), k + (r >> 1)};
      pointGradient(l_, window_, p, kept.g);
    }
    return kept.g;
  }

  // A point of an aligned lattice with its coordinates in index order (x
  // along i, y along j, z along k), in world order.
  Point3 inWorldOrder(const Point3& p) const {
    // Chosen, not indexed: an array on the stack, written and read back at
    // once, waits for its stores.
    const auto along = [&](int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; };
    return {along(l_.coordinateAxis[0]), along(l_.coordinateAxis[1]), along(l_.coordinateAxis[2])};
  }

  // A voxel's value as the sweep takes it: negated where the inside lies
  // below the level (the level is then negated too), before latticeValue.
  double swept(double v) const { return l_.negated ? -v : v; }

  // Faces of the cell's triangles, outward, with the vertex numbers of
  // their edges, numbered on first use. Kept out of line: the soup's cell
  // loop stays small enough to be inlined.
  __attribute__((noinline)) void weldTriangles(const std::int32_t* row, std::int64_t i,
                                               std::int64_t j, std::int64_t k,
                                               const EdgeVertex* const (&at)[12]) {
    for (int t = 0; row[t] != -1; t += 3) {
      const int outward[3] = {row[t], row[t + 2], row[t + 1]};
      std::array<std::uint32_t, 3> face;
      for (int v = 0; v < 3; ++v) {
        const int e = outward[v];
        const std::uint32_t held = rowNumbers_[e][i];
        face[v] = held != EdgeNumbers::Empty ? EdgeNumbers::numberIn(held)
                                             : numberVertex(e, i, j, k, *at[e]);
      }
      part_->mesh.faces.push_back(face);
    }
  }

  // The number of the vertex of edge e of cell (i, j, k), met for the first
  // time: the next of the part's, with what the part keeps of it. Out of
  // line: most of a face's vertices are met again, and looked up.
  __attribute__((noinline)) std::uint32_t numberVertex(int e, std::int64_t i, std::int64_t j,
                                                       std::int64_t k, const EdgeVertex& vertex) {
    std::uint32_t& held = rowNumbers_[e][i];
    const int axis = EdgeEnds.axis[e];
    const int* low = EdgeEnds.low[e];
    const std::int64_t at[3] = {i + low[0], j + low[1], k + low[2]};
    const std::int64_t place = at[1] * x_ + at[0];
    const int list = axis == 2 ? EdgeNumbers::Across : static_cast<int>(at[2] & 1);
    IndexedMesh& mesh = part_->mesh;
    const auto index = static_cast<std::uint32_t>(mesh.vertices.size());
    held = EdgeNumbers::held(index);
    numbers_->set(list, axis, place);
    emplaceGrown(mesh.vertices, vertex.position);
    if (l_.normals) emplaceGrown(mesh.normals, vertex.normal);
    if (axis != 2 && at[2] == first_) emplaceGrown(part_->firstPlane, 2 * place + axis, index);
    if (axis != 2 && at[2] == last_) emplaceGrown(part_->lastPlane, 2 * place + axis, index);
    const auto outer = [&](int d) { return at[d] == 0 || at[d] == l_.dims[d] - 1; };
    if (outer((axis + 1) % 3) || outer((axis + 2) % 3)) {
      emplaceGrown(part_->faceEdges, edgeKey(e, i, j, k), index);
    }
    // On lattices of distinct points a vertex meets another
    // only on the lattice point it was snapped to.
    for (int end = 0; l_.distinctPoints && end < 2; ++end) {
      const int* side = iso::CornerSide[iso::EdgeCorners[e][end]];
      const std::int64_t p[3] = {i + side[0], j + side[1], k + side[2]};
      // Compared by their bits, one coordinate at a time (a point built on
      // the stack and compared whole waits for its stores).
      const auto same = [&](int d, float coordinate) {
        const float on = l_.coordinates[d][static_cast<std::size_t>(p[l_.coordinateAxis[d]])];
        std::uint32_t a, b;
        std::memcpy(&a, &on, sizeof a);
        std::memcpy(&b, &coordinate, sizeof b);
        return a == b;
      };
      if (same(0, vertex.position.x) && same(1, vertex.position.y) && same(2, vertex.position.z)) {
        emplaceGrown(part_->onPoints, (p[2] * y_ + p[1]) * x_ + p[0], index);
        break;
      }
    }
    return index;
  }

  EdgeKey edgeKey(int e, std::int64_t i, std::int64_t j, std::int64_t k) const {
    const int* a = iso::CornerSide[iso::EdgeCorners[e][0]];
    const int* b = iso::CornerSide[iso::EdgeCorners[e][1]];
    const int axis = a[0] != b[0] ? 0 : a[1] != b[1] ? 1 : 2;
    const auto low = [&](int d) { return std::min(a[d], b[d]); };
    const auto index = static_cast<EdgeKey>(((k + low(2)) * y_ + (j + low(1))) * x_ + (i + low(0)));
    return index * 3 + static_cast<EdgeKey>(axis);
  }

  const Lattice& l_;
  const RowClassifier<Value> classifyRow_;
  std::int64_t x_, y_, sliceSize_;
  SliceWindowOf<Value> window_{};
  // Per slice parity: per voxel, 1 where below the iso level; per row, the
  // first and last change along it and whether a value is not finite.
  std::vector<std::uint8_t> below_[2];
  RowChanges changes_{y_};
  std::vector<std::uint8_t> nonFinite_[2];
  std::vector<std::uint8_t> cases_;
  std::vector<EdgeVertex> vertices_;
  EdgeVertex* rowSlots_[12];              // per edge of a cell: its family's slots for this row
  const Value* cornerValues_[4];          // per corner row (dj + 2 dk): its voxels' values
  const float* cornerCoordinates_[4][3];  // per corner row and coordinate (separable lattices)
  // Aligned lattices, in index order: the coordinate along i per i; per
  // corner row, those along j and k.
  const float* alignedX_;
  float alignedRows_[4][2];

  std::int64_t rowStamps_[12];
  // Normals: per slice and row parity, a row of lattice points' gradients;
  // per corner row of the current row of cells, its gradients and stamp.
  std::vector<PointGradient> gradients_;
  PointGradient* gradientRows_[4];
  std::int64_t gradientStamps_[4];

  // The run: its part's first layer and its own last, where its output
  // goes.
  std::int64_t first_ = 0, last_ = 0;
  ExtractedSurface* soup_ = nullptr;
  WeldedPart* part_ = nullptr;
  VolumeFindings* findings_ = nullptr;
  // Welding: the vertex numbers of the i- and j-edges of the two slices in
  // reach and of the layer's k-edges, by place j * X + i.
  std::unique_ptr<EdgeNumbers> numbers_;
  std::uint32_t* rowNumbers_[12];  // per edge of a cell: its numbers for this row, by i
};

LayerSweep::LayerSweep(const Lattice& lattice) : lattice_(&lattice) {}
LayerSweep::LayerSweep(LayerSweep&&) noexcept = default;
LayerSweep::~LayerSweep() = default;

template <typename Value>
LayerSweep::Sweep<Value>& LayerSweep::sweep() {
  auto& sweep = std::get<std::unique_ptr<Sweep<Value>>>(sweeps_);
  if (!sweep) sweep = std::make_unique<Sweep<Value>>(*lattice_);
  return *sweep;
}

template <typename Value>
void LayerSweep::run(const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
                     ExtractedSurface& out, VolumeFindings& findings) {
  sweep<Value>().run(window, first, last, &out, nullptr, findings);
}

template <typename Value>
void LayerSweep::run(const SliceWindowOf<Value>& window, std::int64_t first, std::int64_t last,
                     WeldedPart& out, VolumeFindings& findings, bool continued) {
  if (!continued) out.clear();
  sweep<Value>().run(window, first, last, nullptr, &out, findings, continued);
}

template void LayerSweep::run(const SliceWindowOf<double>&, std::int64_t, std::int64_t,
                              ExtractedSurface&, VolumeFindings&);
template void LayerSweep::run(const SliceWindowOf<double>&, std::int64_t, std::int64_t, WeldedPart&,
                              VolumeFindings&, bool);
template void LayerSweep::run(const SliceWindowOf<float>&, std::int64_t, std::int64_t,
                              ExtractedSurface&, VolumeFindings&);
template void LayerSweep::run(const SliceWindowOf<float>&, std::int64_t, std::int64_t, WeldedPart&,
                              VolumeFindings&, bool);
template void LayerSweep::run(const SliceWindowOf<std::uint8_t>&, std::int64_t, std::int64_t,
                              ExtractedSurface&, VolumeFindings&);
template void LayerSweep::run(const SliceWindowOf<std::uint8_t>&, std::int64_t, std::int64_t,
                              WeldedPart&, VolumeFindings&, bool);

}  // namespace mcubes::internal
