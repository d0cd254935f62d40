#include "port/window_system.h"

#include <poll.h>

#include <cstdio>
#include <cstdlib>

#include "port/close_signals.h"
#include "port/display_choice.h"
#include "port/port.h"

namespace port {
namespace {

// What an overlapped window gets when CW_USEDEFAULT leaves the size open.
constexpr int defaultWidth = 800;
constexpr int defaultHeight = 600;

// The one instance; a plain pointer, so that no destructor closes its
// display at exit (see releaseAtExit).
WindowSystem* instance = nullptr;

// What the program left is released at exit, but the display stays open for
// the process's last moments: Mesa terminates its EGL displays itself, and
// terminating the last one here unloads the GL driver, whose one-time
// allocations then count as leaks in a sanitized build.
void releaseAtExit() {
  if (instance != nullptr) {
    instance->releaseWindowsAndContexts();
  }
}

}  // namespace

void resetWindowSystem() {
  delete instance;
  instance = nullptr;
}

WindowSystem& windowSystem() {
  if (instance == nullptr) {
    instance = new WindowSystem;
  }
  return *instance;
}

WindowSystem::~WindowSystem() { releaseWindowsAndContexts(); }

void WindowSystem::releaseWindowsAndContexts() {
  if (display_ == nullptr) {
    return;
  }
  GlBinding& gl = display_->gl();
  contexts.clear(gl);
  windows.forEach([&](WindowRecord& window) {
    if (window.drawable != EGL_NO_SURFACE) {
      gl.destroyDrawable(window.drawable);
    }
    display_->destroySurface(window.surface);
  });
  windows.removeAll();
}

Display& WindowSystem::display() {
  if (display_ == nullptr) {
    std::string error;
    display_ = openDisplayFromEnvironment(*this, displayName_, error);
    if (display_ == nullptr) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::exit(1);
    }
  }
  // Registered once a display has opened, so it runs before the exit
  // handlers the GL driver registered as it opened: while EGL still works.
  static const bool releasedAtExit = std::atexit(releaseAtExit) == 0;
  static_cast<void>(releasedAtExit);
  return *display_;
}

bool WindowSystem::selectDisplay(const char* name, std::string& error) {
  const std::string wanted = name != nullptr ? name : "";
  if (display_ != nullptr) {
    if (wanted == displayName_) {
      return true;
    }
    error = std::string("the ") + displayName_ + " display is already in use";
    return false;
  }
  display_ = openNamedDisplay(wanted, *this, displayName_, error);
  if (display_ == nullptr) {
    return false;
  }
  display();  // registers the exit handler
  return true;
}

const std::vector<FramebufferConfig>& WindowSystem::offeredConfigs() {
  static const std::vector<FramebufferConfig> none;
  return configsHidden_ ? none : display().gl().configs();
}

