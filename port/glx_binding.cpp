// The GLX binding: framebuffer configurations, GLX windows on the display's
// X windows, and GLX contexts.
#include <GL/glx.h>

#include <cstdio>

#include "port/display.h"

namespace port {
namespace {

struct GlxDrawable : Drawable {
  GLXWindow window;
  explicit GlxDrawable(GLXWindow w) : window(w) {}
};

struct GlxContext : Context {
  GLXContext context;
  explicit GlxContext(GLXContext c) : context(c) {}
};

class GlxBinding : public GlBinding {
 public:
  GlxBinding(::Display* x, int screen) : x_(x), screen_(screen) {}

  const std::vector<FramebufferConfig>& configs() override {
    if (!listed_) {
      listConfigs();
      listed_ = true;
    }
    return configs_;
  }

  NativeVisual visualOf(int index) override {
    int visual = 0;
    glXGetFBConfigAttrib(x_, glxConfigs_[index], GLX_VISUAL_ID, &visual);
    return static_cast<NativeVisual>(visual);
  }

  Drawable* createDrawable(Surface& surface, int index) override {
    const GLXWindow window =
        glXCreateWindow(x_, glxConfigs_[index], surface.nativeWindow(), nullptr);
    XSync(x_, False);
    if (window == 0) {
      std::fprintf(stderr, "glXCreateWindow failed\n");
      return nullptr;
    }
    return new GlxDrawable(window);
  }

  Context* createContext(int index) override {
    const GLXContext context =
        glXCreateNewContext(x_, glxConfigs_[index], GLX_RGBA_TYPE, nullptr, True);
    if (context == nullptr) {
      std::fprintf(stderr, "glXCreateNewContext failed\n");
      return nullptr;
    }
    return new GlxContext(context);
  }

  void destroyDrawable(Drawable* drawable) override {
    auto* glx = static_cast<GlxDrawable*>(drawable);
    glXDestroyWindow(x_, glx->window);
    delete glx;
  }

  void deleteContext(Context* context) override {
    auto* glx = static_cast<GlxContext*>(context);
    glXDestroyContext(x_, glx->context);
    delete glx;
  }

  bool makeCurrent(Drawable* drawable, Context* context) override {
    if (drawable == nullptr || context == nullptr) {
      return glXMakeContextCurrent(x_, None, None, nullptr) == True;
    }
    const GLXWindow window = static_cast<GlxDrawable*>(drawable)->window;
    return glXMakeContextCurrent(x_, window, window, static_cast<GlxContext*>(context)->context) ==
           True;
  }

  bool swapBuffers(Drawable& drawable) override {
    glXSwapBuffers(x_, static_cast<GlxDrawable&>(drawable).window);
    return true;
  }

 private:
  void listConfigs() {
    int errorBase = 0;
    int eventBase = 0;
    int major = 0;
    int minor = 0;
    // Without GLX 1.3 there is nothing to offer: no pixel format matches.
    if (!glXQueryExtension(x_, &errorBase, &eventBase) || !glXQueryVersion(x_, &major, &minor) ||
        (major == 1 && minor < 3)) {
      return;
    }
    int count = 0;
    GLXFBConfig* all = glXGetFBConfigs(x_, screen_, &count);
    for (int i = 0; i < count; ++i) {
      const auto get = [&](int attribute) {
        int value = 0;
        glXGetFBConfigAttrib(x_, all[i], attribute, &value);
        return value;
      };
      FramebufferConfig offered;
      offered.drawToWindow =
          (get(GLX_DRAWABLE_TYPE) & GLX_WINDOW_BIT) != 0 && get(GLX_VISUAL_ID) != 0;
      offered.supportOpenGL = true;
      offered.doubleBuffer = get(GLX_DOUBLEBUFFER) != 0;
      offered.rgba = (get(GLX_RENDER_TYPE) & GLX_RGBA_BIT) != 0;
      offered.multisample = get(GLX_SAMPLES) > 0;
      offered.redBits = get(GLX_RED_SIZE);
      offered.greenBits = get(GLX_GREEN_SIZE);
      offered.blueBits = get(GLX_BLUE_SIZE);
      offered.alphaBits = get(GLX_ALPHA_SIZE);
      offered.depthBits = get(GLX_DEPTH_SIZE);
      offered.stencilBits = get(GLX_STENCIL_SIZE);
      offered.accumBits = get(GLX_ACCUM_RED_SIZE) + get(GLX_ACCUM_GREEN_SIZE) +
                          get(GLX_ACCUM_BLUE_SIZE) + get(GLX_ACCUM_ALPHA_SIZE);
      glxConfigs_.push_back(all[i]);
      configs_.push_back(offered);
    }
    if (all != nullptr) {
      XFree(all);
    }
  }

  ::Display* x_;
  int screen_;
  bool listed_ = false;
  std::vector<GLXFBConfig> glxConfigs_;
  std::vector<FramebufferConfig> configs_;
};

}  // namespace

std::unique_ptr<GlBinding> makeGlxBinding(_XDisplay* x, int screen) {
  return std::make_unique<GlxBinding>(x, screen);
}

}  // namespace port
