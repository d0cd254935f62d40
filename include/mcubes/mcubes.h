// mcubes as a library: volumes read, their surfaces extracted and finished,
// meshes written.
#pragma once

#include "mcubes/error.h"
#include "mcubes/mesh.h"
#include "mcubes/meshing.h"
#include "mcubes/pieces.h"
#include "mcubes/surface.h"
#include "mcubes/version.h"
#include "mcubes/volume.h"
