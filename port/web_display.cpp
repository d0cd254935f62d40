// The web display: the program runs in a browser page, and its window is the
// page's canvas. GL is the EGL binding on Emscripten's EGL, which draws into
// the canvas with WebGL; Emscripten emulates OpenGL 1.1 and GLU on top. The
// program's message loop never returns to the browser by itself, so each
// buffer swap waits for the page's next animation frame (where a real driver
// with vertical sync waits too), and Asyncify unwinds the stack meanwhile:
// that is when the page draws and takes input. A message box appears in the
// page and waits for its OK button, as a modal box does.
#include <EGL/egl.h>
#include <emscripten.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "port/display.h"
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

EM_JS(void, setCanvasVisible, (int visible), {
  Module['canvas'].style.visibility = visible ? 'visible' : 'hidden';
});

// The page's close control sets Module.closeRequested (see port/web/index.html).
EM_JS(int, takeCloseRequest, (), {
  const requested = Module['closeRequested'] === true;
  Module['closeRequested'] = false;
  return requested ? 1 : 0;
});

EM_JS(void, showPageMessageBox, (const char* caption, const char* text), {
  Asyncify.handleSleep(function(wakeUp) {
    Module['showMessageBox'](UTF8ToString(caption), UTF8ToString(text),
                             function() { callUserCallback(wakeUp); });
  });
});

EM_JS(int, pageAsksForPausedClock, (), {
  return new URLSearchParams(window.location.search).has('paused') ? 1 : 0;
});

// clang-format on

using Clock = std::chrono::steady_clock;

// A loop that never swaps (a window without a GL context, a flood of
// messages) still hands the browser a turn this often.
constexpr std::chrono::milliseconds longestTurn{50};

struct CanvasSurface : Surface {
  HWND window = nullptr;
};

class WebDisplay : public Display {
 public:
  WebDisplay(EGLDisplay display, DisplayEvents& events)
      : gl_(display, GlBinding::Drawables::windowSurfaces, GlBinding::Client::gles2),
        events_(events) {}

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
    showCanvas(width, height, title);
    setCanvasVisible(0);
    return canvasOwner_;
  }

  // Emscripten's EGL draws into the canvas whatever native window is named.
  bool prepareSurface(Surface&, NativeVisual) override { return true; }

  void showSurface(Surface&, bool visible) override { setCanvasVisible(visible ? 1 : 0); }

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
    lastTurn_ = Clock::now();
    return true;
  }

  void showMessageBox(const char* caption, const char* text) override {
    showPageMessageBox(caption, text);
  }

  void pumpEvents() override {
    if (Clock::now() - lastTurn_ >= longestTurn) {
      giveBrowserATurn(0);
    }
    // The page's close control is the window's close button.
    if (takeCloseRequest() != 0 && canvasOwner_ != nullptr) {
      events_.closeRequested(canvasOwner_->window);
    }
  }

  // The page's events arrive only while the browser has its turn: sleep
  // there, a frame's time at most so that a close request is seen soon.
  void waitEvents(int, int timeoutMs) override {
    giveBrowserATurn(timeoutMs < 0 || timeoutMs > 16 ? 16 : timeoutMs);
  }

 private:
  void giveBrowserATurn(int milliseconds) {
    emscripten_sleep(static_cast<unsigned>(milliseconds));
    lastTurn_ = Clock::now();
  }

  GlBinding gl_;
  DisplayEvents& events_;
  CanvasSurface* canvasOwner_ = nullptr;
  Clock::time_point lastTurn_ = Clock::now();
};

}  // namespace

std::unique_ptr<Display> openWebDisplay(DisplayEvents& events, std::string& error) {
  const EGLDisplay display = openCanvasEglDisplay(error);
  if (display == EGL_NO_DISPLAY) {
    return nullptr;
  }
  // The page's test hook, as MCUBES_DISPLAY is on Linux: with ?paused the
  // clock stands still, and the demo's loop never waits for it to move.
  if (pageAsksForPausedClock() != 0) {
    useSimulatedClock(true);
  }
  return std::make_unique<WebDisplay>(display, events);
}

}  // namespace port
