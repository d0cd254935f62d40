// DICOM series: folders of slices written here with GDCM, read back through
// openVolume; refusals of slices that make no lattice; compressed transfer
// syntaxes and a DICOMDIR from pydicom's test files where they are
// installed.
#include <gdcmAttribute.h>
#include <gdcmReader.h>
#include <gdcmUIDGenerator.h>
#include <gdcmWriter.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"

using namespace mcubes::internal;

namespace fs = std::filesystem;

namespace {

const fs::path PydicomFiles = "/usr/lib/python3/dist-packages/pydicom/data/test_files";

// One slice file as the tests write it: int16 pixels, i fastest.
struct Slice {
  std::string name;
  std::string uid = "1.2.826.0.1.3680043.2.1125.1";
  double position[3] = {0, 0, 0};
  double orientation[6] = {1, 0, 0, 0, 1, 0};
  double spacing[2] = {0.5, 0.25};  // between rows, between columns
  int columns = 3, rows = 2;
  double slope = 1, intercept = 0;
  std::vector<std::int16_t> pixels;
  std::string imageType = "ORIGINAL\\PRIMARY\\AXIAL";
  std::string sopClass = "1.2.840.10008.5.1.4.1.1.2";  // CT Image Storage
  int frames = 1;
  int bitsStored = 16;  // of 16 allocated
};

template <std::uint16_t Group, std::uint16_t Element, typename Value>
void put(gdcm::DataSet& data, const Value& value) {
  gdcm::Attribute<Group, Element> attribute;
  attribute.SetValue(value);
  data.Replace(attribute.GetAsDataElement());
}

template <std::uint16_t Group, std::uint16_t Element>
void putNumbers(gdcm::DataSet& data, const double* values, unsigned count) {
  gdcm::Attribute<Group, Element> attribute;
  attribute.SetValues(values, count);
  data.Replace(attribute.GetAsDataElement());
}

void write(gdcm::Writer& writer, const fs::path& path) {
  writer.SetFileName(path.string().c_str());
  if (!writer.Write()) throw std::runtime_error("GDCM cannot write " + path.string());
}

void writeSlice(const fs::path& folder, const Slice& slice) {
  gdcm::Writer writer;
  gdcm::DataSet& data = writer.GetFile().GetDataSet();
  gdcm::UIDGenerator uids;
  gdcm::DataElement imageType(gdcm::Tag(0x0008, 0x0008));  // CS, several values
  imageType.SetVR(gdcm::VR::CS);
  imageType.SetByteValue(slice.imageType.data(), std::uint32_t(slice.imageType.size()));
  data.Replace(imageType);
  put<0x0008, 0x0016>(data, slice.sopClass);
  put<0x0008, 0x0018>(data, uids.Generate());
  put<0x0008, 0x0060>(data, "CT");
  put<0x0008, 0x103e>(data, "series " + slice.uid.substr(slice.uid.size() - 1));
  put<0x0020, 0x000e>(data, slice.uid);
  putNumbers<0x0020, 0x0032>(data, slice.position, 3);
  putNumbers<0x0020, 0x0037>(data, slice.orientation, 6);
  putNumbers<0x0028, 0x0030>(data, slice.spacing, 2);
  put<0x0028, 0x0002>(data, std::uint16_t{1});
  put<0x0028, 0x0004>(data, "MONOCHROME2");
  if (slice.frames != 1) put<0x0028, 0x0008>(data, slice.frames);
  put<0x0028, 0x0010>(data, std::uint16_t(slice.rows));
  put<0x0028, 0x0011>(data, std::uint16_t(slice.columns));
  put<0x0028, 0x0100>(data, std::uint16_t{16});
  put<0x0028, 0x0101>(data, std::uint16_t(slice.bitsStored));
  put<0x0028, 0x0102>(data, std::uint16_t(slice.bitsStored - 1));
  put<0x0028, 0x0103>(data, std::uint16_t{1});
  put<0x0028, 0x1052>(data, slice.intercept);
  put<0x0028, 0x1053>(data, slice.slope);
  std::vector<std::int16_t> pixels = slice.pixels;
  pixels.resize(std::size_t(slice.columns * slice.rows));
  gdcm::DataElement pixelData(gdcm::Tag(0x7fe0, 0x0010));
  pixelData.SetVR(gdcm::VR::OW);
  pixelData.SetByteValue(reinterpret_cast<const char*>(pixels.data()),
                         std::uint32_t(pixels.size() * sizeof(std::int16_t)));
  data.Replace(pixelData);
  writer.GetFile().GetHeader().SetDataSetTransferSyntax(
      gdcm::TransferSyntax::ExplicitVRLittleEndian);
  write(writer, folder / slice.name);
}

// A series of `count` slices of 3x2 pixels, 2 mm apart along z, file names
// in reverse order of position; pixel (i, j) of slice k is 100k + 10j + i.
std::vector<Slice> series(int count, const std::string& uid = "1.2.826.0.1.3680043.2.1125.1") {
  std::vector<Slice> slices;
  for (int k = 0; k < count; ++k) {
    Slice slice;
    slice.name = "IM" + std::to_string(count - k);
    slice.uid = uid;
    slice.position[0] = -10;
    slice.position[1] = 20;
    slice.position[2] = 5 + 2.0 * k;
    for (int j = 0; j < slice.rows; ++j) {
      for (int i = 0; i < slice.columns; ++i)
        slice.pixels.push_back(std::int16_t(100 * k + 10 * j + i));
    }
    slices.push_back(slice);
  }
  return slices;
}

fs::path written(const fs::path& folder, const std::vector<Slice>& slices) {
  fs::create_directories(folder);
  for (const Slice& slice : slices) writeSlice(folder, slice);
  return folder;
}

std::string refusal(const std::string& path, const std::string& series = {}) {
  try {
    readAll(*openVolume(path, std::nullopt, {}, series));
  } catch (const VolumeError& error) {
    return error.what();
  }
  return "";
}

TEST(DicomSeries, SlicesMakeOneLatticeInPatientSpaceWithTheirRescale) {
  struct Case {
    const char* name;
    std::function<void(std::vector<Slice>&)> change;
    VoxelType type;
    double slope, offset;
    double axes[3][3];
    double origin[3];
    // The value of stored number s in slice k.
    std::function<double(double s, int k)> value;
  };
  const double c = std::sqrt(0.5);
  const Case cases[] = {
      {"axial, stored as is",
       [](std::vector<Slice>&) {},
       VoxelType::Int16,
       1,
       0,
       {{0.25, 0, 0}, {0, 0.5, 0}, {0, 0, 2}},
       {-10, 20, 5},
       [](double s, int) { return s; }},
      {"rescaled",
       [](std::vector<Slice>& s) {
         for (Slice& slice : s) slice.slope = 2, slice.intercept = -1024;
       },
       VoxelType::Int16,
       2,
       -1024,
       {{0.25, 0, 0}, {0, 0.5, 0}, {0, 0, 2}},
       {-10, 20, 5},
       [](double s, int) { return 2 * s - 1024; }},
      {"each slice its own rescale",
       [](std::vector<Slice>& s) {
         for (std::size_t k = 0; k < s.size(); ++k) s[k].slope = 0.5 * double(k + 1);
       },
       VoxelType::Float64,
       1,
       0,
       {{0.25, 0, 0}, {0, 0.5, 0}, {0, 0, 2}},
       {-10, 20, 5},
       [](double s, int k) { return s * 0.5 * (k + 1); }},
      {"coronal",
       [&](std::vector<Slice>& s) {
         for (std::size_t k = 0; k < s.size(); ++k) {
           const double o[6] = {1, 0, 0, 0, 0, -1};
           std::copy(o, o + 6, s[k].orientation);
           s[k].position[1] = 20 + 2.0 * double(k);
           s[k].position[2] = 5;
         }
       },
       VoxelType::Int16,
       1,
       0,
       {{0.25, 0, 0}, {0, 0, -0.5}, {0, 2, 0}},
       {-10, 20, 5},
       [](double s, int) { return s; }},
      {"oblique, sorted along the normal whatever the file names",
       [&](std::vector<Slice>& s) {
         for (std::size_t k = 0; k < s.size(); ++k) {
           const double o[6] = {c, c, 0, -c, c, 0};
           std::copy(o, o + 6, s[k].orientation);
           s[(k * 3) % s.size()].name = "slice" + std::to_string(k);
         }
       },
       VoxelType::Int16,
       1,
       0,
       {{0.25 * c, 0.25 * c, 0}, {-0.5 * c, 0.5 * c, 0}, {0, 0, 2}},
       {-10, 20, 5},
       [](double s, int) { return s; }},
      // Bits above the 12 stored (an overlay, or noise) are not the value's:
      // GDCM masks them, the pixels are not taken as the file holds them.
      {"12 of 16 bits stored, bits above them set",
       [](std::vector<Slice>& s) {
         for (Slice& slice : s) {
           slice.bitsStored = 12;
           for (std::int16_t& pixel : slice.pixels) pixel = std::int16_t(pixel | 0x7000);
         }
       },
       VoxelType::Int16,
       1,
       0,
       {{0.25, 0, 0}, {0, 0.5, 0}, {0, 0, 2}},
       {-10, 20, 5},
       [](double s, int) { return s; }},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TemporaryDirectory dir;
    std::vector<Slice> slices = series(4);
    test.change(slices);
    const std::string folder = written(dir.path() / "scan", slices).string();
    const std::unique_ptr<VolumeReader> reader = openVolume(folder);
    const VolumeHeader& header = reader->header();
    const VolumeGeometry& g = header.geometry;
    EXPECT_EQ(g.dims[0], 3);
    EXPECT_EQ(g.dims[1], 2);
    EXPECT_EQ(g.dims[2], 4);
    EXPECT_EQ(header.space, WorldSpace::Lps);
    EXPECT_EQ(header.type, test.type);
    EXPECT_EQ(header.slope, test.slope);
    EXPECT_EQ(header.offset, test.offset);
    for (int a = 0; a < 3; ++a) {
      EXPECT_NEAR(g.origin[a], test.origin[a], 1e-9) << a;
      for (int b = 0; b < 3; ++b) EXPECT_NEAR(g.axes[a][b], test.axes[a][b], 1e-9) << a << b;
    }
    // Rescaled by integers, the values are integers that floats hold; the
    // sweep then holds them so, and they read the same.
    EXPECT_EQ(reader->valueForm(),
              test.type == VoxelType::Float64 ? ValueForm::Doubles : ValueForm::Floats);
    const std::vector<double> values = readAll(*reader);
    const std::vector<double> narrow = readAll(*openVolume(folder), 1, true);
    for (int k = 0; k < 4; ++k) {
      for (int n = 0; n < 6; ++n) {
        const double expected = test.value(100 * k + 10 * (n / 3) + n % 3, k);
        EXPECT_EQ(values[std::size_t(6 * k + n)], expected) << k << " " << n;
        EXPECT_EQ(narrow[std::size_t(6 * k + n)], expected) << k << " " << n << ", narrow";
      }
    }
  }
}

TEST(DicomSeries, SeveralSeriesAreListedAndOneIsChosenByNumberOrUid) {
  TemporaryDirectory dir;
  const std::string first = "1.2.826.0.1.3680043.2.1125.1", second = "1.2.826.0.1.3680043.2.1125.2";
  written(dir.path() / "scan" / "a", series(3, first));
  written(dir.path() / "scan" / "b", series(5, second));
  const std::string folder = (dir.path() / "scan").string();
  for (const std::string& choice : {std::string(), std::string("3"), std::string("1.2.3")}) {
    SCOPED_TRACE(choice);
    const std::string message = refusal(folder, choice);
    EXPECT_EQ(message.rfind(folder + ": ", 0), 0u) << message;
    // A table under the line: its heading, then a row a series.
    const std::string table =
        "{series}, its number in this listing or its UID:\n"
        "  N  series UID                    description  modality  columns x rows x slices\n"
        "  1  " +
        first +
        "  'series 1'   CT        3x2x3\n"
        "  2  " +
        second + "  'series 2'   CT        3x2x5";
    EXPECT_NE(message.find(table), std::string::npos) << message;
    EXPECT_EQ(message.substr(message.size() - 5), "3x2x5") << message;
  }
  EXPECT_EQ(openVolume(folder, std::nullopt, {}, "2")->header().geometry.dims[2], 5);
  EXPECT_EQ(openVolume(folder, std::nullopt, {}, first)->header().geometry.dims[2], 3);
}

TEST(DicomSeries, SlicesThatMakeNoLatticeAreRefusedSayingWhere) {
  struct Case {
    const char* name;
    std::function<void(std::vector<Slice>&)> change;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"uneven spacing",
       [](std::vector<Slice>& s) { s[3].position[2] += 0.5; },
       {"uneven slice spacing", "2.5 mm between", "IM3", "IM2", "others are 2 mm apart"}},
      {"a missing slice",
       [](std::vector<Slice>& s) { s.erase(s.begin() + 2); },
       {"1 slice(s) missing between", "IM4", "IM2", "(at 7 mm", "(at 11 mm"}},
      {"a slice of another size",
       [](std::vector<Slice>& s) { s[1].columns = 4; },
       {"IM4: is 4x2 pixels where", "IM1 of its series is 3x2"}},
      {"a slice in another orientation",
       [](std::vector<Slice>& s) {
         const double o[6] = {0, 1, 0, 0, 0, -1};
         std::copy(o, o + 6, s[2].orientation);
       },
       {"IM3: its ImageOrientationPatient", "differs from", "IM1's"}},
      {"two slices at one position",
       [](std::vector<Slice>& s) { s[1].position[2] = 5; },
       {"two slices of the series lie at one position", "IM5", "IM4"}},
      {"a slice off the line",
       [](std::vector<Slice>& s) { s[2].position[0] += 1; },
       {"IM3", "lies off the line"}},
      {"one slice", [](std::vector<Slice>& s) { s.resize(1); }, {"IM5: is the only slice"}},
      {"a Siemens mosaic",
       [](std::vector<Slice>& s) { s[2].imageType = "ORIGINAL\\PRIMARY\\M\\ND\\MOSAIC"; },
       {"IM3: is a Siemens mosaic", "tiled in one image", "dcm2niix"}},
      // Said as what it is, not as the only slice of its series.
      {"an RT Dose of several frames",
       [](std::vector<Slice>& s) {
         s.resize(1);
         s[0].sopClass = "1.2.840.10008.5.1.4.1.1.481.2";
         s[0].frames = 15;
       },
       {"IM5: is an RT Dose of 15 frames in one file", "plastimatch"}},
      {"an Enhanced MR image among slices",
       [](std::vector<Slice>& s) {
         s[1].sopClass = "1.2.840.10008.5.1.4.1.1.4.1";
         s[1].frames = 2;
       },
       {"IM4: is an Enhanced MR image of 2 frames", "dcm2niix"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TemporaryDirectory dir;
    std::vector<Slice> slices = series(5);
    test.change(slices);
    const std::string message = refusal(written(dir.path() / "scan", slices).string());
    EXPECT_EQ(message.rfind(dir.path().string(), 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    EXPECT_NE(message.find("; "), std::string::npos) << message;
    for (const std::string& part : test.said) {
      EXPECT_NE(message.find(part), std::string::npos) << "no \"" << part << "\" in: " << message;
    }
  }
}

// A slice file damaged after it was written: cut short in its pixels or in
// the pixel data element's header, or a length no file holds. Each is
// refused naming the slice (GDCM would read missing pixels as 0, abort, or
// allocate the length claimed).
TEST(DicomSeries, DamagedSlicesAreRefusedNamingTheFile) {
  struct Case {
    const char* name;
    // The damaged file's bytes from the written ones; `pixels`: where the
    // pixel data's value starts.
    std::function<std::string(const std::string& bytes, std::size_t pixels)> damage;
    std::string said;
  };
  const auto length = [](std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int b = 0; b < 4; ++b) bytes[std::size_t(b)] = char(value >> (8 * b));
    return bytes;
  };
  const Case cases[] = {
      {"its last 100 bytes gone",
       [](const std::string& b, std::size_t) { return b.substr(0, b.size() - 100); },
       "its pixel data holds 412 of the 512 bytes its header promises"},
      {"all its pixel bytes gone",
       [](const std::string& b, std::size_t pixels) { return b.substr(0, pixels); },
       "its pixel data holds 0 of the 512 bytes"},
      {"cut inside the pixel data element's header",
       [](const std::string& b, std::size_t pixels) { return b.substr(0, pixels - 5); }, ""},
      {"a pixel data length of 4 GB",
       [&](const std::string& b, std::size_t pixels) {
         return b.substr(0, pixels - 4) + length(0xfffffff0u) + b.substr(pixels);
       },
       ""},
      {"an element before the pixels claiming 4 GB",
       [&](const std::string& b, std::size_t pixels) {
         // Pixel Data Provider URL (0028,7FE0), UR: a 4-byte length, after
         // the fields the scan reads.
         return b.substr(0, pixels - 12) + std::string("\x28\x00\xe0\x7fUR\0\0", 8) +
                length(0xfffffff0u) + b.substr(pixels - 12);
       },
       ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    TemporaryDirectory dir;
    std::vector<Slice> slices = series(4);
    for (Slice& slice : slices) {
      slice.columns = slice.rows = 16;
      slice.pixels.assign(256, 7);
    }
    const fs::path folder = written(dir.path() / "scan", slices), im3 = folder / "IM3";
    std::string bytes;
    {
      std::ifstream in(im3, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // Explicit VR little endian: (7FE0,0010) OW, 2 reserved bytes, the
    // 4-byte length, then the pixels to the end.
    ASSERT_EQ(bytes.substr(bytes.size() - 524, 8), std::string("\xe0\x7f\x10\x00OW\0\0", 8));
    ASSERT_EQ(bytes.substr(bytes.size() - 516, 4), length(512));
    const std::string damaged = test.damage(bytes, bytes.size() - 512);
    std::ofstream(im3, std::ios::binary | std::ios::trunc) << damaged;
    const std::string message = refusal(folder.string());
    EXPECT_EQ(message.rfind(im3.string() + ": ", 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    EXPECT_NE(message.find(test.said), std::string::npos) << message;
  }
}

// pydicom's one slice in each transfer syntax, made a series of two by
// moving a copy, reads as the uncompressed slice does.
TEST(DicomSeries, CompressedSlicesReadAsTheUncompressedOnes) {
  if (!fs::exists(PydicomFiles / "MR_small.dcm"))
    GTEST_SKIP() << "pydicom's test files are missing";
  const auto twoSlices = [](const fs::path& folder, const std::string& name) {
    fs::create_directories(folder);
    for (int k = 0; k < 2; ++k) {
      gdcm::Reader reader;
      reader.SetFileName((PydicomFiles / name).string().c_str());
      if (!reader.Read()) throw std::runtime_error("GDCM cannot read " + name);
      gdcm::Writer writer;
      writer.SetFile(reader.GetFile());
      gdcm::DataSet& data = writer.GetFile().GetDataSet();
      const double position[3] = {0, 0, 3.0 * k}, orientation[6] = {1, 0, 0, 0, 1, 0},
                   spacing[2] = {1, 1};
      putNumbers<0x0020, 0x0032>(data, position, 3);
      putNumbers<0x0020, 0x0037>(data, orientation, 6);
      putNumbers<0x0028, 0x0030>(data, spacing, 2);
      write(writer, folder / std::to_string(k));
    }
    return folder.string();
  };
  TemporaryDirectory dir;
  const std::vector<double> plain =
      readAll(*openVolume(twoSlices(dir.path() / "plain", "MR_small.dcm")));
  ASSERT_EQ(plain.size(), 64u * 64u * 2u);
  for (const char* name :
       {"MR_small_RLE.dcm", "MR_small_jpeg_ls_lossless.dcm", "MR_small_jp2klossless.dcm",
        "MR_small_bigendian.dcm", "MR_small_implicit.dcm"}) {
    SCOPED_TRACE(name);
    const std::vector<double> values = readAll(*openVolume(twoSlices(dir.path() / name, name)));
    EXPECT_EQ(values, plain);
  }
  // Lossy JPEG (12 bits): decoded to the stored size, not all black.
  const std::vector<double> lossy =
      readAll(*openVolume(twoSlices(dir.path() / "lossy", "JPGExtended.dcm")));
  EXPECT_EQ(lossy.size(), 256u * 1024u * 2u);
  EXPECT_GT(*std::max_element(lossy.begin(), lossy.end()), 0.0);
}

// pydicom's DICOMDIR names slices of several series: one of five even
// slices reads, one with a gap is refused.
TEST(DicomSeries, DicomdirNamesTheSeriesItsFolderHolds) {
  const fs::path dicomdir = PydicomFiles / "dicomdirtests" / "DICOMDIR";
  if (!fs::exists(dicomdir)) GTEST_SKIP() << "pydicom's test files are missing";
  const std::string even = "1.3.6.1.4.1.5962.1.1.0.0.0.1194734704.16302.0.6";
  const std::string uneven = "1.3.6.1.4.1.5962.1.1.0.0.0.1196530851.28319.0.2";
  const std::unique_ptr<VolumeReader> reader =
      openVolume(dicomdir.string(), std::nullopt, {}, even);
  const VolumeGeometry& g = reader->header().geometry;
  EXPECT_EQ(g.dims[0], 16);
  EXPECT_EQ(g.dims[1], 16);
  EXPECT_EQ(g.dims[2], 5);
  EXPECT_NEAR(g.axes[2][2], 2.5, 1e-6);
  EXPECT_NEAR(g.origin[2], -1.2375, 1e-6);
  EXPECT_EQ(reader->header().offset, -1024.0);
  const std::vector<double> values = readAll(*reader);
  EXPECT_NE(*std::min_element(values.begin(), values.end()),
            *std::max_element(values.begin(), values.end()));
  EXPECT_NE(refusal(dicomdir.string()).find(uneven), std::string::npos);
  // The folder's files, among them a DICOMDIR GDCM stops on: the series
  // read the same without it, which a notice names.
  const std::unique_ptr<VolumeReader> inFolder =
      openVolume(dicomdir.parent_path().string(), std::nullopt, {}, even);
  EXPECT_NE(inFolder->header().notice.find("left out " + dicomdir.string() + "-nooffset"),
            std::string::npos)
      << inFolder->header().notice;
  EXPECT_EQ(readAll(*inFolder), values);
  // A DICOMDIR naming a FIFO (or a device) is refused before anything is
  // opened: reading it would hang; so is one naming files above its folder
  // (its first entry, 77654033\CR1\6154, made ..\..\..\CR1\6154).
  const std::string entry = "77654033\\CR1\\6154";
  const struct {
    std::string entry;
    std::string said;
  } refused[] = {{entry, ", is a device or pipe, not a file"},
                 {"..\\..\\..\\CR1\\6154", ", lies outside its folder"}};
  for (const auto& row : refused) {
    SCOPED_TRACE(row.entry);
    TemporaryDirectory dir;
    std::string bytes = readFile(dicomdir);
    const std::size_t at = bytes.find(entry);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(row.entry.size(), entry.size());
    bytes.replace(at, entry.size(), row.entry);
    std::ofstream(dir.path() / "DICOMDIR", std::ios::binary) << bytes;
    fs::create_directories(dir.path() / "77654033" / "CR1");
    ASSERT_EQ(::mkfifo((dir.path() / "77654033" / "CR1" / "6154").c_str(), 0600), 0);
    const std::string message = refusal((dir.path() / "DICOMDIR").string());
    EXPECT_NE(message.find(row.said), std::string::npos) << message;
  }
  // Steps of 202.5, 1.25 and 1.25 mm.
  EXPECT_NE(refusal(dicomdir.string(), uneven).find("161 slice(s) missing between"),
            std::string::npos);
}

}  // namespace
