// The viewer as a Win32 program: its window class and procedure, which turn
// key and pointer messages into changes of the view state, and its message
// loop, which draws a frame whenever no message waits. The window system
// stays on the calling thread; only the extraction may use others.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "viewer/png_file.h"
#include "viewer/surface_source.h"
#include "viewer/view_state.h"

// The timer of the scene's clock: the demo's 16 ms tick.
constexpr UINT_PTR ViewerAnimationTimer = 1;
constexpr UINT ViewerAnimationIntervalMs = 16;

// Writes width x height RGB pixels (top row first) as a PNG file at `path`;
// returns an empty string, or why it failed.
using PictureWriter = std::function<std::string(const std::string& path, int width, int height,
                                                const std::vector<unsigned char>& rgb)>;

// Writes what the state shows, at full detail, to `path` as the mcubes mesh
// command that it is equivalent to would; returns an empty string, or why
// it failed. Said on the console: `said`, the equivalent command.
using MeshExporter =
    std::function<std::string(const std::string& path, const ViewState& state, std::string& said)>;

struct ViewerOptions {
  ViewState start;  // divisions, iso level, clock and pause at the start
  // Of the extraction. One by default: with a software rasteriser, which
  // already keeps the other cores busy, more made whole frames no faster
  // (measured with mcubes bench --view on two cores).
  int threads = 1;
  // What to show; none: the animated scene on `threads` threads.
  std::shared_ptr<SurfaceSource> source;
  // A volume's new surface at once at a coarser level of detail where its
  // own takes long, that one following from a worker thread
  // (viewer/surface_view.h); off: every frame waits for the state's own.
  bool progressive = true;
  PictureWriter writePicture = writePngFile;
  // None: `e` says that this viewer cannot export.
  MeshExporter exportMesh;
};

// Registers the class and creates the viewer's window, hidden, with a client
// area of width x height (CW_USEDEFAULT for both: the system's default), its
// OpenGL context current. Only one viewer is open at a time. Null with a
// one-line reason in `error`.
HWND openViewer(const ViewerOptions& options, int width, int height, std::string& error);

// Shows the window, prints the controls and runs the message loop until the
// window is closed; then unregisters the class. Returns the exit code.
int runViewer(HWND window);

// Destroys the window if it is still open and unregisters the class, for a
// viewer that runs no loop (the benchmark, tests).
void closeViewer(HWND window);

// The open viewer's state, the number of triangles it drew last, and the
// state that surface was made for (a coarser level of detail than the
// state's while its own is being made).
const ViewState& viewerState();
std::size_t viewerTriangles();
const ViewState& viewerShownState();
