#include "mesh/labels/label_sweep.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "mesh/surface/edge_numbers.h"
#include "mesh/volume/edge_places.h"
#include "mesh/volume/edge_vertex.h"
#include "mesh/volume/row_changes.h"
#include "mesh/volume/volume_extract.h"

namespace mcubes::internal {

namespace {

// A voxel's label, as the sweep numbers them: its place in the run's list,
// or Background.
using Slot = std::int32_t;
constexpr Slot Background = -1;

// Values below this find their slot through a table, others through a map.
constexpr std::int64_t SmallValues = 1 << 16;

// Per edge of a cell, which of its ends (in the polygoniser's order) is the
// lattice edge's lower one.
struct LowerEnds {
  int end[12];
  constexpr LowerEnds() : end() {
    for (int e = 0; e < 12; ++e) {
      const int* a = iso::CornerSide[iso::EdgeCorners[e][0]];
      const int* b = iso::CornerSide[iso::EdgeCorners[e][1]];
      end[e] = a[0] + a[1] + a[2] < b[0] + b[1] + b[2] ? 0 : 1;
    }
  }
};
constexpr LowerEnds LowerEnd;

// The vertex numbers of the lattice edges a sweep can reach, as
// EdgeNumbers (mesh/surface/edge_numbers.h) keeps them (though as they
// are, None where unset), but two per edge,
// the label at its lower end's and at its upper end's, beside the other
// axis's of the same place: a cell's edges share cache lines.
class PairedNumbers {
 public:
  static constexpr std::uint32_t None = 0xffffffffu;
  static constexpr int Across = EdgeNumbers::Across;

  explicit PairedNumbers(std::size_t planeSize)
      : lists_{std::vector<std::uint32_t>(4 * planeSize, None),
               std::vector<std::uint32_t>(4 * planeSize, None),
               std::vector<std::uint32_t>(2 * planeSize, None)} {}

  // Numbers of one place after another are `stride(list)` apart.
  static std::int64_t stride(int list) { return list == Across ? 2 : 4; }

  // The number of the edge of a list along a plane's `axis` (unused across)
  // at `place`, of the label at its `end` (0 lower, 1 upper).
  std::uint32_t* at(int list, int axis, int end, std::int64_t place) {
    const std::int64_t offset = list == Across ? end : 2 * axis + end;
    return lists_[list].data() + stride(list) * place + offset;
  }

  // Says that `number`, one of list's, has been set.
  void set(int list, const std::uint32_t* number) {
    touched_[list].push_back(number - lists_[list].data());
  }

  // Lets the numbers set in one list go.
  void forget(int list) {
    for (const std::int64_t entry : touched_[list]) {
      lists_[list][static_cast<std::size_t>(entry)] = None;
    }
    touched_[list].clear();
  }

  void forgetAll() {
    for (int list = 0; list < 3; ++list) forget(list);
  }

 private:
  std::vector<std::uint32_t> lists_[3];
  std::vector<std::int64_t> touched_[3];
};

// A vertex kept for the cells of a row that share its edge.
struct KeptVertex {
  Point3 position;
  std::int64_t stamp = 0;  // which lattice row it was computed for; 0: none
};

}  // namespace

// One thread's sweep. The vertex of a lattice edge between two values is
// kept per end: the label of that end owns it, so each kept vertex and
// vertex number belongs to one label, as in that label's own sweep.
class LabelSweep::Sweep {
 public:
  explicit Sweep(const Lattice& lattice)
      : l_(lattice),
        x_(lattice.dims[0]),
        y_(lattice.dims[1]),
        sliceSize_(x_ * y_),
        mixed_(static_cast<std::size_t>(x_) + 16),
        small_(SmallValues, Background),
        vertices_(static_cast<std::size_t>(Families * 2 * (x_ + 1))),
        numbers_(static_cast<std::size_t>(sliceSize_)) {
    for (int s = 0; s < 2; ++s) {
      slots_[s].resize(static_cast<std::size_t>(sliceSize_));
    }
  }

