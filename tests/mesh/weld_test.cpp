#include "mesh/surface/weld.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "mesh/distributed/volume_piece.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "mesh/scene/extract.h"
#include "mesh/scene/scene_caps.h"
#include "mesh/scene/scene_surface.h"
#include "mesh/surface/degenerate_faces.h"
#include "mesh/surface/key_table.h"
#include "tests/mesh/mesh_checks.h"
#include "tests/mesh/oracles/weld_by_edge.h"

using namespace mcubes::internal;

namespace {

bool same(const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

IndexedMesh weldedFrame(std::int32_t ticks, std::int32_t divisions) {
  ExtractionSettings settings;
  settings.divisions = divisions;
  settings.edgeKeys = true;
  return weldSurface(extractSurface(ballCentres(ticks), settings));
}

}  // namespace

// Welded as the slabs are swept, on any number of threads, the scene is its
// soup welded by edge key: the same vertices in the same order, bit for bit.
// The caps' table of edges and points holds what a map holds: keys that
// differ in their low bits only (neighbouring edges), in their high bits
// only, multiples of a large power of two, repeated keys, across growth.
TEST(KeyTable, HoldsWhatAMapHoldsAcrossGrowth) {
  const std::vector<std::vector<std::uint64_t>> runs = {
      [] {
        std::vector<std::uint64_t> keys;
        for (std::uint64_t k = 0; k < 5000; ++k) keys.push_back(3 * k + k % 3);
        return keys;
      }(),
      [] {
        std::vector<std::uint64_t> keys;
        for (std::uint64_t k = 1; k < 3000; ++k) keys.push_back(k << 40);
        return keys;
      }(),
      [] {
        std::vector<std::uint64_t> keys;
        for (std::uint64_t k = 0; k < 4000; ++k) keys.push_back((k % 1500) << 20);
        return keys;
      }(),
      {KeyTable<int>::Free - 1, 0, 1, KeyTable<int>::Free - 1, 0}};
  for (std::size_t run = 0; run < runs.size(); ++run) {
    for (const bool reserved : {false, true}) {
      SCOPED_TRACE("run " + std::to_string(run) + (reserved ? ", reserved" : ""));
      KeyTable<std::uint32_t> table;
      if (reserved) table.reserve(runs[run].size());
      std::unordered_map<std::uint64_t, std::uint32_t> map;
      for (std::size_t n = 0; n < runs[run].size(); ++n) {
        const std::uint64_t key = runs[run][n];
        const auto [value, made] = table.tryEmplace(key);
        const auto [expected, first] = map.try_emplace(key, static_cast<std::uint32_t>(n));
        ASSERT_EQ(made, first) << "key " << key;
        if (made) {
          EXPECT_EQ(*value, 0u);
          *value = static_cast<std::uint32_t>(n);
        }
        ASSERT_EQ(*value, expected->second) << "key " << key;
      }
      EXPECT_EQ(table.size(), map.size());
      for (const auto& [key, value] : map) {
        const auto [held, made] = table.tryEmplace(key);
        EXPECT_FALSE(made);
        EXPECT_EQ(*held, value) << "key " << key;
      }
    }
  }
}

TEST(WeldSurface, TheSceneWeldedAsItSweepsIsItsSoupWeldedByEdge) {
  for (const std::int32_t divisions : {1, 16, 37, 64}) {
    for (const std::int32_t ticks : {0, 100, 250}) {
      for (const double iso : {0.25, 0.6, 2.0}) {
        ExtractionSettings settings;
        settings.divisions = divisions;
        settings.isoLevel = iso;
        settings.edgeKeys = true;
        const IndexedMesh expected = weldSurface(extractSurface(ballCentres(ticks), settings));
        settings.edgeKeys = false;
        for (const int threads : {1, 2, 3, 7}) {
          settings.threads = threads;
          EXPECT_TRUE(sameMesh(expected, weldSceneSurface(ballCentres(ticks), settings).mesh))
              << divisions << " divisions, tick " << ticks << ", iso " << iso << ", " << threads
              << " threads";
        }
      }
    }
  }
}

TEST(WeldSurface, OneVertexPerEdgeAtItsFirstPositionWithFacesTurnedOutward) {
  const Point3 a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0}, d = {1, 1, 0};
  const Point3 bOff = {1.0f, 0.001f, 0};  // edge 11 again, where another cell put it
  ExtractedSurface surface;
  surface.triangles = {{{a, b, c}}, {{bOff, d, c}}, {{a, b, a}}};
  // The third triangle has no area, two vertices on two edges at one point:
  // it keeps both, and its place.
  surface.edges = {{10, 11, 12}, {11, 13, 12}, {10, 11, 14}};
  const IndexedMesh mesh = weldSurface(surface);
  ASSERT_EQ(mesh.vertices.size(), 5u);
  EXPECT_TRUE(same(mesh.vertices[0], a));
  EXPECT_TRUE(same(mesh.vertices[1], c));  // outward order: first, third, second
  EXPECT_TRUE(same(mesh.vertices[2], b));
  EXPECT_TRUE(same(mesh.vertices[3], d));
  EXPECT_TRUE(same(mesh.vertices[4], a));
  const FaceArray faces = {{0, 1, 2}, {2, 1, 3}, {0, 4, 2}};
  EXPECT_EQ(mesh.faces, faces);

