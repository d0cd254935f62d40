// The PNG writer, read back by libpng; built with each of the two zlib
// streams (compressed and stored).
#include "viewer/png_file.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <string>
#include <vector>

#include "viewer/png_deflate.h"

TEST(PngFile, ChecksumsGiveTheirPublishedCheckValues) {
  const std::string digits = "123456789";
  const std::string word = "Wikipedia";
  const auto bytes = [](const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
  };
  EXPECT_EQ(crc32Of(bytes(digits), digits.size()), 0xCBF43926u);
  // The zlib stream ends with the Adler-32 of its data.
  const std::vector<unsigned char> stream = zlibStream({word.begin(), word.end()});
  EXPECT_EQ(std::vector<unsigned char>(stream.end() - 4, stream.end()),
            (std::vector<unsigned char>{0x11, 0xE6, 0x03, 0x98}));
  // A CRC carried across pieces is the CRC of the whole.
  EXPECT_EQ(crc32Of(bytes(digits) + 4, 5, crc32Of(bytes(digits), 4)), 0xCBF43926u);
}

TEST(PngFile, WritesEightBitRgbThatReadsBackTopRowFirst) {
  const int width = 3;
  const int height = 2;
  const std::vector<unsigned char> pixels = {255, 0,  0,  0, 255, 0, 0,   0,   255,
                                             64,  64, 64, 1, 2,   3, 250, 251, 252};
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(writePng(file, width, height, pixels));
  std::rewind(file);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_stdio(&image, file), 0) << image.message;
  EXPECT_EQ(image.width, 3u);
  EXPECT_EQ(image.height, 2u);
  EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
  std::vector<unsigned char> read(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, read.data(), 0, nullptr), 0) << image.message;
  EXPECT_EQ(read, pixels);
  std::fclose(file);
}

// Sizes around the stored block's 65535 bytes: one block, exactly full, and
// several (a 1-pixel-high row of 30000 pixels is 90001 bytes).
TEST(PngFile, LibpngReadsBackTheSamePixels) {
  struct Size {
    int width;
    int height;
  };
  for (const Size size : {Size{1, 1}, Size{7, 3}, Size{21845, 1}, Size{30000, 1}, Size{300, 200}}) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(size.width) * size.height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) {
      rgb[i] = static_cast<unsigned char>(i * 7 + i / 251);
    }
    const std::vector<unsigned char> file = pngFileBytes(size.width, size.height, rgb);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_NE(png_image_begin_read_from_memory(&image, file.data(), file.size()), 0)
        << size.width << " x " << size.height << ": " << image.message;
    EXPECT_EQ(image.width, static_cast<png_uint_32>(size.width));
    EXPECT_EQ(image.height, static_cast<png_uint_32>(size.height));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> read(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, read.data(), 0, nullptr), 0)
        << size.width << " x " << size.height << ": " << image.message;
    EXPECT_EQ(read, rgb) << size.width << " x " << size.height;
  }
}

TEST(PngFile, AFileThatCannotBeWrittenIsReportedInOneLine) {
  const std::string error = writePngFile("/nonexistent-folder/picture.png", 1, 1, {0, 0, 0});
  EXPECT_EQ(error.rfind("cannot write /nonexistent-folder/picture.png: ", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos);
}
