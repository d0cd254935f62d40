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

SpaceMove spaceMove(WorldSpace from, WorldSpace to) {
  const Signs a = signsOf(from), b = signsOf(to);
  return {a.x * b.x, a.y * b.y};
}

void moveToSpace(IndexedMesh& mesh, WorldSpace from, WorldSpace to) {
  const SpaceMove move = spaceMove(from, to);
  if (!move.moves()) return;
  for (Point3& v : mesh.vertices) v = move(v);
  for (Point3& n : mesh.normals) n = move(n);
  if (move.turnsFaces()) reverseFaces(mesh);
}

std::string commentInSpace(const std::string& comment, WorldSpace space) {
  if (space != WorldSpace::Ras && space != WorldSpace::Lps) return comment;
  return std::string("SPACE=") + worldSpaceName(space) + (comment.empty() ? "" : " ") + comment;
}

}  // namespace mcubes::internal