  surface.edges.pop_back();
  EXPECT_THROW(weldSurface(surface), std::invalid_argument);
}

TEST(CloseAndMerge, CoincidentVerticesMergeAndTheFacesThatCollapseGo) {
  WeldedPart part;
  const Point3 a = {0, 0, 0}, b = {1, 0, 0}, c = {0, 1, 0}, d = {2, 0, 0};
  // Vertex 3 is vertex 0 again (two edges' vertices snapped onto one
  // corner); vertex 4 lies on the line through 1 and 5.
  part.mesh.vertices = {a, b, c, a, {1.5f, 0, 0}, d};
  part.mesh.faces = {{0, 1, 2}, {3, 2, 5}, {0, 3, 1}, {1, 4, 5}, {3, 0, 3}};
  const IndexedMesh mesh = closeAndMerge(VolumeGeometry{}, part, {}, {true, true, false});
  ASSERT_EQ(mesh.vertices.size(), 5u);
  EXPECT_TRUE(same(mesh.vertices[3], {1.5f, 0, 0}));
  const FaceArray faces = {{0, 1, 2}, {0, 2, 4}, {1, 3, 4}};
  EXPECT_EQ(mesh.faces, faces);
  EXPECT_EQ(zeroAreaFaces(mesh), 1u);
}

TEST(WeldSurface, TheSceneIsClosedAndWoundOutwardAtAnyResolution) {
  // At tick 116 the balls are nearly at their widest apart: two separate
  // blobs; at 39 they nearly coincide. Odd divisions put the corners of
  // neighbouring cells a few bits apart, so only the grid edges can tell
  // which vertices are one. (At these ticks the surface stays inside the
  // grid; where it leaves it, see CapGridBoundary.)
  for (const std::int32_t divisions : {16, 7, 33, 100}) {
    for (const std::int32_t ticks : {25, 116, 39, -40}) {
      const IndexedMesh mesh = weldedFrame(ticks, divisions);
      ASSERT_FALSE(mesh.faces.empty()) << ticks;
      EXPECT_TRUE(closedAndConsistent(mesh.faces)) << divisions << " divisions, tick " << ticks;
      // Outward faces enclose a positive volume: at least one lone ball's
      // sphere of radius sqrt(7) (about 78), far less than the grid's 4913.
      const double volume = signedVolume6(mesh.vertices, mesh.faces) / 6;
      EXPECT_GT(volume, divisions < 16 ? 50 : 78) << ticks;
      EXPECT_LT(volume, 1000) << ticks;
    }
  }
}

