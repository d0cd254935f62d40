// The x11 display: each window is a real top-level X window. It is made
// once, when first needed — with the GL visual when the pixel format is set,
// else with the screen's default visual when the window is first shown — so
// that it exists on the server once, under its title, for its whole life.
// X events are reported as what they mean, as far as the programs care:
// close, resize, minimise, expose, focus (for the screen saver), keys, the
// pointer and its buttons and wheel (port/x11_input.h translates them). GL
// draws through EGL's X11 platform into window surfaces.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <bitset>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

#include "port/display.h"
#include "port/x11_input.h"

namespace port {
namespace {

// Xlib calls this when the server goes away; it must not return.
int onConnectionLost(::Display* x) {
  std::fflush(stdout);
  std::fprintf(stderr, "lost the connection to the X server %s\n", DisplayString(x));
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

struct CloseConnection {
  void operator()(::Display* x) const { XCloseDisplay(x); }
};
// The connection to the X server, closed when its one owner goes.
using XConnection = std::unique_ptr<::Display, CloseConnection>;

struct X11Surface : Surface {
  EGLNativeWindowType nativeWindow() const override { return window; }
  HWND handle = nullptr;
  std::string className;
  std::string title;
  // 0 until the window is first needed.
  ::Window window = 0;
  VisualID visual = 0;
  Colormap colormap = 0;
  // Unmaps we asked for ourselves, as opposed to minimising by the user.
  int unmapsRequested = 0;
};

class X11Display : public Display {
 public:
  X11Display(XConnection connection, EGLDisplay egl, DisplayEvents& events)
      : connection_(std::move(connection)),
        screen_(DefaultScreen(x())),
        gl_(egl, GlBinding::Drawables::windowSurfaces, GlBinding::Client::desktopGl),
        events_(events) {
    wmProtocols_ = XInternAtom(x(), "WM_PROTOCOLS", False);
    wmDeleteWindow_ = XInternAtom(x(), "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(x(), "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(x(), "UTF8_STRING", False);
  }

  GlBinding& gl() override { return gl_; }

  // The X window is made later, when its visual is known.
  Surface* createSurface(HWND handle, const char* className, const char* title, int, int) override {
    auto* surface = new X11Surface;
    surface->handle = handle;
    surface->className = className;
    surface->title = title;
    return surface;
  }

  bool prepareSurface(Surface& native, NativeVisual visual) override {
    auto& surface = static_cast<X11Surface&>(native);
    const auto visualId = static_cast<VisualID>(visual);
    if (surface.window == 0) {
      return makeWindow(surface, visualId);
    }
    // An X window's visual is fixed when it is made.
    if (surface.visual != visualId) {
      std::fprintf(stderr,
                   "SetPixelFormat: the window is already shown with another visual; set the "
                   "pixel format before showing the window\n");
      return false;
    }
    return true;
  }

  void showSurface(Surface& native, bool visible) override {
    auto& surface = static_cast<X11Surface&>(native);
    if (surface.window == 0 &&
        !makeWindow(surface, XVisualIDFromVisual(DefaultVisual(x(), screen_)))) {
      return;
    }
    if (visible) {
      XMapWindow(x(), surface.window);
    } else {
      ++surface.unmapsRequested;
      XUnmapWindow(x(), surface.window);
    }
    XFlush(x());
  }

  void setSurfaceTitle(Surface& native, const char* title) override {
    auto& surface = static_cast<X11Surface&>(native);
    surface.title = title;
    // A window not made yet takes the title when it is.
    if (surface.window != 0) {
      storeTitle(surface);
      XFlush(x());
    }
  }

  void destroySurface(Surface* native) override {
    auto* surface = static_cast<X11Surface*>(native);
    if (active_ == surface->handle) {
      active_ = nullptr;
    }
    if (surface->window != 0) {
      surfaces_.erase(surface->window);
      XDestroyWindow(x(), surface->window);
      XFreeColormap(x(), surface->colormap);
      XFlush(x());
    }
    delete surface;
  }

  // Mesa's EGL, putting the frame to a connection that has already failed,
  // reads the server's largest request as 0 and loops for ever. A failure
  // noticed while the frame was drawn ends the program here instead: XPending
  // reports it to onConnectionLost.
  bool present(EGLSurface drawable) override {
    XPending(x());
    return gl_.swapBuffers(drawable);
  }

  void pumpEvents() override {
    keepScreenSaverAway();
    while (XPending(x()) > 0) {
      XEvent event;
      XNextEvent(x(), &event);
      handle(event);
    }
  }

  void waitEvents(int wakeFd, int timeoutMs) override {
    XFlush(x());
    if (XPending(x()) > 0) {
      return;
    }
    pollfd waits[2] = {{ConnectionNumber(x()), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    poll(waits, wakeFd < 0 ? 1 : 2, timeoutMs);
  }

 private:
  void storeTitle(const X11Surface& surface) {
    XStoreName(x(), surface.window, surface.title.c_str());
    XChangeProperty(x(), surface.window, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(surface.title.data()),
                    static_cast<int>(surface.title.size()));
  }

  bool makeWindow(X11Surface& surface, VisualID visualId) {
    XVisualInfo wanted{};
    wanted.visualid = visualId;
    wanted.screen = screen_;
    int count = 0;
    XVisualInfo* visual = XGetVisualInfo(x(), VisualIDMask | VisualScreenMask, &wanted, &count);
    if (visual == nullptr) {
      std::fprintf(stderr, "no X visual 0x%lx on screen %d\n", visualId, screen_);
      return false;
    }
    const ::Window root = RootWindow(x(), screen_);
    surface.colormap = XCreateColormap(x(), root, visual->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.colormap = surface.colormap;
    attributes.border_pixel = 0;
    // No background: nothing is erased, the window shows what was drawn.
    attributes.background_pixmap = None;
    attributes.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | ExposureMask | StructureNotifyMask |
                            FocusChangeMask;
    surface.window = XCreateWindow(
        x(), root, 0, 0, static_cast<unsigned>(surface.width),
        static_cast<unsigned>(surface.height), 0, visual->depth, InputOutput, visual->visual,
        CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    surface.visual = visualId;
    XFree(visual);

    storeTitle(surface);
    std::string className = surface.className;
    XClassHint classHint{className.data(), className.data()};
    XSetClassHint(x(), surface.window, &classHint);
    XSetWMProtocols(x(), surface.window, &wmDeleteWindow_, 1);
    surfaces_[surface.window] = &surface;
    return true;
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
        // The close button.
        if (event.xclient.message_type == wmProtocols_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == wmDeleteWindow_) {
          events_.closeRequested(window);
        }
        break;
      case ConfigureNotify:
        events_.resized(window, event.xconfigure.width, event.xconfigure.height);
        break;
      case UnmapNotify:
        if (surface.unmapsRequested > 0) {
          --surface.unmapsRequested;
        } else {
          events_.minimised(window);  // iconified
        }
        break;
      case MapNotify:
        events_.resized(window, surface.width, surface.height);
        break;
      case Expose:
        if (event.xexpose.count == 0) {
          events_.exposed(window);
        }
        break;
      case KeyPress: {
        char text[8];
        KeySym typed = NoSymbol;
        XLookupString(&event.xkey, text, sizeof text, &typed, nullptr);
        const bool repeated = keysDown_.test(event.xkey.keycode);
        keysDown_.set(event.xkey.keycode);
        // The code by the key's unshifted keysym, the character by the
        // shifted one: '=' and '+' are one key, VK_OEM_PLUS.
        events_.keyPressed(window, virtualKeyOfKeysym(XLookupKeysym(&event.xkey, 0)),
                           characterOfKeysym(typed), repeated);
        break;
      }
      case KeyRelease:
        keysDown_.reset(event.xkey.keycode);
        break;
      case MotionNotify:
        events_.pointerMoved(window,
                             pointerOfState(event.xmotion.x, event.xmotion.y, event.xmotion.state));
        break;
      case ButtonPress:
      case ButtonRelease: {
        const X11Button button = meaningOfButton(event.xbutton.button);
        const bool pressed = event.type == ButtonPress;
        const DisplayEvents::Pointer pointer =
            pointerOfState(event.xbutton.x, event.xbutton.y,
                           stateAfterButton(event.xbutton.state, button, pressed));
        if (button.kind == X11Button::Kind::button) {
          events_.buttonChanged(window, button.button, pressed, pointer);
        } else if (button.kind == X11Button::Kind::wheel && pressed) {
          events_.wheelTurned(window, button.wheelDelta, pointer, event.xbutton.x_root,
                              event.xbutton.y_root);
        }
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
        keysDown_.reset();  // their releases go elsewhere now
        break;
      default:
        break;
    }
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
    XGetScreenSaver(x(), &timeout, &interval, &blanking, &exposures);
    const int seconds = timeout > 0 ? timeout : 60;
    nextSaverQuestion_ = now + std::chrono::milliseconds(seconds * 500);
    if (timeout > 0 && !events_.screenSaverAllowed(active_)) {
      XResetScreenSaver(x());
      XFlush(x());
    }
  }

  ::Display* x() const { return connection_.get(); }

  // Closed last, after EGL is done with it.
  XConnection connection_;
  int screen_;
  GlBinding gl_;
  DisplayEvents& events_;
  Atom wmProtocols_;
  Atom wmDeleteWindow_;
  Atom netWmName_;
  Atom utf8String_;
  std::map<::Window, X11Surface*> surfaces_;
  // By keycode: a press of a key already down is its autorepeat (the server
  // sends no releases in between; see openX11Display).
  std::bitset<256> keysDown_;
  HWND active_ = nullptr;
  std::chrono::steady_clock::time_point nextSaverQuestion_{};
};

}  // namespace

std::unique_ptr<Display> openX11Display(DisplayEvents& events, std::string& error) {
  XConnection connection(XOpenDisplay(nullptr));
  ::Display* x = connection.get();
  if (x == nullptr) {
    const char* name = XDisplayName(nullptr);
    error = std::string("cannot open the X display '") + (name != nullptr ? name : "") + "'";
    return nullptr;
  }
  const EGLDisplay egl = openEglDisplay(EGL_PLATFORM_X11_KHR, x, error);
  if (egl == EGL_NO_DISPLAY) {
    error = "no OpenGL on the X display '" + std::string(DisplayString(x)) + "': " + error;
    return nullptr;
  }
  // A write to a server that has gone away must fail with EPIPE and reach
  // onConnectionLost, not end the process silently with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  XSetIOErrorHandler(onConnectionLost);
  // A held key repeats as presses alone, without a release before each.
  XkbSetDetectableAutoRepeat(x, True, nullptr);
  XSetErrorHandler(onRequestFailed);
  return std::make_unique<X11Display>(std::move(connection), egl, events);
}

}  // namespace port
