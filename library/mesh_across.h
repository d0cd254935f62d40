// A request run by several processes at once (an MPI launcher's, through
// mesh/distributed/communicator.h): each meshes its share of the layers,
// reading only the slices it needs. Binary PLY and STL files are written
// by every process at once, its piece at its place, none holding the whole;
// otherwise (text formats, standard output, the finishing steps, label
// maps) process 0 gathers the shares and goes on alone. Either way the
// bytes are those one process writes.
#pragma once

#include <string>

#include "mcubes/meshing.h"
#include "mesh/distributed/communicator.h"

namespace mcubes {

// meshVolumeToFile across `processes`, every one of which calls it alike.
// A failure on any fails every process with its message. Findings are told
// on every process; process 0's report holds them all.
MeshReport meshVolumeAcross(internal::Communicator& processes, const MeshRequest& request,
                            const std::string& path, const WriteOptions& options = {});

}  // namespace mcubes
