// The graphics calls of one frame around and for its triangles. renderFrame
// issues them while it sweeps; the benchmark replays a frame's triangles
// through the very same calls to time the drawing without the sweep.
#pragma once

#include "iso/isosurface.h"

// Resets the model-view matrix, sets red and the eye offset of -40 along z,
// and clears the colour, depth and stencil buffers.
void beginFrameDrawing();

// Draws the triangle as its own batch, in the polygoniser's vertex order:
// the winding decides what back-face culling keeps.
void drawFrameTriangle(const Triangle& triangle);
