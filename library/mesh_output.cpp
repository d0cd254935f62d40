#include "library/mesh_output.h"

#include <filesystem>
#include <optional>

#include "mcubes/error.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/surface/surface.h"
#include "mesh/writers/streamed_writers.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

constexpr const char* Formats = "obj, ply, stl, glb, vtp or gii";
constexpr const char* Extensions = ".obj, .ply, .stl, .glb, .vtp or .gii";

bool namesFolder(const std::string& path) {
  return path != "-" && !path.empty() &&
         (path.back() == '/' || std::filesystem::is_directory(path));
}

// Adds `mesh` (made of `parts`, if any) to `files` as `path`; OBJ parts get
// their materials in a .mtl file beside it.
void addMesh(OutputFiles& files, const std::string& path, MeshFormat format,
             const IndexedMesh& mesh, const std::string& comment, const OutputText& text,
             const std::vector<MeshPart>& parts = {}) {
  std::string materials;
  if (format == MeshFormat::Obj && !parts.empty() && path != "-") {
    const std::filesystem::path library = std::filesystem::path(path).replace_extension(".mtl");
    materials = library.filename().string();
    const std::string error =
        files.add(library.string(), [&](std::FILE* out) { return writeMaterials(out, parts); });
    if (!error.empty()) throw FileError(error, library.string());
  }
  const std::string error = files.add(path, [&](std::FILE* out) {
    return writeMeshAs(format, out, mesh, comment, text.space, text.ascii, parts, materials,
                       text.threads);
  });
  if (!error.empty()) throw FileError(error, path);
}

void addLabels(OutputFiles& files, const std::string& path, const OutputPlan& plan, Run& run,
               const OutputText& text) {
  IndexedMesh all;
  std::vector<MeshPart> parts;
  if (!plan.perLabel) {
    // One file of all: its room made once (on huge pages where it is large),
    // not grown label by label.
    std::size_t vertices = 0, faces = 0, normals = 0;
    for (const RunSurface& label : run.surfaces) {
      vertices += label.mesh.vertices.size();
      faces += label.mesh.faces.size();
      normals += label.mesh.normals.size();
    }
    makeRoom(all.vertices, vertices);
    makeRoom(all.faces, faces);
    makeRoom(all.normals, normals);
  }
  for (RunSurface& label : run.surfaces) {
    IndexedMesh& mesh = label.mesh;
    const std::string value =
        std::to_string(label.label) + (label.beyond ? "-" + std::to_string(*label.beyond) : "");
    if (plan.perLabel) {
      std::string file = path;
      if (plan.folder) {
        file =
            (std::filesystem::path(path) / ("label_" + value + "." + meshFormatName(plan.format)))
                .string();
      }
      for (std::size_t at; (at = file.find("{label}")) != std::string::npos;) {
        file.replace(at, 7, value);
      }
      std::string name = label.style.name;
      for (char& c : name) {
        if (c == ' ' || c == '/' || c == '\\' || c == '|') c = '_';
      }
      for (std::size_t at; (at = file.find("{name}")) != std::string::npos;) {
        file.replace(at, 6, name);
      }
      addMesh(files, file, plan.format, mesh, text.comment + ", label " + value, text);
    } else {
      parts.push_back({label.label, label.style.name, label.style.colour, mesh.vertices.size(),
                       mesh.faces.size()});
      const auto base = static_cast<std::uint32_t>(all.vertices.size());
      all.vertices.insert(all.vertices.end(), mesh.vertices.begin(), mesh.vertices.end());
      all.normals.insert(all.normals.end(), mesh.normals.begin(), mesh.normals.end());
      for (const auto& f : mesh.faces) all.faces.push_back({f[0] + base, f[1] + base, f[2] + base});
    }
    mesh = {};
  }
  if (!plan.perLabel)
    addMesh(files, path, plan.format, all, text.comment + ", labels", text, parts);
}

}  // namespace

