// Everything the viewer's user controls, as plain data, and the pure
// functions that the window procedure calls for each key and pointer
// message. The picture and the title follow from this state alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/camera.h"

// The range of divisions the keys step through (the start may be anywhere in
// it): 4 shows the cells plainly, 1024 is about as fine as stays usable.
constexpr std::int32_t MinViewDivisions = 4;
constexpr std::int32_t MaxViewDivisions = 1024;

// The iso level as a start value plus a whole number of fine steps, so that
// stepping up and back down returns to exactly the start (and to the demo's
// 0.25) instead of drifting by rounding. A coarse step is ten fine ones.
struct IsoLevel {
  double start = 0.25;
  double fineStep = 0.01;
  std::int32_t steps = 0;
  // The scene's field is positive everywhere, so its level stays above zero;
  // a volume's data may take any sign.
  bool positiveOnly = true;
  // Digits after the point in the title: enough to tell fine steps apart.
  int decimals = 3;

  double value() const { return start + steps * fineStep; }
};

// Digits after the point that tell levels a fine step apart: 3 for 0.01,
// 1 for 2.55, none from 10 on.
int isoDecimals(double fineStep);

// The grid that the surface is extracted on: the scene's, at the state's
// divisions, which ] and [ change; or a volume's voxels, at the state's level
// of detail, which ] and [ choose.
enum class SurfaceGrid { sceneDivisions, volumeVoxels };

// A label of a label map as the viewer shows it.
struct ShownLabel {
  std::int64_t value = 0;
  std::string name;  // "label 3", or a segmentation's name for it
  bool visible = true;
};

// The number of labels that the digits 1 to 9 toggle.
constexpr int DigitLabels = 9;

// The clipping plane: across one axis of the viewer's frame (0 x, 1 y, 2 z),
// at a position along each axis given as a whole number of fine steps from
// the box's least side to its greatest (`steps`: one voxel of a volume, 1 %
// of the scene), so that moves back and forth return to exactly where they
// began. Only the side below the plane is drawn. The slices go through the
// positions along all three axes.
struct ClipPlane {
  bool on = false;
  int axis = 0;
  std::int32_t at[3] = {50, 50, 50};
  std::int32_t steps[3] = {100, 100, 100};

  double fraction(int a) const {
    return steps[a] > 0 ? static_cast<double>(at[a]) / steps[a] : 0.5;
  }
};

struct ViewState {
  Camera camera;
  IsoLevel iso;
  SurfaceGrid grid = SurfaceGrid::sceneDivisions;
  std::int32_t divisions = 64;
  // What the title says for a volume's grid ("256x256x113 voxels").
  std::string gridLabel;
  // A volume's level of detail: its surface is extracted on every
  // voxelStride-th voxel along each axis, from 1 (every voxel) to
  // coarsestStride, which its source sets; [ doubles it, ] halves it.
  std::int32_t voxelStride = 1;
  std::int32_t coarsestStride = 1;
  std::int32_t tick = 0;  // the scene's animation clock, one per 16 ms timer tick
  bool paused = false;
  bool wireframe = false;
  bool lighting = true;
  bool smoothNormals = true;
  ClipPlane clip;
  // A volume's caps, where its surface leaves the box.
  bool caps = true;
  // The three slices of a volume's data through the clip positions.
  bool slices = false;
  // A label map's labels, in ascending order; empty for a single surface.
  std::vector<ShownLabel> labels;
  // The pointer's last position in client coordinates, the origin of a drag.
  int pointerX = 0;
  int pointerY = 0;
  // A button is held and the pointer has moved since it went down.
  bool dragging = false;
  // The client area, for panning.
  int width = 0;
  int height = 0;
};

// What a typed character asks for beyond changing the state.
enum class KeyEffect { ignored, changed, savePicture, exportMesh };

// The keys typed as characters (WM_CHAR): = - + _ ] [ w l n space r s, the
// clipping plane's c x y z , . < >, b (caps), o (slices), e (export), and
// the digits (labels: 1 to 9 toggle the first nine, 0 shows all). Letters
// count in either case.
KeyEffect typeCharacter(ViewState& state, char character);

// One 16 ms timer tick: the clock advances unless paused. The clock counts
// modulo 2^32 like the demo's.
void timerTick(ViewState& state);

// A button went down at (x, y): drags measure from here.
void pressPointer(ViewState& state, int x, int y);

// The pointer moved to (x, y) with these buttons held: the left button
// orbits, else the middle pans, else the right zooms (upwards comes closer).
struct HeldButtons {
  bool left = false;
  bool middle = false;
  bool right = false;
};
void movePointer(ViewState& state, int x, int y, HeldButtons held);

// A button went up: the drag ends.
void releasePointer(ViewState& state);

// A wheel turn of `delta` (120 a notch, positive away from the user: closer).
void turnWheel(ViewState& state, int delta);

// "Marching Cubes - iso 0.250 - 64 divisions - 5,192 triangles - 60 fps"
// (the level with iso.decimals digits, a volume's gridLabel for the divisions,
// followed by ", every 2nd" ... at a coarser level of detail),
// then what differs from the usual view: paused, wireframe, unlit, flat
// normals, the clipping plane, no caps, slices. A label map's title names
// its visible labels instead of the iso level ("liver, label 2"), or counts
// them where none or more than three show ("5 of 12 labels"). The frame rate is left out while it
// is not known (negative).
std::string viewTitle(const ViewState& state, std::size_t triangles, int framesPerSecond);
