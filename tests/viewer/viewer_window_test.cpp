// The viewer's window procedure and loop driven through the stand-in on the
// headless display, with Win32 messages posted as the window system would
// deliver them: the title it sets, the picture it draws (read back through
// its own `s` key), what GL was asked to draw (feedback mode), and its end.
#include "viewer/viewer_window.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <regex>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/window_proc.h"
#include "mesh/scene/extract.h"
#include "tests/support/captured_stdout.h"
#include "tests/support/headless_suite.h"
#include "tests/support/temporary_directory.h"
#include "tests/viewer/small_volume.h"
#include "tools/mcubes.h"
#include "tools/snapshot_render.h"
#include "tools/view_command.h"
#include "viewer/surface_source.h"
#include "volume/nrrd_writer.h"

using namespace mcubes::internal;

namespace {

constexpr int width = 800;
constexpr int height = 600;

class ViewerWindow : public HeadlessSuite {
 protected:
  void open(const ViewState& start) {
    ViewerOptions options;
    options.start = start;
    options.threads = 2;
    open(capturing(options));
  }
  // The options with `s` taking the picture for frame().
  ViewerOptions capturing(ViewerOptions options) {
    options.writePicture = [this](const std::string&, int w, int h,
                                  const std::vector<unsigned char>& rgb) {
      EXPECT_EQ(w, width);
      EXPECT_EQ(h, height);
      picture = rgb;
      return std::string();
    };
    return options;
  }
  // Every frame shows the state's own surface however long it takes on a
  // busy machine (the coarser one first is SurfaceView's test).
  void open(ViewerOptions options) {
    options.progressive = false;
    port::observeCalls([this](std::string_view call) {
      const std::string prefix = "SetWindowTextA(";
      if (call.substr(0, prefix.size()) == prefix) {
        // SetWindowTextA(hwnd#N, "title")
        const std::size_t quote = call.find('"');
        titles.emplace_back(call.substr(quote + 1, call.size() - quote - 3));
      }
    });
    std::string error;
    window = openViewer(options, width, height, error);
    ASSERT_NE(window, nullptr) << error;
  }
  void TearDown() override {
    closeViewer(window);
    port::observeCalls(nullptr);
  }

  // Hands every posted message to the window procedure, then asks for one
  // frame, as one turn of the viewer's loop does.
  void turn() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    SendMessageA(window, WM_RENDER, 0, 0);
  }
  // The picture of the next frame, through the `s` key.
  std::vector<unsigned char> frame() {
    picture.clear();
    PostMessageA(window, WM_CHAR, 's', 0);
    CapturedStdout quiet;
    turn();
    return picture;
  }

  HWND window = nullptr;
  std::vector<std::string> titles;
  std::vector<unsigned char> picture;
};

struct MessageCase {
  const char* name;
  std::vector<MSG> messages;  // posted in order
  std::int32_t isoSteps;      // what the state should be after them
  std::int32_t divisions;
  Camera camera;
};

MSG message(UINT id, WPARAM wParam, LPARAM lParam) {
  return MSG{nullptr, id, wParam, lParam, 0, {}};
}

// The title without its frame rate, which depends on the machine's speed.
std::string withoutFrameRate(const std::string& title) {
  return std::regex_replace(title, std::regex(" - [0-9]+ fps"), "");
}

