// Launching particles: the generator behind rnd, alusta, and the launches of
// the particles the pass lists, a vector at a time. launch.cpp alone owns the
// generator, its buffer of draws and its refill; its vector kernels
// (launch_kernels.cpp) are handed what they work on.
#pragma once

#include "effect.h"
#include "simd.h"

#include <cmath>
#include <cstdint>

// alusta for the listed slots, in order.
void launch_listed(particle *particles, const int32_t *slots, int count);

// ---- What launching shares with its kernels ----------------------------------

// A 64-bit LCG whose top 15 bits are the draw.
constexpr uint64_t lcg_mul = 6364136223846793005ULL;
constexpr uint64_t lcg_inc = 1442695040888963407ULL;

struct lcg_jump {
    uint64_t mul, inc;
};

constexpr lcg_jump lcg_steps(int steps)
{
    lcg_jump j = {1, 0};
    for (int i = 0; i < steps; ++i)
        j = {j.mul * lcg_mul, j.inc * lcg_mul + lcg_inc};
    return j;
}

// Draws are made from sixteen lanes that stand sixteen steps apart, so that
// the multiplies overlap; the numbers are the same as stepping one at a time.
constexpr int rng_lanes = 16;

// The factor from a 15-bit draw to [0, 1).
constexpr double draw_scale = 3.0517578125e-05;

// A 15-bit draw r scaled to [a, b + 1). The span is formed in 64 bits: b - a + 1
// overflows an int for the widest fans.
inline double scaled(int a, int b, unsigned r)
{
    return a + double(int64_t(b) - a + 1) * r * draw_scale;
}

struct trig_pair {
    double c, s;
};

// The launch angle is a whole degree, so a table of the library's own values
// of cos and sin spares two calls per launch.
constexpr int trig_lo = -1080, trig_hi = 1080;
constexpr double deg_to_rad = 0.0174532925199433;

struct trig_tables {
    double cos[trig_hi - trig_lo + 1], sin[trig_hi - trig_lo + 1];
    trig_tables();
};

// cos and sin of a whole-degree angle, as the library computes them.
inline trig_pair trig_deg(const trig_tables &table, int theta)
{
    if (theta >= trig_lo && theta <= trig_hi)
        return {table.cos[theta - trig_lo], table.sin[theta - trig_lo]};
    const double phi = theta * deg_to_rad;
    return {std::cos(phi), std::sin(phi)};
}

// The vector parts of launching, built once for each level.
struct launch_kernels {
    // count draws into out from the generator at state, which is left at
    // the state that made the last of them.
    void (*make_draws)(uint64_t &state, uint16_t *out, int count);
    // alusta for up to group listed slots from their draws, four each in
    // order. Null where the particles are launched one at a time.
    void (*launch_group)(particle *particles, const int32_t *slots, int count, const uint16_t *draws,
                         const trig_tables &trig);
    int group;
};

launch_kernels launch_kernels_at(simd_level level);
