// What X11 input means in Win32's terms: the x11 display's translation of
// keysyms, pointer buttons and modifier state, kept apart from the display
// so that it can be tested without a server.
#pragma once

#include <X11/X.h>

#include "port/display.h"

namespace port {

// The virtual-key code of a key, by its keysym without modifiers (XK_a is
// 'A', XK_equal VK_OEM_PLUS); 0 for a key the programs cannot tell apart.
unsigned virtualKeyOfKeysym(KeySym keysym);
// The Latin-1 character a keysym (with modifiers applied) types: printable
// characters as themselves, and Backspace, Tab, Return and Escape as their
// control characters; 0 for none.
unsigned characterOfKeysym(KeySym keysym);

// The pointer at (x, y) with the buttons and modifiers of an X event's
// state mask.
DisplayEvents::Pointer pointerOfState(int x, int y, unsigned state);

// What an X pointer button is: one of the three buttons, or a notch of the
// wheel (buttons 4 and 5). Other buttons (the horizontal wheel, side
// buttons) mean nothing here.
struct X11Button {
  enum class Kind { none, button, wheel } kind = Kind::none;
  DisplayEvents::Button button = DisplayEvents::Button::left;
  int wheelDelta = 0;      // 120 a notch, positive away from the user
  unsigned stateMask = 0;  // Button1Mask... of a button
};
X11Button meaningOfButton(unsigned xButton);
// An X button event's state is the one before the event: the state after
// it, with the button pressed or released.
unsigned stateAfterButton(unsigned state, const X11Button& button, bool pressed);

}  // namespace port
