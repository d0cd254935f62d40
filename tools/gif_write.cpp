#include "tools/gif_write.h"

#include <algorithm>

namespace {

int writeToFile(GifFileType* gif, const GifByteType* bytes, int length) {
  return static_cast<int>(std::fwrite(bytes, 1, static_cast<std::size_t>(length),
                                      static_cast<std::FILE*>(gif->UserData)));
}

struct Rectangle {
  int left;
  int top;
  int width;
  int height;
};

// The bounding box of the pixels that differ; with none, one pixel, since
// every frame must hold an image.
Rectangle changedRectangle(const std::vector<unsigned char>& previous,
                           const std::vector<unsigned char>& current, int width, int height) {
  int left = width, right = -1, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    const unsigned char* before = &previous[static_cast<std::size_t>(y) * width];
    const unsigned char* now = &current[static_cast<std::size_t>(y) * width];
    int first = 0;
    while (first < width && before[first] == now[first]) ++first;
    if (first == width) continue;
    int last = width - 1;
    while (before[last] == now[last]) --last;
    left = std::min(left, first);
    right = std::max(right, last);
    top = std::min(top, y);
    bottom = y;
  }
  if (right < 0) return {0, 0, 1, 1};
  return {left, top, right - left + 1, bottom - top + 1};
}

}  // namespace

bool paletteIndices(const std::vector<unsigned char>& rgb, int width, const GifPalette& palette,
                    std::vector<unsigned char>& indices, std::string& error) {
  indices.resize(rgb.size() / 3);
  for (std::size_t pixel = 0; pixel < indices.size(); ++pixel) {
    const unsigned char* c = &rgb[pixel * 3];
    const auto found = std::find_if(palette.begin(), palette.end(), [c](const GifColour& p) {
      return p.red == c[0] && p.green == c[1] && p.blue == c[2];
    });
    if (found == palette.end()) {
      error = "colour (" + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " +
              std::to_string(c[2]) + ") at (" + std::to_string(pixel % width) + ", " +
              std::to_string(pixel / width) + ") is not in the palette";
      return false;
    }
    indices[pixel] = static_cast<unsigned char>(found - palette.begin());
  }
  return true;
}

GifAnimationWriter::GifAnimationWriter(std::FILE* out, int width, int height,
                                       const GifPalette& palette)
    : out_(out), width_(width), height_(height), palette_(palette) {}

GifAnimationWriter::~GifAnimationWriter() {
  if (gif_ != nullptr) EGifCloseFile(gif_, nullptr);
}

bool GifAnimationWriter::failed(const char* step, std::string& error) {
  const int code = gif_ != nullptr ? gif_->Error : 0;
  error = std::string("GIF ") + step +
          " failed: " + (std::ferror(out_) ? "cannot write the file" : GifErrorString(code));
  return false;
}

bool GifAnimationWriter::begin(std::string& error) {
  int code = 0;
  gif_ = EGifOpen(out_, writeToFile, &code);
  if (gif_ == nullptr) {
    error = std::string("GIF start failed: ") + GifErrorString(code);
    return false;
  }
  EGifSetGifVersion(gif_, true);

  // Colour tables come in powers of two: the two colours fill one exactly.
  GifColorType colours[2] = {{palette_[0].red, palette_[0].green, palette_[0].blue},
                             {palette_[1].red, palette_[1].green, palette_[1].blue}};
  ColorMapObject* map = GifMakeMapObject(2, colours);
  if (map == nullptr) return failed("palette", error);
  const int described = EGifPutScreenDesc(gif_, width_, height_, map->BitsPerPixel, 0, map);
  GifFreeMapObject(map);
  if (described != GIF_OK) return failed("header", error);

  // The application extension that browsers and viewers read as "repeat":
  // sub-block 1 with a 16-bit little-endian count, 0 meaning forever.
  const unsigned char loopForever[] = {1, 0, 0};
  if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") != GIF_OK ||
      EGifPutExtensionBlock(gif_, sizeof loopForever, loopForever) != GIF_OK ||
      EGifPutExtensionTrailer(gif_) != GIF_OK) {
    return failed("loop extension", error);
  }
  row_.resize(static_cast<std::size_t>(width_));
  return true;
}

bool GifAnimationWriter::addFrame(const std::vector<unsigned char>& indices, int delayCentiseconds,
                                  std::string& error) {
  const bool first = previous_.empty();
  const Rectangle area = first ? Rectangle{0, 0, width_, height_}
                               : changedRectangle(previous_, indices, width_, height_);

  // Each frame stays in place under the next, which only redraws its part.
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = delayCentiseconds;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const std::size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) !=
      GIF_OK) {
    return failed("frame timing", error);
  }
  if (EGifPutImageDesc(gif_, area.left, area.top, area.width, area.height, false, nullptr) !=
      GIF_OK) {
    return failed("frame header", error);
  }
  for (int y = area.top; y < area.top + area.height; ++y) {
    const unsigned char* source = &indices[static_cast<std::size_t>(y) * width_ + area.left];
    std::copy(source, source + area.width, row_.begin());
    if (EGifPutLine(gif_, row_.data(), area.width) != GIF_OK) return failed("frame", error);
  }
  previous_ = indices;
  return true;
}

bool GifAnimationWriter::finish(std::string& error) {
  int code = 0;
  const int closed = EGifCloseFile(gif_, &code);
  gif_ = nullptr;
  if (closed != GIF_OK || std::fflush(out_) != 0 || std::ferror(out_)) {
    error = std::string("GIF end failed: ") +
            (std::ferror(out_) ? "cannot write the file" : GifErrorString(code));
    return false;
  }
  return true;
}
