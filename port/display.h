// The display contract. The generic window system of port/ (classes,
// windows, the message queue, timers, pixel formats, WGL contexts) reaches
// the outside world only through a Display: native surfaces (shown or not),
// the native events of them, and the GL binding (EGL, port/egl_binding.h)
// that draws into them. A display is X11, nothing at all (headless), or a
// browser page's canvas.
//
// A display speaks of what happened, not in Win32's messages: it reports to
// the DisplayEvents it was opened with ("the user asked to close this
// window", "it is now 400 x 300", "the left button went down at (12, 34)"),
// and the generic part (WindowSystem) decides which Win32 messages with which
// parameters that makes. No display names a WM_, SC_ or MK_ constant; keys
// are named by their virtual-key codes, the one name for a key that both
// sides share.
//
// Everything runs on the program's one thread, the message-loop thread:
// nothing in port/ locks, and no call may come from another thread.
//
// Reading order for port/:
//   1. port/win32.h and port/wgl.h: what the programs compile against, and
//      at the top of win32.h what is emulated and what is not;
//   2. this file: what a display does and what it reports;
//   3. port/window_system.h: the one owner of the state and the rules that
//      span its parts, then the parts: window_table.h, message_queue.h,
//      context_table.h, trace.h, console.h; window_system.cpp holds the
//      rules;
//   4. the entry points, each a traced call forwarded to the owner:
//      window_calls.cpp, message_calls.cpp, wgl_calls.cpp, then
//      pixel_format_match.cpp, resources.cpp, message_box.cpp, console.cpp;
//   5. egl_binding.h and .cpp: all of EGL;
//   6. one display: headless_display.cpp, x11_display.cpp (its input
//      translated by x11_input.cpp) or web_display.cpp (web_input.cpp), and
//      display_choice.cpp, which picks one;
//   7. main.cpp (the entry that calls WinMain) with close_signals.cpp, and
//      port.h, the controls for tools and tests.
#pragma once

#include <EGL/egl.h>

#include <memory>
#include <string>

#include "port/egl_binding.h"
#include "port/win32.h"

namespace port {

// What a display reports about the windows it shows, by their handles.
// Implemented by the window system (port/window_system.h).
class DisplayEvents {
 public:
  // Where the pointer is, in the window's client coordinates (pixels from
  // its top left corner), and which buttons and modifier keys are down.
  struct Pointer {
    int x = 0;
    int y = 0;
    bool left = false;
    bool right = false;
    bool middle = false;
    bool shift = false;
    bool control = false;
  };
  enum class Button { left, right, middle };

  // The user asked to close the window (its close button, the page's close
  // control).
  virtual void closeRequested(HWND window) = 0;
  // The client area has this size now, shown (a minimised window shown
  // again reports its size too).
  virtual void resized(HWND window, int width, int height) = 0;
  virtual void minimised(HWND window) = 0;
  // Part of the window must be drawn again.
  virtual void exposed(HWND window) = 0;
  // Asks the window, as Win32 asks the active window, whether the screen
  // saver may start.
  virtual bool screenSaverAllowed(HWND window) = 0;

  // Input, to the window that has the keyboard or the pointer. A key went
  // down (`repeated`: it is held down and repeats); `virtualKey` is its
  // Win32 virtual-key code (VK_ESCAPE, 'A', VK_OEM_PLUS...), `character` the
  // Latin-1 character it types, 0 for none.
  virtual void keyPressed(HWND window, unsigned virtualKey, unsigned character, bool repeated) = 0;
  virtual void pointerMoved(HWND window, const Pointer& pointer) = 0;
  // `pointer` holds the buttons as they are after the change.
  virtual void buttonChanged(HWND window, Button button, bool pressed, const Pointer& pointer) = 0;
  // The wheel turned by `delta` (120 a notch, positive away from the user)
  // with the pointer at `pointer`, which is at (screenX, screenY) on the
  // screen.
  virtual void wheelTurned(HWND window, int delta, const Pointer& pointer, int screenX,
                           int screenY) = 0;

 protected:
  ~DisplayEvents() = default;
};

// A window's native surface, made by the display. Its client size is the
// window's, kept here only: the window system sets it, displays read it.
struct Surface {
  virtual ~Surface() = default;
  // What EGL draws into (an X window id); 0 where there is none.
  virtual EGLNativeWindowType nativeWindow() const { return 0; }
  int width = 0;
  int height = 0;
};

class Display {
 public:
  virtual ~Display() = default;
  virtual GlBinding& gl() = 0;
  // A hidden surface for a new window of the given client size (the
  // window system sets the surface's size once it is made).
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
  // Shows a message box's caption and text where someone may read them, and
  // returns once it is answered; the window system has already written
  // them on stderr. Nothing more where no one is there to answer.
  virtual void showMessageBox(const char* /*caption*/, const char* /*text*/) {}
  // Reports the native events that wait. Never blocks.
  virtual void pumpEvents() = 0;
  // Blocks until native events may wait, wakeFd (if not -1) is readable, or
  // timeoutMs (-1: no limit) has passed.
  virtual void waitEvents(int wakeFd, int timeoutMs) = 0;
};

// The displays, each opened or null with the reason in `error`. They report
// to `events`, which must outlive them.
std::unique_ptr<Display> openHeadlessDisplay(DisplayEvents& events, std::string& error);
std::unique_ptr<Display> openX11Display(DisplayEvents& events, std::string& error);
std::unique_ptr<Display> openWebDisplay(DisplayEvents& events, std::string& error);

}  // namespace port
