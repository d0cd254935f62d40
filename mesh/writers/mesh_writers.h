// A surface as a mesh file: OBJ, PLY (binary or text), glTF 2.0 binary,
// VTK XML PolyData and GIfTI indexed, with per-vertex normals when the mesh
// has them, binary STL as a triangle list with facet normals (from a welded
// mesh, facets that share a vertex share its bits). OBJ, PLY, glTF and VTK
// also hold a mesh made of named parts (the labels of a label map).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

enum class MeshFormat { Obj, Ply, Stl, Glb, Vtp, Gii };

// "obj", "ply", "stl", "glb", "vtp" or "gii"; nothing for any other name.
std::optional<MeshFormat> meshFormatNamed(const std::string& name);

// The name of a format, its files' extension.
const char* meshFormatName(MeshFormat format);

// The format a file name's extension names (.obj, .ply, .stl, .glb, .vtp,
// .gii, any case);
// nothing for another extension or none.
std::optional<MeshFormat> meshFormatOfPath(const std::string& path);

// One of the parts a mesh is made of, one after another: its vertices and
// faces follow those of the part before.
struct MeshPart {
  std::int64_t label;
  std::string name;
  std::array<std::uint8_t, 3> colour;  // sRGB
  std::size_t vertices;
  std::size_t faces;
};

enum class PlyEncoding { Binary, Ascii };

// Each writer returns false if a write failed. Text coordinates are printed
// with nine significant digits, enough to read back the same float.
//
// OBJ faces name a vertex's normal with its position (f v//n ...). Parts
// are groups (g) with a material each (usemtl) of the library `materials`
// names (mtllib) unless it is empty; their names' blanks become '_'.
bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              const std::vector<MeshPart>& parts = {}, const std::string& materials = {});
// The materials of the parts: each its colour, diffuse and ambient.
bool writeMaterials(std::FILE* out, const std::vector<MeshPart>& parts);
// PLY, little-endian where binary, adds nx ny nz to each vertex with
// normals; with parts, red green blue (uchar) to each vertex and the
// part's label (int) to each face.
bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              PlyEncoding encoding, const std::vector<MeshPart>& parts = {});
// 80-byte header, face count, then per face the unit normal and the three
// vertices in the face's order, little-endian. With `threads` above 1 the
// facets are put in blocks on that many threads and written in order: the
// same bytes.
bool writeStl(std::FILE* out, const IndexedMesh& mesh, const std::string& comment, int threads = 1);

// glTF 2.0 binary (.glb): a mesh and a node per part, named, with a
// material of its colour (or one unnamed mesh without parts), each
// indexing its own run of the shared positions, normals and indices.
// Coordinates are written as they are: glTF reads them as metres, +Y up.
bool writeGlb(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              const std::vector<MeshPart>& parts = {});
// VTK XML PolyData (.vtp), the arrays appended raw after the XML: points,
// triangles, normals as point data, and with parts each face's label as
// cell data. The comment is an XML comment; RAS and LPS are the field
// data string SPACE, where 3D Slicer reads a VTK file's space.
bool writeVtp(std::FILE* out, const IndexedMesh& mesh, const std::string& comment, WorldSpace space,
              const std::vector<MeshPart>& parts = {});
// GIfTI (.gii): a point set, its triangles and normals as vectors, gzipped
// and base64-encoded, the comment as the file's metadata. One surface: no
// parts. The points' coordinate system says which space they are in.
bool writeGii(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              WorldSpace space);
// The pieces of binary PLY and STL files, for writers of one file in parts
// (the processes of mpirun, each at its offset).
std::string plyHeader(const std::string& comment, std::size_t vertices, std::size_t faces,
                      bool normals, PlyEncoding encoding, bool labelled = false);
constexpr std::size_t PlyFaceBytes = 13;  // without a label
inline std::size_t plyVertexBytes(bool normals) { return normals ? 24 : 12; }
// Each returns the byte after what it put.
unsigned char* putPlyVertex(unsigned char* bytes, const Point3& vertex, const Point3* normal);
unsigned char* putPlyFace(unsigned char* bytes, const std::array<std::uint32_t, 3>& face);
constexpr std::size_t StlHeaderBytes = 84, StlFacetBytes = 50;
void putStlHeader(unsigned char* bytes, const std::string& comment, std::size_t faces);
unsigned char* putStlFacet(unsigned char* bytes, const Point3& p, const Point3& q, const Point3& r);

// Writes in `format` with the writer above; `ascii`: text PLY. Parts where
// the format holds them (not STL or GIfTI). The mesh's space is said where
// readers look for it (commentInSpace, VTK's field data, GIfTI's
// coordinate system; glTF has no place for it).
// `threads`: for the formats whose records can be put apart (STL).
bool writeMeshAs(MeshFormat format, std::FILE* out, const IndexedMesh& mesh,
                 const std::string& comment, WorldSpace space, bool ascii,
                 const std::vector<MeshPart>& parts = {}, const std::string& materials = {},
                 int threads = 1);
// Whether this build writes GIfTI (it needs the giftiio library).
bool writesGii();

}  // namespace mcubes::internal
