// The build without the HDF5 library (the Windows and browser builds).
#include "volume/read_failure.h"
#include "volume/volume_readers.h"

namespace mcubes::internal {

std::unique_ptr<VolumeReader> openHdf5(const std::string& path, const std::string&,
                                       const VoxelPlacement&) {
  failVolume(path, "this build cannot read HDF5 (built without the HDF5 library)",
             "write the dataset as raw voxels or NRRD, or use a build with HDF5");
}

}  // namespace mcubes::internal
