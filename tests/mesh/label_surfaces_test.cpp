// Label maps: each label's surface against the iso pipeline on its
// indicator volume.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mesh/labels/label_extract.h"
#include "mesh/pipeline/surface_pipeline.h"
#include "tests/mesh/mesh_checks.h"
#include "volume/in_memory_volume.h"
#include "volume/sample_volumes.h"

using namespace mcubes::internal;

namespace {

struct LabelMap {
  std::string name;
  VolumeHeader header;
  std::vector<double> values;
  std::vector<std::int64_t> asked;  // empty: all
  std::vector<std::int64_t> expected;
  std::vector<std::int64_t> absent;
};

// The sample of touching cells at `size`, with the geometry given.
LabelMap cells(std::string name, std::int64_t size, const double (&axes)[3][3]) {
  const std::unique_ptr<VolumeReader> sample = openSampleVolume("labels", size);
  LabelMap map{std::move(name), sample->header(), {}, {}, {1, 2, 3, 4, 5}, {}};
  std::memcpy(map.header.geometry.axes, axes, sizeof axes);
  map.values.resize(static_cast<std::size_t>(size * size * size));
  sample->readSlices(size, map.values.data());
  return map;
}

std::vector<LabelMap> labelMaps() {
  const double unit[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  const double mirrored[3][3] = {{-1, 0, 0}, {0, 0.5, 0}, {0, 0.1, 2}};
  std::vector<LabelMap> all{cells("touching cells", 19, unit),
                            cells("touching cells, mirrored and sheared", 14, mirrored)};
  // Labels not asked for are the background, also where they touch those
  // asked for.
  LabelMap some = cells("two touching cells of five", 17, unit);
  some.asked = some.expected = {4, 2};
  all.push_back(some);
  // Labels on the volume's faces, one a single voxel, large and negative
  // values, and labels asked for that no voxel holds.
  LabelMap faces{"on the faces",          all[0].header,    {},
                 {-7, 1000000, 0, 3, 12}, {-7, 1000000, 0}, {3, 12}};
  auto& dims = faces.header.geometry.dims;
  dims[0] = 9, dims[1] = 6, dims[2] = 11;
  for (std::int64_t k = 0; k < dims[2]; ++k) {
    for (std::int64_t j = 0; j < dims[1]; ++j) {
      for (std::int64_t i = 0; i < dims[0]; ++i) {
        faces.values.push_back(i < 3 && k > 2 ? -7.0 : (i == 6 && j == 2 && k == 5) ? 1e6 : 0.0);
      }
    }
  }
  all.push_back(faces);
  return all;
}

}  // namespace

TEST(LabelSurfaces, EachLabelIsItsIndicatorsSurfaceFromOnePass) {
  for (const LabelMap& map : labelMaps()) {
    const VolumeGeometry& g = map.header.geometry;
    for (const int threads : {1, 2, 3, 7}) {
      for (const std::int64_t slices : {2, 5, 1000}) {
        SurfaceOptions options;
        options.threads = threads;
        options.normals = threads >= 3;
        options.sliceMemory = slices * g.dims[0] * g.dims[1] * 8;
        InMemoryVolume reader(map.header, copyOf(map.values));
        SurfaceReport report;
        const std::vector<LabelSurface> surfaces =
            labelSurfaces(reader, map.asked, options, report);
        const std::string where = map.name + ", " + std::to_string(threads) + " threads, " +
                                  std::to_string(slices) + " slices";
        EXPECT_EQ(report.absentLabels, map.absent) << where;
        ASSERT_EQ(surfaces.size(), map.expected.size()) << where;
        for (std::size_t n = 0; n < surfaces.size(); ++n) {
          const LabelSurface& surface = surfaces[n];
          ASSERT_EQ(surface.label, map.expected[n]) << where;
          std::vector<double> indicator;
          for (const double v : map.values) {
            indicator.push_back(v == static_cast<double>(surface.label) ? 1.0 : 0.0);
          }
          SurfaceOptions level = options;
          level.isoLevel = IndicatorLevel;
          SurfaceReport ignored;
          EXPECT_TRUE(sameMesh(volumeSurface(g, indicator.data(), level, ignored), surface.mesh))
              << where << ", label " << surface.label;
          EXPECT_TRUE(closedAndConsistent(surface.mesh.faces)) << where << ", " << surface.label;
          EXPECT_GT(signedVolume6(surface.mesh.vertices, surface.mesh.faces), 0) << where;
        }
      }
    }
  }
  // Anything but integers is no label map.
  LabelMap map = labelMaps()[0];
  map.values[777] = 2.5;
  InMemoryVolume reader(map.header, copyOf(map.values));
  SurfaceReport report;
  EXPECT_THROW(labelSurfaces(reader, {}, SurfaceOptions{}, report), VolumeError);
}
