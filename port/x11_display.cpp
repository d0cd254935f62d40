// The x11 display: each window is a real top-level X window, drawn into
// through GLX. X events become window messages the way Win32 would produce
// them for the same user actions.
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>

#include "port/display.h"
#include "port/window_system.h"

namespace {

// The pointer's button and modifier state, as WM_MOUSEMOVE's wParam has it.
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// The Win32 virtual-key code of a key, from its unshifted keysym; 0 for keys
// Win32 has no code for here.
WPARAM virtualKey(KeySym key) {
  if (key >= XK_a && key <= XK_z) {
    return 'A' + (key - XK_a);
  }
  if (key >= XK_0 && key <= XK_9) {
    return '0' + (key - XK_0);
  }
  if (key >= XK_F1 && key <= XK_F12) {
    return 0x70 + (key - XK_F1);
  }
  switch (key) {
    case XK_BackSpace:
      return 0x08;
    case XK_Tab:
      return 0x09;
    case XK_Return:
    case XK_KP_Enter:
      return 0x0D;
    case XK_Shift_L:
    case XK_Shift_R:
      return 0x10;
    case XK_Control_L:
    case XK_Control_R:
      return 0x11;
    case XK_Alt_L:
    case XK_Alt_R:
      return 0x12;
    case XK_Pause:
      return 0x13;
    case XK_Caps_Lock:
      return 0x14;
    case XK_Escape:
      return 0x1B;
    case XK_space:
      return 0x20;
    case XK_Prior:
      return 0x21;
    case XK_Next:
      return 0x22;
    case XK_End:
      return 0x23;
    case XK_Home:
      return 0x24;
    case XK_Left:
      return 0x25;
    case XK_Up:
      return 0x26;
    case XK_Right:
      return 0x27;
    case XK_Down:
      return 0x28;
    case XK_Insert:
      return 0x2D;
    case XK_Delete:
      return 0x2E;
    default:
      return 0;
  }
}

// The Win32 key data: repeat count 1, the scan code, the previous key
// state (bit 30) and the transition (bit 31, set on release).
LPARAM keyData(unsigned keycode, bool wasDown, bool released) {
  std::uint32_t data = 1 | ((keycode - 8u) & 0xFFu) << 16;
  if (wasDown) {
    data |= 1u << 30;
  }
  if (released) {
    data |= 1u << 31;
  }
  return static_cast<LPARAM>(data);
}

std::string displayName;

// Xlib calls this when the server goes away; it must not return.
int onConnectionLost(::Display*) {
  std::fflush(stdout);
  std::fprintf(stderr, "lost the connection to the X server %s\n", displayName.c_str());
  std::fflush(stderr);
  _exit(1);
}

// A failed request is reported and the program goes on, as a Win32 call
// that fails returns an error instead of ending the process.
int onRequestFailed(::Display* display, XErrorEvent* error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "X request %d.%d failed: %s\n", error->request_code, error->minor_code,
               text);
  return 0;
}

struct X11Surface : NativeSurface {
  HWND handle = nullptr;
  std::string className;
  std::string title;
  int width = 0;
  int height = 0;
  ::Window window = 0;
  Colormap colormap = 0;
  GLXWindow glxWindow = 0;
  bool shown = false;
  // Unmaps we asked for ourselves, as opposed to minimising by the user.
  int unmapsRequested = 0;
};

struct GlxContext : NativeContext {
  GLXContext context;
  explicit GlxContext(GLXContext c) : context(c) {}
};

