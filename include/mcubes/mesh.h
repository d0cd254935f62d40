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
  // "RAS" or "LPS": the space the vertices are in, said where readers look
  // for it (STL, OBJ and PLY comments begin SPACE=RAS or SPACE=LPS, as 3D
  // Slicer reads them; VTK's field data SPACE; GIfTI's coordinate system).
  // Empty: nothing said.
  std::string space;
};

// Writes `mesh` to `path` whole or not at all (a temporary file renamed
// over it); "-" is standard output. Throws ArgumentError for a format it
// cannot tell or write, a space other than RAS or LPS, or a face naming a
// vertex that is not there, and FileError where writing fails.
void writeMesh(const std::string& path, const Mesh& mesh, const WriteOptions& options = {});

}  // namespace mcubes
