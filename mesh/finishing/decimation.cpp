// Decimation by edge collapse under quadric error (Garland and Heckbert),
// with the checks a printed part needs made before each collapse rather
// than mended after:
// - the link condition: the two ends of the edge have no neighbour in
//   common but the two vertices across it, and those keep three neighbours
//   or more. On a closed, manifold surface such a collapse keeps it closed,
//   edge- and vertex-manifold, and of the same topology: no part splits
//   off, no two sheets are pinched together;
// - no face around the edge turns over or loses its area;
// - no face around the new vertex crosses a face of the mesh it did not
//   cross before (a grid of the faces' boxes finds the candidates), so
//   decimation adds no self-intersection;
// - a vertex on a face of the volume's box (the caps) stays on that face,
//   one on an edge of the box on that edge, a corner where it is: the
//   merged vertex goes where both ends' faces of the box hold.
// Vertices on rims of an open mesh, or whose faces do not form one fan,
// stay as they are. Edges are collapsed cheapest first until the faces
// asked for are left, or no collapse passes the checks.
#include "mesh/finishing/decimation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <queue>
#include <unordered_map>
#include <vector>

#include "mesh/finishing/edge_tally.h"
#include "mesh/finishing/mesh_components.h"
#include "mesh/volume/box_faces.h"

