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
#include "library/mesh_output.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "mcubes/meshing.h"
#include "mesh/cap.h"
#include "mesh/degenerate_faces.h"
#include "mesh/grid.h"
#include "mesh/patient_space.h"
#include "tools/cli_support.h"
#include "tools/cli_words.h"
#include "tools/cluster.h"
#include "tools/mesh_across.h"
#include "tools/progress_line.h"
#include "tools/volume_options.h"
#include "volume/number_text.h"
#include "volume/output_file.h"

namespace {

struct MeshOptions {
  std::int32_t tick = 0;
  std::string format;  // empty: from the output's extension, else obj
  std::string output = "-";
  std::int32_t divisions = GridDivisions;
  double iso = SceneIsoLevel;
  std::string isoText;  // as given: a number, or otsu (volumes)
  bool otsu = false;    // the volume's level is Otsu's
  bool unwelded = false;
  bool ascii = false;
  std::string labels;            // "all" or a list; empty: one iso level
  std::string space = "file";    // file, ras or lps
  std::string inside = "above";  // above or below: which side is the volume's object
  const CLI::Option* insideOption = nullptr;
  const CLI::Option* isoOption = nullptr;
  VolumeOptions volume;
  mcubes::SurfaceOptions surface;  // the library's defaults, but for the flags below
  mcubes::FinishOptions finishing;
};

// Under mpirun only process 0 speaks.
void warn(const std::string& message) {
  if (clusterPlace().rank != 0) return;
  ProgressLine::makeRoomForMessage();
  std::fprintf(stderr, "mcubes: %s\n", message.c_str());
}

void say(const mcubes::Finding& finding) {
  warn((finding.warning ? "warning: " : "") +
       (finding.subject.empty() ? "" : finding.subject + ": ") + inFlags(finding.text));
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
  if (options.surface.normals && plan.format == MeshFormat::Stl) {
    failCommand("--normals needs obj, ply, glb, vtp or gii (stl has facet normals only)");
  }
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
  ProgressLine progress("mesh", "slab", options.divisions + 1);
  SurfaceReport report;
  mcubes::Run run;
  run.surfaces.resize(1);
  IndexedMesh& mesh = run.surfaces.front().mesh;
  mesh = sceneSurface(ballCentres(options.tick), options.divisions, surface, report,
                      [&](const char*, std::int64_t done, std::int64_t) {
                        progress.update(static_cast<long>(done));
                      });
  if (report.uncappedRims > 0) {
    warn("warning: the mesh is open: " + std::to_string(report.uncappedRims) +
         " rim(s) where the surface leaves the grid or the volume cross an edge of its box and "
         "are not capped (only rims on one face are)");
  }
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
  request.surface.welded = !options.unwelded;
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

// Under mpirun: every process meshes its share of the layers; binary PLY
// and STL files are written in pieces, else process 0 gathers the shares
// and goes on alone (tools/mesh_across.h).
void runAcross(const MeshOptions& options, mcubes::MeshRequest request) {
  const mcubes::OutputPlan plan = mcubes::planOutput(options.output, options.format, 0);
  std::unique_ptr<VolumeReader> reader;
  togetherOrFail([&] { reader = mcubes::openSource(request); });
  ::SurfaceOptions surface = mcubes::internalOptions(request.surface);
  surface.isoLevel = options.iso;
  const bool finishing = finishes(mcubes::internalFinishing(request.finish, surface.normals));
  if (!request.otsu && !finishing && request.space == mcubes::Space::File &&
      writtenInPieces(options.output, plan.format, options.ascii, reader->header().geometry,
                      surface)) {
    const VolumeHeader& header = reader->header();
    if (!header.notice.empty()) warn(header.notice);
    togetherOrFail([&] {
      if (const std::string refused = refusedOutput(options.output); !refused.empty()) {
        failCommand(refused);
      }
    });
    ProgressLine progress("mesh", "layer", header.geometry.dims[2]);
    SurfaceReport report;
    MeshPiece piece = volumeMeshPiece(*reader, surface, report, {});
    mcubes::FindingList findings(say);
    mcubes::addExtractionFindings(findings, report, options.iso, request.surface, header.geometry);
    progress.stage("writing", 1);
    if (!options.unwelded) {
      const ClusterSums flat = sumsAcross({zeroAreaFaces(piece.mesh), piece.mesh.faces.size()});
      mcubes::addFlatFaces(findings, flat.all[0], flat.all[1]);
    }
    const std::string comment = "mcubes mesh, " + options.volume.path + ", iso " +
                                numberText(options.iso) +
                                (options.inside == "below" ? ", inside below" : "") + ", in " +
                                worldSpaceName(header.space);
    writePieces(options.output, plan.format, commentInSpace(comment, header.space), piece,
                surface.normals);
    return;
  }
  // Process 0 finishes and writes the gathered mesh; a failure fails them all.
  togetherOrFail([&] {
    mcubes::Run run = mcubes::runOn(
        request, *reader,
        [](VolumeReader& volume, const ::SurfaceOptions& settings, SurfaceReport& report) {
          return volumeMeshGathered(volume, settings, report, {});
        });
    if (clusterPlace().rank != 0) return;
    mcubes::writeRun(options.output, plan, run,
                     {run.report.comment, mcubes::spaceNamed(run.report.space), options.ascii});
  });
}

void runVolume(MeshOptions options) {
  if (!options.labels.empty()) {
    if (options.isoOption->count() > 0) {
      failCommand("--labels meshes the boundary of each label's voxels: leave out --iso");
    }
    if (options.insideOption->count() > 0) {
      failCommand("--labels meshes the boundary of each label's voxels: leave out --inside");
    }
  } else if (options.isoOption->count() == 0) {
    failCommand(
        "--volume needs --iso V, the level of the surface in the data's units, or --iso otsu");
  }
  mcubes::MeshRequest request = requestOf(options);
  if (!options.labels.empty()) request.labels = labelsNamed(options.labels);
  try {
    if (clusterPlace().size > 1 && options.labels.empty()) return runAcross(options, request);
    // Under mpirun, process 0 alone meshes a label map.
    togetherOrFail([&] {
      if (clusterPlace().rank != 0) return;
      ProgressLine progress("mesh", "layer", 0);
      request.surface.progress = showProgress(progress);
      mcubes::meshVolumeToFile(request, options.output, writeOptions(options));
    });
  } catch (const mcubes::Error& error) {
    failCommand(error.worded(commandLineWord));
  }
}

void runMesh(MeshOptions options) {
  parseIso(options);
  if (namesVolume(options.volume)) return runVolume(options);
  if (!options.labels.empty()) failCommand("--labels needs --volume, the label map to mesh");
  // Under mpirun, process 0 alone meshes the scene.
  togetherOrFail([&] {
    if (clusterPlace().rank != 0) return;
    try {
      runScene(options);
    } catch (const mcubes::Error& error) {
      failCommand(error.worded(commandLineWord));
    }
  });
}

}  // namespace

std::vector<std::int64_t> labelsNamed(const std::string& text) {
  if (text == "all") return {};
  std::vector<std::int64_t> labels;
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
      failCommand("--labels " + text + ": '" + item +
                  "' is no whole number; give all, or labels such as 1,2,5");
    }
    if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);
  }
  if (labels.empty()) failCommand("--labels needs all or a list of labels such as 1,2,5");
  return labels;
}

