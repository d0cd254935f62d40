#include "mesh/finishing/smoothing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "mesh/volume/box_faces.h"

namespace mcubes::internal {

namespace {

constexpr double Pi = 3.14159265358979323846;

// The vertex graph the filter runs on, in compressed rows: each vertex's
// distinct neighbours along the edges of its faces.
struct Neighbours {
  std::vector<std::uint32_t> start;  // vertices + 1 offsets into `of`
  std::vector<std::uint32_t> of;
  std::vector<float> inverseCount;  // 0 for a vertex without neighbours
};

// Built from each face's directed edges: on a closed, consistently wound
// mesh the edges leaving a vertex reach each of its neighbours exactly once,
// so the rows need a third of the memory that collecting both ends of every
// edge and removing the repeats would (on this kind of work, touching fresh
// memory costs as much as the arithmetic). An edge no face runs backwards
// (an open rim) is added to its far end's row as well.
//
// `onFace[v]`: the box faces vertex v lies on, one bit each (empty without a
// box); a face whose three corners share a box face is a cap's. A vertex
// with faces off the caps (a rim's) takes its neighbours over those alone,
// as VTK's boundary smoothing takes a rim's from the rim: the scene's caps
// are ear-clipped, and their chords across the cap would pull the rim in. A
// cap's own vertices (a volume's caps are meshed on its face voxels) take
// theirs over the cap and follow the rim.
//
// Looking up each edge's reverse is what tallyEdges does, so the tally comes
// on the way.
Neighbours neighbours(const IndexedMesh& mesh, const std::vector<std::uint8_t>& onFace,
                      EdgeTally& tally) {
  const std::size_t count = mesh.vertices.size();
  const auto offCaps = [&](const std::array<std::uint32_t, 3>& f) {
    return onFace.empty() || (onFace[f[0]] & onFace[f[1]] & onFace[f[2]]) == 0;
  };
  Neighbours graph;
  std::vector<std::uint32_t>& start = graph.start;
  std::vector<std::uint32_t>& of = graph.of;
  // Rows filled from their ends: start[v] counts down to the row's start.
  start.assign(count + 1, 0);
  for (const auto& f : mesh.faces) {
    for (const std::uint32_t v : f) ++start[v];
  }
  for (std::size_t v = 1; v <= count; ++v) start[v] += start[v - 1];
  of.resize(start[count]);
  // Per edge entry: whether a face off the caps has the edge (its own face
  // first, then either of the edge's faces).
  std::vector<std::uint8_t> offCap(of.size());
  for (std::size_t i = mesh.faces.size(); i-- > 0;) {
    const auto& f = mesh.faces[i];
    const bool off = offCaps(f);
    for (int k = 2; k >= 0; --k) {
      const std::uint32_t at = --start[f[k]];
      of[at] = f[(k + 1) % 3];
      offCap[at] = off;
    }
  }
  // The first entry for `target` in the row and how many there are.
  const auto find = [&](std::uint32_t row, std::uint32_t target, std::uint32_t& times) {
    std::uint32_t first = ~0u;
    times = 0;
    for (std::uint32_t e = start[row]; e < start[row + 1]; ++e) {
      if (of[e] != target) continue;
      if (times++ == 0) first = e;
    }
    return first;
  };
  // Open edges, as (far end, near end, off the caps) to add.
  std::vector<std::array<std::uint32_t, 3>> open;
  tally = {};
  tally.edges = of.size();
  for (std::uint32_t v = 0; v < count; ++v) {
    for (std::uint32_t e = start[v]; e < start[v + 1]; ++e) {
      std::uint32_t ahead = 0, behind = 0;
      find(v, of[e], ahead);
      const std::uint32_t back = find(of[e], v, behind);
      if (ahead > 1 || behind > 1) {
        ++tally.defective;
      } else if (behind == 0) {
        ++tally.open;
      }
      if (back == ~0u) {
        open.push_back({of[e], v, offCap[e]});
      } else {
        offCap[e] |= offCap[back];
      }
    }
  }
  std::sort(open.begin(), open.end());

  // Each row: the entries over faces off the caps if it has any, else all;
  // each neighbour once. Written in place (rows only shrink) unless open
  // edges add entries.
  const bool repeats = tally.defective > 0;
  std::vector<std::uint32_t> merged;
  if (!open.empty()) merged.resize(of.size() + open.size());
  std::uint32_t* out = open.empty() ? of.data() : merged.data();
  graph.inverseCount.resize(count);
  std::uint32_t written = 0;
  auto extra = open.begin();
  for (std::uint32_t v = 0; v < count; ++v) {
    const std::uint32_t begin = start[v], end = start[v + 1];
    const auto extraEnd = std::find_if(extra, open.end(), [v](const auto& e) { return e[0] != v; });
    bool anyOff = false;
    for (std::uint32_t e = begin; e < end; ++e) anyOff = anyOff || offCap[e];
    for (auto x = extra; x != extraEnd; ++x) anyOff = anyOff || (*x)[2];
    const std::uint32_t first = written;
    const auto take = [&](std::uint32_t w, bool off) {
      if (anyOff && !off) return;
      // A row repeats a neighbour only where the tally found edges of
      // more than two faces; rows are short.
      for (std::uint32_t e = first; repeats && e < written; ++e) {
        if (out[e] == w) return;
      }
      out[written++] = w;
    };
    start[v] = written;
    for (std::uint32_t e = begin; e < end; ++e) take(of[e], offCap[e]);
    for (; extra != extraEnd; ++extra) take((*extra)[1], (*extra)[2]);
    const std::uint32_t n = written - start[v];
    graph.inverseCount[v] = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
  }
  start[count] = written;
  if (!open.empty()) of.swap(merged);
  of.resize(written);
  return graph;
}

// A vertex in four float lanes (the last 0), as a GCC and Clang vector
// type: whole loads and adds, one vector instruction each where the target
// has them (the filter's inner loop gathers six neighbours a vertex), and
// scalar code where it has none. Lane by lane the arithmetic is the scalar
// arithmetic, so results do not depend on it.
using Lanes = float __attribute__((vector_size(16)));

inline float dot(const Lanes& a, const Lanes& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// An array of `count` Lanes at their alignment, not value-initialised.
// `new Lanes[count]` would take the alignment for granted, and 32-bit
// Windows' heap gives 8 bytes only, where the aligned vector loads fault.
struct FreeLanes {
  void operator()(Lanes* lanes) const {
    ::operator delete[](lanes, std::align_val_t{alignof(Lanes)});
  }
};
using LanesArray = std::unique_ptr<Lanes[], FreeLanes>;

LanesArray lanesArray(std::size_t count) {
  return LanesArray(static_cast<Lanes*>(
      ::operator new[](count * sizeof(Lanes), std::align_val_t{alignof(Lanes)})));
}

// Coordinates centred on the mesh's bounding box and scaled into [-1, 1],
// as VTK's NormalizeCoordinates: float keeps its precision wherever the mesh
// lies (scanners put origins hundreds of millimetres out).
struct Normalised {
  double centre[3];
  double scale;

  explicit Normalised(const PointArray& vertices) {
    double low[3], high[3];
    for (int i = 0; i < 3; ++i) low[i] = high[i] = (&vertices[0].x)[i];
    for (const Point3& p : vertices) {
      const float q[3] = {p.x, p.y, p.z};
      for (int i = 0; i < 3; ++i) {
        low[i] = std::min(low[i], static_cast<double>(q[i]));
        high[i] = std::max(high[i], static_cast<double>(q[i]));
      }
    }
    for (int i = 0; i < 3; ++i) centre[i] = (low[i] + high[i]) / 2;
    const double half = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]}) / 2;
    scale = half > 0 ? 1.0 / half : 1.0;
  }

