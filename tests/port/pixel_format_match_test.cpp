// ChoosePixelFormat's choice among the configurations a display offers.
#include "port/pixel_format_match.h"

#include <gtest/gtest.h>

#include "app/pixel_format.h"

namespace {

using port::FramebufferConfig;

FramebufferConfig windowConfig(int red, int alpha, int depth, int stencil) {
  FramebufferConfig config;
  config.drawToWindow = true;
  config.supportOpenGL = true;
  config.doubleBuffer = true;
  config.rgba = true;
  config.redBits = config.greenBits = config.blueBits = red;
  config.alphaBits = alpha;
  config.depthBits = depth;
  config.stencilBits = stencil;
  return config;
}

TEST(PixelFormatMatch, TheDemoGetsEightBitsPerChannelDepth24AndTheStencilThereIs) {
  // Roughly what Mesa offers: deeper colour, other depths, multisampling,
  // all of which must lose to RGBA8 / depth 24 / stencil 8 (number 6).
  FramebufferConfig multisampled = windowConfig(8, 0, 24, 8);
  multisampled.multisample = true;
  const std::vector<FramebufferConfig> offered = {
      windowConfig(10, 2, 24, 8), windowConfig(8, 0, 16, 0),
      windowConfig(8, 0, 32, 8),  multisampled,
      windowConfig(5, 0, 24, 8),  windowConfig(8, 0, 24, 8),
      windowConfig(8, 8, 24, 8),
  };
  EXPECT_EQ(port::matchPixelFormat(offered, pixelFormatRequest()), 6);
}

TEST(PixelFormatMatch, RequiredPropertiesRuleConfigurationsOut) {
  const PIXELFORMATDESCRIPTOR request = pixelFormatRequest();
  EXPECT_EQ(port::matchPixelFormat({}, request), 0);

  FramebufferConfig single = windowConfig(8, 8, 24, 8);
  single.doubleBuffer = false;
  FramebufferConfig offscreenOnly = windowConfig(8, 8, 24, 8);
  offscreenOnly.drawToWindow = false;
  FramebufferConfig noGl = windowConfig(8, 8, 24, 8);
  noGl.supportOpenGL = false;
  FramebufferConfig indexed = windowConfig(8, 8, 24, 8);
  indexed.rgba = false;
  const FramebufferConfig noStencil = windowConfig(8, 8, 24, 0);
  const FramebufferConfig noDepth = windowConfig(8, 8, 0, 8);
  EXPECT_EQ(
      port::matchPixelFormat({single, offscreenOnly, noGl, indexed, noStencil, noDepth}, request),
      0);

  // Sizes are best effort: a shallow buffer beats none, no accumulation
  // buffer is fine.
  EXPECT_EQ(port::matchPixelFormat({noStencil, windowConfig(5, 0, 16, 1)}, request), 2);

  // Without the request for them, the same configurations qualify.
  PIXELFORMATDESCRIPTOR plain{};
  plain.iPixelType = PFD_TYPE_RGBA;
  plain.cColorBits = 24;
  EXPECT_EQ(port::matchPixelFormat({single}, plain), 1);
  EXPECT_EQ(port::matchPixelFormat({noStencil}, plain), 1);
}

}  // namespace
