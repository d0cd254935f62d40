#include "tools/mesh_command.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/decimation.h"
#include "mesh/degenerate_faces.h"
#include "mesh/finishing.h"
#include "mesh/grid.h"
#include "mesh/mesh_writers.h"
#include "mesh/patient_space.h"
#include "mesh/scene_caps.h"
#include "mesh/surface_pipeline.h"
#include "mesh/volume_across.h"
#include "tools/cli_support.h"
#include "tools/cluster.h"
#include "tools/mesh_across.h"
#include "tools/progress_line.h"
#include "tools/volume_options.h"
#include "volume/label_styles.h"
#include "volume/otsu_level.h"
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
  bool normals = false;
  bool unwelded = false;
  bool ascii = false;
  std::string labels;            // "all" or a list; empty: one iso level
  std::string space = "file";    // file, ras or lps
  std::string inside = "above";  // above or below: which side is the volume's object
  const CLI::Option* insideOption = nullptr;
  int threads = defaultThreads();
  VolumeOptions volume;
  const CLI::Option* isoOption = nullptr;
  FinishingOptions finishing;  // components, smoothing, decimation
};

// Beyond this many, --labels all is likely not what was meant (a map of
// random integers, or a scan read as labels).
constexpr std::size_t ManyLabels = 256;

constexpr const char* Formats = "obj, ply, stl, glb, vtp or gii";
constexpr const char* Extensions = ".obj, .ply, .stl, .glb, .vtp or .gii";

// Under mpirun only process 0 speaks.
void warn(const std::string& message) {
  if (cluster().rank() != 0) return;
  ProgressLine::makeRoomForMessage();
  std::fprintf(stderr, "mcubes: %s\n", message.c_str());
}

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  return text;
}

// The finishing steps need the welded mesh, and decimation a build with it:
// refused before any work.
void checkFinishing(const MeshOptions& options) {
  if (!finishes(options.finishing)) return;
  if (options.unwelded) {
    failCommand(
        "--keep-largest, --min-component, --smooth and --decimate need the welded mesh; "
        "leave out --unwelded");
  }
}

std::string volumeChange(const FinishingReport& report, double before, double after) {
  if (!report.closed) return "the mesh is not closed, so it encloses no volume";
  char text[96];
  std::snprintf(text, sizeof text, "enclosed volume %.4g -> %.4g (%+.2f %%)", before, after,
                before != 0 ? 100.0 * (after - before) / before : 0.0);
  return text;
}

// Applies the finishing steps asked for and says what they did, of
// `subject` if given (a label). `box`: the volume's or grid's box, whose
// faces the caps stay on.
void finish(const MeshOptions& options, IndexedMesh& mesh, const VolumeGeometry& box,
            const std::string& units, ProgressLine& progress, const std::string& subject = {}) {
  const auto say = [&](const std::string& line) {
    warn(subject.empty() ? line : subject + ": " + line);
  };
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
    say(line);
  }
  if (asked.smoothIterations > 0) {
    say("smoothed " + std::to_string(asked.smoothIterations) + " iterations (pass band " +
        number(asked.smoothPassband) +
        "): " + volumeChange(report, report.volumeBeforeSmoothing, report.volumeBeforeDecimation));
  }
  if (asked.decimate < 1.0) {
    char error[96];
    std::snprintf(error, sizeof error, "error %.2g (%.3g in %s)", report.decimationError,
                  report.decimationWorldError, units.c_str());
    const std::size_t wanted = report.trianglesDecimatedTo;
    std::string line = "decimated " + std::to_string(report.trianglesDecimatedFrom) + " -> " +
                       std::to_string(report.trianglesAfter) + " triangles (" +
                       std::to_string(wanted) + " asked), " + error + "; " +
                       volumeChange(report, report.volumeBeforeDecimation, report.volumeAfter);
    if (static_cast<double>(report.trianglesAfter) > 1.1 * static_cast<double>(wanted)) {
      line +=
          "; no more edges collapse without pinching the surface, turning a face over or "
          "making it cross another";
    }
    if (report.componentsDroppedAfterDecimation > 0) {
      line += "; then " + std::to_string(report.componentsDroppedAfterDecimation) +
              " parts left with fewer than " + std::to_string(asked.minComponent) +
              " triangles dropped";
    }
    say(line);
  }
}

