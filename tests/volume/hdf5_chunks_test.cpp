// HDF5 datasets of every storage the reader meets, written here with the
// HDF5 library and read back whole: chunks inflated by the reader itself
// (deflate alone, or no filter; edge chunks overhanging the shape; chunks
// stored with their filter skipped) and those it leaves to HDF5 (shuffle,
// Fletcher-32, a big-endian type, chunks never written, unfiltered edge
// chunks, contiguous storage). Every voxel must come back as written.
#include <gtest/gtest.h>
#include <hdf5.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"
#include "tests/volume/volume_test_support.h"
#include "volume/volume.h"

using namespace mcubes::internal;

namespace {

enum Filters : unsigned { None = 0, Deflate = 1, Shuffle = 2, Fletcher = 4 };
// The chunk whose bytes are overwritten: the first layer's first or last
// (inflated on the thread beside, where there is one), or the second
// layer's first (inflated ahead, while the first layer is read).
enum Corrupt { Intact, FirstChunk, LastChunk, SecondLayer };

struct Case {
  const char* what;
  hsize_t shape[3];  // z, y, x
  hsize_t chunk[3];  // none: contiguous
  unsigned filters;
  hid_t type;                    // as stored
  bool firstLayerOnly = false;   // the rest never written: the fill value, 0
  bool edgesUnfiltered = false;  // H5D_CHUNK_DONT_FILTER_PARTIAL_CHUNKS
  bool rawChunks = false;        // each chunk written with deflate skipped
  Corrupt corrupt = Intact;
  std::int64_t skip = 0, slicesPerRead = 1;
};

double value(std::size_t n) { return double((n * 37) % 113); }

// Writes the case's dataset /v into `path`.
void write(const Case& c, const std::string& path) {
  const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  // HDF5 takes chunks larger than the shape only where the dataset may grow.
  bool larger = false;
  for (int a = 0; a < 3; ++a) larger = larger || c.chunk[a] > c.shape[a];
  const hsize_t unlimited[3] = {H5S_UNLIMITED, H5S_UNLIMITED, H5S_UNLIMITED};
  const hid_t space = H5Screate_simple(3, c.shape, larger ? unlimited : nullptr);
  const hid_t creation = H5Pcreate(H5P_DATASET_CREATE);
  if (c.chunk[0] != 0) H5Pset_chunk(creation, 3, c.chunk);
  if (c.filters & Shuffle) H5Pset_shuffle(creation);
  if (c.filters & Deflate) H5Pset_deflate(creation, 4);
  if (c.filters & Fletcher) H5Pset_fletcher32(creation);
  if (c.edgesUnfiltered) H5Pset_chunk_opts(creation, H5D_CHUNK_DONT_FILTER_PARTIAL_CHUNKS);
  const hid_t data = H5Dcreate2(file, "/v", c.type, space, H5P_DEFAULT, creation, H5P_DEFAULT);
  ASSERT_GE(data, 0) << c.what;
  const std::size_t voxels = std::size_t(c.shape[0] * c.shape[1] * c.shape[2]);
  std::vector<double> values(voxels);
  for (std::size_t n = 0; n < voxels; ++n) values[n] = value(n);
  if (c.rawChunks) {
    // Little-endian int16 chunks of a shape the chunks divide.
    for (hsize_t z = 0; z < c.shape[0]; z += c.chunk[0]) {
      for (hsize_t y = 0; y < c.shape[1]; y += c.chunk[1]) {
        for (hsize_t x = 0; x < c.shape[2]; x += c.chunk[2]) {
          std::vector<std::int16_t> chunk;
          for (hsize_t k = z; k < z + c.chunk[0]; ++k) {
            for (hsize_t j = y; j < y + c.chunk[1]; ++j) {
              for (hsize_t i = x; i < x + c.chunk[2]; ++i) {
                chunk.push_back(std::int16_t(value((k * c.shape[1] + j) * c.shape[2] + i)));
              }
            }
          }
          const hsize_t offset[3] = {z, y, x};
          ASSERT_GE(H5Dwrite_chunk(data, H5P_DEFAULT, 1, offset, chunk.size() * 2, chunk.data()),
                    0);
        }
      }
    }
  } else if (c.firstLayerOnly) {
    const hsize_t start[3] = {0, 0, 0}, count[3] = {c.chunk[0], c.shape[1], c.shape[2]};
    const hid_t memory = H5Screate_simple(3, count, nullptr);
    H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, count, nullptr);
    ASSERT_GE(H5Dwrite(data, H5T_NATIVE_DOUBLE, memory, space, H5P_DEFAULT, values.data()), 0);
    H5Sclose(memory);
  } else {
    ASSERT_GE(H5Dwrite(data, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()), 0);
  }
  haddr_t address = 0;
  hsize_t stored = 0;
  if (c.corrupt) {
    const bool last = c.corrupt == LastChunk;
    const hsize_t at[3] = {c.corrupt == SecondLayer ? c.chunk[0] : 0,
                           last ? (c.shape[1] - 1) / c.chunk[1] * c.chunk[1] : 0,
                           last ? (c.shape[2] - 1) / c.chunk[2] * c.chunk[2] : 0};
    unsigned mask = 0;
    ASSERT_GE(H5Dget_chunk_info_by_coord(data, at, &mask, &address, &stored), 0);
  }
  H5Dclose(data);
  H5Pclose(creation);
  H5Sclose(space);
  H5Fclose(file);
  if (c.corrupt) {
    std::fstream bytes(path, std::ios::in | std::ios::out | std::ios::binary);
    bytes.seekp(std::streamoff(address + stored / 2));
    bytes.write("\xff\x00\xff\x00\xff\x00\xff\x00", 8);
  }
}