HWND WindowSystem::createWindow(const std::string& classKey, const char* title, int width,
                                int height) {
  if (width == CW_USEDEFAULT) {
    width = defaultWidth;
    height = defaultHeight;
  }
  // A window is at least one pixel in each direction, as a GL surface must be.
  width = width < 1 ? 1 : width;
  height = height < 1 ? 1 : height;
  const HWND handle = windows.nextHandle();
  Surface* surface = display().createSurface(handle, windows.windowClass(classKey).name.c_str(),
                                             title, width, height);
  if (surface == nullptr) {
    return nullptr;
  }
  surface->width = width;
  surface->height = height;
  windows.add(classKey, surface);

  if (deliver(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return nullptr;
  }
  if (windows.find(handle) == nullptr) {
    return nullptr;  // destroyed while being created
  }
  deliver(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return handle;
}

bool WindowSystem::destroyWindow(HWND handle) {
  WindowRecord* window = windows.find(handle);
  if (window == nullptr || window->destroying) {
    return false;
  }
  window->destroying = true;
  if (window->visible) {
    window->visible = false;
    display_->showSurface(*window->surface, false);
  }
  deliver(handle, WM_DESTROY, 0, 0);

  // Win32 leaves a context current on the window with nothing to draw into;
  // here it is released, since its drawable goes now.
  window = windows.find(handle);
  GlBinding& gl = display_->gl();
  if (contexts.currentDeviceContext() == window->deviceContext) {
    contexts.releaseCurrent(gl);
  }
  if (window->drawable != EGL_NO_SURFACE) {
    gl.destroyDrawable(window->drawable);
  }
  queue.forgetWindow(handle);
  display_->destroySurface(window->surface);
  windows.remove(handle);
  return true;
}

bool WindowSystem::showWindow(HWND handle, bool visible) {
  WindowRecord* window = windows.find(handle);
  if (window == nullptr) {
    return false;
  }
  const bool wasVisible = window->visible;
  if (visible != wasVisible) {
    window->visible = visible;
    window->needsPaint = visible;
    display_->showSurface(*window->surface, visible);
  }
  return wasVisible;
}

bool WindowSystem::setWindowTitle(HWND handle, const char* title) {
  WindowRecord* window = windows.find(handle);
  if (window == nullptr) {
    return false;
  }
  display_->setSurfaceTitle(*window->surface, title);
  return true;
}

LRESULT WindowSystem::deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const WindowRecord* target = windows.find(window);
  return target == nullptr ? 0 : target->procedure(window, message, wParam, lParam);
}

LRESULT WindowSystem::defaultProcedure(HWND handle, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_CLOSE:
      // Through the entry point, as Win32's does: the call is traced.
      DestroyWindow(handle);
      return 0;
    case WM_SYSCOMMAND:
      // The low four bits of a system command are the system's own.
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          deliver(handle, WM_CLOSE, 0, 0);
          return 0;
        case SC_SCREENSAVE:
          screenSaverRequested_ = true;
          return 0;
        default:
          return 0;
      }
    case WM_PAINT:
      // Validates without drawing: with no background brush nothing is erased.
      if (WindowRecord* window = windows.find(handle)) {
        window->needsPaint = false;
      }
      return 0;
    default:
      return 0;
  }
}

bool WindowSystem::peekMessage(MSG* out, bool remove) {
  if (takeCloseSignal()) {
    windows.forEach([&](const WindowRecord& window) {
      if (!window.destroying) {
        queue.post(window.handle, WM_CLOSE, 0, 0);
      }
    });
  }
  if (display_ != nullptr) {
    display_->pumpEvents();
  }
  if (queue.takePostedOrInput(out, remove) || queue.takeQuit(out, remove)) {
    return true;
  }
  // Stays due until the default procedure validates the window.
  const WindowRecord* unpainted = nullptr;
  windows.forEach([&](const WindowRecord& window) {
    if (unpainted == nullptr && window.visible && window.needsPaint) {
      unpainted = &window;
    }
  });
  if (unpainted != nullptr) {
    *out = queue.makeMessage(unpainted->handle, WM_PAINT, 0, 0);
    return true;
  }
  return queue.takeDueTimer(out, remove);
}

void WindowSystem::waitForMessages() {
  const int timeoutMs = queue.waitForTimer();
  if (display_ != nullptr) {
    display_->waitEvents(closeSignalFd(), timeoutMs);
  } else {
    pollfd wake{closeSignalFd(), POLLIN, 0};
    poll(&wake, wake.fd < 0 ? 0 : 1, timeoutMs);
  }
}

bool WindowSystem::setPixelFormat(HDC deviceContext, int format) {
  WindowRecord* window = windows.findByDc(deviceContext);
  if (window == nullptr || format < 1 || format > static_cast<int>(offeredConfigs().size())) {
    return false;
  }
  // A window's pixel format is set once for its life.
  if (window->pixelFormat != 0) {
    return window->pixelFormat == format;
  }
  const int index = format - 1;
  Surface& surface = *window->surface;
  GlBinding& gl = display_->gl();
  if (!display_->prepareSurface(surface, gl.visualOf(index))) {
    return false;
  }
  window->drawable =
      gl.createDrawable(surface.width, surface.height, surface.nativeWindow(), index);
  if (window->drawable == EGL_NO_SURFACE) {
    return false;
  }
  window->pixelFormat = format;
  return true;
}

HGLRC WindowSystem::createContext(HDC deviceContext) {
  const WindowRecord* window = windows.findByDc(deviceContext);
  if (window == nullptr || window->pixelFormat == 0) {
    return nullptr;
  }
  const EGLContext native = display_->gl().createContext(window->pixelFormat - 1);
  return native == EGL_NO_CONTEXT ? nullptr : contexts.add(native, window->pixelFormat);
}

