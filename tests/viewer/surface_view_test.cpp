// The surface the viewer draws: the scene's and a volume's mesh, the arrays
// derived from it for flat shading and the wireframe, and when they are made
// anew.
#include "viewer/surface_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "mesh/surface/weld.h"
#include "mesh/volume/volume_caps.h"
#include "mesh/volume/volume_extract.h"
#include "tests/mesh/oracles/boundary_cells.h"
#include "tests/mesh/oracles/weld_by_edge.h"
#include "tests/viewer/small_volume.h"
#include "viewer/surface_arrays.h"
#include "viewer/surface_source.h"
#include "volume/otsu_level.h"

using namespace mcubes::internal;

namespace {

bool same(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

double dot(const Point3& a, const Point3& b) {
  return static_cast<double>(a.x) * b.x + static_cast<double>(a.y) * b.y +
         static_cast<double>(a.z) * b.z;
}

IndexedMesh sceneMesh(std::int32_t tick, std::int32_t divisions, bool* closed = nullptr) {
  SceneSource source(2);
  ViewState state;
  state.tick = tick;
  state.divisions = divisions;
  IndexedMesh mesh;
  std::vector<Rgb> colours;
  const bool saidClosed = source.extract(state, mesh, colours);
  EXPECT_TRUE(colours.empty());
  if (closed != nullptr) *closed = saidClosed;
  return mesh;
}

// Whether every edge lies between exactly two faces.
bool everyEdgeTwice(const IndexedMesh& mesh) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, int> uses;
  for (const auto& face : mesh.faces) {
    for (int corner = 0; corner < 3; ++corner) {
      const std::uint32_t a = face[corner], b = face[(corner + 1) % 3];
      ++uses[{std::min(a, b), std::max(a, b)}];
    }
  }
  return std::all_of(uses.begin(), uses.end(), [](const auto& use) { return use.second == 2; });
}

TEST(SceneSource, WeldedMeshOfTheDemosTrianglesWithOutwardUnitNormals) {
  const IndexedMesh mesh = sceneMesh(0, 16);
  // The demo's frame at tick 0, welded.
  EXPECT_EQ(mesh.faces.size(), sceneTriangles(0).size());
  ASSERT_EQ(mesh.normals.size(), mesh.vertices.size());
  for (const Point3& normal : mesh.normals) {
    EXPECT_NEAR(dot(normal, normal), 1.0, 1e-6);
  }
}

TEST(SceneSource, SaysClosedOnlyOfClosedSurfaces) {
  for (const std::int32_t divisions : {16, 37, 128}) {
    for (const std::int32_t tick : {0, 40, 79, 157, 236}) {
      bool closed = false;
      const IndexedMesh mesh = sceneMesh(tick, divisions, &closed);
      if (closed) {
        EXPECT_TRUE(everyEdgeTwice(mesh)) << divisions << " divisions, tick " << tick;
      }
      // The demo's grid reaches half a cell further than the balls ever do.
      EXPECT_TRUE(closed || divisions != 16) << "tick " << tick;
    }
  }
  // Ball A at x = 5.5 reaches past the grid's corners at 8 + 1/16.
  bool closed = true;
  const IndexedMesh cut = sceneMesh(0, 128, &closed);
  EXPECT_FALSE(closed);
  EXPECT_FALSE(everyEdgeTwice(cut));
}

// The indices as 32-bit numbers, whichever width they are stored in.
std::vector<std::uint32_t> widened(const ElementIndices& indices) {
  EXPECT_TRUE(indices.narrow.empty() || indices.wide.empty());
  return indices.narrow.empty()
             ? indices.wide
             : std::vector<std::uint32_t>(indices.narrow.begin(), indices.narrow.end());
}

// The mesh that `mcubes mesh --volume --normals` writes, but for the merging
// of coincident vertices: the extractor's triangles read slice by slice,
// capped, welded, turned outward.
IndexedMesh meshedVolume(const InMemoryVolume& volume, double iso, bool mirrored) {
  const VolumeGeometry& geometry = volume.header().geometry;
  const std::int64_t voxels = geometry.dims[0] * geometry.dims[1] * geometry.dims[2];
  auto values = std::make_unique<double[]>(static_cast<std::size_t>(voxels));
  std::copy_n(volume.values(), voxels, values.get());
  InMemoryVolume reader(volume.header(), std::move(values));
  VolumeExtractionSettings settings;
  settings.isoLevel = iso;
  settings.edgeKeys = true;
  settings.normals = true;
  VolumeFindings findings;
  VolumeBoundary boundary(geometry.dims);
  ExtractedSurface surface = extractVolume(reader, settings, findings, {}, &boundary);
  appendBoundaryCells(geometry, boundary, iso, true, surface);
  IndexedMesh mesh = weldSurface(surface);
  if (mirrored) reverseFaces(mesh);
  return mesh;
}

// The voxels (i, j, k) * stride of the small volume, as a volume of their
// own: the last along each axis still on the lattice, the axes stride times
// as long.
std::shared_ptr<const InMemoryVolume> subsampled(const InMemoryVolume& volume, int stride) {
  VolumeHeader header = volume.header();
  const std::int64_t(&dims)[3] = volume.header().geometry.dims;
  std::int64_t(&coarse)[3] = header.geometry.dims;
  for (int a = 0; a < 3; ++a) {
    coarse[a] = 1;
    while (coarse[a] * stride < dims[a]) ++coarse[a];
    for (double& step : header.geometry.axes[a]) step *= stride;
  }
  std::vector<double> values;
  for (std::int64_t k = 0; k < coarse[2]; ++k) {
    for (std::int64_t j = 0; j < coarse[1]; ++j) {
      for (std::int64_t i = 0; i < coarse[0]; ++i) {
        values.push_back(
            volume.values()[((k * stride) * dims[1] + j * stride) * dims[0] + i * stride]);
      }
    }
  }
  auto copy = std::make_unique<double[]>(values.size());
  std::copy(values.begin(), values.end(), copy.get());
  return std::make_shared<const InMemoryVolume>(header, std::move(copy));
}

TEST(VolumeSource, TheExtractorsClosedMeshInTheScenesFrameWithTheDatasSteps) {
  for (const bool mirrored : {false, true}) {
    const auto volume = smallVolume(mirrored);
    VolumeSource source(volume, 2);
    const double* values = volume->values();
    const auto [least, most] = std::minmax_element(values, values + 10 * 9 * 8);
    const SurfaceDescription description = source.describe();
    EXPECT_DOUBLE_EQ(description.fineIsoStep, (*most - *least) / 100.0);
    EXPECT_EQ(source.least(), *least);
    EXPECT_EQ(source.most(), *most);
    // Otsu's threshold, as mcubes mesh --iso otsu takes it.
    const VolumeSource::StartLevel start = source.startLevel();
    EXPECT_EQ(start.level, otsuLevel(volume->header(), values).level);
    EXPECT_GT(start.level, *least);
    EXPECT_LT(start.level, *most);
    EXPECT_NE(start.reason.find("Otsu's threshold"), std::string::npos) << start.reason;
    EXPECT_FALSE(description.animated);
    EXPECT_FALSE(description.positiveIsoOnly);
    EXPECT_EQ(description.grid, SurfaceGrid::volumeVoxels);
    EXPECT_EQ(description.gridLabel, "10x9x8 voxels");
    // Down to every 4th voxel (3x3x2): every 8th would leave one along k.
    EXPECT_EQ(description.coarsestVoxelStride, 4);
    // The box spans 9, 10 and 10.5 units from its least corner; the longest
    // side becomes the scene's 16.
    const double low[3] = {mirrored ? 1.0 : 10.0, 20.0, 30.0};
    const double side[3] = {9.0, 10.0, 10.5};
    EXPECT_DOUBLE_EQ(source.frameScale(), 16.0 / 10.5);
    for (int a = 0; a < 3; ++a) {
      EXPECT_DOUBLE_EQ(source.frameCentre()[a], low[a] + side[a] / 2.0) << a;
    }

    // Inside the box, and cut open by its faces (then capped), at every
    // level of detail (coarser ones first, so that going back to the whole
    // volume finds it as it was), in the whole volume's frame.
    for (const int stride : {2, 4, 1}) {
      for (const double iso : {2.5, 5.0}) {
        const std::string context = (mirrored ? "mirrored, iso " : "iso ") + std::to_string(iso) +
                                    ", every " + std::to_string(stride);
        ViewState state;
        state.iso.start = iso;
        state.voxelStride = stride;
        IndexedMesh mesh;
        std::vector<Rgb> colours;
        const bool closed = source.extract(state, mesh, colours);
        EXPECT_TRUE(colours.empty());
        const IndexedMesh expected =
            meshedVolume(stride == 1 ? *volume : *subsampled(*volume, stride), iso, mirrored);
        EXPECT_GT(expected.faces.size(), stride == 1 ? 100u : 8u) << context;
        EXPECT_EQ(mesh.faces, expected.faces) << context;
        ASSERT_EQ(mesh.vertices.size(), expected.vertices.size()) << context;
        ASSERT_EQ(mesh.normals.size(), expected.normals.size()) << context;
        for (std::size_t v = 0; v < mesh.vertices.size(); ++v) {
          const Point3& p = expected.vertices[v];
          const double scale = source.frameScale();
          const double* centre = source.frameCentre();
          const Point3 framed{static_cast<float>((p.x - centre[0]) * scale),
                              static_cast<float>((p.y - centre[1]) * scale),
                              static_cast<float>((p.z - centre[2]) * scale)};
          ASSERT_TRUE(same(mesh.vertices[v], framed)) << context << ", vertex " << v;
          ASSERT_TRUE(same(mesh.normals[v], expected.normals[v])) << context << ", vertex " << v;
          EXPECT_LE(std::max({std::fabs(framed.x), std::fabs(framed.y), std::fabs(framed.z)}),
                    8.0f + 1e-5f);
        }
        EXPECT_TRUE(closed) << context;
        EXPECT_TRUE(everyEdgeTwice(mesh)) << context;
      }
    }
  }
}

TEST(SurfaceArrays, FacesCornersFlatNormalsAndEveryEdgeOnce) {
  for (const std::int32_t divisions : {16, 37, 256}) {
    const IndexedMesh mesh = sceneMesh(40, divisions);
    // Sixteen bits hold the indices up to 65,536 vertices (256 divisions have more).
    ElementIndices faces;
    buildFaceIndices(mesh, faces);
    EXPECT_EQ(faces.narrow.empty(), mesh.vertices.size() > 0x10000) << divisions;
    const std::vector<std::uint32_t> corners = widened(faces);
    ASSERT_EQ(corners.size(), mesh.faces.size() * 3);
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
      for (int corner = 0; corner < 3; ++corner) {
        ASSERT_EQ(corners[3 * f + corner], mesh.faces[f][corner]);
      }
    }

    std::vector<ShadedVertex> smooth;
    buildSmoothArray(mesh, smooth);
    ASSERT_EQ(smooth.size(), mesh.vertices.size());
    for (std::size_t v = 0; v < smooth.size(); ++v) {
      ASSERT_TRUE(same(smooth[v].position, mesh.vertices[v]) &&
                  same(smooth[v].normal, mesh.normals[v]));
    }

    std::vector<ShadedVertex> flat;
    buildFlatArray(mesh, flat);
    ASSERT_EQ(flat.size(), mesh.faces.size() * 3);
    int outward = 0;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
      for (int corner = 0; corner < 3; ++corner) {
        EXPECT_TRUE(same(flat[3 * f + corner].position, mesh.vertices[mesh.faces[f][corner]]));
        EXPECT_TRUE(same(flat[3 * f + corner].normal, flat[3 * f].normal));
      }
      const Point3& normal = flat[3 * f].normal;
      if (dot(normal, normal) == 0.0) continue;  // a face without area
      EXPECT_NEAR(dot(normal, normal), 1.0, 1e-6);
      // The face's normal and the field's at its corners agree in side.
      outward += dot(normal, mesh.normals[mesh.faces[f][0]]) > 0.0;
    }
    EXPECT_GT(outward, static_cast<int>(mesh.faces.size() * 99 / 100)) << divisions;

