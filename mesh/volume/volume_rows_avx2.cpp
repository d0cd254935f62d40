// Compiled with -mavx2 (x86 only) and called only after the CPU was checked.
// The baseline's comparisons, minima and maxima, four lanes at a time.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "mesh/volume/volume_rows.h"

namespace mcubes::internal {

namespace {

// Eight values from `at` as two quadruples of doubles.
void loadEight(const double* at, __m256d (&v)[2]) {
  v[0] = _mm256_loadu_pd(at);
  v[1] = _mm256_loadu_pd(at + 4);
}

void loadEight(const float* at, __m256d (&v)[2]) {
  const __m256 values = _mm256_loadu_ps(at);
  v[0] = _mm256_cvtps_pd(_mm256_castps256_ps128(values));
  v[1] = _mm256_cvtps_pd(_mm256_extractf128_ps(values, 1));
}

void loadEight(const std::uint8_t* at, __m256d (&v)[2]) {
  const __m256i words = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(at)));
  v[0] = _mm256_cvtepi32_pd(_mm256_castsi256_si128(words));
  v[1] = _mm256_cvtepi32_pd(_mm256_extracti128_si256(words, 1));
}

}  // namespace

template <typename Value, bool Negated>
RowClasses classifyRowAvx2(const Value* row, std::int64_t n, double iso, std::uint8_t* below) {
  // Negated: -v < iso is iso' < v with iso' = -iso, both exact.
  const __m256d level = _mm256_set1_pd(Negated ? -iso : iso);
  const auto compare = [&level](__m256d v) {
    return Negated ? _mm256_cmp_pd(level, v, _CMP_LT_OQ) : _mm256_cmp_pd(v, level, _CMP_LT_OQ);
  };
  __m256d least = _mm256_set1_pd(HUGE_VAL), most = _mm256_set1_pd(-HUGE_VAL),
          nan = _mm256_setzero_pd();
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256d v[2];
    loadEight(row + i, v);
    const __m256d v0 = v[0], v1 = v[1];
    const int bits = _mm256_movemask_pd(compare(v0)) | _mm256_movemask_pd(compare(v1)) << 4;
    std::memcpy(below + i, &volume_rows::Spread.bytes[bits], 8);
    // vminpd and vmaxpd keep their second operand where the first is NaN.
    least = _mm256_min_pd(v1, _mm256_min_pd(v0, least));
    most = _mm256_max_pd(v1, _mm256_max_pd(v0, most));
    nan = _mm256_or_pd(nan, _mm256_cmp_pd(v0, v1, _CMP_UNORD_Q));
  }
  double lanes[4], highs[4];
  _mm256_storeu_pd(lanes, least);
  _mm256_storeu_pd(highs, most);
  const RowClasses classes = {std::min({lanes[0], lanes[1], lanes[2], lanes[3]}),
                              std::max({highs[0], highs[1], highs[2], highs[3]}),
                              _mm256_movemask_pd(nan) != 0};
  return volume_rows::finishRow<Negated>(row, i, n, iso, below, classes);
}

template RowClasses classifyRowAvx2<double, false>(const double*, std::int64_t, double,
                                                   std::uint8_t*);
template RowClasses classifyRowAvx2<double, true>(const double*, std::int64_t, double,
                                                  std::uint8_t*);
template RowClasses classifyRowAvx2<float, false>(const float*, std::int64_t, double,
                                                  std::uint8_t*);
template RowClasses classifyRowAvx2<float, true>(const float*, std::int64_t, double, std::uint8_t*);
template RowClasses classifyRowAvx2<std::uint8_t, false>(const std::uint8_t*, std::int64_t, double,
                                                         std::uint8_t*);
template RowClasses classifyRowAvx2<std::uint8_t, true>(const std::uint8_t*, std::int64_t, double,
                                                        std::uint8_t*);

}  // namespace mcubes::internal