TEST_F(ViewerWindow, KeysAndPointerMessagesReachTheStateAndTheTitle) {
  const MessageCase cases[] = {
      {"nothing", {}, 0, 64, Camera{}},
      {"iso keys as characters",
       {message(WM_CHAR, '=', 0x0d0001), message(WM_CHAR, '+', 0x0d0001)},
       11,
       64,
       Camera{}},
      {"a key-down without its character does nothing",
       {message(WM_KEYDOWN, 'W', 0x110001), message(WM_KEYDOWN, 0xDD, 0x1b0001)},
       0,
       64,
       Camera{}},
      {"divisions", {message(WM_CHAR, '[', 0), message(WM_CHAR, '[', 0)}, 0, 16, Camera{}},
      {"left drag orbits, no button no drag",
       {message(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 200)),
        message(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 190)),
        message(WM_LBUTTONUP, 0, MAKELPARAM(150, 190)),
        message(WM_MOUSEMOVE, 0, MAKELPARAM(400, 400))},
       0,
       64,
       Camera{20.0, -4.0, 40.0, 0.0, 0.0}},
      {"right drag above the window's top left corner: signed coordinates",
       {message(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, 10)),
        message(WM_MOUSEMOVE, MK_RBUTTON, MAKELPARAM(-30, -30))},
       0,
       64,
       Camera{0.0, 0.0, 36.0, 0.0, 0.0}},
      {"middle drag pans",
       {message(WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(10, 10)),
        message(WM_MOUSEMOVE, MK_MBUTTON | MK_RBUTTON, MAKELPARAM(10, 310)),
        message(WM_MBUTTONUP, 0, MAKELPARAM(10, 310))},
       0,
       64,
       Camera{0.0, 0.0, 40.0, 0.0, -40.0 * std::tan(22.5 * std::acos(-1.0) / 180.0)}},
      {"wheel towards the user, a negative delta in the high word",
       {message(WM_MOUSEWHEEL, static_cast<WPARAM>(MAKELPARAM(0, -240)), MAKELPARAM(300, 300))},
       0,
       64,
       Camera{0.0, 0.0, 40.0 / 0.81, 0.0, 0.0}},
  };
  ViewState start;
  start.paused = true;
  start.tick = 77;
  for (const MessageCase& c : cases) {
    open(start);
    for (const MSG& m : c.messages) {
      PostMessageA(window, m.message, m.wParam, m.lParam);
    }
    turn();
    ViewState expected = start;
    expected.iso.steps = c.isoSteps;
    expected.divisions = c.divisions;
    ExtractionSettings settings;
    settings.divisions = c.divisions;
    settings.isoLevel = expected.iso.value();
    const std::size_t triangles = extractSurface(ballCentres(77), settings).triangles.size();
    ASSERT_FALSE(titles.empty()) << c.name;
    EXPECT_EQ(withoutFrameRate(titles.back()), viewTitle(expected, triangles, -1)) << c.name;
    const Camera& camera = viewerState().camera;
    EXPECT_NEAR(camera.yawDegrees, c.camera.yawDegrees, 1e-9) << c.name;
    EXPECT_NEAR(camera.pitchDegrees, c.camera.pitchDegrees, 1e-9) << c.name;
    EXPECT_NEAR(camera.distance, c.camera.distance, 1e-9) << c.name;
    EXPECT_NEAR(camera.panX, c.camera.panX, 1e-9) << c.name;
    EXPECT_NEAR(camera.panY, c.camera.panY, 1e-9) << c.name;
    closeViewer(window);
    titles.clear();
  }
}

TEST_F(ViewerWindow, AVolumeShowsItsVoxelsAtTheLevelsAndDetailItsKeysSet) {
  const struct {
    const char* name;
    std::vector<char> characters;
    std::int32_t isoSteps;  // fine steps: 1 % of the data's range
    std::int32_t voxelStride;
  } cases[] = {
      {"nothing", {}, 0, 1},
      {"fine steps", {'=', '=', '='}, 3, 1},
      {"coarse steps down below zero, where nothing is left", {'_', '_', '_', '_', '_'}, -50, 1},
      {"a coarse step up, a fine one down", {'+', '-'}, 9, 1},
      {"finer than every voxel does nothing", {']'}, 0, 1},
      {"every 2nd voxel, at a fine step", {'[', '='}, 1, 2},
      {"every 4th voxel at most, then 2nd", {'[', '[', '[', ']', '+'}, 10, 2},
  };
  const auto volume = smallVolume(false);
  const double* values = volume->values();
  const auto [least, most] = std::minmax_element(values, values + 10 * 9 * 8);
  for (const auto& c : cases) {
    ViewerOptions options;
    options.start.iso.start = 4.0;
    options.start.paused = true;
    options.source = std::make_shared<VolumeSource>(volume, 2);
    open(options);
    for (const char character : c.characters) {
      PostMessageA(window, WM_CHAR, static_cast<WPARAM>(character), 0);
    }
    turn();
    const double level = 4.0 + c.isoSteps * (*most - *least) / 100.0;
    EXPECT_EQ(viewerState().iso.value(), level) << c.name;
    // The triangles of the exact extractor at that level (VolumeSource's
    // own test holds its mesh to mcubes mesh's).
    ViewState at;
    at.iso.start = level;
    at.voxelStride = c.voxelStride;
    IndexedMesh mesh;
    std::vector<Rgb> colours;
    VolumeSource(volume, 1).extract(at, mesh, colours);
    EXPECT_EQ(viewerState().voxelStride, c.voxelStride) << c.name;
    ViewState expected = at;
    expected.paused = true;
    expected.grid = SurfaceGrid::volumeVoxels;
    expected.gridLabel = "10x9x8 voxels";
    ASSERT_FALSE(titles.empty()) << c.name;
    EXPECT_EQ(withoutFrameRate(titles.back()), viewTitle(expected, mesh.faces.size(), -1))
        << c.name;
    // The data spans about 0.7 to 9.6: fine steps of 0.09 show with 3 digits.
    char iso[32];
    std::snprintf(iso, sizeof iso, "iso %.3f - ", level);
    EXPECT_NE(titles.back().find(iso), std::string::npos) << titles.back();
    // Below all the data the whole box is inside: the caps are its faces.
    EXPECT_GT(mesh.faces.size(), 0u) << c.name;
    closeViewer(window);
    titles.clear();
  }
}

