// The message queue of the program's one thread: posted messages, native
// input, the quit flag and window timers, with the clock that stamps them.
// WM_PAINT is not queued: it is due while a window needs painting (see
// WindowSystem::peekMessage, which takes them all in their order).
#pragma once

#include <chrono>
#include <deque>
#include <vector>

#include "port/win32.h"

namespace port {

class MessageQueue {
 public:
  using Clock = std::chrono::steady_clock;

  // The clock of message times and timers: real, or simulated (standing
  // still until advanced; see port/port.h).
  Clock::time_point now() const { return simulated_ ? simulatedNow_ : Clock::now(); }
  void useSimulatedClock(bool simulated);
  void advanceClock(std::chrono::milliseconds by) { simulatedNow_ += by; }

  void post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Native input waits behind the posted messages, as in Win32's input
  // queue. `character` is what a WM_KEYDOWN types, for TranslateMessage.
  void queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam, unsigned character = 0);
  // Replaces a WM_MOUSEMOVE of the window that waits last, as Win32 keeps
  // only the latest position.
  void queueMouseMove(HWND window, WPARAM wParam, LPARAM lParam);
  // The character that the WM_KEYDOWN last taken from the queue types, when
  // `message` is that one, once; 0 otherwise.
  unsigned takeCharacterOfKey(const MSG& message);
  void postQuit(int exitCode);
  // Replaces a timer of the same window and id.
  void setTimer(HWND window, UINT_PTR id, UINT elapseMs);
  // A destroyed window's posted messages, input and timers go with it.
  void forgetWindow(HWND window);

  // Each puts the next message of its kind in `out`, taking it when
  // `remove` is set; false when none waits. Allocate nothing.
  bool takePostedOrInput(MSG* out, bool remove);
  bool takeQuit(MSG* out, bool remove);
  bool takeDueTimer(MSG* out, bool remove);
  MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const;

  // How long a wait for the next timer may last, in milliseconds; -1 when
  // there is no timer. On the simulated clock the wait takes no time: the
  // clock jumps to the timer's due time.
  int waitForTimer();

 private:
  struct Timer {
    HWND window;
    UINT_PTR id;
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  Timer* earliestTimer();

  struct Input {
    MSG message;
    unsigned character;
  };

  std::deque<MSG> posted_;
  std::deque<Input> input_;
  Input takenKey_{};
  bool quit_ = false;
  int quitCode_ = 0;
  std::vector<Timer> timers_;
  const Clock::time_point start_ = Clock::now();
  bool simulated_ = false;
  Clock::time_point simulatedNow_;
};

}  // namespace port
