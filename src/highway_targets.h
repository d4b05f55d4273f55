// Which of Highway's targets the vector kernels are built for: included by
// each kernel file before Highway's own headers.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
// The baseline and the three levels the processor is asked for (simd.cpp),
// nothing that no level reaches.
#define HWY_DISABLED_TARGETS (~(HWY_BASELINE_TARGETS | HWY_SSE4 | HWY_AVX2 | HWY_AVX3))
#else
// Elsewhere the kernels are built for what every processor of the
// architecture has (NEON on arm64) and for nothing else: Highway's NEON
// target as chosen at run time wants the AES extension, which a Raspberry Pi
// lacks.
#define HWY_COMPILE_ONLY_STATIC 1
#define TOOLCHAIN_MISS_SYS_AUXV_H 1
#endif
