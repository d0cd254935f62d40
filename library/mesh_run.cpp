#include "library/mesh_run.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <stdexcept>
#include <thread>

#include "library/conversion.h"
#include "library/findings.h"
#include "library/mesh_stages.h"
#include "mcubes/error.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/pipeline/layered_segments.h"
#include "mesh/surface/degenerate_faces.h"
#include "volume/array_volume.h"
#include "volume/label_table.h"
#include "volume/number_text.h"
#include "volume/otsu_level.h"

#if defined(__linux__)
#include <sched.h>
#endif

using namespace mcubes::internal;

namespace mcubes {

namespace {

using Kind = Finding::Kind;

// Beyond this many, every label of a map is likely not what was meant (a
// map of random integers, or a scan read as labels).
constexpr std::size_t ManyLabels = 256;

}  // namespace

std::unique_ptr<VolumeReader> openArray(const Geometry& g, const ArrayView& view,
                                        std::int64_t firstSlice) {
  for (int a = 0; a < 3; ++a) {
    if (g.dims[a] < 1) {
      throw ArgumentError("the volume has " + std::to_string(g.dims[a]) + " voxels along axis " +
                          std::to_string(a) + "; it needs at least one along every axis");
    }
    bool finite = std::isfinite(g.origin[a]);
    for (int b = 0; b < 3; ++b) finite = finite && std::isfinite(g.axes[a][b]);
    if (!finite) throw ArgumentError("the geometry's origin and axes must be finite numbers");
  }
  for (int a = 0; a < 2; ++a) {
    if (g.dims[a] != view.dims[a]) {
      throw ArgumentError("the geometry's dims differ from the array's along axis " +
                          std::to_string(a));
    }
  }
  if (view.dims[2] < 1 || firstSlice < 0 || firstSlice + view.dims[2] > g.dims[2]) {
    throw ArgumentError("the array holds " + std::to_string(view.dims[2]) + " slices from slice " +
                        std::to_string(firstSlice) + " on, which a volume of " +
                        std::to_string(g.dims[2]) + " slices along axis 2 does not have");
  }
  return std::make_unique<ArrayVolume>(
      internalGeometry(g), VoxelArray{view.data,
                                      internalType(view.type),
                                      {view.strides[0], view.strides[1], view.strides[2]},
                                      firstSlice,
                                      view.dims[2]});
}

namespace {

std::string sourceName(const MeshRequest& request) {
  const auto* file = std::get_if<FileSource>(&request.source);
  return file ? file->path : "the array";
}

// The patient space asked for: the file's own, or RAS or LPS from the
// space the file states.
WorldSpace targetSpace(const MeshRequest& request, const VolumeHeader& header) {
  if (request.space == Space::File) return header.space;
  if (header.space == WorldSpace::Unstated) {
    throw ArgumentError("{space} " + std::string(request.space == Space::Ras ? "ras" : "lps") +
                        ": " + sourceName(request) +
                        " states no patient space (RAS or LPS) to convert from; leave out "
                        "{space}");
  }
  return request.space == Space::Ras ? WorldSpace::Ras : WorldSpace::Lps;
}

// Otsu's level of the volume, noted; the volume is read for it (once or
// twice, see volume/otsu_level.h) before it is meshed.
double otsuLevelOf(const MeshRequest& request, FindingList& findings) {
  const OtsuLevel otsu = otsuLevel([&] { return openSource(request); });
  const std::string name = sourceName(request);
  if (otsu.finiteVoxels == 0) {
    throw ArgumentError("{otsu}: " + name + " has no finite voxels to choose a level from");
  }
  if (std::isnan(otsu.level)) {
    throw ArgumentError("{otsu}: every finite voxel of " + name + " is " + numberText(otsu.least) +
                        ", so no level splits the data in two; give {level}");
  }
  findings.add(Kind::OtsuLevel, false,
               "Otsu's level " + numberText(otsu.level) + " (data " + numberText(otsu.least) +
                   " to " + numberText(otsu.most) + ": " + std::to_string(otsu.below) +
                   " voxels below it, mean " + numberText(otsu.meanBelow) + ", " +
                   std::to_string(otsu.finiteVoxels - otsu.below) + " above, mean " +
                   numberText(otsu.meanAbove) + "; a histogram of " +
                   (otsu.exact ? "one bin per value" : std::to_string(otsu.bins) + " bins") + ")");
  return otsu.level;
}

void runLevel(const MeshRequest& request, VolumeReader& reader, const Extractor& extract, Run& run,
              FindingList& findings) {
  const VolumeHeader& header = reader.header();
  internal::SurfaceOptions options = internalOptions(request.surface);
  options.isoLevel = run.report.level;
  SurfaceReport report;
  IndexedMesh mesh = extract ? extract(reader, options, report)
                             : volumeSurface(reader, options, report, progressOf(request.surface));
  addExtractionFindings(findings, report, run.report.level, request.surface, header.geometry);
  runStages(mesh, {request, header, run.space, findings, {}});
  run.surfaces.push_back({0, {}, std::move(mesh)});
}

void runLabels(const MeshRequest& request, VolumeReader& reader, Run& run, FindingList& findings) {
  const VolumeHeader& header = reader.header();
  const internal::SurfaceOptions options = internalOptions(request.surface);
  const LabelStyles styles(header, request.labelTable.empty() ? std::map<std::int64_t, LabelStyle>{}
                                                              : readLabelTable(request.labelTable));
  std::vector<std::int64_t> asked = *request.labels;
  for (const std::string& name : request.labelNames) {
    const std::optional<std::int64_t> label = styles.labelNamed(name);
    if (!label) {
      throw ArgumentError("{labels}: no label is named '" + name + "' in " +
                          (request.labelTable.empty() ? sourceName(request) : request.labelTable) +
                          "; give its number, or its name in {label_table}");
    }
    if (std::find(asked.begin(), asked.end(), *label) == asked.end()) asked.push_back(*label);
  }
  if (request.conforming && std::find(asked.begin(), asked.end(), 0) != asked.end()) {
    throw ArgumentError(
        "{labels} 0 with {conforming}: label 0 is the background, which the volume's outside "
        "belongs to, so it bounds no solid of its own; leave 0 out of {labels}");
  }
  SurfaceReport report;
  std::vector<LabelSurface> surfaces;
  try {
    const auto* file = std::get_if<FileSource>(&request.source);
    if (request.conforming) {
      if (header.layers > 1) {
        throw ArgumentError("{conforming}: the segments of " + sourceName(request) +
                            " overlap (it has layers), so they cannot fit together; mesh it "
                            "without {conforming}");
      }
      surfaces = conformingLabelSurfaces(reader, asked, options, request.finish.smoothIterations,
                                         request.finish.smoothPassband, request.interfaces, report,
                                         progressOf(request.surface));
    } else if (header.layers > 1 && file) {
      surfaces = segmentSurfaces(reader, file->path, styles.layered(), asked, options, report,
                                 progressOf(request.surface));
    } else {
      surfaces = labelSurfaces(reader, asked, options, report, progressOf(request.surface));
    }
  } catch (const VolumeError& error) {
    // A voxel that is no label: the caller's array, or the file.
    if (std::holds_alternative<ArraySource>(request.source)) throw ArgumentError(error.what());
    throw;
  }
  if (!report.absentLabels.empty()) {
    std::string absent;
    for (const std::int64_t label : report.absentLabels) {
      absent += (absent.empty() ? "" : ", ") + std::to_string(label);
    }
    findings.add(Kind::AbsentLabels, true,
                 "no voxel holds label " + absent + ", so it has no mesh");
  }
  if (surfaces.empty()) {
    findings.add(Kind::NoLabels, true, "the volume holds no label to mesh (0 is the background)");
  }
  if (asked.empty() && !request.interfaces && surfaces.size() > ManyLabels) {
    findings.add(Kind::ManyLabels, true,
                 "the volume holds " + std::to_string(surfaces.size()) +
                     " labels, each meshed on its own; is it a label map? Give {labels} a list "
                     "such as 1,2,5 to choose them");
  }
  for (LabelSurface& label : surfaces) {
    RunSurface surface{label.label, styles(label.label), std::move(label.mesh), label.beyond};
    const std::string named = "label " + std::to_string(label.label);
    if (label.beyond) {
      // An interface: "liver|kidney", label 0 as the background.
      surface.style.name +=
          "|" + (*label.beyond == 0 ? std::string("background") : styles(*label.beyond).name);
    }
    const std::string subject = surface.style.name == named || label.beyond
                                    ? surface.style.name
                                    : surface.style.name + " (" + named + ")";
    if (request.conforming && request.finish.smoothIterations > 0 && !label.beyond) {
      addSmoothed(findings, internalFinishing(request.finish, request.surface.normals), true,
                  label.volumeBeforeSmoothing, label.volumeAfterSmoothing, subject);
    }
    runStages(surface.mesh, {request, header, run.space, findings, subject});
    findings.add(Kind::LabelMeshed, false, std::to_string(surface.mesh.faces.size()) + " triangles",
                 subject);
    run.surfaces.push_back(std::move(surface));
  }
}

// The surface moved to the run's patient space on its way to `to`, its
// faces without area counted as they pass. Moved corners wait in a batch
// before they go: points put together and read back at once by the
// writer would stall its loads. Unmoved, they pass as they are.
class MovedStream : public SurfaceStream {
 public:
  MovedStream(SurfaceStream& to, const SpaceMove& move) : to_(to), move_(move) {}
  void vertex(const Point3& position, const Point3& normal) override {
    if (!move_.moves()) return to_.vertex(position, normal);
    to_.vertex(move_(position), move_(normal));
  }
  void face(const std::array<std::uint32_t, 3>& face, const Point3& p, const Point3& q,
            const Point3& r) override {
    ++faces;
    if (!move_.moves()) {
      flat += spansNoArea(p, q, r);
      return to_.face(face, p, q, r);
    }
    Held& held = held_[count_];
    held.face = face;
    held.corners[0] = move_(p);
    held.corners[1] = move_(q);
    held.corners[2] = move_(r);
    if (move_.turnsFaces()) {
      std::swap(held.face[1], held.face[2]);
      std::swap(held.corners[1], held.corners[2]);
    }
    if (++count_ == Batch) flush();
  }
  // Passes on the faces held.
  void flush() {
    for (std::size_t f = 0; f < count_; ++f) {
      const Held& held = held_[f];
      flat += spansNoArea(held.corners[0], held.corners[1], held.corners[2]);
      to_.face(held.face, held.corners[0], held.corners[1], held.corners[2]);
    }
    count_ = 0;
  }
  std::size_t faces = 0, flat = 0;

