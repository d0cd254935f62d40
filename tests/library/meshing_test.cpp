// The front door as library users call it: what a run finds comes back as
// data, told as it is found and held in the report, and messages name the
// request's fields, or another front end's words for them.
#include "mcubes/meshing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "mcubes/error.h"

namespace {

using Kind = mcubes::Finding::Kind;

// A 6 x 5 x 4 ball, 1 near its centre falling to about 0 at the corners;
// `inverted`, 2 minus that: low inside, high on every face. `nan` voxels
// are NaN.
std::vector<float> ball(bool inverted = false, int nan = 0) {
  std::vector<float> values;
  for (int k = 0; k < 4; ++k) {
    for (int j = 0; j < 5; ++j) {
      for (int i = 0; i < 6; ++i) {
        const float v = 1.0f - 0.3f * std::hypot(i - 2.5f, j - 2.0f, k - 1.5f);
        values.push_back(inverted ? 2.0f - v : v);
      }
    }
  }
  for (int n = 0; n < nan; ++n) values[static_cast<std::size_t>(n)] = std::nanf("");
  return values;
}

mcubes::MeshRequest requestOf(const std::vector<float>& values) {
  static const std::int64_t dims[3] = {6, 5, 4};
  mcubes::MeshRequest request;
  request.source =
      mcubes::arraySource(mcubes::packedArray(values.data(), mcubes::VoxelType::Float32, dims));
  return request;
}

TEST(Meshing, FindingsComeAsDataToldAsTheyComeAndHeldInTheReport) {
  const struct {
    const char* name;
    bool inverted;
    int nan;
    double level;
    std::optional<mcubes::Inside> inside;
    std::vector<Kind> expected;
    const char* text;  // in the last finding's message, as the library words it
  } cases[] = {
      {"a level inside the data", false, 0, 0.5, std::nullopt, {}, ""},
      {"NaN voxels", false, 3, 0.5, std::nullopt, {Kind::NonFiniteVoxels}, "3 voxels are NaN"},
      {"a level below the data",
       false,
       0,
       -5,
       std::nullopt,
       {Kind::EveryVoxelInside},
       "choose a level between them"},
      {"a level above the data",
       false,
       0,
       5,
       std::nullopt,
       {Kind::NoVoxelInside},
       "the mesh is empty"},
      {"the box closed around what lies below",
       true,
       0,
       1.3,
       std::nullopt,
       {Kind::BoxAroundCavity},
       "give SurfaceOptions::inside = Inside::Below"},
      {"the same with the inside chosen", true, 0, 1.3, mcubes::Inside::Above, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<float> values = ball(c.inverted, c.nan);
    mcubes::MeshRequest request = requestOf(values);
    request.surface.level = c.level;
    request.surface.inside = c.inside;
    std::vector<Kind> told;
    request.onFinding = [&](const mcubes::Finding& finding) {
      if (finding.warning) told.push_back(finding.kind);
    };
    const mcubes::MeshResult result = mcubes::meshVolume(request);
    EXPECT_EQ(told, c.expected);
    std::vector<Kind> held;
    for (const mcubes::Finding& finding : result.report.findings) held.push_back(finding.kind);
    EXPECT_EQ(held, c.expected);
    if (!c.expected.empty()) {
      const std::string message = result.report.findings.back().message();
      EXPECT_NE(message.find(c.text), std::string::npos) << message;
      EXPECT_EQ(message.find('{'), std::string::npos) << message;
    }
  }
}

TEST(Meshing, MessagesNameTheFieldsOrAnotherFrontEndsWords) {
  const std::vector<float> values = ball();
  mcubes::MeshRequest request = requestOf(values);
  request.surface.welded = false;
  request.finish.smoothIterations = 5;
  try {
    mcubes::meshVolume(request);
    FAIL() << "smoothing the unwelded mesh was not refused";
  } catch (const mcubes::ArgumentError& error) {
    EXPECT_NE(std::string(error.what()).find("FinishOptions::smoothIterations"), std::string::npos)
        << error.what();
    EXPECT_NE(std::string(error.what()).find("SurfaceOptions::welded = false"), std::string::npos)
        << error.what();
    const std::string flags = error.worded([](const std::string& name) { return "--" + name; });
    EXPECT_NE(flags.find("--smooth"), std::string::npos) << flags;
    EXPECT_NE(flags.find("leave out --unwelded"), std::string::npos) << flags;
  }
  mcubes::MeshRequest file;
  file.source = mcubes::FileSource{"no such file.nrrd"};
  file.surface.level = 1;
  try {
    mcubes::meshVolume(file);
    FAIL() << "a missing file was not refused";
  } catch (const mcubes::FileError& error) {
    EXPECT_EQ(error.file(), "no such file.nrrd");
  }
}

}  // namespace
