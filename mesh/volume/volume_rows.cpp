#include "mesh/volume/volume_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mcubes::internal {

template <bool Negated>
RowClasses classifyRowBaseline(const double* row, std::int64_t n, double iso, std::uint8_t* below) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  // Negated: -v < iso is iso' < v with iso' = -iso, both exact.
  const __m128d level = _mm_set1_pd(Negated ? -iso : iso);
  const auto compare = [&level](__m128d v) {
    return Negated ? _mm_cmplt_pd(level, v) : _mm_cmplt_pd(v, level);
  };
  __m128d least = _mm_set1_pd(HUGE_VAL), most = _mm_set1_pd(-HUGE_VAL), nan = _mm_setzero_pd();
  for (; i + 8 <= n; i += 8) {
    const __m128d v0 = _mm_loadu_pd(row + i), v1 = _mm_loadu_pd(row + i + 2);
    const __m128d v2 = _mm_loadu_pd(row + i + 4), v3 = _mm_loadu_pd(row + i + 6);
    const int bits = _mm_movemask_pd(compare(v0)) | _mm_movemask_pd(compare(v1)) << 2 |
                     _mm_movemask_pd(compare(v2)) << 4 | _mm_movemask_pd(compare(v3)) << 6;
    std::memcpy(below + i, &volume_rows::Spread.bytes[bits], 8);
    // minpd and maxpd keep their second operand where the first is NaN.
    least = _mm_min_pd(v3, _mm_min_pd(v2, _mm_min_pd(v1, _mm_min_pd(v0, least))));
    most = _mm_max_pd(v3, _mm_max_pd(v2, _mm_max_pd(v1, _mm_max_pd(v0, most))));
    nan = _mm_or_pd(nan, _mm_or_pd(_mm_cmpunord_pd(v0, v1), _mm_cmpunord_pd(v2, v3)));
  }
  double lanes[2], highs[2];
  _mm_storeu_pd(lanes, least);
  _mm_storeu_pd(highs, most);
  const RowClasses classes = {std::min(lanes[0], lanes[1]), std::max(highs[0], highs[1]),
                              _mm_movemask_pd(nan) != 0};
#else
  const RowClasses classes = {HUGE_VAL, -HUGE_VAL, false};
#endif
  return volume_rows::finishRow<Negated>(row, i, n, iso, below, classes);
}

template RowClasses classifyRowBaseline<false>(const double*, std::int64_t, double, std::uint8_t*);
template RowClasses classifyRowBaseline<true>(const double*, std::int64_t, double, std::uint8_t*);

RowClassifier rowClassifier(VectorUnit unit, bool negated) {
#if defined(__x86_64__) || defined(__i386__)
  if (unit == VectorUnit::Avx2 && vectorUnitAvailable(VectorUnit::Avx2)) {
    return negated ? classifyRowAvx2<true> : classifyRowAvx2<false>;
  }
#else
  (void)unit;
#endif
  return negated ? classifyRowBaseline<true> : classifyRowBaseline<false>;
}

}  // namespace mcubes::internal
