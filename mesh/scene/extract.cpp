#include "mesh/scene/extract.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

#include "mesh/scene/crossed_cells_kernel.h"
#include "mesh/scene/grid.h"
#include "mesh/surface/edge_numbers.h"
#include "mesh/surface/ordered_parallel.h"
#include "mesh/surface/welded_parts.h"

namespace mcubes::internal {

namespace {

using RowKernel = std::int32_t (*)(const RowInputs&, CrossedCell*);

// One axis of the grid seen from both balls: per cell, the two corner
// coordinates and each ball's squared offsets of the two corners, formed by
// the sampler's own functions, so the values are the sampler's bit for bit.
// Entries past the last cell repeat it, up to a whole number of vectors.
struct AxisTable {
  float* corners[2];      // [side][cell]
  double* squares[2][2];  // [ball][side][cell]
  double* least[2];       // [ball][cell]: the smaller square
  double* most[2];        // [ball][cell]: the larger square
  double* blockLeast[2];  // [ball][block]: the smallest square in the block
  double* blockMost[2];   // [ball][block]: the largest
  double leastOfAll[2];   // [ball]: the smallest square on the axis
};

// The three axes' tables, in one block of doubles and one of floats: a
// small grid's extraction is short, and allocations would weigh in it.
struct AxisTables {
  AxisTable axes[3];
  std::unique_ptr<double[]> doubles;
  std::unique_ptr<float[]> floats;
};

AxisTables axisTables(const SceneGrid& grid, const BallCentres& balls) {
  const std::size_t cells = static_cast<std::size_t>(grid.divisions) + 1;
  const std::size_t padded = (cells + RowBlock - 1) / RowBlock * RowBlock;
  const std::size_t blocks = padded / RowBlock;
  AxisTables tables;
  // Per axis: eight arrays per cell and four per block of doubles, two per
  // cell of floats. Every entry is written below.
  tables.doubles.reset(new double[3 * (8 * padded + 4 * blocks)]);
  tables.floats.reset(new float[3 * 2 * padded]);
  double* d = tables.doubles.get();
  float* f = tables.floats.get();
  const auto take = [](auto*& from, std::size_t n) {
    auto* taken = from;
    from += n;
    return taken;
  };
  const float centres[3][2] = {
      {balls.a.x, balls.b.x}, {balls.a.y, balls.b.y}, {balls.a.z, balls.b.z}};
  for (int a = 0; a < 3; ++a) {
    AxisTable& table = tables.axes[a];
    for (int side = 0; side < 2; ++side) table.corners[side] = take(f, padded);
    for (int ball = 0; ball < 2; ++ball) {
      for (int side = 0; side < 2; ++side) table.squares[ball][side] = take(d, padded);
      table.least[ball] = take(d, padded);
      table.most[ball] = take(d, padded);
      table.blockLeast[ball] = take(d, blocks);
      table.blockMost[ball] = take(d, blocks);
    }
    for (std::size_t i = 0; i < padded; ++i) {
      const auto cell = static_cast<std::int32_t>(std::min(i, cells - 1));
      const float centre = worldCoordinate(grid.coordinate(cell), static_cast<float>(GridExtent));
      for (int ball = 0; ball < 2; ++ball) {
        const CellAxis axis =
            cellAxis(centre, floatDifference(centre, centres[a][ball]), grid.halfEdge);
        for (int side = 0; side < 2; ++side) {
          table.corners[side][i] = axis.corner[side];
          table.squares[ball][side][i] = axis.square[side];
        }
        table.least[ball][i] = std::min(axis.square[0], axis.square[1]);
        table.most[ball][i] = std::max(axis.square[0], axis.square[1]);
      }
    }
    for (int ball = 0; ball < 2; ++ball) {
      for (std::size_t block = 0; block < blocks; ++block) {
        const double* least = table.least[ball] + block * RowBlock;
        const double* most = table.most[ball] + block * RowBlock;
        table.blockLeast[ball][block] = *std::min_element(least, least + RowBlock);
        table.blockMost[ball][block] = *std::max_element(most, most + RowBlock);
      }
      table.leastOfAll[ball] =
          *std::min_element(table.blockLeast[ball], table.blockLeast[ball] + blocks);
    }
  }
  return tables;
}

// The work of one thread: slab after slab of cells at one x each. The
// crossed cells of some slabs are found first and held; then the output gets
// room for exactly their triangles at once, and they are polygonised.
class SlabExtractor {
 public:
  // `slabs`: how many slabs it is to hold the crossed cells of at a time.
  // `weld`: whether it writes welded parts (else triangle soups).
  SlabExtractor(const SceneGrid& grid, double isoLevel, const AxisTable (&axes)[3],
                RowKernel kernel, bool edgeKeys, std::int32_t slabs, bool weld)
      : grid_(grid),
        isoLevel_(isoLevel),
        axes_(axes),
        kernel_(kernel),
        edgeKeys_(edgeKeys),
        points_(grid.divisions + 2),
        room_(heldRoom(grid.divisions, slabs)),
        // Not initialised: only what a kernel wrote is read.
        crossed_(new CrossedCell[room_]),
        cases_(new std::uint8_t[room_]),
        rows_(new HeldRow[room_]) {
    if (weld) {
      numbers_ = std::make_unique<EdgeNumbers>(static_cast<std::size_t>(points_),
                                               static_cast<std::size_t>(points_));
    }
  }

