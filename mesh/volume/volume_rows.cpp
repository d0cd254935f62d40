#include "mesh/volume/volume_rows.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mcubes::internal {

#if defined(__SSE2__)
namespace {

// Eight values from `at` as four pairs of doubles.
void loadEight(const double* at, __m128d (&v)[4]) {
  for (int p = 0; p < 4; ++p) v[p] = _mm_loadu_pd(at + 2 * p);
}

void loadEight(const float* at, __m128d (&v)[4]) {
  const __m128 low = _mm_loadu_ps(at), high = _mm_loadu_ps(at + 4);
  v[0] = _mm_cvtps_pd(low);
  v[1] = _mm_cvtps_pd(_mm_movehl_ps(low, low));
  v[2] = _mm_cvtps_pd(high);
  v[3] = _mm_cvtps_pd(_mm_movehl_ps(high, high));
}

void loadEight(const std::uint8_t* at, __m128d (&v)[4]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i words =
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)), zero);
  const __m128i low = _mm_unpacklo_epi16(words, zero), high = _mm_unpackhi_epi16(words, zero);
  v[0] = _mm_cvtepi32_pd(low);
  v[1] = _mm_cvtepi32_pd(_mm_srli_si128(low, 8));
  v[2] = _mm_cvtepi32_pd(high);
  v[3] = _mm_cvtepi32_pd(_mm_srli_si128(high, 8));
}

}  // namespace
#endif

template <typename Value, bool Negated>
RowClasses classifyRowBaseline(const Value* row, std::int64_t n, double iso, std::uint8_t* below) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  // Negated: -v < iso is iso' < v with iso' = -iso, both exact.
  const __m128d level = _mm_set1_pd(Negated ? -iso : iso);
  const auto compare = [&level](__m128d v) {
    return Negated ? _mm_cmplt_pd(level, v) : _mm_cmplt_pd(v, level);
  };
  __m128d least = _mm_set1_pd(HUGE_VAL), most = _mm_set1_pd(-HUGE_VAL), nan = _mm_setzero_pd();
  for (; i + 8 <= n; i += 8) {
    __m128d v[4];
    loadEight(row + i, v);
    const int bits = _mm_movemask_pd(compare(v[0])) | _mm_movemask_pd(compare(v[1])) << 2 |
                     _mm_movemask_pd(compare(v[2])) << 4 | _mm_movemask_pd(compare(v[3])) << 6;
    std::memcpy(below + i, &volume_rows::Spread.bytes[bits], 8);
    // minpd and maxpd keep their second operand where the first is NaN.
    least = _mm_min_pd(v[3], _mm_min_pd(v[2], _mm_min_pd(v[1], _mm_min_pd(v[0], least))));
    most = _mm_max_pd(v[3], _mm_max_pd(v[2], _mm_max_pd(v[1], _mm_max_pd(v[0], most))));
    nan = _mm_or_pd(nan, _mm_or_pd(_mm_cmpunord_pd(v[0], v[1]), _mm_cmpunord_pd(v[2], v[3])));
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

template <typename Value>
RowClassifier<Value> rowClassifier(VectorUnit unit, bool negated) {
#if defined(__x86_64__) || defined(__i386__)
  if (unit == VectorUnit::Avx2 && vectorUnitAvailable(VectorUnit::Avx2)) {
    return negated ? classifyRowAvx2<Value, true> : classifyRowAvx2<Value, false>;
  }
#else
  (void)unit;
#endif
  return negated ? classifyRowBaseline<Value, true> : classifyRowBaseline<Value, false>;
}

template RowClassifier<double> rowClassifier(VectorUnit, bool);
template RowClassifier<float> rowClassifier(VectorUnit, bool);
template RowClassifier<std::uint8_t> rowClassifier(VectorUnit, bool);

}  // namespace mcubes::internal
