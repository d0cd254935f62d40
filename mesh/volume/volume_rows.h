// The first look at a row of voxels: which side of the iso level each is on,
// the row's range and whether it holds a value that is not finite. One
// implementation per instruction set, chosen once per extraction.
#pragma once

#include <cmath>
#include <cstdint>

#include "mesh/surface/vector_unit.h"

namespace mcubes::internal {

// A row of voxels: the least and largest values other than NaN; whether a
// value is not finite.
struct RowClasses {
  double least, most;
  bool nonFinite;
};

// Writes per voxel 1 where below the iso level, else 0 (NaN is never below);
// the negated classifiers 1 where the negated value is below it (-v < iso).
// The range is of the values as they are. Rows of doubles, or of values
// held narrower (floats, bytes), each converted to double exactly.
template <typename Value>
using RowClassifier = RowClasses (*)(const Value* row, std::int64_t n, double iso,
                                     std::uint8_t* below);

template <typename Value, bool Negated>
RowClasses classifyRowBaseline(const Value* row, std::int64_t n, double iso, std::uint8_t* below);
template <typename Value, bool Negated>
RowClasses classifyRowAvx2(const Value* row, std::int64_t n, double iso, std::uint8_t* below);

// The fastest classifier `unit` allows on this CPU, negated or not.
template <typename Value>
RowClassifier<Value> rowClassifier(VectorUnit unit, bool negated = false);

namespace volume_rows {

// Eight below-flags as eight bytes, by the eight bits of movemasks.
struct BelowBytes {
  std::uint64_t bytes[256];
  constexpr BelowBytes() : bytes() {
    for (int bits = 0; bits < 256; ++bits) {
      for (int b = 0; b < 8; ++b) {
        if (bits >> b & 1) bytes[bits] |= std::uint64_t{1} << (8 * b);
      }
    }
  }
};
inline constexpr BelowBytes Spread;

// The vector part's results, and voxels from..n one by one (a value minus
// itself is not zero where it is not finite). Vector parts see NaN as
// unordered; an infinity ends up as the least or largest value.
template <bool Negated, typename Value>
inline RowClasses finishRow(const Value* row, std::int64_t from, std::int64_t n, double iso,
                            std::uint8_t* below, RowClasses classes) {
  classes.nonFinite = classes.nonFinite || classes.least == -HUGE_VAL || classes.most == HUGE_VAL;
  for (std::int64_t i = from; i < n; ++i) {
    const double v = row[i];
    below[i] = (Negated ? -v : v) < iso;
    classes.least = v < classes.least ? v : classes.least;
    classes.most = v > classes.most ? v : classes.most;
    classes.nonFinite = classes.nonFinite || v - v != 0.0;
  }
  return classes;
}

}  // namespace volume_rows

}  // namespace mcubes::internal
