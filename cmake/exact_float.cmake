# The compiler flags under which the isosurface and math code computes the
# same bits on every platform, as a usage requirement: every target that does
# that arithmetic links mc_exact_float PUBLIC, so the flags reach the
# libraries, their users and their tests whatever CMAKE_CXX_FLAGS holds. The
# headers of iso/ and math/ refuse to compile without them
# (math/exact_arithmetic.h).
add_library(mc_exact_float INTERFACE)
# A fused multiply-add would skip the rounding of the product.
target_compile_options(mc_exact_float INTERFACE -ffp-contract=off)
# 32-bit x86 compilers default to x87 arithmetic, which keeps intermediates in
# wider registers and rounds them again where they are stored. SSE2 scalar
# arithmetic rounds every operation once, exactly as x86-64 does.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
  target_compile_options(mc_exact_float INTERFACE -msse2 -mfpmath=sse)
endif()
