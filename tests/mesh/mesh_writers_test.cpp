#include "mesh/writers/mesh_writers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

#include "mesh/finishing/patient_space.h"
#include "mesh/scene/extract.h"
#include "mesh/surface/weld.h"
#include "tests/mesh/oracles/weld_by_edge.h"

using namespace mcubes::internal;

namespace {

std::string contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

bool same(const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// The little-endian 32-bit words of `values`, as a file holds them.
std::string words(std::initializer_list<std::uint32_t> values) {
  std::string bytes;
  for (const std::uint32_t v : values) {
    for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
  }
  return bytes;
}

std::string points(const PointArray& values) {
  return std::string(reinterpret_cast<const char*>(values.data()), 12 * values.size());
}

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
  const auto u32 = [&](size_t at) { return u32At(bytes, at); };
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

// Facets put apart on threads, in blocks, come out in order: the same
// bytes as one thread writes, for a mesh of several blocks and a partial one.
TEST(MeshWriters, StlOnThreadsHoldsTheSameBytes) {
  IndexedMesh mesh;
  for (std::uint32_t n = 0; n < 40000; ++n) {
    const float x = static_cast<float>(n % 211), y = static_cast<float>(n / 211);
    mesh.vertices.push_back({x, y, 0.5f * x - y});
  }
  for (std::uint32_t n = 0; n + 212 < 40000; ++n) mesh.faces.push_back({n, n + 1, n + 212});
  const auto written = [&](int threads) {
    std::FILE* file = std::tmpfile();
    EXPECT_TRUE(file);
    EXPECT_TRUE(writeStl(file, mesh, "blocks", threads));
    const std::string bytes = contents(file);
    std::fclose(file);
    return bytes;
  };
  const std::string one = written(1);
  ASSERT_EQ(one.size(), 84u + 50u * mesh.faces.size());
  for (const int threads : {2, 3, 7}) EXPECT_EQ(written(threads), one) << threads << " threads";
}

TEST(MeshWriters, NormalsAndPartsGoBesideTheirVerticesAndFacesInEveryEncoding) {
  IndexedMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 2}, {0, 1, 2}};
  mesh.faces = {{0, 1, 2}, {3, 4, 5}, {5, 4, 3}};
  mesh.normals = {{0, 0, 1}, {0.6f, 0, 0.8f}, {0, -1, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}};
  const std::vector<MeshPart> parts = {{3, "left kidney", {255, 0, 16}, 3, 1},
                                       {-1, "b\"\\", {1, 2, 3}, 3, 2}};
  std::FILE* obj = std::tmpfile();
  std::FILE* mtl = std::tmpfile();
  std::FILE* ply = std::tmpfile();
  std::FILE* binary = std::tmpfile();
  ASSERT_TRUE(obj && mtl && ply && binary);
  // A comment (a volume's path) may hold line ends: escaped, they start no
  // line of the file's own.
  const std::string comment = "n\nend_header\r";
  ASSERT_TRUE(writeObj(obj, mesh, comment, parts, "n.mtl"));
  ASSERT_TRUE(writeMaterials(mtl, parts));
  ASSERT_TRUE(writePly(ply, mesh, comment, PlyEncoding::Ascii, parts));
  ASSERT_TRUE(writePly(binary, mesh, comment, PlyEncoding::Binary, parts));
  EXPECT_EQ(contents(obj),
            "# n\\x0aend_header\\x0d\nmtllib n.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 2\nv 1 0 2\nv "
            "0 1 2\n"
            "vn 0 0 1\nvn 0.600000024 0 0.800000012\nvn 0 -1 0\nvn 0 0 1\nvn 0 0 1\nvn 0 0 -1\n"
            "g left_kidney\nusemtl left_kidney\nf 1//1 2//2 3//3\ng b\"\\\nusemtl b\"\\\n"
            "f 4//4 5//5 6//6\nf 6//6 5//5 4//4\n");
  EXPECT_EQ(contents(mtl),
            "newmtl left_kidney\nKa 0.2000 0.0000 0.0125\nKd 1.0000 0.0000 0.0627\n\n"
            "newmtl b\"\\\nKa 0.0008 0.0016 0.0024\nKd 0.0039 0.0078 0.0118\n\n");
  const std::string header =
      "comment n\\x0aend_header\\x0d\nelement vertex 6\nproperty float x\nproperty float "
      "y\nproperty float z\n"
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
  const auto u32 = [&](std::size_t at) { return u32At(bytes, at); };
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

