#include "viewer/controls.h"

const char viewerControls[] =
    "Controls:\n"
    "  left-drag            orbit\n"
    "  right-drag, wheel    zoom\n"
    "  middle-drag          pan\n"
    "  = and -              iso level up and down by 0.01 (a volume: 1 % of its values' range)\n"
    "  + and _              iso level up and down by 0.1 (a volume: 10 %)\n"
    "  ] and [              divisions doubled and halved, 4 to 1024 (a volume: every\n"
    "                       voxel, every 2nd, 4th ... along each axis: ] finer, [ coarser)\n"
    "  w                    wireframe on and off\n"
    "  l                    lighting off (the demo's flat red) and on\n"
    "  n                    flat and smooth normals\n"
    "  space                pause and resume the animation\n"
    "  r                    reset the camera\n"
    "  s                    save the picture as a numbered PNG in the current folder\n"
    "  Esc, closing         quit\n";