struct PixelCount {
  long differing = 0;
  long red = 0;  // in the first picture
};

PixelCount comparePictures(const std::vector<unsigned char>& a,
                           const std::vector<unsigned char>& b) {
  PixelCount count;
  for (std::size_t i = 0; i + 2 < a.size() && i + 2 < b.size(); i += 3) {
    count.differing += a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
    count.red += a[i] == 255 && a[i + 1] == 0 && a[i + 2] == 0;
  }
  return count;
}

TEST_F(ViewerWindow, UnlitAtSixteenDivisionsIsTheDemosPicture) {
  for (const std::int32_t tick : {0, 100, 250}) {
    ViewState start;
    start.divisions = 16;
    start.tick = tick;
    start.paused = true;
    start.lighting = false;
    open(start);
    const std::vector<unsigned char> viewed = frame();
    closeViewer(window);
    std::vector<unsigned char> snapshot;
    std::string error;
    ASSERT_TRUE(renderSnapshot(tick, width, height, snapshot, error)) << error;
    ASSERT_EQ(viewed.size(), snapshot.size());
    const PixelCount count = comparePictures(viewed, snapshot);
    // The same silhouette: the viewer draws the welded faces the other way
    // round and both sides of them, so only pixels on the outline, where
    // rasterising the shared edges rounds differently, may differ.
    std::printf("tick %d: %ld of %ld red pixels differ from the snapshot\n", tick, count.differing,
                count.red);
    EXPECT_GT(count.red, 10000);
    EXPECT_LE(count.differing, count.red / 100) << "tick " << tick;
  }
}

TEST_F(ViewerWindow, LightingShadesTheSurfaceAndADragTurnsIt) {
  ViewState start;
  start.paused = true;
  open(start);
  const std::vector<unsigned char> lit = frame();
  std::set<std::tuple<int, int, int>> colours;
  for (std::size_t i = 0; i < lit.size(); i += 3) colours.insert({lit[i], lit[i + 1], lit[i + 2]});
  EXPECT_GT(colours.size(), 100u);  // shades, not the demo's two colours

  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
  PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(600, 300));
  const std::vector<unsigned char> turned = frame();
  EXPECT_GT(comparePictures(lit, turned).differing, 10000);

  PostMessageA(window, WM_CHAR, 'r', 0);
  EXPECT_EQ(comparePictures(lit, frame()).differing, 0);  // reset: the same picture again
}

// What GL was asked to draw in one frame, from feedback mode (after
// clipping: everything here lies inside the view).
struct Drawn {
  int polygons = 0;
  int lines = 0;
};

