#include "tools/view_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "tools/cli_support.h"
#include "viewer/controls.h"
#include "viewer/viewer_window.h"

namespace {

struct ViewOptions {
  ViewerOptions viewer;
  double iso = 0.25;
};

void runView(ViewOptions options) {
  options.viewer.start.iso.start = options.iso;
  std::string error;
  const HWND window = openViewer(options.viewer, CW_USEDEFAULT, CW_USEDEFAULT, error);
  if (window == nullptr) failCommand(error);
  const int exitCode = runViewer(window);
  if (exitCode != 0) std::exit(exitCode);
}

}  // namespace

void addViewCommand(CLI::App& app) {
  auto options = std::make_shared<ViewOptions>();
  CLI::App* view = app.add_subcommand(
      "view", "Explore the scene's surface in a window: orbit, zoom, iso level, divisions");
  view->add_option("--divisions", options->viewer.start.divisions, "Grid divisions, 4 to 1024")
      ->check(CLI::Range(MinViewDivisions, MaxViewDivisions))
      ->capture_default_str();
  view->add_option("--iso", options->iso, "Iso level at the start, above 0")
      ->check(CLI::Validator(
          [](std::string& text) {
            const double value = std::strtod(text.c_str(), nullptr);
            return std::isfinite(value) && value > 0.0 ? std::string()
                                                       : "not a positive number: '" + text + "'";
          },
          "POSITIVE"))
      ->capture_default_str();
  addTickOption(*view, options->viewer.start.tick);
  view->add_flag("--paused", options->viewer.start.paused, "Start with the animation paused");
  addThreadsOption(*view, options->viewer.threads);
  view->footer(viewerControls);
  view->callback([options] { runView(*options); });
}