    ElementIndices edgeIndices;
    buildEdgeIndices(mesh, edgeIndices);
    const std::vector<std::uint32_t> edges = widened(edgeIndices);
    std::set<std::pair<std::uint32_t, std::uint32_t>> expected;
    for (const auto& face : mesh.faces) {
      for (int corner = 0; corner < 3; ++corner) {
        const std::uint32_t a = face[corner], b = face[(corner + 1) % 3];
        expected.insert({std::min(a, b), std::max(a, b)});
      }
    }
    ASSERT_EQ(edges.size(), expected.size() * 2);
    std::set<std::pair<std::uint32_t, std::uint32_t>> listed;
    for (std::size_t e = 0; e < edges.size(); e += 2) {
      EXPECT_LT(edges[e], edges[e + 1]);
      listed.insert({edges[e], edges[e + 1]});
    }
    EXPECT_EQ(listed, expected);
  }
}

// Counts extractions and hands out one fixed triangle.
class CountingSource : public SurfaceSource {
 public:
  explicit CountingSource(bool animated) : animated_(animated) {}
  SurfaceDescription describe() const override {
    SurfaceDescription description;
    description.animated = animated_;
    return description;
  }
  bool extract(const ViewState&, IndexedMesh& mesh, std::vector<Rgb>&) override {
    ++extractions;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.faces = {{0, 1, 2}};
    mesh.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    return extractions % 2 == 1;  // changes with each extraction
  }
  int extractions = 0;