// The faces of the scene's mesh at the state that GL's current matrices
// turn towards the eye: counter-clockwise in the window.
int facesTowardsEye(const ViewState& state) {
  SceneSource source(1);
  IndexedMesh mesh;
  std::vector<Rgb> colours;
  source.extract(state, mesh, colours);
  GLdouble modelView[16], projection[16];
  GLint viewport[4];
  glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
  glGetDoublev(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  int towards = 0;
  for (const auto& face : mesh.faces) {
    GLdouble window[3][3];
    for (int corner = 0; corner < 3; ++corner) {
      const Point3& p = mesh.vertices[face[corner]];
      gluProject(p.x, p.y, p.z, modelView, projection, viewport, &window[corner][0],
                 &window[corner][1], &window[corner][2]);
    }
    const double area = (window[1][0] - window[0][0]) * (window[2][1] - window[0][1]) -
                        (window[2][0] - window[0][0]) * (window[1][1] - window[0][1]);
    towards += area > 0.0;
  }
  return towards;
}

TEST_F(ViewerWindow, DrawsEachFaceOrEachEdgeOnceAndCullsOnlyClosedSurfaces) {
  const auto drawn = [this] {
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    turn();
    const GLint count = glRenderMode(GL_RENDER);
    EXPECT_GE(count, 0) << "feedback buffer overflow";
    Drawn result;
    for (GLint i = 0; i < count;) {
      if (buffer[i] == GL_POLYGON_TOKEN) {
        ++result.polygons;
        i += 2 + 3 * static_cast<int>(buffer[i + 1]);
      } else if (buffer[i] == GL_LINE_TOKEN || buffer[i] == GL_LINE_RESET_TOKEN) {
        ++result.lines;
        i += 1 + 2 * 3;
      } else {
        ADD_FAILURE() << "unexpected token " << buffer[i];
        break;
      }
    }
    return result;
  };

  // Closed at 16 divisions: only the faces towards the eye are drawn (give
  // or take faces seen edge-on, which GL's float arithmetic may turn either
  // way), with smooth and with flat normals; the wireframe has every edge.
  ViewState start;
  start.paused = true;
  start.divisions = 16;
  open(start);
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(400, 300));
  PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(450, 350));
  const Drawn smooth = drawn();
  const int faces = static_cast<int>(viewerTriangles());
  EXPECT_EQ(faces, static_cast<int>(sceneTriangles(0).size()));
  const int towards = facesTowardsEye(viewerState());
  EXPECT_LT(towards, faces * 2 / 3);
  EXPECT_NEAR(smooth.polygons, towards, faces / 200);
  EXPECT_EQ(smooth.lines, 0);
  PostMessageA(window, WM_CHAR, 'n', 0);
  EXPECT_EQ(drawn().polygons, smooth.polygons);
  PostMessageA(window, WM_CHAR, 'w', 0);
  const Drawn wire = drawn();
  EXPECT_EQ(wire.polygons, 0);
  EXPECT_EQ(wire.lines, faces * 3 / 2);  // closed: each edge between two faces
  closeViewer(window);

  // Cut open by the grid at 128 divisions: every face is drawn.
  start.divisions = 128;
  open(start);
  const Drawn open = drawn();
  EXPECT_GT(viewerTriangles(), 30000u);
  EXPECT_EQ(open.polygons, static_cast<int>(viewerTriangles()));
}

TEST_F(ViewerWindow, SWritesNumberedPngFilesInTheCurrentFolder) {
  ViewerOptions options;
  options.start.paused = true;
  open(options);
  TemporaryDirectory folder;
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(folder.path().c_str()), 0);
  std::string output;
  {
    CapturedStdout captured;
    PostMessageA(window, WM_CHAR, 's', 0);
    turn();
    PostMessageA(window, WM_CHAR, 'S', 0);
    turn();
    output = captured.text();
  }
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(output, "Saved mcubes-view-0001.png\nSaved mcubes-view-0002.png\n");
  // Read back whole by libpng, which checks every checksum: the same paused
  // picture twice, and a picture of the surface, not of the background alone.
  std::vector<std::vector<unsigned char>> pictures;
  for (const char* name : {"mcubes-view-0001.png", "mcubes-view-0002.png"}) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const std::string path = (folder.path() / name).string();
    ASSERT_NE(png_image_begin_read_from_file(&image, path.c_str()), 0) << name;
    EXPECT_EQ(image.width, static_cast<png_uint_32>(width));
    EXPECT_EQ(image.height, static_cast<png_uint_32>(height));
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0)
        << name << ": " << image.message;
    pictures.push_back(std::move(pixels));
  }
  EXPECT_EQ(pictures[0], pictures[1]);
  EXPECT_GT(std::set<unsigned char>(pictures[0].begin(), pictures[0].end()).size(), 2u);
}

// Pixels of a grey (red, green and blue alike) other than the background's
// (the first pixel's), black and white.
long greyPixels(const std::vector<unsigned char>& rgb) {
  long grey = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    grey += rgb[i] == rgb[i + 1] && rgb[i] == rgb[i + 2] && rgb[i] > 0 && rgb[i] < 255 &&
            rgb[i] != rgb[0];
  }
  return grey;
}

// Pixels of a red no brighter than the inside's lit at its brightest
// (without a highlight).
long darkRedPixels(const std::vector<unsigned char>& rgb) {
  long dark = 0;
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3) {
    dark += rgb[i] > 0 && rgb[i] < 110 && rgb[i] > 3 * rgb[i + 1];
  }
  return dark;
}

