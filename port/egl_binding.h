// All of EGL: opening an EGL display, its configurations in the terms of a
// PIXELFORMATDESCRIPTOR, and the drawables and contexts made from them.
#pragma once

#include <EGL/egl.h>

#include <string>
#include <vector>

namespace port {

// A native visual id (an X visual); 0 where there is none.
using NativeVisual = EGLint;

// One framebuffer configuration a binding offers. Its position in the list
// plus one is its pixel format number.
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

// The EGL display of a platform (EGL_PLATFORM_X11_KHR, ...), initialised,
// or EGL_NO_DISPLAY with the reason in `error`.
EGLDisplay openEglDisplay(EGLenum platform, void* nativeDisplay, std::string& error);
// The browser's EGL (Emscripten's, on the page's canvas), with the buffers
// of an opaque window: 8 bits per colour, depth 24, stencil 8.
EGLDisplay openCanvasEglDisplay(std::string& error);
// "eglInitialize failed: EGL_NOT_INITIALIZED", for the last EGL error.
std::string describeEglFailure(const char* call);

// The configurations of an initialised EGL display, which it owns (and
// terminates), and the drawables and contexts made from them. Drawables are
// pbuffers or window surfaces on native windows; the OpenGL is desktop
// OpenGL (a compatibility profile), or OpenGL ES 2, the WebGL on which
// Emscripten emulates OpenGL 1.1 in the browser. Failures are said on
// stderr.
class GlBinding {
 public:
  enum class Drawables { pbuffers, windowSurfaces };
  enum class Client { desktopGl, gles2 };
  GlBinding(EGLDisplay display, Drawables drawables, Client client);
  ~GlBinding();
  GlBinding(const GlBinding&) = delete;
  GlBinding& operator=(const GlBinding&) = delete;

  const std::vector<FramebufferConfig>& configs() const { return configs_; }
  // The native visual a surface needs to be drawn with config `index`.
  NativeVisual visualOf(int index) const;
  // A pbuffer of the size, or a window surface on the native window.
  EGLSurface createDrawable(int width, int height, EGLNativeWindowType window, int index);
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

}  // namespace port