 private:
  bool animated_;
};

TEST(SurfaceView, ExtractsOnlyWhenTheSurfaceChanges) {
  struct Step {
    const char* change;
    void (*apply)(ViewState&);
    int animatedExtractions;  // running totals
    int stillExtractions;
  };
  const Step steps[] = {
      {"first frame", [](ViewState&) {}, 1, 1},
      {"same state", [](ViewState&) {}, 1, 1},
      {"camera", [](ViewState& s) { s.camera.yawDegrees = 30; }, 1, 1},
      {"lighting", [](ViewState& s) { s.lighting = false; }, 1, 1},
      {"wireframe", [](ViewState& s) { s.wireframe = true; }, 1, 1},
      {"flat normals", [](ViewState& s) { s.smoothNormals = false; }, 1, 1},
      {"clock", [](ViewState& s) { ++s.tick; }, 2, 1},
      {"iso", [](ViewState& s) { ++s.iso.steps; }, 3, 2},
      {"divisions", [](ViewState& s) { s.divisions = 32; }, 4, 3},
      {"level of detail", [](ViewState& s) { s.voxelStride = 2; }, 5, 4},
      {"clipping plane",
       [](ViewState& s) {
         s.clip = {true, 2, {1, 2, 3}, {4, 5, 6}};
       },
       5, 4},
      {"slices", [](ViewState& s) { s.slices = true; }, 5, 4},
      {"caps", [](ViewState& s) { s.caps = false; }, 6, 5},
      {"labels",
       [](ViewState& s) {
         s.labels = {{1, "a", true}, {2, "b", true}};
       },
       7, 6},
      {"same labels", [](ViewState& s) { s.labels[1].name = "c"; }, 7, 6},
      {"a label hidden", [](ViewState& s) { s.labels[1].visible = false; }, 8, 7},
  };
  for (const bool animated : {true, false}) {
    CountingSource source(animated);
    SurfaceView view(source, true);
    ViewState state;
    for (const Step& step : steps) {
      step.apply(state);
      view.update(state);
      EXPECT_EQ(source.extractions, animated ? step.animatedExtractions : step.stillExtractions)
          << step.change << (animated ? " (animated)" : " (still)");
      EXPECT_EQ(view.triangles(), 1u);
      EXPECT_EQ(view.closed(), source.extractions % 2 == 1) << step.change;
      // The arrays of the modes that are on are there, for the new surface.
      EXPECT_EQ(view.smoothVertices().size(), 3u);
      EXPECT_EQ(view.faceIndices().size(), 3u);
      EXPECT_EQ(view.edgeIndices().size(), state.wireframe ? 6u : 0u) << step.change;
      EXPECT_EQ(view.flatVertices().size(), state.smoothNormals ? 0u : 3u) << step.change;
    }
  }
}

