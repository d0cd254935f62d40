// Files that tools written elsewhere wrote (data/make_fixtures.py): nibabel
// (NIfTI-1: big-endian, a qform with a flip, scaling, NaN voxels, 4-D), VTK
// (MetaImage attached, compressed and detached; NIfTI-1) and teem's unu
// (NRRD: big-endian gzip detached, oblique; 4-D), and ITK 5.2's MetaImageIO
// a rotated MetaImage (data/make_itk_fixture.cpp): VTK 9.1 writes every
// TransformMatrix as the identity. The expected geometry and values are
// what nibabel, VTK and ITK read from the same files (nibabel 5.0, VTK 9.1,
// ITK 5.2), and for the NRRD files what unu was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"

namespace {

struct Fixture {
  const char* file;
  std::int64_t dims[3];
  double origin[3];
  double axes[3][3];
  bool severalVolumes;
  std::function<double(int)> value;  // of voxel n of the first volume
};

// What the script wrote as 16-bit integers, 4 x 3 x 2, i fastest.
double int16Value(int n) { return n * 37 - 400; }

bool isNifti(const std::string& file) { return file.find(".nii") != std::string::npos; }

const std::vector<Fixture>& fixtures() {
  static const std::vector<double> sformValues = {-1.0,
                                                  -0.9130434989929199,
                                                  -0.8260869383811951,
                                                  -0.739130437374115,
                                                  -0.6521739363670349,
                                                  -0.5652173757553101,
                                                  -0.47826087474823,
                                                  -0.3913043439388275,
                                                  -0.30434781312942505,
                                                  NAN,
                                                  -0.1304347813129425,
                                                  -0.043478261679410934,
                                                  0.043478261679410934,
                                                  0.1304347813129425,
                                                  0.21739129722118378,
                                                  NAN,
                                                  0.3913043439388275,
                                                  0.47826087474823,
                                                  0.5652173757553101,
                                                  0.6521739363670349,
                                                  0.739130437374115,
                                                  0.8260869383811951,
                                                  0.9130434989929199,
                                                  1.0};
  // nibabel's standard.nii.gz: the voxels at 255 (the others are 0).
  static const std::vector<int> standardBright = {1,  4,   7,   15,  20,  25,  27,  29,  31,  35,
                                                  39, 51,  62,  66,  67,  69,  84,  87,  89,  90,
                                                  97, 104, 116, 127, 129, 133, 136, 137, 138, 139};
  static const std::vector<Fixture> all = {
      {"nibabel_qform_4d_big.nii",
       {4, 3, 2},
       {10.0, -20.5, 7.25},
       {{2.0165381364734003e-08, 0.9000000080661523, -1.1999999939503856},
        {-1.9999999999999998, 2.688717515297867e-08, -1.3443587463515469e-08},
        {-3.3608968658788672e-09, -0.3999999979834618, -0.3000000026887175}},
       true,
       [](int n) { return int16Value(n) * 0.5 - 3.0; }},
      {"nibabel_sform_nan.nii.gz",
       {4, 3, 2},
       {-5.0, 2.0, 0.5},
       {{0.0, -1.25, 0.0}, {0.0, 0.0, 0.75}, {3.0, 0.0, 0.0}},
       false,
       [](int n) { return sformValues[n]; }},
      {"standard.nii.gz",
       {4, 5, 7},
       {0.0, 0.0, 0.0},
       {{1.0, 0.0, 0.0}, {0.0, 3.0, 0.0}, {0.0, 0.0, 2.0}},
       false,
       [](int n) {
         return std::count(standardBright.begin(), standardBright.end(), n) ? 255.0 : 0.0;
       }},
      {"vtk.nii",
       {4, 3, 2},
       {1.5, -2.0, 3.25},
       {{0.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 1.25}},
       false,
       int16Value},
      {"vtk.mha",
       {4, 3, 2},
       {1.5, -2.0, 3.25},
       {{0.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 1.25}},
       false,
       int16Value},
      {"vtk_compressed.mha",
       {4, 3, 2},
       {1.5, -2.0, 3.25},
       {{0.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 1.25}},
       false,
       int16Value},
      {"vtk.mhd",
       {4, 3, 2},
       {1.5, -2.0, 3.25},
       {{0.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 1.25}},
       false,
       int16Value},
      // ITK places index (1,0,0) at (1.5,-1.5,3.25), (0,1,0) at (-0.5,-2,3.25)
      // and (0,0,1) at (1.5,-2,4.5) (data/make_itk_fixture.cpp).
      {"itk_rotated.mha",
       {4, 3, 2},
       {1.5, -2.0, 3.25},
       {{0.0, 0.5, 0.0}, {-2.0, 0.0, 0.0}, {0.0, 0.0, 1.25}},
       false,
       int16Value},
      {"unu_oblique_big_gzip.nhdr",
       {4, 3, 2},
       {1.0, 2.0, 3.0},
       {{0.0, 0.5, 0.0}, {-2.0, 0.0, 0.0}, {0.0, 0.25, 1.5}},
       false,
       int16Value},
      {"unu_4d_float.nrrd",
       {4, 3, 2},
       {0.0, 0.0, 0.0},
       {{0.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 1.25}},
       true,
       int16Value},
  };
  return all;
}

TEST(VolumeFiles, ReadAsTheToolsThatWroteThemDo) {
  for (const Fixture& fixture : fixtures()) {
    SCOPED_TRACE(fixture.file);
    const std::string path = std::string(MC_VOLUME_DATA) + "/" + fixture.file;
    if (!MC_VOLUME_READS_NIFTI && isNifti(path)) {
      EXPECT_THROW(openVolume(path), VolumeError);
      continue;
    }
    const std::unique_ptr<VolumeReader> reader = openVolume(path);
    const VolumeHeader& header = reader->header();
    const VolumeGeometry& g = header.geometry;
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(g.dims[a], fixture.dims[a]);
      // NIfTI's matrices are single precision, in the file and in the
      // reference library.
      EXPECT_NEAR(g.origin[a], fixture.origin[a], 1e-6);
      for (int b = 0; b < 3; ++b) EXPECT_NEAR(g.axes[a][b], fixture.axes[a][b], 1e-6);
    }
    if (fixture.severalVolumes) {
      EXPECT_EQ(header.notice, path + " has 2 volumes; meshing the first");
    } else {
      EXPECT_EQ(header.notice, "");
    }
    const std::vector<double> values = readAll(*reader);
    for (std::size_t n = 0; n < values.size(); ++n) {
      const double expected = fixture.value(static_cast<int>(n));
      if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(values[n])) << "voxel " << n;
      } else {
        EXPECT_EQ(values[n], expected) << "voxel " << n;
      }
    }
  }
}

}  // namespace
