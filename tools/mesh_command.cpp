#include "tools/mesh_command.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "library/findings.h"
#include "library/mesh_across.h"
#include "library/mesh_output.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "mcubes/meshing.h"
#include "mesh/distributed/volume_across.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/scene/grid.h"
#include "mesh/scene/scene_caps.h"
#include "mesh/scene/scene_surface.h"
#include "mesh/surface/degenerate_faces.h"
#include "tools/cli_support.h"
#include "tools/cli_words.h"
#include "tools/cluster.h"
#include "tools/mesh_options.h"
#include "tools/progress_line.h"
#include "tools/volume_options.h"
#include "volume/number_text.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace {

// Under mpirun only process 0 speaks.
void warn(const std::string& message) {
  if (cluster().rank() != 0) return;
  ProgressLine::makeRoomForMessage();
  std::fprintf(stderr, "mcubes: %s\n", message.c_str());
}

void say(const mcubes::Finding& finding) {
  warn((finding.warning ? "warning: " : "") +
       (finding.subject.empty() ? "" : finding.subject + ": ") + inFlags(finding.text));
}

// `step`, its library errors worded with the flags (failCommand), for
// cluster().together, which hands every process the first failure's message.
std::function<void()> inFlagsOnFailure(std::function<void()> step) {
  return [step = std::move(step)] {
    try {
      step();
    } catch (const mcubes::Error& error) {
      failCommand(error.worded(commandLineWord));
    }
  };
}

// Shows the layers done on the progress line.
std::function<bool(std::int64_t, std::int64_t)> showProgress(ProgressLine& progress) {
  return [&progress, started = false](std::int64_t done, std::int64_t total) mutable {
    if (!started) progress.stage("layer", static_cast<long>(total));
    started = true;
    progress.update(static_cast<long>(done));
    return true;
  };
}

// --iso as given: a number, or otsu for a volume.
void parseIso(MeshOptions& options) {
  if (options.isoOption->count() == 0) return;
  if (options.isoText == "otsu") {
    options.otsu = true;
    return;
  }
  std::size_t used = 0;
  try {
    options.iso = std::stod(options.isoText, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != options.isoText.size()) {
    failCommand("--iso '" + options.isoText + "' is neither a number nor otsu");
  }
}

// The scene's welded mesh closed, or its triangles as extracted
// (--unwelded), written.
void runScene(const MeshOptions& options) {
  if (options.otsu) failCommand("--iso otsu needs --volume: the scene's level is a number");
  if (options.space != "file")
    failCommand("--space needs --volume: the scene is in no patient space");
  if (options.insideOption->count() > 0) {
    failCommand(
        "--inside needs --volume: the scene's blobs are where its field is above the level");
  }
  if (!(options.iso > 0.0) || !std::isfinite(options.iso)) {
    failCommand("--iso " + numberText(options.iso) + ": the scene's iso level must be positive");
  }
  const mcubes::OutputPlan plan = mcubes::planOutput(options.output, options.format, 0);
  mcubes::refuseMissingNormals(plan, options.surface.normals);
  mcubes::FindingList findings(say);
  const FinishingOptions finishing =
      mcubes::internalFinishing(options.finishing, options.surface.normals);
  if (finishes(finishing) && options.unwelded) {
    failCommand(
        "--keep-largest, --min-component, --smooth and --decimate need the welded mesh; leave "
        "out --unwelded");
  }
  ::SurfaceOptions surface = mcubes::internalOptions(options.surface);
  surface.isoLevel = options.iso;
  surface.welded = !options.unwelded;
  ProgressLine progress("mesh", "slab", options.divisions + 1);
  SurfaceReport report;
  mcubes::Run run;
  run.surfaces.resize(1);
  IndexedMesh& mesh = run.surfaces.front().mesh;
  mesh = sceneSurface(ballCentres(options.tick), options.divisions, surface, report,
                      [&](const char*, std::int64_t done, std::int64_t) {
                        progress.update(static_cast<long>(done));
                      });
  mcubes::finishNoting(mesh, finishing, gridBox(sceneGrid(options.divisions)), "the scene's units",
                       findings);
  std::string comment = "mcubes mesh, tick " + std::to_string(options.tick);
  if (options.divisions != GridDivisions) {
    comment += ", " + std::to_string(options.divisions) + " divisions";
  }
  if (options.iso != SceneIsoLevel) comment += ", iso " + numberText(options.iso);
  progress.stage("writing", 1);
  if (!options.unwelded) mcubes::addFlatFaces(findings, zeroAreaFaces(mesh), mesh.faces.size());
  mcubes::writeRun(options.output, plan, run, {comment, WorldSpace::Unstated, options.ascii});
}

// The library's request for the volume the options name.
mcubes::MeshRequest requestOf(const MeshOptions& options) {
  mcubes::MeshRequest request;
  request.source = fileSourceOrFail(options.volume);
  request.surface = options.surface;
  request.surface.level = options.iso;
  // The triangles as extracted, which have no caps.
  request.surface.welded = !options.unwelded;
  request.surface.closed = !options.unwelded;
  if (options.insideOption->count() > 0) {
    request.surface.inside =
        options.inside == "below" ? mcubes::Inside::Below : mcubes::Inside::Above;
  }
  request.otsu = options.otsu;
  request.finish = options.finishing;
  request.space = options.space == "ras"   ? mcubes::Space::Ras
                  : options.space == "lps" ? mcubes::Space::Lps
                                           : mcubes::Space::File;
  request.onFinding = say;
  return request;
}

mcubes::WriteOptions writeOptions(const MeshOptions& options) {
  mcubes::WriteOptions write;
  write.format = options.format;
  write.ascii = options.ascii;
  return write;
}

void runVolume(MeshOptions options) {
  if (!options.labels.empty()) {
    if (options.isoOption->count() > 0) {
      failCommand("--labels meshes the boundary of each label's voxels: leave out --iso");
    }
    if (options.insideOption->count() > 0) {
      failCommand("--labels meshes the boundary of each label's voxels: leave out --inside");
    }
  } else if (!options.labelTable.empty()) {
    failCommand("--label-names names a label map's labels: give --labels too");
  } else if (options.conforming) {
    failCommand("--conforming fits a label map's meshes together: give --labels too");
  } else if (options.isoOption->count() == 0) {
    failCommand(
        "--volume needs --iso V, the level of the surface in the data's units, or --iso otsu");
  }
  mcubes::MeshRequest request = requestOf(options);
  if (!options.labels.empty()) {
    const LabelChoice choice = labelsNamed(options.labels);
    request.labels = choice.numbers;
    request.labelNames = choice.names;
  }
  request.labelTable = options.labelTable;
  request.conforming = options.conforming;
  request.interfaces = options.interfaces;
  try {
    if (cluster().size() > 1) {
      mcubes::meshVolumeAcross(cluster(), request, options.output, writeOptions(options));
      return;
    }
    ProgressLine progress("mesh", "layer", 0);
    request.surface.progress = showProgress(progress);
    mcubes::meshVolumeToFile(request, options.output, writeOptions(options));
  } catch (const mcubes::Error& error) {
    failCommand(error.worded(commandLineWord));
  }
}

}  // namespace

