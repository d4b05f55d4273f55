#include "effect.h"

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

// PCG32 (an LCG with a permuted output), cut to 15 bits for rnd. Before the
// first seed it runs from this fixed state, so the first launches repeat.
static uint64_t rng_state = 0x853c49e6748fea9bULL;
static constexpr uint64_t rng_mul = 6364136223846793005ULL;
static constexpr uint64_t rng_inc = 1442695040888963407ULL;

static inline unsigned rng_output(uint64_t state)
{
    uint32_t xorshifted = uint32_t(((state >> 18) ^ state) >> 27);
    unsigned rot = unsigned(state >> 59);
    uint32_t r = (xorshifted >> rot) | (xorshifted << ((32 - rot) & 31));
    return r >> 17;
}

static inline unsigned rand15()
{
    uint64_t old = rng_state;
    rng_state = old * rng_mul + rng_inc;
    return rng_output(old);
}

void seed_rnd(uint32_t seed)
{
    rng_state = 0;
    rand15();
    rng_state += seed;
    rand15();
}

double rnd(int a, int b)
{
    // The span is formed in 64 bits: b - a + 1 overflows an int for wide fans.
    int64_t span = int64_t(b) - a + 1;
    return a + double(span) * rand15() * 3.0517578125e-05;
}

// ---- Launching -------------------------------------------------------------

static constexpr double deg_to_rad = 0.0174532925199433;

// cos and sin of whole-degree angles, as the library computes them; the
// launch angle is a whole degree, so a table spares two calls per launch.
static constexpr int trig_lo = -1080, trig_hi = 1080;
struct trig_pair {
    double c, s;
};
static std::array<trig_pair, trig_hi - trig_lo + 1> trig_table = [] {
    std::array<trig_pair, trig_hi - trig_lo + 1> t{};
    for (int d = trig_lo; d <= trig_hi; ++d) {
        double phi = d * deg_to_rad;
        t[d - trig_lo] = {std::cos(phi), std::sin(phi)};
    }
    return t;
}();

static inline trig_pair trig_deg(int theta)
{
    if (theta >= trig_lo && theta <= trig_hi)
        return trig_table[theta - trig_lo];
    double phi = theta * deg_to_rad;
    return {std::cos(phi), std::sin(phi)};
}

void alusta(particle &p)
{
    p.x = float(ax + rnd(-15, 15));
    p.y = float(ay);
    int half = kulma / 2;
    int theta = int(rnd(-half, half) + 90.0);  // 90 is straight up
    double s = rnd(minvoima, maxvoima);
    trig_pair t = trig_deg(theta);
    p.vx = float(s * t.c);
    p.vy = float(-s * t.s);
    p.age = 0;
    p.koko = float(rnd(minkoko, maxkoko));
}

// ---- The pass --------------------------------------------------------------

// The 3 x 3 square of a particle, clipped to the surface like a fill would be.
static void put_square(SDL_Surface *screen, int x, int y, Uint32 colour)
{
    int x0 = x < 0 ? 0 : x, x1 = x + dot_size > screen->w ? screen->w : x + dot_size;
    int y0 = y < 0 ? 0 : y, y1 = y + dot_size > screen->h ? screen->h : y + dot_size;
    for (int row = y0; row < y1; ++row) {
        Uint32 *line = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + row * screen->pitch);
        for (int col = x0; col < x1; ++col)
            line[col] = colour;
    }
}

static inline bool outside_area(double x, double y)
{
    return x >= area_w || y >= area_h || x < 0 || y < 0;
}

void particle_pass(SDL_Surface *screen, particle *particles, bool bounce)
{
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) < 0)
        return;
    const double pull_div = painovoima;
    for (int i = 0; i < n; ++i) {
        particle &p = particles[i];
        // Drawn where it stood at the start of the pass; a fresh launch is not.
        if (p.age >= 1)
            put_square(screen, int(p.x), int(p.y), palette[p.age]);
        p.age = int(p.age + double(p.koko));
        double vx = p.vx, vy = p.vy;
        if (bounce) {
            if (p.x + vx < 0 || p.x + vx >= area_w)
                vx = -vx;
            if (p.y + vy < 0 || p.y + vy >= area_h)
                vy = -vy;
        }
        double x = p.x + vx, y = p.y + vy;
        p.x = float(x);
        p.y = float(y);
        p.vx = float(vx);
        p.vy = float(vy + p.koko / pull_div);  // pull grows with koko
        if (p.age > 254 || outside_area(x, y))
            alusta(p);
    }
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
}
