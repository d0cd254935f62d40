#include "mesh/finishing/patient_space.h"

#include "mesh/surface/weld.h"

namespace mcubes::internal {

namespace {

// The signs of x and y against RAS.
struct Signs {
  float x, y;
};

Signs signsOf(WorldSpace space) {
  switch (space) {
    case WorldSpace::Las:
      return {-1.0f, 1.0f};
    case WorldSpace::Lps:
      return {-1.0f, -1.0f};
    default:
      return {1.0f, 1.0f};
  }
}

}  // namespace

const char* worldSpaceName(WorldSpace space) {
  switch (space) {
    case WorldSpace::Ras:
      return "RAS";
    case WorldSpace::Las:
      return "LAS";
    case WorldSpace::Lps:
      return "LPS";
    case WorldSpace::Unstated:
      break;
  }
  return "the file's own space";
}

void moveToSpace(IndexedMesh& mesh, WorldSpace from, WorldSpace to) {
  const Signs a = signsOf(from), b = signsOf(to);
  const float x = a.x * b.x, y = a.y * b.y;
  if (x == 1.0f && y == 1.0f) return;
  for (Point3& v : mesh.vertices) v.x *= x, v.y *= y;
  for (Point3& n : mesh.normals) n.x *= x, n.y *= y;
  if (x * y < 0.0f) reverseFaces(mesh);
}

std::string commentInSpace(const std::string& comment, WorldSpace space) {
  if (space != WorldSpace::Ras && space != WorldSpace::Lps) return comment;
  return std::string("SPACE=") + worldSpaceName(space) + (comment.empty() ? "" : " ") + comment;
}

}  // namespace mcubes::internal
