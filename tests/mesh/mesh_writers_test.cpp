#include "mesh/mesh_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "mesh/extract.h"
#include "mesh/weld.h"

namespace {

std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

bool same(const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

IndexedMesh frameMesh(std::int32_t ticks) {
  ExtractionSettings settings;
  settings.edgeKeys = true;
  return weldSurface(extractSurface(ballCentres(ticks), settings));
}

}  // namespace

TEST(MeshWriters, ObjAndPlyReadBackToTheSameFloatsAndFaces) {
  const IndexedMesh mesh = frameMesh(25);
  std::FILE* obj = std::tmpfile();
  std::FILE* ply = std::tmpfile();
  ASSERT_TRUE(obj && ply);
  ASSERT_TRUE(writeObj(obj, mesh, "tick 25"));
  ASSERT_TRUE(writePly(ply, mesh, "tick 25", PlyEncoding::Ascii));

  std::istringstream objText(contents(obj));
  std::string line;
  std::getline(objText, line);
  EXPECT_EQ(line, "# tick 25");
  size_t vertex = 0, face = 0;
  while (std::getline(objText, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "v") {
      std::string x, y, z;
      fields >> x >> y >> z;
      ASSERT_LT(vertex, mesh.vertices.size());
      const Point3 read = {std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                           std::strtof(z.c_str(), nullptr)};
      EXPECT_TRUE(same(read, mesh.vertices[vertex++])) << line;
    } else {
      ASSERT_EQ(kind, "f");
      std::uint32_t i, j, k;
      fields >> i >> j >> k;
      ASSERT_LT(face, mesh.faces.size());
      EXPECT_EQ((std::array<std::uint32_t, 3>{i - 1, j - 1, k - 1}), mesh.faces[face++]);
    }
  }
  EXPECT_EQ(vertex, mesh.vertices.size());
  EXPECT_EQ(face, mesh.faces.size());

  std::istringstream plyText(contents(ply));
  std::string header, word;
  while (std::getline(plyText, line) && line != "end_header") header += line + "\n";
  EXPECT_EQ(header.rfind("ply\nformat ascii 1.0\n", 0), 0u);
  EXPECT_NE(header.find("element vertex " + std::to_string(mesh.vertices.size()) + "\n"),
            std::string::npos);
  EXPECT_NE(header.find("element face " + std::to_string(mesh.faces.size()) + "\n"),
            std::string::npos);
  for (const Point3& v : mesh.vertices) {
    std::string x, y, z;
    plyText >> x >> y >> z;
    const Point3 read = {std::strtof(x.c_str(), nullptr), std::strtof(y.c_str(), nullptr),
                         std::strtof(z.c_str(), nullptr)};
    EXPECT_TRUE(same(read, v));
  }
  for (const auto& f : mesh.faces) {
    std::array<std::uint32_t, 3> read;
    int count;
    plyText >> count >> read[0] >> read[1] >> read[2];
    EXPECT_EQ(count, 3);
    EXPECT_EQ(read, f);
  }
  EXPECT_FALSE(plyText >> word);
  std::fclose(obj);
  std::fclose(ply);
}

TEST(MeshWriters, StlHoldsEveryFaceOfTheUnweldedTrianglesOutwardWithItsUnitNormal) {
  const Point3 p = {0, 0, 0}, q = {2, 0, 0}, r = {0, 2, 0};
  ExtractedSurface surface;
  surface.triangles = {{{p, q, r}}, {{p, p, p}}};
  std::FILE* file = std::tmpfile();
  ASSERT_TRUE(file);
  ASSERT_TRUE(writeStl(file, unweldedMesh(surface), "two"));
  const std::string bytes = contents(file);
  std::fclose(file);
  ASSERT_EQ(bytes.size(), 84u + 50u * 2);
  EXPECT_EQ(bytes.substr(0, 4), std::string("two\0", 4));
  const auto u32 = [&](size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  const auto f32 = [&](size_t at) {
    const std::uint32_t bits = u32(at);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  };
  EXPECT_EQ(u32(80), 2u);
  // Drawn p, q, r (normal +z); stored outward as p, r, q with normal -z.
  const float first[12] = {0, 0, -1, 0, 0, 0, 0, 2, 0, 2, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(f32(84 + 4 * i), first[i]) << i;
  EXPECT_EQ(u32(84 + 48) & 0xffff, 0u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f32(134 + 4 * i), 0.0f);  // degenerate: zero normal
}

TEST(MeshWriters, NormalsAndPartsGoBesideTheirVerticesAndFacesInEveryEncoding) {
  IndexedMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 2}, {0, 1, 2}};
  mesh.faces = {{0, 1, 2}, {3, 4, 5}, {5, 4, 3}};
  mesh.normals = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, -1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}};
  const std::vector<MeshPart> parts = {{3, "left kidney", {255, 0, 16}, 3, 1},
                                       {-1, "b", {1, 2, 3}, 3, 2}};
  std::FILE* obj = std::tmpfile();
  std::FILE* mtl = std::tmpfile();
  std::FILE* ply = std::tmpfile();
  std::FILE* binary = std::tmpfile();
  ASSERT_TRUE(obj && mtl && ply && binary);
  ASSERT_TRUE(writeObj(obj, mesh, "n", parts, "n.mtl"));
  ASSERT_TRUE(writeMaterials(mtl, parts));
  ASSERT_TRUE(writePly(ply, mesh, "n", PlyEncoding::Ascii, parts));
  ASSERT_TRUE(writePly(binary, mesh, "n", PlyEncoding::Binary, parts));
  EXPECT_EQ(contents(obj),
            "# n\nmtllib n.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 2\nv 1 0 2\nv 0 1 2\n"
            "vn 0 0 1\nvn 0.600000024 0 0.800000012\nvn 0 -1 0\nvn 0 0 1\nvn 0 0 1\nvn 0 0 -1\n"
            "g left_kidney\nusemtl left_kidney\nf 1//1 2//2 3//3\ng b\nusemtl b\n"
            "f 4//4 5//5 6//6\nf 6//6 5//5 4//4\n");
  EXPECT_EQ(contents(mtl),
            "newmtl left_kidney\nKa 0.2000 0.0000 0.0125\nKd 1.0000 0.0000 0.0627\n\n"
            "newmtl b\nKa 0.0008 0.0016 0.0024\nKd 0.0039 0.0078 0.0118\n\n");
  const std::string header =
      "comment n\nelement vertex 6\nproperty float x\nproperty float y\nproperty float z\n"
      "property float nx\nproperty float ny\nproperty float nz\nproperty uchar red\n"
      "property uchar green\nproperty uchar blue\nelement face 3\n"
      "property list uchar uint vertex_indices\nproperty int label\nend_header\n";
  EXPECT_EQ(contents(ply), "ply\nformat ascii 1.0\n" + header +
                               "0 0 0 0 0 1 255 0 16\n1 0 0 0.600000024 0 0.800000012 255 0 16\n"
                               "0 1 0 0 -1 0 255 0 16\n0 0 2 0 0 1 1 2 3\n1 0 2 0 0 1 1 2 3\n"
                               "0 1 2 0 0 -1 1 2 3\n3 0 1 2 3\n3 3 4 5 -1\n3 5 4 3 -1\n");
  // The same values little-endian: 27 bytes a vertex, 17 a face.
  const std::string bytes = contents(binary);
  const std::string start = "ply\nformat binary_little_endian 1.0\n" + header;
  ASSERT_EQ(bytes.substr(0, start.size()), start);
  ASSERT_EQ(bytes.size(), start.size() + 6 * 27 + 3 * 17);
  const auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  for (std::size_t v = 0; v < 6; ++v) {
    const std::size_t at = start.size() + 27 * v;
    const Point3 points[2] = {mesh.vertices[v], mesh.normals[v]};
    EXPECT_EQ(bytes.compare(at, 24, reinterpret_cast<const char*>(points), 24), 0) << v;
    EXPECT_EQ(
        bytes.compare(at + 24, 3, reinterpret_cast<const char*>(parts[v / 3].colour.data()), 3), 0)
        << v;
  }
  for (std::size_t f = 0; f < 3; ++f) {
    const std::size_t at = start.size() + 6 * 27 + 17 * f;
    EXPECT_EQ(bytes[at], 3);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(u32(at + 1 + 4 * c), mesh.faces[f][c]);
    EXPECT_EQ(static_cast<std::int32_t>(u32(at + 13)), f == 0 ? 3 : -1);
  }
  for (std::FILE* file : {obj, mtl, ply, binary}) std::fclose(file);
}
