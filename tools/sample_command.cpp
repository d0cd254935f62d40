#include "tools/sample_command.h"

#include <cstdint>
#include <memory>
#include <string>

#include "tools/cli_support.h"
#include "tools/progress_line.h"
#include "volume/gzip_sink.h"
#include "volume/nrrd_writer.h"
#include "volume/output_file.h"
#include "volume/sample_volumes.h"

using namespace mcubes::internal;

namespace {

struct SampleOptions {
  std::string name;
  std::string output;
  std::int64_t size = 64;
  bool gzip = false;
};

// Counts the slices on the progress line as they are computed.
class ShownVolume : public VolumeReader {
 public:
  ShownVolume(VolumeReader& volume, ProgressLine& progress)
      : volume_(volume), progress_(progress) {}
  const VolumeHeader& header() const override { return volume_.header(); }
  void readSlices(std::int64_t count, double* out) override {
    volume_.readSlices(count, out);
    done_ += count;
    progress_.update(static_cast<long>(done_));
  }

 private:
  VolumeReader& volume_;
  ProgressLine& progress_;
  std::int64_t done_ = 0;
};

std::string sampleNames() {
  std::string names;
  for (const SampleVolume& sample : sampleVolumes()) {
    names += (names.empty() ? "" : ", ") + std::string(sample.name);
  }
  return names;
}

void runSample(const SampleOptions& options) {
  const std::unique_ptr<VolumeReader> volume = openSampleVolume(options.name, options.size);
  if (!volume)
    failCommand("no sample volume is called '" + options.name + "' (" + sampleNames() + ")");
  const std::string& path = options.output;
  const std::string extension = ".nrrd";
  if (path != "-" &&
      (path.size() <= extension.size() ||
       path.compare(path.size() - extension.size(), extension.size(), extension) != 0)) {
    failCommand("cannot tell the volume format from '" + path + "': end it in .nrrd");
  }
  if (options.gzip && !writesGzip()) {
    failCommand("--gzip: this build has no zlib to compress with; leave --gzip out");
  }
  ProgressLine progress("mcubes", "sample: slice", static_cast<long>(options.size));
  ShownVolume shown(*volume, progress);
  const std::string error = writeOutput(path, [&](std::FILE* out) {
    return writeNrrd(out, shown, options.gzip ? NrrdEncoding::Gzip : NrrdEncoding::Raw);
  });
  if (!error.empty()) failCommand(error);
}

std::string description() {
  std::string text = "Write a classic test volume as a NRRD file (the level after ';' shows it):";
  for (const SampleVolume& sample : sampleVolumes()) {
    text += "\n  " + std::string(sample.name) + ": " + sample.summary;
  }
  return text;
}

}  // namespace

void addSampleCommand(CLI::App& app) {
  auto options = std::make_shared<SampleOptions>();
  CLI::App* sample = app.add_subcommand("sample", description());
  sample->add_option("NAME", options->name, "The volume: " + sampleNames())->required();
  sample
      ->add_option("--size", options->size,
                   "Voxels along each axis, " + std::to_string(minSampleSize) + " to " +
                       std::to_string(maxSampleSize))
      ->check(CLI::Range(minSampleSize, maxSampleSize))
      ->capture_default_str();
  sample->add_flag("--gzip", options->gzip, "Compress the voxels (NRRD's gzip encoding)");
  addOutputOption(*sample, options->output, "Output NRRD file (.nrrd)")->required();
  sample->callback([options] { runSample(*options); });
}
