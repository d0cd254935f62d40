// Field samplers: each stores a cell's corner positions and adds its field to
// the corner values, so several fields can be summed in one cell.
#include "iso/isosurface.h"

namespace {

// Corner i sits at the cell centre plus these multiples of the half edge.
constexpr int CornerSigns[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
                                   {-1, 1, -1},  {1, 1, -1},  {1, 1, 1},  {-1, 1, 1}};

// Grid coordinates are world coordinates shifted by half the extent.
float worldCoordinate(float grid, float extent) {
  return static_cast<float>(static_cast<double>(grid) - static_cast<double>(extent) / 2.0);
}

double offset(float centre, int sign, float halfEdge) {
  return sign < 0 ? static_cast<double>(centre) - halfEdge : static_cast<double>(centre) + halfEdge;
}

// Stores the corners around the cell's world centre and hands each corner's
// value, with the corner's squared distance from the field's centre, to
// addToValue; `delta` is the cell centre's offset from the field's centre.
template <typename AddToValue>
void sampleCorners(GridCell& cell, float halfEdge, Point3 centre, Point3 delta,
                   AddToValue&& addToValue) {
  for (int corner = 0; corner < 8; ++corner) {
    const int* sign = CornerSigns[corner];
    cell.points[corner] = {static_cast<float>(offset(centre.x, sign[0], halfEdge)),
                           static_cast<float>(offset(centre.y, sign[1], halfEdge)),
                           static_cast<float>(offset(centre.z, sign[2], halfEdge))};
    const double dx = offset(delta.x, sign[0], halfEdge);
    const double dy = offset(delta.y, sign[1], halfEdge);
    const double dz = offset(delta.z, sign[2], halfEdge);
    const double squaredDistance = (dx * dx + dy * dy) + dz * dz;
    addToValue(cell.values[corner], squaredDistance);
  }
}

float difference(float a, float b) {
  return static_cast<float>(static_cast<double>(a) - static_cast<double>(b));
}

}  // namespace

void clearGridCell(GridCell& cell) {
  for (int corner = 0; corner < 8; ++corner) {
    cell.points[corner] = {0.0f, 0.0f, 0.0f};
    cell.values[corner] = 0.0;
  }
}

void sampleMetaball(GridCell& cell, float extent, float halfEdge, float strength, float x, float y,
                    float z, float ballX, float ballY, float ballZ) {
  const Point3 centre = {worldCoordinate(x, extent), worldCoordinate(y, extent),
                         worldCoordinate(z, extent)};
  const Point3 delta = {difference(centre.x, ballX), difference(centre.y, ballY),
                        difference(centre.z, ballZ)};
  const double s = strength;
  sampleCorners(cell, halfEdge, centre, delta, [s](double& value, double squaredDistance) {
    value += s / (squaredDistance + 1.0);
  });
}

void sampleSquaredDistance(GridCell& cell, float extent, float x, float y, float z, float centreX,
                           float centreY) {
  const Point3 centre = {worldCoordinate(x, extent), worldCoordinate(y, extent),
                         worldCoordinate(z, extent)};
  // The centre lies in the plane z = 0, so the z offset is measured from 0.
  const Point3 delta = {difference(centre.x, centreX), difference(centre.y, centreY),
                        difference(centre.z, 0.0f)};
  sampleCorners(cell, 0.5f, centre, delta,
                [](double& value, double squaredDistance) { value += squaredDistance; });
}
