// The operations of the cell code: the case tables, the polygoniser, the
// samplers and the cell geometry they share. No include guard, on purpose:
// iso/isosurface.h includes this at global scope (the demo's names), and
// mesh/surface/cell_rules.h includes it inside mcubes::internal::iso, the
// library's own copy, so that libmcubes.a defines no global names. Include
// one of those two, never this file (the types, <cmath> and <cstdint> come
// first there).

// Entry c: the edges that the surface crosses in case c (12-bit mask).
extern const std::int32_t CaseEdgeMasks[256];
// Row c: up to five triangles as triples of edge numbers, then -1 up to and
// including entry 15.
extern const std::int32_t CaseTriangles[256][16];

// Writes the cell's 0 to 5 triangles at the iso level to `triangles` (room
// for five) and returns how many; elements past the count are not touched.
inline int triangulateCell(GridCell cell, double isoLevel, Triangle* triangles);

// The same, also telling the case the cell was classified as.
inline CellTriangles polygoniseCell(GridCell cell, double isoLevel, Triangle* triangles);

// The same with the vertices placed by interpolateVolumeEdgeVertex: users'
// volumes (the scene keeps polygoniseCell's rule).
inline CellTriangles polygoniseVolumeCell(GridCell cell, double isoLevel, Triangle* triangles);

// The demo's rule, which its scene keeps bit for bit: the point of the edge
// p1 -> p2 where the linear interpolation of the corner values reaches the
// iso level; snaps to an end when a difference is tiny (withinSnapTolerance).
// Where one value is infinite (and no snap applies) the vertex is the other
// end.
inline Point3 interpolateEdgeVertex(double isoLevel, Point3 p1, Point3 p2, double value1,
                                    double value2);

// True when the demo's polygoniser treats a - b as zero: the interpolation
// snaps an edge's vertex to an end when the iso level lies this close to the
// end's value, or the two values this close to each other (an absolute
// tolerance of 1e-5, checked in single precision). Users' volumes have no
// such tolerance (interpolateVolumeEdgeVertex).
inline bool withinSnapTolerance(double a, double b);

// The rule for users' volumes, which does not depend on the values' units:
// the vertex is an end only where the iso level equals that end's value
// exactly (or the other end is infinite, as above); everywhere else it is
// the interpolated point mu = (L - v1) / (v2 - v1) of the way along, and
// where rounding to float puts that point on an end, the float next to the
// end toward the other end instead (per coordinate the ends do not share).
// Scaling the values and the level by a power of two gives the same bits;
// vertices of different edges meet only on a voxel whose value is the level.
inline Point3 interpolateVolumeEdgeVertex(double isoLevel, Point3 p1, Point3 p2, double value1,
                                          double value2);

// Sets every point and value of the cell to zero.
inline void clearGridCell(GridCell& cell);

// Stores the corners of the cell centred at grid coordinates (x, y, z) of a
// grid `extent` wide (world = grid - extent / 2), with half edge `halfEdge`,
// and adds strength / (1 + d^2) of the ball at world (ballX, ballY, ballZ)
// to each corner's value.
inline void sampleMetaball(GridCell& cell, float extent, float halfEdge, float strength, float x,
                           float y, float z, float ballX, float ballY, float ballZ);

// Stores the corners of the cell (half edge 0.5) and adds to each corner's
// value its squared distance from the point (centreX, centreY, 0) in world
// coordinates: a centre given by two coordinates lies in the plane z = 0.
inline void sampleSquaredDistance(GridCell& cell, float extent, float x, float y, float z,
                                  float centreX, float centreY);

// The operations are defined inline: the scene sweep calls them for each of
// its 4,913 cells, and compiled into it they take about half the time that
// out-of-line calls do.
#include "iso/cell_geometry.h"
#include "iso/polygonise.h"
#include "iso/samplers.h"