namespace mcubes::internal {

namespace {

using Vec = std::array<double, 3>;

Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The symmetric 4x4 matrix of a sum of squared distances to planes:
// xx xy xz xw yy yz yw zz zw ww.
struct Quadric {
  double q[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  double weight = 0;  // the planes' areas summed

  void addPlane(const Vec& n, double d, double area) {
    const double p[4] = {n[0], n[1], n[2], d};
    int at = 0;
    for (int r = 0; r < 4; ++r) {
      for (int c = r; c < 4; ++c) q[at++] += area * p[r] * p[c];
    }
    weight += area;
  }
  void add(const Quadric& o) {
    for (int i = 0; i < 10; ++i) q[i] += o.q[i];
    weight += o.weight;
  }
  double at(const Vec& p) const {
    const double x = p[0], y = p[1], z = p[2];
    return q[0] * x * x + 2 * q[1] * x * y + 2 * q[2] * x * z + 2 * q[3] * x + q[4] * y * y +
           2 * q[5] * y * z + 2 * q[6] * y + q[7] * z * z + 2 * q[8] * z + q[9];
  }
  // The point of least error, where the 3x3 part is well conditioned.
  bool optimum(Vec& p) const {
    const double a = q[0], b = q[1], c = q[2], d = q[4], e = q[5], f = q[7];
    const double det = a * (d * f - e * e) - b * (b * f - e * c) + c * (b * e - d * c);
    const double scale = std::fabs(a) + std::fabs(d) + std::fabs(f);
    if (!(std::fabs(det) > 1e-9 * scale * scale * scale) || scale == 0) return false;
    const double r[3] = {-q[3], -q[6], -q[8]};
    // Cramer's rule on the symmetric system.
    p[0] = (r[0] * (d * f - e * e) - b * (r[1] * f - e * r[2]) + c * (r[1] * e - d * r[2])) / det;
    p[1] = (a * (r[1] * f - e * r[2]) - r[0] * (b * f - e * c) + c * (b * r[2] - r[1] * c)) / det;
    p[2] = (a * (d * r[2] - r[1] * e) - b * (b * r[2] - r[1] * c) + r[0] * (b * e - d * c)) / det;
    return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
  }
};

// The side of the plane abc that d lies on: the sign of the volume of the
// tetrahedron (a, b, c, d); 0 where d lies within sqrt(flat) of the plane:
// a few float steps of the mesh's coordinates, as the corners of flat faces
// rounded to float do (the caps on a sheared lattice's faces).
int orient(const Vec& a, const Vec& b, const Vec& c, const Vec& d, double flat) {
  const Vec n = cross(sub(b, a), sub(c, a));
  const double v = dot(n, sub(d, a));
  if (v * v <= flat * dot(n, n)) return 0;
  return (v > 0) - (v < 0);
}

// Whether the segment pq passes through the triangle abc: its ends on
// either side of the plane, the line through the inside. Touching (a zero
// anywhere, within the rounding orient allows) does not count: the faces of
// one flat cap, and neighbours, only touch.
bool segmentMeetsTriangle(const Vec& p, const Vec& q, const Vec& a, const Vec& b, const Vec& c,
                          double flat) {
  const int sp = orient(a, b, c, p, flat), sq = orient(a, b, c, q, flat);
  if (sp * sq >= 0) return false;
  const int s1 = orient(p, q, a, b, flat), s2 = orient(p, q, b, c, flat),
            s3 = orient(p, q, c, a, flat);
  return (s1 > 0 && s2 > 0 && s3 > 0) || (s1 < 0 && s2 < 0 && s3 < 0);
}

class Decimator {
 public:
  Decimator(IndexedMesh& mesh, const VolumeGeometry* box) : mesh_(mesh) {
    const std::size_t n = mesh.vertices.size();
    position_.resize(n);
    double largest = 0;
    for (std::size_t v = 0; v < n; ++v) {
      const Point3& p = mesh.vertices[v];
      position_[v] = {p.x, p.y, p.z};
      for (const double c : position_[v]) largest = std::max(largest, std::fabs(c));
    }
    // Four float steps of the largest coordinate, squared.
    flat_ = (4 * 0x1p-23 * largest) * (4 * 0x1p-23 * largest);
    faces_ = mesh.faces;
    alive_.assign(faces_.size(), 1);
    live_ = faces_.size();
    around_.resize(n);
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      for (const std::uint32_t v : faces_[f]) around_[v].push_back(f);
    }
    onBox_.assign(n, 0);
    if (box != nullptr) onBox_ = boxFaces(mesh.vertices, *box).ofVertex;
    version_.assign(n, 0);
    mark_.assign(n, 0);
    faceMark_.assign(faces_.size(), 0);
    quadric_.resize(n);
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      const auto& t = faces_[f];
      const Vec normal =
          cross(sub(position_[t[1]], position_[t[0]]), sub(position_[t[2]], position_[t[0]]));
      const double length = std::sqrt(dot(normal, normal));
      if (!(length > 0)) continue;
      const Vec unit = {normal[0] / length, normal[1] / length, normal[2] / length};
      const double d = -dot(unit, position_[t[0]]);
      for (const std::uint32_t v : t) quadric_[v].addPlane(unit, d, length / 2);
    }
    refused_.assign(n, false);
    fixed_.assign(n, false);
    for (std::uint32_t v = 0; v < n; ++v) fixed_[v] = !oneFan(v);
  }

  DecimationResult run(double fraction) {
    DecimationResult result;
    const std::size_t target =
        static_cast<std::size_t>(std::llround(fraction * static_cast<double>(faces_.size())));
    buildGrid();
    // Every edge once (from its lower end), then again after each round
    // that collapsed any: edges refused then may pass now.
    for (std::size_t collapsed = 1; live_ > target && collapsed > 0;) {
      collapsed = 0;
      for (std::uint32_t v = 0; v < around_.size(); ++v) pushEdges(v, true);
      while (live_ > target && !heap_.empty()) {
        const Candidate c = heap_.top();
        heap_.pop();
        if (c.versionU != version_[c.u] || c.versionV != version_[c.v]) continue;
        Vec p;
        double cost;
        if (!choose(c.u, c.v, p, cost)) continue;
        if (!collapsible(c.u, c.v, p)) {
          refused_[c.u] = refused_[c.v] = true;
          continue;
        }
        collapse(c.u, c.v, p);
        ++collapsed;
        // Faces twice as large (a quarter as many): cells to match.
        if (4 * live_ < gridFaces_) buildGrid();
        const Quadric& q = quadric_[c.u];
        if (q.weight > 0) worst_ = std::max(worst_, std::sqrt(std::max(q.at(p), 0.0) / q.weight));
      }
      heap_ = {};
    }
    result.trianglesAfter = live_;
    result.worldError = worst_;
    return result;
  }

