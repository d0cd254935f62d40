// The data files that a header names (NRRD's "data file", MetaImage's
// ElementDataFile): paths beside the header, and numbered series.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mcubes::internal {

// The most files one header may name.
constexpr std::int64_t MostDataFiles = 1 << 20;

// Files that a volume's file names (its data files, HDF5's external storage,
// links and virtual datasets' sources) are read only where they lie in or
// below the naming file's folder, once symbolic links are followed, so that
// a header from elsewhere cannot read /etc/shadow or ../../secret for its
// voxels; allowing them elsewhere is the user's explicit choice (mcubes
// --allow-outside-references). Devices and pipes are never read: a FIFO
// would hang the read for ever.
void allowOutsideReferences(bool allowed);

// `name` as a path: relative names are taken from the header's folder.
// Fails naming `headerFile` where the file may not be read, as above.
std::string besideHeader(const std::string& headerFile, std::string_view name);

// The files of a numbered series: `pattern` holds one integer conversion of
// printf's kind (%d, %i or %u, with an optional 0 flag and width), numbered
// from `first` to `last` by `step`. Fails naming `headerFile` for a
// pattern it cannot use or more than MostDataFiles files.
std::vector<std::string> numberedFiles(const std::string& headerFile, std::string_view pattern,
                                       std::int64_t first, std::int64_t last, std::int64_t step);

}  // namespace mcubes::internal