// A volume whose full detail takes at least 60 ms, longer than the viewer
// waits, and can be held at a gate; every coarser level is quick. A level
// of every s-th voxel has 8 / s triangles; the full extractions are logged
// by their iso steps.
class GatedSource : public SurfaceSource {
 public:
  SurfaceDescription describe() const override {
    SurfaceDescription description;
    description.grid = SurfaceGrid::volumeVoxels;
    description.coarsestVoxelStride = 8;
    return description;
  }
  bool extract(const ViewState& state, IndexedMesh& mesh, std::vector<Rgb>&) override {
    if (state.voxelStride == 1) {
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      std::unique_lock<std::mutex> lock(mutex_);
      held_ = !open_;
      changed_.notify_all();
      changed_.wait(lock, [this] { return open_; });
      held_ = false;
      fullDetail_.push_back(state.iso.steps);
    }
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    mesh.faces.assign(static_cast<std::size_t>(8 / state.voxelStride), {0, 1, 2});
    return false;
  }
  void setOpen(bool open) {
    const std::lock_guard<std::mutex> lock(mutex_);
    open_ = open;
    changed_.notify_all();
  }
  void waitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return held_; });
  }
  std::vector<std::int32_t> fullDetail() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return fullDetail_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  bool held_ = false;
  std::vector<std::int32_t> fullDetail_;
};