// The format --format names, else the output's extension, else obj; one
// this build cannot write is refused.
MeshFormat chooseFormat(const MeshOptions& options) {
  std::optional<MeshFormat> format;
  if (!options.format.empty()) {
    format = meshFormatNamed(options.format);
    if (!format) failCommand("unknown mesh format '" + options.format + "' (use " + Formats + ")");
  } else if (options.output != "-" && options.output.find('.') != std::string::npos) {
    const std::size_t slash = options.output.find_last_of('/');
    const std::string name =
        slash == std::string::npos ? options.output : options.output.substr(slash + 1);
    if (name.find('.') != std::string::npos) {
      format = meshFormatOfPath(name);
      if (!format) {
        failCommand("cannot tell the mesh format from '" + options.output + "': end it in " +
                    Extensions + ", or give --format");
      }
    }
  }
  if (format == MeshFormat::Gii && !writesGii()) {
    failCommand(
        "this build of mcubes writes no gii (it was built without giftiio): use obj, ply, "
        "stl, glb or vtp");
  }
  return format.value_or(MeshFormat::Obj);
}

// --normals needs a format with per-vertex normals.
void refuseFacetNormalsOnly(const MeshOptions& options, MeshFormat format) {
  if (options.normals && format == MeshFormat::Stl) {
    failCommand("--normals needs obj, ply, glb, vtp or gii (stl has facet normals only)");
  }
}

