// Runs the built mcubes binary: exit codes, messages, files left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/finishing/decimation.h"
#include "mesh/scene/extract.h"
#include "mesh/writers/mesh_writers.h"
#include "tests/mesh/literal_volume.h"
#include "tests/mesh/mesh_checks.h"
#include "tests/support/temporary_directory.h"

#if MC_VOLUME_READS_HDF5
#include <hdf5.h>
#endif

using namespace mcubes::internal;

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

class Mcubes : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directory(dir_ / "work"); }

  // `arguments` are passed through the shell as written; stdout and stderr
  // are captured unless `stdoutTo` redirects stdout elsewhere.
  Outcome run(const std::string& arguments, const std::string& stdoutTo = "") {
    return shell(std::string("'") + MCUBES_PATH + "' " + arguments, stdoutTo);
  }
  // Any command line.
  Outcome shell(const std::string& command, const std::string& stdoutTo = "") {
    const fs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string redirected =
        command + " >" + (stdoutTo.empty() ? out.string() : stdoutTo) + " 2>" + err.string();
    const int status = std::system(redirected.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
  }

  fs::path work() const { return dir_ / "work"; }
  // Beside the work folder: for input files.
  fs::path inputs() const { return dir_; }

 private:
  TemporaryDirectory temporary_;
  const fs::path dir_ = temporary_.path();
};

struct ObjMesh {
  std::vector<Point3> vertices;
  std::vector<std::array<std::uint32_t, 3>> faces;
};

ObjMesh parseObj(const std::string& text) {
  ObjMesh mesh;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind, a, b, c;
    fields >> kind >> a >> b >> c;
    if (kind == "v") {
      mesh.vertices.push_back({std::strtof(a.c_str(), nullptr), std::strtof(b.c_str(), nullptr),
                               std::strtof(c.c_str(), nullptr)});
    } else if (kind == "f") {
      mesh.faces.push_back({static_cast<std::uint32_t>(std::stoul(a) - 1),
                            static_cast<std::uint32_t>(std::stoul(b) - 1),
                            static_cast<std::uint32_t>(std::stoul(c) - 1)});
    }
  }
  return mesh;
}

// A binary STL's facets as faces over vertices made one where their bits
// are equal.
ObjMesh parseStl(const std::string& bytes) {
  ObjMesh mesh;
  std::map<std::array<std::uint32_t, 3>, std::uint32_t> index;
  const auto u32 = [&](size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
  };
  if (bytes.size() < 84) return mesh;
  const std::uint32_t count = u32(80);
  for (std::uint32_t f = 0; f < count && 84 + 50 * (f + 1) <= bytes.size(); ++f) {
    std::array<std::uint32_t, 3> face;
    for (int v = 0; v < 3; ++v) {
      std::array<std::uint32_t, 3> bits;
      for (int c = 0; c < 3; ++c) bits[c] = u32(84 + 50 * f + 12 + 12 * v + 4 * c);
      const auto [at, added] =
          index.emplace(bits, static_cast<std::uint32_t>(mesh.vertices.size()));
      if (added) {
        float xyz[3];
        std::memcpy(xyz, bits.data(), sizeof xyz);
        mesh.vertices.push_back({xyz[0], xyz[1], xyz[2]});
      }
      face[v] = at->second;
    }
    mesh.faces.push_back(face);
  }
  return mesh;
}

double distance(const Point3& a, const Point3& b) {
  return std::sqrt((double(a.x) - b.x) * (double(a.x) - b.x) +
                   (double(a.y) - b.y) * (double(a.y) - b.y) +
                   (double(a.z) - b.z) * (double(a.z) - b.z));
}

}  // namespace

TEST_F(Mcubes, ObjFileHoldsTheSweepsTrianglesClosedAndOutward) {
  const fs::path file = work() / "f.obj";
  const Outcome result = run("mesh --tick 25 -o " + file.string());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const ObjMesh mesh = parseObj(readFile(file));
  EXPECT_TRUE(closedAndConsistent(mesh.faces));
  EXPECT_GT(signedVolume6(mesh.vertices, mesh.faces), 0);

  // Face by face against the sweep: outward order, each vertex the swept
  // one or, where a neighbouring cell placed the edge's vertex first, within
  // a few float bits of it.
  const std::vector<Triangle> swept = sceneTriangles(25);
  ASSERT_EQ(mesh.faces.size(), swept.size());
  for (size_t face = 0; face < swept.size(); ++face) {
    const Triangle& t = swept[face];
    const Point3 outward[3] = {t.vertices[0], t.vertices[2], t.vertices[1]};
    for (int i = 0; i < 3; ++i) {
      EXPECT_LT(distance(mesh.vertices[mesh.faces[face][i]], outward[i]), 1e-5) << face;
    }
  }
}

TEST_F(Mcubes, FineMeshWithNormalsIsClosedOutwardAndTheSameOnAnyThreadCount) {
  // At tick 0 the surface leaves the grid at this resolution: capped.
  const Outcome result = run("mesh --divisions 90 --normals --threads 3");
  ASSERT_EQ(result.status, 0) << result.err;
  const ObjMesh mesh = parseObj(result.out);
  EXPECT_GT(mesh.faces.size(), 15000u);
  EXPECT_TRUE(closedAndConsistent(mesh.faces));
  EXPECT_GT(signedVolume6(mesh.vertices, mesh.faces), 0);
  // One unit normal per vertex, named by each face corner with its vertex.
  std::istringstream lines(result.out);
  size_t normals = 0, faceCorners = 0;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "vn") {
      double x, y, z;
      fields >> x >> y >> z;
      EXPECT_NEAR(x * x + y * y + z * z, 1.0, 1e-6) << line;
      ++normals;
    } else if (kind == "f") {
      for (std::string corner; fields >> corner; ++faceCorners) {
        const size_t slashes = corner.find("//");
        ASSERT_NE(slashes, std::string::npos) << line;
        EXPECT_EQ(corner.substr(0, slashes), corner.substr(slashes + 2)) << line;
      }
    }
  }
  EXPECT_EQ(normals, mesh.vertices.size());
  EXPECT_EQ(faceCorners, 3 * mesh.faces.size());
  EXPECT_EQ(run("mesh --divisions 90 --normals --threads 1").out, result.out);

  const Outcome ply = run("mesh --divisions 40 --normals --format ply");
  ASSERT_EQ(ply.status, 0) << ply.err;
  EXPECT_NE(ply.out.find("property float nx\nproperty float ny\nproperty float nz\n"),
            std::string::npos);
  // STL holds the same closed mesh: facets that meet share exact
  // coordinates. --unwelded writes the triangles as extracted, uncapped.
  const Outcome stl = run("mesh --divisions 40 -o " + (work() / "f.stl").string());
  ASSERT_EQ(stl.status, 0) << stl.err;
  const ObjMesh facets = parseStl(readFile(work() / "f.stl"));
  EXPECT_EQ(facets.faces.size(), parseObj(run("mesh --divisions 40").out).faces.size());
  EXPECT_TRUE(closedAndConsistent(facets.faces));
  EXPECT_GT(signedVolume6(facets.vertices, facets.faces), 0);
  const Outcome loose = run("mesh --divisions 40 --unwelded --format stl");
  ASSERT_EQ(loose.status, 0) << loose.err;
  ExtractionSettings settings;
  settings.divisions = 40;
  EXPECT_EQ(loose.out.size(), 84 + 50 * extractSurface(ballCentres(0), settings).triangles.size());
  EXPECT_FALSE(closedAndConsistent(parseStl(loose.out).faces));
}

