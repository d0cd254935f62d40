// What each display makes of native input, without a server or a browser:
// the x11 display's keysyms, buttons and state masks, and the web display's
// DOM events, as virtual-key codes, characters, buttons and wheel deltas.

// GoogleTest first: Xlib defines None, Bool and Status as macros.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

#include <string>
#include <vector>

#include "port/web_input.h"
#include "port/x11_input.h"

namespace {

using port::DisplayEvents;
using port::DomEvent;

TEST(X11Input, KeysymsBecomeVirtualKeysAndCharacters) {
  const struct {
    KeySym keysym;
    unsigned virtualKey;
    unsigned character;
  } cases[] = {
      {XK_a, 'A', 'a'},
      {XK_Z, 'Z', 'Z'},
      {XK_7, '7', '7'},
      {XK_space, VK_SPACE, ' '},
      {XK_equal, VK_OEM_PLUS, '='},
      {XK_plus, 0, '+'},  // shifted: the key is XK_equal's
      {XK_minus, VK_OEM_MINUS, '-'},
      {XK_underscore, 0, '_'},
      {XK_bracketleft, VK_OEM_4, '['},
      {XK_bracketright, VK_OEM_6, ']'},
      {XK_Escape, VK_ESCAPE, 0x1B},
      {XK_Return, VK_RETURN, '\r'},
      {XK_BackSpace, VK_BACK, '\b'},
      {XK_Tab, VK_TAB, '\t'},
      {XK_Left, VK_LEFT, 0},
      {XK_Down, VK_DOWN, 0},
      {XK_F1, VK_F1, 0},
      {XK_F12, VK_F1 + 11, 0},
      {XK_KP_3, VK_NUMPAD0 + 3, '3'},
      {XK_KP_Add, VK_ADD, '+'},
      {XK_Shift_L, VK_SHIFT, 0},
      {XK_Control_R, VK_CONTROL, 0},
      {XK_eacute, 0, 0xE9},
      {XK_Greek_alpha, 0, 0},  // not Latin-1
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(XKeysymToString(c.keysym));
    EXPECT_EQ(port::virtualKeyOfKeysym(c.keysym), c.virtualKey);
    EXPECT_EQ(port::characterOfKeysym(c.keysym), c.character);
  }
}

TEST(X11Input, ButtonsAreTheThreeButtonsOrTheWheelWithTheStateAfterTheEvent) {
  const struct {
    unsigned xButton;
    port::X11Button::Kind kind;
    DisplayEvents::Button button;
    int wheelDelta;
  } cases[] = {
      {Button1, port::X11Button::Kind::button, DisplayEvents::Button::left, 0},
      {Button2, port::X11Button::Kind::button, DisplayEvents::Button::middle, 0},
      {Button3, port::X11Button::Kind::button, DisplayEvents::Button::right, 0},
      {Button4, port::X11Button::Kind::wheel, DisplayEvents::Button::left, WHEEL_DELTA},
      {Button5, port::X11Button::Kind::wheel, DisplayEvents::Button::left, -WHEEL_DELTA},
      {6, port::X11Button::Kind::none, DisplayEvents::Button::left, 0},  // horizontal wheel
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xButton);
    const port::X11Button meaning = port::meaningOfButton(c.xButton);
    EXPECT_EQ(meaning.kind, c.kind);
    EXPECT_EQ(meaning.wheelDelta, c.wheelDelta);
    if (c.kind == port::X11Button::Kind::button) {
      EXPECT_EQ(meaning.button, c.button);
    }
  }

  // A press's state is the one before it; the pointer reports the one after.
  const port::X11Button left = port::meaningOfButton(Button1);
  const unsigned held = ShiftMask | Button3Mask;
  const DisplayEvents::Pointer pressed =
      port::pointerOfState(5, -2, port::stateAfterButton(held, left, true));
  EXPECT_EQ(pressed.x, 5);
  EXPECT_EQ(pressed.y, -2);
  EXPECT_TRUE(pressed.left && pressed.right && pressed.shift);
  EXPECT_FALSE(pressed.middle || pressed.control);
  const DisplayEvents::Pointer released = port::pointerOfState(
      0, 0, port::stateAfterButton(Button1Mask | ControlMask | Button2Mask, left, false));
  EXPECT_FALSE(released.left || released.right || released.shift);
  EXPECT_TRUE(released.middle && released.control);
}

