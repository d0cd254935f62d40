// The call trace: observeCalls and MCUBES_TRACE.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "port/port.h"
#include "port/window_system.h"

namespace {

std::function<void(const std::string&)>& observer() {
  static std::function<void(const std::string&)> current;
  return current;
}

bool tracingToStderr() {
  static const bool enabled = [] {
    const char* setting = std::getenv("MCUBES_TRACE");
    return setting != nullptr && setting[0] != '\0' && std::strcmp(setting, "0") != 0;
  }();
  return enabled;
}

}  // namespace

void observeCalls(std::function<void(const std::string& call)> callback) {
  observer() = std::move(callback);
}

void traceCall(const char* format, ...) {
  if (!observer() && !tracingToStderr()) {
    return;
  }
  char line[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  if (tracingToStderr()) {
    std::fprintf(stderr, "trace: %s\n", line);
  }
  // A copy: the observer may replace itself while it runs.
  if (const auto callback = observer()) {
    callback(line);
  }
}
