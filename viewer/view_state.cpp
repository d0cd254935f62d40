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

// Moves the clipping plane by `steps` of its fine steps, within the box.
void moveClip(ClipPlane& clip, std::int32_t steps) {
  std::int32_t& at = clip.at[clip.axis];
  at = std::clamp(at + steps, 0, clip.steps[clip.axis]);
}

// A tenth of the box along the plane's axis, in fine steps, at least one.
std::int32_t coarseClipSteps(const ClipPlane& clip) {
  return std::max(1, static_cast<std::int32_t>(std::lround(clip.steps[clip.axis] / 10.0)));
}

// 1 to 9 toggle the first nine labels, 0 shows them all.
KeyEffect typeDigit(std::vector<ShownLabel>& labels, int digit) {
  if (digit == 0) {
    for (ShownLabel& label : labels) label.visible = true;
    return labels.empty() ? KeyEffect::ignored : KeyEffect::changed;
  }
  if (static_cast<std::size_t>(digit) > labels.size()) return KeyEffect::ignored;
  ShownLabel& label = labels[static_cast<std::size_t>(digit - 1)];
  label.visible = !label.visible;
  return KeyEffect::changed;
}

// "liver, spleen", or "5 of 12 labels".
std::string labelsShown(const std::vector<ShownLabel>& labels) {
  std::string names;
  std::size_t visible = 0;
  for (const ShownLabel& label : labels) {
    if (!label.visible) continue;
    ++visible;
    names += (names.empty() ? "" : ", ") + label.name;
  }
  if (visible == 0 || visible > 3) {
    return std::to_string(visible) + " of " + std::to_string(labels.size()) + " labels";
  }
  return names;
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
    case 'e':
    case 'E':
      return KeyEffect::exportMesh;
    case 'c':
    case 'C':
      state.clip.on = !state.clip.on;
      return KeyEffect::changed;
    case 'x':
    case 'X':
    case 'y':
    case 'Y':
    case 'z':
    case 'Z':
      state.clip.axis = (character | 0x20) - 'x';
      return KeyEffect::changed;
    case '.':
      moveClip(state.clip, 1);
      return KeyEffect::changed;
    case ',':
      moveClip(state.clip, -1);
      return KeyEffect::changed;
    case '>':
      moveClip(state.clip, coarseClipSteps(state.clip));
      return KeyEffect::changed;
    case '<':
      moveClip(state.clip, -coarseClipSteps(state.clip));
      return KeyEffect::changed;
    case 'b':
    case 'B':
      state.caps = !state.caps;
      return KeyEffect::changed;
    case 'o':
    case 'O':
      state.slices = !state.slices;
      return KeyEffect::changed;
    default:
      if (character >= '0' && character <= '9') return typeDigit(state.labels, character - '0');
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
  state.dragging = held.left || held.middle || held.right;
  if (held.left) {
    orbitCamera(state.camera, dx, dy);
  } else if (held.middle) {
    panCamera(state.camera, dx, dy, state.height);
  } else if (held.right) {
    zoomCamera(state.camera, -dy / pixelsPerNotch);
  }
}

void releasePointer(ViewState& state) { state.dragging = false; }

void turnWheel(ViewState& state, int delta) { zoomCamera(state.camera, delta / 120.0); }

std::string viewTitle(const ViewState& state, std::size_t triangles, int framesPerSecond) {
  char iso[32];
  std::snprintf(iso, sizeof iso, "%.*f", state.iso.decimals, state.iso.value());
  std::string grid = std::to_string(state.divisions) + " divisions";
  if (state.grid == SurfaceGrid::volumeVoxels) {
    grid = state.gridLabel;
    if (state.voxelStride > 1) grid += ", every " + ordinal(state.voxelStride);
  }
  const std::string what =
      state.labels.empty() ? "iso " + std::string(iso) : labelsShown(state.labels);
  std::string title = "Marching Cubes - " + what + " - " + grid + " - " +
                      groupedThousands(triangles) + " triangles";
  if (framesPerSecond >= 0) {
    title += " - " + std::to_string(framesPerSecond) + " fps";
  }
  if (state.paused) title += " - paused";
  if (state.wireframe) title += " - wireframe";
  if (!state.lighting) title += " - unlit";
  if (!state.smoothNormals) title += " - flat normals";
  if (state.clip.on) {
    const ClipPlane& clip = state.clip;
    title += " - clipped at " + std::string(1, static_cast<char>('x' + clip.axis)) + " " +
             std::to_string(std::lround(100.0 * clip.fraction(clip.axis))) + " %";
  }
  if (state.grid == SurfaceGrid::volumeVoxels && !state.caps) title += " - no caps";
  if (state.slices) title += " - slices";
  return title;
}
