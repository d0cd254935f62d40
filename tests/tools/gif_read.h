// Reads an animated GIF back with giflib and plays it: every frame composed
// onto the ones before as a viewer shows it, for tests to compare.
#pragma once

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

struct GifFrameRecord {
  int left, top, width, height;
  int delayCentiseconds;
  int disposal;
  int transparentIndex;
  std::vector<unsigned char> shown;  // the whole picture after this frame, palette indices
};

struct PlayedGif {
  int width = 0;
  int height = 0;
  std::vector<GifColorType> palette;  // the global colour table
  int loopCount = -1;                 // from the NETSCAPE2.0 extension; -1 without one
  std::vector<GifFrameRecord> frames;
};

// The NETSCAPE2.0 application extension among `blocks`: its loop count, or -1.
inline int loopCountIn(const ExtensionBlock* blocks, int count) {
  for (int i = 0; i + 1 < count; ++i) {
    if (blocks[i].Function == APPLICATION_EXT_FUNC_CODE && blocks[i].ByteCount == 11 &&
        std::memcmp(blocks[i].Bytes, "NETSCAPE2.0", 11) == 0 &&
        blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE && blocks[i + 1].ByteCount == 3 &&
        blocks[i + 1].Bytes[0] == 1) {
      return blocks[i + 1].Bytes[1] | blocks[i + 1].Bytes[2] << 8;
    }
  }
  return -1;
}

// Fails the calling test (and returns what it has) when giflib cannot read
// the file.
inline PlayedGif playGif(const std::string& path) {
  PlayedGif played;
  int code = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &code);
  if (gif == nullptr) {
    ADD_FAILURE() << path << ": " << GifErrorString(code);
    return played;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    ADD_FAILURE() << path << ": " << GifErrorString(gif->Error);
    DGifCloseFile(gif, &code);
    return played;
  }
  played.width = gif->SWidth;
  played.height = gif->SHeight;
  if (gif->SColorMap != nullptr) {
    played.palette.assign(gif->SColorMap->Colors,
                          gif->SColorMap->Colors + gif->SColorMap->ColorCount);
  }
  if (gif->ImageCount > 0) {
    played.loopCount =
        loopCountIn(gif->SavedImages[0].ExtensionBlocks, gif->SavedImages[0].ExtensionBlockCount);
  }

  std::vector<unsigned char> canvas(static_cast<std::size_t>(played.width) * played.height,
                                    static_cast<unsigned char>(gif->SBackGroundColor));
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    GraphicsControlBlock control{};
    control.DelayTime = -1;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &control);
    const GifImageDesc& d = image.ImageDesc;
    for (int y = 0; y < d.Height; ++y) {
      for (int x = 0; x < d.Width; ++x) {
        const unsigned char index = image.RasterBits[y * d.Width + x];
        if (index != control.TransparentColor && d.Top + y < played.height &&
            d.Left + x < played.width) {
          canvas[static_cast<std::size_t>(d.Top + y) * played.width + d.Left + x] = index;
        }
      }
    }
    played.frames.push_back({d.Left, d.Top, d.Width, d.Height, control.DelayTime,
                             control.DisposalMode, control.TransparentColor, canvas});
  }
  DGifCloseFile(gif, &code);
  return played;
}
