// Every format the readers take, in every voxel type and byte order: small
// volumes written here, read back value for value, with their geometry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <tuple>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"
#include "volume/voxel_decoding.h"

using namespace mcubes::internal;

namespace {

enum class Format {
  NrrdRaw,
  NrrdGzip,
  NhdrRaw,
  NhdrGzip,
  NhdrSliceList,
  NhdrSlicePattern,
  Mha,
  MhaCompressed,
  Mhd,
  Nii,
  NiiGz,
  Raw
};

const char* formatName(Format format) {
  static const char* const names[] = {
      "NrrdRaw", "NrrdGzip",      "NhdrRaw", "NhdrGzip", "NhdrSliceList", "NhdrSlicePattern",
      "Mha",     "MhaCompressed", "Mhd",     "Nii",      "NiiGz",         "Raw"};
  return names[static_cast<int>(format)];
}

constexpr int X = 5, Y = 4, Z = 3, Voxels = X * Y * Z;
constexpr double Origin[3] = {1.5, -2.25, 3.0};
// The world step of one voxel along i, j, k: rotated, not only scaled.
constexpr double Axes[3][3] = {{0.0, 0.5, 0.0}, {-2.0, 0.0, 0.0}, {0.0, 0.0, 1.25}};

int bytesOf(VoxelType type) {
  switch (type) {
    case VoxelType::Uint8:
    case VoxelType::Int8:
      return 1;
    case VoxelType::Uint16:
    case VoxelType::Int16:
      return 2;
    case VoxelType::Float64:
      return 8;
    default:
      return 4;
  }
}

bool isSigned(VoxelType type) {
  return type == VoxelType::Int8 || type == VoxelType::Int16 || type == VoxelType::Int32;
}

// Voxel n of the test volume: its stored bits and the value they stand for.
// The type's extremes come first, then values spread over its range.
struct Sample {
  std::uint64_t bits;
  double value;
};

Sample sample(VoxelType type, int n) {
  const int width = 8 * bytesOf(type);
  if (type == VoxelType::Float32) {
    const float values[] = {
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
        std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::quiet_NaN()};
    const float value = n < 4 ? values[n] : static_cast<float>(n - 30) * 0.3f;
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {bits, value};
  }
  if (type == VoxelType::Float64) {
    const double values[] = {
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::max(),
        std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::quiet_NaN()};
    const double value = n < 4 ? values[n] : (n - 30) * 1e-3 + 1e10;
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return {bits, value};
  }
  const std::uint64_t range = std::uint64_t{1} << width;
  const std::uint64_t bits = n == 0   ? 0
                             : n == 1 ? range - 1
                             : n == 2 ? range / 2
                                      : (static_cast<std::uint64_t>(n) * 2654435761u) % range;
  const double value = isSigned(type) && bits >= range / 2
                           ? static_cast<double>(bits) - static_cast<double>(range)
                           : static_cast<double>(bits);
  return {bits, value};
}

std::string stored(VoxelType type, bool bigEndian, int first, int count) {
  const int size = bytesOf(type);
  std::string bytes;
  for (int n = first; n < first + count; ++n) {
    const std::uint64_t bits = sample(type, n).bits;
    for (int b = 0; b < size; ++b) {
      const int shift = 8 * (bigEndian ? size - 1 - b : b);
      bytes += static_cast<char>((bits >> shift) & 0xff);
    }
  }
  return bytes;
}

std::string nrrdType(VoxelType type) {
  // Several of the spellings NRRD allows.
  const char* names[] = {"uint8",    "signed char", "unsigned short", "short",
                         "uint32_t", "int",         "float",          "double"};
  return names[static_cast<int>(type)];
}

std::string metaType(VoxelType type) {
  const char* names[] = {"MET_UCHAR", "MET_CHAR", "MET_USHORT", "MET_SHORT",
                         "MET_UINT",  "MET_INT",  "MET_FLOAT",  "MET_DOUBLE"};
  return names[static_cast<int>(type)];
}

std::string nrrdHeader(VoxelType type, bool bigEndian, bool gzip) {
  std::string text = "NRRD0005\n# a test volume\ntype: " + nrrdType(type) +
                     "\ndimension: 3\nspace: left-posterior-superior\nsizes: 5 4 3\n"
                     "space directions: (0,0.5,0) (-2,0,0) (0,0,1.25)\n"
                     "space origin: (1.5,-2.25,3)\nencoding: " +
                     (gzip ? "gzip" : "raw") + "\nunits:=mm\n";
  // The byte order is optional for single bytes.
  if (bytesOf(type) > 1) text += std::string("endian: ") + (bigEndian ? "big" : "little") + "\n";
  return text;
}

std::string metaHeader(VoxelType type, bool bigEndian, bool compressed, const std::string& data) {
  return std::string("ObjectType = Image\nNDims = 3\nBinaryData = True\n") +
         "BinaryDataByteOrderMSB = " + (bigEndian ? "True" : "False") + "\n" +
         "CompressedData = " + (compressed ? "True" : "False") + "\n" +
         "TransformMatrix = 0 1 0 -1 0 0 0 0 1\nOffset = 1.5 -2.25 3\n"
         "ElementSpacing = 0.5 2 1.25\nDimSize = 5 4 3\nElementType = " +
         metaType(type) + "\nElementDataFile = " + data + "\n";
}

// A NIfTI-1 header with an sform (code 1) for the test geometry, and the
// four bytes of an empty extension flag before the voxels at 352.
std::string niftiHeader(VoxelType type, bool bigEndian) {
  std::string header(352, '\0');
  const auto put = [&](std::size_t at, std::uint64_t bits, int size) {
    for (int b = 0; b < size; ++b) {
      header[at + b] = static_cast<char>((bits >> (8 * (bigEndian ? size - 1 - b : b))) & 0xff);
    }
  };
  const auto putFloat = [&](std::size_t at, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    put(at, bits, 4);
  };
  const int codes[] = {2, 256, 512, 4, 768, 8, 16, 64};
  put(0, 348, 4);
  const int dims[8] = {3, X, Y, Z, 1, 1, 1, 1};
  for (int d = 0; d < 8; ++d) put(40 + 2 * d, static_cast<std::uint64_t>(dims[d]), 2);
  put(70, static_cast<std::uint64_t>(codes[static_cast<int>(type)]), 2);
  put(72, static_cast<std::uint64_t>(8 * bytesOf(type)), 2);
  for (int d = 0; d < 8; ++d) putFloat(76 + 4 * d, 1.0f);
  putFloat(108, 352.0f);
  put(254, 1, 2);  // sform_code
  for (int row = 0; row < 3; ++row) {
    for (int a = 0; a < 3; ++a) putFloat(280 + 16 * row + 4 * a, static_cast<float>(Axes[a][row]));
    putFloat(280 + 16 * row + 12, static_cast<float>(Origin[row]));
  }
  std::memcpy(&header[344], "n+1", 4);
  return header;
}

// Writes the test volume in `format` and opens it.
std::unique_ptr<VolumeReader> writeAndOpen(const std::filesystem::path& dir, Format format,
                                           VoxelType type, bool bigEndian) {
  const std::string data = stored(type, bigEndian, 0, Voxels);
  const auto path = [&](const char* name) { return (dir / name).string(); };
  const auto slice = [&](int k) { return stored(type, bigEndian, k * X * Y, X * Y); };
  switch (format) {
    case Format::NrrdRaw:
      writeBytes(path("v.nrrd"), nrrdHeader(type, bigEndian, false) + "\n" + data);
      return openVolume(path("v.nrrd"));
    case Format::NrrdGzip:
      writeBytes(path("v.nrrd"), nrrdHeader(type, bigEndian, true) + "\n" + compressed(data, true));
      return openVolume(path("v.nrrd"));
    case Format::NhdrRaw:
      writeBytes(path("v.nhdr"), nrrdHeader(type, bigEndian, false) + "data file: v.raw\n");
      writeBytes(path("v.raw"), data);
      return openVolume(path("v.nhdr"));
    case Format::NhdrGzip:
      writeBytes(path("v.nhdr"), nrrdHeader(type, bigEndian, true) + "data file: ./v.raw.gz\n");
      writeBytes(path("v.raw.gz"), compressed(data, true));
      return openVolume(path("v.nhdr"));
    case Format::NhdrSliceList:
      writeBytes(path("v.nhdr"),
                 nrrdHeader(type, bigEndian, false) + "data file: LIST\nz0.raw\nz1.raw\nz2.raw\n");
      for (int k = 0; k < Z; ++k)
        writeBytes(path(("z" + std::to_string(k) + ".raw").c_str()), slice(k));
      return openVolume(path("v.nhdr"));
    case Format::NhdrSlicePattern:
      writeBytes(path("v.nhdr"),
                 nrrdHeader(type, bigEndian, true) + "data file: z%02d.gz 7 3 -2\n");
      for (int k = 0; k < Z; ++k) {
        writeBytes(path(("z0" + std::to_string(7 - 2 * k) + ".gz").c_str()),
                   compressed(slice(k), true));
      }
      return openVolume(path("v.nhdr"));
    case Format::Mha:
      writeBytes(path("v.mha"), metaHeader(type, bigEndian, false, "LOCAL") + data);
      return openVolume(path("v.mha"));
    case Format::MhaCompressed:
      writeBytes(path("v.MHA"),
                 metaHeader(type, bigEndian, true, "LOCAL") + compressed(data, false));
      return openVolume(path("v.MHA"));
    case Format::Mhd:
      writeBytes(path("v.mhd"), metaHeader(type, bigEndian, false, "v.raw"));
      writeBytes(path("v.raw"), data);
      return openVolume(path("v.mhd"));
    case Format::Nii:
      writeBytes(path("v.nii"), niftiHeader(type, bigEndian) + data);
      return openVolume(path("v.nii"));
    case Format::NiiGz:
      writeBytes(path("v.nii.gz"), compressed(niftiHeader(type, bigEndian) + data, true));
      return openVolume(path("v.nii.gz"));
    case Format::Raw: {
      writeBytes(path("v.bin"), data);
      RawLayout layout{{X, Y, Z}, type, bigEndian, {{0.5, 2.0, 1.25}, {1.5, -2.25, 3.0}}};
      return openVolume(path("v.bin"), layout);
    }
  }
  return nullptr;
}

using Case = std::tuple<Format, VoxelType, bool>;

class VolumeFormats : public testing::TestWithParam<Case> {};

TEST_P(VolumeFormats, ReadsValuesAndGeometry) {
  const auto [format, type, bigEndian] = GetParam();
  TemporaryDirectory dir;
  if (!MC_VOLUME_READS_NIFTI && (format == Format::Nii || format == Format::NiiGz)) {
    try {
      writeAndOpen(dir.path(), format, type, bigEndian);
      FAIL() << "a build without the NIfTI library opened a NIfTI file";
    } catch (const VolumeError& error) {
      EXPECT_NE(std::string(error.what()).find("built without the NIfTI library"),
                std::string::npos);
    }
    return;
  }
  const std::unique_ptr<VolumeReader> reader = writeAndOpen(dir.path(), format, type, bigEndian);
  const VolumeHeader& header = reader->header();
  EXPECT_EQ(header.type, type);
  EXPECT_EQ(header.notice, "");
  EXPECT_EQ(header.slope, 1.0);
  EXPECT_EQ(header.offset, 0.0);
  const VolumeGeometry& g = header.geometry;
  EXPECT_EQ(g.dims[0], X);
  EXPECT_EQ(g.dims[1], Y);
  EXPECT_EQ(g.dims[2], Z);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(g.origin[a], Origin[a]) << "origin " << a;
    for (int b = 0; b < 3; ++b) {
      // Raw voxels are only scaled: the lengths of the test's axes.
      const double expected = format == Format::Raw
                                  ? (a == b ? std::fabs(Axes[a][0] + Axes[a][1] + Axes[a][2]) : 0.0)
                                  : Axes[a][b];
      EXPECT_EQ(g.axes[a][b], expected) << "axis " << a << " coordinate " << b;
    }
  }
  // Two slices, then the last one: reads that end inside a file and cross
  // from one file to the next. Then the same, in the narrowest form that
  // holds the type's values, where there is one: bytes for uint8, floats
  // for the 8-bit signed, 16-bit and float32 voxels.
  const ValueForm form =
      type == VoxelType::Uint8 ? ValueForm::Bytes
      : type == VoxelType::Uint32 || type == VoxelType::Int32 || type == VoxelType::Float64
          ? ValueForm::Doubles
          : ValueForm::Floats;
  EXPECT_EQ(reader->valueForm(), form);
  const std::vector<double> values = readAll(*reader, 2);
  const std::vector<double> narrow =
      readAll(*writeAndOpen(dir.path(), format, type, bigEndian), 2, true);
  if (form == ValueForm::Doubles) {
    EXPECT_THROW(writeAndOpen(dir.path(), format, type, bigEndian)->readFloatSlices(1, nullptr),
                 std::logic_error);
  }
  for (int n = 0; n < Voxels; ++n) {
    const double expected = sample(type, n).value;
    if (std::isnan(expected)) {
      EXPECT_TRUE(std::isnan(values[n]) && std::isnan(narrow[n])) << "voxel " << n;
    } else {
      EXPECT_EQ(values[n], expected) << "voxel " << n;
      EXPECT_EQ(narrow[n], expected) << "voxel " << n << ", held narrower";
    }
  }
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
  const char* types[] = {"Uint8",  "Int8",  "Uint16",  "Int16",
                         "Uint32", "Int32", "Float32", "Float64"};
  return std::string(formatName(std::get<0>(info.param))) + "_" +
         types[static_cast<int>(std::get<1>(info.param))] +
         (std::get<2>(info.param) ? "_Big" : "_Little");
}

