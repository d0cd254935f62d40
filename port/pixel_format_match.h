// How ChoosePixelFormat picks among the configurations a display offers.
#pragma once

#include <vector>

#include "port/display.h"

namespace port {

// The 1-based number of the configuration closest to the request, 0 when
// none qualifies. Window drawing, OpenGL support, double buffering and RGBA
// are required as asked, as are depth and stencil buffers when asked for;
// their sizes, the colour size and the accumulation buffer are matched as
// closely as the configurations allow, a shortfall counting more than an
// excess. Multisampled configurations are never chosen, as in Win32.
int matchPixelFormat(const std::vector<FramebufferConfig>& configs,
                     const PIXELFORMATDESCRIPTOR& request);

}  // namespace port
