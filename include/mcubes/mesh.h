// Meshes as plain arrays, and mesh files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mcubes {

// Shared vertices and the triangles that index them, wound outward
// (counter-clockwise seen from outside, where the values are below the
// level).
struct Mesh {
  std::vector<float> positions;        // x, y, z per vertex
  std::vector<float> normals;          // empty, or a unit x, y, z per vertex
  std::vector<std::uint32_t> indices;  // three zero-based vertices per triangle

  std::size_t vertexCount() const { return positions.size() / 3; }
  std::size_t triangleCount() const { return indices.size() / 3; }
};

struct WriteOptions {
  // "obj", "ply", "stl", "glb", "vtp" or "gii"; empty: from the path's
  // extension.
  std::string format;
  std::string comment;
  bool ascii = false;  // text PLY
};

// Writes `mesh` to `path` whole or not at all (a temporary file renamed
// over it); "-" is standard output. Throws ArgumentError for a format it
// cannot tell or write, or a face naming a vertex that is not there, and
// FileError where writing fails.
void writeMesh(const std::string& path, const Mesh& mesh, const WriteOptions& options = {});

}  // namespace mcubes
