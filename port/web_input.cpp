#include "port/web_input.h"

#include <cmath>

namespace port {

unsigned virtualKeyOfDomCode(std::string_view code) {
  const auto endsIn = [&](std::string_view prefix, char first, char last) {
    return code.size() == prefix.size() + 1 && code.substr(0, prefix.size()) == prefix &&
           code.back() >= first && code.back() <= last;
  };
  if (endsIn("Key", 'A', 'Z') || endsIn("Digit", '0', '9')) {
    return static_cast<unsigned char>(code.back());
  }
  if (endsIn("Numpad", '0', '9')) {
    return VK_NUMPAD0 + static_cast<unsigned>(code.back() - '0');
  }
  if (endsIn("F", '1', '9')) {
    return VK_F1 + static_cast<unsigned>(code.back() - '1');
  }
  static constexpr struct {
    std::string_view code;
    unsigned virtualKey;
  } named[] = {
      {"Backspace", VK_BACK},
      {"Tab", VK_TAB},
      {"Enter", VK_RETURN},
      {"NumpadEnter", VK_RETURN},
      {"ShiftLeft", VK_SHIFT},
      {"ShiftRight", VK_SHIFT},
      {"ControlLeft", VK_CONTROL},
      {"ControlRight", VK_CONTROL},
      {"Escape", VK_ESCAPE},
      {"Space", VK_SPACE},
      {"PageUp", VK_PRIOR},
      {"PageDown", VK_NEXT},
      {"End", VK_END},
      {"Home", VK_HOME},
      {"ArrowLeft", VK_LEFT},
      {"ArrowUp", VK_UP},
      {"ArrowRight", VK_RIGHT},
      {"ArrowDown", VK_DOWN},
      {"Delete", VK_DELETE},
      {"NumpadAdd", VK_ADD},
      {"NumpadSubtract", VK_SUBTRACT},
      {"F10", VK_F1 + 9},
      {"F11", VK_F1 + 10},
      {"F12", VK_F1 + 11},
      {"Equal", VK_OEM_PLUS},
      {"Minus", VK_OEM_MINUS},
      {"BracketLeft", VK_OEM_4},
      {"BracketRight", VK_OEM_6},
  };
  for (const auto& entry : named) {
    if (entry.code == code) {
      return entry.virtualKey;
    }
  }
  return 0;
}

unsigned characterOfDomKey(std::string_view key) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(key[i]); };
  // One character: ASCII in one byte, the rest of Latin-1 in two of UTF-8.
  if (key.size() == 1 && byte(0) >= 0x20 && byte(0) < 0x7F) {
    return byte(0);
  }
  if (key.size() == 2 && (byte(0) == 0xC2 || byte(0) == 0xC3) && (byte(1) & 0xC0) == 0x80) {
    const unsigned character = ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    return character >= 0xA0 ? character : 0;
  }
  if (key == "Enter") {
    return '\r';
  }
  if (key == "Escape") {
    return 0x1B;
  }
  if (key == "Backspace") {
    return '\b';
  }
  if (key == "Tab") {
    return '\t';
  }
  return 0;
}

int wheelDeltaOfDom(double deltaY, int deltaMode) {
  const double unitsPerNotch = deltaMode == 0 ? 100.0 : deltaMode == 1 ? 3.0 : 1.0;
  const long delta = std::lround(-deltaY * WHEEL_DELTA / unitsPerNotch);
  // A turn too small to round to a unit still counts, in its direction.
  if (delta == 0 && deltaY != 0) {
    return deltaY < 0 ? 1 : -1;
  }
  return static_cast<int>(delta);
}

void reportDomEvent(const DomEvent& event, HWND window, DisplayEvents& events) {
  DisplayEvents::Pointer pointer;
  pointer.x = event.x;
  pointer.y = event.y;
  pointer.left = (event.buttons & 1) != 0;
  pointer.right = (event.buttons & 2) != 0;
  pointer.middle = (event.buttons & 4) != 0;
  pointer.shift = event.shift;
  pointer.control = event.control;
  using Button = DisplayEvents::Button;
  static constexpr Button buttons[] = {Button::left, Button::middle, Button::right};
  switch (event.type) {
    case DomEvent::Type::keyDown:
      events.keyPressed(window, virtualKeyOfDomCode(event.code), characterOfDomKey(event.key),
                        event.repeat);
      break;
    case DomEvent::Type::mouseMove:
      events.pointerMoved(window, pointer);
      break;
    case DomEvent::Type::mouseDown:
    case DomEvent::Type::mouseUp:
      // Other buttons (back, forward) mean nothing here.
      if (event.button >= 0 && event.button <= 2) {
        events.buttonChanged(window, buttons[event.button], event.type == DomEvent::Type::mouseDown,
                             pointer);
      }
      break;
    case DomEvent::Type::wheel:
      events.wheelTurned(window, wheelDeltaOfDom(event.deltaY, event.deltaMode), pointer,
                         event.screenX, event.screenY);
      break;
    case DomEvent::Type::none:
      break;
  }
}

}  // namespace port
