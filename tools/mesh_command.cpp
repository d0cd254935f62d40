#include "tools/mesh_command.h"

#include <cstdint>
#include <memory>
#include <string>

#include "tools/cli_support.h"
#include "tools/mesh_export.h"

namespace {

struct MeshOptions {
  std::int32_t tick = 0;
  std::string format = "obj";
  std::string output = "-";
};

void runMesh(const MeshOptions& options) {
  const std::optional<MeshFormat> format = meshFormatNamed(options.format);
  if (!format) failCommand("unknown mesh format '" + options.format + "' (use obj, ply or stl)");

  const std::vector<Triangle> triangles = sceneTriangles(options.tick);
  const std::string comment = "mcubes mesh, tick " + std::to_string(options.tick);
  const std::string error = writeOutput(options.output, [&](std::FILE* out) {
    switch (*format) {
      case MeshFormat::Obj:
        return writeObj(out, weldTriangles(triangles, WeldDistance), comment);
      case MeshFormat::Ply:
        return writePly(out, weldTriangles(triangles, WeldDistance), comment);
      case MeshFormat::Stl:
        return writeStl(out, triangles, comment);
    }
    return false;
  });
  if (!error.empty()) failCommand(error);
}

}  // namespace

void addMeshCommand(CLI::App& app) {
  auto options = std::make_shared<MeshOptions>();
  CLI::App* mesh = app.add_subcommand(
      "mesh", "Write the frame's isosurface at a tick as a mesh (faces wound outward)");
  addTickOption(*mesh, options->tick);
  mesh->add_option("--format", options->format, "obj or ply (indexed, welded) or stl (binary)")
      ->capture_default_str();
  mesh->add_option("-o,--output", options->output, "Output file; - for standard output")
      ->capture_default_str();
  mesh->callback([options] { runMesh(*options); });
}
