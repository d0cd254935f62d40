// Faces without area in a welded mesh. Where the polygoniser snapped the
// vertices of several edges onto one cell corner, welding by edge leaves
// distinct vertices at one point; a file format without indices (STL), and
// every reader that merges by position, sees one vertex there. Merging them
// turns the faces between them into faces whose vertex index repeats: lines
// and points that close nothing, dropped. A face of three distinct vertices
// on one line has no area either; it stays, since dropping it would open
// the surface, and is counted for the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/surface.h"

// Makes vertices with the same bits one (the first, with its normal);
// returns how many went.
std::size_t mergeCoincidentVertices(IndexedMesh& mesh);

// Makes each vertex v the vertex same[v] (same[v] <= v, and same[v] is its
// own), keeping the order of the rest; returns how many went.
std::size_t mergeVertices(IndexedMesh& mesh, const std::vector<std::uint32_t>& same);

// Removes the faces whose vertex index repeats; returns how many went.
std::size_t dropRepeatedVertexFaces(IndexedMesh& mesh);

// The faces whose three corners span no area (their cross product is zero
// in double precision).
std::size_t zeroAreaFaces(const IndexedMesh& mesh);
