// Runs the built mcubes binary's snapshot and bench subcommands: exit codes,
// messages, what they write and what they leave behind.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

class RenderCommands : public ::testing::Test {
 protected:
  // Runs mcubes with `arguments` (through the shell, as written) in the
  // test's directory.
  Result mcubes(const std::string& arguments) {
    const std::string command =
        "cd '" + dir.string() + "' && '" MCUBES_PATH "' " + arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    Result result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir / "stdout.txt"),
                  readFile(dir / "stderr.txt")};
    fs::remove(dir / "stdout.txt");
    fs::remove(dir / "stderr.txt");
    return result;
  }

  std::vector<std::string> leftBehind() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  TemporaryDirectory temporary;
  const fs::path dir = temporary.path();
};

struct Picture {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  png_uint_32 format = 0;
};

// The header of a PNG file, as libpng reads it.
Picture readPngHeader(const fs::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    ADD_FAILURE() << path << ": " << image.message;
    return {};
  }
  const Picture picture{image.width, image.height, image.format};
  png_image_free(&image);
  return picture;
}

}  // namespace

TEST_F(RenderCommands, SnapshotWritesAnRgbPngOfTheRequestedSize) {
  Result result = mcubes("snapshot -o default.png");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  Picture picture = readPngHeader(dir / "default.png");
  EXPECT_EQ(picture.width, 800u);
  EXPECT_EQ(picture.height, 600u);
  EXPECT_EQ(picture.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));

  result = mcubes("snapshot --tick 25 --size 320x200 -o small.png");
  ASSERT_EQ(result.status, 0) << result.err;
  picture = readPngHeader(dir / "small.png");
  EXPECT_EQ(picture.width, 320u);
  EXPECT_EQ(picture.height, 200u);
  // Nothing but the two pictures: no temporary file is left.
  EXPECT_EQ(leftBehind(), (std::vector<std::string>{"default.png", "small.png"}));
}

TEST_F(RenderCommands, SnapshotRefusesBadInputWithExitTwoAndWritesNoFile) {
  for (const char* arguments :
       {"snapshot --size 0x0 -o out.png", "snapshot --size abc -o out.png",
        "snapshot --size 99999x99999 -o out.png", "snapshot --tick 2147483648 -o out.png",
        "snapshot --size 800x600", "snapshot -o missing/dir/out.png"}) {
    const Result result = mcubes(arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.err.rfind("mcubes: ", 0), 0u) << arguments << ": " << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(leftBehind().empty()) << arguments << " left " << leftBehind()[0];
  }
}

TEST_F(RenderCommands, BenchPrintsOneJsonObjectWithTheTimingsAndRefusesBadFrameCounts) {
  const Result result = mcubes("bench --frames 3 --json");
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string number = R"(([0-9]+(?:\.[0-9]+)?))";
  const std::regex object(R"(\{"divisions": 16, "threads": 1, "extract_us_median": )" + number +
                          R"(, "sweep_us_median": )" + number + R"(, "frame_us_median": )" +
                          number + R"(, "frame_us_p95": )" + number + R"(, "draw_us_median": )" +
                          number + R"(, "fps": )" + number + R"(, "triangles": ([0-9]+))" +
                          R"(, "frame_triangles": ([0-9]+)\}\n)");
  std::smatch fields;
  ASSERT_TRUE(std::regex_match(result.out, fields, object)) << result.out;
  EXPECT_GT(std::stod(fields[1].str()), 0.0);  // extraction
  const double frameMedian = std::stod(fields[3].str());
  EXPECT_GT(frameMedian, 0.0);
  EXPECT_GE(std::stod(fields[4].str()), frameMedian);  // p95
  EXPECT_GT(std::stod(fields[5].str()), 0.0);          // drawing
  EXPECT_GT(std::stod(fields[6].str()), 0.0);          // frames/s
  EXPECT_GT(std::stol(fields[7].str()), 100);          // extracted triangles
  // At the frame's own divisions the extractor yields the frame's triangles.
  EXPECT_EQ(fields[7].str(), fields[8].str());

  const Result finer = mcubes("bench --frames 2 --divisions 40 --threads 2 --json");
  ASSERT_EQ(finer.status, 0) << finer.err;
  EXPECT_EQ(finer.out.rfind(R"({"divisions": 40, "threads": 2, )", 0), 0u) << finer.out;

  for (const char* arguments :
       {"bench --frames 0", "bench --frames abc", "bench --frames -5", "bench --divisions 0",
        "bench --divisions 2049", "bench --threads 0"}) {
    const Result bad = mcubes(arguments);
    EXPECT_EQ(bad.status, 2) << arguments;
    EXPECT_EQ(bad.out, "") << arguments;
  }
}
