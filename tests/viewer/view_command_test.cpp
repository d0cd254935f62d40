// `mcubes view`'s command line, in-process: what it refuses before opening
// a window, and its help with the controls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/captured_stdout.h"
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

TEST(ViewCommand, HelpListsTheOptionsAndTheControls) {
  std::string output, errors;
  EXPECT_EQ(run({"view", "--help"}, output, errors), 0);
  for (const char* listed : {"--divisions", "--iso", "--tick", "--paused", "--threads", "left-drag",
                             "wireframe", "Esc"}) {
    EXPECT_NE(output.find(listed), std::string::npos) << listed;
  }
}

}  // namespace