  // Writes the decimated mesh back: the faces left in their order, the
  // vertices they use in theirs.
  void finish() {
    FaceArray faces;
    faces.reserve(live_);
    for (std::size_t f = 0; f < faces_.size(); ++f) {
      if (alive_[f]) faces.push_back(faces_[f]);
    }
    for (std::size_t v = 0; v < position_.size(); ++v) {
      mesh_.vertices[v] = {static_cast<float>(position_[v][0]), static_cast<float>(position_[v][1]),
                           static_cast<float>(position_[v][2])};
    }
    mesh_.faces.swap(faces);
    removeUnusedVertices(mesh_);
  }

 private:
  // The cells a face was put in: from..to along each axis; none at first.
  struct CellBox {
    std::int32_t from[3] = {1, 1, 1}, to[3] = {0, 0, 0};
    bool holds(std::int32_t x, std::int32_t y, std::int32_t z) const {
      return from[0] <= x && x <= to[0] && from[1] <= y && y <= to[1] && from[2] <= z && z <= to[2];
    }
  };

  // A face around the merged vertex as it would be.
  struct NewFace {
    std::uint32_t corners[3];
    Vec at[3];
    Vec low, high;
  };

  struct Candidate {
    float cost;
    std::uint32_t u, v, versionU, versionV;
    bool operator<(const Candidate& o) const { return cost > o.cost; }  // least first
  };

  // Whether v's faces form one fan around it (a disk): each neighbour ends
  // two of the edges opposite v, and following them goes round once.
  bool oneFan(std::uint32_t v) const {
    const std::vector<std::uint32_t>& faces = around_[v];
    if (faces.size() < 3) return false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> next;  // a -> b across face (v, a, b)
    for (const std::uint32_t f : faces) {
      const auto& t = faces_[f];
      const int at = t[0] == v ? 0 : t[1] == v ? 1 : 2;
      next.emplace_back(t[(at + 1) % 3], t[(at + 2) % 3]);
    }
    std::sort(next.begin(), next.end());
    for (std::size_t i = 1; i < next.size(); ++i) {
      if (next[i].first == next[i - 1].first) return false;
    }
    std::uint32_t at = next[0].first;
    for (std::size_t step = 0; step < next.size(); ++step) {
      const auto found =
          std::lower_bound(next.begin(), next.end(), std::make_pair(at, std::uint32_t{0}));
      if (found == next.end() || found->first != at) return false;
      at = found->second;
      if (at == next[0].first) return step + 1 == next.size();
    }
    return false;
  }

  // The neighbours of v, marked with `stamp`.
  void markNeighbours(std::uint32_t v, std::uint32_t stamp) {
    for (const std::uint32_t f : around_[v]) {
      for (const std::uint32_t w : faces_[f]) {
        if (w != v) mark_[w] = stamp;
      }
    }
  }

  std::uint32_t nextStamp() {
    if (++stamp_ == 0) {
      std::fill(mark_.begin(), mark_.end(), 0);
      stamp_ = 1;
    }
    return stamp_;
  }

  // The edges of v (`lower`: only those to higher vertices).
  void pushEdges(std::uint32_t v, bool lower = false) {
    if (fixed_[v]) return;
    refused_[v] = false;
    const std::uint32_t stamp = nextStamp();
    for (const std::uint32_t f : around_[v]) {
      for (const std::uint32_t w : faces_[f]) {
        if (w == v || mark_[w] == stamp || fixed_[w] || (lower && w < v)) continue;
        mark_[w] = stamp;
        Vec p;
        double cost;
        if (!choose(v, w, p, cost)) continue;
        heap_.push({static_cast<float>(cost), v, w, version_[v], version_[w]});
      }
    }
  }

