#include "mesh/label_extract.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "mesh/volume_slabs.h"

namespace {

// Labels beyond this are not all distinct as doubles.
constexpr double LargestLabel = 9007199254740992.0;  // 2^53

// A label being followed through the volume: the slices that hold it.
struct Followed {
  std::int64_t label;
  std::vector<bool> inSlice;
  std::unique_ptr<VolumeWeld> weld;
};

// The followed label of each value: small values through a table, others
// through a hash map. With all labels asked, a new value starts one.
class LabelTable {
 public:
  LabelTable(const VolumeGeometry& geometry, const std::vector<std::int64_t>& asked)
      : geometry_(geometry), all_(asked.empty()), small_(SmallLabels, Unseen) {
    for (const std::int64_t label : asked) slot(label, true);
  }

  // The followed label's index, or -1 for a value not asked for.
  int find(std::int64_t label) {
    if (label >= 0 && label < SmallLabels) {
      const int n = small_[static_cast<std::size_t>(label)];
      if (n != Unseen) return n;
    } else if (const auto found = large_.find(label); found != large_.end()) {
      return found->second;
    }
    return slot(label, all_ && label != 0);
  }

  std::vector<Followed>& followed() { return followed_; }

 private:
  static constexpr std::int64_t SmallLabels = 1 << 16;
  static constexpr int Unseen = -2;

  int slot(std::int64_t label, bool follow) {
    int n = -1;
    if (follow) {
      n = static_cast<int>(followed_.size());
      followed_.push_back({label, std::vector<bool>(static_cast<std::size_t>(geometry_.dims[2])),
                           std::make_unique<VolumeWeld>()});
    }
    if (label >= 0 && label < SmallLabels) {
      small_[static_cast<std::size_t>(label)] = n;
    } else {
      large_.emplace(label, n);
    }
    return n;
  }

  VolumeGeometry geometry_;
  bool all_;
  std::vector<int> small_;
  std::unordered_map<std::int64_t, int> large_;
  std::vector<Followed> followed_;
};

[[noreturn]] void notALabel(const VolumeGeometry& geometry, std::int64_t k, std::int64_t n,
                            double value) {
  const std::int64_t x = geometry.dims[0];
  char text[64];
  std::snprintf(text, sizeof text, "%.9g", value);
  throw VolumeError("voxel (" + std::to_string(n % x) + ", " + std::to_string(n / x) + ", " +
                    std::to_string(k) + ") holds " + text +
                    ": --labels needs a label map, a volume of integer values");
}

// Marks the labels slice k holds; values come in runs, so a run is looked
// up once.
void noteLabels(LabelTable& table, const VolumeGeometry& geometry, std::int64_t k,
                const double* slice) {
  const std::int64_t size = geometry.dims[0] * geometry.dims[1];
  std::vector<Followed>& followed = table.followed();
  double previous = std::nan("");
  for (std::int64_t n = 0; n < size; ++n) {
    const double value = slice[n];
    if (value == previous) continue;
    if (!(std::floor(value) == value && std::fabs(value) <= LargestLabel)) {
      notALabel(geometry, k, n, value);
    }
    const int at = table.find(static_cast<std::int64_t>(value));
    if (at >= 0) followed[static_cast<std::size_t>(at)].inSlice[static_cast<std::size_t>(k)] = true;
    previous = value;
  }
}

}  // namespace

LabelWelds weldLabels(VolumeReader& reader, const std::vector<std::int64_t>& labels,
                      const VolumeExtractionSettings& settings, const LayerProgress& progress) {
  const VolumeGeometry& geometry = reader.header().geometry;
  VolumeExtractionSettings indicator = settings;
  indicator.isoLevel = IndicatorLevel;
  indicator.inside = Inside::Above;  // a label's voxels are its indicator's 1s
  checkSettings(geometry, indicator);
  LabelTable table(geometry, labels);
  LabelWelds welds{{}, VolumeBoundary(geometry.dims)};
  if (cellCount(geometry.dims) > 0) {
    const Lattice lattice = latticeFor(geometry, indicator, true);
    // Every label sweeps the slab again: a quarter of the memory (with the
    // indicator's as much again) keeps it in cache from label to label.
    const SlabReading reading = slabReading(geometry, settings.sliceMemory / 4, settings.normals);
    std::vector<LayerSweep> sweeps =
        sweepsFor(lattice, std::min<std::int64_t>(settings.threads, reading.layers));
    const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
    std::vector<double> ones(
        static_cast<std::size_t>((reading.layers + 1 + 2 * reading.margin) * sliceSize));
    VolumeFindings findings;
    readSlabs(
        reader, reading,
        [&](std::int64_t k, const double* slice) {
          welds.boundary.record(k, slice);
          noteLabels(table, geometry, k, slice);
        },
        [&](const SliceWindow& window, std::int64_t first, std::int64_t last) {
          for (Followed& label : table.followed()) {
            // Only the layers next to the label's slices have triangles.
            std::int64_t lo = first;
            while (lo <= last && !label.inSlice[static_cast<std::size_t>(lo)]) ++lo;
            if (lo > last) continue;
            std::int64_t hi = last;
            while (!label.inSlice[static_cast<std::size_t>(hi)]) --hi;
            const std::int64_t from = std::max(first, lo - 1), to = std::min(last, hi + 1);
            const std::int64_t fill = std::max(window.first, from - reading.margin);
            const std::int64_t fillEnd = std::min(geometry.dims[2], to + 1 + reading.margin);
            const double value = static_cast<double>(label.label);
            const double* raw = window.slice(fill);
            double* out = ones.data() + (fill - window.first) * sliceSize;
            for (std::int64_t n = 0, size = (fillEnd - fill) * sliceSize; n < size; ++n) {
              out[n] = raw[n] == value ? 1.0 : 0.0;
            }
            sweepLayers(sweeps, {ones.data(), window.first, sliceSize}, from, to,
                        {nullptr, label.weld.get()}, findings);
          }
        },
        progress);
  } else {
    // Without cells no slab is read; the voxels are still checked.
    std::vector<double> slice(static_cast<std::size_t>(geometry.dims[0] * geometry.dims[1]));
    for (std::int64_t k = 0; k < geometry.dims[2]; ++k) {
      reader.readSlices(1, slice.data());
      welds.boundary.record(k, slice.data());
      noteLabels(table, geometry, k, slice.data());
    }
  }
  std::vector<Followed>& followed = table.followed();
  if (labels.empty()) {
    std::sort(followed.begin(), followed.end(),
              [](const Followed& a, const Followed& b) { return a.label < b.label; });
  }
  for (Followed& label : followed) {
    const bool found =
        std::find(label.inSlice.begin(), label.inSlice.end(), true) != label.inSlice.end();
    welds.labels.push_back({label.label, found, std::move(label.weld)});
  }
  return welds;
}
