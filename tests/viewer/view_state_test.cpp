// The viewer's state machine without a window: keys and pointer gestures as
// the window procedure hands them over, the title they lead to, and the
// frame-rate count.
#include "viewer/view_state.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "viewer/frame_rate.h"

namespace {

struct KeyCase {
  const char* keys;   // typed in order from the default state
  const char* title;  // with 1234 triangles and 60 frames per second
  KeyEffect lastEffect;
};

// From the default state: iso 0.25, 64 divisions, lit, smooth, running.
const KeyCase keyCases[] = {
    {"", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::ignored},
    {"=", "Marching Cubes - iso 0.260 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"-", "Marching Cubes - iso 0.240 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"+", "Marching Cubes - iso 0.350 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"__", "Marching Cubes - iso 0.050 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    // Never to zero or below: the coarse step stops at the lowest level,
    // then the fine steps cannot go lower.
    {"___", "Marching Cubes - iso 0.010 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"___-", "Marching Cubes - iso 0.010 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"]", "Marching Cubes - iso 0.250 - 128 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"]]]]]", "Marching Cubes - iso 0.250 - 1024 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"[[[[[", "Marching Cubes - iso 0.250 - 4 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"[[[[[]", "Marching Cubes - iso 0.250 - 8 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {" ", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - paused",
     KeyEffect::changed},
    {"  ", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"w", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - wireframe",
     KeyEffect::changed},
    {"L", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - unlit",
     KeyEffect::changed},
    {"n", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - flat normals",
     KeyEffect::changed},
    {"W l N ",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - paused - wireframe "
     "- unlit - flat normals",
     KeyEffect::changed},
    {"s", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::savePicture},
    {"q", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::ignored},
    {"e", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::exportMesh},
    // The clipping plane: 1 % a fine step of the scene, 10 % a coarse one,
    // within the box; its axis and position kept while it is off.
    {"c",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - clipped at x 50 %",
     KeyEffect::changed},
    {"c..>",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - clipped at x "
     "62 %",
     KeyEffect::changed},
    {"cY<<,",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - clipped at "
     "y 29 %",
     KeyEffect::changed},
    {"z>>>>>>c",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - clipped "
     "at z 100 %",
     KeyEffect::changed},
    {"cz<<<<<<.",
     "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - clipped "
     "at z 1 %",
     KeyEffect::changed},
    {"cc", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    {"o", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps - slices",
     KeyEffect::changed},
    // The scene has no caps to turn off; the title says nothing of them.
    {"b", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::changed},
    // Digits without labels do nothing.
    {"10", "Marching Cubes - iso 0.250 - 64 divisions - 1,234 triangles - 60 fps",
     KeyEffect::ignored},
};

TEST(ViewState, KeysChangeTheStateAndTheTitle) {
  for (const KeyCase& c : keyCases) {
    ViewState state;
    KeyEffect effect = KeyEffect::ignored;
    for (const char* key = c.keys; *key != '\0'; ++key) {
      effect = typeCharacter(state, *key);
    }
    EXPECT_EQ(viewTitle(state, 1234, 60), c.title) << "keys '" << c.keys << "'";
    EXPECT_EQ(effect, c.lastEffect) << "keys '" << c.keys << "'";
  }
}

// A label map's ten labels, all shown at first: the digits toggle the
// first nine, 0 shows them all again, and the title names up to three.
TEST(ViewState, DigitsToggleLabelsAndTheTitleNamesThem) {
  const struct {
    const char* keys;
    const char* shown;  // in the title
    KeyEffect lastEffect;
  } cases[] = {
      {"", "10 of 10 labels", KeyEffect::ignored},
      {"1", "9 of 10 labels", KeyEffect::changed},
      {"11", "10 of 10 labels", KeyEffect::changed},
      {"123456789", "label 10", KeyEffect::changed},
      {"23456789", "liver, label 10", KeyEffect::changed},
      {"2345678", "liver, bone, label 10", KeyEffect::changed},
      {"234567", "4 of 10 labels", KeyEffect::changed},
      {"1234567890", "10 of 10 labels", KeyEffect::changed},
  };
  for (const auto& c : cases) {
    ViewState state;
    state.grid = SurfaceGrid::volumeVoxels;
    state.gridLabel = "4x4x4 voxels";
    for (int value = 1; value <= 10; ++value) {
      state.labels.push_back({value,
                              value == 1   ? "liver"
                              : value == 9 ? "bone"
                                           : "label " + std::to_string(value),
                              true});
    }
    KeyEffect effect = KeyEffect::ignored;
    for (const char* key = c.keys; *key != '\0'; ++key) effect = typeCharacter(state, *key);
    EXPECT_EQ(viewTitle(state, 10, -1),
              "Marching Cubes - " + std::string(c.shown) + " - 4x4x4 voxels - 10 triangles")
        << "keys '" << c.keys << "'";
    EXPECT_EQ(effect, c.lastEffect) << "keys '" << c.keys << "'";
  }
}

TEST(ViewState, IsoStepsComeBackExactlyAndFollowTheSourcesStep) {
  ViewState state;
  for (const char* keys : {"=-", "+_", "==+-_-", "+++___"}) {
    for (const char* key = keys; *key != '\0'; ++key) typeCharacter(state, *key);
    EXPECT_EQ(state.iso.value(), 0.25) << keys;  // exactly the demo's level
  }
  // A volume's steps: 1 % and 10 % of its value range, to any sign, shown
  // with the digits that tell them apart; its grid stays its voxels, and
  // ] and [ choose its level of detail, every voxel to the coarsest its
  // source allows.
  const struct {
    double start, fineStep;
    std::int32_t coarsest;
    const char* keys;
    const char* title;
  } volumes[] = {
      {500.0, 40.0, 4, "+=", "Marching Cubes - iso 940 - 9x8x7 voxels - 0 triangles"},
      {1.0, 2.55, 4, "=", "Marching Cubes - iso 3.5 - 9x8x7 voxels - 0 triangles"},
      {0.5, 0.0891, 4, "_=", "Marching Cubes - iso -0.302 - 9x8x7 voxels - 0 triangles"},
      {0.0, 1e-6, 1, "=][", "Marching Cubes - iso 0.0000010 - 9x8x7 voxels - 0 triangles"},
      {1.0, 2.55, 4, "]", "Marching Cubes - iso 1.0 - 9x8x7 voxels - 0 triangles"},
      {1.0, 2.55, 4, "[", "Marching Cubes - iso 1.0 - 9x8x7 voxels, every 2nd - 0 triangles"},
      {1.0, 2.55, 4, "[[[", "Marching Cubes - iso 1.0 - 9x8x7 voxels, every 4th - 0 triangles"},
      {1.0, 2.55, 4, "[[[]", "Marching Cubes - iso 1.0 - 9x8x7 voxels, every 2nd - 0 triangles"},
      {1.0, 2.55, 32, "[[[[[", "Marching Cubes - iso 1.0 - 9x8x7 voxels, every 32nd - 0 triangles"},
      {1.0, 2.55, 4, "[[]]]", "Marching Cubes - iso 1.0 - 9x8x7 voxels - 0 triangles"},
  };
  for (const auto& v : volumes) {
    ViewState volume;
    volume.iso = IsoLevel{v.start, v.fineStep, 0, false, isoDecimals(v.fineStep)};
    volume.grid = SurfaceGrid::volumeVoxels;
    volume.gridLabel = "9x8x7 voxels";
    volume.coarsestStride = v.coarsest;
    for (const char* key = v.keys; *key != '\0'; ++key) typeCharacter(volume, *key);
    EXPECT_EQ(volume.divisions, 64) << v.keys;
    EXPECT_EQ(viewTitle(volume, 0, -1), v.title) << v.keys;
  }
  EXPECT_EQ(isoDecimals(0.01), 3);  // the scene's
}

TEST(ViewState, CameraResetsAndTheClockStopsWhenPaused) {
  ViewState state;
  state.height = 600;
  pressPointer(state, 100, 100);
  movePointer(state, 150, 80, HeldButtons{true, false, false});
  turnWheel(state, 240);
  EXPECT_NE(state.camera.yawDegrees, 0.0);
  EXPECT_LT(state.camera.distance, 40.0);
  typeCharacter(state, 'r');
  EXPECT_EQ(state.camera.yawDegrees, 0.0);
  EXPECT_EQ(state.camera.pitchDegrees, 0.0);
  EXPECT_EQ(state.camera.distance, 40.0);

  state.tick = 2147483647;
  timerTick(state);
  EXPECT_EQ(state.tick, -2147483647 - 1);  // wraps like the demo's clock
  typeCharacter(state, ' ');
  timerTick(state);
  EXPECT_EQ(state.tick, -2147483647 - 1);
}

struct GestureCase {
  const char* name;
  HeldButtons held;
  int dx, dy;
  Camera expected;
};

TEST(ViewState, DragsOrbitPanAndZoomByTheFirstHeldButton) {
  // 0.4 degrees a pixel; panning moves the looked-at point with the pointer
  // (the view is 2 * 40 * tan 22.5 units high over 600 pixels); 40 pixels up
  // of right-drag zoom one notch, 10 % closer.
  const double unitsPerPixel = 80.0 * std::tan(22.5 * std::acos(-1.0) / 180.0) / 600.0;
  const GestureCase cases[] = {
      {"none held", {}, 30, 40, Camera{}},
      {"left orbits", {true, false, false}, 50, -25, Camera{20.0, -10.0, 40.0, 0.0, 0.0}},
      {"left wins", {true, true, true}, 50, -25, Camera{20.0, -10.0, 40.0, 0.0, 0.0}},
      {"pitch stops at 90", {true, false, false}, 0, 500, Camera{0.0, 90.0, 40.0, 0.0, 0.0}},
      {"middle pans",
       {false, true, true},
       30,
       20,
       Camera{0.0, 0.0, 40.0, 30 * unitsPerPixel, -20 * unitsPerPixel}},
      {"right zooms", {false, false, true}, 7, -40, Camera{0.0, 0.0, 36.0, 0.0, 0.0}},
      {"zoom stops at 2", {false, false, true}, 0, -4000, Camera{0.0, 0.0, 2.0, 0.0, 0.0}},
  };
  for (const GestureCase& c : cases) {
    ViewState state;
    state.height = 600;
    pressPointer(state, 400, 300);
    movePointer(state, 400 + c.dx, 300 + c.dy, c.held);
    EXPECT_NEAR(state.camera.yawDegrees, c.expected.yawDegrees, 1e-9) << c.name;
    EXPECT_NEAR(state.camera.pitchDegrees, c.expected.pitchDegrees, 1e-9) << c.name;
    EXPECT_NEAR(state.camera.distance, c.expected.distance, 1e-9) << c.name;
    EXPECT_NEAR(state.camera.panX, c.expected.panX, 1e-9) << c.name;
    EXPECT_NEAR(state.camera.panY, c.expected.panY, 1e-9) << c.name;
    EXPECT_EQ(state.pointerX, 400 + c.dx) << c.name;
    // A drag lasts while a button is held, until one goes up.
    EXPECT_EQ(state.dragging, c.held.left || c.held.middle || c.held.right) << c.name;
    releasePointer(state);
    EXPECT_FALSE(state.dragging) << c.name;
  }
}

TEST(ViewState, WheelZoomsTenPercentANotchBothWays) {
  ViewState state;
  turnWheel(state, 120);
  EXPECT_NEAR(state.camera.distance, 36.0, 1e-12);
  turnWheel(state, -240);
  EXPECT_NEAR(state.camera.distance, 36.0 / 0.81, 1e-12);
}

TEST(FrameRate, CountsFramesOverAboutASecond) {
  using namespace std::chrono_literals;
  FrameRate rate;
  const FrameRate::Clock::time_point start{};
  EXPECT_FALSE(rate.frameShown(start));
  EXPECT_EQ(rate.perSecond(), -1);
  // 59 more frames 16 ms apart: 0.944 s, not yet a second.
  for (int i = 1; i < 60; ++i) EXPECT_FALSE(rate.frameShown(start + i * 16ms));
  EXPECT_TRUE(rate.frameShown(start + 1008ms));  // 60 frames in 1.008 s
  EXPECT_EQ(rate.perSecond(), 60);
  // A slow second: 2 frames in 1.5 s.
  EXPECT_FALSE(rate.frameShown(start + 1508ms));
  EXPECT_TRUE(rate.frameShown(start + 2508ms));
  EXPECT_EQ(rate.perSecond(), 1);
}

}  // namespace