class X11Display : public DisplayBackend {
 public:
  explicit X11Display(::Display* x) : x_(x), screen_(DefaultScreen(x)) {
    wmProtocols_ = XInternAtom(x_, "WM_PROTOCOLS", False);
    wmDeleteWindow_ = XInternAtom(x_, "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(x_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(x_, "UTF8_STRING", False);
    // Held keys repeat as presses alone, so a repeat is a press of a key
    // that is already down, as in Win32.
    XkbSetDetectableAutoRepeat(x_, True, nullptr);
  }

  NativeSurface* createSurface(HWND handle, const char* className, const char* title, int width,
                               int height) override {
    auto* surface = new X11Surface;
    surface->handle = handle;
    surface->className = className;
    surface->title = title;
    surface->width = width;
    surface->height = height;
    createWindow(*surface, DefaultVisual(x_, screen_), DefaultDepth(x_, screen_));
    return surface;
  }

  void destroySurface(NativeSurface* native) override {
    auto* surface = static_cast<X11Surface*>(native);
    if (active_ == surface->handle) {
      active_ = nullptr;
    }
    destroyWindow(*surface);
    XFlush(x_);
    delete surface;
  }

  void showSurface(NativeSurface* native, bool visible) override {
    auto* surface = static_cast<X11Surface*>(native);
    surface->shown = visible;
    if (visible) {
      XMapWindow(x_, surface->window);
    } else {
      ++surface->unmapsRequested;
      XUnmapWindow(x_, surface->window);
    }
    XFlush(x_);
  }

  void pumpEvents() override {
    keepScreenSaverAway();
    while (XPending(x_) > 0) {
      XEvent event;
      XNextEvent(x_, &event);
      handle(event);
    }
  }

  void waitEvents(int wakeFd, int timeoutMs) override {
    XFlush(x_);
    if (XPending(x_) > 0) {
      return;
    }
    pollfd waits[2] = {{ConnectionNumber(x_), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    poll(waits, wakeFd < 0 ? 1 : 2, timeoutMs);
  }

  const std::vector<FramebufferConfig>& framebufferConfigs() override {
    if (!listed_) {
      listConfigs();
      listed_ = true;
    }
    return configs_;
  }

  bool setSurfaceConfig(NativeSurface* native, int index) override {
    auto* surface = static_cast<X11Surface*>(native);
    XVisualInfo* visual = glXGetVisualFromFBConfig(x_, glxConfigs_[index]);
    if (visual == nullptr) {
      return false;
    }
    // An X window's visual is fixed when it is made: one of another visual
    // replaces it, which nobody sees since the pixel format is set before
    // the window is shown.
    if (visual->visual != windowVisual(*surface)) {
      destroyWindow(*surface);
      createWindow(*surface, visual->visual, visual->depth);
      if (surface->shown) {
        XMapWindow(x_, surface->window);
      }
    }
    XFree(visual);
    surface->glxWindow = glXCreateWindow(x_, glxConfigs_[index], surface->window, nullptr);
    XSync(x_, False);
    return surface->glxWindow != 0;
  }

  NativeContext* createContext(int index) override {
    const GLXContext context =
        glXCreateNewContext(x_, glxConfigs_[index], GLX_RGBA_TYPE, nullptr, True);
    if (context == nullptr) {
      std::fprintf(stderr, "glXCreateNewContext failed\n");
      return nullptr;
    }
    return new GlxContext(context);
  }

  bool makeCurrent(NativeSurface* native, NativeContext* context) override {
    if (native == nullptr || context == nullptr) {
      return glXMakeContextCurrent(x_, None, None, nullptr) == True;
    }
    const GLXWindow drawable = static_cast<X11Surface*>(native)->glxWindow;
    return glXMakeContextCurrent(x_, drawable, drawable,
                                 static_cast<GlxContext*>(context)->context) == True;
  }

  void deleteContext(NativeContext* context) override {
    auto* glx = static_cast<GlxContext*>(context);
    glXDestroyContext(x_, glx->context);
    delete glx;
  }

  bool swapBuffers(NativeSurface* native) override {
    const auto* surface = static_cast<X11Surface*>(native);
    if (surface->glxWindow == 0) {
      return false;
    }
    glXSwapBuffers(x_, surface->glxWindow);
    return true;
  }

 private:
  Visual* windowVisual(const X11Surface& surface) {
    XWindowAttributes attributes;
    XGetWindowAttributes(x_, surface.window, &attributes);
    return attributes.visual;
  }

  void createWindow(X11Surface& surface, Visual* visual, int depth) {
    const ::Window root = RootWindow(x_, screen_);
    surface.colormap = XCreateColormap(x_, root, visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = surface.colormap;
    attributes.border_pixel = 0;
    // No background: nothing is erased, the window shows what was drawn.
    attributes.background_pixmap = None;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | PointerMotionMask | ExposureMask |
                            StructureNotifyMask | FocusChangeMask;
    surface.window =
        XCreateWindow(x_, root, 0, 0, static_cast<unsigned>(surface.width),
                      static_cast<unsigned>(surface.height), 0, depth, InputOutput, visual,
                      CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);

    XStoreName(x_, surface.window, surface.title.c_str());
    XChangeProperty(x_, surface.window, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(surface.title.data()),
                    static_cast<int>(surface.title.size()));
    std::string className = surface.className;
    XClassHint classHint{className.data(), className.data()};
    XSetClassHint(x_, surface.window, &classHint);
    XSetWMProtocols(x_, surface.window, &wmDeleteWindow_, 1);
    surfaces_[surface.window] = &surface;
  }

  void destroyWindow(X11Surface& surface) {
    if (surface.glxWindow != 0) {
      glXDestroyWindow(x_, surface.glxWindow);
      surface.glxWindow = 0;
    }
    surfaces_.erase(surface.window);
    XDestroyWindow(x_, surface.window);
    XFreeColormap(x_, surface.colormap);
  }

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

  void handle(XEvent& event) {
    const auto found = surfaces_.find(event.xany.window);
    if (found == surfaces_.end()) {
      return;
    }
    X11Surface& surface = *found->second;
    const HWND window = surface.handle;
    switch (event.type) {
      case ClientMessage:
        // The close button: Win32 turns it into the system menu's close.
        if (event.xclient.message_type == wmProtocols_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow_) {
          queueInput(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        break;
      case ConfigureNotify:
        surface.width = event.xconfigure.width;
        surface.height = event.xconfigure.height;
        surfaceResized(window, surface.width, surface.height, false);
        break;
      case UnmapNotify:
        if (surface.unmapsRequested > 0) {
          --surface.unmapsRequested;
        } else {
          surfaceResized(window, 0, 0, true);  // iconified
        }
        break;
      case MapNotify:
        surfaceResized(window, surface.width, surface.height, false);
        break;
      case Expose:
        if (event.xexpose.count == 0) {
          surfaceExposed(window);
        }
        break;
      case KeyPress:
      case KeyRelease:
        key(window, event.xkey);
        break;
      case MotionNotify: {
        const unsigned state = event.xmotion.state;
        WPARAM buttons = 0;
        buttons |= (state & Button1Mask) != 0 ? MK_LBUTTON : 0;
        buttons |= (state & Button2Mask) != 0 ? MK_MBUTTON : 0;
        buttons |= (state & Button3Mask) != 0 ? MK_RBUTTON : 0;
        buttons |= (state & ShiftMask) != 0 ? MK_SHIFT : 0;
        buttons |= (state & ControlMask) != 0 ? MK_CONTROL : 0;
        queueInput(window, WM_MOUSEMOVE, buttons, MAKELPARAM(event.xmotion.x, event.xmotion.y));
        break;
      }
      case FocusIn:
        if (event.xfocus.detail != NotifyInferior) {
          active_ = window;
        }
        break;
      case FocusOut:
        if (event.xfocus.detail != NotifyInferior && active_ == window) {
          active_ = nullptr;
        }
        break;
      default:
        break;
    }
  }

  void key(HWND window, XKeyEvent& event) {
    const WPARAM code = virtualKey(XLookupKeysym(&event, 0));
    if (code == 0) {
      return;
    }
    const bool wasDown = keysDown_.count(event.keycode) != 0;
    if (event.type == KeyRelease) {
      keysDown_.erase(event.keycode);
      queueInput(window, WM_KEYUP, code, keyData(event.keycode, true, true));
      return;
    }
    keysDown_.insert(event.keycode);
    char text[32];
    const int length = XLookupString(&event, text, sizeof text, nullptr, nullptr);
    queueKeyDown(window, code, keyData(event.keycode, wasDown, false),
                 std::string(text, static_cast<std::size_t>(length > 0 ? length : 0)));
  }

  // Win32 asks the active window before the screen saver starts, and starts
  // it only when the request reaches DefWindowProcA. Here the window is
  // asked twice per saver timeout; a refusal restarts the server's idle
  // countdown (which also delays the display's power-down), so the saver
  // never comes while the window keeps refusing.
  void keepScreenSaverAway() {
    if (active_ == nullptr) {
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < nextSaverQuestion_) {
      return;
    }
    int timeout = 0;
    int interval = 0;
    int blanking = 0;
    int exposures = 0;
    XGetScreenSaver(x_, &timeout, &interval, &blanking, &exposures);
    const int seconds = timeout > 0 ? timeout : 60;
    nextSaverQuestion_ = now + std::chrono::milliseconds(seconds * 500);
    if (timeout > 0 && !screenSaverAllowed(active_)) {
      XResetScreenSaver(x_);
      XFlush(x_);
    }
  }

  ::Display* x_;
  int screen_;
  Atom wmProtocols_;
  Atom wmDeleteWindow_;
  Atom netWmName_;
  Atom utf8String_;
  bool listed_ = false;
  std::vector<GLXFBConfig> glxConfigs_;
  std::vector<FramebufferConfig> configs_;
  std::map<::Window, X11Surface*> surfaces_;
  std::set<unsigned> keysDown_;
  HWND active_ = nullptr;
  std::chrono::steady_clock::time_point nextSaverQuestion_{};
};

}  // namespace

DisplayBackend* openX11Display(std::string& error) {
  ::Display* x = XOpenDisplay(nullptr);
  if (x == nullptr) {
    const char* name = XDisplayName(nullptr);
    error = std::string("cannot open the X display '") + (name != nullptr ? name : "") + "'";
    return nullptr;
  }
  displayName = DisplayString(x);
  XSetIOErrorHandler(onConnectionLost);
  XSetErrorHandler(onRequestFailed);
  // Lives as long as the process, like the connection.
  return new X11Display(x);
}
