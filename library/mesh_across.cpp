#include "library/mesh_across.h"

#include <filesystem>
#include <memory>
#include <system_error>

#include "library/findings.h"
#include "library/mesh_output.h"
#include "library/mesh_run.h"
#include "mcubes/error.h"
#include "mesh/distributed/volume_across.h"
#include "mesh/finishing/patient_space.h"
#include "mesh/surface/degenerate_faces.h"
#include "volume/output_file.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

// Whether the processes can write the mesh to `path` in pieces: binary PLY
// or STL to a regular file (or none yet), from a lattice whose points are
// distinct where the mesh is welded, with no finishing step (which needs
// the whole mesh).
bool writtenInPieces(const std::string& path, const OutputPlan& plan, const MeshRequest& request,
                     const WriteOptions& options, const VolumeGeometry& geometry,
                     const internal::SurfaceOptions& surface) {
  if (request.labels || finishes(internalFinishing(request.finish, surface.normals))) return false;
  if (!(plan.format == MeshFormat::Stl || (plan.format == MeshFormat::Ply && !options.ascii))) {
    return false;
  }
  if (path.empty() || path == "-") return false;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) return false;
  return weldableInPieces(geometry, surface);
}

// Each process writes its piece of the level's surface at its place.
MeshReport writeInPieces(Communicator& processes, const MeshRequest& request, VolumeReader& reader,
                         const std::string& path, const OutputPlan& plan) {
  FindingList findings(request.onFinding);
  Run run;
  const VolumeHeader& header = reader.header();
  beginRun(request, header, run, findings);
  internal::SurfaceOptions surface = internalOptions(request.surface);
  surface.isoLevel = run.report.level;
  SurfaceReport report;
  MeshPiece piece = volumeMeshPiece(processes, reader, surface, report, {});
  addExtractionFindings(findings, report, run.report.level, request.surface, header.geometry);
  moveToSpace(piece.mesh, header.space, run.space);
  if (request.surface.welded) {
    const ProcessSums flat = processes.sums({zeroAreaFaces(piece.mesh), piece.mesh.faces.size()});
    addFlatFaces(findings, flat.all[0], flat.all[1]);
  }
  writePieces(processes, path, plan.format, commentInSpace(run.report.comment, run.space), piece,
              surface.normals);
  run.report.findings = findings.take();
  return std::move(run.report);
}

}  // namespace

MeshReport meshVolumeAcross(Communicator& processes, const MeshRequest& request,
                            const std::string& path, const WriteOptions& options) {
  const OutputPlan plan = planOutput(path, options.format, labelsAsked(request));
  spaceNamed(options.space);
  refuseMissingNormals(plan, request.surface.normals);
  std::unique_ptr<VolumeReader> reader;
  processes.together([&] {
    checkRequest(request);
    reader = openSource(request);
    // Before the work: the volume's own files are known while it is open.
    if (const std::string refused = refusedOutput(plan.perLabel ? "" : path); !refused.empty()) {
      throw FileError(refused, path);
    }
  });
  internal::SurfaceOptions surface = internalOptions(request.surface);
  if (writtenInPieces(path, plan, request, options, reader->header().geometry, surface)) {
    MeshReport report;
    processes.together([&] { report = writeInPieces(processes, request, *reader, path, plan); });
    return report;
  }
  // Process 0 finishes and writes the gathered mesh; a label map it meshes
  // alone.
  MeshReport report;
  processes.together([&] {
    if (request.labels && processes.rank() != 0) return;
    Run run = runOn(
        request, *reader,
        [&](VolumeReader& volume, const internal::SurfaceOptions& settings, SurfaceReport& found) {
          return volumeMeshGathered(processes, volume, settings, found, {});
        });
    if (processes.rank() != 0) return;
    writeRun(path, plan, run,
             {options.comment.empty() ? run.report.comment : options.comment,
              spaceNamed(options.space.empty() ? run.report.space : options.space), options.ascii});
    report = std::move(run.report);
  });
  return report;
}

}  // namespace mcubes
