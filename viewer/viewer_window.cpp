#include "viewer/viewer_window.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/pixel_format.h"
#include "app/window_proc.h"
#include "engine/engine.h"
#include "viewer/controls.h"
#include "viewer/frame_pixels.h"
#include "viewer/frame_rate.h"
#include "viewer/slice_view.h"
#include "viewer/surface_source.h"
#include "viewer/surface_view.h"
#include "viewer/view_drawing.h"

using namespace mcubes::internal;

namespace {

const char viewerClassName[] = "mcubes view";

struct Viewer {
  ViewState state;
  PictureWriter writePicture;
  MeshExporter exportMesh;
  std::shared_ptr<SurfaceSource> source;
  SurfaceDescription description;
  SurfaceView surface;
  SliceView slices{*source};
  RenderingContext rendering;
  // The demo's fixed GL state and projection.
  Engine engine{};
  FrameRate frameRate;
  std::string title;
  bool savePending = false;
  // From a successful WM_CREATE to WM_DESTROY.
  bool windowOpen = false;

  explicit Viewer(const ViewerOptions& options)
      : state(options.start),
        writePicture(options.writePicture),
        exportMesh(options.exportMesh),
        source(options.source ? options.source : std::make_shared<SceneSource>(options.threads)),
        description(source->describe()),
        surface(*source, options.progressive) {
    state.iso.fineStep = description.fineIsoStep;
    state.iso.positiveOnly = description.positiveIsoOnly;
    state.iso.decimals = isoDecimals(state.iso.fineStep);
    state.grid = description.grid;
    state.gridLabel = description.gridLabel;
    state.coarsestStride = description.coarsestVoxelStride;
    state.voxelStride = std::clamp(state.voxelStride, 1, state.coarsestStride);
    state.labels = description.labels;
    for (int a = 0; a < 3; ++a) {
      state.clip.steps[a] = description.clipSteps[a];
      state.clip.at[a] = description.clipSteps[a] / 2;
    }
  }
};

// The one viewer; the window procedure has no other way to reach it.
std::unique_ptr<Viewer> viewer;

// The first "mcubes-view-NNNN.png" (or another extension) that does not
// exist yet in the current folder.
std::string nextNumberedName(const char* extension) {
  for (int number = 1;; ++number) {
    char name[48];
    std::snprintf(name, sizeof name, "mcubes-view-%04d.%s", number, extension);
    std::error_code ignored;
    if (!std::filesystem::exists(name, ignored)) {
      return name;
    }
  }
}

// The frame just drawn, read from the back buffer before it is presented
// (after the swap its contents are undefined), and written out.
void savePicture() {
  const int width = viewer->state.width;
  const int height = viewer->state.height;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "cannot save a picture of this window\n");
    return;
  }
  std::vector<unsigned char> rgb;
  std::string error;
  if (!readFramePixels(width, height, rgb, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return;
  }
  const std::string name = nextNumberedName("png");
  error = viewer->writePicture(name, width, height, rgb);
  if (error.empty()) {
    std::printf("Saved %s\n", name.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "%s\n", error.c_str());
  }
}

// What is shown, at full detail, as the equivalent mcubes mesh command
// writes it.
void exportShown() {
  if (!viewer->exportMesh) {
    std::fprintf(stderr, "this viewer cannot export meshes: use mcubes view\n");
    return;
  }
  const std::string name = nextNumberedName("ply");
  std::string said;
  const std::string error = viewer->exportMesh(name, viewer->state, said);
  if (error.empty()) {
    std::printf("Exported %s (%s)\n", name.c_str(), said.c_str());
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "%s\n", error.c_str());
  }
}

void renderFrame(HWND window) {
  viewer->surface.update(viewer->state);
  viewer->slices.update(viewer->state);
  drawView(viewer->state, viewer->surface, viewer->slices, viewer->description);
  if (viewer->savePending) {
    viewer->savePending = false;
    savePicture();
  }
  SwapBuffers(viewer->rendering.deviceContext);
  viewer->frameRate.frameShown(FrameRate::Clock::now());
  // The title names the level of detail drawn, coarser while refining.
  ViewState shown = viewer->state;
  shown.voxelStride = viewer->surface.shown().voxelStride;
  std::string title = viewTitle(shown, viewer->surface.triangles(), viewer->frameRate.perSecond());
  if (title != viewer->title) {
    viewer->title = std::move(title);
    SetWindowTextA(window, viewer->title.c_str());
  }
}

