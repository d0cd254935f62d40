#include "viewer/surface_view.h"

#include "viewer/surface_arrays.h"

void SurfaceView::update(const ViewState& state) {
  const bool stale = !extracted_ || (source_.animated() && state.tick != tick_) ||
                     state.divisions != divisions_ || state.iso.value() != iso_;
  if (stale) {
    closed_ = source_.extract(state, mesh_);
    extracted_ = true;
    tick_ = state.tick;
    divisions_ = state.divisions;
    iso_ = state.iso.value();
    flatCurrent_ = false;
    edgesCurrent_ = false;
  }
  if (!state.smoothNormals && !flatCurrent_) {
    buildFlatArrays(mesh_, flatVertices_, flatNormals_);
    flatCurrent_ = true;
  }
  if (state.wireframe && !edgesCurrent_) {
    buildEdgeList(mesh_, edges_);
    edgesCurrent_ = true;
  }
}