// A bright ball as big-endian float32 voxels, 20 x 18 x `slices`, reaching
// out of the volume's face at i = 0, with the voxels numbered in `spoilt` NaN
// or infinite; `values` gets the values as read.
// 20 x 18 x `slices` float32 voxels (big-endian) of sign * (10 - r), r the
// distance from (centre, 9.2, 7.7): a bright ball, or with sign -1 its
// signed distance field (negative inside); the voxels `spoilt` NaN or
// infinite.
void writeBall(const fs::path& path, const std::vector<int>& spoilt, std::vector<double>& values,
               int slices = 16, float sign = 1, double centre = 2.5) {
  std::string bytes;
  values.clear();
  const float bad[] = {std::nanf(""), INFINITY, -INFINITY};
  for (int k = 0; k < slices; ++k) {
    for (int j = 0; j < 18; ++j) {
      for (int i = 0; i < 20; ++i) {
        const double r =
            std::sqrt((i - centre) * (i - centre) + (j - 9.2) * (j - 9.2) + (k - 7.7) * (k - 7.7));
        float v = sign * static_cast<float>(10.0 - r);
        const auto at = std::find(spoilt.begin(), spoilt.end(), static_cast<int>(values.size()));
        if (at != spoilt.end()) v = bad[(at - spoilt.begin()) % 3];
        values.push_back(v);
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int b = 3; b >= 0; --b) bytes += static_cast<char>(bits >> (8 * b));
      }
    }
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST_F(Mcubes, VolumeMeshIsTheLiteralPipelineUnweldedAndClosedWelded) {
  std::vector<double> values;
  const fs::path raw = inputs() / "ball.raw";
  writeBall(raw, {}, values);
  const std::string volume = "mesh --volume " + raw.string() +
                             " --dims 20,18,16 --type float32 --endian big --spacing 0.5,1,2 "
                             "--origin 10,0,-5 --iso 3";
  VolumeGeometry geometry{};
  const double spacing[3] = {0.5, 1, 2}, origin[3] = {10, 0, -5};
  for (int a = 0; a < 3; ++a) {
    geometry.dims[a] = a == 0 ? 20 : a == 1 ? 18 : 16;
    geometry.axes[a][a] = spacing[a];
    geometry.origin[a] = origin[a];
  }
  const std::vector<Triangle> literal = literalVolumeExtraction(geometry, values.data(), 3.0);
  ASSERT_GT(literal.size(), 500u);

  // Unwelded: the literal triangles, bit for bit, turned outward.
  const Outcome unwelded = run(volume + " --unwelded");
  ASSERT_EQ(unwelded.status, 0) << unwelded.err;
  const ObjMesh loose = parseObj(unwelded.out);
  ASSERT_EQ(loose.faces.size(), literal.size());
  for (size_t f = 0; f < literal.size(); ++f) {
    const Triangle& t = literal[f];
    const Point3 outward[3] = {t.vertices[0], t.vertices[2], t.vertices[1]};
    for (int v = 0; v < 3; ++v) {
      EXPECT_EQ(std::memcmp(&loose.vertices[loose.faces[f][v]], &outward[v], sizeof(Point3)), 0)
          << f;
    }
  }
  // Welded and capped on the face at i = 0, in every format, on any
  // number of threads; the caps lie at x = 10.
  const Outcome obj = run(volume + " --threads 3");
  ASSERT_EQ(obj.status, 0) << obj.err;
  EXPECT_EQ(obj.err, "");
  EXPECT_EQ(run(volume + " --threads 1").out, obj.out);
  const ObjMesh welded = parseObj(obj.out);
  EXPECT_GT(welded.faces.size(), literal.size());
  EXPECT_TRUE(closedAndConsistent(welded.faces));
  EXPECT_GT(signedVolume6(welded.vertices, welded.faces), 0);
  ASSERT_EQ(run(volume + " -o " + (work() / "b.stl").string()).status, 0);
  const ObjMesh facets = parseStl(readFile(work() / "b.stl"));
  EXPECT_EQ(facets.faces.size(), welded.faces.size());
  EXPECT_TRUE(closedAndConsistent(facets.faces));
  // Normals point out of the bright ball, toward lower values.
  const Outcome shaded = run(volume + " --normals --format ply --ascii");
  ASSERT_EQ(shaded.status, 0) << shaded.err;
  std::istringstream ply(shaded.out.substr(shaded.out.find("end_header\n") + 11));
  for (size_t v = 0; v < welded.vertices.size(); ++v) {
    double x, y, z, nx, ny, nz;
    ply >> x >> y >> z >> nx >> ny >> nz;
    EXPECT_NEAR(nx * nx + ny * ny + nz * nz, 1.0, 1e-6);
    const double out[3] = {x - (10 + 2.5 * 0.5), y - 9.2, z - (-5 + 7.7 * 2)};
    EXPECT_GT(nx * out[0] + ny * out[1] + nz * out[2], 0) << v;
  }

  // The same voxels with the i axis mirrored (a detached NRRD header):
  // outward in world space, welded or not; unwelded, the literal triangles
  // as drawn, which on a mirrored lattice is outward.
  const fs::path mirrored = inputs() / "mirrored.nhdr";
  std::ofstream(mirrored) << "NRRD0004\ntype: float\ndimension: 3\nsizes: 20 18 16\nendian: big\n"
                             "encoding: raw\nspace dimension: 3\nspace directions: (-0.5,0,0) "
                             "(0,1,0) (0,0,2)\nspace origin: (10,0,-5)\ndata file: ball.raw\n";
  geometry.axes[0][0] = -0.5;
  const std::vector<Triangle> flipped = literalVolumeExtraction(geometry, values.data(), 3.0);
  const std::string mirroredVolume = "mesh --volume " + mirrored.string() + " --iso 3";
  const Outcome mirroredLoose = run(mirroredVolume + " --unwelded");
  ASSERT_EQ(mirroredLoose.status, 0) << mirroredLoose.err;
  const ObjMesh turned = parseObj(mirroredLoose.out);
  ASSERT_EQ(turned.faces.size(), flipped.size());
  for (size_t f = 0; f < flipped.size(); ++f) {
    for (int v = 0; v < 3; ++v) {
      EXPECT_EQ(std::memcmp(&turned.vertices[turned.faces[f][v]], &flipped[f].vertices[v],
                            sizeof(Point3)),
                0)
          << f;
    }
  }
  const ObjMesh mirroredWelded = parseObj(run(mirroredVolume).out);
  EXPECT_TRUE(closedAndConsistent(mirroredWelded.faces));
  EXPECT_GT(signedVolume6(mirroredWelded.vertices, mirroredWelded.faces), 0);
}

// Volumes that need care, one case a row: each is meshed (exit 0) with the
// lines on stderr that say what the user should know, and the mesh they
// describe.
#if MC_VOLUME_READS_HDF5
// An HDF5 dataset, read by the library mcubes loads on its first HDF5 file,
// is meshed as the same voxels stored raw are, whether the library reads
// them (contiguous, shuffled) or its chunks are inflated here (deflate
// alone).
TEST_F(Mcubes, Hdf5DatasetOfEachLayoutIsMeshedAsItsVoxelsStoredRaw) {
  std::vector<double> values;
  const fs::path raw = inputs() / "ball.raw";
  writeBall(raw, {}, values);
  const std::vector<float> voxels(values.begin(), values.end());
  const std::string placed = " --spacing 0.5,1,2 --origin 10,0,-5 --iso 3";
  const Outcome expected = run("mesh --volume " + raw.string() +
                               " --dims 20,18,16 --type float32 --endian big" + placed);
  ASSERT_EQ(expected.status, 0) << expected.err;
  ASSERT_GT(parseObj(expected.out).faces.size(), 500u);
  const struct {
    const char* name;
    bool chunked, shuffled;
  } layouts[] = {{"contiguous", false, false}, {"deflated", true, false}, {"shuffled", true, true}};
  for (const auto& layout : layouts) {
    const fs::path path = inputs() / (std::string(layout.name) + ".h5");
    const hsize_t shape[3] = {16, 18, 20}, chunk[3] = {8, 8, 8};
    const hid_t file = H5Fcreate(path.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
    const hid_t space = H5Screate_simple(3, shape, nullptr);
    const hid_t creation = H5Pcreate(H5P_DATASET_CREATE);
    if (layout.chunked) H5Pset_chunk(creation, 3, chunk);
    if (layout.shuffled) H5Pset_shuffle(creation);
    if (layout.chunked) H5Pset_deflate(creation, 4);
    const hid_t data =
        H5Dcreate2(file, "/ball", H5T_NATIVE_FLOAT, space, H5P_DEFAULT, creation, H5P_DEFAULT);
    ASSERT_GE(H5Dwrite(data, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, voxels.data()), 0);
    H5Dclose(data);
    H5Pclose(creation);
    H5Sclose(space);
    H5Fclose(file);
    const Outcome meshed = run("mesh --volume " + path.string() + ":/ball" + placed);
    EXPECT_EQ(meshed.status, 0) << layout.name << ": " << meshed.err;
    // The same bytes after the first line, which names the file.
    const auto body = [](const std::string& obj) { return obj.substr(obj.find('\n')); };
    EXPECT_TRUE(body(meshed.out) == body(expected.out)) << layout.name;
  }
}
#endif

TEST_F(Mcubes, VolumeDataThatNeedsCareIsMeshedWithOneWarningEach) {
  std::vector<double> values;
  // Inside the ball: NaN, +inf and -inf, one of them on the face at i = 0.
  writeBall(inputs() / "holes.raw", {2703, 3105, 3382, 2700}, values);
  writeBall(inputs() / "ball.raw", {}, values);
  writeBall(inputs() / "slice.raw", {}, values, 1);
  // A ball of radius 7 inside the volume, and its signed distance field.
  writeBall(inputs() / "centred.raw", {}, values, 16, 1, 9.5);
  writeBall(inputs() / "sdf.raw", {}, values, 16, -1, 9.5);
  // Bytes of two values: 40 at 10, 24 at 200.
  std::string bytes(64, '\x0a');
  for (int n = 0; n < 24; ++n) bytes[static_cast<std::size_t>(n * 2 + 7)] = '\xc8';
  std::ofstream(inputs() / "two.raw", std::ios::binary) << bytes;
  const auto ball = [&](const char* file) {
    return "mesh --volume " + (inputs() / file).string() +
           " --dims 20,18,16 --type float32 --endian big";
  };
  enum class Mesh { Closed, Box, Empty };
  struct Case {
    const char* name;
    std::string arguments;
    std::string err;  // all of stderr
    Mesh mesh;
    std::string sameAs = {};  // the arguments of a run whose mesh this one's is, bit for bit
  };
  const std::vector<Case> cases = {
      {"NaN and infinite voxels", ball("holes.raw") + " --iso 3",
       "mcubes: warning: 4 voxels are NaN or infinite; they count as below every level, like the "
       "outside of the volume, and the mesh is closed around them (where a voxel inside the "
       "surface has two of them beside it, or one and the volume's face, it can touch itself "
       "there)\n",
       Mesh::Closed},
      {"a level above every voxel", ball("ball.raw") + " --iso 12",
       "mcubes: warning: the iso level 12 lies above every voxel's value (-10.4004898 to "
       "9.38355827), so the mesh is empty; choose a level between them\n",
       Mesh::Empty},
      {"a level below every voxel", ball("ball.raw") + " --iso -20",
       "mcubes: warning: the iso level -20 is at or below every voxel's value (-10.4004898 to "
       "9.38355827), so the whole volume lies inside the surface and the mesh is the closed box "
       "of the volume; choose a level between them\n",
       Mesh::Box},
      {"a level below every voxel, unwelded", ball("ball.raw") + " --iso -20 --unwelded",
       "mcubes: warning: the iso level -20 is at or below every voxel's value (-10.4004898 to "
       "9.38355827), so no cell is crossed and the mesh is empty (--unwelded has no caps); "
       "choose a level between them\n",
       Mesh::Empty},
      {"one slice",
       "mesh --volume " + (inputs() / "slice.raw").string() +
           " --dims 20,18,1 --type float32 --endian big --iso 3",
       "mcubes: warning: the volume is 20x18x1 voxels: with one voxel along axis 2 it has no "
       "cells (marching cubes needs two voxels or more along every axis), so the mesh is empty\n",
       Mesh::Empty},
      {"Otsu's level of integers",
       "mesh --volume " + (inputs() / "two.raw").string() + " --dims 4,4,4 --type uint8 --iso otsu",
       "mcubes: Otsu's level 10.5 (data 10 to 200: 40 voxels below it, mean 10, 24 above, mean "
       "200; a histogram of one bin per value)\n",
       Mesh::Closed},
      {"Otsu's level of floats", ball("ball.raw") + " --iso otsu",
       "mcubes: Otsu's level -1.16601896 (data -10.4004898 to 9.38355827: 2475 voxels below it, "
       "mean -4.66415701, 3285 above, mean 2.32901154; a histogram of 4096 bins)\n",
       Mesh::Closed},
      // The object of a signed distance field lies below the level: the
      // negated volume's mesh at the negated level, closed and outward.
      {"a signed distance field, inside below", ball("sdf.raw") + " --iso -3 --inside below", "",
       Mesh::Closed, ball("centred.raw") + " --iso 3"},
      {"a signed distance field, the default inside", ball("sdf.raw") + " --iso -3",
       "mcubes: warning: the mesh is the volume's whole box around what lies below the level -3 "
       "(every voxel on the volume's faces is at or above it): if the object is where the values "
       "are below the level (a signed distance field, negative inside), give --inside below\n",
       Mesh::Closed},
      {"a signed distance field, inside above as asked",
       ball("sdf.raw") + " --iso -3 --inside above", "", Mesh::Closed,
       ball("sdf.raw") + " --iso -3"},
  };
  for (const Case& c : cases) {
    const Outcome result = run(c.arguments);
    ASSERT_EQ(result.status, 0) << c.name << ": " << result.err;
    EXPECT_EQ(result.err, c.err) << c.name;
    const ObjMesh mesh = parseObj(result.out);
    if (c.mesh == Mesh::Empty) {
      EXPECT_TRUE(mesh.faces.empty()) << c.name;
      continue;
    }
    EXPECT_FALSE(mesh.faces.empty()) << c.name;
    EXPECT_TRUE(closedAndConsistent(mesh.faces)) << c.name;
    if (!c.sameAs.empty()) {
      const ObjMesh same = parseObj(run(c.sameAs).out);
      EXPECT_EQ(same.faces, mesh.faces) << c.name;
      ASSERT_EQ(same.vertices.size(), mesh.vertices.size()) << c.name;
      EXPECT_EQ(std::memcmp(same.vertices.data(), mesh.vertices.data(),
                            sizeof(Point3) * mesh.vertices.size()),
                0)
          << c.name;
    }
    const double volume = signedVolume6(mesh.vertices, mesh.faces) / 6;
    if (c.mesh == Mesh::Box) {
      EXPECT_DOUBLE_EQ(volume, 19.0 * 17 * 15) << c.name;
    } else {
      EXPECT_GT(volume, 0) << c.name;
    }
  }
}

TEST_F(Mcubes, OutputGoesToStdoutFilesAndDevicesAlike) {
  const Outcome toStdout = run("mesh --tick -7");
  ASSERT_EQ(toStdout.status, 0) << toStdout.err;
  EXPECT_EQ(run("mesh --tick=-7 -o -").out, toStdout.out);
  ASSERT_EQ(run("mesh --tick -7 -o " + (work() / "m.obj").string()).status, 0);
  EXPECT_EQ(readFile(work() / "m.obj"), toStdout.out);

  ASSERT_EQ(run("mesh --tick 3 --unwelded -o " + (work() / "m.stl").string()).status, 0);
  EXPECT_EQ(fs::file_size(work() / "m.stl"), 84 + 50 * sceneTriangles(3).size());
  const Outcome ply = run("mesh --format ply");
  ASSERT_EQ(ply.status, 0);
  EXPECT_EQ(ply.out.rfind("ply\n", 0), 0u);

  // An existing file is replaced whole; a device is written to, not replaced.
  std::ofstream(work() / "old.obj") << "old contents that are longer than nothing";
  ASSERT_EQ(run("mesh -o " + (work() / "old.obj").string()).status, 0);
  EXPECT_EQ(readFile(work() / "old.obj"), run("mesh").out);
  ASSERT_EQ(run("mesh -o /dev/null").status, 0);
  struct stat devNull;
  ASSERT_EQ(stat("/dev/null", &devNull), 0);
  EXPECT_TRUE(S_ISCHR(devNull.st_mode));
  // A symbolic link leads to the file replaced; the link stays.
  std::ofstream(work() / "linked.obj") << "old";
  fs::create_symlink("linked.obj", work() / "link.obj");
  ASSERT_EQ(run("mesh -o " + (work() / "link.obj").string()).status, 0);
  EXPECT_TRUE(fs::is_symlink(work() / "link.obj"));
  EXPECT_EQ(readFile(work() / "linked.obj"), run("mesh").out);
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(work()), {}).size(), 5u);
}

