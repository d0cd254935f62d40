// How a volume in an HDF5 file is named on the command line: the file, then
// a colon and the path of a dataset in it ("sim.h5:/fields/density").
#pragma once

#include <optional>
#include <string>

namespace mcubes::internal {

struct Hdf5Name {
  std::string file;
  std::string dataset;  // empty: not named
};

// The HDF5 file and dataset that `path` names, where it names one: the file
// ends in .h5, .hdf5 or .he5 (in any case) either where `path` ends or where
// the first colon after such an extension begins the dataset.
std::optional<Hdf5Name> hdf5Name(const std::string& path);

}  // namespace mcubes::internal