  Lanes to(const Point3& p) const {
    return Lanes{static_cast<float>((p.x - centre[0]) * scale),
                 static_cast<float>((p.y - centre[1]) * scale),
                 static_cast<float>((p.z - centre[2]) * scale), 0.0f};
  }
  Point3 from(const Lanes& p) const {
    return {static_cast<float>(p[0] / scale + centre[0]),
            static_cast<float>(p[1] / scale + centre[1]),
            static_cast<float>(p[2] / scale + centre[2])};
  }
};

// The vertices held to a face of the box (a plane across the unit normal
// `plane[axis]`, at `offset` along it), and those held to an edge of the
// box (the line through `anchor` along `line[axis]`) or to a corner
// (`anchor`), in normalised coordinates, each kind in the vertices' order.
// A volume cut on all sides has a cap vertex on its faces for every face
// voxel: the planes' entries are kept small.
struct OnPlane {
  std::uint8_t axis;
  float offset;
};

struct OnEdgeOrCorner {
  std::uint32_t vertex;
  bool corner;
  std::uint8_t axis;
  Lanes anchor;
};

struct Held {
  Lanes plane[3];  // unit normal of the faces where index a is fixed
  Lanes line[3];   // unit direction of the box's edges along index a
  // Per vertex: 0 free, 1 on a plane, 2 on an edge or a corner; the
  // vertices of each kind in order.
  std::vector<std::uint8_t> kind;
  std::vector<OnPlane> onPlanes;
  std::vector<OnEdgeOrCorner> onEdges;