  // Where the triangles go: appended to a soup, or welded into a part whose
  // planes shared with other parts are firstPlane and lastPlane (-1: none).
  void output(ExtractedSurface* soup, WeldedPart* part, std::int32_t firstPlane = -1,
              std::int32_t lastPlane = -1) {
    soup_ = soup;
    part_ = part;
    firstPlane_ = firstPlane;
    lastPlane_ = lastPlane;
    slab_ = -2;
    if (numbers_) numbers_->forgetAll();
  }

  // Writes slab i's triangles, row by row in order of y.
  void extract(std::int32_t i) {
    find(i);
    flush();
  }

  // Finds and holds slab i's crossed cells; the cells held before are
  // written where there is no room for another row's.
  void find(std::int32_t i) {
    const AxisTable &x = axes_[0], &y = axes_[1], &z = axes_[2];
    RowInputs row;
    row.cells = grid_.divisions + 1;
    row.isoLevel = isoLevel_;
    row.strengthOverIso = static_cast<double>(BallStrength) / isoLevel_;
    for (int ball = 0; ball < 2; ++ball) {
      RowBall& b = row.balls[ball];
      for (int side = 0; side < 2; ++side) b.z[side] = z.squares[ball][side];
      b.zLeast = z.least[ball];
      b.zMost = z.most[ball];
      b.zBlockLeast = z.blockLeast[ball];
      b.zBlockMost = z.blockMost[ball];
    }
    for (std::int32_t j = 0; j <= grid_.divisions; ++j) {
      for (int ball = 0; ball < 2; ++ball) {
        RowBall& b = row.balls[ball];
        for (int s = 0; s < 4; ++s) {
          b.columnSquares[s] = x.squares[ball][s % 2][i] + y.squares[ball][s / 2][j];
        }
        b.columnLeast = *std::min_element(b.columnSquares, b.columnSquares + 4);
        b.columnMost = *std::max_element(b.columnSquares, b.columnSquares + 4);
      }
      // A row that passes far from both balls is ruled out as a whole.
      if (surelyBelow(row.strengthOverIso, (row.balls[0].columnLeast + z.leastOfAll[0]) + 1.0,
                      (row.balls[1].columnLeast + z.leastOfAll[1]) + 1.0)) {
        continue;
      }
      if (found_ + static_cast<std::size_t>(row.cells) > room_) flush();
      const auto found = static_cast<std::size_t>(kernel_(row, crossed_.get() + found_));
      if (found > 0) {
        found_ += found;
        rows_[heldRows_++] = {i, j, found_};
      }
    }
  }

