// The call trace: observeCalls and MCUBES_TRACE.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "port/internal.h"
#include "port/port.h"

namespace port {
namespace {

// Shared, so that a call can keep the observer alive while it runs (it may
// replace itself) without copying it, which could allocate.
std::shared_ptr<const std::function<void(std::string_view)>> observer;

bool tracingToStderr() {
  static const bool enabled = [] {
    const char* setting = std::getenv("MCUBES_TRACE");
    return setting != nullptr && setting[0] != '\0' && std::strcmp(setting, "0") != 0;
  }();
  return enabled;
}

#define NAMED(message) \
  { message, #message }
const struct {
  UINT value;
  const char* name;
} messageNames[] = {
    NAMED(WM_NULL),  NAMED(WM_CREATE),     NAMED(WM_DESTROY),   NAMED(WM_SIZE),
    NAMED(WM_PAINT), NAMED(WM_CLOSE),      NAMED(WM_QUIT),      NAMED(WM_KEYDOWN),
    NAMED(WM_TIMER), NAMED(WM_SYSCOMMAND), NAMED(WM_MOUSEMOVE),
};
#undef NAMED

void appendHex(TraceLine& line, std::uintmax_t value) {
  char text[2 + 2 * sizeof value + 1];
  std::snprintf(text, sizeof text, "0x%jx", value);
  line.append(text);
}

}  // namespace

void TraceLine::append(std::string_view text) {
  const std::size_t taken = std::min(text.size(), sizeof text_ - length_);
  text.copy(text_ + length_, taken);
  length_ += taken;
}

bool tracing() { return observer != nullptr || tracingToStderr(); }

void emitTrace(const TraceLine& line) {
  if (tracingToStderr()) {
    std::fprintf(stderr, "trace: %.*s\n", static_cast<int>(line.text().size()), line.text().data());
  }
  if (const auto running = observer) {
    (*running)(line.text());
  }
}

void appendArgument(TraceLine& line, const char* text) {
  if (text == nullptr) {
    line.append("null");
    return;
  }
  line.append("\"");
  line.append(text);
  line.append("\"");
}

void appendArgument(TraceLine& line, Message message) {
  for (const auto& named : messageNames) {
    if (named.value == message.value) {
      line.append(named.name);
      return;
    }
  }
  if (message.value < WM_USER) {
    appendHex(line, message.value);
    return;
  }
  line.append("WM_USER");
  if (message.value > WM_USER) {
    line.append("+");
    appendArgument(line, message.value - WM_USER);
  }
}

void appendArgument(TraceLine& line, Hex value) { appendHex(line, value.value); }

void appendArgument(TraceLine& line, ResourceName resource) {
  // MAKEINTRESOURCE numbers are pointers below 0x10000.
  const std::uintptr_t number = handleNumber(resource.name);
  if (number != 0 && number < 0x10000) {
    line.append("#");
    appendArgument(line, number);
  } else {
    appendArgument(line, resource.name);
  }
}

void appendArgument(TraceLine& line, HINSTANCE instance) {
  // An address, different in every run: only whether there is one.
  line.append(instance == nullptr ? "null" : "instance");
}

void appendArgument(TraceLine& line, std::intmax_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%jd", value);
  line.append(text);
}

void appendHandle(TraceLine& line, const char* kind, const void* handle) {
  if (handle == nullptr) {
    line.append("null");
    return;
  }
  line.append(kind);
  line.append("#");
  appendArgument(line, handleNumber(handle));
}

}  // namespace port

void observeCalls(std::function<void(std::string_view call)> callback) {
  port::observer =
      callback ? std::make_shared<const std::function<void(std::string_view)>>(std::move(callback))
               : nullptr;
}
