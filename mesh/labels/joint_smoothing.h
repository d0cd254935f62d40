// Smoothing a label net (mesh/labels/label_nets.h) as one surface, so that
// the labels' meshes stay joined: each vertex moves once, whichever labels'
// meshes share it. A vertex between two labels follows all its neighbours;
// one on a line where three labels meet follows its two neighbours on that
// line, so the line stays where the labels meet and moves only along
// itself; where four or more meet, or a line ends or branches, it stays. The
// volume's faces hold their vertices as the smoothing of one mesh does, and
// every vertex ends within its cell (Frisken's constraint: the surface
// cannot pass a voxel, and a face cannot turn over a neighbour's).
#pragma once

#include "mesh/labels/label_nets.h"

namespace mcubes::internal {

// The windowed-sinc filter of mesh/finishing/smoothing.h over the net.
void smoothJointly(LabelNet& net, int iterations, double passband);

}  // namespace mcubes::internal
