// The HDF5 library's table (hdf5_library.h), in the module and in the
// binaries that link the library.
#include "volume/hdf5_library.h"

namespace mcubes::internal {

namespace {

// Little-endian wherever this is built, as decodeVoxels reads voxels.
hid_t nativeType(VoxelType type) {
  switch (type) {
    case VoxelType::Uint8:
      return H5T_NATIVE_UINT8;
    case VoxelType::Int8:
      return H5T_NATIVE_INT8;
    case VoxelType::Uint16:
      return H5T_NATIVE_UINT16;
    case VoxelType::Int16:
      return H5T_NATIVE_INT16;
    case VoxelType::Uint32:
      return H5T_NATIVE_UINT32;
    case VoxelType::Int32:
      return H5T_NATIVE_INT32;
    case VoxelType::Float32:
      return H5T_NATIVE_FLOAT;
    case VoxelType::Float64:
      break;
  }
  return H5T_NATIVE_DOUBLE;
}

hid_t datasetAccessClass() { return H5P_DATASET_ACCESS; }

hid_t openReadOnly(const char* path) { return H5Fopen(path, H5F_ACC_RDONLY, H5P_DEFAULT); }

}  // namespace

// clang-format off
const Hdf5Library linkedHdf5Library = {
    Hdf5LibraryLayout,
#define MC_HDF5_ADDRESS(function) &::function,
    MC_HDF5_FUNCTIONS(MC_HDF5_ADDRESS)
#undef MC_HDF5_ADDRESS
    nativeType,
    datasetAccessClass,
    openReadOnly,
};
// clang-format on

}  // namespace mcubes::internal
