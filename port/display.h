// The display backend: what the window system needs from whatever shows (or
// does not show) its windows. The generic part of port/ (classes, windows,
// the message queue, timers, pixel formats, contexts) talks to a display
// only through this interface; x11 and headless are the two that exist.
#pragma once

#include <string>
#include <vector>

#include "port/wgl.h"

// One framebuffer configuration a display offers, in the terms of a
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

// A display's own state for one window and for one GL context.
struct NativeSurface {
  virtual ~NativeSurface() = default;
};
struct NativeContext {
  virtual ~NativeContext() = default;
};

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;

  // A hidden surface of the given client size for a new window.
  virtual NativeSurface* createSurface(HWND window, const char* className, const char* title,
                                       int width, int height) = 0;
  virtual void destroySurface(NativeSurface* surface) = 0;
  virtual void showSurface(NativeSurface* surface, bool visible) = 0;

  // Turns the native events that wait into window messages (see
  // port/window_system.h for how they are handed over). Never blocks.
  virtual void pumpEvents() = 0;
  // Blocks until native events may wait, wakeFd (if not -1) is readable, or
  // timeoutMs (-1: no limit) has passed.
  virtual void waitEvents(int wakeFd, int timeoutMs) = 0;

  virtual const std::vector<FramebufferConfig>& framebufferConfigs() = 0;
  // Gives the surface the configuration at `index` (0-based) so that GL can
  // draw into it; once per surface.
  virtual bool setSurfaceConfig(NativeSurface* surface, int index) = 0;
  virtual NativeContext* createContext(int index) = 0;
  // Binds the context to the surface on the calling thread; (nullptr,
  // nullptr) releases the current one.
  virtual bool makeCurrent(NativeSurface* surface, NativeContext* context) = 0;
  virtual void deleteContext(NativeContext* context) = 0;
  virtual bool swapBuffers(NativeSurface* surface) = 0;
};

// Both open the display or say why not in `error`.
DisplayBackend* openHeadlessDisplay(std::string& error);
DisplayBackend* openX11Display(std::string& error);

// The display the window system runs on, chosen on first use (see
// port/port.h).
DisplayBackend& display();
// The display if one has been chosen, else null (nothing is opened).
DisplayBackend* openedDisplay();
