// Where a volume's stored voxels lie: one file or several (each holding an
// equal share, in order), after a header and skips, raw or compressed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "volume/byte_source.h"
#include "volume/file_source.h"

namespace mcubes::internal {

struct DataLayout {
  std::string headerFile;          // the file whose header describes the data
  std::vector<std::string> files;  // the data files, in order
  std::int64_t start = 0;          // bytes before anything else in each file
  std::int64_t lineSkip = 0;       // then lines to skip, before decompressing
  std::int64_t byteSkip = 0;       // then bytes to skip (decompressed); -1:
                                   // the data ends where the file ends (raw)
  bool compressed = false;
  std::int64_t bytesPerFile = 0;  // the stored voxels each file holds
};

class DataStream {
 public:
  // Checks that every file is there and, where the size tells, holds its
  // share, and opens the first; fails naming the file otherwise.
  // The files stay noted as inputs (volume/output_file.h) while it lives,
  // so that no output replaces them.
  explicit DataStream(DataLayout layout);
  ~DataStream();
  DataStream(const DataStream&) = delete;
  DataStream& operator=(const DataStream&) = delete;
  // Reads exactly `size` bytes; fails naming the file where its data ends
  // early.
  void read(unsigned char* out, std::size_t size);
  // Passes over `size` bytes, failing as read does.
  void skip(std::int64_t size);

 private:
  void openNext();
  void forgetInputs() const;
  [[noreturn]] void endsEarly(std::int64_t got) const;

  DataLayout layout_;
  std::size_t nextFile_ = 0;
  std::unique_ptr<ByteSource> piece_;
  std::int64_t pieceLeft_ = 0;
};

}  // namespace mcubes::internal
