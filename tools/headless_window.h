// The offscreen window of app/ on port/'s headless display: mcubes renders
// without an X server, whatever $DISPLAY says.
#pragma once

#include <string>

#include "app/offscreen_window.h"

// As openOffscreenWindow, after choosing the headless display.
bool openHeadlessWindow(int width, int height, OffscreenWindow& offscreen, std::string& error);
