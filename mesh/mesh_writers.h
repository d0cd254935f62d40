// The scene's isosurface as a mesh file: OBJ and ASCII PLY indexed and
// welded, binary STL as a plain triangle list. Faces are wound
// counter-clockwise seen from outside the blobs, the reverse of the drawing
// order, so that viewers compute outward normals.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "iso/isosurface.h"

enum class MeshFormat { Obj, Ply, Stl };

// "obj", "ply" or "stl"; nothing for any other name.
std::optional<MeshFormat> meshFormatNamed(const std::string& name);

struct IndexedMesh {
  std::vector<Point3> vertices;
  std::vector<std::array<std::uint32_t, 3>> faces;  // zero-based, outward winding
};

// A vertex on a grid edge shared by two cells can differ in its last bit
// between them; vertices closer than this are one.
constexpr double WeldDistance = 1e-5;

// Every triangle the sweep hands out at the clock value, in sweep order.
std::vector<Triangle> sceneTriangles(std::int32_t ticks);

// The triangle with its winding reversed: outward instead of drawing order.
Triangle outwardFace(const Triangle& triangle);

// Welds the triangles' vertices (each merges into the earliest vertex kept
// so far that is closer than `weldDistance`), turns the faces outward and drops the faces
// left with a repeated vertex. Faces keep the triangles' order.
IndexedMesh weldTriangles(const std::vector<Triangle>& triangles, double weldDistance);

// Each writer returns false if a write failed. Coordinates are printed with
// nine significant digits, enough to read back the same float.
bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
// 80-byte header, triangle count, then per triangle the unit normal and the
// three vertices in outward order, little-endian, as the triangles come.
bool writeStl(std::FILE* out, const std::vector<Triangle>& triangles, const std::string& comment);
