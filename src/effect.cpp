#include "effect.h"

#include <algorithm>
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

// A 64-bit LCG whose top 15 bits are the draw. Draws are made a buffer at a
// time, from eight lanes that stand eight steps apart so that the multiplies
// overlap; the numbers are the same as stepping one at a time. Before the
// first seed it runs from a fixed state, so the first launches repeat.
static constexpr uint64_t lcg_mul = 6364136223846793005ULL;
static constexpr uint64_t lcg_inc = 1442695040888963407ULL;

struct lcg_jump {
    uint64_t mul, inc;
    uint64_t apply(uint64_t state) const { return state * mul + inc; }
};

static constexpr lcg_jump lcg_steps(int steps)
{
    lcg_jump j = {1, 0};
    for (int i = 0; i < steps; ++i)
        j = {j.mul * lcg_mul, j.inc * lcg_mul + lcg_inc};
    return j;
}

static constexpr int rng_lanes = 8;
static constexpr int rng_buffered = 512;
static uint64_t rng_state = 0x2545F4914F6CDD1DULL;  // the state before the next unbuffered draw
static uint16_t rng_buffer[rng_buffered];
static int rng_next = rng_buffered;

static void rng_refill()
{
    static constexpr lcg_jump whole = lcg_steps(rng_buffered), lane_step = lcg_steps(rng_lanes);
    uint64_t lane[rng_lanes];
    for (int j = 0; j < rng_lanes; ++j)
        lane[j] = rng_state;
    for (int j = 0; j < rng_lanes; ++j)
        for (int k = 0; k <= j; ++k)
            lane[j] = lane[j] * lcg_mul + lcg_inc;
    for (int i = 0; i < rng_buffered; i += rng_lanes)
        for (int j = 0; j < rng_lanes; ++j) {
            rng_buffer[i + j] = uint16_t(lane[j] >> 49);
            lane[j] = lane_step.apply(lane[j]);
        }
    rng_state = whole.apply(rng_state);
    rng_next = 0;
}

static inline unsigned rand15()
{
    if (rng_next == rng_buffered)
        rng_refill();
    return rng_buffer[rng_next++];
}

void seed_rnd(uint32_t seed)
{
    rng_state = seed;
    rng_next = rng_buffered;
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

// ---- Drawing ---------------------------------------------------------------

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

// With many particles most squares land on others, so instead of painting
// nine pixels for each, a pass marks each square's corner in a map with its
// slot and age, and then paints every pixel once with the colour of the
// highest slot whose square covers it: the square drawn last.
static constexpr int map_threshold = 20000;
static constexpr int map_left = 8, map_top = 2;  // zero margins for the look back
static constexpr int map_w = screen_w + 2 * map_left, map_h = screen_h + 2 * map_top;
static uint32_t corner_map[map_w * map_h];

static inline uint32_t *map_row(int y)
{
    return corner_map + (y + map_top) * map_w + map_left;
}

static inline uint32_t corner_mark(int slot, int age)
{
    return uint32_t(slot + 1) << 8 | uint32_t(age);  // 0 stays "no square"
}

struct area {
    int x0 = screen_w, y0 = screen_h, x1 = -1, y1 = -1;
};

__attribute__((target_clones("arch=x86-64-v3", "default")))
static void paint_row(Uint32 *out, const uint32_t *r0, const uint32_t *r1, const uint32_t *r2, int from, int to)
{
    for (int x = from; x < to; ++x) {
        uint32_t v0 = std::max(std::max(r0[x], r0[x - 1]), r0[x - 2]);
        uint32_t v1 = std::max(std::max(r1[x], r1[x - 1]), r1[x - 2]);
        uint32_t v2 = std::max(std::max(r2[x], r2[x - 1]), r2[x - 2]);
        uint32_t v = std::max(std::max(v0, v1), v2);
        out[x] = v ? palette[v & 255] : out[x];
    }
}

// Paints the marked squares and leaves the map clear for the next pass.
static void paint_marks(SDL_Surface *screen, const area &marked)
{
    if (marked.x1 < 0)
        return;
    int to_x = std::min(marked.x1 + dot_size, screen_w), to_y = std::min(marked.y1 + dot_size, screen_h);
    for (int y = marked.y0; y < to_y; ++y) {
        Uint32 *out = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + y * screen->pitch);
        paint_row(out, map_row(y), map_row(y - 1), map_row(y - 2), marked.x0, to_x);
    }
    for (int y = marked.y0; y <= marked.y1; ++y)
        std::fill(map_row(y) + marked.x0, map_row(y) + marked.x1 + 1, 0u);
}

// ---- The pass --------------------------------------------------------------

static constexpr int block = 256;

// What one block of the pass leaves for its drawing and relaunching.
struct block_work {
    int32_t x[block], y[block];  // where the square goes
    int32_t age[block];          // its palette index, 0 for none
    uint8_t relaunch[block];
};

// Draw position, ageing, bounce, move and pull for particles [0, count):
// a loop without branches, so the compiler can run it on vectors.
template <bool bounce>
__attribute__((target_clones("arch=x86-64-v3", "default")))
static void step_block(particle *p, int count, double pull_div, block_work &w)
{
    for (int j = 0; j < count; ++j) {
        const float x = p[j].x, y = p[j].y, koko = p[j].koko;
        const int age = p[j].age;
        w.x[j] = int(x);
        w.y[j] = int(y);
        w.age[j] = age;
        const int new_age = int(age + double(koko));
        double vx = p[j].vx, vy = p[j].vy;
        if (bounce) {
            vx = (x + vx < 0 || x + vx >= area_w) ? -vx : vx;
            vy = (y + vy < 0 || y + vy >= area_h) ? -vy : vy;
        }
        const double nx = x + vx, ny = y + vy;
        p[j].x = float(nx);
        p[j].y = float(ny);
        p[j].vx = float(vx);
        p[j].vy = float(vy + koko / pull_div);  // pull grows with koko
        p[j].age = new_age;
        w.relaunch[j] = (new_age > 254) | (nx >= area_w) | (ny >= area_h) | (nx < 0) | (ny < 0);
    }
}

static inline bool on_map(int x, int y)
{
    return unsigned(x) <= unsigned(area_w) && unsigned(y) <= unsigned(area_h);
}

void particle_pass(SDL_Surface *screen, particle *particles, bool bounce)
{
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) < 0)
        return;
    const double pull_div = painovoima;
    const bool use_map = n >= map_threshold;
    area marked;
    static block_work w;
    for (int first = 0; first < n; first += block) {
        particle *p = particles + first;
        const int count = std::min(block, n - first);
        if (bounce)
            step_block<true>(p, count, pull_div, w);
        else
            step_block<false>(p, count, pull_div, w);
        // Drawn where it stood at the start of the pass; a fresh launch is not.
        for (int j = 0; j < count; ++j) {
            const int age = w.age[j], x = w.x[j], y = w.y[j];
            if (age < 1)
                continue;
            if (use_map && on_map(x, y)) {
                map_row(y)[x] = corner_mark(first + j, age);
                marked = {std::min(marked.x0, x), std::min(marked.y0, y), std::max(marked.x1, x),
                          std::max(marked.y1, y)};
            } else {
                put_square(screen, x, y, palette[age]);
            }
        }
        for (int j = 0; j < count; ++j)
            if (w.relaunch[j])
                alusta(p[j]);
    }
    if (use_map)
        paint_marks(screen, marked);
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
}
