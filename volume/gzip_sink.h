// Compression into gzip's format (NRRD's gzip encoding), streamed to a file.
// Builds without zlib have a version that writes nothing (gzip_sink_absent.cpp).
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace mcubes::internal {

// Whether this build can compress (it has zlib).
bool writesGzip();

class GzipSink {
 public:
  explicit GzipSink(std::FILE* file);
  ~GzipSink();
  GzipSink(const GzipSink&) = delete;
  GzipSink& operator=(const GzipSink&) = delete;

  // Compresses `bytes` more bytes; false once a write or the compressor failed.
  bool write(const void* data, std::size_t bytes);
  // Ends the stream; false where it or anything before it failed.
  bool finish();

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

}  // namespace mcubes::internal
