// The window system's one owner. Its parts are each a class of their own —
// the window table (classes and windows), the message queue (with its timers
// and clock), the context table (WGL contexts, the current one), the display,
// the call trace and the console — and each rule that spans parts is one method here:
// destroying a window takes its messages, timers, drawable and surface with
// it; a peek takes messages in Win32's order across the queue and the
// windows; a display's report becomes Win32 messages. The Win32 and WGL
// entry points (window_calls.cpp, message_calls.cpp, wgl_calls.cpp, ...) only
// trace the call and forward it to the one instance, windowSystem().
#pragma once

#include <memory>
#include <string>

#include "port/console.h"
#include "port/context_table.h"
#include "port/display.h"
#include "port/message_queue.h"
#include "port/trace.h"
#include "port/window_table.h"

namespace port {

class WindowSystem final : public DisplayEvents {
 public:
  WindowSystem() = default;
  // Releases what is left (see releaseWindowsAndContexts), then closes the
  // display.
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  WindowTable windows;
  MessageQueue queue;
  ContextTable contexts;
  Trace trace;
  // Per process in Win32 too, so it lives and ends with the rest.
  Console console;

  // The display, chosen on first use: MCUBES_DISPLAY if set, else the
  // backends in order of preference (see port/port.h). This is the one
  // place where the window system ends the program: exit code 1, with the
  // reason on stderr, when no display opens.
  Display& display();
  // Null until a display is chosen; opens nothing.
  Display* openedDisplay() const { return display_.get(); }
  // Releases, without messages, the current context, every context, and
  // every window with its drawable and surface (classes stay).
  void releaseWindowsAndContexts();
  // port::selectDisplayBackend.
  bool selectDisplay(const char* name, std::string& error);
  // Makes the display offer no framebuffer configurations.
  void hideFramebufferConfigs(bool hidden) { configsHidden_ = hidden; }
  const std::vector<FramebufferConfig>& offeredConfigs();

  // Windows: creation sends WM_CREATE and WM_SIZE, destruction WM_DESTROY.
  HWND createWindow(const std::string& classKey, const char* title, int width, int height);
  bool destroyWindow(HWND window);
  bool showWindow(HWND window, bool visible);
  bool setWindowTitle(HWND window, const char* title);
  // Calls the window's procedure directly, as a send within the thread
  // does; 0 for a window that does not exist.
  LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // DefWindowProcA.
  LRESULT defaultProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The next message in Win32's order: posted, native input, quit, WM_PAINT,
  // due timers. Allocates nothing when nothing waits.
  bool peekMessage(MSG* out, bool remove);
  // Until a message may wait.
  void waitForMessages();

  // Pixel formats and contexts.
  bool setPixelFormat(HDC deviceContext, int format);
  HGLRC createContext(HDC deviceContext);
  bool makeCurrent(HDC deviceContext, HGLRC context);
  bool present(HDC deviceContext);

  // DisplayEvents.
  void closeRequested(HWND window) override;
  void resized(HWND window, int width, int height) override;
  void minimised(HWND window) override;
  void exposed(HWND window) override;
  bool screenSaverAllowed(HWND window) override;
  void keyPressed(HWND window, unsigned virtualKey, unsigned character, bool repeated) override;
  void pointerMoved(HWND window, const Pointer& pointer) override;
  void buttonChanged(HWND window, Button button, bool pressed, const Pointer& pointer) override;
  void wheelTurned(HWND window, int delta, const Pointer& pointer, int screenX,
                   int screenY) override;
  // TranslateMessage: posts the WM_CHAR of a key taken from the queue that
  // types a character; false for any other message.
  bool translateKey(const MSG& message);

 private:
  std::unique_ptr<Display> display_;
  const char* displayName_ = nullptr;
  bool configsHidden_ = false;
  // Set when the default procedure sees SC_SCREENSAVE: the window let the
  // request through.
  bool screenSaverRequested_ = false;
};

// The process's one window system, made on first use. Once a display has
// opened, the windows and contexts a program leaves are released at exit,
// before the GL driver tears itself down; the display is left open to the
// driver's own exit handler (see window_system.cpp), and closed by
// port::resetWindowSystem.
WindowSystem& windowSystem();

// What each entry point does first.
template <typename... Arguments>
void trace(const char* call, const Arguments&... arguments) {
  windowSystem().trace.call(call, arguments...);
}

}  // namespace port