// The clipping plane opens the volume's surface, showing its inside darker;
// its moves along an axis come back to exactly the same picture; `o` lays
// grey slices of the data over it, `b` takes the caps off.
TEST_F(ViewerWindow, ClippingPlaneSlicesAndCapsChangeThePictureReversibly) {
  ViewerOptions options;
  options.start.iso.start = 4.0;
  options.start.paused = true;
  options.start.camera.yawDegrees = 300.0;
  options.start.camera.pitchDegrees = 20.0;
  options.source = std::make_shared<VolumeSource>(smallVolume(false), 1);
  open(capturing(options));
  const std::vector<unsigned char> whole = frame();
  EXPECT_EQ(greyPixels(whole), 0);
  PostMessageA(window, WM_CHAR, 'c', 0);
  const std::vector<unsigned char> clipped = frame();
  EXPECT_GT(comparePictures(whole, clipped).differing, 1000);
  // Turned to look into the opening: the inside, darker.
  EXPECT_GT(darkRedPixels(clipped), darkRedPixels(whole) + 5000);
  EXPECT_NE(withoutFrameRate(titles.back()).find(" - clipped at x 44 %"), std::string::npos)
      << titles.back();
  const struct {
    const char* name;
    const char* there;  // keys, then their opposites in the same order
    const char* back;
  } moves[] = {
      {"a voxel", ".", ","},
      {"a tenth", "<", ">"},
      {"two axes", "y..z<", "y,,z>"},
  };
  for (const auto& move : moves) {
    for (const char* key = move.there; *key != '\0'; ++key) {
      PostMessageA(window, WM_CHAR, static_cast<WPARAM>(*key), 0);
    }
    const std::vector<unsigned char> moved = frame();
    EXPECT_GT(comparePictures(clipped, moved).differing, 100) << move.name;
    for (const char* key = move.back; *key != '\0'; ++key) {
      PostMessageA(window, WM_CHAR, static_cast<WPARAM>(*key), 0);
    }
    PostMessageA(window, WM_CHAR, 'x', 0);
    EXPECT_EQ(comparePictures(clipped, frame()).differing, 0) << move.name;
  }
  PostMessageA(window, WM_CHAR, 'o', 0);
  const std::vector<unsigned char> sliced = frame();
  EXPECT_GT(greyPixels(sliced), 5000);
  PostMessageA(window, WM_CHAR, 'o', 0);
  PostMessageA(window, WM_CHAR, 'c', 0);
  EXPECT_EQ(comparePictures(whole, frame()).differing, 0);
  PostMessageA(window, WM_CHAR, 'b', 0);
  EXPECT_GT(comparePictures(whole, frame()).differing, 1000);
  EXPECT_NE(titles.back().find(" - no caps"), std::string::npos) << titles.back();
}

// Writes the volume as a NRRD file at `path`.
void writeVolume(const InMemoryVolume& volume, const std::string& path) {
  const std::int64_t count = volume.header().geometry.dims[0] * volume.header().geometry.dims[1] *
                             volume.header().geometry.dims[2];
  auto values = std::make_unique<double[]>(static_cast<std::size_t>(count));
  std::copy(volume.values(), volume.values() + count, values.get());
  InMemoryVolume copy(volume.header(), std::move(values));
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  ASSERT_TRUE(writeNrrd(file, copy, NrrdEncoding::Raw));
  std::fclose(file);
}

// The small volume's voxels as a label map: 1 near its middle, 2 beyond
// i = 6, 3 in one corner, 0 elsewhere.
std::shared_ptr<const InMemoryVolume> smallLabelMap() {
  const auto distances = smallVolume(false);
  VolumeHeader header = distances->header();
  header.type = VoxelType::Uint8;
  auto values = std::make_unique<double[]>(10 * 9 * 8);
  for (int v = 0; v < 10 * 9 * 8; ++v) {
    const int i = v % 10;
    values[v] = distances->values()[v] < 2.5 ? 1 : i > 6 ? 2 : v < 20 ? 3 : 0;
  }
  return std::make_shared<const InMemoryVolume>(header, std::move(values));
}

