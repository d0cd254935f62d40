// Message boxes in the browser page: the caption and text appear in the
// page's message box (port/web/index.html), and the call returns when its OK
// button is pressed, as a modal box does. The line also reaches the console.
#include <emscripten.h>

#include <cstdio>

#include "port/internal.h"

namespace {

// A JavaScript body: clang-format would read it as C++.
// clang-format off
EM_JS(void, showPageMessageBox, (const char* caption, const char* text), {
  Asyncify.handleSleep(function(wakeUp) {
    Module['showMessageBox'](UTF8ToString(caption), UTF8ToString(text),
                             function() { callUserCallback(wakeUp); });
  });
});
// clang-format on

}  // namespace

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  port::trace("MessageBoxA", owner, text, caption, port::Hex{type});
  // Win32 shows a null caption as "Error".
  const char* shownCaption = caption != nullptr ? caption : "Error";
  const char* shownText = text != nullptr ? text : "";
  std::fprintf(stderr, "%s: %s\n", shownCaption, shownText);
  showPageMessageBox(shownCaption, shownText);
  return IDOK;
}
