#include "mesh/labels/joint_smoothing.h"

#include <algorithm>

#include "mesh/finishing/smoothing.h"
#include "mesh/volume/box_faces.h"

namespace mcubes::internal {

namespace {

// Each vertex's neighbours to follow: all across its faces between two
// labels, the two along the line on a line of three, none elsewhere.
NeighbourRows followed(const LabelNet& net) {
  NeighbourRows rows;
  const std::size_t count = net.vertices.size();
  rows.start.reserve(count + 1);
  rows.start.push_back(0);
  for (std::size_t v = 0; v < count; ++v) {
    const auto& across = net.across[v];
    if (net.labelsAround[v] == 2) {
      for (const std::uint32_t u : across) {
        if (u != NoVertex) rows.of.push_back(u);
      }
    } else if (net.labelsAround[v] == 3) {
      std::uint32_t line[CellFaces];
      int on = 0;
      for (int f = 0; f < CellFaces; ++f) {
        if ((net.tripleFaces[v] >> f) & 1) line[on++] = across[static_cast<std::size_t>(f)];
      }
      if (on == 2) rows.of.insert(rows.of.end(), line, line + 2);
    }
    rows.start.push_back(static_cast<std::uint32_t>(rows.of.size()));
  }
  return rows;
}

// Moves each vertex that left its cell back onto the cell's nearest point.
void keepInCells(LabelNet& net) {
  const VolumeGeometry& g = net.geometry;
  const BoxFaces faces = boxFaces({}, g);
  for (std::size_t v = 0; v < net.vertices.size(); ++v) {
    double index[3];
    indexCoordinates(faces, g, net.vertices[v], index);
    bool outside = false;
    for (int a = 0; a < 3; ++a) {
      // The cell clipped to the volume: a cell around it is its face.
      const double cell = net.cells[v][static_cast<std::size_t>(a)];
      const double low = std::max(0.0, cell);
      const double high = std::min(static_cast<double>(g.dims[a] - 1), cell + 1.0);
      const double in = std::clamp(index[a], low, high);
      outside = outside || in != index[a];
      index[a] = in;
    }
    if (outside) net.vertices[v] = worldPoint(g, index);
  }
}

}  // namespace

void smoothJointly(LabelNet& net, int iterations, double passband) {
  if (iterations < 1 || net.vertices.empty()) return;
  smoothOverRows(net.vertices, followed(net), iterations, passband, &net.geometry);
  keepInCells(net);
}

}  // namespace mcubes::internal
