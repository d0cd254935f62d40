#include "tools/mesh_command.h"

#include <cstdint>
#include <memory>
#include <string>

#include "mesh/cap.h"
#include "mesh/extract.h"
#include "mesh/grid.h"
#include "mesh/mesh_writers.h"
#include "mesh/normals.h"
#include "mesh/weld.h"
#include "tools/cli_support.h"
#include "tools/progress_line.h"

namespace {

struct MeshOptions {
  std::int32_t tick = 0;
  std::string format = "obj";
  std::string output = "-";
  std::int32_t divisions = GridDivisions;
  bool normals = false;
  int threads = defaultThreads();
};

void runMesh(const MeshOptions& options) {
  const std::optional<MeshFormat> format = meshFormatNamed(options.format);
  if (!format) failCommand("unknown mesh format '" + options.format + "' (use obj, ply or stl)");
  if (options.normals && *format == MeshFormat::Stl) {
    failCommand("--normals needs obj or ply (stl has facet normals only)");
  }

  const BallCentres balls = ballCentres(options.tick);
  ExtractionSettings settings;
  settings.divisions = options.divisions;
  settings.threads = options.threads;
  settings.edgeKeys = *format != MeshFormat::Stl;
  ProgressLine progress("mesh", "slab", options.divisions + 1);
  ExtractedSurface surface = extractSurface(
      balls, settings, [&](std::int32_t done, std::int32_t) { progress.update(done); });

  IndexedMesh mesh;
  if (settings.edgeKeys) {
    progress.stage("welding triangle", static_cast<long>(surface.triangles.size()));
    mesh =
        weldSurface(surface, [&](std::size_t done) { progress.update(static_cast<long>(done)); });
    // The mesh holds all that is written; the triangles can go.
    surface = {};
    capGridBoundary(mesh, sceneGrid(options.divisions));
    if (options.normals) mesh.normals = fieldNormals(balls, mesh.vertices);
  }
  progress.stage("writing", 1);

  std::string comment = "mcubes mesh, tick " + std::to_string(options.tick);
  if (options.divisions != GridDivisions) {
    comment += ", " + std::to_string(options.divisions) + " divisions";
  }
  const std::string error = writeOutput(options.output, [&](std::FILE* out) {
    switch (*format) {
      case MeshFormat::Obj:
        return writeObj(out, mesh, comment);
      case MeshFormat::Ply:
        return writePly(out, mesh, comment);
      case MeshFormat::Stl:
        return writeStl(out, surface.triangles, comment);
    }
    return false;
  });
  if (!error.empty()) failCommand(error);
}

}  // namespace

void addMeshCommand(CLI::App& app) {
  auto options = std::make_shared<MeshOptions>();
  CLI::App* mesh = app.add_subcommand(
      "mesh", "Write the scene's isosurface at a tick as a mesh (faces wound outward)");
  addTickOption(*mesh, options->tick);
  mesh->add_option("--divisions", options->divisions,
                   "Grid divisions per axis, 1 to 2048 (16: the demo's own frame)")
      ->check(CLI::Range(MinDivisions, MaxDivisions))
      ->capture_default_str();
  mesh->add_flag("--normals", options->normals,
                 "Per-vertex unit normals from the field's gradient (obj, ply)");
  addThreadsOption(*mesh, options->threads);
  mesh->add_option("--format", options->format,
                   "obj or ply (indexed, welded, closed by flat caps where the surface leaves "
                   "the grid) or stl (binary, the triangles as extracted)")
      ->capture_default_str();
  mesh->add_option("-o,--output", options->output, "Output file; - for standard output")
      ->capture_default_str();
  mesh->callback([options] { runMesh(*options); });
}
