#include "mesh/writers/mesh_writers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "mesh/finishing/face_normals.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/surface/ordered_parallel.h"
#include "mesh/writers/binary_records.h"

namespace mcubes::internal {

std::optional<MeshFormat> meshFormatNamed(const std::string& name) {
  for (const MeshFormat format : {MeshFormat::Obj, MeshFormat::Ply, MeshFormat::Stl,
                                  MeshFormat::Glb, MeshFormat::Vtp, MeshFormat::Gii}) {
    if (name == meshFormatName(format)) return format;
  }
  return std::nullopt;
}

const char* meshFormatName(MeshFormat format) {
  switch (format) {
    case MeshFormat::Obj:
      return "obj";
    case MeshFormat::Ply:
      return "ply";
    case MeshFormat::Stl:
      return "stl";
    case MeshFormat::Glb:
      return "glb";
    case MeshFormat::Vtp:
      return "vtp";
    case MeshFormat::Gii:
      return "gii";
  }
  return "";
}

std::optional<MeshFormat> meshFormatOfPath(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return meshFormatNamed(extension);
}

namespace {

bool printPoints(std::FILE* out, const PointArray& points, const char* prefix) {
  bool ok = true;
  for (const Point3& v : points) {
    ok = std::fprintf(out, "%s%.9g %.9g %.9g\n", prefix, v.x, v.y, v.z) > 0 && ok;
  }
  return ok;
}

// The part of each vertex or face in turn: parts are consecutive.
class PartCursor {
 public:
  PartCursor(const std::vector<MeshPart>& parts, std::size_t MeshPart::*count)
      : parts_(parts), count_(count) {}

  // The part of the next element.
  const MeshPart& next() {
    while (left_ == 0) left_ = parts_[part_++].*count_;
    --left_;
    return parts_[part_ - 1];
  }

 private:
  const std::vector<MeshPart>& parts_;
  std::size_t MeshPart::*count_;
  std::size_t part_ = 0;
  std::size_t left_ = 0;
};

// A comment on the one line that text formats give it: control bytes (a
// line break in a volume's path, say) written as \xHH, so that none ends the
// comment and starts a line of the file's own (a PLY "end_header").
std::string oneLine(const std::string& comment) {
  std::string line;
  for (const char c : comment) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      line += escape;
    } else {
      line += c;
    }
  }
  return line;
}