namespace {

// Accepts a number in (low, high], or (low, high) where `openHigh`.
CLI::Validator between(double low, double high, bool openHigh, const std::string& name) {
  return CLI::Validator(
      [=](std::string& text) {
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool inside = !text.empty() && *end == '\0' && value > low &&
                            (openHigh ? value < high : value <= high);
        return inside ? std::string() : "'" + text + "' is not in " + name;
      },
      name);
}

// The finishing steps, applied in the order listed.
void addFinishingOptions(CLI::App& mesh, mcubes::FinishOptions& finishing) {
  mesh.add_flag("--keep-largest", finishing.keepLargest,
                "Keep only the connected part with the most triangles (a scan's table, specks "
                "and neighbours go). The finishing steps run in the order listed here");
  mesh.add_option("--min-component", finishing.minComponent,
                  "Drop the connected parts of fewer than N triangles")
      ->type_name("N")
      ->check(CLI::PositiveNumber);
  CLI::Option* smooth =
      mesh.add_option("--smooth", finishing.smoothIterations,
                      "Smooth with N iterations of the windowed-sinc filter, which does not "
                      "shrink (10 to 50 is usual); caps stay flat on the volume's or grid's "
                      "faces, and --normals come from the faces")
          ->type_name("N")
          ->check(CLI::Range(1, 10000));
  mesh.add_option("--smooth-passband", finishing.smoothPassband,
                  "The smoothing's pass band, above 0 and below 2: lower smooths more")
      ->type_name("P")
      ->check(between(0.0, 2.0, true, "(0,2)"))
      ->needs(smooth)
      ->capture_default_str();
  mesh.add_option("--decimate", finishing.decimate,
                  "Keep this fraction of the triangles, above 0 and at most 1, collapsing "
                  "edges where that changes the shape least; the mesh stays closed and manifold, "
                  "keeps its parts and gains no self-intersection (where no more edges can "
                  "collapse so, a line says how far it got)")
      ->type_name("R")
      ->check(between(0.0, 1.0, false, "(0,1]"));
}

}  // namespace

