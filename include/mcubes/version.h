// The library's version, for code that must build against more than one:
// the project's version (CMakeLists.txt), which the configure step checks
// these numbers against.
#pragma once

#define MCUBES_VERSION_MAJOR 1
#define MCUBES_VERSION_MINOR 0
#define MCUBES_VERSION_PATCH 0
#define MCUBES_VERSION "1.0.0"