std::string blanksAsUnderscores(std::string name) {
  for (char& c : name) {
    if (std::isspace(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace

bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              const std::vector<MeshPart>& parts, const std::string& materials) {
  bool ok = std::fprintf(out, "# %s\n", oneLine(comment).c_str()) > 0;
  if (!parts.empty() && !materials.empty()) {
    ok = std::fprintf(out, "mtllib %s\n", materials.c_str()) > 0 && ok;
  }
  ok = printPoints(out, mesh.vertices, "v ") && ok;
  ok = printPoints(out, mesh.normals, "vn ") && ok;
  std::size_t part = 0, partEnd = 0;
  for (std::size_t n = 0; n < mesh.faces.size(); ++n) {
    while (part < parts.size() && n == partEnd) {
      const std::string name = blanksAsUnderscores(parts[part].name);
      ok = std::fprintf(out, "g %s\n", name.c_str()) > 0 && ok;
      if (!materials.empty()) ok = std::fprintf(out, "usemtl %s\n", name.c_str()) > 0 && ok;
      partEnd += parts[part++].faces;
    }
    const auto& f = mesh.faces[n];
    const unsigned long a = f[0] + 1ul, b = f[1] + 1ul, c = f[2] + 1ul;
    const int written = mesh.normals.empty()
                            ? std::fprintf(out, "f %lu %lu %lu\n", a, b, c)
                            : std::fprintf(out, "f %lu//%lu %lu//%lu %lu//%lu\n", a, a, b, b, c, c);
    ok = written > 0 && ok;
  }
  return ok;
}

bool writeMaterials(std::FILE* out, const std::vector<MeshPart>& parts) {
  bool ok = true;
  for (const MeshPart& part : parts) {
    const double r = part.colour[0] / 255.0, g = part.colour[1] / 255.0, b = part.colour[2] / 255.0;
    ok = std::fprintf(out, "newmtl %s\nKa %.4f %.4f %.4f\nKd %.4f %.4f %.4f\n\n",
                      blanksAsUnderscores(part.name).c_str(), 0.2 * r, 0.2 * g, 0.2 * b, r, g,
                      b) > 0 &&
         ok;
  }
  return ok;
}

std::string plyHeader(const std::string& comment, std::size_t vertices, std::size_t faces,
                      bool normals, PlyEncoding encoding, bool labelled) {
  return "ply\nformat " +
         std::string(encoding == PlyEncoding::Binary ? "binary_little_endian" : "ascii") +
         " 1.0\ncomment " + oneLine(comment) + "\nelement vertex " + std::to_string(vertices) +
         "\nproperty float x\nproperty float y\nproperty float z\n" +
         (normals ? "property float nx\nproperty float ny\nproperty float nz\n" : "") +
         (labelled ? "property uchar red\nproperty uchar green\nproperty uchar blue\n" : "") +
         "element face " + std::to_string(faces) + "\nproperty list uchar uint vertex_indices\n" +
         (labelled ? "property int label\n" : "") + "end_header\n";
}

unsigned char* putPlyVertex(unsigned char* bytes, const Point3& vertex, const Point3* normal) {
  bytes = putPoint(bytes, vertex);
  return normal ? putPoint(bytes, *normal) : bytes;
}

unsigned char* putPlyFace(unsigned char* bytes, const std::array<std::uint32_t, 3>& face) {
  bytes[0] = 3;
  for (int v = 0; v < 3; ++v) putLittleEndian32(bytes + 1 + 4 * v, face[v]);
  return bytes + PlyFaceBytes;
}

void putStlHeader(unsigned char* bytes, const std::string& comment, std::size_t faces) {
  std::memset(bytes, 0, StlHeaderBytes);
  std::memcpy(bytes, comment.data(), comment.size() < 80 ? comment.size() : 80);
  putLittleEndian32(bytes + 80, static_cast<std::uint32_t>(faces));
}

unsigned char* putStlFacet(unsigned char* bytes, const Point3& p, const Point3& q,
                           const Point3& r) {
  // Each point put from where it lies: a copy of the four first, read back
  // at once, costs more than the facet's arithmetic.
  bytes = putPoint(bytes, unitFaceNormal(p, q, r));
  bytes = putPoint(bytes, p);
  bytes = putPoint(bytes, q);
  bytes = putPoint(bytes, r);
  bytes[0] = bytes[1] = 0;  // attribute byte count
  return bytes + 2;
}

bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              PlyEncoding encoding, const std::vector<MeshPart>& parts) {
  const bool normals = !mesh.normals.empty(), labelled = !parts.empty();
  const bool binary = encoding == PlyEncoding::Binary;
  const std::string header =
      plyHeader(comment, mesh.vertices.size(), mesh.faces.size(), normals, encoding, labelled);
  bool ok = std::fwrite(header.data(), header.size(), 1, out) == 1;
  PartCursor vertexParts(parts, &MeshPart::vertices), faceParts(parts, &MeshPart::faces);
  if (binary) {
    RecordWriter vertices(out, plyVertexBytes(normals) + (labelled ? 3 : 0));
    for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
      unsigned char* record =
          putPlyVertex(vertices.next(), mesh.vertices[i], normals ? &mesh.normals[i] : nullptr);
      if (labelled) std::memcpy(record, vertexParts.next().colour.data(), 3);
    }
    ok = vertices.finish() && ok;
    RecordWriter faces(out, PlyFaceBytes + (labelled ? 4 : 0));
    for (const auto& f : mesh.faces) {
      unsigned char* record = putPlyFace(faces.next(), f);
      if (labelled) {
        putLittleEndian32(record, static_cast<std::uint32_t>(faceParts.next().label));
      }
    }
    return faces.finish() && ok;
  }
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    const Point3& v = mesh.vertices[i];
    ok = std::fprintf(out, "%.9g %.9g %.9g", v.x, v.y, v.z) > 0 && ok;
    if (normals) {
      const Point3& n = mesh.normals[i];
      ok = std::fprintf(out, " %.9g %.9g %.9g", n.x, n.y, n.z) > 0 && ok;
    }
    if (labelled) {
      const auto& c = vertexParts.next().colour;
      ok = std::fprintf(out, " %u %u %u", c[0], c[1], c[2]) > 0 && ok;
    }
    ok = std::fputc('\n', out) != EOF && ok;
  }
  for (const auto& f : mesh.faces) {
    ok = std::fprintf(out, "3 %lu %lu %lu", static_cast<unsigned long>(f[0]),
                      static_cast<unsigned long>(f[1]), static_cast<unsigned long>(f[2])) > 0 &&
         ok;
    if (labelled)
      ok = std::fprintf(out, " %lld", static_cast<long long>(faceParts.next().label)) > 0 && ok;
    ok = std::fputc('\n', out) != EOF && ok;
  }
  return ok;
}

