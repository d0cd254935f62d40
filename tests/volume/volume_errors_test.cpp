// Bad input, one case a row: every failure is a VolumeError of one line
// that names the file at fault and says what is wrong, whether it shows
// when the file is opened or when its voxels are read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"

using namespace mcubes::internal;

namespace {

struct BadInput {
  const char* name;
  std::string open;                                        // the file opened
  std::vector<std::pair<std::string, std::string>> files;  // written first
  std::vector<std::string> said;                           // in the message
  std::string blamed = "";  // the file the message names, when not `open`
  std::optional<RawLayout> raw = std::nullopt;
  // Refused for another reason by builds without the format's library
  // (that message's words).
  const char* library = nullptr;
};

const char* const Nifti = "built without the NIfTI library";
const char* const Hdf5 = "built without the HDF5 library";
const char* const Dicom = "built without GDCM";

// A fixture's bytes (data/).
std::string fixture(const std::string& name) {
  std::ifstream in(std::string(MC_VOLUME_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

const std::string Uchar24 = std::string(24, '\x07');

std::string nrrd(const std::string& fields, const std::string& data = "\n" + Uchar24) {
  return "NRRD0004\n" + fields + data;
}

const std::string Cube = "type: uchar\ndimension: 3\nsizes: 4 3 2\nencoding: raw\n";

std::string meta(const std::string& fields, const std::string& data = "LOCAL") {
  return "ObjectType = Image\nNDims = 3\n" + fields + "ElementDataFile = " + data + "\n";
}

// A NIfTI-1 header; with `srow`, an sform (code 1) of those rows.
std::string nifti(int dim0, int nx, int datatype, int sizeofHeader = 348,
                  const float (*srow)[4] = nullptr) {
  std::string header(352, '\0');
  const auto put16 = [&](std::size_t at, int v) {
    header[at] = static_cast<char>(v & 0xff);
    header[at + 1] = static_cast<char>((v >> 8) & 0xff);
  };
  if (srow) {
    put16(254, 1);                                        // sform_code
    std::memcpy(&header[280], srow, 3 * sizeof srow[0]);  // this machine is little-endian
  }
  put16(0, sizeofHeader & 0xffff);
  put16(2, sizeofHeader >> 16);
  const int dims[8] = {dim0, nx, 3, 2, 1, 1, 1, 1};
  for (int d = 0; d < 8; ++d) put16(40 + 2 * d, dims[d]);
  put16(70, datatype);
  put16(72, 8);
  header[108 + 2] = '\xb0';  // vox_offset 352.0f: 0x43b00000
  header[108 + 3] = '\x43';
  std::memcpy(&header[344], "n+1", 4);
  return header;
}

// An MGH header of 4 x 3 x 2 voxels of FreeSurfer's `type`, oriented by
// the identity.
std::string mgh(int version, int type) {
  std::string header(284, '\0');
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int b = 0; b < 4; ++b) header[at + b] = static_cast<char>((v >> (24 - 8 * b)) & 0xff);
  };
  put32(0, static_cast<std::uint32_t>(version));
  const std::uint32_t sizes[4] = {4, 3, 2, 1};
  for (int a = 0; a < 4; ++a) put32(4 + 4 * a, sizes[a]);
  put32(20, static_cast<std::uint32_t>(type));
  header[29] = 1;  // goodRASflag
  const std::uint32_t one = 0x3f800000;
  for (int a = 0; a < 3; ++a) put32(30 + 4 * a, one);
  for (int a = 0; a < 3; ++a) put32(42 + 16 * a, one);
  return header;
}

// Rows of an sform whose third axis is the sum of the first two.
const float SingularRows[3][4] = {{2, 0, 2, 0}, {0, 3, 3, 0}, {0, 0, 0, 0}};

std::vector<BadInput> badInputs() {
  const std::string gzipData = compressed(Uchar24, true);
  std::string corrupt = gzipData;
  corrupt[12] = static_cast<char>(corrupt[12] ^ 0x5a);
  corrupt[13] = static_cast<char>(corrupt[13] ^ 0xa5);
  const std::string niftiHeader = nifti(3, 4, 2);
  // NIfTI-1's header without its magic is Analyze 7.5's, whose voxels
  // start the .img (vox_offset 0).
  std::string analyze = niftiHeader.substr(0, 348);
  analyze.replace(344, 4, 4, '\0');
  analyze.replace(108, 4, 4, '\0');
  const std::string hdf5 = fixture("h5py_fields.h5");
  const std::string references = fixture("h5py_references.h5");
  // Bytes after the voxels that deflate cannot shrink much, so that reading
  // the voxels stops far before the stream's end; then the stream with its
  // check value wrong, and with a byte corrupt past the voxels.
  std::string after(5000, '\0');
  for (std::size_t n = 0, state = 1; n < after.size(); ++n) {
    state = state * 1103515245u + 12345u;
    after[n] = static_cast<char>(state >> 16);
  }
  const auto badCheck = [](std::string stream) {
    stream[stream.size() - 8] = static_cast<char>(stream[stream.size() - 8] ^ 0xff);
    return stream;
  };
  const auto badLate = [](std::string stream) {
    stream[stream.size() * 3 / 4] = static_cast<char>(stream[stream.size() * 3 / 4] ^ 0x5a);
    return stream;
  };
  const std::string gzipCube = "type: uchar\ndimension: 3\nsizes: 4 3 2\nencoding: gzip\n";
  return {
      {"missing file", "absent.nrrd", {}, {"no such file"}},
      // A folder is read as DICOM files, whatever its name.
      {"a folder without DICOM files",
       "folder.nrrd",
       {},
       {"holds no DICOM image series"},
       "",
       {},
       Dicom},
      {"unknown extension",
       "volume.vtk",
       {{"volume.vtk", "x"}},
       {"extension", ".nrrd", ".mhd", "{dims}"}},
      {"not NRRD", "a.nrrd", {{"a.nrrd", "P5\n4 3\n255\n" + Uchar24}}, {"not a NRRD file"}},
      {"no sizes",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 3\nencoding: raw\n")}},
       {"no 'sizes'"}},
      {"line without a colon",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "spacings 1 1 1\n")}},
       {"line 6", "'spacings 1 1 1'"}},
      {"two dimensions",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 2\nsizes: 4 6\nencoding: raw\n")}},
       {"dimension 2"}},
      {"a size of 0",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 3\nsizes: 4 0 2\nencoding: raw\n")}},
       {"axis 1 has size 0"}},
      {"sizes that overflow",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: double\ndimension: 3\nsizes: 4294967296 4294967296 2\nencoding: "
                        "raw\nendian: little\n")}},
       {"multiply"}},
      {"unsupported type",
       "a.nrrd",
       {{"a.nrrd",
         nrrd("type: long long\ndimension: 3\nsizes: 4 3 2\nencoding: raw\nendian: little\n")}},
       {"'long long' is not supported", "double"}},
      {"no byte order",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: short\ndimension: 3\nsizes: 4 3 2\nencoding: raw\n")}},
       {"no 'endian'"}},
      {"text encoding",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 3\nsizes: 4 3 2\nencoding: ascii\n")}},
       {"encoding 'ascii'", "raw or gzip"}},
      {"a vector per voxel",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 4\nsizes: 3 4 3 2\nkinds: vector domain domain "
                        "domain\nencoding: raw\n",
                        "\n" + Uchar24 + Uchar24 + Uchar24)}},
       {"axis 0", "not a scalar volume"}},
      {"an origin of NaN",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "space dimension: 3\nspace origin: (nan,0,0)\n")}},
       {"not a finite number", "'space origin' field"}},
      // A singular index-to-world mapping: a flat volume, whose surfaces
      // enclose nothing.
      {"an axis of length 0",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "space dimension: 3\nspace directions: (1,0,0) (0,0,0) (0,0,1)\n")}},
       {"axis 1", "'space directions' field", "length 0"}},
      {"parallel axes",
       "a.nrrd",
       {{"a.nrrd",
         nrrd(Cube + "space dimension: 3\nspace directions: (1,0,0) (-2,0,0) (0,0,1)\n")}},
       {"'space directions' field", "parallel"}},
      {"axes in one plane",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "space dimension: 3\nspace directions: (1,0,0) (0,1,0) (1,1,0)\n")}},
       {"'space directions' field", "one plane"}},
      {"an infinite axis",
       "a.nrrd",
       {{"a.nrrd",
         nrrd(Cube + "space dimension: 3\nspace directions: (1,0,0) (0,inf,0) (0,0,1)\n")}},
       {"axis 1", "'space directions' field", "not a finite number"}},
      {"a spacing of 0",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "spacings: 1 1 0\n")}},
       {"axis 2", "'spacings' field", "length 0"}},
      {"truncated raw data",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube, "\n" + Uchar24.substr(0, 10))}},
       {"holds 10 bytes", "asks for 24"}},
      {"truncated gzip data",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 3\nsizes: 4 3 2\nencoding: gzip\n",
                        "\n" + gzipData.substr(0, gzipData.size() / 2))}},
       {"ends early"}},
      {"truncated data after a line skip",
       "a.nrrd",
       {{"a.nrrd", nrrd(Cube + "line skip: 1\n", "\nskipped\n" + Uchar24.substr(0, 10))}},
       {"voxels end after 10 of the 24 bytes"}},
      {"corrupt gzip data",
       "a.nrrd",
       {{"a.nrrd",
         nrrd("type: uchar\ndimension: 3\nsizes: 4 3 2\nencoding: gzip\n", "\n" + corrupt)}},
       {"corrupt"}},
      {"corrupt gzip data after the voxels",
       "a.nrrd",
       {{"a.nrrd", nrrd(gzipCube, "\n" + badLate(compressed(Uchar24 + after, true)))}},
       {"compressed data is corrupt"}},
      {"gzip data with a wrong check value",
       "a.nrrd",
       {{"a.nrrd", nrrd(gzipCube, "\n" + badCheck(compressed(Uchar24 + after, true)))}},
       {"compressed data is corrupt"}},
      // 512 GiB claimed by 24 bytes: refused before anything is allocated.
      {"gzip data far too small for its sizes",
       "a.nrrd",
       {{"a.nrrd", nrrd("type: uchar\ndimension: 3\nsizes: 8192 8192 8192\nencoding: gzip\n",
                        "\n" + gzipData)}},
       {"bytes of compressed data, too few for the 549755813888 bytes"}},
      {"missing data file",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: a.raw\n", "")}},
       {"no such file"},
       "a.raw"},
      {"short data file",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: a.raw\n", "")}, {"a.raw", "abc"}},
       {"holds 3 bytes", "a.nhdr asks for 24"},
       "a.raw"},
      {"an empty data file field",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: \n", "")}},
       {"names no file"}},
      // A data file's name is the header's bytes: shown escaped, never raw.
      {"a data file named with control and non-ASCII bytes",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: z\x1b[31m\xe9\x7f.raw\n", "")}},
       {"no such file"},
       "z\\x1b[31m\\xe9\\x7f.raw"},
      {"a data file outside the header's folder",
       "sub/a.nhdr",
       {{"sub/a.nhdr", nrrd(Cube + "data file: ../a.raw\n", "")}, {"a.raw", Uchar24}},
       {"'../a.raw', lies outside its folder", "{outside_references}"}},
      {"a listed data file outside the header's folder",
       "sub/a.nhdr",
       {{"sub/a.nhdr", nrrd(Cube + "data file: LIST\nz0.raw\n../a.raw\n", "")},
        {"sub/z0.raw", Uchar24.substr(12)},
        {"a.raw", Uchar24.substr(12)}},
       {"'../a.raw', lies outside its folder"}},
      {"a data file reached through a link out of the folder",
       "sub/a.nhdr",
       {{"sub/a.nhdr", nrrd(Cube + "data file: up/a.raw\n", "")}, {"a.raw", Uchar24}},
       {"'up/a.raw', lies outside its folder"}},
      {"a device as data file",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: /dev/zero\n", "")}},
       {"'/dev/zero', is a device or pipe"}},
      {"MetaImage data file outside the header's folder",
       "sub/a.mhd",
       {{"sub/a.mhd", meta("DimSize = 4 3 2\nElementType = MET_UCHAR\n", "../a.raw")},
        {"a.raw", Uchar24}},
       {"'../a.raw', lies outside its folder"}},
      {"detached header without data",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube, "")}},
       {"names no data file"}},
      {"too few listed files",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: LIST\nz0.raw\n", "")}},
       {"names 1 data files", "ask for 2"}},
      {"a bad file pattern",
       "a.nhdr",
       {{"a.nhdr", nrrd(Cube + "data file: z%s.raw 0 1 1\n", "")}},
       {"'z%s.raw'"}},
      {"MetaImage without DimSize",
       "a.mha",
       {{"a.mha", meta("ElementType = MET_UCHAR\n") + Uchar24}},
       {"no DimSize"}},
      {"MetaImage without data line",
       "a.mha",
       {{"a.mha", "ObjectType = Image\nNDims = 3\n"}},
       {"no ElementDataFile"}},
      {"MetaImage 64-bit integers",
       "a.mha",
       {{"a.mha", meta("DimSize = 4 3 2\nElementType = MET_LONG_LONG\n") + Uchar24}},
       {"MET_LONG_LONG", "not supported"}},
      {"MetaImage two dimensions",
       "a.mha",
       {{"a.mha",
         "NDims = 2\nDimSize = 4 6\nElementType = MET_UCHAR\nElementDataFile = LOCAL\n" + Uchar24}},
       {"NDims 2"}},
      {"MetaImage colour",
       "a.mha",
       {{"a.mha", meta("DimSize = 4 3 2\nElementNumberOfChannels = 3\nElementType = MET_UCHAR\n") +
                      Uchar24}},
       {"3 values per voxel"}},
      {"MetaImage wrong DimSize count",
       "a.mha",
       {{"a.mha", meta("DimSize = 4 3\nElementType = MET_UCHAR\n") + Uchar24}},
       {"DimSize has 2 sizes"}},
      {"MetaImage parallel axes",
       "a.mha",
       {{"a.mha", meta("DimSize = 4 3 2\nElementType = MET_UCHAR\n"
                       "TransformMatrix = 1 0 0 0.5 0 0 0 0 1\n") +
                      Uchar24}},
       {"TransformMatrix", "parallel"}},
      {"MetaImage a spacing of 0",
       "a.mha",
       {{"a.mha",
         meta("DimSize = 4 3 2\nElementType = MET_UCHAR\nElementSpacing = 0 1 1\n") + Uchar24}},
       {"axis 0", "ElementSpacing", "length 0"}},
      {"MetaImage truncated data",
       "a.mhd",
       {{"a.mhd", meta("DimSize = 4 3 2\nElementType = MET_UCHAR\n", "a.raw")},
        {"a.raw", Uchar24.substr(1)}},
       {"holds 23 bytes", "asks for 24"},
       "a.raw"},
      {"MetaImage too few listed files",
       "a.mhd",
       {{"a.mhd", meta("DimSize = 4 3 2\nElementType = MET_UCHAR\n", "LIST\nz0.raw")},
        {"z0.raw", Uchar24.substr(12)}},
       {"names 1 data files", "ask for 2"}},
      {"MetaImage corrupt compression",
       "a.mha",
       {{"a.mha",
         meta("DimSize = 4 3 2\nElementType = MET_UCHAR\nCompressedData = True\n") + corrupt}},
       {"corrupt"}},
      {"NIfTI cut short",
       "a.nii",
       {{"a.nii", niftiHeader.substr(0, 100)}},
       {"too short", "100 of 348"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI-2 without its magic",
       "a.nii",
       {{"a.nii", nifti(3, 4, 2, 540) + std::string(188, '\0') + Uchar24}},
       {"no NIfTI-2 magic"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI no header",
       "a.nii",
       {{"a.nii", std::string(400, 'x')}},
       {"sizeof_hdr"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI RGB",
       "a.nii",
       {{"a.nii", nifti(3, 4, 128) + Uchar24}},
       {"datatype 128"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI a size of 0",
       "a.nii",
       {{"a.nii", nifti(3, 0, 2) + Uchar24}},
       {"axis 0 has size 0"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI two dimensions",
       "a.nii",
       {{"a.nii", nifti(2, 4, 2) + Uchar24}},
       {"2 dimensions"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI flat sform",
       "a.nii",
       {{"a.nii", nifti(3, 4, 2, 348, SingularRows) + Uchar24}},
       {"sform", "one plane"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI truncated data",
       "a.nii",
       {{"a.nii", niftiHeader + Uchar24.substr(0, 20)}},
       {"holds 20 bytes"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI corrupt gzip",
       "a.nii.gz",
       {{"a.nii.gz", compressed(niftiHeader + Uchar24, true).substr(0, 30) + std::string(20, 'z')}},
       {"compressed data"},
       "",
       std::nullopt,
       Nifti},
      {"NIfTI gzip corrupt after the voxels",
       "a.nii.gz",
       {{"a.nii.gz", badLate(compressed(niftiHeader + Uchar24 + after, true))}},
       {"compressed data is corrupt"},
       "",
       std::nullopt,
       Nifti},
      {"Analyze header named .nii",
       "a.nii",
       {{"a.nii", analyze + Uchar24}},
       {"no NIfTI-1 magic", ".hdr"},
       "",
       std::nullopt,
       Nifti},
      {"Analyze without its .img",
       "a.hdr",
       {{"a.hdr", analyze}},
       {"no such file"},
       "a.img",
       std::nullopt,
       Nifti},
      {"Analyze .img cut short",
       "a.hdr",
       {{"a.hdr", analyze}, {"a.img", Uchar24.substr(0, 20)}},
       {"holds 20 bytes", "a.hdr asks for 24"},
       "a.img",
       std::nullopt,
       Nifti},
      {"single-file NIfTI named .hdr",
       "a.hdr",
       {{"a.hdr", niftiHeader + Uchar24}},
       {"single .nii file", "name it .nii"},
       "",
       std::nullopt,
       Nifti},
      {"MGH cut short",
       "a.mgh",
       {{"a.mgh", mgh(1, 0).substr(0, 100)}},
       {"too short", "100 of 284"}},
      {"MGH version 2", "a.mgh", {{"a.mgh", mgh(2, 0) + Uchar24}}, {"MGH version is 2"}},
      {"MGH 64-bit voxels", "a.mgh", {{"a.mgh", mgh(1, 2) + Uchar24}}, {"voxel type 2"}},
      {"MGH truncated data", "a.mgh", {{"a.mgh", mgh(1, 0) + Uchar24.substr(0, 5)}}, {"holds"}},
      // Read only as far as the voxels, before the stream's end.
      {"MGZ with a wrong check value",
       "a.mgz",
       {{"a.mgz", badCheck(compressed(mgh(1, 0) + Uchar24 + after, true))}},
       {"compressed data is corrupt"}},
      {"MGZ truncated",
       "a.mgz",
       {{"a.mgz", compressed(mgh(1, 0) + Uchar24, true).substr(0, 40)}},
       {"ends early"}},
      {"HDF5 dataset missing",
       "a.h5:/fields/pressure",
       {{"a.h5", hdf5}},
       {"holds no dataset '/fields/pressure'", "a.h5:/path",
        "/fields/count (2x3x4 int64), /fields/density (2x3x4 float32)"},
       "a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 2-D dataset",
       "a.h5:/plane",
       {{"a.h5", hdf5}},
       {"'/plane' has 2 dimensions", "/fields/density (2x3x4 float32)"},
       "a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 several 3-D datasets, none named",
       "a.hdf5",
       {{"a.hdf5", hdf5}},
       {"several 3-D datasets", "/fields/count", "/fields/density"},
       "",
       std::nullopt,
       Hdf5},
      {"HDF5 64-bit integers",
       "a.he5:fields/count",
       {{"a.he5", hdf5}},
       {"int64", "not supported"},
       "a.he5",
       std::nullopt,
       Hdf5},
      {"HDF5 voxel size of 0",
       "a.h5:/odd/spacing",
       {{"a.h5", hdf5}},
       {"element_size_um attribute of its dataset '/odd/spacing' is not three positive numbers",
        "{spacing}"},
       "a.h5",
       std::nullopt,
       Hdf5},
      // Voxels in other files (make_fixtures.py): above the file's folder, on
      // a device, or missing.
      {"HDF5 external link outside the file's folder",
       "sub/a.h5:/far",
       {{"sub/a.h5", references}, {"b.h5", hdf5}},
       {"'../b.h5', lies outside its folder", "{outside_references}"},
       "sub/a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 external link to a missing file",
       "sub/a.h5:/near",
       {{"sub/a.h5", references}},
       {"'h5py_fields.h5', is not there"},
       "sub/a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 external storage outside the file's folder",
       "sub/a.h5:/stored",
       {{"sub/a.h5", references}, {"raw.bin", Uchar24}},
       {"'../raw.bin', lies outside its folder"},
       "sub/a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 external storage on a device",
       "sub/a.h5:/device",
       {{"sub/a.h5", references}},
       {"'/dev/zero', is a device or pipe"},
       "sub/a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 virtual dataset from outside the file's folder",
       "sub/a.h5:/virtual",
       {{"sub/a.h5", references}, {"b.h5", hdf5}},
       {"'../b.h5', lies outside its folder"},
       "sub/a.h5",
       std::nullopt,
       Hdf5},
      {"HDF5 dataset of 512^3 voxels never written",
       "a.h5:/unwritten",
       {{"a.h5", references}},
       {"its dataset '/unwritten' stores 0 bytes for the 134217728 bytes of its voxels"},
       "a.h5",
       std::nullopt,
       Hdf5},
      {"not HDF5",
       "a.h5:/x",
       {{"a.h5", Uchar24}},
       {"not an HDF5 file"},
       "a.h5",
       std::nullopt,
       Hdf5},
      {"raw size mismatch",
       "a.raw",
       {{"a.raw", Uchar24}},
       {"holds 24 bytes", "4 x 3 x 3 voxels of uint16 make 72", "{type}"},
       "",
       RawLayout{{4, 3, 3}, VoxelType::Uint16}},
      {"raw size of 0",
       "a.raw",
       {{"a.raw", Uchar24}},
       {"sizes 4 x 0 x 2 hold one below 1"},
       "",
       RawLayout{{4, 0, 2}, VoxelType::Uint8}},
      {"raw spacing of 0",
       "a.raw",
       {{"a.raw", Uchar24}},
       {"{spacing}"},
       "",
       RawLayout{{4, 3, 2}, VoxelType::Uint8, false, {{1.0, 0.0, 1.0}}}},
  };
}

TEST(VolumeErrors, SayWhichFileWhatIsWrongAndWhatToDo) {
  for (const BadInput& input : badInputs()) {
    SCOPED_TRACE(input.name);
    TemporaryDirectory dir;
    std::filesystem::create_directory(dir.path() / "folder.nrrd");
    // A folder for headers whose files lie above it, and a link out of it.
    std::filesystem::create_directory(dir.path() / "sub");
    std::filesystem::create_directory_symlink("..", dir.path() / "sub" / "up");
    for (const auto& [name, bytes] : input.files) writeBytes(dir.path() / name, bytes);
    const std::string path = (dir.path() / input.open).string();
    std::string message;
    try {
      readAll(*openVolume(path, input.raw));
    } catch (const VolumeError& error) {
      message = error.what();
    }
    if (message.empty()) {
      ADD_FAILURE() << "no error";
      continue;
    }
    const std::string blamed =
        (dir.path() / (input.blamed.empty() ? input.open : input.blamed)).string();
    EXPECT_EQ(message.rfind(blamed + ": ", 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    // Printable ASCII throughout: names and text from files come escaped.
    EXPECT_TRUE(std::all_of(message.begin(), message.end(), [](char c) {
      return c >= 0x20 && c < 0x7f;
    })) << message;
    // "what is wrong; what to do"
    EXPECT_NE(message.find("; "), std::string::npos) << message;
    if (input.library && ((input.library == Nifti && !MC_VOLUME_READS_NIFTI) ||
                          (input.library == Hdf5 && !MC_VOLUME_READS_HDF5) ||
                          (input.library == Dicom && !MC_VOLUME_READS_DICOM))) {
      EXPECT_NE(message.find(input.library), std::string::npos) << message;
      continue;
    }
    for (const std::string& part : input.said) {
      EXPECT_NE(message.find(part), std::string::npos) << "no \"" << part << "\" in: " << message;
    }
  }
}

// Asking a reader for more slices than the volume has is the caller's
// fault, not the file's.
TEST(VolumeErrors, SlicesPastTheEndAreTheCallersFault) {
  TemporaryDirectory dir;
  const std::string path = (dir.path() / "a.nrrd").string();
  writeBytes(path, nrrd(Cube));
  const std::unique_ptr<VolumeReader> reader = openVolume(path);
  std::vector<double> slices(4 * 3 * 3);
  EXPECT_THROW(reader->readSlices(3, slices.data()), std::out_of_range);
  reader->readSlices(2, slices.data());
  EXPECT_EQ(slices[23], 7.0);
  EXPECT_THROW(reader->readSlices(1, slices.data()), std::out_of_range);
}

}  // namespace
