// Controls of the Linux stand-in for the Win32 window system that are not
// part of Win32 itself: which display it runs on, and ways for tools and
// tests to look inside. All of them act on the one window system
// (port/window_system.h).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace port {

// Chooses the display backend: "x11" (a real window through Xlib and EGL,
// on $DISPLAY) or "headless" (EGL surfaceless pbuffers, no X server at all);
// in the browser build "web" (the page's canvas) is the only one.
// Call it before the first window-system call; once a display is in use it
// cannot be changed. Without it, the first call that needs a display
// chooses: MCUBES_DISPLAY if set, else x11 when $DISPLAY is set and
// reachable, else headless with a notice on stderr. That choice is the one
// place where the window system ends the program: exit code 1, the reason on
// stderr, when the display named in MCUBES_DISPLAY (or none at all) opens.
// Returns false with the reason in `error`.
bool selectDisplayBackend(const char* name, std::string& error);

// Takes SIGINT and SIGTERM from now on as a request to close: the message
// queue turns a waiting signal into WM_CLOSE to the program's windows, so
// that it ends through its normal path (WM_CLOSE, WM_DESTROY, quit) instead
// of being killed; a second signal kills it. Programs entered at WinMain get
// it from their main(); others, whose loop ends with their window, call it.
void installCloseSignals();

// Ends the window system and starts it afresh, as a new process would find
// it: no classes, windows, messages, timers or contexts, the display closed
// and to be chosen again, the real clock, no observer. For tests.
void resetWindowSystem();

// Makes the display offer no framebuffer configurations, so that
// ChoosePixelFormat finds no match; false brings them back. For exercising a
// program's handling of that failure.
void hideFramebufferConfigs(bool hidden);

// Reports every window-system and WGL call the program makes, as one line
// such as "SendMessageA(hwnd#1, WM_USER+1, 0x0, 0x0)", before the call takes
// effect; an empty function stops it. The line lives only during the call.
// MCUBES_TRACE=1 in the environment prints the same lines on stderr.
void observeCalls(std::function<void(std::string_view call)> observer);

// Runs the clock of timers and message times by hand, so that tests do not
// depend on real time: it stands still until advanceClock moves it, and a
// GetMessageA that would wait for a timer jumps it to the timer's due time
// instead. false goes back to the real clock. The browser page's ?paused
// turns it on, so that a program whose loop never waits keeps its clock at 0.
void useSimulatedClock(bool simulated);
void advanceClock(std::chrono::milliseconds by);

}  // namespace port
