#include "tools/snapshot_command.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/snapshot_render.h"
#include "viewer/png_file.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace {

struct SnapshotOptions {
  std::int32_t tick = 0;
  std::string size;
  std::string output;
};

void runSnapshot(const SnapshotOptions& options) {
  int width = 0;
  int height = 0;
  sizeOrFail(options.size, width, height);

  std::string error;
  std::vector<unsigned char> rgb;
  if (!renderSnapshot(options.tick, width, height, rgb, error)) failCommand(error);

  error = writeOutput(options.output,
                      [&](std::FILE* out) { return writePng(out, width, height, rgb); });
  if (!error.empty()) failCommand(error);
}

}  // namespace

void addSnapshotCommand(CLI::App& app) {
  auto options = std::make_shared<SnapshotOptions>();
  CLI::App* snapshot = app.add_subcommand(
      "snapshot", "Render the demo's picture at a tick offscreen and write it as a PNG");
  addTickOption(*snapshot, options->tick);
  addSizeOption(*snapshot, options->size);
  addOutputOption(*snapshot, options->output, "Output PNG file")->required();
  snapshot->callback([options] { runSnapshot(*options); });
}
