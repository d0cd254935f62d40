// The voxels of a chunked HDF5 dataset compressed by deflate alone, or not
// at all, read a layer of chunks at a time straight from the file: each
// chunk's stored bytes (H5Dread_chunk) inflated here, by ISA-L where the
// build has it. Where the machine has two cores, the next layer is
// unpacked on a thread of its own while the slices of one are swept, and a
// layer asked for before it was (the first) is split between two threads.
// HDF5's own read inflates with zlib into its chunk cache and copies from
// there, and took twice as long on a gzip-chunked scan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "volume/hdf5_library.h"

namespace mcubes::internal {

class Hdf5ChunkLayers {
 public:
  // The layers of `dataset` (3-D, `shape` slowest first), its voxels
  // `voxelBytes` each and stored as `memoryType` is; none where HDF5 must
  // read it: not chunked, a filter other than deflate (shuffle,
  // Fletcher-32, another library's), edge chunks left unfiltered, a stored
  // type other than the machine's own, chunks never written (HDF5 reads
  // its fill value for them), or two layers and three chunks of more than
  // 1 GiB.
  static std::unique_ptr<Hdf5ChunkLayers> of(const Hdf5Library& h5, hid_t dataset, hid_t memoryType,
                                             const std::vector<hsize_t>& shape,
                                             std::size_t voxelBytes);

  // Slice `k`'s voxels (shape[1] x shape[2], the last fastest) as stored,
  // valid until a slice of another layer is asked for; null where HDF5
  // cannot read one of its chunks. Compressed data that is corrupt, or
  // inflates to another size than a chunk's, fails naming `file`.
  const unsigned char* slice(std::int64_t k, const std::string& file);

  // Waits for the layer being unpacked ahead.
  ~Hdf5ChunkLayers();
  Hdf5ChunkLayers(const Hdf5ChunkLayers&) = delete;
  Hdf5ChunkLayers& operator=(const Hdf5ChunkLayers&) = delete;

 private:
  Hdf5ChunkLayers(const Hdf5Library& h5, hid_t dataset, const hsize_t shape[3],
                  const hsize_t chunk[3], std::size_t voxelBytes, bool deflated);
  // A chunk's place in the dataset, its stored bytes and its filter mask.
  struct StoredChunk {
    hsize_t offset[3];
    std::vector<unsigned char> bytes;
    std::uint32_t skipped;
  };
  hsize_t depthOf(hsize_t layer) const;
  std::optional<std::size_t> readStoredLayer(hsize_t layer);
  bool readStored(StoredChunk& chunk) const;
  void unpackEach(std::size_t from, std::size_t to, hsize_t depth,
                  std::vector<unsigned char>& voxels, std::vector<unsigned char>& into,
                  const std::string& file) const;
  bool readLayer(hsize_t layer, const std::string& file);
  void startAhead(hsize_t layer, const std::string& file);
  void finishAhead();
  void unpack(const StoredChunk& chunk, std::vector<unsigned char>& voxels,
              const std::string& file) const;
  void place(const hsize_t offset[3], hsize_t depth, const std::vector<unsigned char>& voxels,
             std::vector<unsigned char>& into) const;

  const Hdf5Library* h5_;
  hid_t dataset_;  // owned by the reader
  hsize_t shape_[3], chunk_[3];
  std::size_t voxelBytes_;
  bool deflated_;
  std::optional<hsize_t> held_;  // the layer in layer_
  std::vector<unsigned char> layer_;
  std::vector<StoredChunk> stored_;  // a layer's chunks, kept for their memory
  // The layer after held_, unpacked into aheadLayer_ by aheadThread_.
  std::optional<hsize_t> ahead_;
  std::vector<unsigned char> aheadLayer_;
  std::thread aheadThread_;
  std::exception_ptr aheadFailure_;
  // A chunk unpacked, for each thread that unpacks.
  std::vector<unsigned char> chunkVoxels_, besideVoxels_, aheadVoxels_;
};

}  // namespace mcubes::internal
