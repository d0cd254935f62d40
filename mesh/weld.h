// Welding the extractor's triangle soup into an indexed mesh whose faces are
// wound counter-clockwise seen from outside the blobs (the reverse of the
// drawing order), so that viewers compute outward normals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "iso/isosurface.h"

struct IndexedMesh {
  std::vector<Point3> vertices;
  std::vector<std::array<std::uint32_t, 3>> faces;  // zero-based, outward winding
  std::vector<Point3> normals;  // empty, or one unit normal per vertex
};

// A vertex on a grid edge shared by two cells can differ in its last bit
// between them; vertices closer than this are one.
constexpr double WeldDistance = 1e-5;

// The triangle with its winding reversed: outward instead of drawing order.
Triangle outwardFace(const Triangle& triangle);

// Welds the triangles' vertices (each merges into the earliest vertex kept
// so far that is closer than `weldDistance`), turns the faces outward and
// drops the faces left with a repeated vertex. Faces keep the triangles'
// order. Time and memory grow linearly with the triangles. `progress`, if
// given, hears the number of triangles done every 65,536 triangles.
IndexedMesh weldTriangles(const std::vector<Triangle>& triangles, double weldDistance,
                          const std::function<void(std::size_t done)>& progress = {});