  void run(const SliceWindow& window, std::int64_t first, std::int64_t last,
           const std::vector<Label>& labels, bool continued) {
    window_ = window;
    labels_ = &labels;
    for (const std::int64_t value : smallSet_) small_[static_cast<std::size_t>(value)] = Background;
    smallSet_.clear();
    large_.clear();
    for (std::size_t n = 0; n < labels.size(); ++n) {
      const auto value = static_cast<std::int64_t>(labels[n].value);
      if (value >= 0 && value < SmallValues) {
        small_[static_cast<std::size_t>(value)] = static_cast<Slot>(n);
        smallSet_.push_back(value);
      } else {
        large_.emplace(value, static_cast<Slot>(n));
      }
      if (!continued) labels[n].part->clear();
    }
    if (!continued) {
      // The stamps of lattice rows differ along the volume: only a run that
      // does not go on from the last needs them cleared.
      for (auto& ends : vertices_) {
        for (KeptVertex& v : ends) v.stamp = 0;
      }
      numbers_.forgetAll();
    }
    assign(first);
    for (std::int64_t k = first; k < last; ++k) {
      assign(k + 1);
      // Slice k + 1's edges take the place of slice k - 1's.
      numbers_.forget(static_cast<int>((k + 1) & 1));
      numbers_.forget(PairedNumbers::Across);
      layer(k);
    }
  }

 private:
  Slot slotOf(double value) const {
    const auto v = static_cast<std::int64_t>(value);
    if (v >= 0 && v < SmallValues) return small_[static_cast<std::size_t>(v)];
    const auto found = large_.find(v);
    return found == large_.end() ? Background : found->second;
  }

  // Slice k's slots, and per row the first and last voxel whose slot
  // differs from the row's first and last one's.
  void assign(std::int64_t k) {
    const int s = static_cast<int>(k & 1);
    const double* values = window_.slice(k);
    Slot* slots = slots_[s].data();
    // Values come in runs: a run is looked up once. The row's first change
    // ends its first run of one slot, its last starts the last run.
    double previous = values[0];
    Slot slot = slotOf(previous);
    for (std::int64_t j = 0; j < y_; ++j) {
      const double* row = values + j * x_;
      Slot* rowSlots = slots + j * x_;
      std::int64_t first = x_, lastRun = 0;
      const Slot start = slot = row[0] == previous ? slot : slotOf(row[0]);
      previous = row[0];
      for (std::int64_t i = 0; i < x_; ++i) {
        if (row[i] != previous) {
          previous = row[i];
          const Slot next = slotOf(previous);
          if (next != slot) {
            if (first == x_ && next != start) first = i;
            lastRun = i;
            slot = next;
          }
        }
        rowSlots[i] = slot;
      }
      changes_.set(s, j, first, lastRun - 1);
    }
  }

  void layer(std::int64_t k) {
    const int s0 = static_cast<int>(k & 1), s1 = 1 - s0;
    const std::int64_t cells = x_ - 1;
    for (std::int64_t j = 0; j + 1 < y_; ++j) {
      // Corner rows dj + 2 dk.
      const Slot* r0 = slots_[s0].data() + j * x_;
      const Slot* r1 = r0 + x_;
      const Slot* r2 = slots_[s1].data() + j * x_;
      const Slot* r3 = r2 + x_;
      const auto [from, to] = changes_.mixedCells(s0, s1, j, {r0, r1, r2, r3}, cells);
      if (from >= to) continue;
      // Which cells hold more than one value, in a loop the compiler
      // vectorises.
      std::uint8_t* mixed = mixed_.data();
      for (std::int64_t i = from; i < to; ++i) {
        const Slot a = r0[i];
        mixed[i] = static_cast<std::uint8_t>((r0[i + 1] != a) | (r1[i] != a) | (r1[i + 1] != a) |
                                             (r2[i] != a) | (r2[i + 1] != a) | (r3[i] != a) |
                                             (r3[i + 1] != a));
      }
      std::memset(mixed + to, 0, 8);
      rowCorners_[0] = r0;
      rowCorners_[1] = r1;
      rowCorners_[2] = r2;
      rowCorners_[3] = r3;
      for (int edge = 0; edge < 12; ++edge) {
        const std::int64_t place =
            (EdgeFamily[edge] * 2 + ((j + EdgeRow[edge]) & 1)) * (x_ + 1) + EdgeColumn[edge];
        rowSlots_[edge] = vertices_.data() + place;
        rowStamps_[edge] = k * (y_ + 1) + j + EdgeRow[edge] + 1;
        const int axis = EdgeEnds.axis[edge];
        const int* low = EdgeEnds.low[edge];
        const int list = axis == 2 ? PairedNumbers::Across : static_cast<int>((k + low[2]) & 1);
        for (int end = 0; end < 2; ++end) {
          rowNumbers_[end][edge] = numbers_.at(list, axis, end, (j + low[1]) * x_ + low[0]);
        }
        rowStrides_[edge] = PairedNumbers::stride(list);
      }
      for (std::int64_t i = from; i < to; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, mixed + i, sizeof word);
        if (word == 0) continue;
        for (std::int64_t c = i; c < i + 8 && c < to; ++c) {
          if (mixed[c]) cell(c, j, k);
        }
      }
    }
  }