TEST_F(Mcubes, BadInputExitsTwoWithOneLineAndLeavesNoFile) {
  const std::string target = (work() / "out.obj").string();
  const std::string volume = (work() / "out.nrrd").string();
  const std::string input = (inputs() / "small.raw").string();
  std::ofstream(input, std::ios::binary) << std::string(64, '\x07');
  const std::string flat = (inputs() / "flat.nrrd").string();
  std::ofstream(flat, std::ios::binary)
      << "NRRD0004\ntype: uchar\ndimension: 3\nsizes: 2 2 2\nencoding: raw\n"
         "space dimension: 3\nspace directions: (1,0,0) (0,1,0) (2,2,0)\n\n"
      << std::string(8, '\x07');
  // A detached header beside its data; another whose data lies outside its
  // folder; a read-only file.
  const std::string detached = (inputs() / "detached.nhdr").string();
  const std::string cube = "type: uchar\ndimension: 3\nsizes: 4 4 4\nencoding: raw\n";
  std::ofstream(detached) << "NRRD0004\n" << cube << "data file: small.raw\n";
  fs::create_directory(inputs() / "sub");
  const std::string outside = (inputs() / "sub" / "outside.nhdr").string();
  std::ofstream(outside) << "NRRD0004\n" << cube << "data file: ../small.raw\n";
  // A data file that is a pipe, which would block the read for ever.
  ASSERT_EQ(mkfifo((inputs() / "pipe.raw").c_str(), 0600), 0);
  const std::string piped = (inputs() / "piped.nhdr").string();
  std::ofstream(piped) << "NRRD0004\n" << cube << "data file: pipe.raw\n";
  const std::string readOnly = (inputs() / "read-only.obj").string();
  std::ofstream(readOnly) << "kept";
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"mesh --format xyz -o " + target, "xyz"},
      {"bogus -o " + target, "bogus"},
      {"", "subcommand"},
      {"mesh --tick 2147483648 -o " + target, "2147483648"},
      {"mesh --tick -2147483649 -o " + target, "-2147483649"},
      {"mesh --tick 1.5 -o " + target, "1.5"},
      {"mesh --tick 0x10 -o " + target, "0x10"},
      {"mesh --tick '' -o " + target, "--tick"},
      {"mesh --tick -o " + target, "--tick"},
      {"mesh -o " + (work() / "missing" / "out.obj").string(), "missing"},
      {"mesh -o " + work().string(), "directory"},
      {"mesh -o /dev/full", "/dev/full"},
      {"mesh --divisions 0 -o " + target, "--divisions"},
      {"mesh --divisions 2049 -o " + target, "--divisions"},
      {"mesh --divisions x -o " + target, "--divisions"},
      {"mesh --threads -1 -o " + target, "--threads"},
      {"mesh --normals --format stl -o " + target, "--normals"},
      {"mesh -o " + (work() / "out.txt").string(), "out.txt"},
      {"mesh --iso 0 -o " + target, "--iso"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 -o " + target, "--iso"},
      {"mesh --volume " + input + " --dims 4,4 --type uint8 --iso 1 -o " + target, "--dims"},
      {"mesh --volume " + input + " --dims 4,4,0 --type uint8 --iso 1 -o " + target, "--dims"},
      {"mesh --volume " + input + " --dims 4,4,4 --iso 1 -o " + target, "--type"},
      {"mesh --volume " + input + " --dims 4,4,4 --type int64 --iso 1 -o " + target, "int64"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --endian middle --iso 1 -o " + target,
       "middle"},
      {"mesh --dims 4,4,4 --type uint8 --iso 1 -o " + target, "--volume"},
      {"mesh --series 2 --iso 1 -o " + target, "--series needs --volume DIR"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --series 2 --iso 1 -o " + target,
       "--series"},
      // Otsu's level needs a volume whose values differ (these are all 7).
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --iso otsu -o " + target,
       "every finite voxel"},
      {"mesh --iso otsu -o " + target, "--iso otsu needs --volume"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --iso 1x -o " + target, "'1x'"},
      // A flat index-to-world mapping.
      {"mesh --volume " + flat + " --iso 1 -o " + target, "'space directions' field"},
      // 64 bytes: too few for 4 x 4 x 5 voxels.
      {"mesh --volume " + input + " --dims 4,4,5 --type uint8 --iso 1 -o " + target, input},
      {"mesh --volume " + input + ".missing --dims 4,4,4 --type uint8 --iso 1 -o " + target,
       "missing"},
      // Found by fuzzing: a newline in an argument split the message.
      {"mesh --format 'x\ny' -o " + target, "'x\\x0ay'"},
      {"mesh 'a\rb' -o " + target, "a\\x0db"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels 1,x -o " + target, "'x'"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels all --iso 1 -o " + target,
       "--iso"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels 7 --unwelded -o " + target,
       "--unwelded"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --iso 1 --inside left -o " + target,
       "--inside"},
      {"mesh --inside below -o " + target, "--inside needs --volume"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels all --inside below -o " +
           target,
       "leave out --inside"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels 7,8 -o " +
           (work() / "out.stl").string(),
       "{label}"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels all -o " +
           (work() / "out.gii").string(),
       "gii holds one surface"},
      {"mesh --volume " + input + " --dims 4,4,1 --type float32 --labels all -o " + target,
       "integer"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --iso 1 --conforming -o " + target,
       "--conforming fits a label map's meshes together: give --labels too"},
      {"mesh --volume " + input +
           " --dims 4,4,4 --type uint8 --labels all --conforming "
           "--decimate 0.5 -o " +
           target,
       "--conforming: --keep-largest, --min-component and --decimate change each label's mesh"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels 0,7 --conforming -o " +
           target,
       "--labels 0 with --conforming: label 0 is the background"},
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --labels all --interfaces -o " +
           target,
       "--interfaces requires --conforming"},
      // The volume's own files, whatever the format asked for.
      {"mesh --volume " + input + " --dims 4,4,4 --type uint8 --iso 1 --format ply -o " + input,
       "'" + input + "': it is a file that the volume is read from"},
      {"mesh --volume " + detached + " --iso 1 --format stl -o " + input, "read from"},
      {"mesh --volume " + detached + " --iso 1 --format stl -o " + detached, "read from"},
      {"mesh --volume " + detached + " --labels all --format obj -o " + input, "read from"},
      {"mesh -o " + readOnly, "'" + readOnly + "': it is read-only"},
      {"mesh --volume " + outside + " --iso 1 -o " + target,
       "'../small.raw', lies outside its folder; move it into that folder, or give "
       "--allow-outside-references"},
      {"mesh --volume " + outside + " --labels all -o " + target, "outside its folder"},
      {"mesh --volume " + piped + " --iso 1 --allow-outside-references -o " + target,
       "'pipe.raw', is a device or pipe"},
      {"sample bogus -o " + volume, "'bogus'"},
      {"sample sphere --size 1 -o " + volume, "--size"},
      {"sample sphere --size 1025 -o " + volume, "--size"},
      {"sample sphere --size x -o " + volume, "--size"},
      {"sample sphere", "--output"},
      {"sample sphere -o " + target, ".nrrd"},
  };
  for (const auto& [arguments, named] : cases) {
    const Outcome result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.err.rfind("mcubes: ", 0), 0u) << arguments << ": " << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(named), std::string::npos) << arguments << ": " << result.err;
    EXPECT_TRUE(fs::is_empty(work())) << arguments;
  }
  EXPECT_EQ(readFile(input), std::string(64, '\x07'));
  EXPECT_EQ(readFile(readOnly), "kept");
  // Data outside the header's folder is read where the user says so.
  EXPECT_EQ(run("mesh --volume " + outside + " --iso 9 --allow-outside-references -o -").status, 0);

  // Where files cannot grow beyond 100 KiB (as on a full disk), nothing is
  // written: not the .gii that giftiio writes unchecked to a temporary file
  // of its own, not the labels' files that fit before the one that does not,
  // not an OBJ's .mtl; the files that were there stay as they were.
  const fs::path labels = inputs() / "cells.seg.nrrd";
  ASSERT_EQ(run("sample labels --size 24 -o " + labels.string()).status, 0);
  std::ofstream(work() / "cell_2.stl") << "old";
  const std::string full =
      "prlimit --fsize=102400 sh -c \"trap '' XFSZ; exec '" + std::string(MCUBES_PATH) + "' ";
  const std::string mesh = "mesh --volume " + labels.string() + " --labels ";
  std::vector<std::string> filling = {// Labels 2 and 3 fit, label 1 does not.
                                      mesh + "2,3,1 -o " + (work() / "cell_{label}.stl").string(),
                                      mesh + "2,3,1 -o " + (work() / "cells").string() + "/",
                                      mesh + "all -o " + (work() / "cells.obj").string()};
  if (writesGii()) filling.push_back("mesh --divisions 128 -o " + (work() / "scene.gii").string());
  for (const std::string& arguments : filling) {
    const Outcome result = shell(full + arguments + "\"");
    EXPECT_EQ(result.status, 2) << arguments;
    // After the labels' triangle counts, one line.
    const std::size_t last = result.err.rfind('\n', result.err.size() - 2) + 1;
    EXPECT_EQ(result.err.substr(last).rfind("mcubes: cannot write", 0), 0u)
        << arguments << ": " << result.err;
    EXPECT_NE(result.err.find(std::strerror(EFBIG), last), std::string::npos) << result.err;
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(work()), {}),
              std::vector<fs::path>{work() / "cell_2.stl"})
        << arguments;
    EXPECT_EQ(readFile(work() / "cell_2.stl"), "old");
  }

  const Outcome fullStdout = run("mesh", "/dev/full");
  EXPECT_EQ(fullStdout.status, 2);
  EXPECT_NE(fullStdout.err.find("cannot write"), std::string::npos) << fullStdout.err;

  // A file that cannot be written is named with the system's reason, whether
  // it is written in place (a device) or beside and renamed.
  const std::string missing = (work() / "missing" / "out.obj").string();
  for (const auto& [path, reason] :
       {std::pair{std::string("/dev/full"), ENOSPC}, std::pair{missing, ENOENT}}) {
    const Outcome result = run("mesh -o " + path);
    EXPECT_NE(result.err.find("'" + path + "': " + std::strerror(reason)), std::string::npos)
        << result.err;
  }
}