bool WindowSystem::makeCurrent(HDC deviceContext, HGLRC handle) {
  if (handle == nullptr) {
    if (display_ != nullptr) {
      contexts.releaseCurrent(display_->gl());
    }
    return true;
  }
  const ContextTable::Context* context = contexts.find(handle);
  const WindowRecord* window = windows.findByDc(deviceContext);
  return context != nullptr && window != nullptr && window->pixelFormat == context->pixelFormat &&
         contexts.makeCurrent(handle, deviceContext, window->drawable, display_->gl());
}

bool WindowSystem::present(HDC deviceContext) {
  const WindowRecord* window = windows.findByDc(deviceContext);
  return window != nullptr && window->drawable != EGL_NO_SURFACE &&
         display_->present(window->drawable);
}

void WindowSystem::closeRequested(HWND window) {
  // Win32 turns the close button into the system menu's close command.
  queue.queueInput(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// WM_SIZE is sent at once, as Win32 sends it from inside the resize.
void WindowSystem::resized(HWND handle, int width, int height) {
  WindowRecord* window = windows.find(handle);
  if (window == nullptr || window->destroying) {
    return;
  }
  Surface& surface = *window->surface;
  if (!window->minimised && surface.width == width && surface.height == height) {
    return;
  }
  window->minimised = false;
  surface.width = width;
  surface.height = height;
  window->needsPaint = window->visible;
  deliver(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
}

void WindowSystem::minimised(HWND handle) {
  WindowRecord* window = windows.find(handle);
  if (window == nullptr || window->destroying || window->minimised) {
    return;
  }
  window->minimised = true;
  deliver(handle, WM_SIZE, SIZE_MINIMIZED, 0);
}

void WindowSystem::exposed(HWND handle) {
  if (WindowRecord* window = windows.find(handle)) {
    window->needsPaint = window->visible;
  }
}

bool WindowSystem::screenSaverAllowed(HWND window) {
  screenSaverRequested_ = false;
  deliver(window, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
  return screenSaverRequested_;
}

namespace {

// MK_ flags of the buttons and keys held.
WPARAM buttonFlags(const DisplayEvents::Pointer& pointer) {
  return (pointer.left ? MK_LBUTTON : 0) | (pointer.right ? MK_RBUTTON : 0) |
         (pointer.middle ? MK_MBUTTON : 0) | (pointer.shift ? MK_SHIFT : 0) |
         (pointer.control ? MK_CONTROL : 0);
}

}  // namespace

void WindowSystem::keyPressed(HWND window, unsigned virtualKey, unsigned character, bool repeated) {
  // A repeat count of 1; bit 30, the previous key state, set for a held key.
  const LPARAM keyData = 1 | (repeated ? LPARAM{1} << 30 : 0);
  queue.queueInput(window, WM_KEYDOWN, virtualKey, keyData, character);
}

void WindowSystem::pointerMoved(HWND window, const Pointer& pointer) {
  queue.queueMouseMove(window, buttonFlags(pointer), MAKELPARAM(pointer.x, pointer.y));
}

void WindowSystem::buttonChanged(HWND window, Button button, bool pressed, const Pointer& pointer) {
  // Up and down for each button, in the order of Button.
  static constexpr UINT messages[][2] = {{WM_LBUTTONUP, WM_LBUTTONDOWN},
                                         {WM_RBUTTONUP, WM_RBUTTONDOWN},
                                         {WM_MBUTTONUP, WM_MBUTTONDOWN}};
  queue.queueInput(window, messages[static_cast<int>(button)][pressed ? 1 : 0],
                   buttonFlags(pointer), MAKELPARAM(pointer.x, pointer.y));
}

void WindowSystem::wheelTurned(HWND window, int delta, const Pointer& pointer, int screenX,
                               int screenY) {
  queue.queueInput(window, WM_MOUSEWHEEL, MAKEWPARAM(buttonFlags(pointer), delta),
                   MAKELPARAM(screenX, screenY));
}

bool WindowSystem::translateKey(const MSG& message) {
  const unsigned character = queue.takeCharacterOfKey(message);
  if (character == 0) {
    return false;
  }
  // Posted, so that it is the next message taken, as in Win32.
  queue.post(message.hwnd, WM_CHAR, character, message.lParam);
  return true;
}

}  // namespace port