TEST(SceneCaps, CloseTheSceneAcrossTheBoxsFacesEdgesAndCornersOutward) {
  // At tick 0 ball A sits at x = 5.5 and its surface reaches x = 8.33: past
  // the outermost corners (8 + half a cell) from about 24 divisions on. At
  // lower levels the blobs grow across the box's edges and corners (0.05
  // at 60 divisions), and at 0.01 the whole box lies inside. Where the
  // surface stays inside the grid there are no caps.
  struct Case {
    std::int32_t ticks, divisions;
    double iso;
    bool capped;
  };
  const Case cases[] = {{0, 16, 0.25, false},  {0, 32, 0.25, true},   {157, 64, 0.25, true},
                        {0, 101, 0.25, true},  {25, 64, 0.25, false}, {0, 60, 0.05, true},
                        {116, 60, 0.05, true}, {500, 16, 0.05, true}, {116, 7, 0.1, false},
                        {39, 33, 0.03, true},  {0, 20, 0.01, true}};
  for (const Case& c : cases) {
    const std::string context = std::to_string(c.divisions) + " divisions, tick " +
                                std::to_string(c.ticks) + ", iso " + std::to_string(c.iso);
    SurfaceOptions options;
    options.isoLevel = c.iso;
    options.mergeSnapped = false;
    options.closed = false;
    SurfaceReport report;
    const IndexedMesh open = sceneSurface(ballCentres(c.ticks), c.divisions, options, report);
    options.closed = true;
    const IndexedMesh unmerged = sceneSurface(ballCentres(c.ticks), c.divisions, options, report);
    options.mergeSnapped = true;
    options.threads = 3;
    const IndexedMesh mesh = sceneSurface(ballCentres(c.ticks), c.divisions, options, report);
    EXPECT_TRUE(closedAndConsistent(mesh.faces)) << context;
    EXPECT_TRUE(closedAndConsistent(unmerged.faces)) << context;
    // Merged as readers that merge by position see it, on any thread count.
    EXPECT_TRUE(sameMesh(mergedByPosition(unmerged), mesh)) << context;
    const VolumeGeometry box = gridBox(sceneGrid(c.divisions));
    const double side = box.axes[0][0] * static_cast<double>(box.dims[0] - 1);
    const double volume = signedVolume6(mesh.vertices, mesh.faces) / 6;
    EXPECT_GT(volume, 0) << context;
    EXPECT_LE(volume, side * side * side * (1 + 1e-6)) << context;
    // The caps come after the open surface, which keeps its vertices and
    // faces; they lie flat on the box's faces.
    ASSERT_GE(unmerged.faces.size(), open.faces.size()) << context;
    EXPECT_EQ(c.capped, unmerged.faces.size() > open.faces.size()) << context;
    if (!open.faces.empty()) {
      EXPECT_EQ(c.capped, !closedAndConsistent(open.faces)) << context;
    }
    IndexedMesh surface = unmerged;
    surface.vertices.resize(open.vertices.size());
    surface.faces.resize(open.faces.size());
    EXPECT_TRUE(sameMesh(open, surface)) << context;
    const float low = static_cast<float>(box.origin[0]);
    const float high = static_cast<float>(box.origin[0] + side);
    for (std::size_t f = open.faces.size(); f < unmerged.faces.size(); ++f) {
      bool onOneFace = false;
      for (int a = 0; a < 3; ++a) {
        for (const float plane : {low, high}) {
          bool all = true;
          for (const std::uint32_t v : unmerged.faces[f]) {
            const Point3& p = unmerged.vertices[v];
            all = all && (a == 0 ? p.x : a == 1 ? p.y : p.z) == plane;
          }
          onOneFace = onOneFace || all;
        }
      }
      EXPECT_TRUE(onOneFace) << context << ", cap face " << f;
    }
  }
}
