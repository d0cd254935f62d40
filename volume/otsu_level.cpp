#include "volume/otsu_level.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace mcubes::internal {

namespace {

constexpr int RangeBins = 4096;

// The histogram of a volume's finite values. Each value is kept as its
// position: for exact bins its distance from the type's least value, else
// its place in [0, RangeBins] across the range. Positions are bounded, so
// the class means and variances stay finite whatever the values.
class Histogram {
 public:
  explicit Histogram(const VolumeHeader& header) {
    const bool unscaled = header.slope == 1.0 && header.offset == 0.0;
    integers_ = unscaled && header.type != VoxelType::Float32 && header.type != VoxelType::Float64;
    switch (header.type) {
      case VoxelType::Uint8:
        exact(0, 256, unscaled);
        break;
      case VoxelType::Int8:
        exact(-128, 256, unscaled);
        break;
      case VoxelType::Uint16:
        exact(0, 65536, unscaled);
        break;
      case VoxelType::Int16:
        exact(-32768, 65536, unscaled);
        break;
      default:
        break;
    }
  }

  // Binned histograms need the range first.
  bool needsRange() const { return !exact_; }

  // The first pass of a binned histogram.
  void findRange(const double* values, std::size_t count) {
    for (std::size_t n = 0; n < count; ++n) {
      const double v = values[n];
      if (!std::isfinite(v)) continue;
      least_ = std::min(least_, v);
      most_ = std::max(most_, v);
    }
  }

  // Sets the bins once the range is known (binned histograms).
  void binRange() {
    const int bins = least_ < most_ ? RangeBins : 1;
    counts_.assign(bins, 0);
    positions_.assign(bins, 0.0);
    lows_.assign(bins, HUGE_VAL);
    highs_.assign(bins, -HUGE_VAL);
    // A range wider than the largest double is taken in halves.
    halved_ = !std::isfinite(most_ - least_);
    scale_ = least_ < most_ ? RangeBins / (halved_ ? most_ / 2 - least_ / 2 : most_ - least_) : 0.0;
  }

  void count(const double* values, std::size_t count) {
    const int last = static_cast<int>(counts_.size()) - 1;
    for (std::size_t n = 0; n < count; ++n) {
      const double v = values[n];
      if (!std::isfinite(v)) continue;
      double position;
      int bin;
      if (exact_) {
        // The decoder gives the stored integers; anything else is clamped.
        position = std::clamp(v - lowest_, 0.0, static_cast<double>(last));
        bin = static_cast<int>(position);
      } else {
        position = halved_ ? (v / 2 - least_ / 2) * scale_ : (v - least_) * scale_;
        position = std::clamp(position, 0.0, static_cast<double>(RangeBins));
        bin = std::min(static_cast<int>(position), last);
        lows_[static_cast<std::size_t>(bin)] = std::min(lows_[static_cast<std::size_t>(bin)], v);
        highs_[static_cast<std::size_t>(bin)] = std::max(highs_[static_cast<std::size_t>(bin)], v);
      }
      ++counts_[static_cast<std::size_t>(bin)];
      positions_[static_cast<std::size_t>(bin)] += position;
    }
  }

