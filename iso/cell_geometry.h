// The cell's geometry as the polygoniser and the samplers use it, public for
// the extractors that reproduce their results without going through them:
// where each corner sits, which corners each edge joins and in what order,
// and the per-axis corner arithmetic of the samplers. Part of
// iso/cell_operations.h (no include guard: see there).

// Corner c sits at the cell's lower corner plus these steps (0 or 1) along
// x, y and z (for a voxel lattice: along i, j and k).
inline constexpr int CornerSide[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1},
                                         {0, 1, 0}, {1, 1, 0}, {1, 1, 1}, {0, 1, 1}};

// Each edge's corners in the order they are handed to the interpolation:
// that order decides which end a near-iso edge snaps to.
inline constexpr int EdgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                           {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// The coordinate a fraction mu of the way from `from` to `to`, formed in
// double and rounded to float once: one axis of an edge vertex.
inline float interpolateCoordinate(float from, float to, double mu) {
  const double start = from;
  return static_cast<float>(start + (static_cast<double>(to) - start) * mu);
}

// Grid coordinates are world coordinates shifted by half the extent.
inline float worldCoordinate(float grid, float extent) {
  return static_cast<float>(static_cast<double>(grid) - static_cast<double>(extent) / 2.0);
}

// a - b formed in double and rounded to float once.
inline float floatDifference(float a, float b) {
  return static_cast<float>(static_cast<double>(a) - static_cast<double>(b));
}

inline CellAxis cellAxis(float centre, float offset, float halfEdge) {
  const double below = static_cast<double>(offset) - halfEdge;
  const double above = static_cast<double>(offset) + halfEdge;
  return {{static_cast<float>(static_cast<double>(centre) - halfEdge),
           static_cast<float>(static_cast<double>(centre) + halfEdge)},
          {below * below, above * above}};
}
