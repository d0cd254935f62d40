#include "port/trace.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "port/window_table.h"

namespace port {
namespace {

#define NAMED(message) \
  { message, #message }
const struct {
  UINT value;
  const char* name;
} messageNames[] = {
    NAMED(WM_NULL),        NAMED(WM_CREATE),    NAMED(WM_DESTROY),     NAMED(WM_SIZE),
    NAMED(WM_PAINT),       NAMED(WM_CLOSE),     NAMED(WM_QUIT),        NAMED(WM_KEYDOWN),
    NAMED(WM_CHAR),        NAMED(WM_TIMER),     NAMED(WM_SYSCOMMAND),  NAMED(WM_MOUSEMOVE),
    NAMED(WM_LBUTTONDOWN), NAMED(WM_LBUTTONUP), NAMED(WM_RBUTTONDOWN), NAMED(WM_RBUTTONUP),
    NAMED(WM_MBUTTONDOWN), NAMED(WM_MBUTTONUP), NAMED(WM_MOUSEWHEEL),
};
#undef NAMED

}  // namespace

Trace::Trace() {
  const char* setting = std::getenv("MCUBES_TRACE");
  toStderr_ = setting != nullptr && setting[0] != '\0' && std::strcmp(setting, "0") != 0;
}

void Trace::observe(Observer observer) {
  observer_ = observer ? std::make_shared<const Observer>(std::move(observer)) : nullptr;
}

void Trace::emit(const TraceLine& line) const {
  if (toStderr_) {
    std::fprintf(stderr, "trace: %.*s\n", static_cast<int>(line.length), line.text);
  }
  if (const auto running = observer_) {
    (*running)(std::string_view(line.text, line.length));
  }
}

void TraceLine::append(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(text + length, sizeof text - length, format, arguments);
  va_end(arguments);
  length = std::min(sizeof text - 1, length + static_cast<std::size_t>(std::max(written, 0)));
}

void appendArgument(TraceLine& line, const char* text) {
  if (text == nullptr) {
    line.append("null");
  } else {
    line.append("\"%s\"", text);
  }
}

void appendArgument(TraceLine& line, MessageName message) {
  for (const auto& named : messageNames) {
    if (named.value == message.value) {
      line.append("%s", named.name);
      return;
    }
  }
  if (message.value < WM_USER) {
    line.append("0x%x", message.value);
  } else if (message.value == WM_USER) {
    line.append("WM_USER");
  } else {
    line.append("WM_USER+%u", message.value - WM_USER);
  }
}

void appendArgument(TraceLine& line, ResourceName resource) {
  // MAKEINTRESOURCE numbers are pointers below 0x10000.
  const std::uintptr_t number = handleNumber(resource.name);
  if (number != 0 && number < 0x10000) {
    line.append("#%ju", static_cast<std::uintmax_t>(number));
  } else {
    appendArgument(line, resource.name);
  }
}

void appendArgument(TraceLine& line, HINSTANCE instance) {
  // An address, different in every run: only whether there is one.
  line.append(instance == nullptr ? "null" : "instance");
}

void appendHandle(TraceLine& line, const char* kind, const void* handle) {
  if (handle == nullptr) {
    line.append("null");
  } else {
    line.append("%s#%ju", kind, static_cast<std::uintmax_t>(handleNumber(handle)));
  }
}

}  // namespace port
