// Included by every header of iso/ and math/: their results are the same
// bits on every platform only where each double operation is rounded once, as
// written. Wider evaluation (the x87's 80-bit registers) or -ffast-math's
// reordering would quietly give other bits, so such a build stops here. The
// target mc_exact_float carries the flags that make the arithmetic exact
// (-ffp-contract=off, which no macro reveals, and SSE2 on 32-bit x86); link it.
#pragma once

#include <cfloat>

#if FLT_EVAL_METHOD != 0
#error \
    "iso/ and math/ need every double operation rounded as written, but this build keeps excess precision (FLT_EVAL_METHOD != 0, x87 arithmetic): compile with -msse2 -mfpmath=sse, which linking the mc_exact_float target adds"
#endif

#ifdef __FAST_MATH__
#error \
    "iso/ and math/ need IEEE arithmetic rounded as written, but this build uses -ffast-math (or -Ofast), which reorders and approximates it: build without it"
#endif
