// Binary STL and PLY written as a streamed surface comes
// (mesh/pipeline/streamed_surface.h), with the bytes writeStl and writePly
// give its whole mesh. STL's facet count is put in its header at the end;
// PLY's counts lead its header, so its vertices and faces wait in two
// temporary files until the counts are known.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "mesh/pipeline/streamed_surface.h"
#include "mesh/writers/binary_records.h"

namespace mcubes::internal {

// A streamed surface into a mesh file: finish() writes what is still to go
// and returns false where a write failed.
class StreamedFile : public SurfaceStream {
 public:
  virtual bool finish() = 0;
};

// Binary STL to `out`, which must be able to seek back to its header.
std::unique_ptr<StreamedFile> streamedStl(std::FILE* out, const std::string& comment);

// Binary PLY to `out`, per-vertex normals with `normals`.
std::unique_ptr<StreamedFile> streamedPly(std::FILE* out, const std::string& comment, bool normals);

}  // namespace mcubes::internal
