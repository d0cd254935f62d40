// The build without zlib (the Windows and browser builds): writers ask
// writesGzip() first and write uncompressed data instead or refuse.
#include "volume/gzip_sink.h"

namespace mcubes::internal {

struct GzipSink::Stream {};

bool writesGzip() { return false; }

GzipSink::GzipSink(std::FILE*) {}

GzipSink::~GzipSink() = default;

bool GzipSink::write(const void*, std::size_t) { return false; }

bool GzipSink::finish() { return false; }

}  // namespace mcubes::internal
