// The Win32 window-system and console calls the programs use, for platforms
// without <windows.h>. Types, values and signatures are those of Win32 (ANSI
// forms); port/ implements them on X11, headlessly or in a browser page.
//
// What the stand-in emulates, as Win32 does it:
//   - window classes, their names compared without case and owned by the
//     module that registered them; unregistering fails while windows remain;
//   - top-level windows, each with one device context for its life (CS_OWNDC
//     or not); WM_CREATE and a WM_SIZE with the client size are sent inside
//     CreateWindowExA, WM_DESTROY inside DestroyWindow; CW_USEDEFAULT gives
//     800 x 600; SetWindowTextA retitles a window on the display (the X
//     window's name, the browser page's title);
//   - SendMessageA calls the procedure directly; the queue hands out posted
//     messages, then native input (a close request), then WM_QUIT, then
//     WM_PAINT while a shown window is invalid, then WM_TIMER of a due timer;
//     message times on the window system's clock;
//   - DefWindowProcA: WM_CLOSE destroys the window, SC_CLOSE (low four bits
//     ignored) sends WM_CLOSE, WM_PAINT validates, SC_SCREENSAVE lets the
//     screen saver start; the close button, SIGINT and SIGTERM arrive as
//     close requests; the x11 display asks the active window before the
//     screen saver starts;
//   - window timers posting WM_TIMER, no faster than every 10 ms, at most
//     one pending however late it is taken;
//   - pixel formats matched against the display's EGL configurations, set
//     once per window; WGL contexts, one current at a time; SwapBuffers;
//   - keyboard and mouse input: WM_KEYDOWN with the virtual-key code (repeat
//     count 1, bit 30 set for a key held down), WM_CHAR posted by
//     TranslateMessage for a key taken from the queue that types a Latin-1
//     character; WM_MOUSEMOVE (a move waiting behind is replaced, as Win32
//     coalesces them), WM_L/M/RBUTTONDOWN and UP with MK_ flags and client
//     coordinates, WM_MOUSEWHEEL with its delta and screen coordinates;
//   - message boxes (a line on stderr; in the browser also a box in the
//     page); the stock arrow cursor; the console calls, on the controlling
//     terminal.
// What it does not emulate: such calls fail rather than half work.
//   - child windows (CreateWindowExA with a parent returns null), window
//     positions (x and y are ignored), menus, background brushes;
//   - message filters: PeekMessageA with a window or a message range finds
//     nothing, GetMessageA returns -1;
//   - timer procedures and thread timers: SetTimer returns 0;
//   - key releases, system keys, dead keys and scan codes (WM_KEYUP and
//     WM_SYSKEYDOWN are never generated, lParam's scan code is 0); double
//     clicks, mouse capture, the horizontal wheel; TranslateMessage returns
//     FALSE for a key message it did not take from the queue;
//   - resources: programs carry none, so LoadIconA and LoadAcceleratorsA
//     return null and TranslateAcceleratorA never translates;
//   - other threads: every call comes from the message-loop thread.
#pragma once

#include <cstdint>

#define WINAPI
#define CALLBACK
#ifndef APIENTRY  // <GL/gl.h> defines it too
#define APIENTRY
#endif

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef short SHORT;
typedef unsigned int UINT;
typedef WORD ATOM;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* HANDLE;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t LONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

#define DECLARE_PORT_HANDLE(name) \
  struct name##__;                \
  typedef struct name##__* name
DECLARE_PORT_HANDLE(HWND);
DECLARE_PORT_HANDLE(HDC);
DECLARE_PORT_HANDLE(HINSTANCE);
DECLARE_PORT_HANDLE(HICON);
DECLARE_PORT_HANDLE(HBRUSH);
DECLARE_PORT_HANDLE(HMENU);
DECLARE_PORT_HANDLE(HACCEL);
#undef DECLARE_PORT_HANDLE
typedef HICON HCURSOR;

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define LOWORD(l) ((WORD)(((UINT_PTR)(l)) & 0xffff))
#define HIWORD(l) ((WORD)((((UINT_PTR)(l)) >> 16) & 0xffff))
#define MAKELPARAM(lo, hi) ((LPARAM)(DWORD)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))
#define MAKEINTRESOURCEA(i) ((LPSTR)(UINT_PTR)((WORD)(i)))

