#include "port/window_table.h"

#include <cctype>

namespace port {
namespace {

// Class names compare without regard to case, as in Win32, and belong to
// the module (instance) that registered them.
std::string classKey(LPCSTR name, HINSTANCE instance) {
  std::string key;
  for (const char* c = name; *c != '\0'; ++c) {
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return key + "@" + std::to_string(handleNumber(instance));
}

}  // namespace

ATOM WindowTable::registerClass(LPCSTR name, HINSTANCE instance, WNDPROC procedure) {
  const std::string key = classKey(name, instance);
  if (classes_.count(key) != 0 || nextAtom_ == 0) {
    return 0;
  }
  const ATOM atom = nextAtom_++;
  classes_.emplace(key, WindowClass{name, procedure, atom, 0});
  return atom;
}

bool WindowTable::unregisterClass(LPCSTR name, HINSTANCE instance) {
  const auto found = classes_.find(classKey(name, instance));
  if (found == classes_.end() || found->second.windows != 0) {
    return false;
  }
  classes_.erase(found);
  return true;
}

std::string WindowTable::findClass(LPCSTR name, HINSTANCE instance) const {
  const std::string key = classKey(name, instance);
  return classes_.count(key) != 0 ? key : std::string();
}

WindowRecord& WindowTable::add(const std::string& key, Surface* surface) {
  WindowClass& windowClass = classes_.at(key);
  ++windowClass.windows;
  const std::uintptr_t id = nextId_++;
  auto window = std::make_unique<WindowRecord>();
  window->handle = reinterpret_cast<HWND>(id);
  window->deviceContext = reinterpret_cast<HDC>(id);
  window->procedure = windowClass.procedure;
  window->classKey = key;
  window->surface = surface;
  return *windows_.emplace(id, std::move(window)).first->second;
}

void WindowTable::remove(HWND handle) {
  const auto found = windows_.find(handleNumber(handle));
  if (found == windows_.end()) {
    return;
  }
  const auto windowClass = classes_.find(found->second->classKey);
  if (windowClass != classes_.end()) {
    --windowClass->second.windows;
  }
  windows_.erase(found);
}

void WindowTable::removeAll() {
  for (auto& entry : classes_) {
    entry.second.windows = 0;
  }
  windows_.clear();
}

WindowRecord* WindowTable::find(HWND handle) const {
  const auto found = windows_.find(handleNumber(handle));
  return found == windows_.end() ? nullptr : found->second.get();
}

WindowRecord* WindowTable::findByDc(HDC deviceContext) const {
  const auto found = windows_.find(handleNumber(deviceContext));
  return found == windows_.end() ? nullptr : found->second.get();
}

}  // namespace port
