// Program entry: registers the window class, opens the main window and runs
// the message loop that renders a frame whenever no message waits.

#include "app/window_proc.h"
#include "platform/win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  // One array serves as class name, accelerator-table name and message-box
  // caption.
  char className[] = "WinMain";

  WNDCLASSA windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
  windowClass.lpfnWndProc = windowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  // The program carries no resources, so the icon is not found and the class
  // goes without one.
  windowClass.hIcon = LoadIconA(instance, "Kestrival");
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // No background brush: the system never erases what the frames drew.
  windowClass.hbrBackground = nullptr;
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = className;

  if (RegisterClassA(&windowClass) == 0) {
    MessageBoxA(nullptr, "Unable to register window class.", className, MB_ICONERROR);
    return 0;
  }

  // WM_CREATE runs inside this call, so the rendering context and the engine
  // are ready when it returns.
  HWND window = CreateWindowExA(0, className, "Marching Cubes",
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                                nullptr, instance, nullptr);
  if (window == nullptr) {
    // Without a window the loop would spin forever rendering into nothing
    // and could never be closed: report it and stop instead.
    MessageBoxA(nullptr, "Unable to create window.", className, MB_ICONERROR);
    UnregisterClassA(className, instance);
    return 1;
  }

  // With no table, translation never consumes a message.
  HACCEL accelerators = LoadAcceleratorsA(instance, className);

  ShowWindow(window, showCommand);
  UpdateWindow(window);

  // Never blocks: waiting messages come first, every idle pass draws a frame.
  // The animation advances with the timer, not with the frame rate.
  MSG message{};
  for (;;) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
        break;
      }
      if (TranslateAcceleratorA(window, accelerators, &message) == 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    } else {
      SendMessageA(window, WM_RENDER, 0, 0);
    }
  }

  if (!UnregisterClassA(className, instance)) {
    MessageBoxA(nullptr, "Unable to unregister class.", className, MB_ICONERROR);
    return 1;
  }
  // The WM_QUIT posted at destruction carries 0.
  return static_cast<int>(message.wParam);
}
