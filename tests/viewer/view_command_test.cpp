// `mcubes view`'s command line, in-process: what it refuses before opening
// a window, and its help with the controls.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "port/port.h"
#include "tests/support/captured_stdout.h"
#include "tests/support/temporary_directory.h"
#include "tools/mcubes.h"

namespace {

int run(std::vector<std::string> arguments, std::string& output, std::string& errors) {
  arguments.insert(arguments.begin(), "mcubes");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  ::testing::internal::CaptureStderr();
  int code = -1;
  {
    CapturedStdout captured;
    code = runMcubes(static_cast<int>(argv.size()), argv.data());
    output = captured.text();
  }
  errors = ::testing::internal::GetCapturedStderr();
  return code;
}

TEST(ViewCommand, RefusesBadStartsWithOneLine) {
  const struct {
    std::vector<std::string> arguments;
    const char* named;  // in the message
  } cases[] = {
      {{"view", "--iso", "0"}, "'0'"},
      {{"view", "--iso", "-0.5"}, "'-0.5'"},
      {{"view", "--iso", "nan"}, "'nan'"},
      {{"view", "--iso", "inf"}, "'inf'"},
      {{"view", "--iso", "x"}, "'x'"},
      {{"view", "--divisions", "3"}, "--divisions"},
      {{"view", "--divisions", "1025"}, "--divisions"},
      {{"view", "--tick", "1.5"}, "1.5"},
      {{"view", "--inside", "below"}, "--inside needs --volume"},
      {{"view", "--inside", "left"}, "--inside"},
      {{"bench", "--view", "--divisions", "2", "--frames", "1"}, "4 to 1024 divisions, not 2"},
      {{"bench", "--view", "--detail", "3"}, "--detail: a power of two"},
      {{"bench", "--view", "--detail", "2"}, "--detail: only a volume"},
      {{"bench", "--volume", "v.nrrd", "--detail", "2"}, "--detail needs --view"},
  };
  for (const auto& c : cases) {
    std::string output, errors;
    EXPECT_EQ(run(c.arguments, output, errors), 2) << c.arguments[2];
    EXPECT_EQ(output, "") << c.arguments[2];
    EXPECT_NE(errors.find(c.named), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;  // one line
  }
}

// What cannot be read ends the viewer and its benchmark as it ends mcubes
// mesh: the same one line, exit code 2, before any window opens.
TEST(ViewCommand, RefusesBadVolumesAsMeshDoes) {
  TemporaryDirectory folder;
  const std::string shortRaw = (folder.path() / "short.raw").string();
  std::FILE* file = std::fopen(shortRaw.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("ten bytes!", file);
  std::fclose(file);
  const std::string missing = (folder.path() / "missing.nrrd").string();
  const std::vector<std::vector<std::string>> volumes = {
      {"--volume", missing},
      {"--volume", shortRaw, "--dims", "4,4,4", "--type", "float32"},
      {"--volume", shortRaw, "--dims", "4,4", "--type", "float32"},
      {"--volume", shortRaw, "--dims", "4,4,4", "--type", "float16"},
      {"--dims", "4,4,4", "--type", "uint8"},
  };
  for (const auto& volume : volumes) {
    std::vector<std::string> mesh = {"mesh", "--iso", "1", "-o", "-"};
    mesh.insert(mesh.end(), volume.begin(), volume.end());
    std::string meshOutput, meshErrors;
    ASSERT_EQ(run(mesh, meshOutput, meshErrors), 2) << volume[1];
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"view"},
          std::vector<std::string>{"bench", "--view", "--iso", "1", "--frames", "1"}}) {
      std::vector<std::string> arguments = command;
      arguments.insert(arguments.end(), volume.begin(), volume.end());
      std::string output, errors;
      EXPECT_EQ(run(arguments, output, errors), 2) << command[0] << " " << volume[1];
      EXPECT_EQ(output, "");
      EXPECT_EQ(errors, meshErrors) << command[0] << " " << volume[1];
    }
  }
}

