// The vector levels the particle pass and the launches run on: the widest the
// processor and the system can run, unless a narrower one is asked for (the
// tests and the benchmark run each).
#pragma once

// baseline is what the compiler may assume of every processor of the
// architecture (plain SSE2 on x86-64, NEON on arm64); sse (SSE4), avx2 and
// avx512 are x86-64's.
enum class simd_level { baseline, sse, avx2, avx512 };

constexpr int max_lanes = 16;  // floats in the widest vector

// The widest this processor can run, asked of it once.
simd_level widest_level();
// Whether the kernels are built for the level at all.
bool simd_level_built(simd_level level);
// The level in use: the widest until another is asked for.
simd_level simd_level_in_use();
// Uses the wanted level, or the widest there is if that is narrower; returns it.
simd_level use_simd_level(simd_level wanted);
// Its short name: "sse", "avx2", "avx512", or for baseline the instruction
// set it is built for ("scalar", "sse2", "neon", ...).
const char *simd_level_name(simd_level level);

// Uses the level of that name (see simd_level_name; "baseline" too), or the
// widest there is if that is narrower; null or empty keeps the level as it
// is. False if no level has that name.
bool use_simd_level_named(const char *name);
