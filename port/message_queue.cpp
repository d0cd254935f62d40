// The message queue: posted messages, then native input, then the quit
// flag, then WM_PAINT, then due timers. Sent messages bypass the queue and
// call the window's procedure directly. The programs always take every
// message (no window or message filter), so no filters are emulated.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

#include "port/internal.h"
#include "port/port.h"

using port::Hex;
using port::Message;
using port::trace;

namespace port {
namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  HWND window;
  UINT_PTR id;
  std::chrono::milliseconds interval;
  Clock::time_point due;
};

std::deque<MSG> posted;
std::deque<MSG> input;
bool quit = false;
int quitCode = 0;
std::vector<Timer> timers;

// Win32 does not run timers faster than this (USER_TIMER_MINIMUM).
constexpr std::chrono::milliseconds minimumTimerInterval{10};

const Clock::time_point start = Clock::now();
// The simulated clock: stands still until advanced (see port/port.h).
bool simulated = false;
Clock::time_point simulatedNow;

Clock::time_point now() { return simulated ? simulatedNow : Clock::now(); }

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto time = std::chrono::duration_cast<std::chrono::milliseconds>(now() - start).count();
  return MSG{window, message, wParam, lParam, static_cast<DWORD>(time), {}};
}

bool takeFrom(std::deque<MSG>& messages, MSG* out, bool remove) {
  if (messages.empty()) {
    return false;
  }
  *out = messages.front();
  if (remove) {
    messages.pop_front();
  }
  return true;
}

Timer* earliestTimer() {
  const auto earliest = std::min_element(
      timers.begin(), timers.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
  return earliest == timers.end() ? nullptr : &*earliest;
}

// Allocates nothing when nothing waits: the demo peeks on every frame.
bool peek(MSG* out, bool remove) {
  if (takeCloseSignal()) {
    for (const auto& entry : windows()) {
      if (!entry.second->destroying) {
        PostMessageA(entry.second->handle, WM_CLOSE, 0, 0);
      }
    }
  }
  if (Display* opened = openedDisplay()) {
    opened->pumpEvents();
  }
  if (takeFrom(posted, out, remove) || takeFrom(input, out, remove)) {
    return true;
  }
  if (quit) {
    *out = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
    quit = !remove;
    return true;
  }
  for (const auto& entry : windows()) {
    const WindowRecord& window = *entry.second;
    if (window.visible && window.needsPaint) {
      // Stays due until DefWindowProcA validates the window.
      *out = makeMessage(window.handle, WM_PAINT, 0, 0);
      return true;
    }
  }
  Timer* timer = earliestTimer();
  if (timer != nullptr && timer->due <= now()) {
    *out = makeMessage(timer->window, WM_TIMER, timer->id, 0);
    // Generated on demand, so at most one is ever pending per timer; the
    // next is due one interval after this one was taken.
    if (remove) {
      timer->due = now() + timer->interval;
    }
    return true;
  }
  return false;
}

// Until a message may wait. With the simulated clock a wait for a timer
// takes no time: the clock jumps to the timer's due time.
void waitForMessages() {
  const Timer* timer = earliestTimer();
  int timeoutMs = -1;
  if (timer != nullptr && simulated) {
    simulatedNow = std::max(simulatedNow, timer->due);
    timeoutMs = 0;
  } else if (timer != nullptr) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->due - now()).count();
    timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
  }
  if (Display* opened = openedDisplay()) {
    opened->waitEvents(closeSignalFd(), timeoutMs);
  } else {
    pollfd wake{closeSignalFd(), POLLIN, 0};
    poll(&wake, wake.fd < 0 ? 0 : 1, timeoutMs);
  }
}

bool filtered(HWND window, UINT filterMin, UINT filterMax) {
  return window != nullptr || filterMin != 0 || filterMax != 0;
}

}  // namespace

void queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  input.push_back(makeMessage(window, message, wParam, lParam));
}

void forgetWindowMessages(HWND window) {
  const auto ofWindow = [window](const MSG& message) { return message.hwnd == window; };
  posted.erase(std::remove_if(posted.begin(), posted.end(), ofWindow), posted.end());
  input.erase(std::remove_if(input.begin(), input.end(), ofWindow), input.end());
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [window](const Timer& timer) { return timer.window == window; }),
               timers.end());
}

}  // namespace port

void useSimulatedClock(bool on) {
  port::simulatedNow = std::chrono::steady_clock::now();
  port::simulated = on;
}

void advanceClock(std::chrono::milliseconds by) { port::simulatedNow += by; }

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax,
                         UINT removeMessage) {
  trace("PeekMessageA", window, filterMin, filterMax, removeMessage);
  MSG found;
  if (port::filtered(window, filterMin, filterMax) ||
      !port::peek(&found, (removeMessage & PM_REMOVE) != 0)) {
    return FALSE;
  }
  if (message != nullptr) {
    *message = found;
  }
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  trace("GetMessageA", window, filterMin, filterMax);
  if (message == nullptr || port::filtered(window, filterMin, filterMax)) {
    return -1;
  }
  while (!port::peek(message, true)) {
    port::waitForMessages();
  }
  return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  // No keyboard messages are generated, so there is never text to translate.
  if (message != nullptr) {
    trace("TranslateMessage", Message{message->message});
  }
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  if (message == nullptr) {
    return 0;
  }
  trace("DispatchMessageA", message->hwnd, Message{message->message}, Hex{message->wParam},
        Hex{static_cast<WPARAM>(message->lParam)});
  return port::deliverMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("SendMessageA", window, Message{message}, Hex{wParam}, Hex{static_cast<WPARAM>(lParam)});
  return port::deliverMessage(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  trace("PostMessageA", window, Message{message}, Hex{wParam}, Hex{static_cast<WPARAM>(lParam)});
  // A null window posts to the thread itself.
  if (window != nullptr && port::findWindow(window) == nullptr) {
    return FALSE;
  }
  port::posted.push_back(port::makeMessage(window, message, wParam, lParam));
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  trace("PostQuitMessage", exitCode);
  port::quit = true;
  port::quitCode = exitCode;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
  trace("SetTimer", window, id, elapseMs, Hex{reinterpret_cast<std::uintptr_t>(callback)});
  // Only window timers that post WM_TIMER are emulated: the programs set no
  // thread timers and no timer procedures.
  if (port::findWindow(window) == nullptr || callback != nullptr) {
    return 0;
  }
  const auto interval = std::max(port::minimumTimerInterval, std::chrono::milliseconds(elapseMs));
  const port::Timer timer{window, id, interval, port::now() + interval};
  const auto existing = std::find_if(
      port::timers.begin(), port::timers.end(),
      [&](const port::Timer& other) { return other.window == window && other.id == id; });
  if (existing != port::timers.end()) {
    *existing = timer;
  } else {
    port::timers.push_back(timer);
  }
  return id != 0 ? id : 1;
}