  // A cell with more than one value: polygonised for each label among them.
  void cell(std::int64_t i, std::int64_t j, std::int64_t k) {
    Slot corner[8];
    for (int c = 0; c < 8; ++c) {
      const int* side = iso::CornerSide[c];
      corner[c] = rowCorners_[side[1] + 2 * side[2]][i + side[0]];
    }
    // The voxels that hold each value, a bit each; the indicator's case of
    // a label is the others. Most crossed cells hold two values.
    int left = 0xff;
    while (left != 0) {
      const Slot slot = corner[__builtin_ctz(static_cast<unsigned>(left))];
      int holding = 0;
      for (int c = 0; c < 8; ++c) holding |= (corner[c] == slot) << c;
      left &= ~holding;
      if (slot != Background) labelCell(slot, 0xff & ~holding, corner, i, j, k);
    }
  }

  void labelCell(Slot slot, int caseIndex, const Slot (&corner)[8], std::int64_t i, std::int64_t j,
                 std::int64_t k) {
    const KeptVertex* at[12];
    int lower[12];  // 0 where the label's end of the edge is the lattice edge's lower
    for (auto mask = static_cast<std::uint32_t>(iso::CaseEdgeMasks[caseIndex]); mask != 0;
         mask &= mask - 1) {
      const int e = __builtin_ctz(mask);
      const int end = corner[iso::EdgeCorners[e][0]] == slot ? 0 : 1;
      KeptVertex& v = rowSlots_[e][i][end];
      if (v.stamp != rowStamps_[e]) {
        v.stamp = rowStamps_[e];
        v.position = vertexOn(e, i, j, k, end == 0 ? 1.0 : 0.0, end == 0 ? 0.0 : 1.0);
      }
      at[e] = &v;
      lower[e] = end == LowerEnd.end[e] ? 0 : 1;
    }
    const Label& label = (*labels_)[static_cast<std::size_t>(slot)];
    IndexedMesh& mesh = label.part->mesh;
    // Room for the cell's most faces and vertices, grown geometrically.
    if (mesh.faces.capacity() - mesh.faces.size() < MaxCellTriangles) {
      makeRoom(mesh.faces, mesh.faces.size() + MaxCellTriangles);
    }
    if (mesh.vertices.capacity() - mesh.vertices.size() < 12) {
      makeRoom(mesh.vertices, mesh.vertices.size() + 12);
    }
    const std::int32_t* row = iso::CaseTriangles[caseIndex];
    for (int t = 0; row[t] != -1; t += 3) {
      const int outward[3] = {row[t], row[t + 2], row[t + 1]};
      std::array<std::uint32_t, 3> face;
      for (int v = 0; v < 3; ++v) {
        const int e = outward[v];
        face[v] = vertexOf(e, i, j, k, lower[e], *at[e], label);
      }
      mesh.faces.push_back(face);
    }
  }

  // The vertex of edge e of cell (i, j, k) of the indicator with values va
  // and vb at its ends, as the volume sweep places it.
  Point3 vertexOn(int e, std::int64_t i, std::int64_t j, std::int64_t k, double va,
                  double vb) const {
    const int* a = iso::CornerSide[iso::EdgeCorners[e][0]];
    const int* b = iso::CornerSide[iso::EdgeCorners[e][1]];
    if (l_.aligned) {
      const float* x = l_.coordinates[0].data();
      const float* y = l_.coordinates[1].data();
      const float* z = l_.coordinates[2].data();
      const Point3 wa{x[i + a[0]], y[j + a[1]], z[k + a[2]]};
      const Point3 wb{x[i + b[0]], y[j + b[1]], z[k + b[2]]};
      VolumeFindings unused;
      return alignedEdgeVertex(l_.iso, EdgeEnds.axis[e], wa, wb, va, vb, unused);
    }
    const Point3 wa = sweptPoint(l_, i + a[0], j + a[1], k + a[2]);
    const Point3 wb = sweptPoint(l_, i + b[0], j + b[1], k + b[2]);
    return iso::interpolateVolumeEdgeVertex(l_.iso, wa, wb, va, vb);
  }

