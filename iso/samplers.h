// Field samplers: each stores a cell's corner positions and adds its field to
// the corner values, so several fields can be summed in one cell. Defined
// inline (see iso/isosurface.h). Part of
// iso/cell_operations.h (no include guard).

namespace iso_internal {

// Stores the corners and hands each corner's value, with the corner's
// squared distance from the field's centre, to addToValue.
template <typename AddToValue>
void sampleCorners(GridCell& cell, const CellAxis& x, const CellAxis& y, const CellAxis& z,
                   AddToValue&& addToValue) {
  for (int corner = 0; corner < 8; ++corner) {
    const int* side = CornerSide[corner];
    cell.points[corner] = {x.corner[side[0]], y.corner[side[1]], z.corner[side[2]]};
    addToValue(cell.values[corner], (x.square[side[0]] + y.square[side[1]]) + z.square[side[2]]);
  }
}

}  // namespace iso_internal

inline void clearGridCell(GridCell& cell) {
  for (int corner = 0; corner < 8; ++corner) {
    cell.points[corner] = {0.0f, 0.0f, 0.0f};
    cell.values[corner] = 0.0;
  }
}

inline void sampleMetaball(GridCell& cell, float extent, float halfEdge, float strength, float x,
                           float y, float z, float ballX, float ballY, float ballZ) {
  const float centreX = worldCoordinate(x, extent);
  const float centreY = worldCoordinate(y, extent);
  const float centreZ = worldCoordinate(z, extent);
  const double s = strength;
  iso_internal::sampleCorners(
      cell, cellAxis(centreX, floatDifference(centreX, ballX), halfEdge),
      cellAxis(centreY, floatDifference(centreY, ballY), halfEdge),
      cellAxis(centreZ, floatDifference(centreZ, ballZ), halfEdge),
      [s](double& value, double squaredDistance) { value += s / (squaredDistance + 1.0); });
}

inline void sampleSquaredDistance(GridCell& cell, float extent, float x, float y, float z,
                                  float centreX, float centreY) {
  const float worldX = worldCoordinate(x, extent);
  const float worldY = worldCoordinate(y, extent);
  const float worldZ = worldCoordinate(z, extent);
  // The centre lies in the plane z = 0, so the z offset is measured from 0.
  iso_internal::sampleCorners(
      cell, cellAxis(worldX, floatDifference(worldX, centreX), 0.5f),
      cellAxis(worldY, floatDifference(worldY, centreY), 0.5f),
      cellAxis(worldZ, floatDifference(worldZ, 0.0f), 0.5f),
      [](double& value, double squaredDistance) { value += squaredDistance; });
}
