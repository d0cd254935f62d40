// x11-window: finds a top-level X window by its exact title and waits for it,
// closes it the way a window manager's close button does, lists the colours
// it shows, or types into it and drags across it as a person would. Used by
// the tests that run the demo and the viewer on an X display.
//
//   x11-window wait TITLE SECONDS   print the window's id once it is mapped
//   x11-window close TITLE          send WM_PROTOCOLS / WM_DELETE_WINDOW
//   x11-window colours TITLE        raise the window, then print
//                                   "count rrggbb" per colour it shows,
//                                   most frequent first
//   x11-window title TITLE          print the window's whole title
//   x11-window keys TITLE KEY...    focus the window and press each key, X
//                                   keysym names (w, equal, plus, Escape)
//   x11-window drag TITLE DX DY     drag with the left button from the
//                                   window's centre by DX, DY pixels
//
// A TITLE ending in '*' matches every title that begins with the rest.
// Keys and drags go through the XTEST extension, so the server delivers them
// as real input (a window may ignore events sent with XSendEvent, as Wine
// does for some).
//
// Exit code 0 on success, 1 when no such window is found, 2 on misuse.
// Closing goes through the client's own close handling; destroying the X
// window behind its back (xdotool windowclose) hangs Wine.

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

std::string windowTitle(Display* display, Window window) {
  // Prefer the UTF-8 title that toolkits and Wine set; fall back to WM_NAME.
  Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Depth-first over the whole tree: without a window manager the client's
// window is a child of the root, with one it sits inside a frame.
bool titleMatches(const std::string& title, const std::string& wanted) {
  if (!wanted.empty() && wanted.back() == '*') {
    return title.compare(0, wanted.size() - 1, wanted, 0, wanted.size() - 1) == 0;
  }
  return title == wanted;
}

Window findWindow(Display* display, Window parent, const std::string& title, bool mappedOnly) {
  Window root = 0;
  Window parentOfParent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root, &parentOfParent, &children, &count)) {
    return 0;
  }
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    const bool mapped = XGetWindowAttributes(display, children[i], &attributes) &&
                        attributes.map_state == IsViewable;
    if ((mapped || !mappedOnly) && titleMatches(windowTitle(display, children[i]), title)) {
      found = children[i];
    } else {
      found = findWindow(display, children[i], title, mappedOnly);
    }
  }
  if (children != nullptr) {
    XFree(children);
  }
  return found;
}

int waitFor(Display* display, const std::string& title, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    Window window = findWindow(display, DefaultRootWindow(display), title, true);
    if (window != 0) {
      std::printf("0x%lx\n", window);
      return 0;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "x11-window: no window \"%s\" within %g s\n", title.c_str(), seconds);
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

int closeWindow(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  return 0;
}

int listColours(Display* display, Window window) {
  // Other windows of the program (Wine's console window, say) may cover it.
  // Without a window manager a raise takes effect at once; the program then
  // repaints the exposed part with its next frame.
  XRaiseWindow(display, window);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));

  // Read the screen where the window is: that holds whatever its child
  // windows (a GL surface among them) show, whatever their visuals.
  XWindowAttributes attributes;
  XGetWindowAttributes(display, window, &attributes);
  Window root = DefaultRootWindow(display);
  int x = 0;
  int y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, root, 0, 0, &x, &y, &child);
  const int screenWidth = DisplayWidth(display, DefaultScreen(display));
  const int screenHeight = DisplayHeight(display, DefaultScreen(display));
  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  const int width = std::min(x + attributes.width, screenWidth) - left;
  const int height = std::min(y + attributes.height, screenHeight) - top;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "x11-window: the window is off screen\n");
    return 1;
  }
  XImage* image = XGetImage(display, root, left, top, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) {
    std::fprintf(stderr, "x11-window: cannot read the screen\n");
    return 1;
  }
  std::map<unsigned long, long> counts;
  for (int row = 0; row < height; ++row) {
    for (int column = 0; column < width; ++column) {
      ++counts[XGetPixel(image, column, row) & 0xffffffUL];
    }
  }
  XDestroyImage(image);
  std::vector<std::pair<long, unsigned long>> sorted;
  for (const auto& [colour, count] : counts) {
    sorted.emplace_back(count, colour);
  }
  std::sort(sorted.rbegin(), sorted.rend());
  for (const auto& [count, colour] : sorted) {
    std::printf("%ld %06lx\n", count, colour);
  }
  return 0;
}

// The window's centre on the screen, with the pointer moved there and the
// keyboard focus given to the window: without a window manager nothing else
// would focus it.
void pointAt(Display* display, Window window, int& x, int& y) {
  XRaiseWindow(display, window);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, window, &attributes);
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2,
                        attributes.height / 2, &x, &y, &child);
  XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
}

// Each key as pressed on the server's keyboard map, with Shift held for a
// symbol on a key's shifted level.
int pressKeys(Display* display, Window window, char** names, int count) {
  int x = 0;
  int y = 0;
  pointAt(display, window, x, y);
  const KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
  for (int i = 0; i < count; ++i) {
    const KeySym symbol = XStringToKeysym(names[i]);
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (code == 0) {
      std::fprintf(stderr, "x11-window: no key \"%s\" on this keyboard\n", names[i]);
      return 2;
    }
    const bool shifted = XkbKeycodeToKeysym(display, code, 0, 0) != symbol;
    if (shifted) XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    if (shifted) XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XSync(display, False);
    // A key at a time, as typed: the program takes each with its own frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 0;
}

// A left-button drag in steps, as a hand moves: each step is a motion the
// program sees with the button held.
int drag(Display* display, Window window, int dx, int dy) {
  int x = 0;
  int y = 0;
  pointAt(display, window, x, y);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  constexpr int Steps = 10;
  for (int step = 1; step <= Steps; ++step) {
    XTestFakeMotionEvent(display, -1, x + dx * step / Steps, y + dy * step / Steps, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string verb = argc > 2 ? argv[1] : "";
  const bool oneTitle = verb == "close" || verb == "colours" || verb == "title";
  if (!((verb == "wait" && argc == 4) || (oneTitle && argc == 3) || (verb == "keys" && argc > 3) ||
        (verb == "drag" && argc == 5))) {
    std::fprintf(stderr,
                 "usage: x11-window wait TITLE SECONDS | close TITLE | colours TITLE | title TITLE "
                 "| keys TITLE KEY... | drag TITLE DX DY\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "x11-window: cannot open the X display\n");
    return 2;
  }
  const std::string title = argv[2];
  int result = 1;
  if (verb == "wait") {
    result = waitFor(display, title, std::atof(argv[3]));
  } else {
    Window window = findWindow(display, DefaultRootWindow(display), title, verb != "close");
    if (window == 0) {
      std::fprintf(stderr, "x11-window: no window \"%s\"\n", title.c_str());
    } else if (verb == "close") {
      result = closeWindow(display, window);
    } else if (verb == "colours") {
      result = listColours(display, window);
    } else if (verb == "title") {
      std::printf("%s\n", windowTitle(display, window).c_str());
      result = 0;
    } else if (verb == "keys") {
      result = pressKeys(display, window, argv + 3, argc - 3);
    } else {
      result = drag(display, window, std::atoi(argv[3]), std::atoi(argv[4]));
    }
  }
  XCloseDisplay(display);
  return result;
}
