// The generator behind rnd, alusta, and the relaunch of the particles the
// pass lists. The draws are made a buffer at a time, on the level in use.
#include "launch.h"

#include <algorithm>
#include <cstring>

// ---- The generator ----------------------------------------------------------

constexpr int rng_buffered = 512;

// Before the first seed the generator runs from a fixed state, so the first
// launches repeat.
static uint64_t rng_state = 0x2545F4914F6CDD1DULL;  // the state that made the last draw in the buffer
alignas(64) static uint16_t rng_buffer[rng_buffered];
static int rng_next = rng_buffered;

void seed_rnd(uint32_t seed)
{
    rng_state = seed;
    rng_next = rng_buffered;
}

// Keeps the draws not yet taken and makes the rest anew.
static void top_up()
{
    const int kept = rng_buffered - rng_next;
    memmove(rng_buffer, rng_buffer + rng_next, kept * sizeof rng_buffer[0]);
    launch_kernels_at(simd_level_in_use()).make_draws(rng_state, rng_buffer + kept, rng_buffered - kept);
    rng_next = 0;
}

// The next count draws (at most rng_buffered), taken.
static inline const uint16_t *take_draws(int count)
{
    if (rng_next + count > rng_buffered)
        top_up();
    const uint16_t *r = rng_buffer + rng_next;
    rng_next += count;
    return r;
}

double rnd(int a, int b)
{
    return scaled(a, b, *take_draws(1));
}

// ---- Launching --------------------------------------------------------------

trig_tables::trig_tables()
{
    for (int d = trig_lo; d <= trig_hi; ++d) {
        double phi = d * deg_to_rad;
        cos[d - trig_lo] = std::cos(phi), sin[d - trig_lo] = std::sin(phi);
    }
}

static const trig_tables trig_table;

// alusta from four draws already taken: spread, angle, speed, koko.
static void launch_from(particle &p, const uint16_t *r)
{
    p.x = float(ax + scaled(-15, 15, r[0]));
    p.y = float(ay);
    int half = kulma / 2;
    int theta = int(scaled(-half, half, r[1]) + 90.0);  // 90 is straight up
    double s = scaled(minvoima, maxvoima, r[2]);
    trig_pair t = trig_deg(trig_table, theta);
    p.vx = float(s * t.c);
    p.vy = float(-s * t.s);
    p.age = 0;
    p.koko = float(scaled(minkoko, maxkoko, r[3]));
}

void alusta(particle &p)
{
    launch_from(p, take_draws(4));  // spread, angle, speed, koko, in this order
}

void launch_listed(particle *particles, const int32_t *slots, int count)
{
    const launch_kernels k = launch_kernels_at(simd_level_in_use());
    if (!k.launch_group) {
        for (int i = 0; i < count; ++i)
            alusta(particles[slots[i]]);
        return;
    }
    for (int i = 0; i < count; i += k.group) {
        const int in_group = std::min(k.group, count - i);
        k.launch_group(particles, slots + i, in_group, take_draws(4 * in_group), trig_table);
    }
}
