#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tools/cli_support.h"
#include "tools/mesh_command.h"
#include "tools/mesh_options.h"
#include "volume/number_text.h"

using namespace mcubes::internal;

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
      "listed by number or name (1,2,liver); each label's surface bounds its voxels, closed. "
      "One file holds every label (obj: a group each, colours in a .mtl beside it; ply: "
      "vertex colours and a label per face; glb: a named, coloured mesh each; vtp: "
      "a label per face), or one file per label where -o names a folder or holds "
      "{label} or {name} (-o part_{name}.stl; stl and gii hold one surface, or one label). "
      "Names and colours come from --label-names, else a 3D Slicer .seg.nrrd, else a fixed "
      "palette");
  mesh->add_option("--label-names", options->labelTable,
                   "The labels' names and colours: FreeSurfer's FreeSurferColorLUT.txt, a 3D "
                   "Slicer .ctbl, an ITK-SNAP label description file, or a CSV table of value, "
                   "name and optionally R, G, B (an atlas's)")
      ->type_name("FILE");
  mesh->add_flag("--conforming", options->conforming,
                 "With --labels: meshes that fit together, from one pass for all labels (surface "
                 "nets): where two labels touch, both meshes hold the same triangles, wound "
                 "oppositely, and where three or more meet they join without gap or overlap; "
                 "each stays closed and outward (the volume's outside counts as label 0). "
                 "--smooth then smooths all labels at once, so that they stay joined; "
                 "--keep-largest, --min-component and --decimate are refused with it");
  mesh->add_flag("--interfaces", options->interfaces,
                 "With --conforming: one surface per pair of touching labels instead of one per "
                 "label (every pair with a label asked for), wound out of the first, named "
                 "'a|b' (b 0: the background and the volume's outside); files per surface hold "
                 "a-b in place of {label}")
      ->needs("--conforming");
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
