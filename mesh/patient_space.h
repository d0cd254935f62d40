// A mesh moved between the patient spaces files state (RAS, LAS, LPS):
// each is RAS with x, or x and y, pointing the other way.
#pragma once

#include "mesh/surface.h"
#include "volume/volume.h"

// "RAS", "LAS", "LPS", or "the file's own space" for Unstated.
const char* worldSpaceName(WorldSpace space);

// Moves the vertices and normals from `from` to `to` (both stated), and
// turns the faces where one axis alone flips, so that they stay outward.
void moveToSpace(IndexedMesh& mesh, WorldSpace from, WorldSpace to);
