// The Win32 message calls, forwarded to the window system. Sent messages
// bypass the queue and call the window's procedure directly.
#include "port/window_system.h"

using port::Hexadecimal;
using port::MessageName;
using port::trace;
using port::windowSystem;

namespace {

// The programs always take every message, so a call that asks for a window
// or message filter is refused rather than half emulated.
bool asksForMessageFilter(HWND window, UINT filterMin, UINT filterMax) {
  return window != nullptr || filterMin != 0 || filterMax != 0;
}

}  // namespace

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax,
                         UINT removeMessage) {
  trace("PeekMessageA", window, filterMin, filterMax, removeMessage);
  MSG found;
  if (asksForMessageFilter(window, filterMin, filterMax) ||
      !windowSystem().peekMessage(&found, (removeMessage & PM_REMOVE) != 0)) {
    return FALSE;
  }
  if (message != nullptr) {
    *message = found;
  }
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  trace("GetMessageA", window, filterMin, filterMax);
  if (message == nullptr || asksForMessageFilter(window, filterMin, filterMax)) {
    return -1;
  }
  port::WindowSystem& system = windowSystem();
  while (!system.peekMessage(message, true)) {
    system.waitForMessages();
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  if (message == nullptr) {
    return FALSE;
  }
  trace("TranslateMessage", MessageName{message->message});
  return windowSystem().translateKey(*message) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr) {
    return 0;
  }
  trace("DispatchMessageA", message->hwnd, MessageName{message->message},
        Hexadecimal{message->wParam}, Hexadecimal{static_cast<WPARAM>(message->lParam)});
  return windowSystem().deliver(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("SendMessageA", window, MessageName{message}, Hexadecimal{wParam},
        Hexadecimal{static_cast<WPARAM>(lParam)});
  return windowSystem().deliver(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("PostMessageA", window, MessageName{message}, Hexadecimal{wParam},
        Hexadecimal{static_cast<WPARAM>(lParam)});
  port::WindowSystem& system = windowSystem();
  // A null window posts to the thread itself.
  if (window != nullptr && system.windows.find(window) == nullptr) {
    return FALSE;
  }
  system.queue.post(window, message, wParam, lParam);
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  trace("PostQuitMessage", exitCode);
  windowSystem().queue.postQuit(exitCode);
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
  trace("SetTimer", window, id, elapseMs, Hexadecimal{reinterpret_cast<std::uintptr_t>(callback)});
  port::WindowSystem& system = windowSystem();
  // Only window timers that post WM_TIMER are emulated.
  if (system.windows.find(window) == nullptr || callback != nullptr) {
    return 0;
  }
  system.queue.setTimer(window, id, elapseMs);
  return id != 0 ? id : 1;
}
