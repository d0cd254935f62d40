// What every volume header parser must do with any input, for the libFuzzer
// harnesses: either a VolumeError of one line that names the file, or a
// header whose sizes are at least 1 and whose geometry is finite and spans
// space (no flat lattice). A failed
// check aborts, which libFuzzer reports as a finding.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "volume/volume.h"
#include "volume/volume_layout.h"

constexpr const char* FuzzedFile = "fuzzed";

inline void check(bool holds, const char* harness, const std::string& what) {
  if (!holds) {
    std::fprintf(stderr, "%s: %s\n", harness, what.c_str());
    std::abort();
  }
}

// Whether `text` is one line, and under it at most the rows of a table (a
// folder's DICOM series), each starting with two spaces; `text` may end in a
// line end.
inline bool oneLineOrTableRows(const std::string& text) {
  if (text.find('\r') != std::string::npos) return false;
  for (std::size_t end = text.find('\n'); end != std::string::npos && end + 1 < text.size();
       end = text.find('\n', end + 1)) {
    if (text.compare(end + 1, 2, "  ") != 0) return false;
  }
  return true;
}

inline void checkError(const mcubes::internal::VolumeError& error, const char* harness) {
  const std::string message = error.what();
  check(message.rfind(std::string(FuzzedFile) + ": ", 0) == 0, harness,
        "the message does not begin with the file: " + message);
  check(message.find('\n') == std::string::npos && message.find('\r') == std::string::npos, harness,
        "the message is not one line: " + message);
  check(message.find("; ") != std::string::npos, harness,
        "the message says nothing to do: " + message);
}

// `stated`: the header has its own notice to give (Analyze's missing
// orientation), whatever its volumes.
inline void checkHeader(const mcubes::internal::VolumeHeader& header, std::int64_t volumes,
                        std::int64_t bytes, int bytesPerVoxel, const char* harness,
                        bool stated = false) {
  const mcubes::internal::VolumeGeometry& g = header.geometry;
  long double product = bytesPerVoxel * static_cast<long double>(volumes);
  for (int a = 0; a < 3; ++a) {
    check(g.dims[a] >= 1, harness, "a size below 1");
    check(std::isfinite(g.origin[a]), harness, "an origin that is not finite");
    for (int b = 0; b < 3; ++b) check(std::isfinite(g.axes[a][b]), harness, "an axis not finite");
    product *= g.dims[a];
  }
  check(mcubes::internal::axesSpread(g) >= mcubes::internal::FlatSpread, harness,
        "axes that lie in one plane");
  check(volumes >= 1, harness, "fewer than one volume");
  check(product == static_cast<long double>(bytes), harness,
        "the bytes are not the sizes' product");
  check((volumes > 1 || stated) == !header.notice.empty(), harness,
        "a notice without volumes, or none");
  check(std::isfinite(header.slope) && std::isfinite(header.offset), harness, "bad scaling");
}
