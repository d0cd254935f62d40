#include <zlib.h>

#include "volume/gzip_sink.h"

namespace mcubes::internal {

struct GzipSink::Stream {
  std::FILE* file;
  z_stream z{};
  bool ok = false;

  // Runs the compressor until it has taken all its input (and, at the end,
  // said all it has), writing what it gives.
  bool drain(int flush) {
    unsigned char out[1 << 16];
    int result = Z_OK;
    do {
      z.next_out = out;
      z.avail_out = sizeof out;
      result = deflate(&z, flush);
      if (result == Z_STREAM_ERROR) return false;
      const std::size_t produced = sizeof out - z.avail_out;
      if (std::fwrite(out, 1, produced, file) != produced) return false;
    } while (z.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
    return true;
  }
};

bool writesGzip() { return true; }

GzipSink::GzipSink(std::FILE* file) : stream_(new Stream{file}) {
  // 15 + 16: the largest window, wrapped as gzip rather than zlib.
  stream_->ok = deflateInit2(&stream_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                             Z_DEFAULT_STRATEGY) == Z_OK;
}

GzipSink::~GzipSink() { deflateEnd(&stream_->z); }

bool GzipSink::write(const void* data, std::size_t bytes) {
  const auto* next = static_cast<const unsigned char*>(data);
  while (stream_->ok && bytes > 0) {
    // zlib counts in unsigned int.
    const std::size_t part = bytes < (1u << 30) ? bytes : (1u << 30);
    stream_->z.next_in = const_cast<unsigned char*>(next);
    stream_->z.avail_in = static_cast<unsigned>(part);
    stream_->ok = stream_->drain(Z_NO_FLUSH);
    next += part;
    bytes -= part;
  }
  return stream_->ok;
}

bool GzipSink::finish() {
  stream_->z.avail_in = 0;
  return stream_->ok && stream_->drain(Z_FINISH);
}

}  // namespace mcubes::internal
