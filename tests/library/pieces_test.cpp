// A volume meshed in pieces of its layers, each from its own slab of
// slices, joined: the whole volume's result, bit for bit, however it is
// cut; and pieces that do not make a whole are refused.
#include "mcubes/pieces.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "mcubes/error.h"

namespace {

constexpr std::int64_t X = 7, Y = 6, Z = 12;

// Waves that leave through every face, with voxels exactly at the level 3
// (snapped vertices, also on the slices where pieces meet) and one NaN.
std::vector<float> waves() {
  std::vector<float> values;
  for (int k = 0; k < Z; ++k) {
    for (int j = 0; j < Y; ++j) {
      for (int i = 0; i < X; ++i) {
        values.push_back(std::round(3.0f + 2.5f * std::sin(0.9f * i + 0.4f * k) *
                                               std::cos(0.7f * j - 0.5f * k)));
      }
    }
  }
  values[5 * X * Y + 2 * X + 3] = std::nanf("");
  return values;
}

mcubes::Geometry geometryOf() {
  mcubes::Placement placement;
  placement.spacing[2] = 0.5;
  placement.origin[0] = -1.25;
  return mcubes::gridGeometry({X, Y, Z}, placement);
}

// The pieces of layers cut at `cuts` (from 0, up to the last layer), each
// meshed from only the slices it reads.
std::vector<std::vector<char>> piecesOf(const std::vector<float>& values,
                                        const std::vector<std::int64_t>& cuts,
                                        const mcubes::SurfaceOptions& options) {
  const mcubes::Geometry geometry = geometryOf();
  std::vector<std::vector<char>> pieces;
  for (std::size_t p = 0; p + 1 < cuts.size(); ++p) {
    const mcubes::SliceRange slices = mcubes::pieceSlices(geometry, cuts[p], cuts[p + 1], options);
    // A copy of the slab alone: a piece that read beyond it would fail.
    const std::vector<float> slab(values.begin() + slices.first * X * Y,
                                  values.begin() + slices.last * X * Y);
    const std::int64_t dims[3] = {X, Y, slices.last - slices.first};
    pieces.push_back(mcubes::meshPiece(
        geometry, mcubes::packedArray(slab.data(), mcubes::VoxelType::Float32, dims), cuts[p],
        cuts[p + 1], options));
  }
  return pieces;
}

std::vector<std::string> messages(const mcubes::MeshReport& report) {
  std::vector<std::string> text;
  for (const mcubes::Finding& finding : report.findings) text.push_back(finding.message());
  return text;
}

TEST(Pieces, JoinedTheyAreTheWholeVolumesMeshHoweverItIsCut) {
  const std::vector<float> values = waves();
  const struct {
    const char* name;
    std::function<void(mcubes::SurfaceOptions&)> options;
  } settings[] = {
      {"welded, closed", [](mcubes::SurfaceOptions&) {}},
      {"normals", [](mcubes::SurfaceOptions& o) { o.normals = true; }},
      {"open, inside below",
       [](mcubes::SurfaceOptions& o) {
         o.closed = false;
         o.inside = mcubes::Inside::Below;
       }},
      {"unwelded",
       [](mcubes::SurfaceOptions& o) {
         o.welded = false;
         o.closed = false;
         o.normals = true;
       }},
  };
  const std::vector<std::vector<std::int64_t>> cuts = {
      {0, 11}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {0, 5, 6, 6, 11}, {0, 3, 10, 11}};
  for (const auto& setting : settings) {
    mcubes::SurfaceOptions options;
    options.level = 3.0;
    options.threads = 2;
    setting.options(options);
    mcubes::MeshRequest request;
    request.source = mcubes::ArraySource{
        mcubes::packedArray(values.data(), mcubes::VoxelType::Float32, {X, Y, Z}), geometryOf()};
    request.surface = options;
    const mcubes::MeshResult whole = mcubes::meshVolume(request);
    const mcubes::Mesh& expected = whole.surfaces.front().mesh;
    ASSERT_GT(expected.indices.size(), 300u) << setting.name;
    // NaN and voxels at the level: what every piece must count alike.
    ASSERT_EQ(whole.report.findings.size(), 2u) << setting.name;
    for (const std::vector<std::int64_t>& cut : cuts) {
      SCOPED_TRACE(std::string(setting.name) + ", " + std::to_string(cut.size() - 1) + " pieces");
      const mcubes::MeshResult joined =
          mcubes::joinPieces(geometryOf(), piecesOf(values, cut, options), options);
      ASSERT_EQ(joined.surfaces.size(), 1u);
      const mcubes::Mesh& mesh = joined.surfaces.front().mesh;
      EXPECT_EQ(mesh.positions, expected.positions);
      EXPECT_EQ(mesh.indices, expected.indices);
      EXPECT_EQ(mesh.normals, expected.normals);
      EXPECT_EQ(messages(joined.report), messages(whole.report));
      EXPECT_EQ(joined.report.comment, whole.report.comment);
    }
  }
}

TEST(Pieces, ThoseThatMakeNoWholeAreRefused) {
  const std::vector<float> values = waves();
  mcubes::SurfaceOptions options;
  options.level = 3.0;
  mcubes::SurfaceOptions normals = options;
  normals.normals = true;
  const std::vector<std::int64_t> three = {0, 4, 8, 11};
  const struct {
    const char* name;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"a piece left out",
       [&] {
         auto pieces = piecesOf(values, three, options);
         pieces.erase(pieces.begin() + 1);
         mcubes::joinPieces(geometryOf(), pieces, options);
       },
       "piece 1 holds layers 8 to 11, and the pieces before it end at 4"},
      {"the last layers missing",
       [&] {
         mcubes::joinPieces(geometryOf(), piecesOf(values, {0, 4, 8}, options), options);
       },
       "the pieces hold layers 0 to 8 of 11"},
      {"pieces out of order",
       [&] {
         auto pieces = piecesOf(values, three, options);
         std::swap(pieces[0], pieces[2]);
         mcubes::joinPieces(geometryOf(), pieces, options);
       },
       "piece 0 holds layers 8 to 11"},
      {"another level",
       [&] {
         mcubes::SurfaceOptions other = options;
         other.level = 2.5;
         mcubes::joinPieces(geometryOf(), piecesOf(values, three, other), options);
       },
       "give every piece and the join the same options"},
      {"cut short",
       [&] {
         auto pieces = piecesOf(values, three, options);
         pieces[1].erase(pieces[1].begin() + 10, pieces[1].begin() + 20);
         mcubes::joinPieces(geometryOf(), pieces, options);
       },
       "piece 1 ends early"},
      {"no piece's bytes",
       [&] { mcubes::joinPieces(geometryOf(), {std::vector<char>(300, 'x')}, options); },
       "piece 0 is no piece of a mesh of this build"},
      {"a slab without the normals' slice",
       [&] {
         const std::int64_t dims[3] = {X, Y, 5};
         mcubes::meshPiece(
             geometryOf(),
             mcubes::packedArray(values.data() + 4 * X * Y, mcubes::VoxelType::Float32, dims), 4, 8,
             normals);
       },
       "reads slices 3 to 9 (7), and the slab holds 5"},
      {"layers beyond the volume's", [&] { mcubes::pieceSlices(geometryOf(), 8, 12, options); },
       "layers 8 to 12 are no run of a volume's 11 layers"},
      {"unwelded with caps, whole or in pieces",
       [&] {
         mcubes::MeshRequest request;
         request.source = mcubes::ArraySource{
             mcubes::packedArray(values.data(), mcubes::VoxelType::Float32, {X, Y, Z}),
             geometryOf()};
         request.surface = options;
         request.surface.welded = false;
         try {
           mcubes::meshVolume(request);
         } catch (const mcubes::ArgumentError&) {
           mcubes::joinPieces(geometryOf(), {}, request.surface);
         }
       },
       "SurfaceOptions::welded = false gives the triangles as extracted, each with its own "
       "vertices, and no caps: ask for SurfaceOptions::closed = false with it"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      ADD_FAILURE() << "not refused";
    } catch (const mcubes::ArgumentError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
