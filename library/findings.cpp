#include "library/findings.h"

#include <cstdio>

#include "mcubes/error.h"
#include "volume/argument_words.h"
#include "volume/number_text.h"

using namespace mcubes::internal;

namespace mcubes {

namespace {

using Kind = Finding::Kind;

std::string volumeChange(bool closed, double before, double after) {
  if (!closed) return "the mesh is not closed, so it encloses no volume";
  char text[96];
  std::snprintf(text, sizeof text, "enclosed volume %.4g -> %.4g (%+.2f %%)", before, after,
                before != 0 ? 100.0 * (after - before) / before : 0.0);
  return text;
}

std::string componentsLine(const FinishingReport& report, const FinishingOptions& options) {
  std::string line = std::to_string(report.components) +
                     (report.components == 1 ? " component; " : " components; ");
  if (report.trianglesAfter == 0 && report.trianglesBefore > 0) {
    return line + "dropped all: none has " + std::to_string(options.minComponent) + " triangles";
  }
  if (options.keepLargest) {
    return line + "kept the largest (" + std::to_string(report.largestComponent) + " triangles)";
  }
  return line + "dropped " + std::to_string(report.componentsDropped) + " with fewer than " +
         std::to_string(options.minComponent) + " triangles, " +
         std::to_string(report.trianglesDropped) + " triangles in all";
}

std::string decimationLine(const FinishingReport& report, const FinishingOptions& options,
                           const std::string& units) {
  char error[96];
  std::snprintf(error, sizeof error, "error %.2g (%.3g in %s)", report.decimationError,
                report.decimationWorldError, units.c_str());
  const std::size_t wanted = report.trianglesDecimatedTo;
  std::string line = "decimated " + std::to_string(report.trianglesDecimatedFrom) + " -> " +
                     std::to_string(report.trianglesAfter) + " triangles (" +
                     std::to_string(wanted) + " asked), " + error + "; " +
                     volumeChange(report.closed, report.volumeBeforeDecimation, report.volumeAfter);
  if (static_cast<double>(report.trianglesAfter) > 1.1 * static_cast<double>(wanted)) {
    line +=
        "; no more edges collapse without pinching the surface, turning a face over or "
        "making it cross another";
  }
  if (report.componentsDroppedAfterDecimation > 0) {
    line += "; then " + std::to_string(report.componentsDroppedAfterDecimation) +
            " parts left with fewer than " + std::to_string(options.minComponent) +
            " triangles dropped";
  }
  return line;
}

void addNoCells(FindingList& findings, const std::int64_t (&d)[3]) {
  std::string thin;
  int axes = 0;
  for (int a = 0; a < 3; ++a) {
    if (d[a] < 2) thin += (axes++ == 0 ? "" : " and ") + std::to_string(a);
  }
  findings.add(Kind::NoCells, true,
               "the volume is " + std::to_string(d[0]) + "x" + std::to_string(d[1]) + "x" +
                   std::to_string(d[2]) + " voxels: with one voxel along " +
                   (axes > 1 ? "axes " : "axis ") + thin +
                   " it has no cells (marching cubes needs two voxels or more along every "
                   "axis), so the mesh is empty");
}

}  // namespace

std::string Finding::message() const {
  return (warning ? "warning: " : "") + (subject.empty() ? "" : subject + ": ") +
         wordArguments(text, libraryWord);
}

void FindingList::add(Kind kind, bool warning, const std::string& text,
                      const std::string& subject) {
  findings_.push_back({kind, warning, subject, text});
  if (onFinding_) onFinding_(findings_.back());
}

void addExtractionFindings(FindingList& findings, const SurfaceReport& report, double level,
                           const SurfaceOptions& options, const VolumeGeometry& geometry) {
  const VolumeFindings& found = report.findings;
  if (found.cells == 0) return addNoCells(findings, geometry.dims);
  const bool above = options.inside.value_or(Inside::Above) == Inside::Above;
  const bool closed = options.welded && options.closed;
  if (found.nonFiniteVoxels > 0) {
    findings.add(Kind::NonFiniteVoxels, true,
                 std::to_string(found.nonFiniteVoxels) +
                     " voxels are NaN or infinite; they count as " +
                     (above ? "below every level" : "above every level (outside)") +
                     ", like the outside of the volume" +
                     (closed ? ", and the mesh is closed around them (where a voxel inside the "
                               "surface has two of them beside it, or one and the volume's "
                               "face, it can touch itself there)"
                             : ""));
  }
  const bool anyFinite = found.least <= found.most;
  const std::string range = " (" + numberText(found.least) + " to " + numberText(found.most) + ")";
  // Every finite voxel inside, or none.
  const bool allIn = above ? level <= found.least : level >= found.most;
  const bool noneIn = above ? level > found.most : level < found.least;
  if (anyFinite && allIn) {
    findings.add(Kind::EveryVoxelInside, true,
                 "the iso level " + numberText(level) + " is " +
                     (above ? "at or below" : "at or above") + " every voxel's value" + range +
                     (closed ? ", so the whole volume lies inside the surface and the mesh is "
                               "the closed box of the volume"
                             : ", so no cell is crossed and the mesh is empty (" +
                                   std::string(options.welded ? "{unclosed}" : "{unwelded}") +
                                   " has no caps)") +
                     "; choose a level between them");
  } else if (anyFinite && noneIn) {
    findings.add(Kind::NoVoxelInside, true,
                 "the iso level " + numberText(level) + " lies " + (above ? "above" : "below") +
                     " every voxel's value" + range +
                     ", so the mesh is empty; choose a level between them");
  }
  if (found.levelOnVoxels > 0) {
    findings.add(Kind::LevelOnVoxels, true,
                 "the iso level " + numberText(level) + " equals the value of voxels at " +
                     std::to_string(found.levelOnVoxels) +
                     " edge crossings; the surface passes through those voxels and can touch "
                     "itself there: a level between the data's values avoids it");
  }
  // The default inside closed the whole box around what lies below the
  // level: every voxel on the volume's six faces is inside and some voxel
  // is not. That is how a signed distance field (negative inside) comes
  // out. The sign is the faces' voxels alone, which every way of meshing
  // (mpirun's pieces too) sees alike.
  if (!options.inside && report.facesAllInside && found.least < level) {
    findings.add(Kind::BoxAroundCavity, true,
                 "the mesh is the volume's whole box around what lies below the level " +
                     numberText(level) +
                     " (every voxel on the volume's faces is at or above it): if the object is "
                     "where the values are below the level (a signed distance field, negative "
                     "inside), give {inside_below}");
  }
}

void finishNoting(IndexedMesh& mesh, const FinishingOptions& options, const VolumeGeometry& box,
                  const std::string& units, FindingList& findings, const std::string& subject) {
  if (!finishes(options) || mesh.faces.empty()) return;
  FinishingReport report;
  finishMesh(mesh, options, &box, report);
  if (options.keepLargest || options.minComponent > 0) {
    findings.add(Kind::Components, false, componentsLine(report, options), subject);
  }
  if (options.smoothIterations > 0) {
    addSmoothed(findings, options, report.closed, report.volumeBeforeSmoothing,
                report.volumeBeforeDecimation, subject);
  }
  if (options.decimate < 1.0) {
    findings.add(Kind::Decimated, false, decimationLine(report, options, units), subject);
  }
}

void addSmoothed(FindingList& findings, const FinishingOptions& options, bool closed, double before,
                 double after, const std::string& subject) {
  findings.add(Kind::Smoothed, false,
               "smoothed " + std::to_string(options.smoothIterations) + " iterations (pass band " +
                   numberText(options.smoothPassband) + "): " + volumeChange(closed, before, after),
               subject);
}

void addFlatFaces(FindingList& findings, std::size_t flat, std::size_t faces) {
  if (flat == 0) return;
  findings.add(Kind::FlatFaces, false,
               std::to_string(flat) + " of " + std::to_string(faces) +
                   " faces have no area (vertices snapped onto one point); they are kept, as "
                   "the mesh stays closed with them");
}

}  // namespace mcubes
