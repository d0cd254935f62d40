// The calls the HDF5 reader makes into the HDF5 library, as one table of
// its functions. On native Linux, mcubes loads them from a module of their
// own (libmcubes-hdf5.so) the first time it opens an HDF5 file, so that the
// runs that read no HDF5 do not load the library, which with the network
// libraries it brings (curl, TLS, Kerberos) costs most of a run's start;
// the library and the Python module link the same table directly. The
// reader calls HDF5 through the table only: in mcubes, a direct call fails
// to link.
#pragma once

#include <hdf5.h>

#include <string>

#include "volume/volume.h"

namespace mcubes::internal {

// The module's file name, and the function it exports, which returns its
// table (a `const Hdf5Library*`).
constexpr const char* Hdf5ModuleName = "libmcubes-hdf5.so";
constexpr const char* Hdf5ModuleEntry = "mcubes_hdf5_library";
// Changes whenever the table does: a module of another build is refused.
constexpr int Hdf5LibraryLayout = 1;

// The library's functions that the reader calls, each a member of the
// table under its own name (as the library's headers map it, for versioned
// names).
// clang-format off
#define MC_HDF5_FUNCTIONS(X)                                                                    \
  X(H5Aclose) X(H5Aexists) X(H5Aget_space) X(H5Aopen) X(H5Aread) X(H5Dclose)                    \
  X(H5Dget_chunk_storage_size) X(H5Dget_create_plist) X(H5Dget_num_chunks) X(H5Dget_space)      \
  X(H5Dget_storage_size) X(H5Dget_type) X(H5Dopen2) X(H5Dread) X(H5Dread_chunk) X(H5Eset_auto2) \
  X(H5Fclose) X(H5Fis_hdf5) X(H5Lvisit) X(H5Pclose)                                             \
  X(H5Pcopy) X(H5Pcreate) X(H5Pget_chunk) X(H5Pget_chunk_opts) X(H5Pget_external)               \
  X(H5Pget_external_count) X(H5Pget_filter2) X(H5Pget_layout) X(H5Pget_nfilters)                \
  X(H5Pget_virtual_count) X(H5Pget_virtual_filename) X(H5Pset_chunk_cache)                      \
  X(H5Pset_efile_prefix) X(H5Pset_elink_cb) X(H5Pset_virtual_prefix) X(H5Sclose)                \
  X(H5Screate_simple) X(H5Sget_simple_extent_dims) X(H5Sget_simple_extent_ndims)                \
  X(H5Sget_simple_extent_npoints) X(H5Sselect_hyperslab) X(H5Tclose) X(H5Tequal)                \
  X(H5Tget_class) X(H5Tget_sign) X(H5Tget_size)
// clang-format on

struct Hdf5Library {
  int layout;
#define MC_HDF5_MEMBER(function) decltype(&::function) function;
  MC_HDF5_FUNCTIONS(MC_HDF5_MEMBER)
#undef MC_HDF5_MEMBER
  // What the library's headers name by macros that read its globals (set
  // as it starts) or check its version: the machine's own type for voxels
  // of a type, the class of dataset access lists, and `path` opened to be
  // read (H5Fopen's identifier, or a negative one).
  hid_t (*nativeType)(VoxelType type);
  hid_t (*datasetAccessClass)();
  hid_t (*openReadOnly)(const char* path);
};

// The library's table, in the binary that links the HDF5 library.
extern const Hdf5Library linkedHdf5Library;

// The table, loaded on the first call where it lives in the module. Throws
// VolumeError naming `file` where the module is missing or cannot be
// loaded, saying where it was looked for.
const Hdf5Library& hdf5Library(const std::string& file);

}  // namespace mcubes::internal