INSTANTIATE_TEST_SUITE_P(
    AllFormatsTypesAndByteOrders, VolumeFormats,
    testing::Combine(testing::Values(Format::NrrdRaw, Format::NrrdGzip, Format::NhdrRaw,
                                     Format::NhdrGzip, Format::NhdrSliceList,
                                     Format::NhdrSlicePattern, Format::Mha, Format::MhaCompressed,
                                     Format::Mhd, Format::Nii, Format::NiiGz, Format::Raw),
                     testing::Values(VoxelType::Uint8, VoxelType::Int8, VoxelType::Uint16,
                                     VoxelType::Int16, VoxelType::Uint32, VoxelType::Int32,
                                     VoxelType::Float32, VoxelType::Float64),
                     testing::Bool()),
    caseName);

// Decoding straight from stored bytes, every type in either byte order,
// for every count up to a few vector widths and from an odd address: each
// value exact (the vector loop and its remainder alike), none written past
// the count.
TEST(VoxelDecoding, DecodesEveryCountExactly) {
  constexpr int Most = 37;
  for (int t = 0; t <= static_cast<int>(VoxelType::Float64); ++t) {
    const auto type = static_cast<VoxelType>(t);
    for (const bool bigEndian : {false, true}) {
      const std::string bytes = " " + stored(type, bigEndian, 0, Most);
      for (int count = 0; count <= Most; ++count) {
        std::vector<double> out(Most + 1, -7.0);
        decodeVoxels(type, bigEndian, reinterpret_cast<const unsigned char*>(bytes.data()) + 1,
                     static_cast<std::size_t>(count), out.data());
        for (int n = 0; n <= Most; ++n) {
          const double expected = n < count ? sample(type, n).value : -7.0;
          if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(out[n]));
          } else {
            EXPECT_EQ(out[n], expected) << voxelTypeName(type) << (bigEndian ? " big" : " little")
                                        << ", " << count << " voxels: voxel " << n;
          }
        }
      }
    }
  }
}

// A volume larger than the reader's window of stored bytes, compressed:
// every value arrives, in order, whether read slice by slice or whole.
TEST(VolumeStreaming, ReadsSlicesLargerThanItsWindow) {
  constexpr int Side = 300, Slices = 3;
  std::string data;
  for (int n = 0; n < Side * Side * Slices; ++n) {
    data += static_cast<char>((n * 7) & 0xff);
    data += static_cast<char>((n >> 8) & 0xff);
  }
  TemporaryDirectory dir;
  const std::string path = (dir.path() / "big.nrrd").string();
  writeBytes(path,
             "NRRD0004\ntype: ushort\ndimension: 3\nsizes: 300 300 3\nendian: little\n"
             "encoding: gzip\nspacings: 1 1 2\n\n" +
                 compressed(data, true));
  for (const std::int64_t slicesPerRead : {1, 3}) {
    const std::vector<double> values = readAll(*openVolume(path), slicesPerRead);
    ASSERT_EQ(values.size(), std::size_t{Side * Side * Slices});
    for (std::size_t n = 0; n < values.size(); ++n) {
      ASSERT_EQ(values[n], double(((n * 7) & 0xff) | (n & 0xff00))) << "voxel " << n;
    }
  }
}

}  // namespace