// Client coordinates come as two signed 16-bit halves of lParam.
int pointerX(LPARAM lParam) { return static_cast<short>(LOWORD(lParam)); }
int pointerY(LPARAM lParam) { return static_cast<short>(HIWORD(lParam)); }

LRESULT CALLBACK viewerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ViewState& state = viewer->state;
  switch (message) {
    case WM_CREATE:
      viewer->rendering = setUpRenderingContext(window);
      if (viewer->rendering.context == nullptr) {
        return -1;
      }
      viewer->engine.init(window, viewer->rendering.deviceContext);
      setUpViewDrawing();
      SetTimer(window, ViewerAnimationTimer, ViewerAnimationIntervalMs, nullptr);
      viewer->windowOpen = true;
      return 0;

    case WM_DESTROY:
      // Also reached when WM_CREATE fails; there is no loop to end then.
      if (viewer->windowOpen) {
        viewer->windowOpen = false;
        viewer->slices.release();
        releaseRenderingContext(window, viewer->rendering);
        PostQuitMessage(0);
      }
      return 0;

    case WM_SIZE:
      state.width = LOWORD(lParam);
      state.height = HIWORD(lParam);
      viewer->engine.resize(state.width, state.height);
      return 0;

    case WM_TIMER:
      if (wParam == ViewerAnimationTimer) {
        timerTick(state);
      }
      return 0;

    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        // The ordinary close path, as the window's close button takes.
        PostMessageA(window, WM_CLOSE, 0, 0);
      }
      return 0;

    case WM_CHAR:
      switch (typeCharacter(state, static_cast<char>(wParam))) {
        case KeyEffect::savePicture:
          viewer->savePending = true;
          break;
        case KeyEffect::exportMesh:
          exportShown();
          break;
        default:
          break;
      }
      return 0;

    case WM_LBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDOWN:
      pressPointer(state, pointerX(lParam), pointerY(lParam));
      return 0;

    case WM_LBUTTONUP:
    case WM_MBUTTONUP:
    case WM_RBUTTONUP:
      releasePointer(state);
      return 0;

    case WM_MOUSEMOVE:
      movePointer(state, pointerX(lParam), pointerY(lParam),
                  HeldButtons{(wParam & MK_LBUTTON) != 0, (wParam & MK_MBUTTON) != 0,
                              (wParam & MK_RBUTTON) != 0});
      return 0;

    case WM_MOUSEWHEEL:
      turnWheel(state, GET_WHEEL_DELTA_WPARAM(wParam));
      return 0;

    case WM_RENDER:
      renderFrame(window);
      return 0;

    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

HWND openViewer(const ViewerOptions& options, int width, int height, std::string& error) {
  if (viewer != nullptr) {
    error = "a viewer is already open";
    return nullptr;
  }
  WNDCLASSA windowClass{};
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = viewerProc;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.lpszClassName = viewerClassName;
  if (RegisterClassA(&windowClass) == 0) {
    error = "cannot register the viewer's window class";
    return nullptr;
  }
  viewer = std::make_unique<Viewer>(options);
  const HWND window = CreateWindowExA(
      0, viewerClassName, "Marching Cubes", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
      CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) {
    viewer.reset();
    UnregisterClassA(viewerClassName, nullptr);
    error = "cannot open the viewer's window with an OpenGL context";
    return nullptr;
  }
  return window;
}

int runViewer(HWND window) {
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  std::fputs(viewerControls, stdout);
  std::fflush(stdout);

  MSG message{};
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
        break;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    } else {
      SendMessageA(window, WM_RENDER, 0, 0);
    }
  }
  closeViewer(window);
  return static_cast<int>(message.wParam);
}

void closeViewer(HWND window) {
  if (viewer == nullptr) {
    return;
  }
  if (viewer->windowOpen) {
    DestroyWindow(window);
    // Takes the quit that the destruction posted, which no loop will, so
    // that it cannot end a later one.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  viewer.reset();
  UnregisterClassA(viewerClassName, nullptr);
}

const ViewState& viewerState() { return viewer->state; }
std::size_t viewerTriangles() { return viewer->surface.triangles(); }
const ViewState& viewerShownState() { return viewer->surface.shown(); }
