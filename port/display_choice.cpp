#include "port/display_choice.h"

#include <cstdio>
#include <cstdlib>

namespace port {
namespace {

struct Backend {
  const char* name;
  std::unique_ptr<Display> (*open)(DisplayEvents& events, std::string& error);
  // Said on stderr when the backend is taken because no other opened.
  const char* fallbackNotice;
};

// In the order of preference.
#ifdef __EMSCRIPTEN__
const Backend backends[] = {{"web", openWebDisplay, nullptr}};
#else
const Backend backends[] = {
    {"x11", openX11Display, nullptr},
    {"headless", openHeadlessDisplay, "no display: rendering offscreen; Ctrl+C to stop"},
};
#endif

}  // namespace

std::unique_ptr<Display> openNamedDisplay(const std::string& name, DisplayEvents& events,
                                          const char*& openedName, std::string& error) {
  std::string known;
  for (const Backend& backend : backends) {
    if (name == backend.name) {
      openedName = backend.name;
      return backend.open(events, error);
    }
    known += (known.empty() ? "" : " or ") + std::string(backend.name);
  }
  error = "unknown display backend '" + name + "' (" + known + ")";
  return nullptr;
}

std::unique_ptr<Display> openDisplayFromEnvironment(DisplayEvents& events, const char*& openedName,
                                                    std::string& error) {
  const char* named = std::getenv("MCUBES_DISPLAY");
  if (named != nullptr && named[0] != '\0') {
    auto display = openNamedDisplay(named, events, openedName, error);
    if (display == nullptr) {
      error = "MCUBES_DISPLAY=" + std::string(named) + ": " + error;
    }
    return display;
  }
  for (const Backend& backend : backends) {
    if (backend.fallbackNotice != nullptr) {
      std::fprintf(stderr, "%s\n", backend.fallbackNotice);
    }
    if (auto display = backend.open(events, error)) {
      openedName = backend.name;
      return display;
    }
  }
  return nullptr;
}

}  // namespace port
