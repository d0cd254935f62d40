// What the page's input events mean in Win32's terms: the web display's
// translation of DOM keyboard, mouse and wheel events, kept apart from the
// display so that it can be tested without a browser.
#pragma once

#include <string>
#include <string_view>

#include "port/display.h"

namespace port {

// One DOM event as the page hands it over (port/web_display.cpp).
struct DomEvent {
  // Numbered as the page numbers them.
  enum class Type { none = 0, keyDown = 1, mouseMove = 2, mouseDown = 3, mouseUp = 4, wheel = 5 };
  Type type = Type::none;
  std::string code;  // KeyboardEvent.code: "KeyA", "Equal", "Escape"...
  std::string key;   // KeyboardEvent.key: "a", "+", "Escape"...
  bool repeat = false;
  // MouseEvent: the position on the canvas, in its pixels; button (0 left,
  // 1 middle, 2 right) and buttons (1 left, 2 right, 4 middle, as they are
  // after the event); the position on the screen.
  int x = 0;
  int y = 0;
  int button = 0;
  int buttons = 0;
  bool shift = false;
  bool control = false;
  int screenX = 0;
  int screenY = 0;
  // WheelEvent: positive towards the user, in pixels, lines or pages
  // (deltaMode 0, 1, 2).
  double deltaY = 0;
  int deltaMode = 0;
};

// The virtual-key code of KeyboardEvent.code ("KeyA" 'A', "Equal"
// VK_OEM_PLUS); 0 for a key the programs cannot tell apart.
unsigned virtualKeyOfDomCode(std::string_view code);
// The Latin-1 character KeyboardEvent.key types ("+", "é", "Enter" '\r');
// 0 for none.
unsigned characterOfDomKey(std::string_view key);
// The wheel's turn in Win32's units: 120 a notch, positive away from the
// user. A notch is taken as 100 pixels, 3 lines or a page.
int wheelDeltaOfDom(double deltaY, int deltaMode);

// Reports what the event means for the canvas's window.
void reportDomEvent(const DomEvent& event, HWND window, DisplayEvents& events);

}  // namespace port
