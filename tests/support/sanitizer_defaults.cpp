// Linked into every sanitized test program: the sanitizers' options and the
// one Mesa setting the leak check needs, so that a test behaves the same
// however it is started (ctest with or without a preset, or by hand).
#include <stdlib.h>

extern "C" {
const char* __asan_default_options() { return MC_ASAN_OPTIONS; }
const char* __lsan_default_options() { return MC_LSAN_OPTIONS; }
const char* __ubsan_default_options() { return MC_UBSAN_OPTIONS; }
}

namespace {

// LeakSanitizer stops every thread to scan memory; an llvmpipe worker thread
// that starts or exits during the scan crashes it ("Tracer caught signal 11")
// after the test itself has passed. Rasterising on the calling thread leaves
// no such thread. Set before main(), so before Mesa reads it; a value given
// from outside wins.
const bool singleThreadedRasteriser = setenv("LP_NUM_THREADS", "0", 0) == 0;
// The same for the thread of Mesa's shader disk cache, which ends at exit,
// while the leak check runs.
const bool noShaderCacheThread = setenv("MESA_SHADER_CACHE_DISABLE", "true", 0) == 0;

}  // namespace
