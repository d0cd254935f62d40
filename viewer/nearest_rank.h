// Percentiles of timing samples, as the benchmarks report them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// Nearest rank: the smallest sample with at least `fraction` of the samples
// at or below it (0.5: the median). `samples` must not be empty.
inline double nearestRank(std::vector<double> samples, double fraction) {
  std::sort(samples.begin(), samples.end());
  const double rank = std::ceil(fraction * static_cast<double>(samples.size()));
  const std::size_t index = rank < 1.0 ? 0 : static_cast<std::size_t>(rank) - 1;
  return samples[std::min(index, samples.size() - 1)];
}
