// The web display: the program runs in a browser page, and its window is the
// page's canvas. GL is the EGL binding on Emscripten's EGL, which draws into
// the canvas with WebGL; Emscripten emulates OpenGL 1.1 and GLU on top. The
// program's message loop never returns to the browser by itself, so each
// buffer swap waits for the page's next animation frame (where a real driver
// with vertical sync waits too), and Asyncify unwinds the stack meanwhile:
// that is when the page draws and takes input.
#include <EGL/egl.h>
#include <emscripten.h>

#include <chrono>
#include <cstdio>

#include "port/internal.h"
#include "port/port.h"

namespace port {
namespace {

// JavaScript bodies are left as written: clang-format would read them as C++.
// clang-format off

// Asyncify callbacks go through callUserCallback, which also ends quietly
// when the program calls exit() from inside them.
EM_JS(void, waitForAnimationFrame, (), {
  Asyncify.handleSleep(function(wakeUp) {
    requestAnimationFrame(function() { callUserCallback(wakeUp); });
  });
});

EM_JS(void, showCanvas, (int width, int height, const char* title), {
  const canvas = Module['canvas'];
  canvas.width = width;
  canvas.height = height;
  document.title = UTF8ToString(title);
});

EM_JS(void, setPageTitle, (const char* title), { document.title = UTF8ToString(title); });

EM_JS(void, setCanvasVisible, (int visible), {
  Module['canvas'].style.visibility = visible ? 'visible' : 'hidden';
});

// The page's close control sets Module.closeRequested (see port/web/index.html).
EM_JS(int, takeCloseRequest, (), {
  const requested = Module['closeRequested'] === true;
  Module['closeRequested'] = false;
  return requested ? 1 : 0;
});

EM_JS(int, pageAsksForPausedClock, (), {
  return new URLSearchParams(window.location.search).has('paused') ? 1 : 0;
});

// clang-format on

using Clock = std::chrono::steady_clock;

// A loop that never swaps (a window without a GL context, a flood of
// messages) still hands the browser a turn this often.
constexpr std::chrono::milliseconds longestTurn{50};
Clock::time_point lastTurn = Clock::now();

void giveBrowserATurn(int milliseconds) {
  emscripten_sleep(static_cast<unsigned>(milliseconds));
  lastTurn = Clock::now();
}

struct CanvasSurface : Surface {
  HWND window = nullptr;
};

class WebDisplay : public Display {
 public:
  explicit WebDisplay(EGLDisplay display)
      : gl_(display, GlBinding::Drawables::windowSurfaces, GlBinding::Client::gles2) {}

  GlBinding& gl() override { return gl_; }

  // The page has one canvas, so there is one window at a time.
  Surface* createSurface(HWND window, const char*, const char* title, int width,
                         int height) override {
    if (canvasOwner_ != nullptr) {
      std::fprintf(stderr, "web display: the page's canvas already shows a window\n");
      return nullptr;
    }
    canvasOwner_ = new CanvasSurface;
    canvasOwner_->window = window;
    canvasOwner_->width = width;
    canvasOwner_->height = height;
    showCanvas(width, height, title);
    setCanvasVisible(0);
    return canvasOwner_;
  }

  // Emscripten's EGL draws into the canvas whatever native window is named.
  bool prepareSurface(Surface&, NativeVisual) override { return true; }

  void showSurface(Surface&, bool visible) override { setCanvasVisible(visible ? 1 : 0); }

  void setSurfaceTitle(Surface&, const char* title) override { setPageTitle(title); }

  void destroySurface(Surface* surface) override {
    setCanvasVisible(0);
    canvasOwner_ = nullptr;
    delete surface;
  }

  // The browser shows the canvas only once the program hands it control:
  // each swap waits for the page's next frame.
  bool present(EGLSurface drawable) override {
    if (!gl_.swapBuffers(drawable)) {
      return false;
    }
    waitForAnimationFrame();
    lastTurn = Clock::now();
    return true;
  }

  void pumpEvents() override {
    if (Clock::now() - lastTurn >= longestTurn) {
      giveBrowserATurn(0);
    }
    // The page's close control, like a window's close button, asks through
    // the system menu's close command.
    if (takeCloseRequest() != 0 && canvasOwner_ != nullptr) {
      queueInput(canvasOwner_->window, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
  }

  // The page's events arrive only while the browser has its turn: sleep
  // there, a frame's time at most so that a close request is seen soon.
  void waitEvents(int, int timeoutMs) override {
    giveBrowserATurn(timeoutMs < 0 || timeoutMs > 16 ? 16 : timeoutMs);
  }

 private:
  GlBinding gl_;
  CanvasSurface* canvasOwner_ = nullptr;
};

}  // namespace

Display* openWebDisplay(std::string& error) {
  const EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    error = describeEglFailure("eglInitialize");
    return nullptr;
  }
  // Emscripten's EGL has one configuration, whose buffers are the ones last
  // asked for: an opaque canvas, as a window's client area is, with depth
  // and stencil.
  const EGLint wanted[] = {EGL_RED_SIZE,   8, EGL_GREEN_SIZE, 8,  EGL_BLUE_SIZE,    8,
                           EGL_ALPHA_SIZE, 0, EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8,
                           EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(display, wanted, &config, 1, &count) || count < 1) {
    error = describeEglFailure("eglChooseConfig");
    return nullptr;
  }
  // The page's test hook, as MCUBES_DISPLAY is on Linux: with ?paused the
  // clock stands still, and the demo's loop never waits for it to move.
  if (pageAsksForPausedClock() != 0) {
    useSimulatedClock(true);
  }
  return new WebDisplay(display);
}

}  // namespace port
