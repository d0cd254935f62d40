// The EGL binding: configurations, drawables and contexts of an EGL display
// (Mesa's surfaceless platform here; Emscripten's EGL on a canvas in the
// browser).
#include <EGL/egl.h>
#include <GL/gl.h>

#include <cstdio>

#include "port/display.h"

namespace port {
namespace {

void reportEglFailure(const char* call) {
  std::fprintf(stderr, "%s\n", describeEglFailure(call).c_str());
}

struct EglDrawable : Drawable {
  EGLSurface surface;
  explicit EglDrawable(EGLSurface s) : surface(s) {}
};

struct EglContext : Context {
  EGLContext context;
  explicit EglContext(EGLContext c) : context(c) {}
};

class EglBinding : public GlBinding {
 public:
  EglBinding(EGLDisplay display, EglDrawables drawables, EglClient client)
      : display_(display), drawables_(drawables), client_(client) {
    // Looked up rather than linked: not every EGL makes pbuffers (the
    // browser's has none).
    if (drawables_ == EglDrawables::pbuffers) {
      createPbuffer_ =
          reinterpret_cast<CreatePbuffer>(eglGetProcAddress("eglCreatePbufferSurface"));
    }
    listConfigs();
  }

  const std::vector<FramebufferConfig>& configs() override { return configs_; }

  NativeVisual visualOf(int index) override {
    EGLint visual = 0;
    eglGetConfigAttrib(display_, eglConfigs_[index], EGL_NATIVE_VISUAL_ID, &visual);
    return static_cast<NativeVisual>(visual);
  }

  Drawable* createDrawable(Surface& surface, int index) override {
    EGLSurface made = EGL_NO_SURFACE;
    if (drawables_ == EglDrawables::pbuffers) {
      const EGLint size[] = {EGL_WIDTH, surface.width, EGL_HEIGHT, surface.height, EGL_NONE};
      made = createPbuffer_ != nullptr ? createPbuffer_(display_, eglConfigs_[index], size)
                                       : EGL_NO_SURFACE;
    } else {
      made =
          eglCreateWindowSurface(display_, eglConfigs_[index],
                                 static_cast<EGLNativeWindowType>(surface.nativeWindow()), nullptr);
    }
    if (made == EGL_NO_SURFACE) {
      reportEglFailure(drawables_ == EglDrawables::pbuffers ? "eglCreatePbufferSurface"
                                                            : "eglCreateWindowSurface");
      return nullptr;
    }
    return new EglDrawable(made);
  }

  Context* createContext(int index) override {
    const bool desktop = client_ == EglClient::desktopGl;
    if (!eglBindAPI(desktop ? EGL_OPENGL_API : EGL_OPENGL_ES_API)) {
      reportEglFailure("eglBindAPI");
      return nullptr;
    }
    // Desktop OpenGL with no attributes: the newest compatibility profile,
    // which keeps OpenGL 1.1 and immediate mode.
    const EGLint gles2[] = {EGL_CONTEXT_CLIENT_VERSION, 2, EGL_NONE};
    const EGLContext context =
        eglCreateContext(display_, eglConfigs_[index], EGL_NO_CONTEXT, desktop ? nullptr : gles2);
    if (context == EGL_NO_CONTEXT) {
      reportEglFailure("eglCreateContext");
      return nullptr;
    }
    return new EglContext(context);
  }

  void destroyDrawable(Drawable* drawable) override {
    auto* egl = static_cast<EglDrawable*>(drawable);
    eglDestroySurface(display_, egl->surface);
    delete egl;
  }

  void deleteContext(Context* context) override {
    auto* egl = static_cast<EglContext*>(context);
    if (!eglDestroyContext(display_, egl->context)) {
      reportEglFailure("eglDestroyContext");
    }
    delete egl;
  }

  bool makeCurrent(Drawable* drawable, Context* context) override {
    const EGLSurface surface =
        drawable == nullptr ? EGL_NO_SURFACE : static_cast<EglDrawable*>(drawable)->surface;
    const EGLContext egl =
        context == nullptr ? EGL_NO_CONTEXT : static_cast<EglContext*>(context)->context;
    if (!eglMakeCurrent(display_, surface, surface, egl)) {
      reportEglFailure("eglMakeCurrent");
      return false;
    }
    return true;
  }

  // A pbuffer has only its back buffer and nothing to present it on: the
  // frame stays there, where glReadPixels finds it before and after.
  // eglSwapBuffers does nothing for a pbuffer, so the frame is flushed here,
  // as a window's swap would flush it. Never flushed, the frames pile up
  // behind llvmpipe's rasteriser threads and memory grows without bound.
  bool swapBuffers(Drawable& drawable) override {
    const EGLSurface surface = static_cast<EglDrawable&>(drawable).surface;
    if (drawables_ == EglDrawables::windowSurfaces) {
      return eglSwapBuffers(display_, surface) == EGL_TRUE;
    }
    if (eglGetCurrentSurface(EGL_DRAW) == surface) {
      glFlush();
    }
    return true;
  }

 private:
  void listConfigs() {
    EGLint count = 0;
    if (!eglGetConfigs(display_, nullptr, 0, &count) || count <= 0) {
      reportEglFailure("eglGetConfigs");
      return;
    }
    eglConfigs_.resize(static_cast<std::size_t>(count));
    eglGetConfigs(display_, eglConfigs_.data(), count, &count);
    eglConfigs_.resize(static_cast<std::size_t>(count));
    const EGLint drawableBit =
        drawables_ == EglDrawables::pbuffers ? EGL_PBUFFER_BIT : EGL_WINDOW_BIT;
    const EGLint renderableBit =
        client_ == EglClient::desktopGl ? EGL_OPENGL_BIT : EGL_OPENGL_ES2_BIT;
    for (EGLConfig config : eglConfigs_) {
      const auto get = [&](EGLint attribute) {
        EGLint value = 0;
        eglGetConfigAttrib(display_, config, attribute, &value);
        return value;
      };
      FramebufferConfig offered;
      // A pbuffer stands in for the window and renders into a back buffer.
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

  using CreatePbuffer = EGLSurface (*)(EGLDisplay, EGLConfig, const EGLint*);

  EGLDisplay display_;
  EglDrawables drawables_;
  EglClient client_;
  CreatePbuffer createPbuffer_ = nullptr;
  std::vector<EGLConfig> eglConfigs_;
  std::vector<FramebufferConfig> configs_;
};

}  // namespace

std::string describeEglFailure(const char* call) {
  // The codes are listed in <EGL/egl.h>: 0x3003 EGL_BAD_ALLOC, 0x3009
  // EGL_BAD_MATCH...
  char text[160];
  std::snprintf(text, sizeof text, "%s failed: EGL error 0x%04x", call,
                static_cast<unsigned>(eglGetError()));
  return text;
}

std::unique_ptr<GlBinding> makeEglBinding(void* eglDisplay, EglDrawables drawables,
                                          EglClient client) {
  return std::make_unique<EglBinding>(static_cast<EGLDisplay>(eglDisplay), drawables, client);
}

}  // namespace port
