#include "port/message_queue.h"

#include <algorithm>

namespace port {
namespace {

// Win32 does not run timers faster than this (USER_TIMER_MINIMUM).
constexpr std::chrono::milliseconds minimumTimerInterval{10};

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

}  // namespace

void MessageQueue::useSimulatedClock(bool simulated) {
  simulatedNow_ = Clock::now();
  simulated_ = simulated;
}

MSG MessageQueue::makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const {
  const auto time = std::chrono::duration_cast<std::chrono::milliseconds>(now() - start_).count();
  return MSG{window, message, wParam, lParam, static_cast<DWORD>(time), {}};
}

void MessageQueue::post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  posted_.push_back(makeMessage(window, message, wParam, lParam));
}

void MessageQueue::queueInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                              unsigned character) {
  input_.push_back(Input{makeMessage(window, message, wParam, lParam), character});
}

void MessageQueue::queueMouseMove(HWND window, WPARAM wParam, LPARAM lParam) {
  if (!input_.empty() && input_.back().message.message == WM_MOUSEMOVE &&
      input_.back().message.hwnd == window) {
    input_.pop_back();
  }
  queueInput(window, WM_MOUSEMOVE, wParam, lParam);
}

unsigned MessageQueue::takeCharacterOfKey(const MSG& message) {
  const MSG& taken = takenKey_.message;
  const bool same = message.message == WM_KEYDOWN && taken.message == WM_KEYDOWN &&
                    message.hwnd == taken.hwnd && message.wParam == taken.wParam &&
                    message.lParam == taken.lParam && message.time == taken.time;
  const unsigned character = same ? takenKey_.character : 0;
  takenKey_ = Input{};
  return character;
}

void MessageQueue::postQuit(int exitCode) {
  quit_ = true;
  quitCode_ = exitCode;
}

void MessageQueue::setTimer(HWND window, UINT_PTR id, UINT elapseMs) {
  const auto interval = std::max(minimumTimerInterval, std::chrono::milliseconds(elapseMs));
  const Timer timer{window, id, interval, now() + interval};
  const auto existing = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& other) {
    return other.window == window && other.id == id;
  });
  if (existing != timers_.end()) {
    *existing = timer;
  } else {
    timers_.push_back(timer);
  }
}

void MessageQueue::forgetWindow(HWND window) {
  const auto ofWindow = [window](const MSG& message) { return message.hwnd == window; };
  posted_.erase(std::remove_if(posted_.begin(), posted_.end(), ofWindow), posted_.end());
  input_.erase(std::remove_if(input_.begin(), input_.end(),
                              [&](const Input& input) { return ofWindow(input.message); }),
               input_.end());
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [window](const Timer& timer) { return timer.window == window; }),
                timers_.end());
}

bool MessageQueue::takePostedOrInput(MSG* out, bool remove) {
  if (takeFrom(posted_, out, remove)) {
    return true;
  }
  if (input_.empty()) {
    return false;
  }
  *out = input_.front().message;
  if (remove) {
    takenKey_ = input_.front();
    input_.pop_front();
  }
  return true;
}

bool MessageQueue::takeQuit(MSG* out, bool remove) {
  if (!quit_) {
    return false;
  }
  *out = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0);
  quit_ = !remove;
  return true;
}

MessageQueue::Timer* MessageQueue::earliestTimer() {
  const auto earliest = std::min_element(
      timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) { return a.due < b.due; });
  return earliest == timers_.end() ? nullptr : &*earliest;
}

bool MessageQueue::takeDueTimer(MSG* out, bool remove) {
  Timer* timer = earliestTimer();
  if (timer == nullptr || timer->due > now()) {
    return false;
  }
  *out = makeMessage(timer->window, WM_TIMER, timer->id, 0);
  // Generated on demand, so at most one is ever pending per timer; the next
  // is due one interval after this one was taken.
  if (remove) {
    timer->due = now() + timer->interval;
  }
  return true;
}

int MessageQueue::waitForTimer() {
  const Timer* timer = earliestTimer();
  if (timer == nullptr) {
    return -1;
  }
  if (simulated_) {
    simulatedNow_ = std::max(simulatedNow_, timer->due);
    return 0;
  }
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(timer->due - now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 60 * 60 * 1000));
}

}  // namespace port
