#include "mesh/volume/box_faces.h"

#include <cmath>

namespace mcubes::internal {

BoxFaces boxFaces(const PointArray& vertices, const VolumeGeometry& box) {
  BoxFaces faces;
  const double(&a)[3][3] = box.axes;
  // m[r][c] = axes[c][r]; its inverse is the adjugate (the transposed
  // cofactors, here by cyclic indices) over the determinant.
  const double m[3][3] = {
      {a[0][0], a[1][0], a[2][0]}, {a[0][1], a[1][1], a[2][1]}, {a[0][2], a[1][2], a[2][2]}};
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
      faces.toIndex[r][c] = (m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1]) / det;
    }
  }
  faces.ofVertex.assign(vertices.size(), 0);
  for (std::size_t v = 0; v < vertices.size(); ++v) {
    double index[3];
    indexCoordinates(faces, box, vertices[v], index);
    std::uint8_t bits = 0;
    for (int i = 0; i < 3; ++i) {
      if (std::fabs(index[i]) <= OnBoxFaceTolerance)
        bits |= static_cast<std::uint8_t>(1u << (2 * i));
      if (std::fabs(index[i] - static_cast<double>(box.dims[i] - 1)) <= OnBoxFaceTolerance) {
        bits |= static_cast<std::uint8_t>(2u << (2 * i));
      }
    }
    faces.ofVertex[v] = bits;
  }
  return faces;
}

void indexCoordinates(const BoxFaces& faces, const VolumeGeometry& box, const Point3& p,
                      double (&index)[3]) {
  const double d[3] = {p.x - box.origin[0], p.y - box.origin[1], p.z - box.origin[2]};
  for (int i = 0; i < 3; ++i) {
    index[i] = faces.toIndex[i][0] * d[0] + faces.toIndex[i][1] * d[1] + faces.toIndex[i][2] * d[2];
  }
}

}  // namespace mcubes::internal
