#include "viewer/surface_view.h"

void SurfaceView::update(const ViewState& state) {
  const bool stale = !extracted_ || (animated_ && state.tick != tick_) ||
                     state.divisions != divisions_ || state.voxelStride != voxelStride_ ||
                     state.iso.value() != iso_;
  if (stale) {
    closed_ = source_.extract(state, mesh_);
    buildSmoothArray(mesh_, smooth_);
    buildFaceIndices(mesh_, faces_);
    extracted_ = true;
    tick_ = state.tick;
    divisions_ = state.divisions;
    voxelStride_ = state.voxelStride;
    iso_ = state.iso.value();
    flatCurrent_ = false;
    edgesCurrent_ = false;
  }
  if (!state.smoothNormals && !flatCurrent_) {
    buildFlatArray(mesh_, flat_);
    flatCurrent_ = true;
  }
  if (state.wireframe && !edgesCurrent_) {
    buildEdgeIndices(mesh_, edges_);
    edgesCurrent_ = true;
  }
}