 private:
  static constexpr std::size_t Batch = 256;
  struct Held {
    std::array<std::uint32_t, 3> face;
    Point3 corners[3];
  };
  SurfaceStream& to_;
  SpaceMove move_;
  std::array<Held, Batch> held_;
  std::size_t count_ = 0;
};

}  // namespace

bool streams(const MeshRequest& request, const VolumeGeometry& geometry) {
  return !request.labels && request.surface.welded &&
         !finishes(internalFinishing(request.finish, request.surface.normals)) &&
         streamsSurface(geometry, internalOptions(request.surface));
}

Run runStreamed(const MeshRequest& request, VolumeReader& reader, const StreamedWrite& write) {
  checkRequest(request);
  if (!streams(request, reader.header().geometry)) {
    throw std::logic_error("runStreamed: the request needs the whole mesh");
  }
  FindingList findings(request.onFinding);
  Run run;
  try {
    const VolumeHeader& header = reader.header();
    beginRun(request, header, run, findings);
    internal::SurfaceOptions options = internalOptions(request.surface);
    options.isoLevel = run.report.level;
    SurfaceReport report;
    std::size_t faces = 0, flat = 0;
    write(run, [&](SurfaceStream& stream) {
      MovedStream moved(stream, spaceMove(header.space, run.space));
      streamSurface(reader, options, report, moved, progressOf(request.surface));
      moved.flush();
      faces = moved.faces;
      flat = moved.flat;
    });
    addExtractionFindings(findings, report, run.report.level, request.surface, header.geometry);
    addFlatFaces(findings, flat, faces);
  } catch (const VolumeError& error) {
    throw FileError(error.what(), error.file());
  }
  run.report.findings = findings.take();
  return run;
}

void checkRequest(const MeshRequest& request) {
  internalOptions(request.surface);
  const FinishingOptions finishing = internalFinishing(request.finish, request.surface.normals);
  if (finishes(finishing) && !request.surface.welded) {
    throw ArgumentError(
        "{keep_largest}, {min_component}, {smooth} and {decimate} need the welded mesh; leave "
        "out {unwelded}");
  }
  if (request.labels && !(request.surface.welded && request.surface.closed)) {
    throw ArgumentError("{labels} makes welded, closed meshes: leave out {unwelded}");
  }
  // The triangles as extracted have no caps: a request for both is
  // refused rather than answered with an open mesh.
  if (!request.surface.welded && request.surface.closed) {
    throw ArgumentError(
        "{unwelded} gives the triangles as extracted, each with its own vertices, and no caps: "
        "ask for {unclosed} with it, or leave out {unwelded} for a closed mesh");
  }
  if (request.interfaces && !request.conforming) {
    throw ArgumentError(
        "{interfaces} are the faces conforming labels share: give {conforming} too");
  }
  if (request.conforming) {
    if (!request.labels) {
      throw ArgumentError("{conforming} fits a label map's meshes together: give {labels} too");
    }
    if (finishing.keepLargest || finishing.minComponent > 0 || finishing.decimate < 1.0) {
      throw ArgumentError(
          "{conforming}: {keep_largest}, {min_component} and {decimate} change each label's "
          "mesh on its own, so the labels would no longer share their triangles; leave them "
          "out, or mesh without {conforming}");
    }
  }
}

int availableProcessors() {
#if defined(__linux__)
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
#endif
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware > 0 ? static_cast<int>(hardware) : 1;
}

SurfaceProgress progressOf(const SurfaceOptions& options) {
  if (!options.progress) return {};
  return [&options](const char*, std::int64_t done, std::int64_t total) {
    if (!options.progress(done, total)) throw Cancelled();
  };
}

std::unique_ptr<VolumeReader> openSource(const MeshRequest& request) {
  if (const auto* array = std::get_if<ArraySource>(&request.source)) {
    if (array->geometry.dims[2] != array->array.dims[2]) {
      throw ArgumentError("the geometry's dims differ from the array's along axis 2");
    }
    return openArray(array->geometry, array->array);
  }
  try {
    return openFile(std::get<FileSource>(request.source));
  } catch (const VolumeError& error) {
    throw FileError(error.what(), error.file());
  }
}

internal::SurfaceOptions internalOptions(const SurfaceOptions& options) {
  if (!std::isfinite(options.level)) {
    throw ArgumentError("level " + numberText(options.level) +
                        ": the iso level must be a finite number");
  }
  if (options.threads < 0 || options.threads > 1024) {
    throw ArgumentError("threads " + std::to_string(options.threads) +
                        ": give 1 to 1024, or 0 for one per processor");
  }
  internal::SurfaceOptions result;
  result.isoLevel = options.level;
  result.inside = options.inside.value_or(Inside::Above) == Inside::Below ? internal::Inside::Below
                                                                          : internal::Inside::Above;
  result.closed = options.closed;
  result.welded = options.welded;
  result.normals = options.normals;
  result.threads = options.threads > 0 ? options.threads : availableProcessors();
  return result;
}

FinishingOptions internalFinishing(const FinishOptions& options, bool normals) {
  if (options.minComponent < 0) throw ArgumentError("{min_component} must be 0 or more triangles");
  if (options.smoothIterations < 0) throw ArgumentError("{smooth} must be 0 or more iterations");
  if (!(options.smoothPassband > 0.0 && options.smoothPassband < 2.0)) {
    throw ArgumentError("{passband} must lie above 0 and below 2");
  }
  if (!(options.decimate > 0.0 && options.decimate <= 1.0)) {
    throw ArgumentError("{decimate} must lie above 0 and be at most 1");
  }
  FinishingOptions finishing;
  finishing.keepLargest = options.keepLargest;
  finishing.minComponent = options.minComponent;
  finishing.smoothIterations = options.smoothIterations;
  finishing.smoothPassband = options.smoothPassband;
  finishing.decimate = options.decimate;
  finishing.normals = normals;
  return finishing;
}

MeshResult meshResult(Run&& run) {
  MeshResult result;
  result.report = std::move(run.report);
  for (RunSurface& surface : run.surfaces) {
    result.surfaces.push_back({surface.label, surface.style.name, surface.style.colour,
                               surface.beyond, publicMesh(std::move(surface.mesh))});
  }
  return result;
}

Run runRequest(const MeshRequest& request,
               const std::function<void(const VolumeReader&)>& beforeWork) {
  checkRequest(request);
  const std::unique_ptr<VolumeReader> reader = openSource(request);
  if (beforeWork) beforeWork(*reader);
  return runOn(request, *reader);
}

void beginRun(const MeshRequest& request, const VolumeHeader& header, Run& run,
              FindingList& findings) {
  run.labels = request.labels.has_value();
  run.space = targetSpace(request, header);
  // Labels mesh every layer of a layered segmentation, not the first alone.
  if (!header.notice.empty() && !(run.labels && header.layers > 1)) {
    findings.add(Kind::Notice, false, header.notice);
  }
  const std::string name = sourceName(request);
  run.report.geometry = publicGeometry(header.geometry);
  run.report.space = run.space == WorldSpace::Unstated ? "" : worldSpaceName(run.space);
  if (run.labels) {
    run.report.comment = "mcubes mesh, " + name + ", in " + worldSpaceName(run.space);
    return;
  }
  run.report.level = request.otsu ? otsuLevelOf(request, findings) : request.surface.level;
  run.report.comment = "mcubes mesh, " + name + ", iso " + numberText(run.report.level) +
                       (request.otsu ? " (Otsu's)" : "") +
                       (request.surface.inside == Inside::Below ? ", inside below" : "") + ", in " +
                       worldSpaceName(run.space);
}

Run runOn(const MeshRequest& request, VolumeReader& reader, const Extractor& extract) {
  checkRequest(request);
  FindingList findings(request.onFinding);
  Run run;
  try {
    beginRun(request, reader.header(), run, findings);
    if (run.labels) {
      runLabels(request, reader, run, findings);
    } else {
      runLevel(request, reader, extract, run, findings);
    }
  } catch (const VolumeError& error) {
    throw FileError(error.what(), error.file());
  }
  run.report.findings = findings.take();
  return run;
}

}  // namespace mcubes