  void hold(Lanes& p, const OnPlane& h) const {
    const Lanes& d = plane[h.axis];
    p -= (dot(p, d) - h.offset) * d;
  }
  void hold(Lanes& p, const OnEdgeOrCorner& h) const {
    if (h.corner) {
      p = h.anchor;
    } else {
      const Lanes& d = line[h.axis];
      p = h.anchor + dot(p - h.anchor, d) * d;
    }
  }
};

Lanes unit(const double (&v)[3]) {
  const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return Lanes{static_cast<float>(v[0] / length), static_cast<float>(v[1] / length),
               static_cast<float>(v[2] / length), 0.0f};
}

// The held vertices at their positions `at`, and the directions they move
// in: a face's normal is the gradient of its fixed index (a row of the
// inverse axes), an edge runs along the axis of its free index.
Held heldVertices(const BoxFaces& faces, const VolumeGeometry& box, const Lanes* at) {
  Held held;
  for (int a = 0; a < 3; ++a) {
    held.plane[a] = unit(faces.toIndex[a]);
    held.line[a] = unit(box.axes[a]);
  }
  // The axes whose index is at an end, and the last of them and of the
  // others.
  const auto axesAtEnds = [](unsigned bits, int& fixed, int& free) {
    int on = 0;
    for (int a = 0; a < 3; ++a) {
      if (bits & (3u << (2 * a))) {
        ++on;
        fixed = a;
      } else {
        free = a;
      }
    }
    return on;
  };
  int fixed = 0, free = 0;
  held.kind.resize(faces.ofVertex.size());
  for (std::size_t v = 0; v < held.kind.size(); ++v) {
    held.kind[v] =
        static_cast<std::uint8_t>(std::min(axesAtEnds(faces.ofVertex[v], fixed, free), 2));
  }
  held.onPlanes.reserve(
      static_cast<std::size_t>(std::count(held.kind.begin(), held.kind.end(), 1)));
  for (std::uint32_t v = 0; v < faces.ofVertex.size(); ++v) {
    const int on = axesAtEnds(faces.ofVertex[v], fixed, free);
    if (on == 0) continue;
    if (on == 1) {
      const auto axis = static_cast<std::uint8_t>(fixed);
      held.onPlanes.push_back({axis, dot(at[v], held.plane[axis])});
    } else {
      held.onEdges.push_back({v, on == 3, static_cast<std::uint8_t>(free), at[v]});
    }
  }
  return held;
}

}  // namespace

