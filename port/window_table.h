// Window classes and windows: the records behind the HWND and HDC handles.
// Handles are small numbers that are never reused, so a stale handle finds
// nothing.
#pragma once

#include <EGL/egl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "port/display.h"

namespace port {

inline std::uintptr_t handleNumber(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

struct WindowClass {
  std::string name;  // as registered, for the display (an X window's class)
  WNDPROC procedure = nullptr;
  ATOM atom = 0;
  int windows = 0;
};

// One window. Its device context carries the same number as its handle, as
// a window of an own-DC class has one device context for its whole life.
// Its client size is its surface's.
struct WindowRecord {
  HWND handle = nullptr;
  HDC deviceContext = nullptr;
  WNDPROC procedure = nullptr;
  std::string classKey;
  bool visible = false;
  bool minimised = false;
  bool needsPaint = false;
  bool destroying = false;
  Surface* surface = nullptr;
  // Set with the pixel format.
  EGLSurface drawable = EGL_NO_SURFACE;
  int pixelFormat = 0;
};

class WindowTable {
 public:
  // 0 when a class of that name is already registered.
  ATOM registerClass(LPCSTR name, HINSTANCE instance, WNDPROC procedure);
  // false for a class that does not exist or still has windows.
  bool unregisterClass(LPCSTR name, HINSTANCE instance);
  // The key of a registered class, or an empty string.
  std::string findClass(LPCSTR name, HINSTANCE instance) const;
  const WindowClass& windowClass(const std::string& key) const { return classes_.at(key); }

  // The handle the next window will get.
  HWND nextHandle() const { return reinterpret_cast<HWND>(nextId_); }
  WindowRecord& add(const std::string& classKey, Surface* surface);
  void remove(HWND handle);
  void removeAll();

  // Null for handles of windows that do not exist (any more).
  WindowRecord* find(HWND handle) const;
  WindowRecord* findByDc(HDC deviceContext) const;

  // Calls visit(WindowRecord&) for each window, oldest first; a visit must
  // neither add nor remove windows.
  template <typename Visitor>
  void forEach(Visitor&& visit) const {
    for (const auto& entry : windows_) {
      visit(*entry.second);
    }
  }
  bool empty() const { return windows_.empty(); }

 private:
  std::map<std::string, WindowClass> classes_;
  ATOM nextAtom_ = 0xC000;
  std::map<std::uintptr_t, std::unique_ptr<WindowRecord>> windows_;
  std::uintptr_t nextId_ = 1;
};

}  // namespace port
