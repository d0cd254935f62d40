#include "volume/hdf5_chunk_layers.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <thread>
#include <utility>

#include "volume/gzip_source.h"
#include "volume/read_failure.h"

namespace mcubes::internal {

namespace {

// Whether the chunks pass through deflate alone (`deflated`) or no filter.
bool deflateOnly(const Hdf5Library& h5, hid_t creation, bool& deflated) {
  const int filters = h5.H5Pget_nfilters(creation);
  unsigned options = 0;
  if (filters < 0 || filters > 1 || h5.H5Pget_chunk_opts(creation, &options) < 0 ||
      (options & H5D_CHUNK_DONT_FILTER_PARTIAL_CHUNKS) != 0) {
    return false;
  }
  deflated = filters == 1;
  if (!deflated) return true;
  unsigned flags = 0;
  std::size_t values = 0;
  return h5.H5Pget_filter2(creation, 0, &flags, &values, nullptr, 0, nullptr, nullptr) ==
         H5Z_FILTER_DEFLATE;
}

}  // namespace

std::unique_ptr<Hdf5ChunkLayers> Hdf5ChunkLayers::of(const Hdf5Library& h5, hid_t dataset,
                                                     hid_t memoryType,
                                                     const std::vector<hsize_t>& shape,
                                                     std::size_t voxelBytes) {
  const hid_t creation = h5.H5Dget_create_plist(dataset);
  hsize_t chunk[3] = {};
  bool deflated = false;
  const bool chunked = h5.H5Pget_layout(creation) == H5D_CHUNKED &&
                       h5.H5Pget_chunk(creation, 3, chunk) == 3 &&
                       deflateOnly(h5, creation, deflated);
  h5.H5Pclose(creation);
  const hid_t stored = h5.H5Dget_type(dataset);
  const bool ownType = h5.H5Tequal(stored, memoryType) > 0;
  h5.H5Tclose(stored);
  if (!chunked || !ownType || shape.size() != 3 || (deflated && !InflatesGzip)) {
    return nullptr;
  }
  hsize_t chunks = 1;
  for (int a = 0; a < 3; ++a) {
    if (chunk[a] == 0) return nullptr;
    chunks *= (shape[std::size_t(a)] + chunk[a] - 1) / chunk[a];
  }
  // (This HDF5 takes no H5S_ALL here.)
  const hid_t space = h5.H5Dget_space(dataset);
  hsize_t written = 0;
  const herr_t counted = h5.H5Dget_num_chunks(dataset, space, &written);
  h5.H5Sclose(space);
  if (counted < 0 || written != chunks) return nullptr;
  // Two layers and three chunks are held at once: at most 1 GiB of them, as
  // HDF5's chunk cache is given (else its own read).
  const long double heldBytes =
      (2.0L * chunk[0] * shape[1] * shape[2] + 3.0L * chunk[0] * chunk[1] * chunk[2]) * voxelBytes;
  if (heldBytes > static_cast<long double>(1u << 30)) return nullptr;
  return std::unique_ptr<Hdf5ChunkLayers>(
      new Hdf5ChunkLayers(h5, dataset, shape.data(), chunk, voxelBytes, deflated));
}

Hdf5ChunkLayers::Hdf5ChunkLayers(const Hdf5Library& h5, hid_t dataset, const hsize_t shape[3],
                                 const hsize_t chunk[3], std::size_t voxelBytes, bool deflated)
    : h5_(&h5), dataset_(dataset), voxelBytes_(voxelBytes), deflated_(deflated) {
  std::copy(shape, shape + 3, shape_);
  std::copy(chunk, chunk + 3, chunk_);
}

Hdf5ChunkLayers::~Hdf5ChunkLayers() { finishAhead(); }

const unsigned char* Hdf5ChunkLayers::slice(std::int64_t k, const std::string& file) {
  const hsize_t layer = hsize_t(k) / chunk_[0];
  if (held_ != layer) {
    held_.reset();
    const bool unpacked = ahead_ == layer;
    finishAhead();
    if (unpacked) {
      if (aheadFailure_) std::rethrow_exception(std::exchange(aheadFailure_, nullptr));
      std::swap(layer_, aheadLayer_);
    } else if (!readLayer(layer, file)) {
      return nullptr;
    }
    held_ = layer;
    startAhead(layer + 1, file);
  }
  const std::size_t sliceBytes = std::size_t(shape_[1] * shape_[2]) * voxelBytes_;
  return layer_.data() + std::size_t(hsize_t(k) - layer * chunk_[0]) * sliceBytes;
}

hsize_t Hdf5ChunkLayers::depthOf(hsize_t layer) const {
  return std::min(chunk_[0], shape_[0] - layer * chunk_[0]);
}

// Reads the stored bytes of each chunk of the layer into stored_, one after
// another (the library is serial): how many, or none where one cannot be.
std::optional<std::size_t> Hdf5ChunkLayers::readStoredLayer(hsize_t layer) {
  std::size_t count = 0;
  for (hsize_t y = 0; y < shape_[1]; y += chunk_[1]) {
    for (hsize_t x = 0; x < shape_[2]; x += chunk_[2], ++count) {
      if (count == stored_.size()) stored_.emplace_back();
      StoredChunk& stored = stored_[count];
      stored.offset[0] = layer * chunk_[0];
      stored.offset[1] = y;
      stored.offset[2] = x;
      if (!readStored(stored)) return std::nullopt;
    }
  }
  return count;
}

// Unpacks chunks `from` to `to` of stored_ and puts the part of each inside
// the dataset's shape (edge chunks overhang it) in its place in `into`, a
// layer `depth` slices deep.
void Hdf5ChunkLayers::unpackEach(std::size_t from, std::size_t to, hsize_t depth,
                                 std::vector<unsigned char>& voxels,
                                 std::vector<unsigned char>& into, const std::string& file) const {
  for (std::size_t n = from; n < to; ++n) {
    unpack(stored_[n], voxels, file);
    place(stored_[n].offset, depth, voxels, into);
  }
}

// The layer into layer_ now: half of its chunks on a second thread where
// the machine has a core for it and they are deflated, inflating them being
// most of reading such a dataset.
bool Hdf5ChunkLayers::readLayer(hsize_t layer, const std::string& file) {
  const hsize_t depth = depthOf(layer);
  const std::optional<std::size_t> count = readStoredLayer(layer);
  if (!count) return false;
  layer_.resize(std::size_t(depth * shape_[1] * shape_[2]) * voxelBytes_);
  if (!deflated_ || *count < 2 || std::thread::hardware_concurrency() < 2) {
    unpackEach(0, *count, depth, chunkVoxels_, layer_, file);
    return true;
  }
  const std::size_t middle = *count / 2;
  std::exception_ptr besideFailure;
  std::thread beside([&] {
    try {
      unpackEach(middle, *count, depth, besideVoxels_, layer_, file);
    } catch (...) {
      besideFailure = std::current_exception();
    }
  });
  std::exception_ptr failure;
  try {
    unpackEach(0, middle, depth, chunkVoxels_, layer_, file);
  } catch (...) {
    failure = std::current_exception();
  }
  beside.join();
  if (failure) std::rethrow_exception(failure);
  if (besideFailure) std::rethrow_exception(besideFailure);
  return true;
}

// Reads the stored bytes of `layer` and unpacks them into aheadLayer_ on a
// thread of its own while the slices of this one are swept, where the
// dataset has the layer and the machine a second core. Where its stored
// bytes cannot be read, it is read when asked for, and fails then.
void Hdf5ChunkLayers::startAhead(hsize_t layer, const std::string& file) {
  if (layer * chunk_[0] >= shape_[0] || std::thread::hardware_concurrency() < 2) return;
  const std::optional<std::size_t> count = readStoredLayer(layer);
  if (!count) return;
  const hsize_t depth = depthOf(layer);
  aheadLayer_.resize(std::size_t(depth * shape_[1] * shape_[2]) * voxelBytes_);
  ahead_ = layer;
  aheadFailure_ = nullptr;
  aheadThread_ = std::thread([this, depth, count = *count, file] {
    try {
      unpackEach(0, count, depth, aheadVoxels_, aheadLayer_, file);
    } catch (...) {
      aheadFailure_ = std::current_exception();
    }
  });
}

void Hdf5ChunkLayers::finishAhead() {
  if (aheadThread_.joinable()) aheadThread_.join();
  ahead_.reset();
}

bool Hdf5ChunkLayers::readStored(StoredChunk& chunk) const {
  const Hdf5Library& h5 = *h5_;
  hsize_t size = 0;
  if (h5.H5Dget_chunk_storage_size(dataset_, chunk.offset, &size) < 0) return false;
  chunk.bytes.resize(std::size_t(size));
  chunk.skipped = 0;
  return h5.H5Dread_chunk(dataset_, H5P_DEFAULT, chunk.offset, &chunk.skipped,
                          chunk.bytes.data()) >= 0;
}

// The chunk's voxels into `voxels`: its stored bytes inflated, or taken as
// they are where no filter applies to it (its filter mask says which).
void Hdf5ChunkLayers::unpack(const StoredChunk& chunk, std::vector<unsigned char>& voxels,
                             const std::string& file) const {
  const std::size_t bytes = std::size_t(chunk_[0] * chunk_[1] * chunk_[2]) * voxelBytes_;
  const std::size_t size = chunk.bytes.size();
  voxels.resize(bytes);
  if (!deflated_ || (chunk.skipped & 1u) != 0) {
    if (size != bytes) {
      failVolume(file,
                 "a chunk of its dataset stores " + std::to_string(size) + " bytes for its " +
                     std::to_string(bytes),
                 "copy the file again");
    }
    std::memcpy(voxels.data(), chunk.bytes.data(), bytes);
    return;
  }
  if (!inflateWhole(chunk.bytes.data(), size, voxels.data(), bytes)) {
    failVolume(file,
               "a chunk of its dataset is corrupt or does not inflate to the chunk's " +
                   std::to_string(bytes) + " bytes",
               "copy the file again");
  }
}

// The chunk at `offset`, its voxels in `voxels`, copied into `into` (a
// layer `depth` slices deep) where it lies inside the dataset's shape.
void Hdf5ChunkLayers::place(const hsize_t offset[3], hsize_t depth,
                            const std::vector<unsigned char>& voxels,
                            std::vector<unsigned char>& into) const {
  const hsize_t y = offset[1], x = offset[2];
  const std::size_t row = std::size_t(shape_[2]) * voxelBytes_;
  const hsize_t rows = std::min(chunk_[1], shape_[1] - y);
  const std::size_t width = std::size_t(std::min(chunk_[2], shape_[2] - x)) * voxelBytes_;
  const std::size_t chunkRow = std::size_t(chunk_[2]) * voxelBytes_;
  for (hsize_t z = 0; z < depth; ++z) {
    for (hsize_t j = 0; j < rows; ++j) {
      std::memcpy(
          into.data() + std::size_t(z * shape_[1] + y + j) * row + std::size_t(x) * voxelBytes_,
          voxels.data() + std::size_t(z * chunk_[1] + j) * chunkRow, width);
    }
  }
}

}  // namespace mcubes::internal