// SIGINT, SIGTERM and SIGHUP while the output is written: one line, the
// shell's status for the signal, and the file that was there kept, with no
// temporary file beside it.
TEST_F(Mcubes, SignalsWhileWritingEndTheRunWithOneLineAndLeaveNothingBehind) {
  const struct {
    int number;
    const char* name;
  } signals[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
  const fs::path output = work() / "scene.obj";
  const fs::path errors = inputs() / "errors";
  for (const auto& signal : signals) {
    SCOPED_TRACE(signal.name);
    std::ofstream(output) << "old";
    const pid_t child = fork();
    if (child == 0) {
      // About 95 MB of OBJ.
      if (std::freopen(errors.c_str(), "w", stderr) != nullptr) {
        execl(MCUBES_PATH, "mcubes", "mesh", "--divisions", "1024", "-o", output.c_str(), nullptr);
      }
      _exit(127);
    }
    ASSERT_GT(child, 0);
    // Its temporary file beside the output says it is writing.
    int status = 0;
    bool writing = false;
    while (!writing && waitpid(child, &status, WNOHANG) == 0) {
      for (const fs::directory_entry& entry : fs::directory_iterator(work())) {
        writing = writing || entry.path().filename().string().rfind("scene.obj.tmp", 0) == 0;
      }
      if (!writing) usleep(1000);
    }
    ASSERT_TRUE(writing) << "the run ended before it wrote";
    kill(child, signal.number);
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal.number);
    // A progress line shown is ended first.
    const std::string said = readFile(errors);
    const std::size_t last = said.rfind('\n', said.size() - 2) + 1;
    EXPECT_EQ(said.substr(last).rfind("mcubes: stopped by " + std::string(signal.name), 0), 0u)
        << said;
    EXPECT_EQ(said.back(), '\n') << said;
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(work()), {}),
              std::vector<fs::path>{output});
    EXPECT_EQ(readFile(output), "old");
  }
}

