#include <chrono>

#include "viewer/background_extraction.h"

using namespace mcubes::internal;

void extractTimed(SurfaceSource& source, const ViewState& state, Extraction& extraction) {
  const auto start = std::chrono::steady_clock::now();
  extraction.state = state;
  extraction.closed = source.extract(state, extraction.mesh, extraction.colours);
  buildSmoothArray(extraction.mesh, extraction.smooth);
  buildFaceIndices(extraction.mesh, extraction.faces);
  extraction.milliseconds =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