std::vector<double> windowedSincCoefficients(int iterations, double passband) {
  const int n = iterations;
  const double thetaPass = std::acos(1.0 - 0.5 * passband);
  std::vector<double> window(n + 1), c(n + 1), derivative(n + 1);
  for (int i = 0; i <= n; ++i) window[i] = 0.54 + 0.46 * std::cos(i * Pi / (n + 1));
  // The offset sigma that puts the filter's gain at the pass band's edge
  // at 1 (Newton's method, as VTK; of degree 1 there is nothing to adjust).
  double sigma = 0;
  for (int step = 0; step < 500; ++step) {
    const double theta = thetaPass + sigma;
    c[0] = window[0] * theta / Pi;
    for (int i = 1; i <= n; ++i) c[i] = 2.0 * window[i] * std::sin(i * theta) / (i * Pi);
    if (n < 2) break;
    derivative[n] = derivative[n - 1] = 0;
    for (int i = n - 2; i >= 0; --i) derivative[i] = derivative[i + 2] + 2.0 * (i + 1) * c[i + 1];
    double gain = 0, slope = 0;
    for (int i = 0; i <= n; ++i) {
      gain += c[i] * std::cos(i * thetaPass);
      slope += derivative[i] * std::cos(i * thetaPass);
    }
    if (std::fabs(gain - 1.0) < 1e-3 || slope == 0) break;
    sigma -= (gain - 1.0) / slope;
  }
  // Scaled so that the gain at frequency 0 is exactly 1 (the coefficients
  // sum to 0.998 at 20 iterations): a mesh does not move or scale as a
  // whole, and a vertex held to a plane stays on it. VTK leaves the sum as
  // it is, hence its advice to normalise coordinates first.
  double sum = 0;
  for (const double v : c) sum += v;
  for (double& v : c) v /= sum;
  return c;
}

