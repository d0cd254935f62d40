#include "tools/mesh_across.h"

#include <filesystem>
#include <system_error>

#include "mesh/distributed/volume_across.h"

bool writtenInPieces(const std::string& path, MeshFormat format, bool ascii,
                     const VolumeGeometry& geometry, const SurfaceOptions& options) {
  if (!(format == MeshFormat::Stl || (format == MeshFormat::Ply && !ascii))) return false;
  if (path.empty() || path == "-") return false;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
  return weldableInPieces(geometry, options);
}
