#include "mesh/mesh_writers.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

std::optional<MeshFormat> meshFormatNamed(const std::string& name) {
  if (name == "obj") return MeshFormat::Obj;
  if (name == "ply") return MeshFormat::Ply;
  if (name == "stl") return MeshFormat::Stl;
  return std::nullopt;
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

bool printPoints(std::FILE* out, const std::vector<Point3>& points, const char* prefix) {
  bool ok = true;
  for (const Point3& v : points) {
    ok = std::fprintf(out, "%s%.9g %.9g %.9g\n", prefix, v.x, v.y, v.z) > 0 && ok;
  }
  return ok;
}

void putLittleEndian32(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

void putFloat(unsigned char* bytes, float value) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(bytes, &value, sizeof value);
#else
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putLittleEndian32(bytes, bits);
#endif
}

// The unit normal by the right-hand rule; zero for a degenerate triangle.
Point3 unitNormal(const Point3& p, const Point3& q, const Point3& r) {
  const double ux = static_cast<double>(q.x) - p.x, uy = static_cast<double>(q.y) - p.y,
               uz = static_cast<double>(q.z) - p.z;
  const double vx = static_cast<double>(r.x) - p.x, vy = static_cast<double>(r.y) - p.y,
               vz = static_cast<double>(r.z) - p.z;
  const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
  const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (length == 0.0) return {0.0f, 0.0f, 0.0f};
  return {static_cast<float>(nx / length), static_cast<float>(ny / length),
          static_cast<float>(nz / length)};
}

}  // namespace

bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment) {
  bool ok = std::fprintf(out, "# %s\n", comment.c_str()) > 0;
  ok = printPoints(out, mesh.vertices, "v ") && ok;
  ok = printPoints(out, mesh.normals, "vn ") && ok;
  for (const auto& f : mesh.faces) {
    const unsigned long a = f[0] + 1ul, b = f[1] + 1ul, c = f[2] + 1ul;
    const int written = mesh.normals.empty()
                            ? std::fprintf(out, "f %lu %lu %lu\n", a, b, c)
                            : std::fprintf(out, "f %lu//%lu %lu//%lu %lu//%lu\n", a, a, b, b, c, c);
    ok = written > 0 && ok;
  }
  return ok;
}

bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment) {
  const bool normals = !mesh.normals.empty();
  bool ok = std::fprintf(out,
                         "ply\nformat ascii 1.0\ncomment %s\nelement vertex %zu\n"
                         "property float x\nproperty float y\nproperty float z\n%s"
                         "element face %zu\nproperty list uchar uint vertex_indices\nend_header\n",
                         comment.c_str(), mesh.vertices.size(),
                         normals ? "property float nx\nproperty float ny\nproperty float nz\n" : "",
                         mesh.faces.size()) > 0;
  for (std::size_t i = 0; i < mesh.vertices.size(); ++i) {
    const Point3& v = mesh.vertices[i];
    if (normals) {
      const Point3& n = mesh.normals[i];
      ok = std::fprintf(out, "%.9g %.9g %.9g %.9g %.9g %.9g\n", v.x, v.y, v.z, n.x, n.y, n.z) > 0 &&
           ok;
    } else {
      ok = std::fprintf(out, "%.9g %.9g %.9g\n", v.x, v.y, v.z) > 0 && ok;
    }
  }
  for (const auto& f : mesh.faces) {
    ok = std::fprintf(out, "3 %lu %lu %lu\n", static_cast<unsigned long>(f[0]),
                      static_cast<unsigned long>(f[1]), static_cast<unsigned long>(f[2])) > 0 &&
         ok;
  }
  return ok;
}

bool writeStl(std::FILE* out, const IndexedMesh& mesh, const std::string& comment) {
  unsigned char header[84] = {};
  std::memcpy(header, comment.data(), comment.size() < 80 ? comment.size() : 80);
  putLittleEndian32(header + 80, static_cast<std::uint32_t>(mesh.faces.size()));
  bool ok = std::fwrite(header, sizeof header, 1, out) == 1;
  // Facets go out in large writes: one call per facet costs more than
  // forming it.
  constexpr std::size_t Record = 50, Batch = 16384;
  std::vector<unsigned char> records(Record * Batch, 0);
  std::size_t held = 0;
  const auto flush = [&] {
    ok = (held == 0 || std::fwrite(records.data(), Record * held, 1, out) == 1) && ok;
    held = 0;
  };
  for (const auto& f : mesh.faces) {
    const Point3 &p = mesh.vertices[f[0]], &q = mesh.vertices[f[1]], &r = mesh.vertices[f[2]];
    unsigned char* record = records.data() + Record * held;
    const Point3 points[4] = {unitNormal(p, q, r), p, q, r};
    for (int i = 0; i < 4; ++i) {
      putFloat(record + 12 * i, points[i].x);
      putFloat(record + 12 * i + 4, points[i].y);
      putFloat(record + 12 * i + 8, points[i].z);
    }
    if (++held == Batch) flush();
  }
  flush();
  return ok;
}
