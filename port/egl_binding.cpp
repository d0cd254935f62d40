// EGL on Mesa's X11 and surfaceless platforms on Linux, and Emscripten's
// EGL on a canvas in the browser.
#include "port/egl_binding.h"

#include <EGL/eglext.h>
#include <GL/gl.h>

#include <cstdio>

#include "port/egl_errors.h"

namespace port {
namespace {

void reportEglFailure(const char* call) {
  std::fprintf(stderr, "%s\n", describeEglFailure(call).c_str());
}

// Looked up rather than linked: not every EGL makes pbuffers (the browser's
// has none).
EGLSurface createPbuffer(EGLDisplay display, EGLConfig config, const EGLint* attributes) {
  using Create = EGLSurface (*)(EGLDisplay, EGLConfig, const EGLint*);
  static const auto create = reinterpret_cast<Create>(eglGetProcAddress("eglCreatePbufferSurface"));
  return create != nullptr ? create(display, config, attributes) : EGL_NO_SURFACE;
}

}  // namespace

EGLDisplay openEglDisplay(EGLenum platform, void* nativeDisplay, std::string& error) {
  const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (getPlatformDisplay == nullptr) {
    error = describeEglFailure("eglGetProcAddress(eglGetPlatformDisplayEXT)");
    return EGL_NO_DISPLAY;
  }
  const EGLDisplay display = getPlatformDisplay(platform, nativeDisplay, nullptr);
  if (display == EGL_NO_DISPLAY) {
    error = describeEglFailure("eglGetPlatformDisplayEXT");
    return EGL_NO_DISPLAY;
  }
  if (!eglInitialize(display, nullptr, nullptr)) {
    error = describeEglFailure("eglInitialize");
    return EGL_NO_DISPLAY;
  }
  return display;
}

EGLDisplay openCanvasEglDisplay(std::string& error) {
  const EGLDisplay display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    error = describeEglFailure("eglInitialize");
    return EGL_NO_DISPLAY;
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
    eglTerminate(display);
    return EGL_NO_DISPLAY;
  }
  return display;
}

GlBinding::GlBinding(EGLDisplay display, Drawables drawables, Client client)
    : display_(display), drawables_(drawables), client_(client) {
  EGLint count = 0;
  if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) {
    reportEglFailure("eglGetConfigs");
    return;
  }
  eglConfigs_.resize(static_cast<std::size_t>(count));
  eglGetConfigs(display_, eglConfigs_.data(), count, &count);
  eglConfigs_.resize(static_cast<std::size_t>(count));
  const EGLint drawableBit = drawables_ == Drawables::pbuffers ? EGL_PBUFFER_BIT : EGL_WINDOW_BIT;
  const EGLint renderableBit = client_ == Client::desktopGl ? EGL_OPENGL_BIT : EGL_OPENGL_ES2_BIT;
  for (EGLConfig config : eglConfigs_) {
    const auto get = [&](EGLint attribute) {
      EGLint value = 0;
      eglGetConfigAttrib(display_, config, attribute, &value);
      return value;
    };
    FramebufferConfig offered;
    // A window surface, and a pbuffer standing in for a window, render into
    // a back buffer.
    offered.drawToWindow = (get(EGL_SURFACE_TYPE) & drawableBit) != 0;
    offered.doubleBuffer = offered.drawToWindow;
    offered.supportOpenGL = (get(EGL_RENDERABLE_TYPE) & renderableBit) != 0;
    offered.rgba = get(EGL_COLOR_BUFFER_TYPE) == EGL_RGB_BUFFER;
    offered.multisample = get(EGL_SAMPLES) > 0;
    offered.redBits = get(EGL_RED_SIZE);
    offered.greenBits = get(EGL_GREEN_SIZE);
    offered.blueBits = get(EGL_BLUE_SIZE);
    offered.alphaBits = get(EGL_ALPHA_SIZE);
    offered.depthBits = get(EGL_DEPTH_SIZE);
    offered.stencilBits = get(EGL_STENCIL_SIZE);
    configs_.push_back(offered);
  }
}

GlBinding::~GlBinding() { eglTerminate(display_); }

NativeVisual GlBinding::visualOf(int index) const {
  EGLint visual = 0;
  eglGetConfigAttrib(display_, eglConfigs_[index], EGL_NATIVE_VISUAL_ID, &visual);
  return visual;
}

EGLSurface GlBinding::createDrawable(int width, int height, EGLNativeWindowType window, int index) {
  const bool pbuffer = drawables_ == Drawables::pbuffers;
  const EGLint size[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
  const EGLSurface made =
      pbuffer ? createPbuffer(display_, eglConfigs_[index], size)
              : eglCreateWindowSurface(display_, eglConfigs_[index], window, nullptr);
  if (made == EGL_NO_SURFACE) {
    reportEglFailure(pbuffer ? "eglCreatePbufferSurface" : "eglCreateWindowSurface");
  }
  return made;
}

EGLContext GlBinding::createContext(int index) {
  const bool desktop = client_ == Client::desktopGl;
  if (!eglBindAPI(desktop ? EGL_OPENGL_API : EGL_OPENGL_ES_API)) {
    reportEglFailure("eglBindAPI");
    return EGL_NO_CONTEXT;
  }
  // Desktop OpenGL with no attributes: the newest compatibility profile,
  // which keeps OpenGL 1.1 and immediate mode.
  const EGLint gles2[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
  const EGLContext context =
      eglCreateContext(display_, eglConfigs_[index], EGL_NO_CONTEXT, desktop ? nullptr : gles2);
  if (context == EGL_NO_CONTEXT) {
    reportEglFailure("eglCreateContext");
  }
  return context;
}

void GlBinding::destroyDrawable(EGLSurface drawable) { eglDestroySurface(display_, drawable); }

void GlBinding::deleteContext(EGLContext context) {
  if (!eglDestroyContext(display_, context)) {
    reportEglFailure("eglDestroyContext");
  }
}

bool GlBinding::makeCurrent(EGLSurface drawable, EGLContext context) {
  if (!eglMakeCurrent(display_, drawable, drawable, context)) {
    reportEglFailure("eglMakeCurrent");
    return false;
  }
  return true;
}

// A pbuffer has only its back buffer and nothing to present it on: the frame
// stays there, where glReadPixels finds it before and after. eglSwapBuffers
// does nothing for a pbuffer, so the frame is flushed here, as a window's
// swap would flush it. Never flushed, the frames pile up behind llvmpipe's
// rasteriser threads and memory grows without bound.
bool GlBinding::swapBuffers(EGLSurface drawable) {
  if (drawables_ == Drawables::windowSurfaces) {
    return eglSwapBuffers(display_, drawable) == EGL_TRUE;
  }
  if (eglGetCurrentSurface(EGL_DRAW) == drawable) {
    glFlush();
  }
  return true;
}

std::string describeEglFailure(const char* call) {
  return std::string(call) + " failed: " + eglErrorName(eglGetError());
}

}  // namespace port
