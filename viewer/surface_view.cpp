#include "viewer/surface_view.h"

namespace {

std::vector<bool> labelsVisible(const ViewState& state) {
  std::vector<bool> visible;
  for (const ShownLabel& label : state.labels) visible.push_back(label.visible);
  return visible;
}

}  // namespace

void SurfaceView::update(const ViewState& state) {
  const bool stale = !extracted_ || (animated_ && state.tick != tick_) ||
                     state.divisions != divisions_ || state.voxelStride != voxelStride_ ||
                     state.iso.value() != iso_ || state.caps != caps_ ||
                     labelsVisible(state) != labelsVisible_;
  if (stale) {
    closed_ = source_.extract(state, mesh_, colours_);
    buildSmoothArray(mesh_, smooth_);
    buildFaceIndices(mesh_, faces_);
    extracted_ = true;
    tick_ = state.tick;
    divisions_ = state.divisions;
    voxelStride_ = state.voxelStride;
    iso_ = state.iso.value();
    caps_ = state.caps;
    labelsVisible_ = labelsVisible(state);
    flatCurrent_ = false;
    edgesCurrent_ = false;
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