void runMesh(MeshOptions options) {
  parseIso(options);
  if (namesVolume(options.volume)) return runVolume(options);
  if (!options.labels.empty()) failCommand("--labels needs --volume, the label map to mesh");
  if (!options.labelTable.empty()) failCommand("--label-names needs --volume and --labels");
  if (options.conforming) failCommand("--conforming needs --volume and --labels");
  // Under mpirun, process 0 alone meshes the scene.
  cluster().together(inFlagsOnFailure([&] {
    if (cluster().rank() != 0) return;
    runScene(options);
  }));
}

LabelChoice labelsNamed(const std::string& text) {
  LabelChoice choice;
  if (text == "all") return choice;
  std::istringstream list(text);
  for (std::string item; std::getline(list, item, ',');) {
    std::size_t used = 0;
    long long label = 0;
    try {
      label = std::stoll(item, &used);
    } catch (const std::exception&) {
      used = 0;
    }
    if (used == 0 || used != item.size()) {
      if (item.empty()) {
        failCommand("--labels " + text + ": an empty item; give all, or labels such as 1,2,5");
      }
      if (std::find(choice.names.begin(), choice.names.end(), item) == choice.names.end()) {
        choice.names.push_back(item);
      }
      continue;
    }
    if (std::find(choice.numbers.begin(), choice.numbers.end(), label) == choice.numbers.end()) {
      choice.numbers.push_back(label);
    }
  }
  if (choice.numbers.empty() && choice.names.empty()) {
    failCommand("--labels needs all or a list of labels such as 1,2,5");
  }
  return choice;
}

int runMeshCommand(const std::vector<std::string>& arguments) {
  CLI::App app{"mcubes"};
  addMeshCommand(app);
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  reversed.push_back("mesh");
  try {
    app.parse(reversed);
  } catch (const std::exception& error) {
    warn(error.what());
    return BadInputExitCode;
  }
  return 0;
}
