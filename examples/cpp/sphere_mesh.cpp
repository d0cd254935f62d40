// Meshes a sphere's distance field held in memory, smooths it and writes
// it: sphere_mesh OUT.obj. Then checks what any closed sphere must be.
#include <cmath>
#include <cstdio>
#include <vector>

#include "mcubes/mcubes.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sphere_mesh OUT.obj\n");
    return 2;
  }
  const std::int64_t dims[3] = {40, 30, 20};
  std::vector<float> distance;
  for (std::int64_t k = 0; k < dims[2]; ++k) {
    for (std::int64_t j = 0; j < dims[1]; ++j) {
      for (std::int64_t i = 0; i < dims[0]; ++i) {
        // Inside is where values lie above the level: the distance negated.
        distance.push_back(-std::hypot(i - 19.5f, j - 14.5f, k - 9.5f));
      }
    }
  }
  try {
    mcubes::Placement placement;
    placement.spacing[0] = placement.spacing[1] = placement.spacing[2] = 0.5;
    mcubes::MeshRequest request;
    request.source = mcubes::arraySource(
        mcubes::packedArray(distance.data(), mcubes::VoxelType::Float32, dims), placement);
    request.surface.level = -8.0;
    request.surface.normals = true;
    request.finish.smoothIterations = 10;
    request.onFinding = [](const mcubes::Finding& finding) {
      std::fprintf(stderr, "sphere_mesh: %s\n", finding.message().c_str());
    };
    mcubes::MeshResult result = mcubes::meshVolume(request);
    mcubes::writeMeshes(argv[1], result);
    const mcubes::Mesh& mesh = result.surfaces.front().mesh;

    // A closed sphere: V - E + F = 2 with E = 3F / 2, and every vertex 4
    // (the radius, times the spacing) from the centre.
    const long euler =
        static_cast<long>(mesh.vertexCount()) - static_cast<long>(mesh.triangleCount()) / 2;
    double worst = 0;
    for (std::size_t v = 0; v < mesh.vertexCount(); ++v) {
      const float* p = &mesh.positions[3 * v];
      const double r = std::hypot(p[0] - 9.75, p[1] - 7.25, p[2] - 4.75);
      worst = std::fmax(worst, std::fabs(r - 4.0));
    }
    std::printf("%zu vertices, %zu triangles, Euler characteristic %ld, radius within %.3f\n",
                mesh.vertexCount(), mesh.triangleCount(), euler, worst);
    return euler == 2 && worst < 0.1 && mesh.normals.size() == mesh.positions.size() ? 0 : 1;
  } catch (const mcubes::Error& error) {
    std::fprintf(stderr, "sphere_mesh: %s\n", error.what());
    return 2;
  }
}
