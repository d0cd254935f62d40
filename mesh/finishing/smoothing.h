// Smoothing that does not shrink: Taubin's windowed-sinc low-pass filter
// (G. Taubin, T. Zhang, G. Golub, "Optimal surface smoothing as filter
// design", 1996), formulated as VTK's vtkWindowedSincPolyDataFilter: a
// Chebyshev polynomial of the umbrella operator whose coefficients are a
// Hamming-windowed ideal low-pass, shifted so that the pass band's edge
// passes at gain 1. Marching cubes' staircase and terracing are the high
// frequencies it removes; the shape's own curvature lies in the pass band,
// so unlike Laplacian smoothing a sphere keeps its volume.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/finishing/edge_tally.h"
#include "mesh/surface/surface.h"
#include "volume/volume.h"

namespace mcubes::internal {

// Smooths the vertices in place over `iterations` (the filter's degree;
// 10 to 50 is usual) with `passband` (0 < passband < 2; lower smooths
// more; VTK's default is 0.1). Faces and vertex order stay;
// normals are left as they were (recompute them).
//
// Where `box` is given (the volume the mesh came from), vertices on the
// box's faces are the caps and rims of a surface cut by the volume's
// bounds: they move only within their face's plane, those on an edge of
// the box only along that edge, and the box's corners stay, so caps stay
// flat on the bounds. The caps' own triangles (all corners on one face) do
// not pull on the rim, so their long chords across the cap do not shrink
// it. Without a box every vertex moves freely.
//
// Where `tally` is given it receives tallyEdges(mesh), which smoothing finds
// on its way at no extra cost.
void smoothMesh(IndexedMesh& mesh, int iterations, double passband,
                const VolumeGeometry* box = nullptr, EdgeTally* tally = nullptr);

// The neighbours each vertex follows, in compressed rows: vertex v's are
// of[start[v]] ... of[start[v + 1] - 1] (start has one entry more than
// there are vertices).
struct NeighbourRows {
  std::vector<std::uint32_t> start;
  std::vector<std::uint32_t> of;
};

// The same filter over neighbours the caller chose rather than a mesh's
// edges (several meshes sharing vertices smoothed as one, where some
// vertices follow only some of theirs): each vertex moves towards the mean
// of its row, a vertex with an empty row stays exactly where it is, and
// `box` holds vertices on its faces as smoothMesh does.
void smoothOverRows(PointArray& vertices, const NeighbourRows& rows, int iterations,
                    double passband, const VolumeGeometry* box = nullptr);

// The filter's coefficients for the Chebyshev polynomials T_0 ... T_n,
// scaled to sum to 1 (see smoothing.cpp).
std::vector<double> windowedSincCoefficients(int iterations, double passband);

}  // namespace mcubes::internal
