// The modules of mcubes' own that hold a reader's library (GDCM, HDF5) for
// the binaries that load it on first use rather than at their start: each
// exports one function returning its table of calls, whose first member is
// the table's layout (an int), changed whenever the table is.
#pragma once

#include <string>

namespace mcubes::internal {

// The table that `entry` of the module `name` returns: the module beside
// the binary that holds this code (the build's tools/ folder, an install's
// bin/ or lib/), then in the lib/mcubes/ folder of the install around it,
// then where this build installs it. Null where none loads or holds a table
// of `layout`, with each place looked at and what was wrong there in
// `tried`.
const void* loadModule(const char* name, const char* entry, int layout, std::string& tried);

}  // namespace mcubes::internal
