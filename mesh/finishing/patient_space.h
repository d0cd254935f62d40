// A mesh moved between the patient spaces files state (RAS, LAS, LPS):
// each is RAS with x, or x and y, pointing the other way.
#pragma once

#include <string>

#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// "RAS", "LAS", "LPS", or "the file's own space" for Unstated.
const char* worldSpaceName(WorldSpace space);

// The move from `from` to `to` of a point or a normal at a time, for a mesh
// moved as it streams: x and y times their signs, and whether faces turn.
struct SpaceMove {
  float x = 1.0f, y = 1.0f;
  bool moves() const { return x != 1.0f || y != 1.0f; }
  bool turnsFaces() const { return x * y < 0.0f; }
  Point3 operator()(const Point3& p) const { return {p.x * x, p.y * y, p.z}; }
};
SpaceMove spaceMove(WorldSpace from, WorldSpace to);

// Moves the vertices and normals from `from` to `to` (both stated), and
// turns the faces where one axis alone flips, so that they stay outward.
void moveToSpace(IndexedMesh& mesh, WorldSpace from, WorldSpace to);

// The comment of an STL, OBJ or PLY file of a mesh in `space`, led by the
// tag 3D Slicer looks for in those headers (SPACE=RAS or SPACE=LPS; it
// takes a file without one as LPS), so that it survives STL's 80 bytes.
// LAS and the file's own space have no tag: the comment alone.
std::string commentInSpace(const std::string& comment, WorldSpace space);

}  // namespace mcubes::internal
