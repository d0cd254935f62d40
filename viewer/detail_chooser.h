// Which level of detail of a volume to show at once when its surface
// changes: the finest whose extraction its recent timings say takes no
// longer than a budget, so that a new surface is on screen quickly while
// the full detail follows. A level's time is its latest measurement, or,
// where it has none, the nearest measured level's scaled by the surface's
// size: four times as many triangles per halving of the stride, which
// welding, normals and the arrays follow (the voxels, eight times as many,
// take the lesser part), so that the guess errs towards the coarser level.
#pragma once

#include <cstdint>
#include <map>

class DetailChooser {
 public:
  // Strides 1, 2, 4 ... up to `coarsest`.
  DetailChooser(std::int32_t coarsest, double budgetMs);

  void record(std::int32_t stride, double milliseconds);
  // The finest stride, no finer than `finest`, that fits the budget; the
  // coarsest where none does; `finest` itself while nothing was measured.
  std::int32_t choose(std::int32_t finest) const;

 private:
  double predicted(std::int32_t stride) const;

  std::int32_t coarsest_;
  double budgetMs_;
  std::map<std::int32_t, double> latestMs_;  // by stride
};