// A run that shows progress where it takes over a second: rewritten in place
// with carriage returns only on a terminal (script(1) gives it one), whole
// lines in a file; a message never starts inside a progress line.
TEST_F(Mcubes, ProgressRedrawsInPlaceOnlyOnATerminal) {
  const std::string mesh = "mesh --divisions 2048 --format stl -o /dev/null";
  const bool script = fs::exists("/usr/bin/script");
  for (const bool terminal : {false, true}) {
    if (terminal && !script) continue;
    const Outcome result = terminal ? shell("/usr/bin/script -qec \"'" + std::string(MCUBES_PATH) +
                                            "' " + mesh + "\" /dev/null")
                                    : run(mesh);
    ASSERT_EQ(result.status, 0) << result.err;
    // script(1) gives the terminal's output on its stdout, line ends as \r\n.
    const std::string& text = terminal ? result.out : result.err;
    // A machine that meshes it within the second shows no progress.
    const bool shown = text.find("mesh: ") != std::string::npos;
    EXPECT_EQ(text.find('\r') != std::string::npos, terminal && shown) << text;
    for (const std::string start : {"mesh: ", "mcubes: "}) {
      for (std::size_t at = text.find(start); at != std::string::npos;
           at = text.find(start, at + 1)) {
        EXPECT_TRUE(at == 0 || text[at - 1] == '\n' || (start == "mesh: " && text[at - 1] == '\r'))
            << terminal << ": " << text;
      }
    }
    if (!terminal) {
      EXPECT_EQ(text.back(), '\n') << text;
    }
  }
  if (!script) GTEST_SKIP() << "no script(1) to give the run a terminal";
}

