#include <optional>

#include "library/conversion.h"
#include "mcubes/error.h"
#include "mcubes/mesh.h"
#include "mesh/writers/mesh_writers.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

MeshFormat formatOf(const std::string& path, const WriteOptions& options) {
  std::optional<MeshFormat> format;
  if (!options.format.empty()) {
    format = meshFormatNamed(options.format);
    if (!format) {
      throw ArgumentError("unknown mesh format '" + options.format +
                          "' (use obj, ply, stl, glb, vtp or gii)");
    }
  } else {
    format = meshFormatOfPath(path);
    if (!format) {
      throw ArgumentError("cannot tell the mesh format from '" + path +
                          "': end it in .obj, .ply, .stl, .glb, .vtp or .gii, or give the format");
    }
  }
  if (*format == MeshFormat::Gii && !writesGii()) {
    throw ArgumentError(
        "this build of mcubes writes no gii (it was built without giftiio): use obj, ply, stl, "
        "glb or vtp");
  }
  return *format;
}

WorldSpace spaceOf(const WriteOptions& options) {
  if (options.space.empty()) return WorldSpace::Unstated;
  if (options.space == "RAS") return WorldSpace::Ras;
  if (options.space == "LPS") return WorldSpace::Lps;
  throw ArgumentError("unknown space '" + options.space + "' (use RAS, LPS or none)");
}

}  // namespace

void writeMesh(const std::string& path, const Mesh& mesh, const WriteOptions& options) {
  const MeshFormat format = formatOf(path, options);
  const WorldSpace space = spaceOf(options);
  const IndexedMesh indexed = internalMesh(mesh);
  const std::string error = writeOutput(path, [&](std::FILE* out) {
    return writeMeshAs(format, out, indexed, options.comment, space, options.ascii);
  });
  if (!error.empty()) throw FileError(error, path);
}

}  // namespace mcubes