  // Where u and v merge, and the error there: the point of least error
  // where neither lies on the box, else the end (or the midpoint) that lies
  // on the box's faces of both; false where no point does.
  bool choose(std::uint32_t u, std::uint32_t v, Vec& p, double& cost) const {
    Quadric q = quadric_[u];
    q.add(quadric_[v]);
    const std::uint8_t a = onBox_[u], b = onBox_[v];
    Vec candidates[4];
    int count = 0;
    const Vec &pu = position_[u], &pv = position_[v];
    if ((a | b) == b) candidates[count++] = pv;
    if ((a | b) == a) candidates[count++] = pu;
    if (a == b) {
      candidates[count++] = {(pu[0] + pv[0]) / 2, (pu[1] + pv[1]) / 2, (pu[2] + pv[2]) / 2};
      Vec best;
      // Off the box, not too far from the edge.
      if (a == 0 && q.optimum(best)) {
        const Vec middle = candidates[count - 1];
        const Vec d = sub(best, middle), e = sub(pu, pv);
        if (dot(d, d) <= dot(e, e)) candidates[count++] = best;
      }
    }
    if (count == 0) return false;
    cost = HUGE_VAL;
    bool found = false;
    for (int i = 0; i < count; ++i) {
      // As it will be stored: in float.
      const Vec c = {static_cast<float>(candidates[i][0]), static_cast<float>(candidates[i][1]),
                     static_cast<float>(candidates[i][2])};
      const double e = q.at(c);
      if (e < cost) {
        cost = e;
        p = c;
        found = true;
      }
    }
    cost = std::max(cost, 0.0);
    return found;
  }

  // The link condition, faces that keep their side and area, and no new
  // crossing of the mesh's faces.
  bool collapsible(std::uint32_t u, std::uint32_t v, const Vec& p) {
    // The two faces on the edge, and the vertices across it.
    std::uint32_t shared[2], across[2];
    int count = 0;
    for (const std::uint32_t f : around_[u]) {
      const auto& t = faces_[f];
      if (t[0] != v && t[1] != v && t[2] != v) continue;
      if (count == 2) return false;
      shared[count] = f;
      for (const std::uint32_t w : t) {
        if (w != u && w != v) across[count] = w;
      }
      ++count;
    }
    if (count != 2 || across[0] == across[1]) return false;
    const std::uint32_t stamp = nextStamp();
    markNeighbours(u, stamp);
    std::size_t common = 0;
    for (const std::uint32_t f : around_[v]) {
      for (const std::uint32_t w : faces_[f]) {
        if (w != v && w != u && mark_[w] == stamp) {
          mark_[w] = 0;  // counted once
          if (w != across[0] && w != across[1]) return false;
          ++common;
        }
      }
    }
    if (common != 2) return false;
    // The vertices across keep three neighbours or more.
    for (const std::uint32_t w : across) {
      if (around_[w].size() <= 3) return false;
    }
    // The faces that stay, with u and v at p: same side, some area.
    changed_.clear();
    for (const std::uint32_t end : {u, v}) {
      for (const std::uint32_t f : around_[end]) {
        if (f == shared[0] || f == shared[1]) continue;
        const auto& t = faces_[f];
        Vec corner[3], moved[3];
        for (int k = 0; k < 3; ++k) {
          corner[k] = position_[t[k]];
          moved[k] = t[k] == u || t[k] == v ? p : corner[k];
        }
        const Vec before = cross(sub(corner[1], corner[0]), sub(corner[2], corner[0]));
        const Vec after = cross(sub(moved[1], moved[0]), sub(moved[2], moved[0]));
        const double area = dot(after, after);
        if (!(area > 0) || !(dot(before, after) > 0)) return false;
        // Away from a needle: the new face's area against its longest edge.
        double longest = 0;
        for (int k = 0; k < 3; ++k) {
          const Vec e = sub(moved[(k + 1) % 3], moved[k]);
          longest = std::max(longest, dot(e, e));
        }
        if (area < 1e-12 * longest * longest) return false;
        changed_.push_back(f);
      }
    }
    return !crossesTheMesh(u, v, p);
  }

