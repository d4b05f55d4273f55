// What launching needs to be fast, shared by alusta and the pass's vector
// launches: the generator's draws, made a buffer at a time, and cos and sin
// of whole-degree angles.
#pragma once

#include <cstdint>

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
constexpr int rng_buffered = 512;
// Past the end, room for a whole round of lanes, and for a launch of the
// widest vector to load the draws of all its lanes when it takes fewer.
constexpr int rng_room = 64;
extern uint64_t rng_state;  // the state that made the last draw in the buffer
extern uint16_t rng_buffer[rng_buffered + rng_room];
extern int rng_next;

// Keeps the draws not yet taken and makes the rest anew.
void rng_top_up();

// The next count draws (at most rng_buffered), taken.
inline const uint16_t *take_draws(int count)
{
    if (rng_next + count > rng_buffered)
        rng_top_up();
    const uint16_t *r = rng_buffer + rng_next;
    rng_next += count;
    return r;
}

// The factor from a 15-bit draw to [0, 1).
constexpr double draw_scale = 3.0517578125e-05;

struct trig_pair {
    double c, s;
};

// The launch angle is a whole degree, so a table of the library's own values
// of cos and sin spares two calls per launch.
constexpr int trig_lo = -1080, trig_hi = 1080;
struct trig_tables {
    double cos[trig_hi - trig_lo + 1], sin[trig_hi - trig_lo + 1];
    trig_tables();
};
extern const trig_tables trig_table;
trig_pair trig_far(int theta);  // outside the table

// cos and sin of a whole-degree angle, as the library computes them.
inline trig_pair trig_deg(int theta)
{
    if (theta >= trig_lo && theta <= trig_hi)
        return {trig_table.cos[theta - trig_lo], trig_table.sin[theta - trig_lo]};
    return trig_far(theta);
}

// alusta from four draws already taken: spread, angle, speed, koko.
struct particle;
void launch_from(particle &p, const uint16_t *r);
