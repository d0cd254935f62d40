// The value types of the cell code, apart from its operations
// (iso/isosurface.h) so that the library's own copy of those
// (mesh/surface/cell_rules.h) works on the same types as the demo.
#pragma once

struct Point3 {
  float x, y, z;
};

struct GridCell {
  Point3 points[8];
  double values[8];
};

// Vertices in emission order, which is also drawing order: counter-clockwise
// seen from where the field is at or above the iso level.
struct Triangle {
  Point3 vertices[3];
};

// The triangles of one cell and the case it was classified as (bit c:
// corner c below the iso level), for callers that name the triangles' edges.
struct CellTriangles {
  int count;
  int caseIndex;
};

// One axis of a cell: the two corner coordinates and, for the offset of the
// cell centre from a field's centre, the squares of the offset minus and
// plus the half edge. Every corner's sum draws on these, so the samplers
// compute them once per axis; the values are the same as per corner.
struct CellAxis {
  float corner[2];
  double square[2];
};
