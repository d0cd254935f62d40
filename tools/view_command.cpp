#include "tools/view_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "mcubes/error.h"
#include "mcubes/meshing.h"
#include "tools/cli_support.h"
#include "tools/cli_words.h"
#include "tools/mesh_command.h"
#include "viewer/controls.h"
#include "viewer/viewer_window.h"
#include "volume/number_text.h"
#ifndef _WIN32
#include "port/port.h"
#endif

using namespace mcubes::internal;

namespace {

struct ViewOptions {
  ViewerOptions viewer;
  double iso = 0.25;
  VolumeOptions volume;
  std::string labels;  // "all" or a list; empty: one iso level
  std::string inside = "above";
  const CLI::Option* isoOption = nullptr;
  const CLI::Option* insideOption = nullptr;
  const CLI::Option* divisionsOption = nullptr;
};

#ifndef _WIN32
// A window nobody can see helps no one: without a display the viewer ends at
// once, unless MCUBES_DISPLAY names one (headless: offscreen, for benchmarks
// and tests).
void requireDisplay() {
  const char* named = std::getenv("MCUBES_DISPLAY");
  if (named != nullptr && named[0] != '\0') return;
  std::string error;
  if (!port::selectDisplayBackend("x11", error)) {
    failCommand("no display to show the viewer on (" + error +
                "): mcubes snapshot draws pictures without one");
  }
}
#endif

// Extracts the labels' surfaces, saying which were found and which not.
void showLabelsOrFail(VolumeSource& source, const std::vector<std::int64_t>& asked) {
  std::vector<std::int64_t> absent;
  try {
    source.showLabels(asked, absent);
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
  for (const std::int64_t label : absent) {
    std::fprintf(stderr, "mcubes: warning: no voxel holds label %lld\n",
                 static_cast<long long>(label));
  }
  const std::vector<ShownLabel> labels = source.describe().labels;
  if (labels.empty()) failCommand("the volume holds no label to show (0 is the background)");
  std::printf("%zu labels:", labels.size());
  for (std::size_t i = 0; i < labels.size(); ++i) {
    std::printf("%s %s%s", i == 0 ? "" : ",", labels[i].name.c_str(),
                i < DigitLabels ? (" [" + std::to_string(i + 1) + "]").c_str() : "");
  }
  std::printf("\n");
}

void openAndRun(ViewOptions& options) {
  options.viewer.exportMesh = meshExporter(options.volume, insideNamed(options.inside));
#ifndef _WIN32
  requireDisplay();
  // Ctrl+C and SIGTERM close the window as its close button does.
  port::installCloseSignals();
#endif
  std::string error;
  const HWND window = openViewer(options.viewer, CW_USEDEFAULT, CW_USEDEFAULT, error);
  if (window == nullptr) failCommand(error);
  const int exitCode = runViewer(window);
  if (exitCode != 0) std::exit(exitCode);
}

void runView(ViewOptions options) {
  if (namesVolume(options.volume)) {
    if (options.divisionsOption->count() > 0) {
      failCommand("--divisions is for the scene: a volume is shown at its own voxels");
    }
    const std::shared_ptr<VolumeSource> source =
        volumeSourceOrFail(options.volume, options.viewer.threads);
    options.viewer.source = source;
    if (!options.labels.empty()) {
      if (options.isoOption->count() > 0) {
        failCommand("--labels shows the boundary of each label's voxels: leave out --iso");
      }
      if (options.insideOption->count() > 0) {
        failCommand("--labels shows the boundary of each label's voxels: leave out --inside");
      }
      const LabelChoice choice = labelsNamed(options.labels);
      if (!choice.names.empty()) {
        failCommand("--labels " + options.labels +
                    ": the viewer takes labels by number (mcubes mesh takes names too)");
      }
      showLabelsOrFail(*source, choice.numbers);
      return openAndRun(options);
    }
    source->setInside(insideNamed(options.inside));
    VolumeSource::StartLevel start{options.iso, "as --iso asks"};
    if (options.isoOption->count() == 0) start = source->startLevel();
    options.viewer.start.iso.start = start.level;
    std::printf("Data %s to %s; level %s, %s\n", numberText(source->least()).c_str(),
                numberText(source->most()).c_str(), numberText(start.level).c_str(),
                start.reason.c_str());
  } else {
    if (!options.labels.empty()) failCommand("--labels needs --volume, the label map to show");
    if (options.insideOption->count() > 0) {
      failCommand(
          "--inside needs --volume: the scene's blobs are where its field is above the "
          "level");
    }
    if (!(options.iso > 0.0)) {
      failCommand("--iso '" + numberText(options.iso) +
                  "': the scene's iso level must be a positive number");
    }
    options.viewer.start.iso.start = options.iso;
  }
  openAndRun(options);
}

}  // namespace

// The scene goes through mcubes mesh itself; a volume through the library,
// with the same flags said.
MeshExporter meshExporter(const VolumeOptions& volume, Inside inside) {
  return [volume, inside](const std::string& path, const ViewState& state, std::string& said) {
    std::vector<std::string> arguments;
    mcubes::MeshRequest request;
    request.surface.normals = true;
    request.onFinding = [](const mcubes::Finding& finding) {
      std::fprintf(stderr, "mcubes: %s%s%s\n", finding.warning ? "warning: " : "",
                   finding.subject.empty() ? "" : (finding.subject + ": ").c_str(),
                   inFlags(finding.text).c_str());
    };
    if (namesVolume(volume)) {
      arguments = volumeArguments(volume);
    } else {
      arguments = {"--tick", std::to_string(state.tick), "--divisions",
                   std::to_string(state.divisions)};
    }
    if (state.labels.empty()) {
      arguments.insert(arguments.end(), {"--iso", exactNumber(state.iso.value())});
      request.surface.level = state.iso.value();
      if (inside == Inside::Below) {
        arguments.insert(arguments.end(), {"--inside", "below"});
        request.surface.inside = mcubes::Inside::Below;
      }
    } else {
      std::string visible;
      request.labels.emplace();
      for (const ShownLabel& label : state.labels) {
        if (!label.visible) continue;
        visible += (visible.empty() ? "" : ",") + std::to_string(label.value);
        request.labels->push_back(label.value);
      }
      if (visible.empty()) return std::string("no label is shown, so there is nothing to export");
      arguments.insert(arguments.end(), {"--labels", visible});
    }
    arguments.insert(arguments.end(), {"--normals", "-o", path});
    said = "mcubes mesh";
    for (const std::string& argument : arguments) said += " " + argument;
    if (!namesVolume(volume)) {
      return runMeshCommand(arguments) == 0 ? std::string() : "cannot export: " + said;
    }
    try {
      request.source = fileSourceOrFail(volume);
      mcubes::meshVolumeToFile(request, path);
    } catch (const mcubes::Error& error) {
      return "cannot export: " + error.worded(commandLineWord);
    } catch (const std::exception& error) {
      return "cannot export: " + std::string(error.what());
    }
    return std::string();
  };
}

std::shared_ptr<VolumeSource> volumeSourceOrFail(const VolumeOptions& options, int threads) {
  const std::unique_ptr<VolumeReader> reader = openVolumeOrFail(options);
  const VolumeHeader& header = reader->header();
  if (!header.notice.empty()) std::fprintf(stderr, "mcubes: %s\n", header.notice.c_str());
  try {
    return loadVolumeSource(*reader, threads);
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
}

void addViewCommand(CLI::App& app) {
  auto options = std::make_shared<ViewOptions>();
  CLI::App* view = app.add_subcommand(
      "view",
      "Explore the scene's surface, or a volume's, in a window: orbit, zoom, iso level, divisions");
  options->divisionsOption = view->add_option("--divisions", options->viewer.start.divisions,
                                              "Grid divisions of the scene, 4 to 1024")
                                 ->check(CLI::Range(MinViewDivisions, MaxViewDivisions))
                                 ->capture_default_str();
  options->isoOption =
      view->add_option("--iso", options->iso,
                       "Iso level at the start: for the scene above 0 (0.25); for a volume in "
                       "the data's units (Otsu's threshold of its values)")
          ->check(CLI::Validator(
              [](std::string& text) {
                char* end = nullptr;
                const double value = std::strtod(text.c_str(), &end);
                return !text.empty() && *end == '\0' && std::isfinite(value)
                           ? std::string()
                           : "not a finite number: '" + text + "'";
              },
              "NUMBER"))
          ->capture_default_str();
  addVolumeOptions(*view, options->volume);
  options->insideOption = addInsideOption(*view, options->inside);
  view->add_option("--labels", options->labels,
                   "Show a label map's labels (a volume of integers), each in its colour: all "
                   "but 0, or those listed (1,2,5); names and colours as mcubes mesh --labels "
                   "gives them")
      ->type_name("all|L1,L2");
  addTickOption(*view, options->viewer.start.tick);
  view->add_flag("--paused", options->viewer.start.paused, "Start with the animation paused");
  addThreadsOption(*view, options->viewer.threads);
  view->footer(std::string(viewerControls) +
               "A volume is held in memory and shown at its own voxels, where the scene's "
               "divisions would be, and it does not move; [ shows every 2nd, 4th ... voxel along "
               "each axis instead (a coarser volume of its own, extracted exactly, built once and "
               "kept), ] goes back toward every voxel. It starts at Otsu's threshold unless "
               "--iso names a level; the console says the data's range and the level chosen.\n"
               "Without a display (no $DISPLAY, or one that cannot be opened) the viewer ends "
               "with exit code 2: mcubes snapshot draws pictures without one, and "
               "MCUBES_DISPLAY=headless runs the viewer offscreen (benchmarks, tests).\n");
  view->callback([options] { runView(*options); });
}
