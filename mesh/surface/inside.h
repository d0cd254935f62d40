// Which side of the iso level a volume's object lies on.
#pragma once

namespace mcubes::internal {

// Above: values at or above the level are inside (CT, MRI, densities,
// probabilities). Below: values at or below it are (signed distance fields,
// negative inside, and level sets): the surface is then that of the negated
// volume at the negated level, bit for bit, closed and wound outward alike,
// though no negated copy of the values is made. NaN and infinite voxels are
// outside either way, like the layer around the volume.
enum class Inside { Above, Below };

}  // namespace mcubes::internal
