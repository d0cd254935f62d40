// The web display: the program runs in a browser page, and its window is the
// page's canvas. GL is the EGL binding on Emscripten's EGL, which draws into
// the canvas with WebGL; Emscripten emulates OpenGL 1.1 and GLU on top. The
// program's message loop never returns to the browser by itself, so each
// buffer swap waits for the page's next animation frame (where a real driver
// with vertical sync waits too), and Asyncify unwinds the stack meanwhile:
// that is when the page draws and takes input (port/web_input.h says what
// it means). A message box appears in the
// page and waits for its OK button, as a modal box does.
#include <EGL/egl.h>
#include <emscripten.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "port/display.h"
#include "port/port.h"
#include "port/web_input.h"

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

EM_JS(void, showPageMessageBox, (const char* caption, const char* text), {
  Asyncify.handleSleep(function(wakeUp) {
    Module['showMessageBox'](UTF8ToString(caption), UTF8ToString(text),
                             function() { callUserCallback(wakeUp); });
  });
});

// The page's input, queued as it comes until the program takes it: keys
// from the whole page but its form fields, the mouse and the wheel over the canvas (which keeps
// the page from scrolling and the context menu from opening).
EM_JS(void, listenForInput, (), {
  const canvas = Module['canvas'];
  const queue = Module['inputEvents'] = [];
  const where = function(e, type) {
    const scale = canvas.width / (canvas.clientWidth || canvas.width);
    return {type: type, x: Math.round(e.offsetX * scale), y: Math.round(e.offsetY * scale),
            button: e.button, buttons: e.buttons, shift: e.shiftKey, control: e.ctrlKey,
            screenX: e.screenX, screenY: e.screenY, deltaY: e.deltaY || 0,
            deltaMode: e.deltaMode || 0};
  };
  document.addEventListener('keydown', function(e) {
    // Typing into the page's own fields is not for the program.
    if (e.target.closest && e.target.closest('input, select, textarea')) {
      return;
    }
    queue.push({type: 1, code: e.code, key: e.key, repeat: e.repeat});
    if (e.key === ' ' || e.key.startsWith('Arrow')) {
      e.preventDefault();
    }
  });
  canvas.addEventListener('mousemove', function(e) { queue.push(where(e, 2)); });
  canvas.addEventListener('mousedown', function(e) { queue.push(where(e, 3)); });
  canvas.addEventListener('mouseup', function(e) { queue.push(where(e, 4)); });
  canvas.addEventListener('wheel', function(e) {
    e.preventDefault();
    queue.push(where(e, 5));
  }, {passive: false});
  canvas.addEventListener('contextmenu', function(e) { e.preventDefault(); });
});

// Moves the oldest queued event into the buffers: its type (as
// DomEvent::Type, 0 when none waits) is returned, its numbers go to
// numbers[0..10] in the order of DomEvent's fields, its deltaY to *deltaY.
EM_JS(int, takeInputEvent, (int* numbers, double* deltaY, char* code, char* key, int textSize), {
  const queue = Module['inputEvents'];
  if (!queue || queue.length === 0) {
    return 0;
  }
  const e = queue.shift();
  const values = [e.repeat ? 1 : 0, e.x | 0, e.y | 0, e.button | 0, e.buttons | 0,
                  e.shift ? 1 : 0, e.control ? 1 : 0, e.screenX | 0, e.screenY | 0,
                  e.deltaMode | 0];
  for (let i = 0; i < values.length; i++) {
    HEAP32[(numbers >> 2) + i] = values[i];
  }
  HEAPF64[deltaY >> 3] = e.deltaY || 0;
  stringToUTF8(e.code || "", code, textSize);
  stringToUTF8(e.key || "", key, textSize);
  return e.type;
});

EM_JS(int, pageAsksForPausedClock, (), {
  return new URLSearchParams(window.location.search).has('paused') ? 1 : 0;
});

// clang-format on

using Clock = std::chrono::steady_clock;

// The oldest event the page has queued; false when none waits.
bool takeDomEvent(DomEvent& event) {
  int numbers[10] = {};
  char code[32] = {};
  char key[32] = {};
  const int type = takeInputEvent(numbers, &event.deltaY, code, key, sizeof code);
  if (type == 0) {
    return false;
  }
  event.type = static_cast<DomEvent::Type>(type);
  event.code = code;
  event.key = key;
  event.repeat = numbers[0] != 0;
  event.x = numbers[1];
  event.y = numbers[2];
  event.button = numbers[3];
  event.buttons = numbers[4];
  event.shift = numbers[5] != 0;
  event.control = numbers[6] != 0;
  event.screenX = numbers[7];
  event.screenY = numbers[8];
  event.deltaMode = numbers[9];
  return true;
}

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
    DomEvent event;
    while (takeDomEvent(event)) {
      if (canvasOwner_ != nullptr) {
        reportDomEvent(event, canvasOwner_->window, events_);
      }
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
  listenForInput();
  return std::make_unique<WebDisplay>(display, events);
}

}  // namespace port
