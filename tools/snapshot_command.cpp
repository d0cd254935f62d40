#include "tools/snapshot_command.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/png_write.h"
#include "tools/snapshot_render.h"

namespace {

struct SnapshotOptions {
  std::int32_t tick = 0;
  std::string size = "800x600";
  std::string output;
};

void runSnapshot(const SnapshotOptions& options) {
  int width = 0;
  int height = 0;
  std::string error;
  if (!parseSnapshotSize(options.size, width, height, error)) failCommand(error);

  std::vector<unsigned char> rgb;
  if (!renderSnapshot(options.tick, width, height, rgb, error)) failCommand(error);

  error = writeOutput(options.output,
                      [&](std::FILE* out) { return writePngRgb(out, width, height, rgb.data()); });
  if (!error.empty()) failCommand(error);
}

}  // namespace

void addSnapshotCommand(CLI::App& app) {
  auto options = std::make_shared<SnapshotOptions>();
  CLI::App* snapshot = app.add_subcommand(
      "snapshot", "Render the demo's picture at a tick offscreen and write it as a PNG");
  addTickOption(*snapshot, options->tick);
  snapshot->add_option("--size", options->size, "Picture size WxH, each side 1 to 8192")
      ->capture_default_str();
  snapshot->add_option("-o,--output", options->output, "Output PNG file; - for standard output")
      ->required();
  snapshot->callback([options] { runSnapshot(*options); });
}
