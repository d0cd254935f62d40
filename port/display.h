// The display contract. The generic window system of port/ (classes,
// windows, the message queue, timers, pixel formats, WGL contexts) reaches
// the outside world only through these two pieces:
//   - a Display: native surfaces (shown or not) and the native events that
//     become window messages — X11, or nothing at all (headless);
//   - a GlBinding: the GL context API that draws into those surfaces — GLX or
//     EGL, chosen by the display, so a display can use whichever binding
//     suits it (EGL with pbuffers headless, EGL window surfaces on a canvas).
// A display turns native events into messages by calling the four functions
// at the end of this file.
//
// Reading order for port/: port/win32.h and port/wgl.h (what the programs
// compile against), this file, port/internal.h (the generic part's shared
// state and the call trace), windows.cpp, message_queue.cpp, wgl.cpp, then
// one backend: headless_display.cpp with egl_binding.cpp, or x11_display.cpp
// with glx_binding.cpp. main.cpp is the entry that calls WinMain; port.h
// holds the controls for tools and tests.
//
// In the browser build, web_display.cpp takes the place of both backends:
// the page's canvas with egl_binding.cpp on Emscripten's EGL.
//
// Everything runs on the program's one thread, the message-loop thread:
// nothing in port/ locks, and no call may come from another thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "port/wgl.h"

struct _XDisplay;

namespace port {

// A native window as a context API takes it (an X window id), or a native
// visual id; 0 where there is none.
using NativeWindow = unsigned long;
using NativeVisual = unsigned long;

// One framebuffer configuration a binding offers, in the terms of a
// PIXELFORMATDESCRIPTOR. Its position in the list plus one is its pixel
// format number.
struct FramebufferConfig {
  bool drawToWindow = false;
  bool supportOpenGL = false;
  bool doubleBuffer = false;
  bool rgba = false;
  bool multisample = false;
  int redBits = 0;
  int greenBits = 0;
  int blueBits = 0;
  int alphaBits = 0;
  int depthBits = 0;
  int stencilBits = 0;
  int accumBits = 0;
};

// A window's native surface, made by the display; the client size is kept
// up to date by the display.
struct Surface {
  virtual ~Surface() = default;
  virtual NativeWindow nativeWindow() const { return 0; }
  int width = 0;
  int height = 0;
};
// The binding's own state for a surface it draws into, and for a context.
struct Drawable {
  virtual ~Drawable() = default;
};
struct Context {
  virtual ~Context() = default;
};

class GlBinding {
 public:
  virtual ~GlBinding() = default;
  virtual const std::vector<FramebufferConfig>& configs() = 0;
  // The native visual a surface needs to be drawn with config `index`.
  virtual NativeVisual visualOf(int index) = 0;
  // Null after saying why on stderr, for these two.
  virtual Drawable* createDrawable(Surface& surface, int index) = 0;
  virtual Context* createContext(int index) = 0;
  virtual void destroyDrawable(Drawable* drawable) = 0;
  virtual void deleteContext(Context* context) = 0;
  // (nullptr, nullptr) releases the current context.
  virtual bool makeCurrent(Drawable* drawable, Context* context) = 0;
  virtual bool swapBuffers(Drawable& drawable) = 0;
};

class Display {
 public:
  virtual ~Display() = default;
  virtual GlBinding& gl() = 0;
  // A hidden surface of the given client size for a new window.
  virtual Surface* createSurface(HWND window, const char* className, const char* title, int width,
                                 int height) = 0;
  // Readies the surface to be drawn with `visual`, before a drawable is
  // made for it; false when the surface cannot take that visual.
  virtual bool prepareSurface(Surface& surface, NativeVisual visual) = 0;
  virtual void showSurface(Surface& surface, bool visible) = 0;
  virtual void destroySurface(Surface* surface) = 0;
  // Turns the native events that wait into window messages. Never blocks.
  virtual void pumpEvents() = 0;
  // Blocks until native events may wait, wakeFd (if not -1) is readable, or
  // timeoutMs (-1: no limit) has passed.
  virtual void waitEvents(int wakeFd, int timeoutMs) = 0;
};

// The displays, each opened or the reason why not in `error`.
Display* openHeadlessDisplay(std::string& error);
Display* openX11Display(std::string& error);
Display* openWebDisplay(std::string& error);

// The bindings. EGL draws into pbuffers of the surfaces' size, or into
// window surfaces on their native windows; with desktop OpenGL (a
// compatibility profile), or with OpenGL ES 2, the WebGL on which Emscripten
// emulates OpenGL 1.1 in the browser.
enum class EglDrawables { pbuffers, windowSurfaces };
enum class EglClient { desktopGl, gles2 };
std::unique_ptr<GlBinding> makeEglBinding(void* eglDisplay, EglDrawables drawables,
                                          EglClient client);
std::unique_ptr<GlBinding> makeGlxBinding(_XDisplay* x, int screen);
// "eglInitialize failed: EGL error 0x3001", for the last EGL error.
std::string describeEglFailure(const char* call);

// What a display hands to the window system. Native input (a close request)
// is queued behind the posted messages, as Win32's input queue is.
void queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// WM_SIZE is sent at once, as Win32 sends it from inside the resize.
void surfaceResized(HWND window, int width, int height, bool minimised);
// WM_PAINT becomes due.
void surfaceExposed(HWND window);
// Asks the window, as Win32 asks the active window, whether the screen saver
// may start: true only when the request reached DefWindowProcA.
bool screenSaverAllowed(HWND window);

}  // namespace port