  // Whether a face around the merged vertex, at p, crosses a face that
  // is not one of them.
  bool crossesTheMesh(std::uint32_t u, std::uint32_t v, const Vec& p) {
    const std::uint32_t stamp = nextFaceStamp();
    for (const std::uint32_t f : around_[u]) faceMark_[f] = stamp;
    for (const std::uint32_t f : around_[v]) faceMark_[f] = stamp;
    // The new faces and the box around them all.
    star_.clear();
    Vec low = p, high = p;
    for (const std::uint32_t f : changed_) {
      const auto& t = faces_[f];
      NewFace face;
      for (int k = 0; k < 3; ++k) {
        face.corners[k] = t[k] == v ? u : t[k];
        face.at[k] = t[k] == u || t[k] == v ? p : position_[t[k]];
      }
      face.low = face.high = face.at[0];
      for (int k = 1; k < 3; ++k) {
        for (int d = 0; d < 3; ++d) {
          face.low[d] = std::min(face.low[d], face.at[k][d]);
          face.high[d] = std::max(face.high[d], face.at[k][d]);
        }
      }
      for (int d = 0; d < 3; ++d) {
        low[d] = std::min(low[d], face.low[d]);
        high[d] = std::max(high[d], face.high[d]);
      }
      star_.push_back(face);
    }
    // The faces in the cells the star reaches, each once, against each new
    // face whose box meets theirs.
    bool crossing = false;
    forCells(low, high, [&](std::vector<std::uint32_t>& list) {
      // Faces gone are dropped from the cell as it is read.
      std::size_t kept = 0;
      for (const std::uint32_t g : list) {
        if (!alive_[g]) continue;
        list[kept++] = g;
        if (crossing || faceMark_[g] == stamp) continue;
        faceMark_[g] = stamp;
        const std::array<float, 6>& b = bounds_[g];
        if (b[3] < low[0] || b[0] > high[0] || b[4] < low[1] || b[1] > high[1] || b[5] < low[2] ||
            b[2] > high[2]) {
          continue;
        }
        const Vec glow = {b[0], b[1], b[2]}, ghigh = {b[3], b[4], b[5]};
        for (const NewFace& face : star_) {
          bool apart = false;
          for (int d = 0; d < 3; ++d)
            apart = apart || ghigh[d] < face.low[d] || glow[d] > face.high[d];
          if (!apart && crosses(face.corners, face.at, g)) {
            crossing = true;
            break;
          }
        }
      }
      list.resize(kept);
    });
    return crossing;
  }

  // Whether the triangle (corners, at) crosses face g other than where
  // they share corners.
  bool crosses(const std::uint32_t (&corners)[3], const Vec (&at)[3], std::uint32_t g) const {
    const auto& t = faces_[g];
    Vec other[3];
    for (int k = 0; k < 3; ++k) other[k] = position_[t[k]];
    int sharedCount = 0, mine = -1, theirs = -1;
    for (int a = 0; a < 3; ++a) {
      for (int b = 0; b < 3; ++b) {
        if (corners[a] == t[b]) {
          ++sharedCount;
          mine = a;
          theirs = b;
        }
      }
    }
    if (sharedCount >= 2) return false;  // neighbours across an edge
    if (sharedCount == 1) {
      // Beyond the shared corner: the opposite edge of each against the
      // other.
      return segmentMeetsTriangle(at[(mine + 1) % 3], at[(mine + 2) % 3], other[0], other[1],
                                  other[2], flat_) ||
             segmentMeetsTriangle(other[(theirs + 1) % 3], other[(theirs + 2) % 3], at[0], at[1],
                                  at[2], flat_);
    }
    for (int k = 0; k < 3; ++k) {
      if (segmentMeetsTriangle(at[k], at[(k + 1) % 3], other[0], other[1], other[2], flat_)) {
        return true;
      }
      if (segmentMeetsTriangle(other[k], other[(k + 1) % 3], at[0], at[1], at[2], flat_)) {
        return true;
      }
    }
    return false;
  }