SurfaceOptions surfaceOptions(const MeshOptions& options) {
  SurfaceOptions surface;
  surface.isoLevel = options.iso;
  surface.inside = insideNamed(options.inside);
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
  finish(options, mesh, gridBox(sceneGrid(options.divisions)), "the scene's units", progress);
  return mesh;
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

// What the extraction found that the user should know; `closed`: the mesh
// is capped where it leaves the volume.
void warnAbout(const VolumeFindings& findings, double iso, Inside inside,
               const VolumeGeometry& geometry, bool closed) {
  const std::int64_t* d = geometry.dims;
  if (findings.cells == 0) {
    std::string thin;
    int axes = 0;
    for (int a = 0; a < 3; ++a) {
      if (d[a] < 2) thin += (axes++ == 0 ? "" : " and ") + std::to_string(a);
    }
    warn("warning: the volume is " + std::to_string(d[0]) + "x" + std::to_string(d[1]) + "x" +
         std::to_string(d[2]) + " voxels: with one voxel along " + (axes > 1 ? "axes " : "axis ") +
         thin +
         " it has no cells (marching cubes needs two voxels or more along every axis), so the "
         "mesh is empty");
    return;
  }
  if (findings.nonFiniteVoxels > 0) {
    warn("warning: " + std::to_string(findings.nonFiniteVoxels) +
         " voxels are NaN or infinite; they count as " +
         (inside == Inside::Above ? "below every level" : "above every level (outside)") +
         ", like the outside of the volume" +
         (closed ? ", and the mesh is closed around them (where a voxel inside the surface "
                   "has two of them beside it, or one and the volume's face, it can touch "
                   "itself there)"
                 : ""));
  }
  const bool anyFinite = findings.least <= findings.most;
  const std::string range = " (" + number(findings.least) + " to " + number(findings.most) + ")";
  const bool above = inside == Inside::Above;
  // Every finite voxel inside, or none.
  const bool allIn = above ? iso <= findings.least : iso >= findings.most;
  const bool noneIn = above ? iso > findings.most : iso < findings.least;
  if (anyFinite && allIn) {
    warn("warning: the iso level " + number(iso) + " is " +
         (above ? "at or below" : "at or above") + " every voxel's value" + range +
         (closed ? ", so the whole volume lies inside the surface and the mesh is the closed box "
                   "of the volume"
                 : ", so no cell is crossed and the mesh is empty (--unwelded has no caps)") +
         "; choose a level between them");
  } else if (anyFinite && noneIn) {
    warn("warning: the iso level " + number(iso) + " lies " + (above ? "above" : "below") +
         " every voxel's value" + range + ", so the mesh is empty; choose a level between them");
  }
  if (findings.levelOnVoxels > 0) {
    warn("warning: the iso level " + number(iso) + " equals the value of voxels at " +
         std::to_string(findings.levelOnVoxels) +
         " edge crossings; the surface passes through those voxels and can touch itself there: "
         "a level between the data's values avoids it");
  }
}

// The default inside (above the level) closed the whole box around what
// lies below it: every voxel on the volume's six faces is inside, so the
// caps cover the box, and some voxel is outside. That is how a signed
// distance field (negative inside) comes out, so the user is told of
// --inside below. The sign is the faces' voxels alone, which every way of
// meshing (mpirun's pieces too) sees alike.
void warnAboutBoxAroundCavity(const SurfaceReport& report, const MeshOptions& options) {
  if (options.insideOption->count() > 0 || !report.facesAllInside) return;
  if (!(report.findings.least < options.iso)) return;  // no voxel outside: a box warning said so
  warn("warning: the mesh is the volume's whole box around what lies below the level " +
       number(options.iso) +
       " (every voxel on the volume's faces is at or above it): if the object is where the "
       "values are below the level (a signed distance field, negative inside), give "
       "--inside below");
}

// Otsu's level of the volume, said on stderr; the volume is read for it
// (once or twice, see volume/otsu_level.h) before it is meshed.
double otsuLevelOf(const VolumeOptions& volume) {
  OtsuLevel otsu;
  try {
    otsu = otsuLevel([&] { return openVolumeOrFail(volume); });
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
  if (otsu.finiteVoxels == 0) {
    failCommand("--iso otsu: " + volume.path + " has no finite voxels to choose a level from");
  }
  if (std::isnan(otsu.level)) {
    failCommand("--iso otsu: every finite voxel of " + volume.path + " is " + number(otsu.least) +
                ", so no level splits the data in two; give --iso V");
  }
  warn("Otsu's level " + number(otsu.level) + " (data " + number(otsu.least) + " to " +
       number(otsu.most) + ": " + std::to_string(otsu.below) + " voxels below it, mean " +
       number(otsu.meanBelow) + ", " + std::to_string(otsu.finiteVoxels - otsu.below) +
       " above, mean " + number(otsu.meanAbove) + "; a histogram of " +
       (otsu.exact ? "one bin per value" : std::to_string(otsu.bins) + " bins") + ")");
  return otsu.level;
}

// The patient space --space asks for: the file's own, or RAS or LPS from
// the space the file states.
WorldSpace targetSpace(const MeshOptions& options, const VolumeHeader& header) {
  if (options.space == "file") return header.space;
  if (header.space == WorldSpace::Unstated) {
    failCommand("--space " + options.space + ": " + options.volume.path +
                " states no patient space (RAS or LPS) to convert from; leave out --space");
  }
  return options.space == "ras" ? WorldSpace::Ras : WorldSpace::Lps;
}

void warnAboutFlatFaces(std::size_t flat, std::size_t faces) {
  if (flat == 0) return;
  warn(std::to_string(flat) + " of " + std::to_string(faces) +
       " faces have no area (vertices snapped onto one point); they are kept, as the mesh "
       "stays closed with them");
}

// The volume's mesh, or nothing where the processes of mpirun wrote it in
// pieces already.
std::optional<IndexedMesh> volumeMesh(MeshOptions options, MeshFormat format, std::string& comment,
                                      WorldSpace& space, ProgressLine& progress) {
  if (options.isoOption->count() == 0) {
    failCommand(
        "--volume needs --iso V, the level of the surface in the data's units, or --iso otsu");
  }
  if (!std::isfinite(options.iso)) failCommand("--iso must be a finite number");
  // Every process opens the volume; one that cannot fails them all.
  std::unique_ptr<VolumeReader> reader;
  cluster().together([&] {
    reader = openVolumeOrFail(options.volume);
    // Before the work: the volume's own files are known while it is open.
    if (const std::string refused = refusedOutput(options.output); !refused.empty()) {
      failCommand(refused);
    }
    space = targetSpace(options, reader->header());
    if (options.otsu) options.iso = otsuLevelOf(options.volume);
  });
  const VolumeHeader& header = reader->header();
  if (!header.notice.empty()) warn(header.notice);
  comment = "mcubes mesh, " + options.volume.path + ", iso " + number(options.iso) +
            (options.otsu ? " (Otsu's)" : "") +
            (options.inside == "below" ? ", inside below" : "") + ", in " + worldSpaceName(space);

  const SurfaceOptions surface = surfaceOptions(options);
  SurfaceReport report;
  const bool across = cluster().size() > 1;
  if (across && !finishes(options.finishing) &&
      writtenInPieces(options.output, format, options.ascii, header.geometry, surface)) {
    MeshPiece piece = volumeMeshPiece(cluster(), *reader, surface, report, showProgress(progress));
    warnAbout(report.findings, options.iso, surface.inside, header.geometry, !options.unwelded);
    warnAboutBoxAroundCavity(report, options);
    moveToSpace(piece.mesh, header.space, space);
    progress.stage("writing", 1);
    if (!options.unwelded) {
      const ProcessSums flat = cluster().sums({zeroAreaFaces(piece.mesh), piece.mesh.faces.size()});
      warnAboutFlatFaces(flat.all[0], flat.all[1]);
    }
    writePieces(cluster(), options.output, format, commentInSpace(comment, space), piece,
                options.normals);
    return std::nullopt;
  }
  IndexedMesh mesh;
  if (across) {
    mesh = volumeMeshGathered(cluster(), *reader, surface, report, showProgress(progress));
    if (cluster().rank() != 0) return mesh;
  } else {
    try {
      mesh = volumeSurface(*reader, surface, report, showProgress(progress));
    } catch (const VolumeError& error) {
      failCommand(error.what());
    }
  }
  warnAbout(report.findings, options.iso, surface.inside, header.geometry, !options.unwelded);
  warnAboutBoxAroundCavity(report, options);
  finish(options, mesh, header.geometry, "the volume's units", progress);
  moveToSpace(mesh, header.space, space);
  return mesh;
}

// Adds `mesh` (made of `parts`, if any) to `files` as `path` in `format`;
// OBJ parts get their materials in a .mtl file beside it.
void addMesh(OutputFiles& files, const std::string& path, MeshFormat format,
             const IndexedMesh& mesh, const std::string& comment, WorldSpace space, bool ascii,
             const std::vector<MeshPart>& parts = {}) {
  std::string materials;
  if (format == MeshFormat::Obj && !parts.empty() && path != "-") {
    const std::filesystem::path library = std::filesystem::path(path).replace_extension(".mtl");
    materials = library.filename().string();
    const std::string error =
        files.add(library.string(), [&](std::FILE* out) { return writeMaterials(out, parts); });
    if (!error.empty()) failCommand(error);
  }
  const std::string error = files.add(path, [&](std::FILE* out) {
    return writeMeshAs(format, out, mesh, comment, space, ascii, parts, materials);
  });
  if (!error.empty()) failCommand(error);
}

// Writes the mesh as addMesh words it, whole or not at all.
void writeMesh(const std::string& path, MeshFormat format, const IndexedMesh& mesh,
               const std::string& comment, WorldSpace space, bool ascii,
               const std::vector<MeshPart>& parts = {}) {
  OutputFiles files;
  addMesh(files, path, format, mesh, comment, space, ascii, parts);
  const std::string error = files.commit();
  if (!error.empty()) failCommand(error);
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

// Writes the labels' meshes: one file per label (every label's file, or
// none: each is written beside its name first), or one file of them all.
void writeLabels(const MeshOptions& options, const VolumeReader& reader, WorldSpace space,
                 std::vector<LabelSurface>& surfaces, MeshFormat format, bool folder, bool perLabel,
                 ProgressLine& progress) {
  const VolumeHeader& header = reader.header();
  const std::string& output = options.output;
  OutputFiles files;
  const LabelStyles styles(header);
  const std::string source =
      "mcubes mesh, " + options.volume.path + ", in " + worldSpaceName(space);
  IndexedMesh all;
  std::vector<MeshPart> parts;
  for (LabelSurface& label : surfaces) {
    const LabelStyle style = styles(label.label);
    const std::string value = std::to_string(label.label);
    const std::string named = "label " + value;
    const std::string subject = style.name == named ? named : style.name + " (" + named + ")";
    finish(options, label.mesh, header.geometry, "the volume's units", progress, subject);
    moveToSpace(label.mesh, header.space, space);
    const IndexedMesh& mesh = label.mesh;
    warn(subject + ": " + std::to_string(mesh.faces.size()) + " triangles");
    if (perLabel) {
      std::string path = output;
      if (folder) {
        path = (std::filesystem::path(output) / ("label_" + value + "." + meshFormatName(format)))
                   .string();
      }
      for (std::size_t at; (at = path.find("{label}")) != std::string::npos;) {
        path.replace(at, 7, value);
      }
      addMesh(files, path, format, mesh, source + ", label " + value, space, options.ascii);
      label.mesh = {};
      continue;
    }
    parts.push_back(
        {label.label, style.name, style.colour, mesh.vertices.size(), mesh.faces.size()});
    const auto base = static_cast<std::uint32_t>(all.vertices.size());
    all.vertices.insert(all.vertices.end(), mesh.vertices.begin(), mesh.vertices.end());
    all.normals.insert(all.normals.end(), mesh.normals.begin(), mesh.normals.end());
    for (const auto& f : mesh.faces) all.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
    label.mesh = {};
  }
  if (!perLabel) {
    addMesh(files, output, format, all, source + ", labels", space, options.ascii, parts);
  }
  if (const std::string error = files.commit(); !error.empty()) failCommand(error);
}

// One file per label where the output says {label} or is a folder, else
// one file holding every label as a part.
void runLabels(const MeshOptions& options) {
  if (!namesVolume(options.volume)) failCommand("--labels needs --volume, the label map to mesh");
  if (options.unwelded) failCommand("--labels writes welded, closed meshes: leave out --unwelded");
  if (options.isoOption->count() > 0) {
    failCommand("--labels meshes the boundary of each label's voxels: leave out --iso");
  }
  if (options.insideOption->count() > 0) {
    failCommand("--labels meshes the boundary of each label's voxels: leave out --inside");
  }
  const std::vector<std::int64_t> asked = labelsNamed(options.labels);
  const std::string& output = options.output;
  const bool folder =
      output != "-" && (output.back() == '/' || std::filesystem::is_directory(output));
  const bool perLabel = folder || output.find("{label}") != std::string::npos;
  const MeshFormat format =
      folder && options.format.empty() ? MeshFormat::Obj : chooseFormat(options);
  if (!perLabel && (format == MeshFormat::Stl || format == MeshFormat::Gii)) {
    const std::string name = meshFormatName(format);
    failCommand(name +
                " holds one surface: write a file per label with {label} in the output's "
                "name (-o label_{label}." +
                name + ") or a folder, or use obj, ply, glb or vtp for one file");
  }
  refuseFacetNormalsOnly(options, format);
  checkFinishing(options);

  const std::unique_ptr<VolumeReader> reader = openVolumeOrFail(options.volume);
  if (const std::string refused = refusedOutput(perLabel ? "" : output); !refused.empty()) {
    failCommand(refused);
  }
  const VolumeHeader& header = reader->header();
  if (!header.notice.empty()) warn(header.notice);
  const WorldSpace space = targetSpace(options, header);
  ProgressLine progress("mesh", "layer", header.geometry.dims[2]);
  SurfaceOptions surface = surfaceOptions(options);
  SurfaceReport report;
  std::vector<LabelSurface> surfaces;
  try {
    surfaces = labelSurfaces(*reader, asked, surface, report, showProgress(progress));
  } catch (const VolumeError& error) {
    failCommand(error.what());
  }
  progress.stage("writing", 1);
  if (!report.absentLabels.empty()) {
    std::string absent;
    for (const std::int64_t label : report.absentLabels) {
      absent += (absent.empty() ? "" : ", ") + std::to_string(label);
    }
    warn("warning: no voxel holds label " + absent + ", so it has no mesh");
  }
  if (surfaces.empty()) warn("warning: the volume holds no label to mesh (0 is the background)");

  if (options.labels == "all" && surfaces.size() > ManyLabels) {
    warn("warning: the volume holds " + std::to_string(surfaces.size()) + " labels, each meshed " +
         (perLabel ? "into a file of its own" : "as a part") +
         "; is it a label map? Give --labels with a list such as 1,2,5 to choose them");
  }

  std::error_code made;
  const bool makeFolder = folder && !std::filesystem::is_directory(output);
  if (makeFolder && !std::filesystem::create_directory(output, made)) {
    failCommand("cannot make the folder '" + output + "': " + made.message());
  }
  try {
    writeLabels(options, *reader, space, surfaces, format, folder, perLabel, progress);
  } catch (...) {
    // The files' temporaries are gone by now: a folder made for them goes too.
    if (makeFolder) std::filesystem::remove(output, made);
    throw;
  }
}

// One level's surface: the scene's, or a volume's.
void runLevel(MeshOptions options) {
  parseIso(options);
  const MeshFormat format = chooseFormat(options);
  refuseFacetNormalsOnly(options, format);
  checkFinishing(options);

  ProgressLine progress("mesh", "slab", options.divisions + 1);
  std::string comment;
  WorldSpace space = WorldSpace::Unstated;
  IndexedMesh mesh;
  if (namesVolume(options.volume)) {
    std::optional<IndexedMesh> made = volumeMesh(options, format, comment, space, progress);
    if (!made) return;
    mesh = std::move(*made);
  } else {
    if (options.otsu) failCommand("--iso otsu needs --volume: the scene's level is a number");
    if (options.space != "file")
      failCommand("--space needs --volume: the scene is in no patient space");
    if (options.insideOption->count() > 0) {
      failCommand(
          "--inside needs --volume: the scene's blobs are where its field is above the "
          "level");
    }
    mesh = sceneMesh(options, progress);
    comment = "mcubes mesh, tick " + std::to_string(options.tick);
    if (options.divisions != GridDivisions) {
      comment += ", " + std::to_string(options.divisions) + " divisions";
    }
    if (options.iso != SceneIsoLevel) comment += ", iso " + number(options.iso);
  }
  // Process 0 writes; a write that fails fails every process.
  cluster().together([&] {
    if (cluster().rank() != 0) return;
    progress.stage("writing", 1);
    if (!options.unwelded) warnAboutFlatFaces(zeroAreaFaces(mesh), mesh.faces.size());
    writeMesh(options.output, format, mesh, comment, space, options.ascii);
  });
}

void runMesh(MeshOptions options) {
  const Communicator& place = cluster();
  if (!options.labels.empty() || (place.size() > 1 && !namesVolume(options.volume))) {
    // Under mpirun, process 0 alone: the scene, and label maps.
    cluster().together([&] {
      if (place.rank() != 0) return;
      if (!options.labels.empty()) {
        runLabels(options);
      } else {
        runLevel(options);
      }
    });
    return;
  }
  runLevel(options);
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
  options->isoText = number(SceneIsoLevel);
  options->isoOption =
      mesh->add_option("--iso", options->isoText,
                       "Iso level: for the scene any positive value (0.25: the demo's); for a "
                       "volume, required, in the data's units, or otsu: Otsu's threshold of "
                       "its finite voxels' histogram, printed on stderr (a .5 for integer data)")
          ->type_name("V|otsu")
          ->capture_default_str();
  addVolumeOptions(*mesh, options->volume);
  options->insideOption = addInsideOption(*mesh, options->inside);
  mesh->add_flag("--normals", options->normals,
                 "Per-vertex unit normals from the field's gradient, pointing out of the "
                 "object (every format but stl)");
  addThreadsOption(*mesh, options->threads);
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
