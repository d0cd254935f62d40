// The front door as library users call it: what a run finds comes back as
// data, told as it is found and held in the report, and messages name the
// request's fields, or another front end's words for them; a file written
// as its surface is made holds the bytes of the mesh built whole, or is not
// there at all.
#include "mcubes/meshing.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "mcubes/error.h"
#include "mcubes/mesh.h"
#include "tests/support/temporary_directory.h"

namespace {

using Kind = mcubes::Finding::Kind;

// A 6 x 5 x 4 ball, 1 near its centre falling to about 0 at the corners;
// `inverted`, 2 minus that: low inside, high on every face. `nan` voxels
// are NaN.
std::vector<float> ball(bool inverted = false, int nan = 0) {
  std::vector<float> values;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 5; ++j) {
      for (int i = 0; i < 6; ++i) {
        const float v = 1.0f - 0.3f * std::hypot(i - 2.5f, j - 2.0f, k - 1.5f);
        values.push_back(inverted ? 2.0f - v : v);
      }
    }
  }
  for (int n = 0; n < nan; ++n) values[static_cast<std::size_t>(n)] = std::nanf("");
  return values;
}

mcubes::MeshRequest requestOf(const std::vector<float>& values) {
  static const std::int64_t dims[3] = {6, 5, 4};
  mcubes::MeshRequest request;
  request.source =
      mcubes::arraySource(mcubes::packedArray(values.data(), mcubes::VoxelType::Float32, dims));
  return request;
}

