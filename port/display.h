// The display contract. The generic window system of port/ (classes,
// windows, the message queue, timers, pixel formats, WGL contexts) reaches
// the outside world only through these two pieces:
//   - a Display: native surfaces (shown or not) and the native events that
//     become window messages — X11, nothing at all (headless), or a browser
//     page's canvas;
//   - its GlBinding: the GL context API that draws into those surfaces. It is
//     EGL on every display, told apart only by what it draws into (window
//     surfaces or pbuffers) and which OpenGL it offers.
// A display turns native events into messages by calling the four functions
// at the end of this file.
//
// Reading order for port/: port/win32.h and port/wgl.h (what the programs
// compile against), this file, port/internal.h (the generic part's shared
// state and the call trace), windows.cpp, message_queue.cpp, wgl.cpp,
// egl_binding.cpp, then one display: headless_display.cpp, x11_display.cpp
// or web_display.cpp. main.cpp is the entry that calls WinMain; port.h holds
// the controls for tools and tests.
//
// Everything runs on the program's one thread, the message-loop thread:
// nothing in port/ locks, and no call may come from another thread.
#pragma once

#include <EGL/egl.h>

#include <string>
#include <vector>

#include "port/wgl.h"

namespace port {

// A native visual id (an X visual); 0 where there is none.
using NativeVisual = EGLint;

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
};

// A window's native surface, made by the display; the client size is kept
// up to date by the display.
struct Surface {
  virtual ~Surface() = default;
  // What EGL draws into (an X window id); 0 where there is none.
  virtual EGLNativeWindowType nativeWindow() const { return 0; }
  int width = 0;
  int height = 0;
};

// The EGL configurations of a display, and the drawables (EGL surfaces) and
// contexts made from them. Drawables are pbuffers of the surfaces' size or
// window surfaces on their native windows; the OpenGL is desktop OpenGL (a
// compatibility profile), or OpenGL ES 2, the WebGL on which Emscripten
// emulates OpenGL 1.1 in the browser.
class GlBinding {
 public:
  enum class Drawables { pbuffers, windowSurfaces };
  enum class Client { desktopGl, gles2 };
  // Takes an initialised EGL display.
  GlBinding(EGLDisplay display, Drawables drawables, Client client);

  const std::vector<FramebufferConfig>& configs() const { return configs_; }
  // The native visual a surface needs to be drawn with config `index`.
  NativeVisual visualOf(int index) const;
  // EGL_NO_SURFACE or EGL_NO_CONTEXT after saying why on stderr.
  EGLSurface createDrawable(const Surface& surface, int index);
  EGLContext createContext(int index);
  void destroyDrawable(EGLSurface drawable);
  void deleteContext(EGLContext context);
  // (EGL_NO_SURFACE, EGL_NO_CONTEXT) releases the current context.
  bool makeCurrent(EGLSurface drawable, EGLContext context);
  bool swapBuffers(EGLSurface drawable);

 private:
  EGLDisplay display_;
  Drawables drawables_;
  Client client_;
  std::vector<EGLConfig> eglConfigs_;
  std::vector<FramebufferConfig> configs_;
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
  // A new title for the surface's window; displays without titles ignore it.
  virtual void setSurfaceTitle(Surface&, const char*) {}
  virtual void destroySurface(Surface* surface) = 0;
  // Presents the frame drawn into a surface's drawable: a buffer swap, and
  // whatever the display needs around it.
  virtual bool present(EGLSurface drawable) { return gl().swapBuffers(drawable); }
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

// The EGL display of a platform (EGL_PLATFORM_X11_KHR, ...), initialised,
// or EGL_NO_DISPLAY with the reason in `error`.
EGLDisplay openEglDisplay(EGLenum platform, void* nativeDisplay, std::string& error);
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