// The viewer's benchmark on a volume: level keys timed until a new surface
// is on screen and until its full detail is, an orbit, still frames.
TEST(ViewCommand, BenchTimesAVolumesLevelKeysOrbitAndStillFrames) {
  TemporaryDirectory folder;
  const std::string ramp = (folder.path() / "ramp.raw").string();
  std::FILE* file = std::fopen(ramp.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  for (int v = 0; v < 12 * 10 * 9; ++v) std::fputc(v % 12 + v / 120 * 3, file);
  std::fclose(file);
  for (const char* detail : {"1", "2"}) {
    std::string output, errors;
    ASSERT_EQ(run({"bench", "--view", "--volume", ramp, "--dims", "12,10,9", "--type", "uint8",
                   "--iso", "9.5", "--frames", "3", "--detail", detail, "--json"},
                  output, errors),
              0)
        << errors;
    port::resetWindowSystem();
    const std::string number = R"(([0-9]+(?:\.[0-9]+)?))";
    const std::regex object(
        R"(\{"view": true, "volume": "12x10x9 voxels", "iso": 9.5, "detail": )" +
        std::string(detail) + R"(, "threads": 1, "frames": 3, "frame_us_median": )" + number +
        R"(, "frame_us_p95": )" + number + R"(, "fps": )" + number +
        R"(, "triangles": ([0-9]+), "first_picture_us_median": )" + number +
        R"(, "first_picture_us_p95": )" + number + R"(, "full_detail_us_median": )" + number +
        R"(, "refining_frame_us_max": )" + number + R"(, "orbit_frame_us_median": )" + number +
        R"(, "orbit_fps": )" + number + R"(, "orbit_triangles": ([0-9]+)\}\n)");
    std::smatch fields;
    ASSERT_TRUE(std::regex_match(output, fields, object)) << output;
    EXPECT_GE(std::stod(fields[2].str()), std::stod(fields[1].str()));  // p95, median
    const long triangles = std::stol(fields[4].str());
    EXPECT_GT(triangles, detail[0] == '1' ? 100 : 20);
    // The full detail comes with the first picture or after it.
    EXPECT_LE(std::stod(fields[5].str()), std::stod(fields[7].str()));
    // An orbit draws the level or a coarser one.
    const long orbiting = std::stol(fields[11].str());
    EXPECT_GT(orbiting, 0);
    EXPECT_LE(orbiting, triangles);
  }
}

// Without a display the viewer says so and ends, instead of drawing where
// nobody sees it; MCUBES_DISPLAY keeps the offscreen window for those who
// ask for it.
TEST(ViewCommand, EndsWithOneLineWithoutADisplay) {
  port::resetWindowSystem();
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display != nullptr ? display : "";
  unsetenv("MCUBES_DISPLAY");
  for (const char* value : {"", ":59999"}) {
    if (value[0] == '\0') {
      unsetenv("DISPLAY");
    } else {
      setenv("DISPLAY", value, 1);
    }
    std::string output, errors;
    EXPECT_EQ(run({"view", "--paused"}, output, errors), 2) << value;
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("no display to show the viewer on"), std::string::npos) << errors;
    EXPECT_NE(errors.find("mcubes snapshot"), std::string::npos) << errors;
    EXPECT_EQ(errors.find('\n'), errors.size() - 1) << errors;  // one line
    port::resetWindowSystem();
  }
  if (display != nullptr) setenv("DISPLAY", saved.c_str(), 1);
}

TEST(ViewCommand, HelpListsTheOptionsAndTheControls) {
  std::string output, errors;
  EXPECT_EQ(run({"view", "--help"}, output, errors), 0);
  for (const char* listed : {"--divisions",
                             "--iso",
                             "--volume",
                             "--dims",
                             "--tick",
                             "--paused",
                             "--threads",
                             "--labels",
                             "left-drag",
                             "wireframe",
                             "Esc",
                             "a volume: 1 %",
                             "[ shows every 2nd, 4th",
                             "clipping plane",
                             "caps",
                             "slices",
                             "export",
                             "1 to 9",
                             "Otsu",
                             "the full detail follows",
                             "MCUBES_DISPLAY=headless",
                             "mcubes snapshot"}) {
    EXPECT_NE(output.find(listed), std::string::npos) << listed;
  }
}

}  // namespace