  // Writes the held cells' triangles, in the order they were found, and
  // lets the cells go.
  void flush() {
    std::size_t triangles = 0;
    for (std::size_t c = 0; c < found_; ++c) {
      int caseIndex = 0;
      for (int corner = 0; corner < 8; ++corner) {
        if (crossed_[c].values[corner] < isoLevel_) caseIndex |= 1 << corner;
      }
      cases_[c] = static_cast<std::uint8_t>(caseIndex);
      for (const std::int32_t* row = CaseTriangles[caseIndex]; *row != -1; row += 3) ++triangles;
    }
    if (part_) {
      makeRoom(part_->mesh.faces, part_->mesh.faces.size() + triangles);
    } else {
      makeRoom(soup_->triangles, soup_->triangles.size() + triangles);
      if (edgeKeys_) makeRoom(soup_->edges, soup_->edges.size() + triangles);
    }
    std::size_t c = 0;
    for (std::size_t r = 0; r < heldRows_; ++r) {
      const HeldRow& row = rows_[r];
      if (part_) startSlab(row.i);
      for (; c < row.end; ++c) polygonise(row.i, row.j, crossed_[c], cases_[c]);
    }
    heldRows_ = 0;
    found_ = 0;
  }

 private:
  // Room for the crossed cells of a row more than a surface through that
  // many slabs usually crosses, up to about 5 MB.
  static std::size_t heldRoom(std::int32_t divisions, std::int32_t slabs) {
    const auto cells = static_cast<std::size_t>(divisions) + 1;
    return std::min<std::size_t>(2 * cells * static_cast<std::size_t>(slabs), 65536) + cells;
  }

  struct HeldRow {
    std::int32_t i, j;
    std::size_t end;  // past its last cell in crossed_
  };

  // What polygoniseCell makes of the cell, without building the cell: the
  // same interpolation of each crossed edge, the case's triangles in order.
  void polygonise(std::int32_t i, std::int32_t j, const CrossedCell& crossed, int caseIndex) {
    const std::int32_t index[3] = {i, j, crossed.k};
    // Each coordinate of the two sides, then a corner is three lookups.
    float sides[3][2];
    for (int axis = 0; axis < 3; ++axis) {
      for (int side = 0; side < 2; ++side)
        sides[axis][side] = axes_[axis].corners[side][index[axis]];
    }
    const auto corner = [&](int c) -> Point3 {
      const int* side = CornerSide[c];
      return {sides[0][side[0]], sides[1][side[1]], sides[2][side[2]]};
    };
    Point3 at[12];
    for (auto mask = static_cast<std::uint32_t>(CaseEdgeMasks[caseIndex]); mask != 0;
         mask &= mask - 1) {
      const int e = __builtin_ctz(mask);
      const int a = EdgeCorners[e][0], b = EdgeCorners[e][1];
      at[e] = interpolateEdgeVertex(isoLevel_, corner(a), corner(b), crossed.values[a],
                                    crossed.values[b]);
    }
    const std::int32_t* row = CaseTriangles[caseIndex];
    if (part_) {
      for (int t = 0; row[t] != -1; t += 3) {
        const int outward[3] = {row[t], row[t + 2], row[t + 1]};
        std::array<std::uint32_t, 3> face;
        for (int v = 0; v < 3; ++v) face[v] = vertexOf(outward[v], index, at[outward[v]]);
        part_->mesh.faces.push_back(face);
      }
      return;
    }
    ExtractedSurface& surface = *soup_;
    int count = 0;
    for (; row[3 * count] != -1; ++count) {
      Triangle& made = surface.triangles.emplace_back();
      made = {{at[row[3 * count]], at[row[3 * count + 1]], at[row[3 * count + 2]]}};
    }
    if (edgeKeys_) addEdgeKeys(index, {count, caseIndex}, surface);
  }

  // The polygoniser emits the case's triangles in table order, vertex t
  // on edge row[t]. An edge is named by its lower end on the lattice of
  // corners (cell i's corners are lattice points i and i + 1) and its axis.
  void addEdgeKeys(const std::int32_t (&cellIndex)[3], const CellTriangles& cell,
                   ExtractedSurface& surface) const {
    const std::int32_t* row = CaseTriangles[cell.caseIndex];
    const auto points = static_cast<EdgeKey>(grid_.divisions) + 2;
    for (int t = 0; t < cell.count; ++t) {
      std::array<EdgeKey, 3> keys;
      for (int v = 0; v < 3; ++v) {
        const int* ends = EdgeCorners[row[3 * t + v]];
        const int* first = CornerSide[ends[0]];
        const int* second = CornerSide[ends[1]];
        EdgeKey key = 0;
        int along = 0;
        for (int axis = 0; axis < 3; ++axis) {
          if (first[axis] != second[axis]) along = axis;
          key = key * points +
                static_cast<EdgeKey>(cellIndex[axis] + std::min(first[axis], second[axis]));
        }
        keys[v] = key * 3 + static_cast<EdgeKey>(along);
      }
      surface.edges.push_back(keys);
    }
  }

