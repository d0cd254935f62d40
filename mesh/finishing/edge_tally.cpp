#include "mesh/finishing/edge_tally.h"

namespace mcubes::internal {

namespace {

// Each vertex's outgoing directed edges (the vertex that follows it in each
// of its faces) in compressed rows: a counting sort by start vertex. With
// about six edges a vertex, looking an edge up in its row is cheaper than
// any map or sort over all edges.
struct OutEdges {
  std::vector<std::uint32_t> start;  // vertices + 1 offsets into `to`
  std::vector<std::uint32_t> to;

  // Rows filled from their ends: start[v] counts down to the row's start.
  OutEdges(const FaceArray& faces, std::size_t vertexCount) : start(vertexCount + 1, 0) {
    for (const auto& f : faces) {
      for (const std::uint32_t v : f) ++start[v];
    }
    for (std::size_t v = 1; v < start.size(); ++v) start[v] += start[v - 1];
    to.resize(3 * faces.size());
    for (const auto& f : faces) {
      for (int i = 0; i < 3; ++i) to[--start[f[i]]] = f[(i + 1) % 3];
    }
  }

  std::uint32_t count(std::uint32_t from, std::uint32_t target) const {
    std::uint32_t n = 0;
    for (std::uint32_t e = start[from]; e < start[from + 1]; ++e) n += to[e] == target;
    return n;
  }

  // 0: fine, 1: open, 2: defective.
  int kind(std::uint32_t from, std::uint32_t target) const {
    if (count(from, target) != 1) return 2;
    const std::uint32_t back = count(target, from);
    return back == 1 ? 0 : back == 0 ? 1 : 2;
  }
};

}  // namespace

EdgeTally tallyEdges(const FaceArray& faces, std::size_t vertexCount) {
  const OutEdges out(faces, vertexCount);
  EdgeTally tally;
  tally.edges = out.to.size();
  for (std::uint32_t v = 0; v + 1 < out.start.size(); ++v) {
    for (std::uint32_t e = out.start[v]; e < out.start[v + 1]; ++e) {
      const int kind = out.kind(v, out.to[e]);
      tally.open += kind == 1;
      tally.defective += kind == 2;
    }
  }
  return tally;
}

std::vector<std::uint32_t> facesOnDefectiveEdges(const FaceArray& faces, std::size_t vertexCount) {
  const OutEdges out(faces, vertexCount);
  std::vector<std::uint32_t> found;
  for (std::uint32_t f = 0; f < faces.size(); ++f) {
    const auto& face = faces[f];
    for (int i = 0; i < 3; ++i) {
      if (out.kind(face[i], face[(i + 1) % 3]) == 2) {
        found.push_back(f);
        break;
      }
    }
  }
  return found;
}

}  // namespace mcubes::internal
