// Files that tools written elsewhere wrote (data/make_fixtures.py): nibabel
// (NIfTI-1: big-endian, a qform with a flip, scaling, NaN voxels, 4-D;
// NIfTI-2 and MGZ from its own test data; MGH oblique and MGZ uchar; Analyze
// 7.5 big-endian, placed as nibabel places it), h5py (HDF5, chunked, gzip, and
// through an external link), VTK
// (MetaImage attached, compressed and detached; NIfTI-1) and teem's unu
// (NRRD: big-endian gzip detached, oblique; 4-D), and ITK 5.2's MetaImageIO
// a rotated MetaImage (data/make_itk_fixture.cpp): VTK 9.1 writes every
// TransformMatrix as the identity. The expected geometry and values are
// what nibabel, VTK and ITK read from the same files (nibabel 5.0, VTK 9.1,
// ITK 5.2), and for the NRRD files what unu was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"

using namespace mcubes::internal;

namespace {

struct Fixture {
  const char* file;
  std::int64_t dims[3];
  double origin[3];
  double axes[3][3];
  bool severalVolumes;
  std::function<double(int)> value;  // of voxel n of the first volume
  std::string notice = "";           // when not the one about volumes
  double sum = 0.0;                  // of every value, for the files too large to list (no value)
};

const char* const AnalyzeNotice =
    " is Analyze 7.5, which has no orientation: placed as nibabel places it (RAS, x flipped, "
    "centred or at SPM's origin)";

// What the script wrote as 16-bit integers, 4 x 3 x 2, i fastest.
double int16Value(int n) { return n * 37 - 400; }

// Whether a build without the format's library refuses the file.
bool needsLibrary(const std::string& file) {
  return (!MC_VOLUME_READS_NIFTI &&
          (file.find(".nii") != std::string::npos || file.find(".hdr") != std::string::npos)) ||
         (!MC_VOLUME_READS_HDF5 && file.find(".h5") != std::string::npos);
}

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
  // nibabel's test.mgz, the first frame.
  static const std::vector<double> mgzValues = {
      1.2125552892684937,   -0.3938947021961212,  -0.5457803606987,     0.7767974734306335,
      -1.37460458278656,    0.9607812166213989,   2.472317695617676,    -1.0632189512252808,
      -1.6659032106399536,  0.6950469017028809,   -0.4063906967639923,  -0.8433868885040283,
      0.024963781237602234, 0.1625066101551056,   0.44537153840065,     -0.33413931727409363,
      1.213926076889038,    -0.06310973316431046, 1.1895593404769897,   -0.476753830909729,
      -0.9023145437240601,  1.224621057510376,    -1.4357107877731323,  -1.7049814462661743,
      -0.2852415144443512,  1.7060320377349854,   1.0784683227539062,   -0.48489493131637573,
      -1.6068825721740723,  0.44301992654800415,  -1.4546724557876587,  -0.49267125129699707,
      -0.5326108932495117,  0.07929044961929321,  -0.42402181029319763, -1.6182395219802856,
      -0.5081787705421448,  1.4740813970565796,   -0.3283724784851074,  -0.9176854491233826,
      -0.19822542369365692, -0.5882171392440796,  0.021636320278048515, -0.30470070242881775,
      1.4484546184539795,   -0.36023184657096863, -0.20242978632450104, 0.5471951961517334,
      -1.248458981513977,   0.7622026205062866,   -0.6344771385192871,  0.985088050365448,
      1.7314717769622803,   0.37828853726387024,  0.6486783623695374,   0.2309902310371399,
      0.0925094485282898,   0.9103864431381226,   -1.317572832107544,   -0.6455578207969666};
  static const std::vector<Fixture> all = {
      {"example_nifti2.nii.gz",
       {32, 20, 12},
       {117.8551025390625, -35.72294235229492, -7.248798370361328},
       {{-2.0, -6.714715653593746e-19, 8.25548088896093e-18},
        {6.714715653593746e-19, 1.9737114906311035, 0.3232076168060303},
        {9.081024511081715e-18, -0.35552823543548584, 2.171081781387329}},
       true,
       nullptr,
       "",
       3461748.0},
      {"test.mgz",
       {3, 4, 5},
       {-13.0, -11.5, -11.5},
       {{1.0, 2.0, 3.0}, {2.0, 3.0, 1.0}, {3.0, 1.0, 2.0}},
       true,
       [](int n) { return mgzValues[n]; }},
      {"nibabel_oblique.mgh",
       {4, 3, 2},
       {10.0, -20.5, 7.25},
       {{0.0, 0.9000000357627869, -1.2000000476837158},
        {-2.0, 0.0, 0.0},
        {0.0, 0.4000000059604645, 0.30000001192092896}},
       false,
       int16Value},
      {"nibabel_uchar.mgz",
       {4, 3, 2},
       {0.0, 0.0, 0.0},
       {{1.0, 0.0, 0.0}, {0.0, 1.5, 0.0}, {0.0, 0.0, 2.0}},
       false,
       [](int n) { return (static_cast<int>(int16Value(n)) % 200 + 200) % 200 + 20.0; }},
      // Analyze states only the voxel size; nibabel places it x flipped and
      // centred (no SPM origin here).
      {"nibabel_analyze_big.hdr",
       {4, 3, 2},
       {2.25, -2.0, -0.25},
       {{-1.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 0.5}},
       false,
       int16Value,
       AnalyzeNotice},
      {"h5py_fields.h5:/fields/density",
       {4, 3, 2},
       {0.0, 0.0, 0.0},
       {{1.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 0.5}},
       false,
       [](int n) { return n == 9    ? -0.21739129722118378
                          : n == 15 ? NAN
                                    : sformValues[n]; },
       ": its element_size_um attribute spaces the voxels"},
      // The same dataset through an external link beside the file.
      {"h5py_references.h5:/near",
       {4, 3, 2},
       {0.0, 0.0, 0.0},
       {{1.5, 0.0, 0.0}, {0.0, 2.0, 0.0}, {0.0, 0.0, 0.5}},
       false,
       [](int n) { return n == 9    ? -0.21739129722118378
                          : n == 15 ? NAN
                                    : sformValues[n]; },
       ": its element_size_um attribute spaces the voxels"},
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
    if (needsLibrary(path)) {
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
      EXPECT_EQ(header.notice, path + " has 2 volumes; reading the first");
    } else {
      EXPECT_EQ(header.notice, fixture.notice.empty() ? "" : path + fixture.notice);
    }
    const std::vector<double> values = readAll(*reader);
    // Read again in the narrowest form that holds them, the same values (by
    // a second reader of the file, open beside the first).
    const std::vector<double> narrow = readAll(*openVolume(path), 1, true);
    ASSERT_EQ(narrow.size(), values.size());
    for (std::size_t n = 0; n < values.size(); ++n) {
      EXPECT_TRUE(narrow[n] == values[n] || (std::isnan(narrow[n]) && std::isnan(values[n])))
          << "voxel " << n << ", read as " << static_cast<int>(reader->valueForm());
    }
    if (!fixture.value) {
      double sum = 0.0;
      for (const double value : values) sum += value;
      EXPECT_EQ(sum, fixture.sum);
      continue;
    }
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

// The Analyze file with SPM's origin (originator, from 1) set: nibabel
// 5.0's affine for each, the origin used where it lies within twice the
// volume's size, else the centre.
TEST(VolumeFiles, AnalyzeIsPlacedAsNibabelPlacesItAtSpmsOrigin) {
  const std::string data = std::string(MC_VOLUME_DATA) + "/nibabel_analyze_big";
  if (needsLibrary(data + ".hdr")) GTEST_SKIP() << "built without the NIfTI library";
  struct Case {
    std::int16_t origin[3];
    double placed[3];  // where voxel (0,0,0) lies
  };
  for (const Case& c : {Case{{2, 1, 1}, {1.5, 0.0, 0.0}}, Case{{9, 1, 1}, {2.25, -2.0, -0.25}}}) {
    SCOPED_TRACE(c.origin[0]);
    TemporaryDirectory dir;
    std::ifstream in(data + ".hdr", std::ios::binary);
    std::string header((std::istreambuf_iterator<char>(in)), {});
    for (int a = 0; a < 3; ++a) {  // big-endian
      header[std::size_t(253 + 2 * a)] = char(c.origin[a] >> 8);
      header[std::size_t(254 + 2 * a)] = char(c.origin[a] & 0xff);
    }
    std::ofstream(dir.path() / "spm.hdr", std::ios::binary) << header;
    std::filesystem::copy_file(data + ".img", dir.path() / "spm.img");
    const std::unique_ptr<VolumeReader> reader = openVolume((dir.path() / "spm.hdr").string());
    const VolumeHeader& h = reader->header();
    EXPECT_EQ(h.space, WorldSpace::Ras);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(h.geometry.origin[a], c.placed[a], 1e-9) << a;
    EXPECT_EQ(h.geometry.axes[0][0], -1.5);
  }
}

}  // namespace