void addMeshCommand(CLI::App& app) {
  auto options = std::make_shared<MeshOptions>();
  CLI::App* mesh = app.add_subcommand(
      "mesh",
      "Write the scene's isosurface at a tick, or a volume's, as a mesh (faces wound outward)");
  addTickOption(*mesh, options->tick);
  mesh->add_option("--divisions", options->divisions,
                   "Grid divisions per axis, 1 to 2048 (16: the demo's own frame)")
      ->check(CLI::Range(MinDivisions, MaxDivisions))
      ->capture_default_str();
  options->isoText = numberText(SceneIsoLevel);
  options->isoOption =
      mesh->add_option("--iso", options->isoText,
                       "Iso level: for the scene any positive value (0.25: the demo's); for a "
                       "volume, required, in the data's units, or otsu: Otsu's threshold of "
                       "its finite voxels' histogram, printed on stderr (a .5 for integer data)")
          ->type_name("V|otsu")
          ->capture_default_str();
  addVolumeOptions(*mesh, options->volume);
  options->insideOption = addInsideOption(*mesh, options->inside);
  mesh->add_flag("--normals", options->surface.normals,
                 "Per-vertex unit normals from the field's gradient, pointing out of the "
                 "object (every format but stl)");
  addThreadsOption(*mesh, options->surface.threads);
  mesh->add_option("--format", options->format,
                   "obj, ply, stl, glb (glTF 2.0 binary), vtp (VTK XML PolyData) or gii "
                   "(GIfTI); by default the output's extension says, else obj. Every format "
                   "holds the welded mesh, closed by flat caps where the surface leaves the "
                   "grid or the volume");
  mesh->add_flag("--unwelded", options->unwelded,
                 "Write the triangles exactly as extracted: unshared vertices, no caps");
  mesh->add_flag("--ascii", options->ascii, "Write ply as text (by default it is binary)");
  mesh->add_option(
      "--labels", options->labels,
      "Mesh a label map (a volume of integers): all its labels but 0, or those "
      "listed (1,2,5); each label's surface bounds its voxels, closed. One file "
      "holds every label (obj: a group each, colours in a .mtl beside it; ply: "
      "vertex colours and a label per face; glb: a named, coloured mesh each; vtp: "
      "a label per face), or one file per label where -o names a folder or holds "
      "{label} (-o liver_{label}.stl; stl and gii hold one surface). Names and colours come "
      "from a 3D Slicer .seg.nrrd, else a fixed palette");
  mesh->footer(
      "A volume's NaN and infinite voxels count as outside the object (below every level, or "
      "above it with --inside below), like the outside of the volume: the mesh is closed "
      "around them (one warning gives their count).");
  addFinishingOptions(*mesh, options->finishing);
  mesh->add_option("--space", options->space,
                   "A volume's mesh in the file's own world space (file), or in RAS or LPS, "
                   "converted from the space the file states (NIfTI, MGH: RAS; MetaImage: LPS; "
                   "NRRD: its space field); the comment says which")
      ->check(CLI::IsMember({"file", "ras", "lps"}))
      ->capture_default_str();
  addOutputOption(*mesh, options->output, "Output file")->capture_default_str();
  mesh->callback([options] { runMesh(*options); });
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
