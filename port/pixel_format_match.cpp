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

// Distance of one buffer size from the request.
long sizeDistance(int have, int want, long shortfallWeight) {
  return have < want ? (want - have) * shortfallWeight : have - want;
}

long distance(const FramebufferConfig& config, const PIXELFORMATDESCRIPTOR& request) {
  constexpr long shortfall = 16;
  // Colour bits count padding too (32 is 8 per channel); alpha is asked for
  // on its own.
  const int channelBits = request.cColorBits >= 24 ? 8 : request.cColorBits / 3;
  long total = sizeDistance(config.redBits, channelBits, shortfall) +
               sizeDistance(config.greenBits, channelBits, shortfall) +
               sizeDistance(config.blueBits, channelBits, shortfall) +
               sizeDistance(config.alphaBits, request.cAlphaBits, shortfall) +
               sizeDistance(config.depthBits, request.cDepthBits, shortfall) +
               sizeDistance(config.stencilBits, request.cStencilBits, shortfall) +
               // Nothing draws into the accumulation buffer: any size will do.
               sizeDistance(config.accumBits, request.cAccumBits, 1);
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