  // Welding: slab i's cells number the vertices of the x-edges between
  // planes i and i + 1, and of the y- and z-edges in both planes.
  void startSlab(std::int32_t i) {
    if (i == slab_) return;
    // Plane i + 1 takes the place of plane i - 1; where a slab was
    // skipped, plane i's is stale too.
    numbers_->forget(EdgeNumbers::Across);
    numbers_->forget((i + 1) & 1);
    if (i != slab_ + 1) numbers_->forget(i & 1);
    slab_ = i;
  }

  // The vertex number of edge e of cell `index`, numbered on first use
  // with the position that cell computed.
  std::uint32_t vertexOf(int e, const std::int32_t (&index)[3], const Point3& position) {
    const int* first = CornerSide[EdgeCorners[e][0]];
    const int* second = CornerSide[EdgeCorners[e][1]];
    std::int32_t low[3];
    int axis = 0;
    for (int d = 0; d < 3; ++d) {
      if (first[d] != second[d]) axis = d;
      low[d] = index[d] + std::min(first[d], second[d]);
    }
    const std::int64_t place = static_cast<std::int64_t>(low[1]) * points_ + low[2];
    const int list = axis == 0 ? EdgeNumbers::Across : low[0] & 1;
    std::uint32_t& held = numbers_->numbers(list, axis - 1)[place];
    if (held != EdgeNumbers::Empty) return EdgeNumbers::numberIn(held);
    const auto number = static_cast<std::uint32_t>(part_->mesh.vertices.size());
    held = EdgeNumbers::held(number);
    part_->mesh.vertices.push_back(position);
    numbers_->set(list, axis - 1, place);
    const std::int64_t entry = 2 * place + (axis - 1);
    if (axis != 0 && low[0] == firstPlane_) part_->firstPlane.emplace_back(entry, number);
    if (axis != 0 && low[0] == lastPlane_) part_->lastPlane.emplace_back(entry, number);
    // On the box's faces: keyed as the caps key the grid's corners as a
    // volume, x fastest (mesh/scene/scene_caps.h).
    const auto outer = [&](int d) { return low[d] == 0 || low[d] == points_ - 1; };
    if (outer((axis + 1) % 3) || outer((axis + 2) % 3)) {
      const auto point = (static_cast<EdgeKey>(low[2]) * static_cast<EdgeKey>(points_) +
                          static_cast<EdgeKey>(low[1])) *
                             static_cast<EdgeKey>(points_) +
                         static_cast<EdgeKey>(low[0]);
      part_->faceEdges.emplace_back(point * 3 + static_cast<EdgeKey>(axis), number);
    }
    return number;
  }

