// The thread's message queue: posted messages, then native input, then the
// quit flag, then WM_PAINT, then due timers. Sent messages to a window of
// the same thread bypass the queue and call its procedure directly.
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "port/close_signals.h"
#include "port/window_system.h"
#include "port/window_table.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  HWND window;
  UINT_PTR id;
  std::chrono::milliseconds interval;
  TIMERPROC callback;
  Clock::time_point due;
};

// Text typed by a queued key press, waiting for TranslateMessage.
struct KeyText {
  HWND window;
  WPARAM virtualKey;
  LPARAM keyData;
  std::string text;
};

struct Queue {
  std::deque<MSG> posted;
  std::deque<MSG> input;
  bool quit = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  std::deque<KeyText> keyTexts;
};

thread_local Queue queue;

// Win32 does not run timers faster than this.
constexpr std::chrono::milliseconds minimumTimerInterval{10};
// Key presses whose text nobody translates are forgotten after this many.
constexpr std::size_t keyTextLimit = 64;
// Timer identifiers handed out for timers without a window.
UINT_PTR nextThreadTimerId = 0x7FFF;

const Clock::time_point start = Clock::now();

DWORD tickCount() {
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG result{};
  result.hwnd = window;
  result.message = message;
  result.wParam = wParam;
  result.lParam = lParam;
  result.time = tickCount();
  return result;
}

std::uintmax_t number(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

// A null window filter takes every message of the thread; (HWND)-1 takes
// only those posted without a window.
bool windowMatches(HWND message, HWND filter) {
  if (filter == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
    return message == nullptr;
  }
  return filter == nullptr || message == filter;
}

bool messageMatches(UINT message, UINT filterMin, UINT filterMax) {
  return (filterMin == 0 && filterMax == 0) || (message >= filterMin && message <= filterMax);
}

bool takeFrom(std::deque<MSG>& messages, MSG* out, HWND window, UINT filterMin, UINT filterMax,
              bool remove) {
  for (auto it = messages.begin(); it != messages.end(); ++it) {
    if (windowMatches(it->hwnd, window) && messageMatches(it->message, filterMin, filterMax)) {
      *out = *it;
      if (remove) {
        messages.erase(it);
      }
      return true;
    }
  }
  return false;
}

bool peek(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  deliverCloseSignal();
  if (DisplayBackend* opened = openedDisplay()) {
    opened->pumpEvents();
  }
  if (takeFrom(queue.posted, out, window, filterMin, filterMax, remove) ||
      takeFrom(queue.input, out, window, filterMin, filterMax, remove)) {
    return true;
  }
  // The quit message passes every filter.
  if (queue.quit) {
    *out = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
    queue.quit = queue.quit && !remove;
    return true;
  }
  if (messageMatches(WM_PAINT, filterMin, filterMax)) {
    for (HWND candidate : allWindows()) {
      const Window* painted = findWindow(candidate);
      if (painted->visible && painted->needsPaint && windowMatches(candidate, window)) {
        // Stays due until DefWindowProcA validates the window.
        *out = makeMessage(candidate, WM_PAINT, 0, 0);
        return true;
      }
    }
  }
  if (messageMatches(WM_TIMER, filterMin, filterMax)) {
    const Clock::time_point now = Clock::now();
    Timer* earliest = nullptr;
    for (Timer& timer : queue.timers) {
      if (timer.due <= now && windowMatches(timer.window, window) &&
          (earliest == nullptr || timer.due < earliest->due)) {
        earliest = &timer;
      }
    }
    if (earliest != nullptr) {
      *out = makeMessage(earliest->window, WM_TIMER, earliest->id,
                         reinterpret_cast<LPARAM>(earliest->callback));
      // Generated on demand, so at most one is ever pending per timer; the
      // next is due one interval after this one was taken.
      if (remove) {
        earliest->due = now + earliest->interval;
      }
      return true;
    }
  }
  return false;
}

// Milliseconds until the next timer the filter lets through is due, or -1.
int millisecondsToNextTimer(HWND window) {
  const Clock::time_point now = Clock::now();
  int wait = -1;
  for (const Timer& timer : queue.timers) {
    if (!windowMatches(timer.window, window)) {
      continue;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer.due - now).count();
    const int clamped = static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
    wait = wait < 0 ? clamped : std::min(wait, clamped);
  }
  return wait;
}

// The character a key types when no display said so (a key message the
// program posted itself): a US layout with no modifier held.
std::string textOfKey(WPARAM virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return std::string(1, static_cast<char>(virtualKey - 'A' + 'a'));
  }
  if ((virtualKey >= '0' && virtualKey <= '9') || virtualKey == ' ') {
    return std::string(1, static_cast<char>(virtualKey));
  }
  switch (virtualKey) {
    case 0x08:  // VK_BACK
    case 0x09:  // VK_TAB
    case 0x0D:  // VK_RETURN
    case 0x1B:  // VK_ESCAPE
      return std::string(1, static_cast<char>(virtualKey));
    default:
      return std::string();
  }
}

}  // namespace

void queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Pointer motion is coalesced: only the latest position matters.
  if (message == WM_MOUSEMOVE && !queue.input.empty() &&
      queue.input.back().message == WM_MOUSEMOVE && queue.input.back().hwnd == window) {
    queue.input.back() = makeMessage(window, message, wParam, lParam);
    return;
  }
  queue.input.push_back(makeMessage(window, message, wParam, lParam));
}

void queueKeyDown(HWND window, WPARAM virtualKey, LPARAM keyData, const std::string& text) {
  queue.keyTexts.push_back(KeyText{window, virtualKey, keyData, text});
  if (queue.keyTexts.size() > keyTextLimit) {
    queue.keyTexts.pop_front();
  }
  queueInput(window, WM_KEYDOWN, virtualKey, keyData);
}

