// The surface as the current state shows it, kept between frames: a new
// extraction only when the clock (of an animated source), the divisions, the
// level of detail, the iso level, the caps or the labels shown changed, the
// flat and wireframe arrays only while those modes are on.
//
// Progressive (a volume's surface): a change shows at once the finest level
// of detail that recent timings say takes at most ProgressiveBudgetMs to
// extract (viewer/detail_chooser.h), and, where that is coarser than the
// state's, the state's own level follows from a worker thread (its arrays
// built there too). While a drag turns the camera that coarser level is
// drawn, not a full detail too slow to draw; the surface shown before the
// current one is kept, so the two take turns without being made again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mesh/surface/weld.h"
#include "viewer/background_extraction.h"
#include "viewer/detail_chooser.h"
#include "viewer/surface_arrays.h"
#include "viewer/surface_source.h"
#include "viewer/view_state.h"

constexpr double ProgressiveBudgetMs = 50.0;

class SurfaceView {
 public:
  SurfaceView(SurfaceSource& source, bool progressive);

  // Brings everything the state draws up to date.
  void update(const ViewState& state);

  // The mesh's vertices with their normals and its faces.
  const std::vector<ShadedVertex>& smoothVertices() const { return smooth_; }
  const ElementIndices& faceIndices() const { return faces_; }
  // Valid while flat normals are on.
  const std::vector<ShadedVertex>& flatVertices() const { return flat_; }
  // Valid while the wireframe is on: into the smooth vertices.
  const ElementIndices& edgeIndices() const { return edges_; }
  // One colour per smooth vertex, and per flat one while flat normals are
  // on; empty where the surface has one colour.
  const std::vector<Rgb>& smoothColours() const { return colours_; }
  const std::vector<Rgb>& flatColours() const { return flatColours_; }
  std::size_t triangles() const { return mesh_.faces.size(); }
  // Certainly closed: back faces never show.
  bool closed() const { return closed_; }
  // The state the surface shown was made for (at a coarser level of detail
  // than the state's while its own is being made), and whether that is the
  // state's own surface.
  const ViewState& shown() const { return shown_; }
  bool current(const ViewState& state) const;

 private:
  bool sameSurface(const ViewState& a, const ViewState& b) const;
  void show(Extraction& extraction);
  // Shows `wanted` if it is shown or kept; false where it must be made.
  bool showMade(const ViewState& wanted);

  SurfaceSource& source_;
  bool animated_;
  bool progressive_;
  DetailChooser chooser_;
  BackgroundExtraction background_;
  ViewState requested_;  // of the background, while awaited
  bool awaiting_ = false;
  std::optional<Extraction> kept_;  // the surface shown before this one
  mcubes::internal::IndexedMesh mesh_;
  std::vector<ShadedVertex> smooth_;
  ElementIndices faces_;
  std::vector<ShadedVertex> flat_;
  ElementIndices edges_;
  std::vector<Rgb> colours_;
  std::vector<Rgb> flatColours_;

  // What the arrays were made for.
  bool extracted_ = false;
  bool closed_ = false;
  ViewState shown_;
  bool flatCurrent_ = false;
  bool edgesCurrent_ = false;
};
