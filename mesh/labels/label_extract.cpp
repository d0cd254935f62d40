#include "mesh/labels/label_extract.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <unordered_map>

#include "mesh/labels/label_sweep.h"
#include "mesh/labels/label_values.h"
#include "mesh/volume/volume_slabs.h"

namespace mcubes::internal {

namespace {

// A label being followed through the volume: the slices that hold it.
struct Followed {
  std::int64_t label;
  std::vector<bool> inSlice;
  std::unique_ptr<VolumeWeld> weld;
  // Swept slab after slab into one part (one thread, without normals): the
  // part and its first layer.
  std::unique_ptr<WeldedPart> whole = nullptr;
  std::int64_t wholeFrom = 0;
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

// A label's layers of a slab to sweep: those next to its slices there, and
// its weld (held apart from the table, which a slab's reading may grow
// while a part is joined).
struct LabelLayers {
  VolumeWeld* weld;
  double value;
  std::int64_t from, to;
  WeldedPart* whole;  // where the label's part goes on from slab to slab, if it does
};

// A slab's sweeps of the labels in it, a welded part for each.
struct LabelsPart {
  std::vector<LabelLayers> sweeps;
  std::vector<WeldedPart> welds;
};

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
    if (!isLabelValue(value)) {
      notALabel(n % geometry.dims[0], n / geometry.dims[0], k, value);
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
    // With normals every label sweeps its own indicator of the slab again: a
    // quarter of the memory (with the indicator's as much again) keeps it in
    // cache from label to label. Without, the slab is swept once for all.
    const bool oneSweep = !settings.normals;
    const SlabReading reading =
        slabReading(geometry, settings.sliceMemory / (oneSweep ? 1 : 4), settings.normals);
    const std::int64_t layers = geometry.dims[2] - 1;
    SweepWorkers workers(lattice, std::min<std::int64_t>(settings.threads, layers));
    // On one thread the slabs are swept in order, and each label's part goes
    // on from one slab to the next: nothing is joined, the vertex numbers of
    // the slice two slabs share are kept from one to the other.
    const bool continuous = oneSweep && workers.pool.size() == 0;
    const std::int64_t sliceSize = geometry.dims[0] * geometry.dims[1];
    std::vector<LabelSweep> labelSweeps;
    std::vector<std::vector<std::uint8_t>> ones;
    if (oneSweep) {
      for (std::size_t n = 0; n < workers.sweeps.size(); ++n) labelSweeps.emplace_back(lattice);
    } else {
      // Per worker, the indicator of the label it sweeps.
      ones.assign(workers.sweeps.size(),
                  std::vector<std::uint8_t>(static_cast<std::size_t>(
                      (reading.layers + 1 + 2 * reading.margin) * sliceSize)));
    }
    readSlabs<LabelsPart, double>(
        reader, reading, workers.pool,
        [&](std::int64_t k, const double* slice) {
          welds.boundary.record(k, slice);
          noteLabels(table, geometry, k, slice);
        },
        [&](std::int64_t first, std::int64_t last, LabelsPart& part) {
          part.sweeps.clear();
          std::vector<Followed>& followed = table.followed();
          for (std::size_t n = 0; n < followed.size(); ++n) {
            const std::vector<bool>& inSlice = followed[n].inSlice;
            // Only the layers next to the label's slices have triangles.
            std::int64_t lo = first;
            while (lo <= last && !inSlice[static_cast<std::size_t>(lo)]) ++lo;
            if (lo > last) continue;
            std::int64_t hi = last;
            while (!inSlice[static_cast<std::size_t>(hi)]) --hi;
            Followed& label = followed[n];
            const std::int64_t from = std::max(first, lo - 1);
            if (continuous && !label.whole) {
              label.whole = std::make_unique<WeldedPart>();
              label.wholeFrom = from;
            } else if (continuous) {
              // The layers before end no longer at the part's last plane.
              label.whole->lastPlane.clear();
            }
            part.sweeps.push_back({label.weld.get(), static_cast<double>(label.label),
                                   continuous ? label.wholeFrom : from, std::min(last, hi + 1),
                                   label.whole.get()});
          }
          if (part.welds.size() < part.sweeps.size()) part.welds.resize(part.sweeps.size());
        },
        [&](int worker, const SliceWindow& window, std::int64_t first, std::int64_t last,
            LabelsPart& part) {
          if (oneSweep) {
            std::vector<LabelSweep::Label> sweep;
            for (std::size_t n = 0; n < part.sweeps.size(); ++n) {
              const LabelLayers& label = part.sweeps[n];
              sweep.push_back(
                  {label.value, label.from, label.to, continuous ? label.whole : &part.welds[n]});
            }
            labelSweeps[static_cast<std::size_t>(worker)].run(window, first, last, sweep,
                                                              continuous && first > 0);
            return;
          }
          std::uint8_t* const indicator = ones[static_cast<std::size_t>(worker)].data();
          VolumeFindings findings;
          for (std::size_t n = 0; n < part.sweeps.size(); ++n) {
            const LabelLayers& label = part.sweeps[n];
            const std::int64_t fill = std::max(window.first, label.from - reading.margin);
            const std::int64_t fillEnd = std::min(geometry.dims[2], label.to + 1 + reading.margin);
            for (std::int64_t k = fill; k < fillEnd; ++k) {
              const double* raw = window.slice(k);
              std::uint8_t* out = indicator + (k - window.first) * sliceSize;
              for (std::int64_t v = 0; v < sliceSize; ++v) out[v] = raw[v] == label.value;
            }
            workers.sweeps[static_cast<std::size_t>(worker)].run(
                SliceWindowOf<std::uint8_t>{indicator, window.first, sliceSize}, label.from,
                label.to, part.welds[n], findings);
          }
        },
        [&](std::int64_t, std::int64_t, LabelsPart& part) {
          for (std::size_t n = 0; !continuous && n < part.sweeps.size(); ++n) {
            part.sweeps[n].weld->add(part.welds[n]);
          }
        },
        progress);
    for (Followed& label : table.followed()) {
      if (label.whole) label.weld->add(*label.whole);
      label.whole.reset();
    }
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

}  // namespace mcubes::internal