bool writeStl(std::FILE* out, const IndexedMesh& mesh, const std::string& comment, int threads) {
  unsigned char header[StlHeaderBytes];
  putStlHeader(header, comment, mesh.faces.size());
  bool ok = std::fwrite(header, sizeof header, 1, out) == 1;
  if (threads <= 1) {
    RecordWriter facets(out, StlFacetBytes);
    for (const auto& f : mesh.faces) {
      putStlFacet(facets.next(), mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]);
    }
    return facets.finish() && ok;
  }
  // Putting a facet (its normal, its bytes) costs more than writing it out.
  constexpr std::size_t Block = 16384;
  const std::size_t faces = mesh.faces.size();
  int failure = 0;
  runInOrder<std::vector<unsigned char>>(
      static_cast<std::int64_t>((faces + Block - 1) / Block), threads,
      [&](int, std::int64_t b, std::vector<unsigned char>& bytes) {
        const std::size_t from = static_cast<std::size_t>(b) * Block;
        const std::size_t to = std::min(faces, from + Block);
        bytes.resize((to - from) * StlFacetBytes);
        unsigned char* at = bytes.data();
        for (std::size_t n = from; n < to; ++n) {
          const auto& f = mesh.faces[n];
          at = putStlFacet(at, mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]);
        }
      },
      [&](std::int64_t, const std::vector<unsigned char>& bytes) {
        if (!ok || std::fwrite(bytes.data(), bytes.size(), 1, out) == 1) return;
        ok = false;
        failure = errno;
      },
      [](std::int64_t) {});
  // The caller words a failure from errno, which is the writing thread's.
  if (!ok) errno = failure;
  return ok;
}

bool writeMeshAs(MeshFormat format, std::FILE* out, const IndexedMesh& mesh,
                 const std::string& comment, WorldSpace space, bool ascii,
                 const std::vector<MeshPart>& parts, const std::string& materials, int threads) {
  const std::string tagged = commentInSpace(comment, space);
  switch (format) {
    case MeshFormat::Obj:
      return writeObj(out, mesh, tagged, parts, materials);
    case MeshFormat::Ply:
      return writePly(out, mesh, tagged, ascii ? PlyEncoding::Ascii : PlyEncoding::Binary, parts);
    case MeshFormat::Stl:
      return writeStl(out, mesh, tagged, threads);
    case MeshFormat::Glb:
      return writeGlb(out, mesh, comment, parts);
    case MeshFormat::Vtp:
      return writeVtp(out, mesh, comment, space, parts);
    case MeshFormat::Gii:
      return writeGii(out, mesh, comment, space);
  }
  return false;
}

}  // namespace mcubes::internal