  std::uint32_t nextFaceStamp() {
    if (++faceStamp_ == 0) {
      std::fill(faceMark_.begin(), faceMark_.end(), 0);
      faceStamp_ = 1;
    }
    return faceStamp_;
  }

  // u takes v's place at p: v's faces are u's, the two on the edge go.
  void collapse(std::uint32_t u, std::uint32_t v, const Vec& p) {
    std::vector<std::uint32_t> merged;
    for (const std::uint32_t f : around_[u]) {
      const auto& t = faces_[f];
      if (t[0] == v || t[1] == v || t[2] == v) {
        alive_[f] = 0;
        --live_;
        for (const std::uint32_t w : t) {
          if (w == u || w == v) continue;
          auto& list = around_[w];
          list.erase(std::remove(list.begin(), list.end(), f), list.end());
        }
        continue;
      }
      merged.push_back(f);
    }
    for (const std::uint32_t f : around_[v]) {
      if (!alive_[f]) continue;
      for (std::uint32_t& w : faces_[f]) {
        if (w == v) w = u;
      }
      merged.push_back(f);
    }
    around_[u].swap(merged);
    around_[v].clear();
    position_[u] = p;
    onBox_[u] = static_cast<std::uint8_t>(onBox_[u] | onBox_[v]);
    quadric_[u].add(quadric_[v]);
    ++version_[u];
    ++version_[v];
    fixed_[v] = true;
    for (const std::uint32_t f : around_[u]) insertFace(f);
    // The edges around u, and those of its neighbours whose cost changed.
    pushEdges(u);
    const std::uint32_t stamp = nextStamp();
    std::vector<std::uint32_t> neighbours;
    for (const std::uint32_t f : around_[u]) {
      for (const std::uint32_t w : faces_[f]) {
        if (w != u && mark_[w] != stamp) {
          mark_[w] = stamp;
          neighbours.push_back(w);
        }
      }
    }
    // Neighbours with an edge refused before: their surroundings changed,
    // so their edges are tried again (the others' stand as pushed).
    for (const std::uint32_t w : neighbours) {
      if (refused_[w]) pushEdges(w);
    }
  }

  // The grid: cells of side cell_, by their integer coordinates.
  static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z) {
    const auto bits = [](std::int64_t c) { return static_cast<std::uint64_t>(c) & 0x1fffff; };
    return bits(x) | bits(y) << 21 | bits(z) << 42;
  }

  std::int32_t cellOf(double c) const {
    return static_cast<std::int32_t>(std::clamp(std::floor(c / cell_), -1e9, 1e9));
  }

  template <typename Take>
  void forCells(const Vec& low, const Vec& high, Take&& take) {
    std::int64_t from[3], to[3];
    for (int d = 0; d < 3; ++d) {
      from[d] = cellOf(low[d]);
      to[d] = cellOf(high[d]);
    }
    for (std::int64_t x = from[0]; x <= to[0]; ++x) {
      for (std::int64_t y = from[1]; y <= to[1]; ++y) {
        for (std::int64_t z = from[2]; z <= to[2]; ++z) {
          const auto found = grid_.find(key(x, y, z));
          if (found != grid_.end()) take(found->second);
        }
      }
    }
  }

  // The grid anew, of cells about four of the mesh's edges across (fewer
  // cells to look up weigh more than more faces in each).
  void buildGrid() {
    double edgeSum = 0;
    std::size_t edgeCount = 0;
    for (std::size_t f = 0; f < faces_.size(); ++f) {
      if (!alive_[f]) continue;
      const auto& t = faces_[f];
      for (int e = 0; e < 3; ++e) {
        const Vec d = sub(position_[t[e]], position_[t[(e + 1) % 3]]);
        edgeSum += std::sqrt(dot(d, d));
        ++edgeCount;
      }
    }
    cell_ = edgeCount > 0 ? 4 * edgeSum / static_cast<double>(edgeCount) : 1.0;
    if (!(cell_ > 0) || !std::isfinite(cell_)) cell_ = 1.0;
    grid_.clear();
    cells_.assign(faces_.size(), CellBox());
    bounds_.resize(faces_.size());
    for (std::uint32_t f = 0; f < faces_.size(); ++f) {
      if (alive_[f]) insertFace(f);
    }
    gridFaces_ = live_;
  }