  // glTF: a mesh per part, each over its own vertices (indices rebased) with
  // its bounds, its name escaped and its colour made linear.
  std::FILE* glb = std::tmpfile();
  ASSERT_TRUE(glb);
  ASSERT_TRUE(writeGlb(glb, mesh, "n", parts));
  const std::string gltf = contents(glb);
  std::fclose(glb);
  ASSERT_GE(gltf.size(), 20u);
  EXPECT_EQ(gltf.substr(0, 8), "glTF" + words({2}));
  EXPECT_EQ(u32At(gltf, 8), gltf.size());
  const std::uint32_t jsonBytes = u32At(gltf, 12);
  EXPECT_EQ(jsonBytes % 4, 0u);
  EXPECT_EQ(gltf.substr(16, 4), "JSON");
  const std::string json = gltf.substr(20, jsonBytes);
  const std::string binaryChunk = words({6 * 24 + 3 * 12}) + "BIN" + std::string(1, '\0') +
                                  points(mesh.vertices) + points(mesh.normals) +
                                  words({0, 1, 2, 0, 1, 2, 2, 1, 0});
  EXPECT_EQ(gltf.substr(20 + jsonBytes), binaryChunk);
  for (const char* expected : {
           R"("nodes":[{"mesh":0,"name":"left kidney"},{"mesh":1,"name":"b\"\\"}])",
           R"({"attributes":{"POSITION":3,"NORMAL":4},"indices":5,"material":1})",
           R"({"bufferView":0,"byteOffset":0,"componentType":5126,"count":3,"type":"VEC3",)"
           R"("min":[0,0,0],"max":[1,1,0]})",
           R"({"bufferView":0,"byteOffset":36,"componentType":5126,"count":3,"type":"VEC3",)"
           R"("min":[0,0,2],"max":[1,1,2]})",
           R"({"bufferView":1,"byteOffset":36,"componentType":5126,"count":3,"type":"VEC3"})",
           R"({"bufferView":2,"byteOffset":12,"componentType":5125,"count":6,"type":"SCALAR"})",
           R"({"buffer":0,"byteOffset":72,"byteLength":72,"byteStride":12,"target":34962})",
           R"({"buffer":0,"byteOffset":144,"byteLength":36,"target":34963})",
           R"("buffers":[{"byteLength":180}])",
           R"("baseColorFactor":[1,0,0.0051815)",
       }) {
    EXPECT_NE(json.find(expected), std::string::npos) << expected << " in " << json;
  }

  // VTK: the arrays appended raw in the order of their offsets, each after
  // its byte count; a label per face; the comment kept a valid XML comment.
  std::FILE* vtp = std::tmpfile();
  ASSERT_TRUE(vtp);
  ASSERT_TRUE(writeVtp(vtp, mesh, "a--b-", WorldSpace::Unstated, parts));
  const std::string polyData = contents(vtp);
  std::fclose(vtp);
  const std::size_t appended = polyData.find("<AppendedData encoding=\"raw\">\n_");
  ASSERT_NE(appended, std::string::npos) << polyData;
  const std::string xml = polyData.substr(0, appended);
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\"?>\n<!-- a- -b-  -->\n", 0), 0u) << xml;
  for (const char* expected :
       {R"(header_type="UInt32")", R"(NumberOfPoints="6")", R"(NumberOfPolys="3")",
        R"(<DataArray type="Int32" Name="connectivity" format="appended" offset="76"/>)",
        R"(<DataArray type="Int32" Name="offsets" format="appended" offset="116"/>)",
        R"(Name="Normals" NumberOfComponents="3" format="appended" offset="132"/>)",
        R"(<DataArray type="Int32" Name="label" format="appended" offset="208"/>)"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected << " in " << xml;
  }
  EXPECT_EQ(polyData.substr(appended + 31),
            words({72}) + points(mesh.vertices) + words({36, 0, 1, 2, 3, 4, 5, 5, 4, 3}) +
                words({12, 3, 6, 9}) + words({72}) + points(mesh.normals) +
                words({12, 3, 0xffffffffu, 0xffffffffu}) + "\n</AppendedData>\n</VTKFile>\n");
}