  SceneGrid grid_;
  double isoLevel_;
  const AxisTable (&axes_)[3];
  RowKernel kernel_;
  bool edgeKeys_;
  std::int64_t points_;  // lattice points per axis
  std::size_t room_;     // cells that crossed_ holds, and rows that rows_ holds
  std::unique_ptr<CrossedCell[]> crossed_;
  std::unique_ptr<std::uint8_t[]> cases_;  // per held cell, its case
  std::size_t found_ = 0;
  std::unique_ptr<HeldRow[]> rows_;  // the rows with held cells, in order
  std::size_t heldRows_ = 0;
  ExtractedSurface* soup_ = nullptr;
  WeldedPart* part_ = nullptr;
  std::int32_t firstPlane_ = -1, lastPlane_ = -1;
  // Welding: vertex numbers by place j * P + k (P lattice points per axis)
  // of the x-edges across the slab's planes and of the y- and z-edges in
  // them.
  std::int32_t slab_ = -2;
  std::unique_ptr<EdgeNumbers> numbers_;
};

RowKernel rowKernel(VectorUnit unit) {
#if defined(__x86_64__) || defined(__i386__)
  if (unit == VectorUnit::Avx2 && vectorUnitAvailable(VectorUnit::Avx2)) {
    return findCrossedCellsAvx2;
  }
#else
  (void)unit;
#endif
  return findCrossedCellsBaseline;
}

// Checks the settings and runs `run` with what every extraction needs.
template <typename Run>
void extractScene(const BallCentres& balls, const ExtractionSettings& settings, Run&& run) {
  if (settings.divisions < MinDivisions || settings.divisions > MaxDivisions) {
    throw std::invalid_argument("divisions must be " + std::to_string(MinDivisions) + " to " +
                                std::to_string(MaxDivisions));
  }
  if (settings.threads < 1) throw std::invalid_argument("threads must be 1 or more");
  if (!(settings.isoLevel > 0.0) || !std::isfinite(settings.isoLevel)) {
    throw std::invalid_argument("the scene's iso level must be a positive number");
  }
  const SceneGrid grid = sceneGrid(settings.divisions);
  const AxisTables tables = axisTables(grid, balls);
  const std::int32_t slabs = grid.divisions + 1;
  const int threads = std::min(settings.threads, static_cast<int>(slabs));
  // One extractor per thread; alone, one holds the cells of many slabs.
  const auto extractors = [&](bool weld) {
    std::vector<std::unique_ptr<SlabExtractor>> made;
    for (int t = 0; t < threads; ++t) {
      made.push_back(std::make_unique<SlabExtractor>(
          grid, settings.isoLevel, tables.axes, rowKernel(settings.vectorUnit), settings.edgeKeys,
          threads == 1 ? slabs : 1, weld));
    }
    return made;
  };
  run(slabs, threads, extractors);
}

}  // namespace

ExtractedSurface extractSurface(const BallCentres& balls, const ExtractionSettings& settings,
                                const SlabProgress& progress) {
  ExtractedSurface surface;
  extractSurfaceInto(balls, settings, surface, progress);
  return surface;
}

void extractSurfaceInto(const BallCentres& balls, const ExtractionSettings& settings,
                        ExtractedSurface& surface, const SlabProgress& progress) {
  surface.clear();
  extractScene(balls, settings, [&](std::int32_t slabs, int threads, const auto& extractors) {
    const auto made = extractors(false);
    if (threads == 1) {
      SlabExtractor& extractor = *made[0];
      extractor.output(&surface, nullptr);
      for (std::int32_t i = 0; i < slabs; ++i) {
        extractor.find(i);
        if (progress) progress(i + 1, slabs);
      }
      extractor.flush();
      return;
    }
    runInOrder<ExtractedSurface>(
        slabs, threads,
        [&](int worker, std::int64_t i, ExtractedSurface& slab) {
          slab.clear();
          made[static_cast<std::size_t>(worker)]->output(&slab, nullptr);
          made[static_cast<std::size_t>(worker)]->extract(static_cast<std::int32_t>(i));
        },
        [&](std::int64_t, const ExtractedSurface& slab) {
          surface.triangles.insert(surface.triangles.end(), slab.triangles.begin(),
                                   slab.triangles.end());
          surface.edges.insert(surface.edges.end(), slab.edges.begin(), slab.edges.end());
        },
        [&](std::int64_t taken) {
          if (progress) progress(static_cast<std::int32_t>(taken), slabs);
        });
  });
}

WeldedPart weldSceneSurface(const BallCentres& balls, const ExtractionSettings& settings,
                            const SlabProgress& progress) {
  JoinedParts joined;
  extractScene(balls, settings, [&](std::int32_t slabs, int threads, const auto& extractors) {
    const auto made = extractors(true);
    if (threads == 1) {
      WeldedPart part;
      SlabExtractor& extractor = *made[0];
      extractor.output(nullptr, &part);
      for (std::int32_t i = 0; i < slabs; ++i) {
        extractor.find(i);
        if (progress) progress(i + 1, slabs);
      }
      extractor.flush();
      joined.add(part);
      return;
    }
    runInOrder<WeldedPart>(
        slabs, threads,
        [&](int worker, std::int64_t i, WeldedPart& part) {
          part.clear();
          const auto slab = static_cast<std::int32_t>(i);
          made[static_cast<std::size_t>(worker)]->output(nullptr, &part, slab, slab + 1);
          made[static_cast<std::size_t>(worker)]->extract(slab);
        },
        [&](std::int64_t, WeldedPart& part) { joined.add(part); },
        [&](std::int64_t taken) {
          if (progress) progress(static_cast<std::int32_t>(taken), slabs);
        });
  });
  return joined.take();
}

}  // namespace mcubes::internal
