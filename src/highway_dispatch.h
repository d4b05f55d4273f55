// How a level picks a kernel file's kernels, from the function that returns
// them in each target's namespace in laava: included where the file's
// targets have all been built (HWY_ONCE). A level whose target is not built
// gets the static target's.
#pragma once

#include "simd.h"

#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX3)
#define LAAVA_AVX512(function) laava::N_AVX3::function()
#else
#define LAAVA_AVX512(function) laava::HWY_STATIC_DISPATCH(function)()
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX2)
#define LAAVA_AVX2(function) laava::N_AVX2::function()
#else
#define LAAVA_AVX2(function) laava::HWY_STATIC_DISPATCH(function)()
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_SSE4)
#define LAAVA_SSE4(function) laava::N_SSE4::function()
#else
#define LAAVA_SSE4(function) laava::HWY_STATIC_DISPATCH(function)()
#endif

#define LAAVA_KERNELS_AT(level, function)                           \
    ((level) == simd_level::avx512 ? LAAVA_AVX512(function)         \
     : (level) == simd_level::avx2 ? LAAVA_AVX2(function)           \
     : (level) == simd_level::sse  ? LAAVA_SSE4(function)           \
                                   : laava::HWY_STATIC_DISPATCH(function)())
