#include "effect.h"

#include "launch.h"

#include <array>
#include <cmath>

int n = 1000;
int painovoima = 15;
int kulma = 45;
int ax = 588, ay = 521;
int minvoima = 10, maxvoima = 15;
int minkoko = 5, maxkoko = 50;

// ---- Fire palette ----------------------------------------------------------

static constexpr Uint32 fire_colour(int i)
{
    Uint32 r, g, b;
    if (i <= 84) {
        r = 255, g = 255, b = (255 * (84 - i) + 42) / 84;  // white to yellow, rounded half up
    } else if (i <= 169) {
        r = 255, g = 255 - 3 * (i - 84), b = 0;            // yellow to red
    } else if (i <= 254) {
        r = 255 - 3 * (i - 169), g = 0, b = 0;             // red to black
    } else {
        r = g = b = 0;
    }
    return r << 16 | g << 8 | b;
}

static constexpr std::array<Uint32, 256> make_palette()
{
    std::array<Uint32, 256> p{};
    for (int i = 0; i < 256; ++i)
        p[i] = fire_colour(i);
    return p;
}

constexpr std::array<Uint32, 256> palette = make_palette();
static_assert(palette[0] == 0xFFFFFF && palette[15] == 0xFFFFD1 && palette[84] == 0xFFFF00);
static_assert(palette[169] == 0xFF0000 && palette[253] == 0x030000 && palette[254] == 0);

// ---- Random numbers --------------------------------------------------------

// Before the first seed the generator runs from a fixed state, so the first
// launches repeat.
uint64_t rng_state = 0x2545F4914F6CDD1DULL;
alignas(64) uint16_t rng_buffer[rng_buffered + rng_room];
int rng_next = rng_buffered;

void seed_rnd(uint32_t seed)
{
    rng_state = seed;
    rng_next = rng_buffered;
}

// A 15-bit draw r scaled to [a, b + 1). The span is formed in 64 bits: b - a + 1
// overflows an int for the widest fans.
static inline double scaled(int a, int b, unsigned r)
{
    return a + double(int64_t(b) - a + 1) * r * draw_scale;
}

double rnd(int a, int b)
{
    return scaled(a, b, *take_draws(1));
}

// ---- Launching -------------------------------------------------------------

static constexpr double deg_to_rad = 0.0174532925199433;

trig_tables::trig_tables()
{
    for (int d = trig_lo; d <= trig_hi; ++d) {
        double phi = d * deg_to_rad;
        cos[d - trig_lo] = std::cos(phi), sin[d - trig_lo] = std::sin(phi);
    }
}

const trig_tables trig_table;

trig_pair trig_far(int theta)
{
    double phi = theta * deg_to_rad;
    return {std::cos(phi), std::sin(phi)};
}

void launch_from(particle &p, const uint16_t *r)
{
    p.x = float(ax + scaled(-15, 15, r[0]));
    p.y = float(ay);
    int half = kulma / 2;
    int theta = int(scaled(-half, half, r[1]) + 90.0);  // 90 is straight up
    double s = scaled(minvoima, maxvoima, r[2]);
    trig_pair t = trig_deg(theta);
    p.vx = float(s * t.c);
    p.vy = float(-s * t.s);
    p.age = 0;
    p.koko = float(scaled(minkoko, maxkoko, r[3]));
}

void alusta(particle &p)
{
    launch_from(p, take_draws(4));  // spread, angle, speed, koko, in this order
}
