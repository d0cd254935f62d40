// What the pipeline's stages report, as the findings a run hands its
// caller, worded once for every front end (arguments as {name} tokens).
#pragma once

#include <string>
#include <vector>

#include "mcubes/meshing.h"
#include "mesh/finishing/finishing.h"
#include "mesh/pipeline/surface_pipeline.h"

namespace mcubes {

// The findings of a run, told to the caller's callback as they come.
class FindingList {
 public:
  explicit FindingList(std::function<void(const Finding&)> onFinding = {})
      : onFinding_(std::move(onFinding)) {}

  void add(Finding::Kind kind, bool warning, const std::string& text,
           const std::string& subject = {});
  std::vector<Finding> take() { return std::move(findings_); }

 private:
  std::function<void(const Finding&)> onFinding_;
  std::vector<Finding> findings_;
};

// What the extraction saw of the data at `level`; `insideAsked`: whether
// the caller chose the inside (else the caps covering the box is noted).
void addExtractionFindings(FindingList& findings, const internal::SurfaceReport& report,
                           double level, const SurfaceOptions& options,
                           const internal::VolumeGeometry& geometry);

// Applies the finishing steps asked for to `mesh` and notes what they did,
// of `subject` if given (a label); `units`: what the mesh's coordinates are
// in ("the volume's units"). `box`: the volume's or grid's box, whose faces
// the caps stay on.
void finishNoting(internal::IndexedMesh& mesh, const internal::FinishingOptions& options,
                  const internal::VolumeGeometry& box, const std::string& units,
                  FindingList& findings, const std::string& subject = {});

// The smoothing of `subject` (or of the mesh) and its enclosed volume's
// change, where the mesh is `closed`.
void addSmoothed(FindingList& findings, const internal::FinishingOptions& options, bool closed,
                 double before, double after, const std::string& subject = {});

// Faces of no area where snapped vertices met, which the mesh keeps.
void addFlatFaces(FindingList& findings, std::size_t flat, std::size_t faces);

}  // namespace mcubes