namespace {

// The filter over `graph`, vertices on the faces of `box` (as `faces` finds
// them) held there, and the `fixed` vertices back at their bits at the end.
void filter(PointArray& vertices, const Neighbours& graph, int iterations, double passband,
            const VolumeGeometry* box, const BoxFaces* faces,
            const std::vector<std::uint32_t>& fixed) {
  const std::size_t count = vertices.size();
  const std::vector<double> c = windowedSincCoefficients(iterations, passband);
  const Normalised normalised(vertices);

  // Every element is written before it is read.
  const LanesArray previousStore = lanesArray(count);
  Lanes* previous = previousStore.get();
  for (std::size_t v = 0; v < count; ++v) previous[v] = normalised.to(vertices[v]);
  Held held;
  if (box) {
    held = heldVertices(*faces, *box, previous);
  } else {
    held.kind.assign(count, 0);
  }
  // The box's corners keep their bits.
  std::vector<std::pair<std::uint32_t, Point3>> corners;
  for (const OnEdgeOrCorner& h : held.onEdges) {
    if (h.corner) corners.emplace_back(h.vertex, vertices[h.vertex]);
  }
  for (const std::uint32_t v : fixed) corners.emplace_back(v, vertices[v]);
  // The Chebyshev recurrence over the umbrella operator A x = (x + mean of
  // neighbours) / 2, whose spectrum lies in [0, 1]: T_0 = x, T_1 = A x,
  // T_k+1 = 2 A T_k - T_k-1; the result is sum c_k T_k. Two iterates (the
  // next overwrites the one before last, which is read only at its own
  // vertex) and the sum, which takes the vertices' place (they are in
  // `previous` by now: memory at hand); each pass adds its term to the sum
  // as it goes. Each iterate is an affine combination of positions (A's
  // rows sum to 1), so holding the held vertices' iterates to their plane,
  // line or point, as each is made, holds the result there too.
  const LanesArray currentStore = lanesArray(count);
  Lanes* current = currentStore.get();
  Point3* sum = vertices.data();
  const auto load = [](const Point3& p) { return Lanes{p.x, p.y, p.z, 0.0f}; };
  const auto store = [](Point3& p, const Lanes& l) { p = {l[0], l[1], l[2]}; };
  const std::uint32_t* start = graph.start.data();
  const std::uint32_t* of = graph.of.data();
  const float* inverseCount = graph.inverseCount.data();
  // Each vertex's neighbours' mean, or the vertex itself where it has none.
  const auto mean = [&](const Lanes* x, std::size_t v) {
    Lanes s = {0, 0, 0, 0};
    for (std::uint32_t e = start[v]; e < start[v + 1]; ++e) s = s + x[of[e]];
    const float w = inverseCount[v];
    return w == 0 ? x[v] : w * s;
  };
  // Holds vertex v, the next of its kind in `at`, where it is held.
  const std::uint8_t* kind = held.kind.data();
  struct Cursor {
    std::size_t plane = 0, edge = 0;
  };
  const auto hold = [&](Lanes& p, std::size_t v, Cursor& at) {
    if (kind[v] == 1) {
      held.hold(p, held.onPlanes[at.plane++]);
    } else if (kind[v] == 2) {
      held.hold(p, held.onEdges[at.edge++]);
    }
  };

  const float c0 = static_cast<float>(c[0]), c1 = static_cast<float>(c[1]);
  Cursor at;
  for (std::size_t v = 0; v < count; ++v) {
    const Lanes& x = previous[v];
    Lanes y = 0.5f * (x + mean(previous, v));
    hold(y, v, at);
    current[v] = y;
    store(sum[v], c0 * x + c1 * y);
  }
  for (int k = 2; k <= iterations; ++k) {
    const float ck = static_cast<float>(c[k]);
    const Lanes* x = current;
    Lanes* next = previous;  // T_k-1 becomes T_k+1
    at = {};
    for (std::size_t v = 0; v < count; ++v) {
      Lanes y = x[v] + mean(x, v) - next[v];
      hold(y, v, at);
      next[v] = y;
      store(sum[v], load(sum[v]) + ck * y);
    }
    std::swap(previous, current);
  }

  at = {};
  for (std::size_t v = 0; v < count; ++v) {
    if (kind[v] == 0) continue;
    Lanes p = load(sum[v]);
    hold(p, v, at);
    store(sum[v], p);
  }
  for (std::size_t v = 0; v < count; ++v) vertices[v] = normalised.from(load(sum[v]));
  for (const auto& [v, p] : corners) vertices[v] = p;
}

}  // namespace

void smoothMesh(IndexedMesh& mesh, int iterations, double passband, const VolumeGeometry* box,
                EdgeTally* tally) {
  EdgeTally edges;
  if (iterations < 1 || mesh.vertices.empty() || mesh.faces.empty()) {
    if (tally) *tally = tallyEdges(mesh);
    return;
  }
  if (box) {
    const BoxFaces faces = boxFaces(mesh.vertices, *box);
    filter(mesh.vertices, neighbours(mesh, faces.ofVertex, edges), iterations, passband, box,
           &faces, {});
  } else {
    filter(mesh.vertices, neighbours(mesh, {}, edges), iterations, passband, nullptr, nullptr, {});
  }
  if (tally) *tally = edges;
}

void smoothOverRows(PointArray& vertices, const NeighbourRows& rows, int iterations,
                    double passband, const VolumeGeometry* box) {
  if (iterations < 1 || vertices.empty()) return;
  Neighbours graph{rows.start, rows.of, std::vector<float>(vertices.size())};
  std::vector<std::uint32_t> fixed;
  for (std::uint32_t v = 0; v < vertices.size(); ++v) {
    const std::uint32_t n = rows.start[v + 1] - rows.start[v];
    graph.inverseCount[v] = n > 0 ? 1.0f / static_cast<float>(n) : 0.0f;
    if (n == 0) fixed.push_back(v);
  }
  if (box) {
    const BoxFaces faces = boxFaces(vertices, *box);
    filter(vertices, graph, iterations, passband, box, &faces, fixed);
  } else {
    filter(vertices, graph, iterations, passband, nullptr, nullptr, fixed);
  }
}

}  // namespace mcubes::internal