TEST_F(Mcubes, HelpForTheToolAndTheSubcommand) {
  const Outcome tool = run("--help");
  EXPECT_EQ(tool.status, 0);
  EXPECT_NE(tool.out.find("mesh"), std::string::npos);
  EXPECT_NE(tool.out.find("sample"), std::string::npos);
  const Outcome sample = run("sample --help");
  EXPECT_EQ(sample.status, 0);
  for (const char* listed :
       {"wavelet", "marschner-lobb", "sphere", "torus", "gyroid", "labels", "--size", "--gzip"}) {
    EXPECT_NE(sample.out.find(listed), std::string::npos) << listed;
  }
  const Outcome mesh = run("mesh --help");
  EXPECT_EQ(mesh.status, 0);
  for (const char* option : {"--tick", "--format", "--output", "--divisions", "--normals",
                             "--threads", "glb", "vtp", "gii", "DICOM", "--series"}) {
    EXPECT_NE(mesh.out.find(option), std::string::npos) << option;
  }
}

// pydicom's DICOMDIR of several real series: listed when none is chosen, and
// the one of even slices meshed when named by its UID.
TEST_F(Mcubes, DicomFolderOfSeveralSeriesIsListedAndTheChosenOneMeshed) {
  const std::string folder =
      "/usr/lib/python3/dist-packages/pydicom/data/test_files/dicomdirtests/DICOMDIR";
  if (!fs::exists(folder)) GTEST_SKIP() << "pydicom's test files are missing";
  const std::string target = (work() / "ct.obj").string();
  const Outcome listed = run("mesh --volume " + folder + " --iso 0 -o " + target);
  EXPECT_EQ(listed.status, 2);
  if (!MC_VOLUME_READS_DICOM) {
    EXPECT_NE(listed.err.find("built without GDCM"), std::string::npos) << listed.err;
    return;
  }
  const std::string even = "1.3.6.1.4.1.5962.1.1.0.0.0.1194734704.16302.0.6";
  // The message's line, then a table of the 13 series: its heading and a
  // row each.
  EXPECT_EQ(std::count(listed.err.begin(), listed.err.end(), '\n'), 15) << listed.err;
  EXPECT_EQ(listed.err.rfind("mcubes: " + folder + ": holds 13 series", 0), 0u) << listed.err;
  for (const std::string& part : {std::string("choose one with --series, its number in this "
                                              "listing or its UID:\n  N   series UID   "),
                                  "  2   " + even + "    'SmartScore - Gated 0.5 sec'  CT   "}) {
    EXPECT_NE(listed.err.find(part), std::string::npos) << part << " not in " << listed.err;
  }
  // A damaged DICOMDIR beside the series stops GDCM's reading: the folder's
  // series are meshed without it, with a warning naming it.
  const Outcome damaged = run("mesh --volume " + fs::path(folder).parent_path().string() +
                              " --series " + even + " --iso 0.5 -o " + target);
  EXPECT_EQ(damaged.status, 0) << damaged.err;
  EXPECT_NE(damaged.err.find("left out " + folder + "-nooffset, which GDCM fails on"),
            std::string::npos)
      << damaged.err;
  EXPECT_GT(parseObj(readFile(target)).faces.size(), 0u);
  fs::remove(target);
  const Outcome meshed =
      run("mesh --volume " + folder + " --series " + even + " --iso otsu --space ras -o " + target);
  EXPECT_EQ(meshed.status, 0) << meshed.err;
  const ObjMesh mesh = parseObj(readFile(target));
  EXPECT_GT(mesh.faces.size(), 0u);
  EXPECT_NE(readFile(target).find("RAS"), std::string::npos);

  // Files whose slices cannot be placed, said as what they are: nibabel's
  // Siemens mosaic and pydicom's RT Dose.
  fs::remove(target);
  const fs::path nibabel = "/usr/lib/python3/dist-packages/nibabel/nicom/tests/data";
  const std::vector<std::pair<std::vector<fs::path>, std::string>> unplaceable = {
      {{nibabel / "0.dcm", nibabel / "1.dcm"}, "0.dcm: is a Siemens mosaic"},
      {{fs::path(folder).parent_path().parent_path() / "rtdose.dcm"},
       "rtdose.dcm: is an RT Dose of 15 frames"}};
  for (const auto& [files, said] : unplaceable) {
    if (!fs::exists(files[0])) continue;
    const fs::path copy = inputs() / files[0].parent_path().filename();
    fs::create_directories(copy);
    for (const fs::path& file : files) fs::copy_file(file, copy / file.filename());
    const Outcome refused = run("mesh --volume " + copy.string() + " --iso 1 -o " + target);
    EXPECT_EQ(refused.status, 2) << said;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_NE(refused.err.find(said), std::string::npos) << refused.err;
    EXPECT_TRUE(fs::is_empty(work()));
  }
}

// A copy of mcubes without the modules it loads the DICOM and HDF5 libraries
// from (on the first file that needs one) still reads every other format,
// and refuses those files naming the module and the places it looked in.
TEST_F(Mcubes, ACopyWithoutItsModulesReadsOtherFormatsAndRefusesTheirsNamingWhereItLooked) {
  const fs::path installed = MC_MODULE_DIR_INSTALLED;
  const fs::path alone = inputs() / "alone";
  fs::create_directory(alone);
  fs::copy_file(MCUBES_PATH, alone / "mcubes");
  const std::string copy = (alone / "mcubes").string(), sphere = (alone / "sphere.nrrd").string();
  const std::string target = (work() / "out.obj").string();
  ASSERT_EQ(shell(copy + " sample sphere --size 12 -o " + sphere).status, 0);
  const Outcome nrrd = shell(copy + " mesh --volume " + sphere + " --iso 0.5 -o " + target);
  EXPECT_EQ(nrrd.status, 0) << nrrd.err;
  EXPECT_GT(parseObj(readFile(target)).faces.size(), 0u);
  fs::remove(target);

  const fs::path series = inputs() / "series", dataset = inputs() / "volume.h5";
  fs::create_directory(series);
  std::ofstream(dataset) << "not read: the module is looked for first";
  const struct {
    bool read;
    std::string volume, format, module;
  } cases[] = {{MC_VOLUME_READS_DICOM, series.string(), "DICOM", "libmcubes-dicom.so"},
               {MC_VOLUME_READS_HDF5, dataset.string(), "HDF5", "libmcubes-hdf5.so"}};
  for (const auto& c : cases) {
    if (!c.read || fs::exists(installed / c.module)) continue;
    const Outcome missing = shell(copy + " mesh --volume " + c.volume + " --iso 0.5 -o " + target);
    EXPECT_EQ(missing.status, 2) << c.format;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1) << missing.err;
    for (const std::string& part :
         {"mcubes: " + c.volume + ": cannot be read: mcubes reads " + c.format +
              " with its module " + c.module + ", which cannot be loaded (",
          (alone / c.module).string() + ": no such file; ",
          (installed / c.module).string() + ": no such file)"}) {
      EXPECT_NE(missing.err.find(part), std::string::npos) << part << " not in " << missing.err;
    }
  }
  EXPECT_TRUE(fs::is_empty(work()));
}

