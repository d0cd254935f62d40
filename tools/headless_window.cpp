#include "tools/headless_window.h"

#include "port/port.h"

bool openHeadlessWindow(int width, int height, OffscreenWindow& offscreen, std::string& error) {
  return port::selectDisplayBackend("headless", error) &&
         openOffscreenWindow(width, height, offscreen, error);
}
