#include "port/port.h"

#include "port/window_system.h"

namespace port {

bool selectDisplayBackend(const char* name, std::string& error) {
  return windowSystem().selectDisplay(name, error);
}

void hideFramebufferConfigs(bool hidden) { windowSystem().hideFramebufferConfigs(hidden); }

void observeCalls(std::function<void(std::string_view call)> observer) {
  windowSystem().trace.observe(std::move(observer));
}

void useSimulatedClock(bool simulated) { windowSystem().queue.useSimulatedClock(simulated); }

void advanceClock(std::chrono::milliseconds by) { windowSystem().queue.advanceClock(by); }

}  // namespace port
