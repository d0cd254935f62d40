// The viewer's picture in OpenGL 1.1, as Windows' opengl32, Mesa and the
// browser's emulation all draw it: the surface through vertex arrays, lit by
// one light that moves with the camera, or flat red as in the demo; the
// wireframe as the mesh's edges drawn as lines (WebGL has no polygon modes).
#pragma once

#include "viewer/slice_view.h"
#include "viewer/surface_source.h"
#include "viewer/surface_view.h"
#include "viewer/view_state.h"

// The viewer's fixed state on a context that already has the demo's (its
// clear colour, depth test, front faces and projection, from Engine::init
// and resize): both sides of the faces lit, so that the inside shows where
// the grid cuts a blob open or the clipping plane cuts it, and the light and
// materials: the demo's red in front, a darker red behind (the inside), a
// surface's own colours in front where it has them.
void setUpViewDrawing();

// Clears and draws one frame for the state; the caller presents it. `box`:
// where the clipping plane's positions lie (SurfaceDescription).
void drawView(const ViewState& state, const SurfaceView& surface, const SliceView& slices,
              const SurfaceDescription& box);