void forgetWindowMessages(HWND window) {
  const auto ofWindow = [window](const MSG& message) { return message.hwnd == window; };
  queue.posted.erase(std::remove_if(queue.posted.begin(), queue.posted.end(), ofWindow),
                     queue.posted.end());
  queue.input.erase(std::remove_if(queue.input.begin(), queue.input.end(), ofWindow),
                    queue.input.end());
  queue.timers.erase(
      std::remove_if(queue.timers.begin(), queue.timers.end(),
                     [window](const Timer& timer) { return timer.window == window; }),
      queue.timers.end());
  queue.keyTexts.erase(
      std::remove_if(queue.keyTexts.begin(), queue.keyTexts.end(),
                     [window](const KeyText& key) { return key.window == window; }),
      queue.keyTexts.end());
}

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax,
                         UINT removeMessage) {
  traceCall("PeekMessageA(0x%jx, 0x%x, 0x%x, %u)", number(window), filterMin, filterMax,
            removeMessage);
  MSG found;
  if (!peek(&found, window, filterMin, filterMax, (removeMessage & PM_REMOVE) != 0)) {
    return FALSE;
  }
  if (message != nullptr) {
    *message = found;
  }
  return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
  traceCall("GetMessageA(0x%jx, 0x%x, 0x%x)", number(window), filterMin, filterMax);
  if (message == nullptr ||
      (window != nullptr && window != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) &&
       findWindow(window) == nullptr)) {
    return -1;
  }
  for (;;) {
    if (peek(message, window, filterMin, filterMax, true)) {
      return message->message == WM_QUIT ? FALSE : TRUE;
    }
    const int timeout = millisecondsToNextTimer(window);
    if (DisplayBackend* opened = openedDisplay()) {
      opened->waitEvents(closeSignalFd(), timeout);
    } else {
      pollfd wake{closeSignalFd(), POLLIN, 0};
      poll(&wake, wake.fd < 0 ? 0 : 1, timeout);
    }
  }
}

BOOL WINAPI TranslateMessage(const MSG* message) {
  traceCall("TranslateMessage(0x%x, 0x%jx, 0x%jx)", message != nullptr ? message->message : 0,
            static_cast<std::uintmax_t>(message != nullptr ? message->wParam : 0),
            static_cast<std::uintmax_t>(message != nullptr ? message->lParam : 0));
  if (message == nullptr || message->message != WM_KEYDOWN) {
    return message != nullptr && message->message == WM_KEYUP;
  }
  std::string text = textOfKey(message->wParam);
  const auto typed =
      std::find_if(queue.keyTexts.begin(), queue.keyTexts.end(), [message](const KeyText& key) {
        return key.window == message->hwnd && key.virtualKey == message->wParam &&
               key.keyData == message->lParam;
      });
  if (typed != queue.keyTexts.end()) {
    text = typed->text;
    queue.keyTexts.erase(typed);
  }
  // The characters come next, ahead of everything already waiting.
  for (auto c = text.rbegin(); c != text.rend(); ++c) {
    queue.posted.push_front(
        makeMessage(message->hwnd, WM_CHAR, static_cast<unsigned char>(*c), message->lParam));
  }
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
  traceCall("DispatchMessageA(0x%jx, 0x%x, 0x%jx, 0x%jx)",
            number(message != nullptr ? message->hwnd : nullptr),
            message != nullptr ? message->message : 0,
            static_cast<std::uintmax_t>(message != nullptr ? message->wParam : 0),
            static_cast<std::uintmax_t>(message != nullptr ? message->lParam : 0));
  if (message == nullptr) {
    return 0;
  }
  if (message->message == WM_TIMER && message->lParam != 0) {
    const auto callback = reinterpret_cast<TIMERPROC>(message->lParam);
    callback(message->hwnd, WM_TIMER, message->wParam, tickCount());
    return 0;
  }
  return deliverMessage(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  traceCall("SendMessageA(0x%jx, 0x%x, 0x%jx, 0x%jx)", number(window), message,
            static_cast<std::uintmax_t>(wParam), static_cast<std::uintmax_t>(lParam));
  return deliverMessage(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  traceCall("PostMessageA(0x%jx, 0x%x, 0x%jx, 0x%jx)", number(window), message,
            static_cast<std::uintmax_t>(wParam), static_cast<std::uintmax_t>(lParam));
  // A null window posts to the thread itself.
  if (window != nullptr && findWindow(window) == nullptr) {
    return FALSE;
  }
  queue.posted.push_back(makeMessage(window, message, wParam, lParam));
  return TRUE;
}

void WINAPI PostQuitMessage(int exitCode) {
  traceCall("PostQuitMessage(%d)", exitCode);
  queue.quit = true;
  queue.quitCode = exitCode;
}

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
  traceCall("SetTimer(0x%jx, %ju, %u)", number(window), static_cast<std::uintmax_t>(id), elapseMs);
  if (window != nullptr && findWindow(window) == nullptr) {
    return 0;
  }
  if (window == nullptr) {
    id = nextThreadTimerId--;
  }
  const auto interval = std::max(minimumTimerInterval, std::chrono::milliseconds(elapseMs));
  const Timer timer{window, id, interval, callback, Clock::now() + interval};
  const auto existing =
      std::find_if(queue.timers.begin(), queue.timers.end(),
                   [&](const Timer& other) { return other.window == window && other.id == id; });
  if (existing != queue.timers.end()) {
    *existing = timer;
  } else {
    queue.timers.push_back(timer);
  }
  return id != 0 ? id : 1;
}
