#include "tools/mcubes.h"

int main(int argc, char** argv) { return runMcubes(argc, argv); }