typedef LRESULT(CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(CALLBACK* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
  LONG x;
  LONG y;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG* LPMSG;

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};

struct COORD {
  SHORT X;
  SHORT Y;
};

struct SMALL_RECT {
  SHORT Left;
  SHORT Top;
  SHORT Right;
  SHORT Bottom;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
  COORD dwSize;
  COORD dwCursorPosition;
  WORD wAttributes;
  SMALL_RECT srWindow;
  COORD dwMaximumWindowSize;
};
typedef CONSOLE_SCREEN_BUFFER_INFO* PCONSOLE_SCREEN_BUFFER_INFO;

// Window messages.
#define WM_NULL 0x0000
#define WM_CREATE 0x0001
#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_QUIT 0x0012
#define WM_KEYDOWN 0x0100
#define WM_CHAR 0x0102
#define WM_SYSCOMMAND 0x0112
#define WM_TIMER 0x0113
#define WM_MOUSEMOVE 0x0200
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define WM_RBUTTONDOWN 0x0204
#define WM_RBUTTONUP 0x0205
#define WM_MBUTTONDOWN 0x0207
#define WM_MBUTTONUP 0x0208
#define WM_MOUSEWHEEL 0x020A
#define WM_USER 0x0400

// Mouse message parameters: the buttons and keys held (wParam's low word),
// the wheel's turn (WM_MOUSEWHEEL's high word, in WHEEL_DELTA per notch,
// positive away from the user) and the position (lParam, signed words).
#define MK_LBUTTON 0x0001
#define MK_RBUTTON 0x0002
#define MK_SHIFT 0x0004
#define MK_CONTROL 0x0008
#define MK_MBUTTON 0x0010
#define WHEEL_DELTA 120
#define MAKEWPARAM(lo, hi) ((WPARAM)(DWORD)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))
#define GET_KEYSTATE_WPARAM(wp) (LOWORD(wp))
#define GET_WHEEL_DELTA_WPARAM(wp) ((short)HIWORD(wp))

// Virtual-key codes; letters and digits are their upper-case ASCII codes.
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_SHIFT 0x10
#define VK_CONTROL 0x11
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_DELETE 0x2E
#define VK_NUMPAD0 0x60
#define VK_ADD 0x6B
#define VK_SUBTRACT 0x6D
#define VK_F1 0x70
#define VK_OEM_PLUS 0xBB
#define VK_OEM_MINUS 0xBD
#define VK_OEM_4 0xDB  // [ {
#define VK_OEM_6 0xDD  // ] }

// WM_SIZE size types.
#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1

// WM_SYSCOMMAND commands.
#define SC_CLOSE 0xF060
#define SC_SCREENSAVE 0xF140
#define SC_MONITORPOWER 0xF170

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_OWNDC 0x0020

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_CAPTION 0x00C00000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define CW_USEDEFAULT ((int)0x80000000)

// Show commands.
#define SW_HIDE 0
#define SW_SHOW 5
#define SW_SHOWDEFAULT 10

// PeekMessage options.
#define PM_NOREMOVE 0x0000
#define PM_REMOVE 0x0001

// Message boxes.
#define MB_OK 0x00000000L
#define MB_ICONERROR 0x00000010L
#define IDOK 1

#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Console text attributes.
#define FOREGROUND_BLUE 0x0001
#define FOREGROUND_GREEN 0x0002
#define FOREGROUND_RED 0x0004

// Standard handles.
#define STD_INPUT_HANDLE ((DWORD)-10)
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define STD_ERROR_HANDLE ((DWORD)-12)

// The program's entry, called by the runtime's start-up (port/main.cpp).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                   int showCommand);

// Classes, windows and messages.
ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass);
BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance);
HICON WINAPI LoadIconA(HINSTANCE instance, LPCSTR name);
HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name);
HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param);
BOOL WINAPI DestroyWindow(HWND window);
BOOL WINAPI SetWindowTextA(HWND window, LPCSTR text);
BOOL WINAPI ShowWindow(HWND window, int showCommand);
BOOL WINAPI UpdateWindow(HWND window);
HACCEL WINAPI LoadAcceleratorsA(HINSTANCE instance, LPCSTR tableName);
int WINAPI TranslateAcceleratorA(HWND window, HACCEL table, LPMSG message);
BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax,
                         UINT removeMessage);
BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax);
BOOL WINAPI TranslateMessage(const MSG* message);
LRESULT WINAPI DispatchMessageA(const MSG* message);
LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void WINAPI PostQuitMessage(int exitCode);
UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC callback);
HDC WINAPI GetDC(HWND window);
int WINAPI ReleaseDC(HWND window, HDC deviceContext);
int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Console.
BOOL WINAPI AllocConsole();
HANDLE WINAPI GetStdHandle(DWORD handleId);
BOOL WINAPI GetConsoleScreenBufferInfo(HANDLE console, PCONSOLE_SCREEN_BUFFER_INFO info);
BOOL WINAPI SetConsoleScreenBufferSize(HANDLE console, COORD size);

// A console handle of the stand-in carries a file descriptor, offset by one
// so that descriptor 0 is not the null handle; this is how a handle becomes a
// C stream where there is no _open_osfhandle. The null handle and
// INVALID_HANDLE_VALUE give negative, invalid descriptors.
inline HANDLE handleFromDescriptor(int descriptor) {
  return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(descriptor) + 1);
}
inline int descriptorFromHandle(HANDLE handle) {
  return static_cast<int>(reinterpret_cast<LONG_PTR>(handle) - 1);
}
