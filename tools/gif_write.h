// Animated GIF output through giflib: frames of palette indices, each stored
// as the smallest rectangle in which it differs from the frame before.
#pragma once

#include <gif_lib.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

struct GifColour {
  unsigned char red;
  unsigned char green;
  unsigned char blue;
};

// The demo's pictures have exactly two colours.
using GifPalette = std::array<GifColour, 2>;

// Turns width x height RGB pixels (three bytes each) into indices into
// `palette`. False when a pixel has a colour outside it, naming the first.
bool paletteIndices(const std::vector<unsigned char>& rgb, int width, const GifPalette& palette,
                    std::vector<unsigned char>& indices, std::string& error);

// Writes a GIF89a that loops forever. Every method returns false with a
// one-line reason once giflib or the file fails; the writer is then spent.
class GifAnimationWriter {
 public:
  GifAnimationWriter(std::FILE* out, int width, int height, const GifPalette& palette);
  ~GifAnimationWriter();
  GifAnimationWriter(const GifAnimationWriter&) = delete;
  GifAnimationWriter& operator=(const GifAnimationWriter&) = delete;

  // The header, the palette and the loop extension.
  bool begin(std::string& error);

  // One frame of width x height palette indices, top row first, shown for
  // `delayCentiseconds`.
  bool addFrame(const std::vector<unsigned char>& indices, int delayCentiseconds,
                std::string& error);

  // The trailer; the file then holds a complete GIF.
  bool finish(std::string& error);

 private:
  bool failed(const char* step, std::string& error);

  std::FILE* out_;
  int width_;
  int height_;
  GifPalette palette_;
  GifFileType* gif_ = nullptr;
  std::vector<unsigned char> previous_;
  std::vector<GifPixelType> row_;
};
