// libFuzzer harness for the cell polygoniser: any bytes make a cell (eight
// points, eight values) and an iso level, which triangulateCell must turn
// into 0 to 5 triangles whose vertices each lie on the crossed edge that the
// case names, snapped to an end exactly as the snap rules say, on the other
// end where one value is infinite, and never NaN or infinite when the input
// is finite. A failed check aborts, which
// libFuzzer reports as a finding with the input that caused it.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "iso/isosurface.h"
#include "tests/iso/cube_geometry.h"

namespace {

void check(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "cell_fuzz: %s\n", what);
    std::abort();
  }
}

bool same(const Point3& a, const Point3& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool finite(const Point3& p) {
  return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

// A difference that the polygoniser treats as zero: below 0.00001 once
// rounded to a float.
bool snaps(double difference) { return std::fabs(static_cast<float>(difference)) < 0.00001; }

// Whether `v` lies on the segment from `p` to `q`, allowing for rounding: the
// difference of two floats of very different size is itself rounded in
// double precision, so a coordinate may miss the segment by a few float
// steps at the size of the largest coordinate.
bool onSegment(const Point3& v, const Point3& p, const Point3& q) {
  const double pv[3] = {p.x, p.y, p.z};
  const double qv[3] = {q.x, q.y, q.z};
  const double vv[3] = {v.x, v.y, v.z};
  int longest = 0;
  double scale = 0.0;
  for (int k = 0; k < 3; ++k) {
    if (std::fabs(qv[k] - pv[k]) > std::fabs(qv[longest] - pv[longest])) longest = k;
    scale = std::fmax(scale, std::fmax(std::fabs(pv[k]), std::fabs(qv[k])));
  }
  const double tolerance = scale * 0x1p-21 + 0x1p-146;
  for (int k = 0; k < 3; ++k) {
    if (vv[k] < std::fmin(pv[k], qv[k]) - tolerance ||
        vv[k] > std::fmax(pv[k], qv[k]) + tolerance) {
      return false;
    }
  }
  const double span = qv[longest] - pv[longest];
  if (span == 0.0) return true;  // p == q: the box is the point
  const double t = (vv[longest] - pv[longest]) / span;
  for (int k = 0; k < 3; ++k) {
    if (std::fabs(vv[k] - (pv[k] + t * (qv[k] - pv[k]))) > 2 * tolerance) return false;
  }
  return true;
}

// Whether `v` is where the linear interpolation of the values p at `first`
// and q at `second` reaches the level, up to rounding. Worked out in long
// double, whose wider exponent keeps differences of huge values finite.
bool atLevel(const Point3& v, double level, const Point3& first, const Point3& second, double p,
             double q) {
  const long double mu = (static_cast<long double>(level) - p) / (static_cast<long double>(q) - p);
  const double pv[3] = {first.x, first.y, first.z};
  const double qv[3] = {second.x, second.y, second.z};
  const double vv[3] = {v.x, v.y, v.z};
  for (int k = 0; k < 3; ++k) {
    const long double expected = pv[k] + (static_cast<long double>(qv[k]) - pv[k]) * mu;
    const double tolerance = std::fmax(std::fabs(pv[k]), std::fabs(qv[k])) * 0x1p-21 + 0x1p-146;
    if (std::fabs(static_cast<double>(vv[k] - expected)) > tolerance) return false;
  }
  return true;
}

// The vertex that the snap rules put on an edge with values p and q, or
// nullptr when neither end is taken and the vertex is interpolated.
const Point3* snappedEnd(double level, const Point3& first, const Point3& second, double p,
                         double q) {
  if (snaps(level - p)) return &first;
  if (snaps(level - q)) return &second;
  if (snaps(p - q)) return &first;
  return nullptr;
}

// The vertex of one edge: the snapped end when a rule applies, otherwise a
// point of the segment; finite when the input is; and, with crossed values,
// always on the segment.
void checkEdgeVertex(const Point3& vertex, double level, const Point3& first, const Point3& second,
                     double p, double q, bool finiteInput) {
  const bool crossed = (p < level) != (q < level);
  if (const Point3* end = snappedEnd(level, first, second, p, q)) {
    check(same(vertex, *end), "an edge vertex is not the end that the snap rules choose");
    return;
  }
  // An infinite end (a volume's NaN and infinite voxels come as -infinity)
  // leaves the vertex on the other end.
  if (std::isinf(p)) {
    check(same(vertex, second), "an edge from an infinite value has its vertex off the other end");
    return;
  }
  if (std::isinf(q)) {
    check(same(vertex, first), "an edge to an infinite value has its vertex off the other end");
    return;
  }
  if (!finiteInput || !crossed) return;
  check(finite(vertex), "a crossed edge's vertex is NaN or infinite for finite input");
  check(onSegment(vertex, first, second), "a crossed edge's vertex is off the edge");
  check(atLevel(vertex, level, first, second, p, q),
        "a crossed edge's vertex is not where the values reach the level");
}

struct Input {
  GridCell cell;
  double level;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{};
  std::memcpy(&in, data, std::min(size, sizeof in));
  const GridCell& cell = in.cell;

  bool finiteInput = std::isfinite(in.level);
  int caseIndex = 0;
  for (int i = 0; i < 8; ++i) {
    finiteInput = finiteInput && finite(cell.points[i]) && std::isfinite(cell.values[i]);
    if (cell.values[i] < in.level) caseIndex |= 1 << i;
  }

  // One spare triangle beyond the five that the caller must provide.
  Triangle out[6];
  Triangle before[6];
  std::memset(out, 0xa5, sizeof out);
  std::memcpy(before, out, sizeof out);
  const int count = triangulateCell(cell, in.level, out);

  check(count >= 0 && count <= 5, "the triangle count is outside 0..5");
  check(std::memcmp(out + count, before + count, sizeof(Triangle) * (6 - count)) == 0,
        "an element past the count was written");
  int rowCount = 0;
  while (rowCount < 5 && CaseTriangles[caseIndex][3 * rowCount] != -1) ++rowCount;
  check(count == rowCount, "the count is not the triangle count of the corners' case");

  // Every vertex is the vertex of the edge that the case's row names there;
  // an edge named twice gets the same vertex both times.
  Point3 edgeVertex[12];
  bool seen[12] = {};
  for (int t = 0; t < count; ++t) {
    for (int k = 0; k < 3; ++k) {
      const int edge = CaseTriangles[caseIndex][3 * t + k];
      check((CaseEdgeMasks[caseIndex] >> edge & 1) != 0, "a vertex lies on an uncrossed edge");
      const Point3& vertex = out[t].vertices[k];
      if (seen[edge]) {
        check(same(vertex, edgeVertex[edge]), "one edge got two different vertices");
        continue;
      }
      seen[edge] = true;
      edgeVertex[edge] = vertex;
      const int first = EdgeEnds[edge][0];
      const int second = EdgeEnds[edge][1];
      checkEdgeVertex(vertex, in.level, cell.points[first], cell.points[second], cell.values[first],
                      cell.values[second], finiteInput);
    }
  }

  // The interpolation on its own, on the first edge's ends with the
  // values of corners 0 and 1 in either order.
  for (int order = 0; order < 2; ++order) {
    const Point3& first = cell.points[order];
    const Point3& second = cell.points[1 - order];
    const double p = cell.values[order];
    const double q = cell.values[1 - order];
    checkEdgeVertex(interpolateEdgeVertex(in.level, first, second, p, q), in.level, first, second,
                    p, q, finiteInput);
  }
  return 0;
}
