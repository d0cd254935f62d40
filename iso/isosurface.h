// Marching-cubes extraction of one grid cell: the shared types, the case
// tables, the cell polygoniser and the field samplers that fill a cell.
//
// Corner numbering: corners 0-3 run around the face at the lower y, (-x,-z),
// (+x,-z), (+x,+z), (-x,+z); corner i + 4 lies one edge above corner i. Edges
// 0-3 join corners 0-1, 1-2, 2-3, 3-0; edges 4-7 join 4-5, 5-6, 6-7, 7-4; edges
// 8-11 join corner i to corner i + 4. Bit i of a case index is set when corner
// i lies below the iso level; bit e of an edge mask stands for edge e.
//
// Positions are 32-bit floats and field values 64-bit. The arithmetic is done
// in double precision and rounded to float only where a float is stored, so
// results are bit-exact on every platform with IEEE double arithmetic: on
// 32-bit x86 that means SSE2 rather than the x87's wider registers, and
// everywhere no fused multiply-add. Linking mc_iso brings those flags (through
// mc_exact_float); math/exact_arithmetic.h stops a build without them.
#pragma once

#include <cmath>
#include <cstdint>

#include "iso/cell_types.h"
#include "math/exact_arithmetic.h"

// The demo's names stand at global scope.
#include "iso/cell_operations.h"