  // The vertex's number in its label's part, numbered on first use, with
  // the part's records of shared and boundary vertices.
  std::uint32_t vertexOf(int e, std::int64_t i, std::int64_t j, std::int64_t k, int lower,
                         const KeptVertex& vertex, const Label& label) {
    std::uint32_t& index = rowNumbers_[lower][e][i * rowStrides_[e]];
    if (index != PairedNumbers::None) return index;
    const int axis = EdgeEnds.axis[e];
    const int* low = EdgeEnds.low[e];
    const std::int64_t at[3] = {i + low[0], j + low[1], k + low[2]};
    const std::int64_t place = at[1] * x_ + at[0];
    const int list = axis == 2 ? PairedNumbers::Across : static_cast<int>(at[2] & 1);
    WeldedPart& part = *label.part;
    index = static_cast<std::uint32_t>(part.mesh.vertices.size());
    numbers_.set(list, &index);
    part.mesh.vertices.push_back(vertex.position);
    if (axis != 2 && at[2] == label.from) part.firstPlane.emplace_back(2 * place + axis, index);
    if (axis != 2 && at[2] == label.to) part.lastPlane.emplace_back(2 * place + axis, index);
    const auto outer = [&](int d) { return at[d] == 0 || at[d] == l_.dims[d] - 1; };
    if (outer((axis + 1) % 3) || outer((axis + 2) % 3)) {
      part.faceEdges.emplace_back(edgeKey(at, axis), index);
    }
    // On lattices of distinct points (aligned ones) a vertex meets another
    // only on the lattice point it was snapped to. Its other coordinates
    // are its edge's, so it lies on an end where the one along the edge is
    // that end's.
    for (int end = 0; l_.distinctPoints && end < 2; ++end) {
      const int* side = iso::CornerSide[iso::EdgeCorners[e][end]];
      const std::int64_t p[3] = {i + side[0], j + side[1], k + side[2]};
      const float along = axis == 0   ? vertex.position.x
                          : axis == 1 ? vertex.position.y
                                      : vertex.position.z;
      const float& lattice = l_.coordinates[axis][static_cast<std::size_t>(p[axis])];
      if (std::memcmp(&lattice, &along, sizeof along) == 0) {
        part.onPoints.emplace_back((p[2] * y_ + p[1]) * x_ + p[0], index);
        break;
      }
    }
    return index;
  }

  // The key of the lattice edge from `low` along `axis`, as the volume
  // sweep's.
  EdgeKey edgeKey(const std::int64_t (&low)[3], int axis) const {
    const auto index = static_cast<EdgeKey>((low[2] * y_ + low[1]) * x_ + low[0]);
    return index * 3 + static_cast<EdgeKey>(axis);
  }

  const Lattice& l_;
  std::int64_t x_, y_, sliceSize_;
  SliceWindow window_{};
  const std::vector<Label>* labels_ = nullptr;
  // Per slice parity: per voxel, its slot; per row, the first and last
  // change along it.
  std::vector<Slot> slots_[2];
  RowChanges changes_{y_};
  std::vector<std::uint8_t> mixed_;
  // The run's labels' slots by value.
  std::vector<Slot> small_;
  std::vector<std::int64_t> smallSet_;
  std::unordered_map<std::int64_t, Slot> large_;
  // Per edge place, the vertices of the labels at its two ends (the
  // polygoniser's first, second).
  std::vector<std::array<KeptVertex, 2>> vertices_;
  const Slot* rowCorners_[4];                // per corner row (dj + 2 dk): its voxels' slots
  std::array<KeptVertex, 2>* rowSlots_[12];  // per edge of a cell: its family's places
  std::int64_t rowStamps_[12];
  // The vertex numbers of the labels at the lattice edges' ends; per end
  // (lower, upper) and edge of a cell, the row's, rowStrides_ apart by i.
  PairedNumbers numbers_;
  std::uint32_t* rowNumbers_[2][12];
  std::int64_t rowStrides_[12];
};

LabelSweep::LabelSweep(const Lattice& lattice) : sweep_(std::make_unique<Sweep>(lattice)) {}
LabelSweep::LabelSweep(LabelSweep&&) noexcept = default;
LabelSweep::~LabelSweep() = default;

void LabelSweep::run(const SliceWindow& window, std::int64_t first, std::int64_t last,
                     const std::vector<Label>& labels, bool continued) {
  sweep_->run(window, first, last, labels, continued);
}

}  // namespace mcubes::internal
