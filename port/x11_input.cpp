#include "port/x11_input.h"

#include <X11/keysym.h>

namespace port {

unsigned virtualKeyOfKeysym(KeySym keysym) {
  if (keysym >= XK_a && keysym <= XK_z) {
    return static_cast<unsigned>('A' + (keysym - XK_a));
  }
  if ((keysym >= XK_A && keysym <= XK_Z) || (keysym >= XK_0 && keysym <= XK_9)) {
    return static_cast<unsigned>(keysym);
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return static_cast<unsigned>(VK_NUMPAD0 + (keysym - XK_KP_0));
  }
  if (keysym >= XK_F1 && keysym <= XK_F12) {
    return static_cast<unsigned>(VK_F1 + (keysym - XK_F1));
  }
  static constexpr struct {
    KeySym keysym;
    unsigned virtualKey;
  } named[] = {
      {XK_BackSpace, VK_BACK},
      {XK_Tab, VK_TAB},
      {XK_Return, VK_RETURN},
      {XK_KP_Enter, VK_RETURN},
      {XK_Shift_L, VK_SHIFT},
      {XK_Shift_R, VK_SHIFT},
      {XK_Control_L, VK_CONTROL},
      {XK_Control_R, VK_CONTROL},
      {XK_Escape, VK_ESCAPE},
      {XK_space, VK_SPACE},
      {XK_Prior, VK_PRIOR},
      {XK_Next, VK_NEXT},
      {XK_End, VK_END},
      {XK_Home, VK_HOME},
      {XK_Left, VK_LEFT},
      {XK_Up, VK_UP},
      {XK_Right, VK_RIGHT},
      {XK_Down, VK_DOWN},
      {XK_Delete, VK_DELETE},
      {XK_KP_Add, VK_ADD},
      {XK_KP_Subtract, VK_SUBTRACT},
      {XK_equal, VK_OEM_PLUS},
      {XK_minus, VK_OEM_MINUS},
      {XK_bracketleft, VK_OEM_4},
      {XK_bracketright, VK_OEM_6},
  };
  for (const auto& entry : named) {
    if (entry.keysym == keysym) {
      return entry.virtualKey;
    }
  }
  return 0;
}

unsigned characterOfKeysym(KeySym keysym) {
  // Latin-1 keysyms are their characters.
  if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) {
    return static_cast<unsigned>(keysym);
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return static_cast<unsigned>('0' + (keysym - XK_KP_0));
  }
  switch (keysym) {
    case XK_BackSpace:
      return '\b';
    case XK_Tab:
      return '\t';
    case XK_Return:
    case XK_KP_Enter:
      return '\r';
    case XK_Escape:
      return 0x1B;
    case XK_KP_Add:
      return '+';
    case XK_KP_Subtract:
      return '-';
    default:
      return 0;
  }
}

DisplayEvents::Pointer pointerOfState(int x, int y, unsigned state) {
  DisplayEvents::Pointer pointer;
  pointer.x = x;
  pointer.y = y;
  pointer.left = (state & Button1Mask) != 0;
  pointer.middle = (state & Button2Mask) != 0;
  pointer.right = (state & Button3Mask) != 0;
  pointer.shift = (state & ShiftMask) != 0;
  pointer.control = (state & ControlMask) != 0;
  return pointer;
}

X11Button meaningOfButton(unsigned xButton) {
  using Kind = X11Button::Kind;
  using Button = DisplayEvents::Button;
  switch (xButton) {
    case Button1:
      return {Kind::button, Button::left, 0, Button1Mask};
    case Button2:
      return {Kind::button, Button::middle, 0, Button2Mask};
    case Button3:
      return {Kind::button, Button::right, 0, Button3Mask};
    case Button4:
      return {Kind::wheel, Button::left, WHEEL_DELTA, 0};
    case Button5:
      return {Kind::wheel, Button::left, -WHEEL_DELTA, 0};
    default:
      return {};
  }
}

unsigned stateAfterButton(unsigned state, const X11Button& button, bool pressed) {
  return pressed ? state | button.stateMask : state & ~button.stateMask;
}

}  // namespace port
