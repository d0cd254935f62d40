#include "volume/hdf5_name.h"

#include <cctype>

namespace mcubes::internal {

namespace {

// Whether `path` holds an HDF5 extension ending just before `end`.
bool hdf5ExtensionBefore(const std::string& path, std::size_t end) {
  for (const std::string extension : {".h5", ".hdf5", ".he5"}) {
    if (end < extension.size()) continue;
    bool same = true;
    for (std::size_t n = 0; n < extension.size(); ++n) {
      const unsigned char c = static_cast<unsigned char>(path[end - extension.size() + n]);
      same = same && std::tolower(c) == extension[n];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

std::optional<Hdf5Name> hdf5Name(const std::string& path) {
  for (std::size_t colon = path.find(':'); colon != std::string::npos;
       colon = path.find(':', colon + 1)) {
    if (hdf5ExtensionBefore(path, colon))
      return Hdf5Name{path.substr(0, colon), path.substr(colon + 1)};
  }
  if (hdf5ExtensionBefore(path, path.size())) return Hdf5Name{path, ""};
  return std::nullopt;
}

}  // namespace mcubes::internal
