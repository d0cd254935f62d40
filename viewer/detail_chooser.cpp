#include "viewer/detail_chooser.h"

#include <cmath>
#include <cstdlib>

DetailChooser::DetailChooser(std::int32_t coarsest, double budgetMs)
    : coarsest_(coarsest < 1 ? 1 : coarsest), budgetMs_(budgetMs) {}

void DetailChooser::record(std::int32_t stride, double milliseconds) {
  latestMs_[stride] = milliseconds;
}

double DetailChooser::predicted(std::int32_t stride) const {
  const auto exact = latestMs_.find(stride);
  if (exact != latestMs_.end()) return exact->second;
  // The nearest measured level in halvings; the finer of two as near.
  std::int32_t nearest = 0;
  double distance = 0.0;
  for (const auto& [measured, ms] : latestMs_) {
    const double halvings = std::fabs(std::log2(static_cast<double>(measured) / stride));
    if (nearest == 0 || halvings < distance) {
      nearest = measured;
      distance = halvings;
    }
  }
  const double ratio = static_cast<double>(nearest) / stride;
  return latestMs_.at(nearest) * ratio * ratio;
}

std::int32_t DetailChooser::choose(std::int32_t finest) const {
  if (latestMs_.empty()) return finest;
  std::int32_t stride = finest < 1 ? 1 : finest;
  while (stride < coarsest_ && predicted(stride) > budgetMs_) stride *= 2;
  return stride;
}
