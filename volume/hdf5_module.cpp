// The entry of libmcubes-hdf5.so, the module that holds the HDF5 library's
// table for the binaries that load it on their first HDF5 file
// (hdf5_library.h).
#include "volume/hdf5_library.h"

extern "C" __attribute__((visibility("default"))) const mcubes::internal::Hdf5Library*
mcubes_hdf5_library() {
  return &mcubes::internal::linkedHdf5Library;
}
