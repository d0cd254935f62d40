// The cell polygoniser: classify the corners, look the case up, place one
// vertex on each crossed edge, emit the case's triangles. Defined inline (see
// iso/isosurface.h). Part of iso/cell_operations.h (no include guard).

namespace iso_internal {

// A difference counts as zero when its single-precision magnitude is below
// this 64-bit constant; the rounding to float moves the effective cut-off a
// little above 0.00001.
inline constexpr double SnapDistance = 0.00001;

inline bool nearlyEqual(double a, double b) {
  return std::fabs(static_cast<float>(a - b)) < SnapDistance;
}

}  // namespace iso_internal

inline bool withinSnapTolerance(double a, double b) { return iso_internal::nearlyEqual(a, b); }

inline Point3 interpolateEdgeVertex(double isoLevel, Point3 p1, Point3 p2, double value1,
                                    double value2) {
  if (iso_internal::nearlyEqual(isoLevel, value1)) return p1;
  if (iso_internal::nearlyEqual(isoLevel, value2)) return p2;
  if (iso_internal::nearlyEqual(value1, value2)) return p1;
  // Values near the ends of the double range can lie a difference apart that
  // overflows. The quotient is then taken of the halved values instead, whose
  // differences fit; every other edge keeps the plain quotient, bit for bit.
  // An infinite end (a volume's NaN and infinite voxels come as -infinity,
  // below every level) puts the vertex exactly on the other end, where the
  // interpolation tends to, instead of inf / inf.
  const double span = value2 - value1;
  if (!std::isfinite(span)) {
    if (std::isinf(value1)) return p2;
    if (std::isinf(value2)) return p1;
  }
  const double mu = std::isfinite(span) ? (isoLevel - value1) / span
                                        : (isoLevel / 2 - value1 / 2) / (value2 / 2 - value1 / 2);
  return {interpolateCoordinate(p1.x, p2.x, mu), interpolateCoordinate(p1.y, p2.y, mu),
          interpolateCoordinate(p1.z, p2.z, mu)};
}

namespace iso_internal {

// The fraction of the way from value1 to value2 where the level lies, as
// both interpolations take it: the plain quotient, or that of the halved
// values where the difference overflows.
inline double edgeFraction(double isoLevel, double value1, double value2) {
  const double span = value2 - value1;
  return std::isfinite(span) ? (isoLevel - value1) / span
                             : (isoLevel / 2 - value1 / 2) / (value2 / 2 - value1 / 2);
}

// The float next to `end` toward `other` (`end` itself where they agree).
inline float offTheEnd(float end, float other) { return std::nextafter(end, other); }

}  // namespace iso_internal

inline Point3 interpolateVolumeEdgeVertex(double isoLevel, Point3 p1, Point3 p2, double value1,
                                          double value2) {
  if (isoLevel == value1) return p1;
  if (isoLevel == value2) return p2;
  if (value1 == value2) return p1;
  if (!std::isfinite(value2 - value1)) {
    if (std::isinf(value1)) return p2;
    if (std::isinf(value2)) return p1;
  }
  const double mu = iso_internal::edgeFraction(isoLevel, value1, value2);
  Point3 p = {interpolateCoordinate(p1.x, p2.x, mu), interpolateCoordinate(p1.y, p2.y, mu),
              interpolateCoordinate(p1.z, p2.z, mu)};
  // Rounded onto an end although the level is not its value: the float
  // next to that end toward the other, along each coordinate the ends do
  // not share.
  const auto at = [&p](const Point3& end) { return p.x == end.x && p.y == end.y && p.z == end.z; };
  if (at(p1) || at(p2)) {
    const Point3& end = at(p1) ? p1 : p2;
    const Point3& other = at(p1) ? p2 : p1;
    p = {iso_internal::offTheEnd(end.x, other.x), iso_internal::offTheEnd(end.y, other.y),
         iso_internal::offTheEnd(end.z, other.z)};
  }
  return p;
}

namespace iso_internal {

// The cell polygonised with `Interpolate` placing the edges' vertices.
template <Point3 (*Interpolate)(double, Point3, Point3, double, double)>
inline CellTriangles polygoniseWith(const GridCell& cell, double isoLevel, Triangle* triangles) {
  int caseIndex = 0;
  for (int corner = 0; corner < 8; ++corner) {
    if (cell.values[corner] < isoLevel) caseIndex |= 1 << corner;
  }
  const std::int32_t edgeMask = CaseEdgeMasks[caseIndex];
  if (edgeMask == 0) return {0, caseIndex};

  // Only the crossed edges are interpolated; the case's triangles name no
  // other edge, so the rest of the list is never read.
  Point3 edgeVertices[12];
  for (int edge = 0; edge < 12; ++edge) {
    if (edgeMask & (1 << edge)) {
      const int first = EdgeCorners[edge][0];
      const int second = EdgeCorners[edge][1];
      edgeVertices[edge] = Interpolate(isoLevel, cell.points[first], cell.points[second],
                                       cell.values[first], cell.values[second]);
    }
  }

  const std::int32_t* row = CaseTriangles[caseIndex];
  int count = 0;
  for (int i = 0; row[i] != -1; i += 3) {
    triangles[count] = {{edgeVertices[row[i]], edgeVertices[row[i + 1]], edgeVertices[row[i + 2]]}};
    ++count;
  }
  return {count, caseIndex};
}

}  // namespace iso_internal

inline CellTriangles polygoniseCell(GridCell cell, double isoLevel, Triangle* triangles) {
  return iso_internal::polygoniseWith<interpolateEdgeVertex>(cell, isoLevel, triangles);
}

inline CellTriangles polygoniseVolumeCell(GridCell cell, double isoLevel, Triangle* triangles) {
  return iso_internal::polygoniseWith<interpolateVolumeEdgeVertex>(cell, isoLevel, triangles);
}

inline int triangulateCell(GridCell cell, double isoLevel, Triangle* triangles) {
  return polygoniseCell(cell, isoLevel, triangles).count;
}
