// A volume's surface extracted away from the window's thread, so that the
// window keeps drawing and keys never wait behind a long extraction: one
// extraction at a time on a worker thread, the latest request replacing one
// not yet started. Where the build has no threads (the browser's without
// them) the request runs on the window's thread when its result is asked
// for, a frame after the one that asked.
#pragma once

#include <memory>
#include <vector>

#include "viewer/surface_arrays.h"
#include "viewer/surface_source.h"
#include "viewer/view_state.h"

struct Extraction {
  ViewState state;  // what it was made for
  mcubes::internal::IndexedMesh mesh;
  std::vector<Rgb> colours;
  bool closed = false;
  // The arrays that draw it with smooth normals.
  std::vector<ShadedVertex> smooth;
  ElementIndices faces;
  double milliseconds = 0.0;  // the extraction's own time, arrays included
};

// Extracts `state`'s surface from `source`, builds its arrays and times it.
void extractTimed(SurfaceSource& source, const ViewState& state, Extraction& extraction);

class BackgroundExtraction {
 public:
  explicit BackgroundExtraction(SurfaceSource& source);
  // Waits for an extraction under way.
  ~BackgroundExtraction();
  BackgroundExtraction(const BackgroundExtraction&) = delete;
  BackgroundExtraction& operator=(const BackgroundExtraction&) = delete;

  void request(const ViewState& state);
  // Moves the latest finished extraction into `done`; false if none
  // finished since the last one taken.
  bool take(Extraction& done);

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};
