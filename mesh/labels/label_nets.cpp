#include "mesh/labels/label_nets.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "mesh/labels/label_values.h"
#include "mesh/volume/volume_slabs.h"

namespace mcubes::internal {

namespace {

// The index of each label in the order met, 0 first.
class LabelIndex {
 public:
  LabelIndex() {
    labels_.push_back(0);
    index_.emplace(0, 0);
  }

  std::uint32_t operator()(std::int64_t label) {
    const auto [at, added] = index_.emplace(label, static_cast<std::uint32_t>(labels_.size()));
    if (added) labels_.push_back(label);
    return at->second;
  }
  const std::vector<std::int64_t>& labels() const { return labels_; }

 private:
  std::vector<std::int64_t> labels_;
  std::unordered_map<std::int64_t, std::uint32_t> index_;
};

// Slice k's labels as indices into a slice with a border of label 0 (the
// outside) one voxel wide; values come in runs, so a run is looked up once.
void readLabels(VolumeReader& reader, std::int64_t k, std::vector<double>& raw, LabelIndex& index,
                std::vector<std::uint32_t>& padded) {
  const VolumeGeometry& geometry = reader.header().geometry;
  const std::int64_t nx = geometry.dims[0], ny = geometry.dims[1];
  reader.readSlices(1, raw.data());
  double previous = std::nan("");
  std::uint32_t id = 0;
  for (std::int64_t j = 0; j < ny; ++j) {
    for (std::int64_t i = 0; i < nx; ++i) {
      const double value = raw[static_cast<std::size_t>(j * nx + i)];
      if (value != previous) {
        if (!isLabelValue(value)) notALabel(i, j, k, value);
        id = index(static_cast<std::int64_t>(value));
        previous = value;
      }
      padded[static_cast<std::size_t>((j + 1) * (nx + 2) + i + 1)] = id;
    }
  }
}

// The corners of a cell, bit 0 along i, bit 1 along j, bit 2 along k; its
// edges as corner pairs and its faces as corner quadruples (in CellFaces'
// order).
constexpr int Edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                              {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
constexpr int Faces[CellFaces][4] = {{0, 2, 4, 6}, {1, 3, 5, 7}, {0, 1, 4, 5},
                                     {2, 3, 6, 7}, {0, 1, 2, 3}, {4, 5, 6, 7}};

int distinct(const std::uint32_t* values, int count) {
  int n = 0;
  for (int a = 0; a < count; ++a) {
    bool seen = false;
    for (int b = 0; b < a && !seen; ++b) seen = values[b] == values[a];
    n += !seen;
  }
  return n;
}

class NetBuilder {
 public:
  explicit NetBuilder(LabelNet& net) : net_(net), g_(net.geometry) {
    mirrored_ = isMirrored(g_);
    for (int a = 0; a < 3; ++a) n_[a] = g_.dims[a];
    layerWidth_ = n_[0] + 1;
    const auto layer = static_cast<std::size_t>((n_[0] + 1) * (n_[1] + 1));
    below_.assign(layer, NoVertex);
    here_.assign(layer, NoVertex);
  }

  // The vertices of the cells between slices k and k + 1 (each padded),
  // their links to those of the layer below, and the quads of the edges
  // between the two slices and within slice k.
  void layer(std::int64_t k, const std::vector<std::uint32_t>& lower,
             const std::vector<std::uint32_t>& upper) {
    const std::int64_t px = n_[0] + 2;
    std::swap(below_, here_);
    std::fill(here_.begin(), here_.end(), NoVertex);
    for (std::int64_t cj = -1; cj < n_[1]; ++cj) {
      for (std::int64_t ci = -1; ci < n_[0]; ++ci) {
        std::uint32_t c[8];
        for (int corner = 0; corner < 8; ++corner) {
          const std::vector<std::uint32_t>& slice = corner & 4 ? upper : lower;
          c[corner] = slice[static_cast<std::size_t>((cj + 1 + ((corner >> 1) & 1)) * px + ci + 1 +
                                                     (corner & 1))];
        }
        bool mixed = false;
        for (int corner = 1; corner < 8 && !mixed; ++corner) mixed = c[corner] != c[0];
        if (mixed) here_[cell(ci, cj)] = vertex(ci, cj, k, c);
      }
    }
    for (std::int64_t cj = -1; cj < n_[1]; ++cj) {
      for (std::int64_t ci = -1; ci < n_[0]; ++ci) {
        const std::uint32_t v = here_[cell(ci, cj)];
        if (v == NoVertex) continue;
        if (ci > -1) link(here_[cell(ci - 1, cj)], v, 0);
        if (cj > -1) link(here_[cell(ci, cj - 1)], v, 2);
        link(below_[cell(ci, cj)], v, 4);
      }
    }
    // Edges along k, between the slices.
    for (std::int64_t j = 0; j < n_[1]; ++j) {
      for (std::int64_t i = 0; i < n_[0]; ++i) {
        const std::size_t s = static_cast<std::size_t>((j + 1) * px + i + 1);
        if (lower[s] == upper[s]) continue;
        quad({here_[cell(i - 1, j - 1)], here_[cell(i, j - 1)], here_[cell(i, j)],
              here_[cell(i - 1, j)]},
             lower[s], upper[s]);
      }
    }
    if (k < 0) return;  // the border below the volume holds one label
    // Edges along i and j within slice k, between this layer and the one below.
    for (std::int64_t j = 0; j < n_[1]; ++j) {
      for (std::int64_t i = -1; i < n_[0]; ++i) {
        const std::size_t s = static_cast<std::size_t>((j + 1) * px + i + 1);
        if (lower[s] == lower[s + 1]) continue;
        quad({below_[cell(i, j - 1)], below_[cell(i, j)], here_[cell(i, j)], here_[cell(i, j - 1)]},
             lower[s], lower[s + 1]);
      }
    }
    for (std::int64_t j = -1; j < n_[1]; ++j) {
      for (std::int64_t i = 0; i < n_[0]; ++i) {
        const std::size_t s = static_cast<std::size_t>((j + 1) * px + i + 1);
        const std::size_t t = s + static_cast<std::size_t>(px);
        if (lower[s] == lower[t]) continue;
        quad({below_[cell(i - 1, j)], here_[cell(i - 1, j)], here_[cell(i, j)], below_[cell(i, j)]},
             lower[s], lower[t]);
      }
    }
  }

 private:
  std::size_t cell(std::int64_t ci, std::int64_t cj) const {
    return static_cast<std::size_t>((cj + 1) * layerWidth_ + ci + 1);
  }

  std::uint32_t vertex(std::int64_t ci, std::int64_t cj, std::int64_t ck,
                       const std::uint32_t (&c)[8]) {
    // The mean of the differing edges' midpoints, in the cell's own
    // coordinates.
    double sum[3] = {0, 0, 0};
    int crossings = 0;
    for (const auto& e : Edges) {
      if (c[e[0]] == c[e[1]]) continue;
      ++crossings;
      for (int a = 0; a < 3; ++a) {
        const int low = (e[0] >> a) & 1, high = (e[1] >> a) & 1;
        sum[a] += 0.5 * (low + high);
      }
    }
    const std::int64_t at[3] = {ci, cj, ck};
    double index[3];
    for (int a = 0; a < 3; ++a) {
      index[a] = static_cast<double>(at[a]) + sum[a] / crossings;
      index[a] = std::clamp(index[a], 0.0, static_cast<double>(n_[a] - 1));
    }
    const Point3 p = worldPoint(g_, index);
    std::uint8_t triple = 0;
    mixed_.push_back(0);
    for (int f = 0; f < CellFaces; ++f) {
      const std::uint32_t face[4] = {c[Faces[f][0]], c[Faces[f][1]], c[Faces[f][2]],
                                     c[Faces[f][3]]};
      const int n = distinct(face, 4);
      if (n >= 3) triple |= static_cast<std::uint8_t>(1u << f);
      if (n >= 2) mixed_.back() |= static_cast<std::uint8_t>(1u << f);
    }
    const auto v = static_cast<std::uint32_t>(net_.vertices.size());
    net_.vertices.push_back(p);
    net_.cells.push_back({static_cast<std::int32_t>(ci), static_cast<std::int32_t>(cj),
                          static_cast<std::int32_t>(ck)});
    net_.labelsAround.push_back(static_cast<std::uint8_t>(distinct(c, 8)));
    net_.across.push_back({NoVertex, NoVertex, NoVertex, NoVertex, NoVertex, NoVertex});
    net_.tripleFaces.push_back(triple);
    return v;
  }

  // Joins `v` to `u`, the vertex beyond its face `face` (a lower face:
  // 0, 2 or 4), where that face's voxels differ.
  void link(std::uint32_t u, std::uint32_t v, int face) {
    if (u == NoVertex || ((mixed_[v] >> face) & 1) == 0) return;
    net_.across[v][static_cast<std::size_t>(face)] = u;
    net_.across[u][static_cast<std::size_t>(face + 1)] = v;
  }

  // The quad of an edge from a voxel of label `from` to one of `to`, its
  // corners counter-clockwise seen along the edge, split along its shorter
  // diagonal.
  void quad(std::array<std::uint32_t, 4> q, std::uint32_t from, std::uint32_t to) {
    if (mirrored_) std::swap(q[1], q[3]);
    const auto length = [&](std::uint32_t a, std::uint32_t b) {
      const Point3 &p = net_.vertices[a], &r = net_.vertices[b];
      const double d[3] = {p.x - r.x, p.y - r.y, p.z - r.z};
      return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    };
    if (length(q[0], q[2]) <= length(q[1], q[3])) {
      net_.triangles.push_back({q[0], q[1], q[2]});
      net_.triangles.push_back({q[0], q[2], q[3]});
    } else {
      net_.triangles.push_back({q[0], q[1], q[3]});
      net_.triangles.push_back({q[1], q[2], q[3]});
    }
    net_.sides.push_back({from, to});
    net_.sides.push_back({from, to});
  }

  LabelNet& net_;
  const VolumeGeometry& g_;
  bool mirrored_ = false;
  std::int64_t n_[3];
  std::int64_t layerWidth_;
  std::vector<std::uint32_t> below_, here_;  // the vertex of each cell of two layers
  std::vector<std::uint8_t> mixed_;          // per vertex, the faces whose voxels differ
};

}  // namespace

Point3 worldPoint(const VolumeGeometry& geometry, const double (&index)[3]) {
  double w[3];
  for (int b = 0; b < 3; ++b) {
    w[b] = geometry.origin[b];
    for (int a = 0; a < 3; ++a) w[b] += index[a] * geometry.axes[a][b];
  }
  return {static_cast<float>(w[0]), static_cast<float>(w[1]), static_cast<float>(w[2])};
}

LabelNet labelNet(VolumeReader& reader, const LayerProgress& progress) {
  LabelNet net;
  net.geometry = reader.header().geometry;
  const std::int64_t(&n)[3] = net.geometry.dims;
  LabelIndex index;
  std::vector<double> raw(static_cast<std::size_t>(n[0] * n[1]));
  const auto padded = static_cast<std::size_t>((n[0] + 2) * (n[1] + 2));
  std::vector<std::uint32_t> lower(padded, 0), upper(padded, 0);
  // A volume one voxel thin has no cells, and so no surfaces; its voxels
  // are still checked.
  const bool cells = cellCount(n) > 0;
  NetBuilder builder(net);
  for (std::int64_t k = -1; k < n[2]; ++k) {
    if (k + 1 < n[2]) {
      readLabels(reader, k + 1, raw, index, upper);
    } else {
      std::fill(upper.begin(), upper.end(), 0u);
    }
    if (cells) builder.layer(k, lower, upper);
    std::swap(lower, upper);
    if (progress) progress(k + 1, n[2]);
  }
  // The labels ascending, and the triangles' sides renumbered to match.
  const std::vector<std::int64_t>& met = index.labels();
  std::vector<std::uint32_t> order(met.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return met[a] < met[b]; });
  std::vector<std::uint32_t> rank(met.size());
  for (std::uint32_t r = 0; r < order.size(); ++r) {
    rank[order[r]] = r;
    net.labels.push_back(met[order[r]]);
  }
  for (auto& s : net.sides) s = {rank[s[0]], rank[s[1]]};
  net.background = rank[0];
  return net;
}

std::vector<std::vector<std::array<std::uint32_t, 3>>> labelTriangles(
    const LabelNet& net, const std::vector<std::uint32_t>& asked) {
  std::vector<int> slot(net.labels.size(), -1);
  for (std::size_t s = 0; s < asked.size(); ++s) slot[asked[s]] = static_cast<int>(s);
  std::vector<std::vector<std::array<std::uint32_t, 3>>> faces(asked.size());
  for (std::size_t t = 0; t < net.triangles.size(); ++t) {
    const auto& f = net.triangles[t];
    if (const int out = slot[net.sides[t][0]]; out >= 0) {
      faces[static_cast<std::size_t>(out)].push_back(f);
    }
    if (const int in = slot[net.sides[t][1]]; in >= 0) {
      faces[static_cast<std::size_t>(in)].push_back({f[0], f[2], f[1]});
    }
  }
  return faces;
}

LabelInterfaces labelInterfaces(const LabelNet& net, const std::vector<std::uint32_t>& asked) {
  std::vector<bool> wanted(net.labels.size());
  for (const std::uint32_t l : asked) wanted[l] = true;
  // Whether label a winds out before label b: ascending, 0 last.
  const std::uint32_t zero = net.background;
  const auto before = [zero](std::uint32_t a, std::uint32_t b) {
    return b == zero || (a != zero && a < b);
  };
  std::map<std::array<std::uint32_t, 2>, std::size_t> slot;
  LabelInterfaces result;
  for (std::size_t t = 0; t < net.triangles.size(); ++t) {
    const auto [from, to] = net.sides[t];
    if (!wanted[from] && !wanted[to]) continue;
    const bool out = before(from, to);
    const std::array<std::uint32_t, 2> pair = out ? std::array{from, to} : std::array{to, from};
    const auto [at, added] = slot.emplace(pair, result.faces.size());
    if (added) {
      result.pairs.push_back(pair);
      result.faces.emplace_back();
    }
    const auto& f = net.triangles[t];
    result.faces[at->second].push_back(out ? f : std::array{f[0], f[2], f[1]});
  }
  // In the order of their labels.
  std::vector<std::size_t> order(result.pairs.size());
  for (std::size_t n = 0; n < order.size(); ++n) order[n] = n;
  const auto key = [&](std::size_t n) {
    const auto& p = result.pairs[n];
    return std::pair{p[0], p[1] == zero ? ~0u : p[1]};
  };
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
  LabelInterfaces sorted;
  for (const std::size_t n : order) {
    sorted.pairs.push_back(result.pairs[n]);
    sorted.faces.push_back(std::move(result.faces[n]));
  }
  return sorted;
}

std::vector<IndexedMesh> labelMeshes(
    const LabelNet& net, const std::vector<std::vector<std::array<std::uint32_t, 3>>>& faces) {
  std::vector<IndexedMesh> meshes(faces.size());
  // The mesh's number of each net vertex, reset after each label.
  std::vector<std::uint32_t> local(net.vertices.size(), NoVertex);
  for (std::size_t l = 0; l < faces.size(); ++l) {
    IndexedMesh& mesh = meshes[l];
    mesh.faces.reserve(faces[l].size());
    for (const auto& f : faces[l]) {
      std::array<std::uint32_t, 3> g;
      for (int c = 0; c < 3; ++c) {
        std::uint32_t& at = local[f[static_cast<std::size_t>(c)]];
        if (at == NoVertex) {
          at = static_cast<std::uint32_t>(mesh.vertices.size());
          mesh.vertices.push_back(net.vertices[f[static_cast<std::size_t>(c)]]);
        }
        g[static_cast<std::size_t>(c)] = at;
      }
      mesh.faces.push_back(g);
    }
    for (const auto& f : faces[l]) {
      for (const std::uint32_t v : f) local[v] = NoVertex;
    }
  }
  return meshes;
}

}  // namespace mcubes::internal