TEST(WebInput, DomCodesAndKeysBecomeVirtualKeysAndCharacters) {
  const struct {
    const char* code;
    const char* key;
    unsigned virtualKey;
    unsigned character;
  } cases[] = {
      {"KeyW", "w", 'W', 'w'},
      {"KeyL", "L", 'L', 'L'},
      {"Digit0", ")", '0', ')'},
      {"Equal", "=", VK_OEM_PLUS, '='},
      {"Equal", "+", VK_OEM_PLUS, '+'},
      {"Minus", "_", VK_OEM_MINUS, '_'},
      {"BracketLeft", "[", VK_OEM_4, '['},
      {"BracketRight", "}", VK_OEM_6, '}'},
      {"Space", " ", VK_SPACE, ' '},
      {"Escape", "Escape", VK_ESCAPE, 0x1B},
      {"Enter", "Enter", VK_RETURN, '\r'},
      {"Backspace", "Backspace", VK_BACK, '\b'},
      {"ArrowUp", "ArrowUp", VK_UP, 0},
      {"Numpad7", "7", VK_NUMPAD0 + 7, '7'},
      {"F1", "F1", VK_F1, 0},
      {"F12", "F12", VK_F1 + 11, 0},
      {"ShiftLeft", "Shift", VK_SHIFT, 0},
      {"KeyE", "\xC3\xA9", 'E', 0xE9},  // é
      {"KeyQ", "\xCE\xB1", 'Q', 0},     // α: not Latin-1
      {"Key", "", 0, 0},
      {"KeyAB", "ab", 0, 0},
      {"IntlBackslash", "\\", 0, '\\'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.code) + " " + c.key);
    EXPECT_EQ(port::virtualKeyOfDomCode(c.code), c.virtualKey);
    EXPECT_EQ(port::characterOfDomKey(c.key), c.character);
  }
}

TEST(WebInput, WheelDeltasInWin32Units) {
  EXPECT_EQ(port::wheelDeltaOfDom(-100, 0), WHEEL_DELTA);  // a notch away from the user
  EXPECT_EQ(port::wheelDeltaOfDom(250, 0), -300);
  EXPECT_EQ(port::wheelDeltaOfDom(3, 1), -WHEEL_DELTA);  // lines
  EXPECT_EQ(port::wheelDeltaOfDom(-1, 2), WHEEL_DELTA);  // a page
  EXPECT_EQ(port::wheelDeltaOfDom(0.2, 0), -1);          // a touchpad's least move
  EXPECT_EQ(port::wheelDeltaOfDom(0, 0), 0);
}

// Records the reports as text.
class Recorder : public DisplayEvents {
 public:
  std::vector<std::string> reports;
  void closeRequested(HWND) override { reports.push_back("close"); }
  void resized(HWND, int, int) override { reports.push_back("resized"); }
  void minimised(HWND) override { reports.push_back("minimised"); }
  void exposed(HWND) override { reports.push_back("exposed"); }
  bool screenSaverAllowed(HWND) override { return true; }
  void keyPressed(HWND, unsigned virtualKey, unsigned character, bool repeated) override {
    reports.push_back("key " + std::to_string(virtualKey) + " " + std::to_string(character) +
                      (repeated ? " repeated" : ""));
  }
  void pointerMoved(HWND, const Pointer& pointer) override {
    reports.push_back("move " + describe(pointer));
  }
  void buttonChanged(HWND, Button button, bool pressed, const Pointer& pointer) override {
    reports.push_back(std::string(pressed ? "down " : "up ") +
                      std::to_string(static_cast<int>(button)) + " " + describe(pointer));
  }
  void wheelTurned(HWND, int delta, const Pointer& pointer, int screenX, int screenY) override {
    reports.push_back("wheel " + std::to_string(delta) + " " + describe(pointer) + " screen " +
                      std::to_string(screenX) + "," + std::to_string(screenY));
  }

 private:
  static std::string describe(const Pointer& p) {
    return std::to_string(p.x) + "," + std::to_string(p.y) + (p.left ? " L" : "") +
           (p.right ? " R" : "") + (p.middle ? " M" : "") + (p.shift ? " shift" : "") +
           (p.control ? " control" : "");
  }
};

TEST(WebInput, EachDomEventIsReportedAsWhatItMeans) {
  DomEvent key;
  key.type = DomEvent::Type::keyDown;
  key.code = "Minus";
  key.key = "_";
  key.repeat = true;
  DomEvent move;
  move.type = DomEvent::Type::mouseMove;
  move.x = 10;
  move.y = 20;
  move.buttons = 1 | 4;
  move.shift = true;
  DomEvent rightDown = move;
  rightDown.type = DomEvent::Type::mouseDown;
  rightDown.button = 2;
  rightDown.buttons = 2;
  rightDown.shift = false;
  rightDown.control = true;
  DomEvent middleUp = move;
  middleUp.type = DomEvent::Type::mouseUp;
  middleUp.button = 1;
  middleUp.buttons = 0;
  DomEvent back = middleUp;
  back.button = 3;  // the back button: nothing
  DomEvent wheel = move;
  wheel.type = DomEvent::Type::wheel;
  wheel.buttons = 0;
  wheel.shift = false;
  wheel.deltaY = -100;
  wheel.screenX = 110;
  wheel.screenY = 220;

  Recorder recorder;
  for (const DomEvent& event : {key, move, rightDown, middleUp, back, wheel}) {
    port::reportDomEvent(event, nullptr, recorder);
  }
  EXPECT_EQ(recorder.reports, (std::vector<std::string>{
                                  "key " + std::to_string(VK_OEM_MINUS) + " 95 repeated",
                                  "move 10,20 L M shift",
                                  "down 1 10,20 R control",  // Button::right
                                  "up 2 10,20 shift",        // Button::middle
                                  "wheel 120 10,20 screen 110,220",
                              }));
}

}  // namespace