// A deflated int16 dataset whose chunk `where` has its bytes overwritten.
Case overwritten(const char* what, Corrupt where) {
  Case c{what, {8, 12, 16}, {4, 6, 8}, Deflate, H5T_NATIVE_INT16};
  c.corrupt = where;
  return c;
}

TEST(Hdf5Chunks, EveryStorageReadsBackAsWritten) {
  const hid_t int16 = H5T_NATIVE_INT16;
  const std::vector<Case> cases = {
      {"deflate, chunks dividing the shape", {8, 12, 16}, {4, 6, 8}, Deflate, int16},
      {"deflate, edge chunks overhanging every axis, 3 slices a read",
       {9, 13, 17},
       {4, 5, 6},
       Deflate,
       int16,
       false,
       false,
       false,
       Intact,
       0,
       3},
      {"deflate, one chunk larger than the dataset",
       {5, 6, 7},
       {8, 8, 8},
       Deflate,
       H5T_NATIVE_UINT8},
      {"deflate, float64, 3 slices skipped",
       {6, 5, 4},
       {2, 5, 4},
       Deflate,
       H5T_NATIVE_DOUBLE,
       false,
       false,
       false,
       Intact,
       3,
       2},
      {"deflate, int32, chunks one slice deep", {5, 9, 10}, {1, 9, 10}, Deflate, H5T_NATIVE_INT32},
      {"no filter, float32 chunks", {7, 10, 11}, {3, 4, 5}, None, H5T_NATIVE_FLOAT},
      {"deflate skipped for every chunk", {4, 6, 8}, {2, 3, 4}, Deflate, int16, false, false, true},
      {"shuffle and deflate", {9, 13, 17}, {4, 5, 6}, Shuffle | Deflate, int16},
      {"deflate and Fletcher-32", {9, 13, 17}, {4, 5, 6}, Deflate | Fletcher, int16},
      {"big-endian int16, deflate", {9, 13, 17}, {4, 5, 6}, Deflate, H5T_STD_I16BE},
      {"chunks of the first layer only written", {9, 13, 17}, {4, 5, 6}, Deflate, int16, true},
      {"edge chunks left unfiltered", {9, 13, 17}, {4, 5, 6}, Deflate, int16, false, true},
      {"contiguous", {9, 13, 17}, {0, 0, 0}, None, int16},
      overwritten("deflate, the bytes of a layer's first chunk overwritten", FirstChunk),
      overwritten("deflate, the bytes of a layer's last chunk overwritten", LastChunk),
      overwritten("deflate, the bytes of the second layer's first chunk overwritten", SecondLayer),
  };
  for (const Case& c : cases) {
    const TemporaryDirectory folder;
    const std::string path = (folder.path() / "v.h5").string();
    write(c, path);
    if (c.corrupt != Intact) {
      try {
        const auto reader = openVolume(path + ":/v");
        readAll(*reader);
        ADD_FAILURE() << c.what << ": read without a complaint";
      } catch (const VolumeError& error) {
        EXPECT_EQ(error.file(), path) << c.what << ": " << error.what();
      }
      continue;
    }
    const auto reader = openVolume(path + ":/v");
    const VolumeGeometry& g = reader->header().geometry;
    ASSERT_EQ(g.dims[0], std::int64_t(c.shape[2])) << c.what;
    ASSERT_EQ(g.dims[1], std::int64_t(c.shape[1])) << c.what;
    ASSERT_EQ(g.dims[2], std::int64_t(c.shape[0])) << c.what;
    const std::size_t slice = std::size_t(c.shape[1] * c.shape[2]);
    reader->skipSlices(c.skip);
    std::vector<double> got(std::size_t(c.shape[0] - hsize_t(c.skip)) * slice);
    for (std::int64_t k = c.skip; k < g.dims[2]; k += c.slicesPerRead) {
      const std::int64_t count = std::min(c.slicesPerRead, g.dims[2] - k);
      reader->readSlices(count, got.data() + std::size_t(k - c.skip) * slice);
    }
    std::size_t wrong = 0;
    for (std::size_t n = 0; n < got.size(); ++n) {
      const std::size_t at = n + std::size_t(c.skip) * slice;
      const bool written = !c.firstLayerOnly || at < c.chunk[0] * slice;
      if (got[n] != (written ? value(at) : 0.0)) ++wrong;
    }
    EXPECT_EQ(wrong, 0u) << c.what;
  }
}

}  // namespace
