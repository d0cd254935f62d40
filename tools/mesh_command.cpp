#include "tools/mesh_command.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "mesh/cap.h"
#include "mesh/degenerate_faces.h"
#include "mesh/extract.h"
#include "mesh/grid.h"
#include "mesh/mesh_writers.h"
#include "mesh/normals.h"
#include "mesh/volume_caps.h"
#include "mesh/volume_extract.h"
#include "mesh/weld.h"
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
};

void warn(const std::string& message) { std::fprintf(stderr, "mcubes: %s\n", message.c_str()); }

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
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

// The welded mesh closed, or the triangles as extracted (--unwelded).
IndexedMesh sceneMesh(const MeshOptions& options, ProgressLine& progress) {
  if (!(options.iso > 0.0) || !std::isfinite(options.iso)) {
    failCommand("--iso " + number(options.iso) + ": the scene's iso level must be positive");
  }
  const BallCentres balls = ballCentres(options.tick);
  ExtractionSettings settings;
  settings.divisions = options.divisions;
  settings.isoLevel = options.iso;
  settings.threads = options.threads;
  settings.edgeKeys = !options.unwelded;
  ExtractedSurface surface = extractSurface(
      balls, settings, [&](std::int32_t done, std::int32_t) { progress.update(done); });
  IndexedMesh mesh;
  if (options.unwelded) {
    mesh = unweldedMesh(surface);
  } else {
    progress.stage("welding triangle", static_cast<long>(surface.triangles.size()));
    mesh =
        weldSurface(surface, [&](std::size_t done) { progress.update(static_cast<long>(done)); });
    // The mesh holds all that is written; the triangles can go.
    surface = {};
    std::size_t uncapped = 0;
    capGridBoundary(mesh, sceneGrid(options.divisions), &uncapped);
    warnAboutOpenRims(uncapped);
    mergeCoincidentVertices(mesh);
    dropRepeatedVertexFaces(mesh);
  }
  if (options.normals) mesh.normals = fieldNormals(balls, mesh.vertices);
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

  VolumeExtractionSettings settings;
  settings.isoLevel = options.iso;
  settings.threads = options.threads;
  settings.edgeKeys = !options.unwelded;
  settings.normals = options.normals;
  VolumeFindings findings;
  ExtractedSurface surface;
  progress.stage("layer",
                 static_cast<long>(std::max<std::int64_t>(0, header.geometry.dims[2] - 1)));
  // The faces' voxels, to close the surface where it leaves the volume.
  VolumeBoundary boundary(header.geometry.dims);
  try {
    surface = extractVolume(
        *reader, settings, findings,
        [&](std::int64_t done, std::int64_t) { progress.update(static_cast<long>(done)); },
        options.unwelded ? nullptr : &boundary);
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
  warnAbout(findings, options.iso);
  if (options.unwelded) return unweldedMesh(surface);
  if (findings.cells > 0) {
    appendBoundaryCells(header.geometry, boundary, options.iso, options.normals, surface);
  }

  progress.stage("welding triangle", static_cast<long>(surface.triangles.size()));
  IndexedMesh mesh =
      weldSurface(surface, [&](std::size_t done) { progress.update(static_cast<long>(done)); });
  surface = {};
  mergeCoincidentVertices(mesh);
  dropRepeatedVertexFaces(mesh);
  // A mirrored lattice turns the extraction's outward order inward.
  if (isMirrored(header.geometry)) reverseFaces(mesh);
  return mesh;
}

void runMesh(const MeshOptions& options) {
  const MeshFormat format = chooseFormat(options);
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
  addOutputOption(*mesh, options->output, "Output file")->capture_default_str();
  mesh->callback([options] { runMesh(*options); });
}
