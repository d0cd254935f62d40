// The scene's grid at any number of divisions: the same extent as the
// demo's frame, N + 1 cell centres per axis (the bound inclusive), each cell
// one step wide. At 16 divisions it is the frame's grid exactly.
#pragma once

#include <cstdint>

#include "scene/scene.h"

namespace mcubes::internal {

constexpr std::int32_t MinDivisions = 1;
constexpr std::int32_t MaxDivisions = 2048;

struct SceneGrid {
  std::int32_t divisions;
  float step;      // extent / divisions, in float
  float halfEdge;  // step / 2, in float

  // Cell i's grid coordinate, i = 0 ... divisions: i * extent / divisions
  // formed in double and rounded to float once, so that no error accumulates
  // along the axis as it would with a float counter.
  float coordinate(std::int32_t i) const {
    return static_cast<float>(static_cast<double>(i) * GridExtent / static_cast<double>(divisions));
  }
};

inline SceneGrid sceneGrid(std::int32_t divisions) {
  const float step = static_cast<float>(GridExtent) / static_cast<float>(divisions);
  return {divisions, step, step / 2.0f};
}

}  // namespace mcubes::internal
