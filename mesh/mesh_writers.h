// A surface as a mesh file: OBJ and ASCII PLY indexed, with per-vertex
// normals when the mesh has them, binary STL as a triangle list with facet
// normals (from a welded mesh, facets that share a vertex share its bits).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "iso/isosurface.h"
#include "mesh/weld.h"

enum class MeshFormat { Obj, Ply, Stl };

// "obj", "ply" or "stl"; nothing for any other name.
std::optional<MeshFormat> meshFormatNamed(const std::string& name);

// The format a file name's extension names (.obj, .ply, .stl, any case);
// nothing for another extension or none.
std::optional<MeshFormat> meshFormatOfPath(const std::string& path);

// Each writer returns false if a write failed. Coordinates are printed with
// nine significant digits, enough to read back the same float. OBJ faces
// name a vertex's normal with its position (f v//n ...); PLY adds nx ny nz
// to each vertex.
bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
// 80-byte header, face count, then per face the unit normal and the three
// vertices in the face's order, little-endian.
bool writeStl(std::FILE* out, const IndexedMesh& mesh, const std::string& comment);