TEST(Meshing, FindingsComeAsDataToldAsTheyComeAndHeldInTheReport) {
  const struct {
    const char* name;
    bool inverted;
    int nan;
    double level;
    std::optional<mcubes::Inside> inside;
    std::vector<Kind> expected;
    const char* text;  // in the last finding's message, as the library words it
  } cases[] = {
      {"a level inside the data", false, 0, 0.5, std::nullopt, {}, ""},
      {"NaN voxels", false, 3, 0.5, std::nullopt, {Kind::NonFiniteVoxels}, "3 voxels are NaN"},
      {"a level below the data",
       false,
       0,
       -5,
       std::nullopt,
       {Kind::EveryVoxelInside},
       "choose a level between them"},
      {"a level above the data",
       false,
       0,
       5,
       std::nullopt,
       {Kind::NoVoxelInside},
       "the mesh is empty"},
      {"the box closed around what lies below",
       true,
       0,
       1.3,
       std::nullopt,
       {Kind::BoxAroundCavity},
       "give SurfaceOptions::inside = Inside::Below"},
      {"the same with the inside chosen", true, 0, 1.3, mcubes::Inside::Above, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> values = ball(c.inverted, c.nan);
    mcubes::MeshRequest request = requestOf(values);
    request.surface.level = c.level;
    request.surface.inside = c.inside;
    std::vector<Kind> told;
    request.onFinding = [&](const mcubes::Finding& finding) {
      if (finding.warning) told.push_back(finding.kind);
    };
    const mcubes::MeshResult result = mcubes::meshVolume(request);
    EXPECT_EQ(told, c.expected);
    std::vector<Kind> held;
    for (const mcubes::Finding& finding : result.report.findings) held.push_back(finding.kind);
    EXPECT_EQ(held, c.expected);
    if (!c.expected.empty()) {
      const std::string message = result.report.findings.back().message();
      EXPECT_NE(message.find(c.text), std::string::npos) << message;
      EXPECT_EQ(message.find('{'), std::string::npos) << message;
    }
  }
}

TEST(Meshing, MessagesNameTheFieldsOrAnotherFrontEndsWords) {
  const std::vector<float> values = ball();
  mcubes::MeshRequest request = requestOf(values);
  request.surface.welded = false;
  request.finish.smoothIterations = 5;
  try {
    mcubes::meshVolume(request);
    FAIL() << "smoothing the unwelded mesh was not refused";
  } catch (const mcubes::ArgumentError& error) {
    EXPECT_NE(std::string(error.what()).find("FinishOptions::smoothIterations"), std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("SurfaceOptions::welded = false"), std::string::npos)
        << error.what();
    const std::string flags = error.worded([](const std::string& name) { return "--" + name; });
    EXPECT_NE(flags.find("--smooth"), std::string::npos) << flags;
    EXPECT_NE(flags.find("leave out --unwelded"), std::string::npos) << flags;
  }
  mcubes::MeshRequest file;
  file.source = mcubes::FileSource{"no such file.nrrd"};
  file.surface.level = 1;
  try {
    mcubes::meshVolume(file);
    FAIL() << "a missing file was not refused";
  } catch (const mcubes::FileError& error) {
    EXPECT_EQ(error.file(), "no such file.nrrd");
  }
}

// A 256 x 256 x 24 NRRD of float voxels (several slabs, even on one
// thread) with a disc at level 0.5 that leaves through the first and last
// slices; `snapped`: its values in steps of 1/64, so that many voxels lie
// exactly on the level, the caps' among them. `mirrored`: x reversed, in
// LPS. `voxels` of them written (fewer: a file cut short).
std::string discFile(const std::filesystem::path& dir, const std::string& name, bool snapped,
                     bool mirrored, std::size_t voxels = 256 * 256 * 24) {
  std::vector<float> values;
  for (int k = 0; k < 24; ++k) {
    for (int j = 0; j < 256; ++j) {
      for (int i = 0; i < 256; ++i) {
        const float v = 1.0f - std::hypot(i - 120.5f, j - 131.25f, 0.2f * (k - 11.5f)) / 150.0f;
        values.push_back(snapped ? std::round(v * 64.0f) / 64.0f : v);
      }
    }
  }
  const std::string path = (dir / name).string();
  std::ofstream out(path, std::ios::binary);
  out << "NRRD0004\ntype: float\ndimension: 3\nsizes: 256 256 24\nendian: little\n"
      << "encoding: raw\nspace: left-posterior-superior\nspace directions: ("
      << (mirrored ? "-0.5" : "0.5") << ",0,0) (0,0.75,0) (0,0,1.25)\nspace origin: (3,-2,1)\n\n";
  out.write(reinterpret_cast<const char*>(values.data()),
            static_cast<std::streamsize>(voxels * sizeof(float)));
  return path;
}

// What a folder holds: its files' names.
std::vector<std::string> filesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// Binary STL and PLY go to their file as the surface is made (the file's
// temporary is there while the volume is swept), on one thread or two,
// with voxels on the level or not, the lattice mirrored and moved to RAS or
// not: the bytes and the findings of the mesh built whole and then written.
TEST(Meshing, FilesWrittenAsTheSurfaceIsMadeHoldTheMeshBuiltWhole) {
  const TemporaryDirectory dir;
  const struct {
    const char* name;
    bool snapped, mirrored;
    mcubes::Space space;
  } volumes[] = {{"plain.nrrd", false, false, mcubes::Space::File},
                 {"snapped.nrrd", true, false, mcubes::Space::File},
                 {"snapped mirrored.nrrd", true, true, mcubes::Space::Ras}};
  const struct {
    const char* extension;
    bool normals;
  } formats[] = {{"stl", false}, {"ply", false}, {"ply", true}};
  for (const auto& volume : volumes) {
    const std::string file = discFile(dir.path(), volume.name, volume.snapped, volume.mirrored);
    for (const auto& format : formats) {
      for (const int threads : {1, 2}) {
        SCOPED_TRACE(std::string(volume.name) + ", " + format.extension +
                     (format.normals ? " with normals, " : ", ") + std::to_string(threads) +
                     " threads");
        mcubes::MeshRequest request;
        request.source = mcubes::FileSource{file};
        request.surface.level = 0.5;
        request.surface.normals = format.normals;
        request.surface.threads = threads;
        request.space = volume.space;
        const std::filesystem::path out = dir.path() / "out", whole = dir.path() / "whole";
        std::filesystem::create_directories(out);
        const std::string streamed = (out / "mesh.").string() + format.extension;
        bool writing = true;
        request.surface.progress = [&](std::int64_t, std::int64_t) {
          writing = writing && filesIn(out).size() == 1 && filesIn(out)[0] != "mesh.stl";
          return true;
        };
        const mcubes::MeshReport report = mcubes::meshVolumeToFile(request, streamed);
        EXPECT_TRUE(writing) << "no file was being written while the volume was swept";
        request.surface.progress = {};
        const mcubes::MeshResult result = mcubes::meshVolume(request);
        const std::string written = (whole.string() + ".") + format.extension;
        mcubes::writeMeshes(written, result);
        const std::string bytes = readFile(streamed);
        EXPECT_GT(bytes.size(), 100000u);
        EXPECT_TRUE(bytes == readFile(written)) << "the bytes differ";
        // Voxels on the level are told of.
        EXPECT_EQ(report.findings.empty(), !volume.snapped);
        ASSERT_EQ(report.findings.size(), result.report.findings.size());
        for (std::size_t n = 0; n < report.findings.size(); ++n) {
          EXPECT_EQ(report.findings[n].message(), result.report.findings[n].message());
        }
        std::filesystem::remove_all(out);
      }
    }
  }
}

// A run that stops part way, cancelled or its volume cut short, leaves the
// file it was to replace as it was and nothing beside it.
TEST(Meshing, AFileWrittenAsTheSurfaceIsMadeIsWholeOrNotThere) {
  const TemporaryDirectory dir;
  const std::filesystem::path out = dir.path() / "out";
  const struct {
    const char* name;
    std::size_t voxels;
    int stopAt;  // the progress call that cancels; 0: none
  } cases[] = {{"cancelled", 256 * 256 * 24, 2}, {"cut short", 256 * 256 * 20, 0}};
  for (const auto& c : cases) {
    for (const char* extension : {"stl", "ply"}) {
      SCOPED_TRACE(std::string(c.name) + ", " + extension);
      std::filesystem::create_directories(out);
      const std::string target = (out / "mesh.").string() + extension;
      std::ofstream(target) << "kept";
      mcubes::MeshRequest request;
      request.source = mcubes::FileSource{discFile(dir.path(), "disc.nrrd", true, false, c.voxels)};
      request.surface.level = 0.5;
      int calls = 0;
      request.surface.progress = [&](std::int64_t, std::int64_t) { return ++calls != c.stopAt; };
      bool failed = false;
      try {
        mcubes::meshVolumeToFile(request, target);
      } catch (const mcubes::Cancelled&) {
        failed = c.stopAt > 0;
      } catch (const mcubes::FileError& error) {
        failed = c.stopAt == 0;
        EXPECT_NE(std::string(error.what()).find("disc.nrrd"), std::string::npos) << error.what();
      }
      EXPECT_TRUE(failed);
      EXPECT_EQ(filesIn(out), std::vector<std::string>{std::string("mesh.") + extension});
      EXPECT_EQ(readFile(target), "kept");
      std::filesystem::remove_all(out);
    }
  }
}

// A segmentation of overlapping segments as 3D Slicer writes it: two
// layers side by side in each voxel, value 1 on both.
struct Segment {
  const char* name;
  int layer, value;
  std::array<std::uint8_t, 3> colour;
};
constexpr Segment Segments[] = {{"liver", 0, 1, {230, 26, 26}},
                                {"tumour", 0, 2, {26, 230, 26}},
                                {"vessels", 1, 1, {26, 26, 230}}};
constexpr std::int64_t Dims[3] = {7, 6, 5};

// The value voxel (i, j, k) holds on `layer`: on layer 0 two boxes that
// touch, on layer 1 one across both that reaches the volume's face i = 0.
std::uint8_t layered(int layer, std::int64_t i, std::int64_t j, std::int64_t k) {
  if (layer == 1) return i < 4 && j > 0 && j < 5 && k > 1 ? 1 : 0;
  if (i > 0 && i < 4 && j > 0 && j < 4 && k > 0 && k < 4) return 1;
  return i >= 4 && i < 6 && j > 1 && j < 5 && k > 0 && k < 4 ? 2 : 0;
}

std::string writeLayered() {
  const std::string path = ::testing::TempDir() + "layered_segments.seg.nrrd";
  std::ofstream out(path, std::ios::binary);
  out << "NRRD0004\ntype: unsigned char\ndimension: 4\nspace: right-anterior-superior\n"
         "sizes: 2 7 6 5\nspace directions: none (0.5,0,0) (0,0.75,0) (0,0,2)\n"
         "kinds: list domain domain domain\nencoding: raw\nspace origin: (1,-2,3)\n";
  for (int n = 0; n < 3; ++n) {
    const Segment& s = Segments[n];
    out << "Segment" << n << "_Color:=" << s.colour[0] / 255.0 << " " << s.colour[1] / 255.0 << " "
        << s.colour[2] / 255.0 << "\nSegment" << n << "_LabelValue:=" << s.value << "\nSegment" << n
        << "_Layer:=" << s.layer << "\nSegment" << n << "_Name:=" << s.name << "\n";
  }
  out << "\n";
  for (std::int64_t k = 0; k < Dims[2]; ++k) {
    for (std::int64_t j = 0; j < Dims[1]; ++j) {
      for (std::int64_t i = 0; i < Dims[0]; ++i) {
        for (int layer = 0; layer < 2; ++layer) out.put(static_cast<char>(layered(layer, i, j, k)));
      }
    }
  }
  return path;
}

// A segment's own indicator (1 on its voxels), meshed as a label map.
mcubes::Mesh indicatorMesh(const Segment& segment, const mcubes::Geometry& geometry) {
  std::vector<std::uint8_t> indicator;
  for (std::int64_t k = 0; k < Dims[2]; ++k) {
    for (std::int64_t j = 0; j < Dims[1]; ++j) {
      for (std::int64_t i = 0; i < Dims[0]; ++i) {
        indicator.push_back(layered(segment.layer, i, j, k) == segment.value ? 1 : 0);
      }
    }
  }
  mcubes::MeshRequest request;
  request.source = mcubes::ArraySource{
      mcubes::packedArray(indicator.data(), mcubes::VoxelType::Uint8, Dims), geometry};
  request.labels = std::vector<std::int64_t>{1};
  mcubes::MeshResult result = mcubes::meshVolume(request);
  return result.surfaces.empty() ? mcubes::Mesh{} : std::move(result.surfaces[0].mesh);
}

TEST(Meshing, EachSegmentOfALayeredSegmentationIsItsIndicatorsSurface) {
  const std::string path = writeLayered();
  // Vessels' value is liver's, so vessels are numbered after the largest
  // value, 2.
  const struct {
    const char* name;
    std::vector<std::int64_t> labels;
    std::vector<std::string> names;
    std::vector<std::int64_t> expected;  // numbers, as meshed
    std::vector<int> segments;           // the segment of each
  } cases[] = {
      {"every segment", {}, {}, {1, 2, 3}, {0, 1, 2}},
      {"by name, letter case aside", {}, {"Vessels", "liver"}, {3, 1}, {2, 0}},
      {"by number", {3, 2}, {}, {3, 2}, {2, 1}},
      {"a number no segment has", {3, 8}, {}, {3}, {2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    mcubes::MeshRequest request;
    request.source = mcubes::FileSource{path};
    request.labels = c.labels;
    request.labelNames = c.names;
    const mcubes::MeshResult result = mcubes::meshVolume(request);
    ASSERT_EQ(result.surfaces.size(), c.expected.size());
    bool absent = false;
    for (const mcubes::Finding& finding : result.report.findings) {
      absent = absent || finding.kind == Kind::AbsentLabels;
    }
    EXPECT_EQ(absent, c.labels.size() > c.expected.size());
    for (std::size_t n = 0; n < c.expected.size(); ++n) {
      const mcubes::Surface& surface = result.surfaces[n];
      const Segment& segment = Segments[c.segments[n]];
      EXPECT_EQ(surface.label, c.expected[n]);
      EXPECT_EQ(surface.name, segment.name);
      EXPECT_EQ(surface.colour, segment.colour);
      const mcubes::Mesh own = indicatorMesh(segment, result.report.geometry);
      EXPECT_GT(own.triangleCount(), 0u);
      EXPECT_EQ(surface.mesh.positions, own.positions) << segment.name;
      EXPECT_EQ(surface.mesh.indices, own.indices) << segment.name;
    }
  }
}

}  // namespace
