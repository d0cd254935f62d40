#include "tools/gif_write.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/temporary_directory.h"
#include "tests/tools/gif_read.h"

namespace {

const GifPalette palette = {{{64, 64, 64}, {255, 0, 0}}};

class GifWrite : public ::testing::Test {
 protected:
  // Writes the frames, each with its delay, and plays the file back.
  PlayedGif roundTrip(int width, int height, const std::vector<std::vector<unsigned char>>& frames,
                      const std::vector<int>& delays) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    EXPECT_NE(out, nullptr);
    std::string error;
    {
      GifAnimationWriter gif(out, width, height, palette);
      EXPECT_TRUE(gif.begin(error)) << error;
      for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(gif.addFrame(frames[i], delays[i], error)) << error;
      }
      EXPECT_TRUE(gif.finish(error)) << error;
    }
    std::fclose(out);
    return playGif(path);
  }

  TemporaryDirectory temporary;
  const std::string path = (temporary.path() / "animation.gif").string();
};

}  // namespace

TEST_F(GifWrite, PlaysBackEveryFrameExactlyWithOnlyTheChangedRectangleStored) {
  const int width = 5;
  const int height = 4;
  const std::vector<unsigned char> first = {0, 0, 0, 0, 0,  //
                                            0, 1, 1, 0, 0,  //
                                            0, 1, 1, 0, 0,  //
                                            0, 0, 0, 0, 0};
  std::vector<unsigned char> onePixel = first;
  onePixel[2 * width + 3] = 1;
  std::vector<unsigned char> corners = onePixel;
  corners[0] = 1;
  corners[width * height - 1] = 1;
  const std::vector<std::vector<unsigned char>> frames = {first, first, onePixel, corners, first};
  const std::vector<int> delays = {2, 3, 2, 7, 2};

  const PlayedGif played = roundTrip(width, height, frames, delays);
  EXPECT_EQ(played.width, width);
  EXPECT_EQ(played.height, height);
  ASSERT_EQ(played.palette.size(), 2u);
  EXPECT_EQ(played.palette[0].Red, 64);
  EXPECT_EQ(played.palette[1].Red, 255);
  EXPECT_EQ(played.palette[1].Green, 0);
  EXPECT_EQ(played.loopCount, 0);  // forever
  ASSERT_EQ(played.frames.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(played.frames[i].shown, frames[i]) << "frame " << i;
    EXPECT_EQ(played.frames[i].delayCentiseconds, delays[i]) << "frame " << i;
    EXPECT_EQ(played.frames[i].disposal, DISPOSE_DO_NOT) << "frame " << i;
  }
  // The first frame whole; an unchanged frame one pixel; a one-pixel change
  // only that pixel; changes at opposite corners the whole picture again.
  const auto rect = [&](std::size_t i) {
    const GifFrameRecord& f = played.frames[i];
    return std::vector<int>{f.left, f.top, f.width, f.height};
  };
  EXPECT_EQ(rect(0), (std::vector<int>{0, 0, 5, 4}));
  EXPECT_EQ(rect(1), (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(rect(2), (std::vector<int>{3, 2, 1, 1}));
  EXPECT_EQ(rect(3), (std::vector<int>{0, 0, 5, 4}));
  EXPECT_EQ(rect(4), (std::vector<int>{0, 0, 5, 4}));
}

TEST_F(GifWrite, WideRectangleCoversChangesThatAreOnDifferentRowsAndColumns) {
  const int width = 6;
  const int height = 5;
  const std::vector<unsigned char> blank(width * height, 0);
  std::vector<unsigned char> spread = blank;
  spread[1 * width + 4] = 1;  // right of the later change, one row above
  spread[3 * width + 2] = 1;
  const PlayedGif played = roundTrip(width, height, {blank, spread}, {2, 2});
  ASSERT_EQ(played.frames.size(), 2u);
  const GifFrameRecord& f = played.frames[1];
  EXPECT_EQ((std::vector<int>{f.left, f.top, f.width, f.height}), (std::vector<int>{2, 1, 3, 3}));
  EXPECT_EQ(f.shown, spread);
}

TEST_F(GifWrite, ReportsAFileThatCannotBeWritten) {
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  std::string error;
  bool written = false;
  {
    GifAnimationWriter gif(full, 64, 64, palette);
    written = gif.begin(error) && gif.addFrame(std::vector<unsigned char>(64 * 64, 1), 2, error) &&
              gif.finish(error);
  }
  std::fclose(full);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

TEST(PaletteIndices, MapsTheTwoColoursAndNamesTheFirstPixelOfAnyOther) {
  const std::vector<unsigned char> rgb = {64, 64, 64, 255, 0, 0, 255, 0, 0, 64, 64, 64};
  std::vector<unsigned char> indices;
  std::string error;
  ASSERT_TRUE(paletteIndices(rgb, 2, palette, indices, error)) << error;
  EXPECT_EQ(indices, (std::vector<unsigned char>{0, 1, 1, 0}));

  const std::vector<unsigned char> blended = {64, 64, 64, 255, 0, 0, 64, 64, 64, 160, 32, 32};
  EXPECT_FALSE(paletteIndices(blended, 2, palette, indices, error));
  EXPECT_EQ(error, "colour (160, 32, 32) at (1, 1) is not in the palette");
}