// The space each file says its mesh is in, read back as 3D Slicer reads it:
// SPACE=RAS or SPACE=LPS in the leading comment lines of OBJ, the comments
// of PLY's header, STL's 80 bytes, the field data string SPACE of VTK, and
// LPS where none says RAS. GIfTI names the points' space and the space a
// matrix takes them to.
TEST(MeshWriters, EveryFormatSaysItsSpaceWhereReadersLookForIt) {
  IndexedMesh mesh;
  mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  mesh.faces = {{0, 1, 2}};
  // A long comment: STL keeps its first 80 bytes.
  const std::string comment = "mcubes mesh, " + std::string(100, 'x');
  struct Format {
    MeshFormat format;
    bool ascii;
  };
  std::vector<Format> formats = {{MeshFormat::Obj, false},
                                 {MeshFormat::Ply, false},
                                 {MeshFormat::Ply, true},
                                 {MeshFormat::Stl, false},
                                 {MeshFormat::Vtp, false}};
  if (writesGii()) formats.push_back({MeshFormat::Gii, false});
  for (const Format& f : formats) {
    for (const WorldSpace space :
         {WorldSpace::Ras, WorldSpace::Lps, WorldSpace::Las, WorldSpace::Unstated}) {
      const std::string what = std::string(meshFormatName(f.format)) + (f.ascii ? " text" : "") +
                               " in " + worldSpaceName(space);
      std::FILE* file = std::tmpfile();
      ASSERT_TRUE(file);
      ASSERT_TRUE(writeMeshAs(f.format, file, mesh, comment, space, f.ascii)) << what;
      const std::string bytes = contents(file);
      std::fclose(file);
      std::string header;  // where Slicer looks for the tag
      if (f.format == MeshFormat::Obj) {
        for (std::size_t at = 0; at < bytes.size() && bytes[at] == '#';) {
          const std::size_t end = bytes.find('\n', at);
          header += bytes.substr(at, end - at) + "\n";
          at = end + 1;
        }
      } else if (f.format == MeshFormat::Ply) {
        std::istringstream lines(bytes.substr(0, bytes.find("end_header\n")));
        for (std::string line; std::getline(lines, line);) {
          if (line.rfind("comment ", 0) == 0) header += line.substr(8) + "\n";
        }
      } else if (f.format == MeshFormat::Stl) {
        header = bytes.substr(0, 80);
      } else if (f.format == MeshFormat::Vtp) {
        // The string array's character codes, up to the 0 that ends it.
        const std::string start =
            "<Array type=\"String\" Name=\"SPACE\" NumberOfTuples=\"1\" "
            "format=\"ascii\">";
        const std::size_t at = bytes.find(start), fieldData = bytes.find("<FieldData>");
        if (at != std::string::npos) {
          EXPECT_LT(fieldData, bytes.find("<Piece")) << what;
          std::istringstream codes(bytes.substr(at + start.size()));
          header = "SPACE=";
          for (int code; codes >> code && code != 0;) header += char(code);
        } else {
          EXPECT_EQ(fieldData, std::string::npos) << what;
        }
      }
      const bool tagged = space == WorldSpace::Ras || space == WorldSpace::Lps;
      if (f.format != MeshFormat::Gii) {
        // Slicer's rule: LPS unless the header says RAS.
        EXPECT_EQ(header.find("SPACE=RAS") != std::string::npos, space == WorldSpace::Ras)
            << what << ": " << header;
        EXPECT_EQ(header.find("SPACE=LPS") != std::string::npos, space == WorldSpace::Lps)
            << what << ": " << header;
        if (!tagged) {
          EXPECT_EQ(bytes.find("SPACE"), std::string::npos) << what;
        }
        continue;
      }
      const auto element = [&](const std::string& name) {
        const std::size_t at = bytes.find("<" + name + ">"), end = bytes.find("</" + name + ">");
        if (at == std::string::npos || end == std::string::npos) return std::string();
        std::string text = bytes.substr(at + name.size() + 2, end - at - name.size() - 2);
        if (text.rfind("<![CDATA[", 0) == 0) text = text.substr(9, text.size() - 12);
        return text;
      };
      EXPECT_EQ(element("DataSpace"),
                space == WorldSpace::Ras ? "NIFTI_XFORM_SCANNER_ANAT" : "NIFTI_XFORM_UNKNOWN")
          << what;
      EXPECT_EQ(element("TransformedSpace"),
                space == WorldSpace::Unstated ? "NIFTI_XFORM_UNKNOWN" : "NIFTI_XFORM_SCANNER_ANAT")
          << what;
      // The matrix's diagonal: RAS's signs against the space's.
      std::istringstream matrix(element("MatrixData"));
      double m[16] = {};
      for (double& v : m) matrix >> v;
      const double x = space == WorldSpace::Lps || space == WorldSpace::Las ? -1 : 1;
      const double y = space == WorldSpace::Lps ? -1 : 1;
      EXPECT_EQ(m[0], x) << what;
      EXPECT_EQ(m[5], y) << what;
      EXPECT_EQ(m[10], 1) << what;
      EXPECT_EQ(m[15], 1) << what;
    }
  }
}