// Updates until the state's own surface is shown, for at most ten seconds.
bool refines(SurfaceView& view, const ViewState& state) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!view.current(state) && std::chrono::steady_clock::now() < end) {
    view.update(state);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return view.current(state);
}

TEST(SurfaceView, ShowsACoarserLevelAtOnceAndTheFullDetailFromAWorker) {
  GatedSource source;
  SurfaceView view(source, true);
  ViewState state;
  view.update(state);  // nothing measured yet: the full detail, waited for
  EXPECT_TRUE(view.current(state));
  EXPECT_EQ(view.triangles(), 8u);

  // Level keys while the worker is held: each shows every 2nd voxel (the
  // full detail took over 50 ms, an eighth of that fits) at once.
  source.setOpen(false);
  for (int key = 1; key <= 3; ++key) {
    ++state.iso.steps;
    view.update(state);
    EXPECT_FALSE(view.current(state)) << key;
    EXPECT_EQ(view.shown().voxelStride, 2) << key;
    EXPECT_EQ(view.triangles(), 4u) << key;
    if (key == 1) source.waitUntilHeld();
  }
  // A drag meanwhile draws the coarser level too, and the full detail that
  // comes during it waits until it ends.
  state.dragging = true;
  ViewState dragged = state;
  dragged.voxelStride = 2;
  source.setOpen(true);
  EXPECT_TRUE(refines(view, dragged));
  while (source.fullDetail().size() < 3) {
    view.update(state);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  view.update(state);
  EXPECT_EQ(view.triangles(), 4u);
  state.dragging = false;
  EXPECT_TRUE(refines(view, state));
  EXPECT_EQ(view.triangles(), 8u);
  // The keys did not queue: the level of the second key was never made.
  EXPECT_EQ(source.fullDetail(), (std::vector<std::int32_t>{0, 1, 3}));

  // Later drags take turns with the full detail without extracting again.
  for (const bool dragging : {true, false, true, false}) {
    state.dragging = dragging;
    view.update(state);
    EXPECT_EQ(view.triangles(), dragging ? 4u : 8u) << dragging;
  }
  EXPECT_EQ(source.fullDetail().size(), 3u);
}

}  // namespace
