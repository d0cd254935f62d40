#include "tools/record_command.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/gif_write.h"
#include "tools/progress_line.h"
#include "tools/snapshot_render.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace {

// The clock moves one tick every 16 ms. GIF counts delays in hundredths of a
// second, and browsers play any delay under 2 as 10, so a 1 would show
// frames five times too long: 2 (20 ms) is the closest delay that viewers
// honour, and one delay for every frame keeps the motion even.
constexpr int frameDelayCentiseconds = 2;

// One period of the motion: both balls repeat every 100 pi ticks.
constexpr int periodFrames = 314;

// The demo's clear colour (0.25 grey) and drawing colour as 8-bit RGB.
const GifPalette demoPalette = {{{64, 64, 64}, {255, 0, 0}}};

struct RecordOptions {
  std::int32_t tick = 0;
  int frames = periodFrames;
  std::string size;
  std::string output;
};

// Frame k shows tick + k; the clock wraps as the demo's counter does.
std::int32_t frameTick(std::int32_t first, int frame) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(first) +
                                   static_cast<std::uint32_t>(frame));
}

void runRecord(const RecordOptions& options) {
  int width = 0;
  int height = 0;
  sizeOrFail(options.size, width, height);

  std::string error;
  SnapshotRenderer renderer;
  if (!renderer.open(width, height, error)) failCommand(error);

  // A failure inside the writer is reported as itself, not as a file error.
  std::string problem;
  error = writeOutput(options.output, [&](std::FILE* out) {
    GifAnimationWriter gif(out, width, height, demoPalette);
    if (!gif.begin(problem)) return false;
    ProgressLine progress("record", "frame", options.frames);
    std::vector<unsigned char> rgb;
    std::vector<unsigned char> indices;
    for (int frame = 0; frame < options.frames; ++frame) {
      if (!renderer.render(frameTick(options.tick, frame), rgb, problem) ||
          !paletteIndices(rgb, width, demoPalette, indices, problem) ||
          !gif.addFrame(indices, frameDelayCentiseconds, problem)) {
        return false;
      }
      progress.update(frame + 1);
    }
    return gif.finish(problem);
  });
  if (!problem.empty()) failCommand(problem);
  if (!error.empty()) failCommand(error);
}

}  // namespace

void addRecordCommand(CLI::App& app) {
  auto options = std::make_shared<RecordOptions>();
  CLI::App* record = app.add_subcommand(
      "record", "Render the demo's animation offscreen and write it as a looping GIF");
  addTickOption(*record, options->tick)->description("Clock of the first frame, in timer ticks");
  record
      ->add_option("--frames", options->frames,
                   "Frames to record, one tick apart, 1 to 100000 (314 is one full period)")
      ->check(CLI::Range(1, 100000))
      ->capture_default_str();
  addSizeOption(*record, options->size);
  addOutputOption(*record, options->output, "Output GIF file")->required();
  record->callback([options] { runRecord(*options); });
}
