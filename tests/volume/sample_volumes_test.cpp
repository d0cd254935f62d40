// The sample volumes written as NRRD and read back by the project's own
// reader: the same values at the same places, and each sample's features.
#include "volume/sample_volumes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <utility>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/nrrd_writer.h"

using namespace mcubes::internal;

namespace {

// The values of a cube of `size` voxels a side, looked up by index.
struct Voxels {
  std::int64_t size;
  std::vector<double> values;
  double at(std::int64_t i, std::int64_t j, std::int64_t k) const {
    return values[static_cast<std::size_t>((k * size + j) * size + i)];
  }
  double centre() const { return at(size / 2, size / 2, size / 2); }
};

std::set<std::pair<int, int>> touchingLabels(const Voxels& v) {
  std::set<std::pair<int, int>> pairs;
  for (std::int64_t k = 0; k + 1 < v.size; ++k) {
    for (std::int64_t j = 0; j + 1 < v.size; ++j) {
      for (std::int64_t i = 0; i + 1 < v.size; ++i) {
        const auto a = static_cast<int>(v.at(i, j, k));
        for (const double neighbour : {v.at(i + 1, j, k), v.at(i, j + 1, k), v.at(i, j, k + 1)}) {
          const auto b = static_cast<int>(neighbour);
          if (a != 0 && b != 0 && a != b) pairs.insert({std::min(a, b), std::max(a, b)});
        }
      }
    }
  }
  return pairs;
}

struct Case {
  const char* name;
  std::int64_t size;  // odd: a voxel at the centre
  NrrdEncoding encoding;
  VoxelType type;
  std::function<void(const Voxels&)> features;
};

TEST(SampleVolumes, WrittenAsNrrdReadBackWithTheirValuesGeometryAndFeatures) {
  const double corner = std::sqrt(3.0);
  const std::vector<Case> cases = {
      // VTK's default Wavelet: extent -10..10, 260 at the centre, data range
      // 37.35 to 276.83 as VTK reports it.
      {"wavelet", 21, NrrdEncoding::Raw, VoxelType::Float32,
       [](const Voxels& v) {
         EXPECT_EQ(v.centre(), 260.0);
         EXPECT_NEAR(*std::min_element(v.values.begin(), v.values.end()), 37.3531, 1e-3);
         EXPECT_NEAR(*std::max_element(v.values.begin(), v.values.end()), 276.829, 1e-3);
       }},
      // (1 - sin 0 + 0.25 (1 + cos 12 pi)) / 2.5 at the centre, within [0, 1].
      {"marschner-lobb", 41, NrrdEncoding::Gzip, VoxelType::Float32,
       [](const Voxels& v) {
         EXPECT_EQ(v.centre(), static_cast<float>(0.6));
         EXPECT_GE(*std::min_element(v.values.begin(), v.values.end()), 0.0);
         EXPECT_LE(*std::max_element(v.values.begin(), v.values.end()), 1.0);
       }},
      {"sphere", 11, NrrdEncoding::Raw, VoxelType::Float32,
       [corner](const Voxels& v) {
         EXPECT_EQ(v.centre(), static_cast<float>(-0.6));
         EXPECT_EQ(v.at(0, 0, 0), static_cast<float>(corner - 0.6));
       }},
      // Positive in the hole, -0.25 on the ring (x = 0.6 is voxel 8).
      {"torus", 11, NrrdEncoding::Gzip, VoxelType::Float32,
       [](const Voxels& v) {
         EXPECT_NEAR(v.centre(), 0.35, 1e-6);
         EXPECT_NEAR(v.at(8, 5, 5), -0.25, 1e-6);
         EXPECT_GT(v.at(0, 0, 0), 0.0);
       }},
      {"gyroid", 33, NrrdEncoding::Raw, VoxelType::Float32,
       [](const Voxels& v) {
         EXPECT_EQ(v.centre(), 0.0);
         EXPECT_LT(*std::min_element(v.values.begin(), v.values.end()), -1.0);
         EXPECT_GT(*std::max_element(v.values.begin(), v.values.end()), 1.0);
       }},
      // Whole labels 0 to 5, every cell there, the centre cell touching the
      // four around it and those touching one another.
      {"labels", 33, NrrdEncoding::Gzip, VoxelType::Uint8,
       [](const Voxels& v) {
         std::set<double> labels(v.values.begin(), v.values.end());
         EXPECT_EQ(labels, (std::set<double>{0, 1, 2, 3, 4, 5}));
         EXPECT_EQ(v.at(0, 0, 0), 0.0);
         EXPECT_EQ(v.centre(), 1.0);
         const std::set<std::pair<int, int>> touching = touchingLabels(v);
         for (int a = 1; a <= 5; ++a) {
           for (int b = a + 1; b <= 5; ++b) EXPECT_TRUE(touching.count({a, b})) << a << "-" << b;
         }
       }},
  };
  ASSERT_EQ(cases.size(), sampleVolumes().size());
  const TemporaryDirectory directory;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (directory.path() / (std::string(c.name) + ".nrrd")).string();
    std::unique_ptr<VolumeReader> sample = openSampleVolume(c.name, c.size);
    ASSERT_NE(sample, nullptr);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(writeNrrd(file, *sample, c.encoding));
    ASSERT_EQ(std::fclose(file), 0);

    const std::unique_ptr<VolumeReader> expected = openSampleVolume(c.name, c.size);
    const std::unique_ptr<VolumeReader> read = openVolume(path);
    const VolumeHeader& want = expected->header();
    const VolumeHeader& got = read->header();
    EXPECT_EQ(got.type, c.type);
    EXPECT_EQ(got.type, want.type);
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(got.geometry.dims[a], c.size);
      EXPECT_EQ(got.geometry.origin[a], want.geometry.origin[a]);
      for (int b = 0; b < 3; ++b) EXPECT_EQ(got.geometry.axes[a][b], want.geometry.axes[a][b]);
    }
    const Voxels voxels{c.size, readAll(*read, 4)};
    EXPECT_EQ(voxels.values, readAll(*expected));
    c.features(voxels);
  }
}

}  // namespace
