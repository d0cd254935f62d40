// `mcubes view`'s command line, in-process: what it refuses before opening
// a window, and its help with the controls.
#include <gtest/gtest.h>

#include <cstdlib>
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
      {{"bench", "--view", "--divisions", "2", "--frames", "1"}, "4 to 1024 divisions, not 2"},
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
                             "MCUBES_DISPLAY=headless",
                             "mcubes snapshot"}) {
    EXPECT_NE(output.find(listed), std::string::npos) << listed;
  }
}

}  // namespace
