#include "port/pixel_format_match.h"

#include <limits>

namespace port {
namespace {

bool qualifies(const FramebufferConfig& config, const PIXELFORMATDESCRIPTOR& request) {
  if (config.multisample) {
    return false;
  }
  if ((request.dwFlags & PFD_DRAW_TO_WINDOW) != 0 && !config.drawToWindow) {
    return false;
  }
  if ((request.dwFlags & PFD_SUPPORT_OPENGL) != 0 && !config.supportOpenGL) {
    return false;
  }
  if ((request.dwFlags & PFD_DOUBLEBUFFER) != 0 && !config.doubleBuffer) {
    return false;
  }
  if ((request.iPixelType == PFD_TYPE_RGBA) != config.rgba) {
    return false;
  }
  if (request.cDepthBits > 0 && config.depthBits == 0) {
    return false;
  }
  return request.cStencilBits == 0 || config.stencilBits > 0;
}

// Distance of one buffer size from the request: a bit short counts as
// sixteen bits over.
long sizeDistance(int have, int want) { return have < want ? (want - have) * 16L : have - want; }

long distance(const FramebufferConfig& config, const PIXELFORMATDESCRIPTOR& request) {
  // Colour bits count padding too (32 is 8 per channel); alpha is asked for
  // on its own.
  const int channelBits = request.cColorBits >= 24 ? 8 : request.cColorBits / 3;
  long total = sizeDistance(config.redBits, channelBits) +
               sizeDistance(config.greenBits, channelBits) +
               sizeDistance(config.blueBits, channelBits) +
               sizeDistance(config.alphaBits, request.cAlphaBits) +
               sizeDistance(config.depthBits, request.cDepthBits) +
               sizeDistance(config.stencilBits, request.cStencilBits);
  // Double buffering when only single was asked for is acceptable but not
  // preferred.
  if ((request.dwFlags & PFD_DOUBLEBUFFER) == 0 && config.doubleBuffer) {
    total += 1;
  }
  return total;
}

}  // namespace

int matchPixelFormat(const std::vector<FramebufferConfig>& configs,
                     const PIXELFORMATDESCRIPTOR& request) {
  int best = 0;
  long bestDistance = std::numeric_limits<long>::max();
  for (std::size_t i = 0; i < configs.size(); ++i) {
    if (!qualifies(configs[i], request)) {
      continue;
    }
    const long d = distance(configs[i], request);
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i) + 1;
    }
  }
  return best;
}

}  // namespace port
