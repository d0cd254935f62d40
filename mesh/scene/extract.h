// The scene's surface at any number of divisions and any positive iso level.
// The triangles are, bit for bit and in the same order, those of the literal
// per-cell sweep over the grid (each cell cleared, both balls sampled at its
// eight corners, the cell polygonised): at 16 divisions and the scene's iso
// level, the demo's frame. Only the cells that the
// surface can cross are sampled exactly; the rest are ruled out by bounds.
#pragma once

#include <cstdint>
#include <functional>

#include "mesh/scene/crossed_cells.h"
#include "mesh/surface/surface.h"
#include "mesh/surface/welded_parts.h"
#include "scene/scene.h"

namespace mcubes::internal {

struct ExtractionSettings {
  std::int32_t divisions = GridDivisions;  // MinDivisions ... MaxDivisions
  double isoLevel = SceneIsoLevel;         // any positive value
  int threads = 1;                         // 1 or more; the result does not depend on it
  VectorUnit vectorUnit = fastestVectorUnit();
  bool edgeKeys = false;  // also name each vertex's grid edge
};

// Called on the calling thread after each slab of cells at one x, with the
// slabs done so far and the total.
using SlabProgress = std::function<void(std::int32_t done, std::int32_t total)>;

// Every triangle of the scene at the balls' positions. Besides the
// triangles, memory grows with divisions squared at most (per-axis tables,
// one row per thread, a bounded number of finished slabs waiting for their
// turn when threads run ahead).
ExtractedSurface extractSurface(const BallCentres& balls, const ExtractionSettings& settings,
                                const SlabProgress& progress = {});

// The same into `surface`, whose old contents go but whose capacity stays:
// for callers that extract again and again, such as the benchmark.
void extractSurfaceInto(const BallCentres& balls, const ExtractionSettings& settings,
                        ExtractedSurface& surface, const SlabProgress& progress = {});

// The same triangles welded as the slabs are swept: each grid edge's vertex
// numbered where a face first uses it, at the position that face's cell
// computed, faces wound outward (mesh/surface/welded_parts.h). The part's mesh is
// the one welding the soup by its edge keys gives (tests/mesh/oracles); its faceEdges
// name the vertices on the grid's outer faces as the caps of the grid's box
// as a volume of its cell corners number them (mesh/scene/scene_caps.h).
WeldedPart weldSceneSurface(const BallCentres& balls, const ExtractionSettings& settings,
                            const SlabProgress& progress = {});

}  // namespace mcubes::internal