// Each sample volume at its default size, meshed at the level its summary
// suggests: a surface, and no warning (the level lies between voxel values).
TEST_F(Mcubes, LabelMapsMeshEveryLabelIntoOneFileOrOneEachNamedAndColouredBySlicersKeys) {
  const fs::path labels = inputs() / "cells.seg.nrrd";
  ASSERT_EQ(run("sample labels --size 24 -o " + labels.string()).status, 0);
  std::string header = readFile(labels);
  header.insert(header.find('\n') + 1,
                "Segment0_Name:=left kidney\nSegment0_LabelValue:=2\nSegment0_Color:=1 0 0.5\n");
  std::ofstream(labels, std::ios::binary) << header;
  const std::string mesh = "mesh --volume " + labels.string() + " --labels ";

  const Outcome obj = run(mesh + "all -o " + (work() / "all.obj").string());
  ASSERT_EQ(obj.status, 0) << obj.err;
  EXPECT_NE(obj.err.find("mcubes: left kidney (label 2): "), std::string::npos) << obj.err;
  EXPECT_EQ(std::count(obj.err.begin(), obj.err.end(), '\n'), 5) << obj.err;
  const std::string materials = readFile(work() / "all.mtl");
  EXPECT_NE(materials.find("newmtl left_kidney\nKa 0.2000 0.0000 0.1004\nKd 1.0000 0.0000 0.5020"),
            std::string::npos)
      << materials;
  EXPECT_EQ(std::count(materials.begin(), materials.end(), 'K'), 10);
  const ObjMesh all = parseObj(readFile(work() / "all.obj"));

  // One file each, the same faces as the parts; a label no voxel holds is
  // named.
  std::size_t faces = 0;
  const Outcome each = run(mesh + "1,2,3,4,5,9 -o " + (work() / "cell_{label}.stl").string());
  ASSERT_EQ(each.status, 0) << each.err;
  EXPECT_NE(each.err.find("no voxel holds label 9"), std::string::npos) << each.err;
  for (int label = 1; label <= 5; ++label) {
    const ObjMesh cell = parseStl(readFile(work() / ("cell_" + std::to_string(label) + ".stl")));
    EXPECT_TRUE(closedAndConsistent(cell.faces)) << label;
    EXPECT_GT(signedVolume6(cell.vertices, cell.faces), 0) << label;
    faces += cell.faces.size();
  }
  EXPECT_FALSE(fs::exists(work() / "cell_9.stl"));
  EXPECT_EQ(faces, all.faces.size());

  // A label table names labels beside the segmentation's: chosen by name
  // (letter case aside), a file each named after its label.
  const fs::path table = inputs() / "cells.txt";
  std::ofstream(table) << "# ITK-SnAP Label Description File\n"
                          "    3   255    0    0        1  1  1    \"Spleen\"\n";
  const Outcome named = run(mesh + "spleen,2 --label-names " + table.string() + " -o " +
                            (work() / "{name}.stl").string());
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(parseStl(readFile(work() / "Spleen.stl")).faces.size(),
            parseStl(readFile(work() / "cell_3.stl")).faces.size());
  EXPECT_TRUE(fs::exists(work() / "left_kidney.stl"));
  const Outcome unknown = run(mesh + "liver --label-names " + table.string() + " -o " +
                              (work() / "{name}.stl").string());
  EXPECT_EQ(unknown.status, 2);
  EXPECT_NE(unknown.err.find("no label is named 'liver' in " + table.string() +
                             "; give its number, or its name in --label-names FILE"),
            std::string::npos)
      << unknown.err;

  // A map of as many labels as voxels is likely no label map: said, with
  // how to choose.
  const fs::path many = inputs() / "many.raw";
  std::ofstream manyLabels(many, std::ios::binary);
  for (std::uint16_t label = 1; label <= 300; ++label) {
    manyLabels.write(reinterpret_cast<const char*>(&label), sizeof label);
  }
  manyLabels.close();
  const Outcome scattered =
      run("mesh --volume " + many.string() + " --dims 10,10,3 --type uint16 --labels all -o " +
          (work() / "many.ply").string());
  ASSERT_EQ(scattered.status, 0) << scattered.err;
  EXPECT_NE(scattered.err.find(
                "mcubes: warning: the volume holds 300 labels, each meshed on its own; is it "
                "a label map? Give --labels a list such as 1,2,5"),
            std::string::npos)
      << scattered.err;
  EXPECT_EQ(run(mesh + "all -o " + (work() / "all.ply").string()).err.find("is it a label map"),
            std::string::npos);

  const Outcome ply = run(mesh + "all -o " + (work() / "all.ply").string());
  ASSERT_EQ(ply.status, 0) << ply.err;
  const std::string binary = readFile(work() / "all.ply");
  EXPECT_EQ(binary.rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);
  EXPECT_NE(binary.find("element face " + std::to_string(faces) + "\n"), std::string::npos);
  EXPECT_NE(binary.find("property int label\n"), std::string::npos);
}

// The formats other programs read, read by those programs' own readers
// (tests/tools/read_mesh.py): the same points, faces and normals as the PLY
// of the same mesh, and the parts. A case whose reader is not installed is
// skipped (scripts/install-deps --test installs them).
TEST_F(Mcubes, GltfVtkAndGiftiFilesReadBackWithOtherProjectsReaders) {
  const fs::path labels = inputs() / "cells.nrrd";
  ASSERT_EQ(run("sample labels --size 24 -o " + labels.string()).status, 0);
  const std::string labelMap = "--volume " + labels.string() + " --labels all --normals";
  const struct {
    std::string format, arguments, parts;
  } cases[] = {
      {"glb", labelMap, "parts 5\n"},
      {"glb", "--tick 7 --divisions 24", ""},
      {"vtp", labelMap, "labels 1 2 3 4 5\n"},
      {"vtp", "--tick 7 --normals", ""},
      {"gii", "--tick 7 --divisions 24 --normals", ""},
      {"gii", "--volume " + labels.string() + " --iso 2.5", ""},
  };
  std::string skipped;
  for (const auto& c : cases) {
    const std::string file = (work() / ("mesh." + c.format)).string();
    const Outcome written = run("mesh " + c.arguments + " -o " + file);
    ASSERT_EQ(written.status, 0) << c.arguments << ": " << written.err;
    const Outcome ply = run("mesh " + c.arguments + " --format ply");
    ASSERT_EQ(ply.status, 0) << ply.err;
    const auto count = [&](const std::string& element) {
      std::istringstream line(ply.out.substr(ply.out.find("element " + element + " ")));
      std::string word, number;
      line >> word >> word >> number;
      return number;
    };
    const bool normals = c.arguments.find("--normals") != std::string::npos;
    const Outcome read =
        shell(std::string("/usr/bin/python3 ") + READ_MESH_PATH + " " + c.format + " " + file);
    if (read.status == 77) {
      skipped += c.format + ": " + read.out;
      continue;
    }
    EXPECT_EQ(read.status, 0) << c.format << " " << c.arguments << ": " << read.err;
    EXPECT_EQ(read.out, "points " + count("vertex") + "\nfaces " + count("face") + "\nnormals " +
                            (normals ? count("vertex") : "0") + "\n" + c.parts)
        << c.format << " " << c.arguments;
  }
  if (!skipped.empty()) GTEST_SKIP() << "no reader for " << skipped;
}

