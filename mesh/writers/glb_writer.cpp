// glTF 2.0 binary: a JSON chunk that describes the scene and a binary chunk
// of positions, normals and indices, each chunk padded to four bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "mesh/writers/binary_records.h"
#include "mesh/writers/mesh_writers.h"
#include "volume/number_text.h"

namespace mcubes::internal {

namespace {

constexpr std::uint32_t GlbMagic = 0x46546C67;     // "glTF"
constexpr std::uint32_t JsonChunk = 0x4E4F534A;    // "JSON"
constexpr std::uint32_t BinaryChunk = 0x004E4942;  // "BIN\0"
constexpr int FloatComponent = 5126, UnsignedIntComponent = 5125;
constexpr int VertexTarget = 34962, IndexTarget = 34963;

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + '"';
}

// Seventeen digits: the number reads back as the same double, so a float's
// bounds equal its data exactly, as validators check.
std::string jsonNumber(double value) { return numberText(value, 17); }

std::string jsonPoint(const Point3& p) {
  return "[" + jsonNumber(p.x) + "," + jsonNumber(p.y) + "," + jsonNumber(p.z) + "]";
}

// glTF's colour factors are linear; the parts' colours are sRGB.
double linearColour(std::uint8_t srgb) {
  const double c = srgb / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// One mesh of the file: a run of vertices and the faces that index them.
struct Span {
  std::size_t firstVertex, vertices, firstFace, faces;
  const MeshPart* part;  // null for a mesh without parts
};

// The parts that have faces (glTF's accessors hold one element or more).
std::vector<Span> spansOf(const IndexedMesh& mesh, const std::vector<MeshPart>& parts) {
  std::vector<Span> spans;
  if (parts.empty()) {
    if (!mesh.faces.empty()) spans.push_back({0, mesh.vertices.size(), 0, mesh.faces.size(), {}});
    return spans;
  }
  std::size_t vertex = 0, face = 0;
  for (const MeshPart& part : parts) {
    if (part.faces > 0) spans.push_back({vertex, part.vertices, face, part.faces, &part});
    vertex += part.vertices;
    face += part.faces;
  }
  return spans;
}

std::string sceneJson(const IndexedMesh& mesh, const std::string& comment,
                      const std::vector<Span>& spans) {
  const bool normals = !mesh.normals.empty();
  const std::size_t positionBytes = 12 * mesh.vertices.size();
  const std::size_t normalBytes = normals ? positionBytes : 0;
  std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":" + jsonString(comment) + "}";
  if (spans.empty()) return json + "}";
  std::string nodes, meshes, materials, accessors;
  const std::string indexView = normals ? "2" : "1";
  for (std::size_t s = 0; s < spans.size(); ++s) {
    const Span& span = spans[s];
    const std::string at = std::to_string(s), comma = s == 0 ? "" : ",";
    const std::string name = span.part ? ",\"name\":" + jsonString(span.part->name) : "";
    const std::size_t accessor = s * (normals ? 3 : 2);
    nodes += comma + "{\"mesh\":" + at + name + "}";
    meshes += comma + "{\"primitives\":[{\"attributes\":{\"POSITION\":" + std::to_string(accessor) +
              (normals ? ",\"NORMAL\":" + std::to_string(accessor + 1) : "") +
              "},\"indices\":" + std::to_string(accessor + (normals ? 2 : 1)) +
              (span.part ? ",\"material\":" + std::to_string(s) : "") + "}]" + name + "}";
    if (span.part) {
      const auto& c = span.part->colour;
      materials += comma + "{\"pbrMetallicRoughness\":{\"baseColorFactor\":[" +
                   jsonNumber(linearColour(c[0])) + "," + jsonNumber(linearColour(c[1])) + "," +
                   jsonNumber(linearColour(c[2])) + ",1],\"metallicFactor\":0}" + name + "}";
    }
    const auto begin = mesh.vertices.begin() + static_cast<std::ptrdiff_t>(span.firstVertex);
    Point3 least = *begin, most = *begin;
    for (auto v = begin; v != begin + static_cast<std::ptrdiff_t>(span.vertices); ++v) {
      least = {std::min(least.x, v->x), std::min(least.y, v->y), std::min(least.z, v->z)};
      most = {std::max(most.x, v->x), std::max(most.y, v->y), std::max(most.z, v->z)};
    }
    const std::string vertexOffset = std::to_string(12 * span.firstVertex);
    const std::string count = std::to_string(span.vertices);
    accessors += comma + "{\"bufferView\":0,\"byteOffset\":" + vertexOffset +
                 ",\"componentType\":" + std::to_string(FloatComponent) + ",\"count\":" + count +
                 ",\"type\":\"VEC3\",\"min\":" + jsonPoint(least) + ",\"max\":" + jsonPoint(most) +
                 "}";
    if (normals) {
      accessors += ",{\"bufferView\":1,\"byteOffset\":" + vertexOffset +
                   ",\"componentType\":" + std::to_string(FloatComponent) + ",\"count\":" + count +
                   ",\"type\":\"VEC3\"}";
    }
    accessors += ",{\"bufferView\":" + indexView +
                 ",\"byteOffset\":" + std::to_string(12 * span.firstFace) +
                 ",\"componentType\":" + std::to_string(UnsignedIntComponent) +
                 ",\"count\":" + std::to_string(3 * span.faces) + ",\"type\":\"SCALAR\"}";
  }
  // Vertex views name their stride: the parts' accessors share them.
  const auto view = [](std::size_t offset, std::size_t length, int target) {
    return "{\"buffer\":0,\"byteOffset\":" + std::to_string(offset) +
           ",\"byteLength\":" + std::to_string(length) +
           (target == VertexTarget ? ",\"byteStride\":12" : "") +
           ",\"target\":" + std::to_string(target) + "}";
  };
  const std::size_t indexBytes = 12 * mesh.faces.size();
  std::string views = view(0, positionBytes, VertexTarget);
  if (normals) views += "," + view(positionBytes, normalBytes, VertexTarget);
  views += "," + view(positionBytes + normalBytes, indexBytes, IndexTarget);
  std::string scene;
  for (std::size_t s = 0; s < spans.size(); ++s) scene += (s == 0 ? "" : ",") + std::to_string(s);
  json += ",\"scene\":0,\"scenes\":[{\"nodes\":[" + scene + "]}],\"nodes\":[" + nodes +
          "],\"meshes\":[" + meshes + "]";
  if (!materials.empty()) json += ",\"materials\":[" + materials + "]";
  return json + ",\"accessors\":[" + accessors + "],\"bufferViews\":[" + views +
         "],\"buffers\":[{\"byteLength\":" +
         std::to_string(positionBytes + normalBytes + indexBytes) + "}]}";
}

bool writeChunkHeader(std::FILE* out, std::uint64_t length, std::uint32_t type) {
  unsigned char header[8];
  putLittleEndian32(header, static_cast<std::uint32_t>(length));
  putLittleEndian32(header + 4, type);
  return std::fwrite(header, sizeof header, 1, out) == 1;
}

}  // namespace

bool writeGlb(std::FILE* out, const IndexedMesh& mesh, const std::string& comment,
              const std::vector<MeshPart>& parts) {
  const std::vector<Span> spans = spansOf(mesh, parts);
  std::string json = sceneJson(mesh, comment, spans);
  json.append((4 - json.size() % 4) % 4, ' ');
  const bool normals = !mesh.normals.empty();
  const std::uint64_t binary =
      spans.empty() ? 0 : 12 * (mesh.vertices.size() * (normals ? 2 : 1) + mesh.faces.size());
  const std::uint64_t total = 12 + 8 + json.size() + (spans.empty() ? 0 : 8 + binary);
  if (total > std::numeric_limits<std::uint32_t>::max()) return false;  // beyond what GLB holds

  unsigned char header[12];
  putLittleEndian32(header, GlbMagic);
  putLittleEndian32(header + 4, 2);
  putLittleEndian32(header + 8, static_cast<std::uint32_t>(total));
  bool ok = std::fwrite(header, sizeof header, 1, out) == 1;
  ok = writeChunkHeader(out, json.size(), JsonChunk) && ok;
  ok = std::fwrite(json.data(), json.size(), 1, out) == 1 && ok;
  if (spans.empty()) return ok;
  ok = writeChunkHeader(out, binary, BinaryChunk) && ok;
  RecordWriter points(out, 12);
  for (const Point3& v : mesh.vertices) putPoint(points.next(), v);
  for (const Point3& n : mesh.normals) putPoint(points.next(), n);
  ok = points.finish() && ok;
  RecordWriter faces(out, 12);
  for (const Span& span : spans) {
    const auto base = static_cast<std::uint32_t>(span.firstVertex);
    for (std::size_t f = span.firstFace; f < span.firstFace + span.faces; ++f) {
      unsigned char* record = faces.next();
      for (int c = 0; c < 3; ++c) putLittleEndian32(record + 4 * c, mesh.faces[f][c] - base);
    }
  }
  return faces.finish() && ok;
}

}  // namespace mcubes::internal
