#include "tools/mesh_command.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "mesh/cap.h"
#include "mesh/decimation.h"
#include "mesh/degenerate_faces.h"
#include "mesh/finishing.h"
#include "mesh/grid.h"
#include "mesh/mesh_writers.h"
#include "mesh/surface_pipeline.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"
#include "tools/volume_options.h"

namespace {

struct MeshOptions {
  std::int32_t tick = 0;
  std::string format;  // empty: from the output's extension, else obj
  std::string output = "-";
  std::int32_t divisions = GridDivisions;
  double iso = SceneIsoLevel;
  bool normals = false;
  bool unwelded = false;
  int threads = defaultThreads();
  VolumeOptions volume;
  const CLI::Option* isoOption = nullptr;
  FinishingOptions finishing;  // components, smoothing, decimation
};

void warn(const std::string& message) { std::fprintf(stderr, "mcubes: %s\n", message.c_str()); }

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

// The finishing steps need the welded mesh, and decimation a build with
// meshoptimizer: refused before any work.
void checkFinishing(const MeshOptions& options) {
  if (!finishes(options.finishing)) return;
  if (options.unwelded) {
    failCommand(
        "--keep-largest, --min-component, --smooth and --decimate need the welded mesh; "
        "leave out --unwelded");
  }
  if (options.finishing.decimate < 1.0 && !decimationAvailable()) {
    failCommand("--decimate: this build has no decimation (built without meshoptimizer)");
  }
}

std::string volumeChange(const FinishingReport& report, double before, double after) {
  if (!report.closed) return "the mesh is not closed, so it encloses no volume";
  char text[96];
  std::snprintf(text, sizeof text, "enclosed volume %.4g -> %.4g (%+.2f %%)", before, after,
                before != 0 ? 100.0 * (after - before) / before : 0.0);
  return text;
}

// Applies the finishing steps asked for and says what they did. `box`: the
// volume's or grid's box, whose faces the caps stay on.
void finish(const MeshOptions& options, IndexedMesh& mesh, const VolumeGeometry& box,
            const std::string& units, ProgressLine& progress) {
  FinishingOptions asked = options.finishing;
  if (!finishes(asked) || mesh.faces.empty()) return;
  asked.normals = options.normals;
  progress.stage("finishing", 1);
  FinishingReport report;
  finishMesh(mesh, asked, &box, report);
  if (asked.keepLargest || asked.minComponent > 0) {
    std::string line = std::to_string(report.components) +
                       (report.components == 1 ? " component; " : " components; ");
    if (report.trianglesAfter == 0 && report.trianglesBefore > 0) {
      line += "dropped all: none has " + std::to_string(asked.minComponent) + " triangles";
    } else if (asked.keepLargest) {
      line += "kept the largest (" + std::to_string(report.largestComponent) + " triangles)";
    } else {
      line += "dropped " + std::to_string(report.componentsDropped) + " with fewer than " +
              std::to_string(asked.minComponent) + " triangles, " +
              std::to_string(report.trianglesDropped) + " triangles in all";
    }
    warn(line);
  }
  if (asked.smoothIterations > 0) {
    warn("smoothed " + std::to_string(asked.smoothIterations) + " iterations (pass band " +
         number(asked.smoothPassband) +
         "): " + volumeChange(report, report.volumeBeforeSmoothing, report.volumeBeforeDecimation));
  }
  if (asked.decimate < 1.0) {
    char error[96];
    std::snprintf(error, sizeof error, "error %.2g (%.3g in %s)", report.decimationError,
                  report.decimationWorldError, units.c_str());
    std::string line = "decimated " + std::to_string(report.trianglesDecimatedFrom) + " -> " +
                       std::to_string(report.trianglesAfter) + " triangles, " + error + "; " +
                       volumeChange(report, report.volumeBeforeDecimation, report.volumeAfter);
    if (report.decimationRelaxed > 0) {
      line += "; the surface's handles allow no fewer without pinching it";
    } else if (report.repairedFaces > 0) {
      line += "; " + std::to_string(report.repairedFaces) +
              " faces kept as they were where collapses would pinch the surface";
    }
    warn(line);
  }
}

MeshFormat chooseFormat(const MeshOptions& options) {
  if (!options.format.empty()) {
    const std::optional<MeshFormat> named = meshFormatNamed(options.format);
    if (!named) failCommand("unknown mesh format '" + options.format + "' (use obj, ply or stl)");
    return *named;
  }
  if (options.output != "-" && options.output.find('.') != std::string::npos) {
    const std::size_t slash = options.output.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? options.output : options.output.substr(slash + 1);
    if (name.find('.') != std::string::npos) {
      const std::optional<MeshFormat> byName = meshFormatOfPath(name);
      if (!byName) {
        failCommand("cannot tell the mesh format from '" + options.output +
                    "': end it in .obj, .ply or .stl, or give --format");
      }
      return *byName;
    }
  }
  return MeshFormat::Obj;
}

void warnAboutOpenRims(std::size_t uncapped) {
  if (uncapped == 0) return;
  warn("warning: the mesh is open: " + std::to_string(uncapped) +
       " rim(s) where the surface leaves the grid or the volume cross an edge of its box and are "
       "not capped (only rims on one face are)");
}

SurfaceOptions surfaceOptions(const MeshOptions& options) {
  SurfaceOptions surface;
  surface.isoLevel = options.iso;
  surface.threads = options.threads;
  surface.welded = !options.unwelded;
  surface.normals = options.normals;
  return surface;
}

// Shows the pipeline's stages on the progress line.
SurfaceProgress showProgress(ProgressLine& progress) {
  return [&progress, unit = std::string()](const char* stage, std::int64_t done,
                                           std::int64_t total) mutable {
    if (unit != stage) {
      unit = stage;
      progress.stage(unit, static_cast<long>(total));
    }
    progress.update(static_cast<long>(done));
  };
}

// The welded mesh closed, or the triangles as extracted (--unwelded).
IndexedMesh sceneMesh(const MeshOptions& options, ProgressLine& progress) {
  if (!(options.iso > 0.0) || !std::isfinite(options.iso)) {
    failCommand("--iso " + number(options.iso) + ": the scene's iso level must be positive");
  }
  SurfaceReport report;
  IndexedMesh mesh = sceneSurface(ballCentres(options.tick), options.divisions,
                                  surfaceOptions(options), report, showProgress(progress));
  warnAboutOpenRims(report.uncappedRims);
  finish(options, mesh, gridBox(sceneGrid(options.divisions)), "the scene's units", progress);
  return mesh;
}

// What the extraction found that the user should know.
void warnAbout(const VolumeFindings& findings, double iso) {
  if (findings.nonFiniteVoxels > 0) {
    warn("warning: " + std::to_string(findings.nonFiniteVoxels) +
         " voxels are NaN or infinite; the cells touching them have no triangles");
  }
  const bool anyFinite = findings.least <= findings.most;
  if (findings.cells > 0 && anyFinite && (iso > findings.most || iso <= findings.least)) {
    warn("warning: the iso level " + number(iso) + " lies outside the data's values (" +
         number(findings.least) + " to " + number(findings.most) +
         "), so the mesh is empty; choose a level between them");
  }
  if (findings.levelOnVoxels > 0) {
    warn("warning: the iso level " + number(iso) + " equals the value of voxels at " +
         std::to_string(findings.levelOnVoxels) +
         " edge crossings; the surface passes through those voxels and can touch itself there: "
         "a level between the data's values avoids it");
  }
  if (findings.snappedEdges > 0) {
    warn("warning: at " + std::to_string(findings.snappedEdges) +
         " edge crossings the values differ by less than 1e-5, the polygoniser's absolute "
         "tolerance, and the vertex was snapped to a voxel; the data spans " +
         number(findings.least) + " to " + number(findings.most) + " (a scale of " +
         number(findings.most - findings.least) +
         "): multiply the data and the level up if that detail matters");
  }
}

IndexedMesh volumeMesh(const MeshOptions& options, std::string& comment, ProgressLine& progress) {
  if (options.isoOption->count() == 0) {
    failCommand("--volume needs --iso V, the level of the surface in the data's units");
  }
  if (!std::isfinite(options.iso)) failCommand("--iso must be a finite number");
  const std::unique_ptr<VolumeReader> reader = openVolumeOrFail(options.volume);
  const VolumeHeader& header = reader->header();
  if (!header.notice.empty()) warn(header.notice);
  comment = "mcubes mesh, " + options.volume.path + ", iso " + number(options.iso);

  SurfaceReport report;
  IndexedMesh mesh;
  try {
    mesh = volumeSurface(*reader, surfaceOptions(options), report, showProgress(progress));
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
  warnAbout(report.findings, options.iso);
  finish(options, mesh, header.geometry, "the volume's units", progress);
  return mesh;
}

void runMesh(const MeshOptions& options) {
  const MeshFormat format = chooseFormat(options);
  checkFinishing(options);
  if (options.normals && format == MeshFormat::Stl) {
    failCommand("--normals needs obj or ply (stl has facet normals only)");
  }

  ProgressLine progress("mesh", "slab", options.divisions + 1);
  std::string comment;
  IndexedMesh mesh;
  if (namesVolume(options.volume)) {
    mesh = volumeMesh(options, comment, progress);
  } else {
    mesh = sceneMesh(options, progress);
    comment = "mcubes mesh, tick " + std::to_string(options.tick);
    if (options.divisions != GridDivisions) {
      comment += ", " + std::to_string(options.divisions) + " divisions";
    }
    if (options.iso != SceneIsoLevel) comment += ", iso " + number(options.iso);
  }
  progress.stage("writing", 1);
  if (!options.unwelded) {
    const std::size_t flat = zeroAreaFaces(mesh);
    if (flat > 0) {
      warn(std::to_string(flat) + " of " + std::to_string(mesh.faces.size()) +
           " faces have no area (vertices snapped onto one point); they are kept, as the mesh "
           "stays closed with them");
    }
  }

  const std::string error = writeOutput(options.output, [&](std::FILE* out) {
    switch (format) {
      case MeshFormat::Obj:
        return writeObj(out, mesh, comment);
      case MeshFormat::Ply:
        return writePly(out, mesh, comment);
      case MeshFormat::Stl:
        return writeStl(out, mesh, comment);
    }
    return false;
  });
  if (!error.empty()) failCommand(error);
}

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
void addFinishingOptions(CLI::App& mesh, FinishingOptions& finishing) {
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
                  "Keep about this fraction of the triangles, above 0 and at most 1, collapsing "
                  "edges where that changes the shape least (meshoptimizer); the mesh stays "
                  "closed")
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
  options->isoOption =
      mesh->add_option("--iso", options->iso,
                       "Iso level: for the scene any positive value (0.25: the demo's); for a "
                       "volume, required, in the data's units")
          ->capture_default_str();
  addVolumeOptions(*mesh, options->volume);
  mesh->add_flag("--normals", options->normals,
                 "Per-vertex unit normals from the field's gradient, pointing toward lower "
                 "values (obj, ply)");
  addThreadsOption(*mesh, options->threads);
  mesh->add_option("--format", options->format,
                   "obj, ply or stl; by default the output's extension says, else obj. Every "
                   "format holds the welded mesh, closed by flat caps where the surface leaves "
                   "the grid or the volume");
  mesh->add_flag("--unwelded", options->unwelded,
                 "Write the triangles exactly as extracted: unshared vertices, no caps");
  addFinishingOptions(*mesh, options->finishing);
  addOutputOption(*mesh, options->output, "Output file")->capture_default_str();
  mesh->callback([options] { runMesh(*options); });
}