// `e` writes what is shown as the mcubes mesh command it prints writes it:
// byte for byte the file that command gives on its own.
TEST_F(ViewerWindow, EExportsTheFileOfTheEquivalentMeshCommand) {
  TemporaryDirectory folder;
  const std::string scalars = (folder.path() / "distances.nrrd").string();
  const std::string labels = (folder.path() / "labels.nrrd").string();
  writeVolume(*smallVolume(false), scalars);
  writeVolume(*smallLabelMap(), labels);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(folder.path().c_str()), 0);
  const struct {
    const std::string* path;
    bool labelMap;
    const char* keys;
    std::vector<std::string> command;  // the mesh command, less -o
  } cases[] = {
      {&scalars, false, "=", {"--iso", "X", "--normals"}},
      {&labels, true, "2", {"--labels", "1,3", "--normals"}},
  };
  int exported = 0;
  for (const auto& c : cases) {
    VolumeOptions volume;
    volume.path = *c.path;
    auto source = volumeSourceOrFail(volume, 1);
    std::vector<std::int64_t> absent;
    if (c.labelMap) source->showLabels({}, absent);
    ViewerOptions options;
    options.start.iso.start = 4.0;
    options.start.paused = true;
    options.source = source;
    options.exportMesh = meshExporter(volume);
    open(options);
    for (const char* key = c.keys; *key != '\0'; ++key) {
      PostMessageA(window, WM_CHAR, static_cast<WPARAM>(*key), 0);
    }
    std::string output;
    {
      CapturedStdout captured;
      PostMessageA(window, WM_CHAR, 'e', 0);
      turn();
      output = captured.text();
    }
    char name[32];
    std::snprintf(name, sizeof name, "mcubes-view-%04d.ply", ++exported);
    EXPECT_EQ(output.rfind("Exported " + std::string(name) + " (mcubes mesh --volume ", 0), 0u)
        << output;
    std::vector<std::string> arguments = {"mcubes", "mesh", "--volume", *c.path};
    for (const std::string& argument : c.command) {
      char level[32];
      std::snprintf(level, sizeof level, "%.17g", viewerState().iso.value());
      arguments.push_back(argument == "X" ? level : argument);
    }
    arguments.insert(arguments.end(), {"-o", "expected.ply"});
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runMcubes(static_cast<int>(argv.size()), argv.data()), 0);
    ::testing::internal::GetCapturedStderr();
    const std::string written = readFile(name);
    EXPECT_GT(written.size(), 1000u) << name;
    EXPECT_TRUE(written == readFile("expected.ply")) << name;
    closeViewer(window);
  }
  ASSERT_EQ(chdir(previous), 0);
}

// A label map shows each label in its colour; the digits hide and show
// them, and the title names those shown.
TEST_F(ViewerWindow, LabelDigitsChangeTheTitleAndThePicture) {
  auto source = std::make_shared<VolumeSource>(smallLabelMap(), 1);
  std::vector<std::int64_t> absent;
  source->showLabels({}, absent);
  EXPECT_TRUE(absent.empty());
  ViewerOptions options;
  options.start.paused = true;
  options.source = source;
  open(capturing(options));
  const std::vector<unsigned char> all = frame();
  EXPECT_NE(titles.back().find("Marching Cubes - label 1, label 2, label 3 - 10x9x8 voxels"),
            std::string::npos)
      << titles.back();
  PostMessageA(window, WM_CHAR, '1', 0);
  const std::vector<unsigned char> without = frame();
  EXPECT_NE(titles.back().find("Marching Cubes - label 2, label 3 - "), std::string::npos)
      << titles.back();
  EXPECT_GT(comparePictures(all, without).differing, 1000);
  PostMessageA(window, WM_CHAR, '0', 0);
  EXPECT_EQ(comparePictures(all, frame()).differing, 0);
  // Three colours of their own, none of them the single surface's red.
  std::set<std::tuple<int, int, int>> hues;
  for (std::size_t i = 0; i < all.size(); i += 3) {
    const int top = std::max({all[i], all[i + 1], all[i + 2]});
    if (top < 64) continue;
    hues.insert({all[i] * 4 / (top + 1), all[i + 1] * 4 / (top + 1), all[i + 2] * 4 / (top + 1)});
  }
  EXPECT_GE(hues.size(), 3u);
}

TEST_F(ViewerWindow, EscapeEndsTheLoopWithExitCodeZero) {
  ViewState start;
  open(start);
  PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x010001);
  std::string output;
  int exitCode = -1;
  {
    CapturedStdout captured;
    exitCode = runViewer(window);
    output = captured.text();
  }
  EXPECT_EQ(exitCode, 0);
  EXPECT_NE(output.find("Controls:\n  left-drag"), std::string::npos) << output;
  // The loop took the quit: a new viewer runs until told to end.
  open(start);
  PostMessageA(window, WM_CLOSE, 0, 0);
  CapturedStdout quiet;
  EXPECT_EQ(runViewer(window), 0);
}

}  // namespace
