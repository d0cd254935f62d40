#include "mesh/mesh_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "mesh/extract.h"

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
  ASSERT_TRUE(writePly(ply, mesh, "tick 25"));

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

TEST(MeshWriters, NormalsGoIntoObjAndPlyBesideTheirVertices) {
  IndexedMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}};
  mesh.normals = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, -1, 0}};
  std::FILE* obj = std::tmpfile();
  std::FILE* ply = std::tmpfile();
  ASSERT_TRUE(obj && ply);
  ASSERT_TRUE(writeObj(obj, mesh, "n"));
  ASSERT_TRUE(writePly(ply, mesh, "n"));
  EXPECT_EQ(contents(obj),
            "# n\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\nvn 0.600000024 0 0.800000012\n"
            "vn 0 -1 0\nf 1//1 2//2 3//3\n");
  EXPECT_EQ(contents(ply),
            "ply\nformat ascii 1.0\ncomment n\nelement vertex 3\nproperty float x\n"
            "property float y\nproperty float z\nproperty float nx\nproperty float ny\n"
            "property float nz\nelement face 1\nproperty list uchar uint vertex_indices\n"
            "end_header\n0 0 0 0 0 1\n1 0 0 0.600000024 0 0.800000012\n0 1 0 0 -1 0\n3 0 1 2\n");
  std::fclose(obj);
  std::fclose(ply);
}
