// A mesh moved between the patient spaces files state (RAS, LAS, LPS):
// each is RAS with x, or x and y, pointing the other way.
#pragma once

#include <string>

#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// "RAS", "LAS", "LPS", or "the file's own space" for Unstated.
const char* worldSpaceName(WorldSpace space);

// Moves the vertices and normals from `from` to `to` (both stated), and
// turns the faces where one axis alone flips, so that they stay outward.
void moveToSpace(IndexedMesh& mesh, WorldSpace from, WorldSpace to);

// The comment of an STL, OBJ or PLY file of a mesh in `space`, led by the
// tag 3D Slicer looks for in those headers (SPACE=RAS or SPACE=LPS; it
// takes a file without one as LPS), so that it survives STL's 80 bytes.
// LAS and the file's own space have no tag: the comment alone.
std::string commentInSpace(const std::string& comment, WorldSpace space);

}  // namespace mcubes::internal