TEST_F(Mcubes, SpaceMovesAVolumesMeshFromTheSpaceItsFileStatesToRasOrLps) {
  const fs::path sphere = inputs() / "sphere.nrrd";
  ASSERT_EQ(run("sample sphere --size 12 -o " + sphere.string()).status, 0);
  const std::string written = readFile(sphere);
  const std::size_t field = written.find("space dimension: 3\n");
  ASSERT_NE(field, std::string::npos);
  struct Case {
    const char* stated;  // the NRRD's space field, or none
    const char* asked;
    float x, y;  // the signs the coordinates take; 0: refused
  };
  for (const Case& c : {Case{"left-posterior-superior", "ras", -1, -1}, Case{"lps", "lps", 1, 1},
                        Case{"right-anterior-superior", "lps", -1, -1},
                        Case{"left-anterior-superior", "ras", -1, 1}, Case{nullptr, "file", 1, 1},
                        Case{nullptr, "ras", 0, 0}}) {
    const std::string where = std::string(c.stated ? c.stated : "none") + " to " + c.asked;
    std::string text = written;
    if (c.stated) text.replace(field, 19, std::string("space: ") + c.stated + "\n");
    std::ofstream(sphere, std::ios::binary) << text;
    const std::string mesh = "mesh --volume " + sphere.string() + " --iso 0";
    const Outcome moved = run(mesh + " --space " + c.asked);
    if (c.x == 0) {
      EXPECT_EQ(moved.status, 2) << where;
      EXPECT_NE(moved.err.find("states no patient space"), std::string::npos) << moved.err;
      continue;
    }
    ASSERT_EQ(moved.status, 0) << where << ": " << moved.err;
    const ObjMesh asStated = parseObj(run(mesh).out), asAsked = parseObj(moved.out);
    ASSERT_EQ(asAsked.vertices.size(), asStated.vertices.size()) << where;
    for (std::size_t v = 0; v < asStated.vertices.size(); ++v) {
      EXPECT_EQ(asAsked.vertices[v].x, c.x * asStated.vertices[v].x) << where;
      EXPECT_EQ(asAsked.vertices[v].y, c.y * asStated.vertices[v].y) << where;
      EXPECT_EQ(asAsked.vertices[v].z, asStated.vertices[v].z) << where;
    }
    EXPECT_GT(signedVolume6(asAsked.vertices, asAsked.faces), 0) << where;
    const std::string space = std::string(c.asked) == "file" ? "the file's own space"
                              : c.asked[0] == 'r'            ? "RAS"
                                                             : "LPS";
    EXPECT_NE(moved.out.find(", in " + space + "\n"), std::string::npos) << where;
    // Tagged where 3D Slicer looks: the first comment line.
    const std::string tag = space == "RAS" || space == "LPS" ? "SPACE=" + space + " " : "";
    EXPECT_EQ(moved.out.rfind("# " + tag + "mcubes mesh, ", 0), 0u) << where;
  }
}

TEST_F(Mcubes, SampleVolumesMeshAtTheirLevelsWithoutWarnings) {
  // The sphere and the torus are signed distances, negative inside.
  for (const auto& [name, level] : {std::pair{"wavelet", "160.5"},
                                    {"marschner-lobb", "0.5"},
                                    {"sphere", "0 --inside below"},
                                    {"torus", "0 --inside below"},
                                    {"gyroid", "0.25"},
                                    {"labels", "0.5"}}) {
    const std::string volume = (work() / (std::string(name) + ".nrrd")).string();
    const std::string mesh = (work() / (std::string(name) + ".stl")).string();
    const Outcome written = run(std::string("sample ") + name + " --gzip -o " + volume);
    EXPECT_EQ(written.status, 0) << name << ": " << written.err;
    const Outcome meshed = run("mesh --volume " + volume + " --iso " + level + " -o " + mesh);
    EXPECT_EQ(meshed.status, 0) << name << ": " << meshed.err;
    EXPECT_EQ(meshed.err, "") << name;
    // An STL of more than its header and count: triangles.
    EXPECT_GT(fs::file_size(mesh), 84u + 50u * 100u) << name;
  }
}

// The finishing steps: what they did on stderr, an STL that is still closed
// where its facets meet by position (as printers read it) and outward; and
// refused, before any work, where they cannot apply.
TEST_F(Mcubes, FinishingStepsSayWhatTheyDidAndKeepTheStlClosed) {
  const std::string torus = (inputs() / "torus.nrrd").string();
  const std::string sphere = (inputs() / "sphere.nrrd").string();
  ASSERT_EQ(run("sample torus --size 48 -o " + torus).status, 0);
  ASSERT_EQ(run("sample sphere --size 32 -o " + sphere).status, 0);
  const fs::path plain = work() / "plain.stl", finished = work() / "finished.stl";
  ASSERT_EQ(run("mesh --volume " + torus + " --iso 0 -o " + plain.string()).status, 0);
  const Outcome result =
      run("mesh --volume " + torus + " --iso 0 --smooth 20 --decimate 0.1 -o " + finished.string());
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.err.find("mcubes: smoothed 20 iterations"), std::string::npos) << result.err;
  EXPECT_EQ(result.err.find("no area"), std::string::npos) << result.err;
  const ObjMesh before = parseStl(readFile(plain)), after = parseStl(readFile(finished));
  EXPECT_TRUE(closedAndConsistent(after.faces));
  const double volume = signedVolume6(before.vertices, before.faces);
  EXPECT_NEAR(signedVolume6(after.vertices, after.faces), volume, 0.01 * volume);
  EXPECT_NE(result.err.find("mcubes: decimated "), std::string::npos) << result.err;
  EXPECT_NE(result.err.find("in the volume's units"), std::string::npos) << result.err;
  EXPECT_NEAR(static_cast<double>(after.faces.size()),
              0.1 * static_cast<double>(before.faces.size()),
              0.02 * static_cast<double>(before.faces.size()));

  // The sphere sample (a signed distance) taken inside above the level is a
  // box with a spherical hollow: two parts.
  const Outcome largest = run("mesh --volume " + sphere +
                              " --iso 0 --inside above --keep-largest -o " + finished.string());
  EXPECT_EQ(largest.status, 0) << largest.err;
  EXPECT_EQ(largest.err.rfind("mcubes: 2 components; kept the largest (", 0), 0u) << largest.err;

  fs::remove(plain);
  fs::remove(finished);
  const std::string target = " -o " + (work() / "out.stl").string();
  for (const auto& [arguments, named] : std::vector<std::pair<std::string, std::string>>{
           {"mesh --unwelded --smooth 5", "welded"},
           {"mesh --unwelded --keep-largest", "welded"},
           {"mesh --smooth-passband 0.2", "--smooth"},
           {"mesh --smooth 5 --smooth-passband 2", "--smooth-passband"},
           {"mesh --smooth 0", "--smooth"},
           {"mesh --decimate 0", "--decimate"},
           {"mesh --decimate 1.5", "--decimate"},
           {"mesh --min-component 0", "--min-component"},
           {"mesh --decimate 1.1", "--decimate"}}) {
    const Outcome refused = run(arguments + target);
    EXPECT_EQ(refused.status, 2) << arguments;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_NE(refused.err.find(named), std::string::npos) << arguments << ": " << refused.err;
    EXPECT_TRUE(fs::is_empty(work())) << arguments;
  }
}
