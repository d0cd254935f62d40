// Runs the built mcubes binary's snapshot, record and bench subcommands: exit
// codes, messages, what they write and what they leave behind.
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
#include "tests/tools/gif_read.h"

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

// A PNG's pixels as 8-bit RGB, top row first.
std::vector<unsigned char> readPngRgb(const fs::path& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<unsigned char> rgb;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    ADD_FAILURE() << path << ": " << image.message;
    return rgb;
  }
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) == 0) {
    ADD_FAILURE() << path << ": " << image.message;
  }
  return rgb;
}

// The RGB picture that a played GIF frame shows.
std::vector<unsigned char> coloursOf(const PlayedGif& gif, const GifFrameRecord& frame) {
  std::vector<unsigned char> rgb;
  for (const unsigned char index : frame.shown) {
    const GifColorType& colour = gif.palette.at(index);
    rgb.insert(rgb.end(), {colour.Red, colour.Green, colour.Blue});
  }
  return rgb;
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
                          R"(, "frame_triangles": ([0-9]+), "iso": 0.25\}\n)");
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

  // Another level: more triangles at a lower one (larger blobs).
  const Result lower = mcubes("bench --frames 2 --iso 0.125 --json");
  ASSERT_EQ(lower.status, 0) << lower.err;
  std::smatch lowerFields;
  ASSERT_TRUE(std::regex_match(lower.out, lowerFields,
                               std::regex(R"(.*"triangles": ([0-9]+),.*"iso": 0.125\}\n)")))
      << lower.out;
  EXPECT_GT(std::stol(lowerFields[1].str()), std::stol(fields[7].str()));

  // A volume: a 12 x 10 x 9 ramp of bytes, cut across by the level.
  std::string ramp;
  for (int v = 0; v < 12 * 10 * 9; ++v) ramp += static_cast<char>(v % 12 + v / 120 * 3);
  std::ofstream(dir / "ramp.raw", std::ios::binary) << ramp;
  const Result volume =
      mcubes("bench --volume ramp.raw --dims 12,10,9 --type uint8 --iso 9.5 --frames 3 --json");
  ASSERT_EQ(volume.status, 0) << volume.err;
  std::smatch volumeFields;
  ASSERT_TRUE(std::regex_match(
      volume.out, volumeFields,
      std::regex(R"(\{"volume": "ramp.raw", "iso": 9.5, "threads": 1, "repeats": 3, )"
                 R"("extract_us_median": )" +
                 number + R"(, "extract_us_min": )" + number + R"(, "extract_cpu_us_median": )" +
                 number + R"(, "read_us": )" + number +
                 R"(, "triangles": ([0-9]+), "cells": 792, "processes": 1, )"
                 R"("slowest_extract_us_median": )" +
                 number + R"(, "peak_rss_kb": \[[1-9][0-9]*\]\}\n)")))
      << volume.out;
  EXPECT_GE(std::stod(volumeFields[1].str()), std::stod(volumeFields[2].str()));
  EXPECT_GT(std::stol(volumeFields[5].str()), 100);
  fs::remove(dir / "ramp.raw");

  for (const char* arguments :
       {"bench --frames 0", "bench --frames abc", "bench --frames -5", "bench --divisions 0",
        "bench --divisions 2049", "bench --threads 0", "bench --iso -1",
        "bench --volume missing.raw --dims 2,2,2 --type uint8 --iso 1",
        "bench --volume missing.raw --dims 2,2,2 --type uint8"}) {
    const Result bad = mcubes(arguments);
    EXPECT_EQ(bad.status, 2) << arguments;
    EXPECT_EQ(bad.out, "") << arguments;
  }
}

TEST_F(RenderCommands, RecordWritesALoopingGifWhoseFramesAreTheSnapshotsOfSuccessiveTicks) {
  // Ticks 30 to 35: the balls move a few pixels per tick at this size.
  Result result = mcubes("record --tick 30 --frames 6 --size 160x120 -o loop.gif");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  const PlayedGif gif = playGif((dir / "loop.gif").string());
  EXPECT_EQ(gif.width, 160);
  EXPECT_EQ(gif.height, 120);
  EXPECT_EQ(gif.palette.size(), 2u);
  EXPECT_EQ(gif.loopCount, 0);
  ASSERT_EQ(gif.frames.size(), 6u);
  for (int k = 0; k < 6; ++k) {
    EXPECT_EQ(gif.frames[k].delayCentiseconds, 2) << "frame " << k;
    const std::string png = "tick" + std::to_string(30 + k) + ".png";
    result = mcubes("snapshot --tick " + std::to_string(30 + k) + " --size 160x120 -o " + png);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(coloursOf(gif, gif.frames[k]) == readPngRgb(dir / png)) << "frame " << k;
    fs::remove(dir / png);
  }
  // Frames after the first store less than the whole picture.
  EXPECT_LT(gif.frames[1].width * gif.frames[1].height, 160 * 120);
  EXPECT_EQ(leftBehind(), (std::vector<std::string>{"loop.gif"}));
}

TEST_F(RenderCommands, RecordTakesOneFullPeriodByDefaultAndWrapsTheClock) {
  Result result = mcubes("record --size 40x30 -o period.gif");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(playGif((dir / "period.gif").string()).frames.size(), 314u);

  // From the largest tick on, the clock wraps to the smallest, as the demo's does.
  result = mcubes("record --tick 2147483647 --frames 2 --size 40x30 -o wrap.gif");
  ASSERT_EQ(result.status, 0) << result.err;
  result = mcubes("snapshot --tick -2147483648 --size 40x30 -o wrapped.png");
  ASSERT_EQ(result.status, 0) << result.err;
  const PlayedGif wrap = playGif((dir / "wrap.gif").string());
  ASSERT_EQ(wrap.frames.size(), 2u);
  EXPECT_TRUE(coloursOf(wrap, wrap.frames[1]) == readPngRgb(dir / "wrapped.png"));
}

TEST_F(RenderCommands, RecordRefusesBadInputWithExitTwoAndWritesNoFile) {
  for (const char* arguments :
       {"record --frames 0 -o out.gif", "record --frames abc -o out.gif",
        "record --frames 100001 -o out.gif", "record --size 0x0 -o out.gif",
        "record --tick 2147483648 -o out.gif", "record --frames 3", "record -o missing/dir/out.gif",
        "record --frames 2 --size 8x8 -o ."}) {
    const Result result = mcubes(arguments);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_EQ(result.err.rfind("mcubes: ", 0), 0u) << arguments << ": " << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(leftBehind().empty()) << arguments << " left " << leftBehind()[0];
  }
}