  // Adds face f to the cells its box reaches that it was not in already.
  void insertFace(std::uint32_t f) {
    const auto& t = faces_[f];
    Vec low = position_[t[0]], high = position_[t[0]];
    for (int k = 1; k < 3; ++k) {
      for (int d = 0; d < 3; ++d) {
        low[d] = std::min(low[d], position_[t[k]][d]);
        high[d] = std::max(high[d], position_[t[k]][d]);
      }
    }
    CellBox box;
    for (int d = 0; d < 3; ++d) {
      box.from[d] = cellOf(low[d]);
      box.to[d] = cellOf(high[d]);
      // The corners are floats: their box is too.
      bounds_[f][d] = static_cast<float>(low[d]);
      bounds_[f][d + 3] = static_cast<float>(high[d]);
    }
    CellBox& was = cells_[f];
    for (std::int32_t x = box.from[0]; x <= box.to[0]; ++x) {
      for (std::int32_t y = box.from[1]; y <= box.to[1]; ++y) {
        for (std::int32_t z = box.from[2]; z <= box.to[2]; ++z) {
          if (was.holds(x, y, z)) continue;
          grid_[key(x, y, z)].push_back(f);
        }
      }
    }
    // Cells it left keep it until they are read: it is looked at by its
    // box there.
    was = box;
  }

  IndexedMesh& mesh_;
  std::vector<Vec> position_;
  FaceArray faces_;
  std::vector<std::uint8_t> alive_;
  std::size_t live_ = 0;
  std::vector<std::vector<std::uint32_t>> around_;
  std::vector<std::uint8_t> onBox_;
  std::vector<std::uint32_t> version_;
  std::vector<bool> fixed_;
  std::vector<bool> refused_;
  std::vector<Quadric> quadric_;
  std::vector<std::uint32_t> mark_;
  std::uint32_t stamp_ = 0;
  std::vector<std::uint32_t> faceMark_;
  std::uint32_t faceStamp_ = 0;
  std::vector<std::uint32_t> changed_;
  std::vector<NewFace> star_;
  std::vector<CellBox> cells_;
  std::vector<std::array<float, 6>> bounds_;  // per face: its box, low then high
  std::priority_queue<Candidate> heap_;
  std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> grid_;
  double cell_ = 1.0;
  double flat_ = 0;            // orient's tolerance
  std::size_t gridFaces_ = 0;  // the faces when the grid was built
  double worst_ = 0;
};

}  // namespace

DecimationResult decimateMesh(IndexedMesh& mesh, double fraction, const VolumeGeometry* box) {
  DecimationResult result;
  const std::size_t faces = mesh.faces.size();
  result.trianglesBefore = result.trianglesAfter = faces;
  result.trianglesAsked = faces;
  result.closed = tallyEdges(mesh).closed();
  if (faces == 0 || !(fraction < 1.0)) return result;
  result.trianglesAsked =
      static_cast<std::size_t>(std::llround(fraction * static_cast<double>(faces)));
  Decimator decimator(mesh, box);
  const DecimationResult made = decimator.run(fraction);
  decimator.finish();
  result.trianglesAfter = mesh.faces.size();
  result.worldError = made.worldError;
  double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (const Point3& p : mesh.vertices) {
    const double c[3] = {p.x, p.y, p.z};
    for (int d = 0; d < 3; ++d) {
      low[d] = std::min(low[d], c[d]);
      high[d] = std::max(high[d], c[d]);
    }
  }
  const double extent = std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2], 0.0});
  result.error = extent > 0 ? result.worldError / extent : 0.0;
  return result;
}

}  // namespace mcubes::internal
