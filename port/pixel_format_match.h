// How ChoosePixelFormat picks among the configurations a display offers.
#pragma once

#include <vector>

#include "port/egl_binding.h"
#include "port/wgl.h"

namespace port {

// The 1-based number of the configuration closest to the request, 0 when
// none qualifies. Window drawing, OpenGL support, double buffering and RGBA
// are required as asked, as are depth and stencil buffers when asked for;
// their sizes and the colour size are matched as closely as the
// configurations allow, a shortfall counting more than an excess. EGL has no
// accumulation buffers, and nothing draws into one: the request's is
// ignored. Multisampled configurations are never chosen, as in Win32.
int matchPixelFormat(const std::vector<FramebufferConfig>& configs,
                     const PIXELFORMATDESCRIPTOR& request);

}  // namespace port
