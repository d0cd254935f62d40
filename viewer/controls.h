// The viewer's controls as the user reads them: in the tool's help and on
// the console when the window opens.
#pragma once

// Several lines, each ending in a newline.
extern const char viewerControls[];
