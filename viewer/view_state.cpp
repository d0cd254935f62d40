#include "viewer/view_state.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::int32_t coarseIsoSteps = 10;
// Right-drag pixels per wheel notch of zoom.
constexpr double pixelsPerNotch = 40.0;

// Steps the iso level; one that must stay positive never to zero or below: a
// step that would leaves it at the lowest positive level it can reach.
void stepIso(IsoLevel& iso, std::int32_t steps) {
  const std::int32_t before = iso.steps;
  iso.steps += steps;
  while (iso.positiveOnly && iso.value() <= 0.0 && iso.steps < before) {
    ++iso.steps;
  }
}

// A volume's level of detail, or the scene's divisions.
void scaleDivisions(ViewState& state, bool finer) {
  if (state.grid == SurfaceGrid::volumeVoxels) {
    const std::int32_t stride = finer ? state.voxelStride / 2 : state.voxelStride * 2;
    state.voxelStride = std::clamp(stride, 1, std::max(state.coarsestStride, 1));
    return;
  }
  const std::int32_t scaled = finer ? state.divisions * 2 : state.divisions / 2;
  state.divisions = std::clamp(scaled, MinViewDivisions, MaxViewDivisions);
}

// 35912 as "35,912".
std::string groupedThousands(std::size_t count) {
  std::string digits = std::to_string(count);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return digits;
}

// 2 as "2nd", 4 as "4th", 32 as "32nd".
std::string ordinal(std::int32_t n) {
  const int lastTwo = n % 100;
  const int last = n % 10;
  const char* suffix = lastTwo >= 11 && lastTwo <= 13 ? "th"
                       : last == 1                    ? "st"
                       : last == 2                    ? "nd"
                       : last == 3                    ? "rd"
                                                      : "th";
  return std::to_string(n) + suffix;
}

}  // namespace

int isoDecimals(double fineStep) {
  if (!(fineStep > 0.0) || !std::isfinite(fineStep)) {
    return 3;
  }
  return std::clamp(1 - static_cast<int>(std::floor(std::log10(fineStep) + 1e-9)), 0, 17);
}

KeyEffect typeCharacter(ViewState& state, char character) {
  switch (character) {
    case '=':
      stepIso(state.iso, 1);
      return KeyEffect::changed;
    case '-':
      stepIso(state.iso, -1);
      return KeyEffect::changed;
    case '+':
      stepIso(state.iso, coarseIsoSteps);
      return KeyEffect::changed;
    case '_':
      stepIso(state.iso, -coarseIsoSteps);
      return KeyEffect::changed;
    case ']':
      scaleDivisions(state, true);
      return KeyEffect::changed;
    case '[':
      scaleDivisions(state, false);
      return KeyEffect::changed;
    case 'w':
    case 'W':
      state.wireframe = !state.wireframe;
      return KeyEffect::changed;
    case 'l':
    case 'L':
      state.lighting = !state.lighting;
      return KeyEffect::changed;
    case 'n':
    case 'N':
      state.smoothNormals = !state.smoothNormals;
      return KeyEffect::changed;
    case ' ':
      state.paused = !state.paused;
      return KeyEffect::changed;
    case 'r':
    case 'R':
      state.camera = Camera{};
      return KeyEffect::changed;
    case 's':
    case 'S':
      return KeyEffect::savePicture;
    default:
      return KeyEffect::ignored;
  }
}

void timerTick(ViewState& state) {
  if (!state.paused) {
    state.tick = static_cast<std::int32_t>(static_cast<std::uint32_t>(state.tick) + 1u);
  }
}

void pressPointer(ViewState& state, int x, int y) {
  state.pointerX = x;
  state.pointerY = y;
}

void movePointer(ViewState& state, int x, int y, HeldButtons held) {
  const int dx = x - state.pointerX;
  const int dy = y - state.pointerY;
  state.pointerX = x;
  state.pointerY = y;
  if (held.left) {
    orbitCamera(state.camera, dx, dy);
  } else if (held.middle) {
    panCamera(state.camera, dx, dy, state.height);
  } else if (held.right) {
    zoomCamera(state.camera, -dy / pixelsPerNotch);
  }
}

void turnWheel(ViewState& state, int delta) { zoomCamera(state.camera, delta / 120.0); }

std::string viewTitle(const ViewState& state, std::size_t triangles, int framesPerSecond) {
  char iso[32];
  std::snprintf(iso, sizeof iso, "%.*f", state.iso.decimals, state.iso.value());
  std::string grid = std::to_string(state.divisions) + " divisions";
  if (state.grid == SurfaceGrid::volumeVoxels) {
    grid = state.gridLabel;
    if (state.voxelStride > 1) grid += ", every " + ordinal(state.voxelStride);
  }
  std::string title = "Marching Cubes - iso " + std::string(iso) + " - " + grid + " - " +
                      groupedThousands(triangles) + " triangles";
  if (framesPerSecond >= 0) {
    title += " - " + std::to_string(framesPerSecond) + " fps";
  }
  if (state.paused) title += " - paused";
  if (state.wireframe) title += " - wireframe";
  if (!state.lighting) title += " - unlit";
  if (!state.smoothNormals) title += " - flat normals";
  return title;
}
