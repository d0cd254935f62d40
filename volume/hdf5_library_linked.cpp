// The binaries that link the HDF5 library themselves (the library, the
// Python module, the tests) call its table directly.
#include "volume/hdf5_library.h"

namespace mcubes::internal {

const Hdf5Library& hdf5Library(const std::string&) { return linkedHdf5Library; }

}  // namespace mcubes::internal