  OtsuLevel level() const {
    OtsuLevel result;
    result.bins = static_cast<int>(counts_.size());
    result.exact = exact_;
    std::int64_t total = 0;
    double positions = 0.0;
    int first = -1, last = -1;
    for (int b = 0; b < result.bins; ++b) {
      const auto at = static_cast<std::size_t>(b);
      if (counts_[at] == 0) continue;
      if (first < 0) first = b;
      last = b;
      total += counts_[at];
      positions += positions_[at];
    }
    result.finiteVoxels = total;
    if (total == 0) return result;
    result.least = low(first);
    result.most = high(last);
    // The split after bin t that separates the classes' means the most;
    // the first of equals, so that an empty stretch of bins puts the level
    // just above the lower class.
    double best = -1.0;
    int split = -1;
    std::int64_t lower = 0;
    double lowerPositions = 0.0;
    for (int t = first; t < last; ++t) {
      const auto at = static_cast<std::size_t>(t);
      lower += counts_[at];
      lowerPositions += positions_[at];
      if (counts_[at] == 0) continue;
      const double w0 = static_cast<double>(lower), w1 = static_cast<double>(total - lower);
      const double difference = lowerPositions / w0 - (positions - lowerPositions) / w1;
      const double between = w0 * w1 * difference * difference;
      if (between > best) {
        best = between;
        split = t;
        result.below = lower;
        result.meanBelow = lowerPositions / w0;
        result.meanAbove = (positions - lowerPositions) / w1;
      }
    }
    if (split < 0) return result;  // one value: nothing to split
    result.meanBelow = value(result.meanBelow);
    result.meanAbove = value(result.meanAbove);
    int above = split + 1;
    while (counts_[static_cast<std::size_t>(above)] == 0) ++above;
    const double lowerMost = high(split), upperLeast = low(above);
    result.level = integers_ ? lowerMost + 0.5 : lowerMost / 2 + upperLeast / 2;
    return result;
  }

 private:
  void exact(int lowest, int bins, bool unscaled) {
    if (!unscaled) return;
    exact_ = true;
    lowest_ = lowest;
    counts_.assign(static_cast<std::size_t>(bins), 0);
    positions_.assign(static_cast<std::size_t>(bins), 0.0);
  }

  // The least and largest value in bin b, which holds some.
  double low(int b) const { return exact_ ? lowest_ + b : lows_[static_cast<std::size_t>(b)]; }
  double high(int b) const { return exact_ ? lowest_ + b : highs_[static_cast<std::size_t>(b)]; }

  // A position's value.
  double value(double position) const {
    if (exact_) return lowest_ + position;
    if (!(scale_ > 0.0)) return least_;
    return halved_ ? 2 * (least_ / 2 + position / scale_) : least_ + position / scale_;
  }

  bool exact_ = false;
  bool integers_ = false;
  double lowest_ = 0.0;                         // exact: the value of bin 0
  double least_ = HUGE_VAL, most_ = -HUGE_VAL;  // binned: the range
  bool halved_ = false;
  double scale_ = 0.0;  // binned: positions per unit of value
  std::vector<std::int64_t> counts_;
  std::vector<double> positions_;     // per bin, the sum of its values' positions
  std::vector<double> lows_, highs_;  // binned: per bin, its least and largest value
};

// Every slice of the volume `reader` has left, one at a time.
template <typename Take>
void eachSlice(VolumeReader& reader, const Take& take) {
  const VolumeGeometry& g = reader.header().geometry;
  std::vector<double> slice(static_cast<std::size_t>(g.dims[0] * g.dims[1]));
  for (std::int64_t k = 0; k < g.dims[2]; ++k) {
    reader.readSlices(1, slice.data());
    take(slice.data(), slice.size());
  }
}

}  // namespace

OtsuLevel otsuLevel(const VolumeOpener& open) {
  std::unique_ptr<VolumeReader> reader = open();
  Histogram histogram(reader->header());
  if (histogram.needsRange()) {
    eachSlice(*reader,
              [&](const double* values, std::size_t count) { histogram.findRange(values, count); });
    histogram.binRange();
    reader = open();
  }
  eachSlice(*reader,
            [&](const double* values, std::size_t count) { histogram.count(values, count); });
  return histogram.level();
}

OtsuLevel otsuLevel(const VolumeHeader& header, const double* values) {
  const std::int64_t* d = header.geometry.dims;
  const auto count = static_cast<std::size_t>(d[0] * d[1] * d[2]);
  Histogram histogram(header);
  if (histogram.needsRange()) {
    histogram.findRange(values, count);
    histogram.binRange();
  }
  histogram.count(values, count);
  return histogram.level();
}

}  // namespace mcubes::internal
