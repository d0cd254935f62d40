#include "viewer/surface_view.h"

#include <algorithm>

using namespace mcubes::internal;

SurfaceView::SurfaceView(SurfaceSource& source, bool progressive)
    : source_(source),
      animated_(source.describe().animated),
      progressive_(progressive),
      chooser_(source.describe().coarsestVoxelStride, ProgressiveBudgetMs),
      background_(source) {}

bool SurfaceView::sameSurface(const ViewState& a, const ViewState& b) const {
  const auto visible = [](const ShownLabel& l, const ShownLabel& m) {
    return l.value == m.value && l.visible == m.visible;
  };
  return (!animated_ || a.tick == b.tick) && a.divisions == b.divisions &&
         a.voxelStride == b.voxelStride && a.iso.value() == b.iso.value() && a.caps == b.caps &&
         std::equal(a.labels.begin(), a.labels.end(), b.labels.begin(), b.labels.end(), visible);
}

bool SurfaceView::current(const ViewState& state) const {
  return extracted_ && sameSurface(shown_, state);
}

void SurfaceView::show(Extraction& extraction) {
  if (extracted_) {
    // The surface shown so far is kept: a drag's coarser level and the full
    // detail after it take turns without being extracted again.
    kept_ = Extraction{std::move(shown_),
                       std::move(mesh_),
                       std::move(colours_),
                       closed_,
                       std::move(smooth_),
                       std::move(faces_),
                       0.0};
  }
  mesh_ = std::move(extraction.mesh);
  colours_ = std::move(extraction.colours);
  closed_ = extraction.closed;
  shown_ = std::move(extraction.state);
  smooth_ = std::move(extraction.smooth);
  faces_ = std::move(extraction.faces);
  extracted_ = true;
  flatCurrent_ = false;
  edgesCurrent_ = false;
}

bool SurfaceView::showMade(const ViewState& wanted) {
  if (current(wanted)) return true;
  if (!kept_.has_value() || !sameSurface(kept_->state, wanted)) return false;
  Extraction kept = std::move(*kept_);
  kept_.reset();
  show(kept);
  return true;
}

void SurfaceView::update(const ViewState& state) {
  // While a drag turns the camera, the level that extracts quickly enough
  // also draws quickly enough.
  ViewState wanted = state;
  if (progressive_ && state.dragging) wanted.voxelStride = chooser_.choose(state.voxelStride);
  Extraction done;
  if (background_.take(done)) {
    chooser_.record(done.state.voxelStride, done.milliseconds);
    if (sameSurface(done.state, requested_)) awaiting_ = false;
    if (sameSurface(done.state, wanted)) {
      show(done);
    } else if (sameSurface(done.state, state)) {
      kept_ = std::move(done);
    }
  }
  if (!showMade(wanted)) {
    // A surface of its own at once, at the level of detail that fits; the
    // wanted one follows from the worker unless it is already being made.
    ViewState first = wanted;
    if (progressive_) first.voxelStride = chooser_.choose(wanted.voxelStride);
    if (!showMade(first)) {
      Extraction now;
      extractTimed(source_, first, now);
      chooser_.record(first.voxelStride, now.milliseconds);
      show(now);
    }
    if (!sameSurface(first, wanted) && !(awaiting_ && sameSurface(requested_, wanted))) {
      background_.request(wanted);
      requested_ = wanted;
      awaiting_ = true;
    }
  }
  if (!state.smoothNormals && !flatCurrent_) {
    buildFlatArray(mesh_, flat_);
    flatColours_.clear();
    if (!colours_.empty()) {
      for (const auto& face : mesh_.faces) {
        for (const std::uint32_t corner : face) flatColours_.push_back(colours_[corner]);
      }
    }
    flatCurrent_ = true;
  }
  if (state.wireframe && !edgesCurrent_) {
    buildEdgeIndices(mesh_, edges_);
    edgesCurrent_ = true;
  }
}
