#include "tools/mesh_export.h"

#include <cmath>
#include <cstring>
#include <map>

#include "engine/scene.h"

std::optional<MeshFormat> meshFormatNamed(const std::string& name) {
  if (name == "obj") return MeshFormat::Obj;
  if (name == "ply") return MeshFormat::Ply;
  if (name == "stl") return MeshFormat::Stl;
  return std::nullopt;
}

std::vector<Triangle> sceneTriangles(std::int32_t ticks) {
  std::vector<Triangle> triangles;
  sweepScene(ballCentres(ticks), [&](const Triangle& t) { triangles.push_back(t); });
  return triangles;
}

Triangle outwardFace(const Triangle& triangle) {
  return {{triangle.vertices[0], triangle.vertices[2], triangle.vertices[1]}};
}

namespace {

using BucketKey = std::array<double, 3>;

// Buckets one weld distance wide; a vertex's partners lie in its own bucket
// or a neighbouring one. Keys stay doubles so no coordinate can overflow them.
BucketKey bucketOf(const Point3& p, double size) {
  return {std::floor(p.x / size), std::floor(p.y / size), std::floor(p.z / size)};
}

double squaredDistance(const Point3& a, const Point3& b) {
  const double dx = static_cast<double>(a.x) - b.x;
  const double dy = static_cast<double>(a.y) - b.y;
  const double dz = static_cast<double>(a.z) - b.z;
  return dx * dx + dy * dy + dz * dz;
}

class Welder {
 public:
  Welder(IndexedMesh& mesh, double distance) : mesh_(mesh), distance_(distance) {}

  std::uint32_t indexOf(const Point3& p) {
    const BucketKey key = bucketOf(p, distance_);
    const auto next = static_cast<std::uint32_t>(mesh_.vertices.size());
    std::uint32_t earliest = next;
    for (double dx = -1; dx <= 1; ++dx) {
      for (double dy = -1; dy <= 1; ++dy) {
        for (double dz = -1; dz <= 1; ++dz) {
          const auto found = buckets_.find({key[0] + dx, key[1] + dy, key[2] + dz});
          if (found == buckets_.end()) continue;
          for (const std::uint32_t index : found->second) {
            if (index < earliest &&
                squaredDistance(mesh_.vertices[index], p) < distance_ * distance_) {
              earliest = index;
            }
          }
        }
      }
    }
    if (earliest == next) {
      mesh_.vertices.push_back(p);
      buckets_[key].push_back(next);
    }
    return earliest;
  }

 private:
  IndexedMesh& mesh_;
  double distance_;
  std::map<BucketKey, std::vector<std::uint32_t>> buckets_;
};

bool printVertices(std::FILE* out, const IndexedMesh& mesh, const char* prefix) {
  bool ok = true;
  for (const Point3& v : mesh.vertices) {
    ok = std::fprintf(out, "%s%.9g %.9g %.9g\n", prefix, v.x, v.y, v.z) > 0 && ok;
  }
  return ok;
}

void putLittleEndian32(unsigned char* bytes, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

void putFloat(unsigned char* bytes, float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  putLittleEndian32(bytes, bits);
}

// The unit normal by the right-hand rule; zero for a degenerate triangle.
Point3 unitNormal(const Triangle& t) {
  const Point3 &p = t.vertices[0], &q = t.vertices[1], &r = t.vertices[2];
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

IndexedMesh weldTriangles(const std::vector<Triangle>& triangles, double weldDistance) {
  IndexedMesh mesh;
  Welder welder(mesh, weldDistance);
  for (const Triangle& triangle : triangles) {
    const Triangle face = outwardFace(triangle);
    const std::array<std::uint32_t, 3> indices = {welder.indexOf(face.vertices[0]),
                                                  welder.indexOf(face.vertices[1]),
                                                  welder.indexOf(face.vertices[2])};
    if (indices[0] != indices[1] && indices[1] != indices[2] && indices[2] != indices[0]) {
      mesh.faces.push_back(indices);
    }
  }
  return mesh;
}

bool writeObj(std::FILE* out, const IndexedMesh& mesh, const std::string& comment) {
  bool ok = std::fprintf(out, "# %s\n", comment.c_str()) > 0;
  ok = printVertices(out, mesh, "v ") && ok;
  for (const auto& f : mesh.faces) {
    ok = std::fprintf(out, "f %lu %lu %lu\n", f[0] + 1ul, f[1] + 1ul, f[2] + 1ul) > 0 && ok;
  }
  return ok;
}

bool writePly(std::FILE* out, const IndexedMesh& mesh, const std::string& comment) {
  bool ok = std::fprintf(out,
                         "ply\nformat ascii 1.0\ncomment %s\nelement vertex %zu\n"
                         "property float x\nproperty float y\nproperty float z\n"
                         "element face %zu\nproperty list uchar uint vertex_indices\nend_header\n",
                         comment.c_str(), mesh.vertices.size(), mesh.faces.size()) > 0;
  ok = printVertices(out, mesh, "") && ok;
  for (const auto& f : mesh.faces) {
    ok = std::fprintf(out, "3 %lu %lu %lu\n", static_cast<unsigned long>(f[0]),
                      static_cast<unsigned long>(f[1]), static_cast<unsigned long>(f[2])) > 0 &&
         ok;
  }
  return ok;
}

bool writeStl(std::FILE* out, const std::vector<Triangle>& triangles, const std::string& comment) {
  unsigned char header[84] = {};
  std::memcpy(header, comment.data(), comment.size() < 80 ? comment.size() : 80);
  putLittleEndian32(header + 80, static_cast<std::uint32_t>(triangles.size()));
  bool ok = std::fwrite(header, sizeof header, 1, out) == 1;
  for (const Triangle& triangle : triangles) {
    const Triangle face = outwardFace(triangle);
    const Point3 normal = unitNormal(face);
    unsigned char record[50] = {};
    const Point3 points[4] = {normal, face.vertices[0], face.vertices[1], face.vertices[2]};
    for (int i = 0; i < 4; ++i) {
      putFloat(record + 12 * i, points[i].x);
      putFloat(record + 12 * i + 4, points[i].y);
      putFloat(record + 12 * i + 8, points[i].z);
    }
    ok = std::fwrite(record, sizeof record, 1, out) == 1 && ok;
  }
  return ok;
}
