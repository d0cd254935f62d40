// Linked into every test program that draws with OpenGL: keeps Mesa's
// software driver mapped until the process ends. Mesa unloads the driver
// before LeakSanitizer runs, which leaves the driver's one-time allocations
// with unnamed frames that no suppression can match; kept mapped, they are
// named and tests/mesa-leaks.supp silences exactly them.
#include <dlfcn.h>

namespace {

// Runs before main(), so before the first EGL call.
const bool driverKept =
    dlopen(MESA_SWRAST_DRIVER, RTLD_NOW | RTLD_NODELETE | RTLD_GLOBAL) != nullptr;

}  // namespace
