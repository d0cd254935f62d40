// The scene's surface as a mesh file: OBJ and ASCII PLY indexed (welded),
// with per-vertex normals when the mesh has them, binary STL as a plain
// triangle list with facet normals.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "iso/isosurface.h"
#include "mesh/weld.h"

enum class MeshFormat { Obj, Ply, Stl };

// "obj", "ply" or "stl"; nothing for any other name.
std::optional<MeshFormat> meshFormatNamed(const std::string& name);

// Each writer returns false if a write failed. Coordinates are printed with
// nine significant digits, enough to read back the same float. OBJ faces
// name a vertex's normal with its position (f v//n ...); PLY adds nx ny nz
// to each vertex.
bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
// 80-byte header, triangle count, then per triangle the unit normal and the
// three vertices in outward order, little-endian, as the triangles come.
bool writeStl(std::FILE* out, const std::vector<Triangle>& triangles, const std::string& comment);