OutputPlan planOutput(const std::string& path, const std::string& format, long labels) {
  OutputPlan plan;
  plan.folder = labels != 0 && namesFolder(path);
  plan.perLabel = plan.folder || (labels != 0 && (path.find("{label}") != std::string::npos ||
                                                  path.find("{name}") != std::string::npos));
  std::optional<MeshFormat> chosen;
  if (!format.empty()) {
    chosen = meshFormatNamed(format);
    if (!chosen) throw ArgumentError("unknown mesh format '" + format + "' (use " + Formats + ")");
  } else if (!plan.folder && path != "-") {
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.find('.') != std::string::npos) {
      chosen = meshFormatOfPath(name);
      if (!chosen) {
        throw ArgumentError("cannot tell the mesh format from '" + path + "': end it in " +
                            Extensions + ", or give {format}");
      }
    }
  }
  if (chosen == MeshFormat::Gii && !writesGii()) {
    throw ArgumentError(
        "this build of mcubes writes no gii (it was built without giftiio): use obj, ply, "
        "stl, glb or vtp");
  }
  plan.format = chosen.value_or(MeshFormat::Obj);
  const bool oneSurface = plan.format == MeshFormat::Stl || plan.format == MeshFormat::Gii;
  if (labels != 0 && labels != 1 && !plan.perLabel && oneSurface) {
    const std::string name = meshFormatName(plan.format);
    throw ArgumentError(name +
                        " holds one surface: write a file per label with {label} in the "
                        "output's name (label_{label}." +
                        name + ") or a folder, or use obj, ply, glb or vtp for one file");
  }
  return plan;
}

long labelsAsked(const MeshRequest& request) {
  if (!request.labels) return 0;
  if (request.interfaces) return -1;  // as many as the labels' neighbours
  const std::size_t asked = request.labels->size() + request.labelNames.size();
  return asked == 0 ? -1 : static_cast<long>(asked);
}

void refuseMissingNormals(const OutputPlan& plan, bool normals) {
  if (normals && plan.format == MeshFormat::Stl) {
    throw ArgumentError("{normals} needs obj, ply, glb, vtp or gii (stl has facet normals only)");
  }
}

WorldSpace spaceNamed(const std::string& name) {
  if (name.empty()) return WorldSpace::Unstated;
  if (name == "RAS") return WorldSpace::Ras;
  if (name == "LPS") return WorldSpace::Lps;
  if (name == "LAS") return WorldSpace::Las;
  throw ArgumentError("unknown space '" + name + "' (use RAS, LPS or none)");
}

bool streamsTo(const std::string& path, const OutputPlan& plan, const OutputText& text) {
  const bool binary =
      plan.format == MeshFormat::Stl || (plan.format == MeshFormat::Ply && !text.ascii);
  if (!binary || plan.perLabel || path.empty() || path == "-") return false;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  return !std::filesystem::exists(status) || std::filesystem::is_regular_file(status);
}

void writeStreamed(const std::string& path, const OutputPlan& plan, const OutputText& text,
                   bool normals, const std::function<void(SurfaceStream&)>& sweep) {
  const std::string comment = commentInSpace(text.comment, text.space);
  const std::string error = writeOutput(path, [&](std::FILE* out) {
    const std::unique_ptr<StreamedFile> file = plan.format == MeshFormat::Stl
                                                   ? streamedStl(out, comment)
                                                   : streamedPly(out, comment, normals);
    sweep(*file);
    return file->finish();
  });
  if (!error.empty()) throw FileError(error, path);
}

void writeRun(const std::string& path, const OutputPlan& plan, Run& run, const OutputText& text) {
  OutputFiles files;
  if (!run.labels || (run.surfaces.size() == 1 && !plan.perLabel &&
                      (plan.format == MeshFormat::Stl || plan.format == MeshFormat::Gii))) {
    const IndexedMesh empty;
    const IndexedMesh& mesh = run.surfaces.empty() ? empty : run.surfaces.front().mesh;
    const std::string comment =
        run.labels ? text.comment + ", label " + std::to_string(run.surfaces.front().label)
                   : text.comment;
    addMesh(files, path, plan.format, mesh, comment, text);
  } else {
    std::error_code made;
    const bool makeFolder = plan.folder && !std::filesystem::is_directory(path);
    if (makeFolder && !std::filesystem::create_directory(path, made)) {
      throw FileError("cannot make the folder '" + path + "': " + made.message(), path);
    }
    try {
      addLabels(files, path, plan, run, text);
      if (const std::string error = files.commit(); !error.empty()) throw FileError(error);
    } catch (...) {
      // The files' temporaries are gone by now: a folder made for them goes too.
      if (makeFolder) std::filesystem::remove(path, made);
      throw;
    }
    return;
  }
  if (const std::string error = files.commit(); !error.empty()) throw FileError(error);
}

}  // namespace mcubes
