#include "effect.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <utility>

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
alignas(64) static uint16_t rng_buffer[rng_buffered + rng_lanes];  // room for a whole round past the end
static int rng_next = rng_buffered;

static void rng_top_up();  // keeps the draws not yet taken and makes the rest anew

static inline unsigned rand15()
{
    if (rng_next == rng_buffered)
        rng_top_up();
    return rng_buffer[rng_next++];
}

void seed_rnd(uint32_t seed)
{
    rng_state = seed;
    rng_next = rng_buffered;
}

// A 15-bit draw r scaled to [a, b + 1). The span is formed in 64 bits: b - a + 1
// overflows an int for the widest fans.
static inline double scaled(int a, int b, unsigned r)
{
    return a + double(int64_t(b) - a + 1) * r * 3.0517578125e-05;
}

double rnd(int a, int b)
{
    return scaled(a, b, rand15());
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
    // The four draws, in this order: spread, angle, speed, koko.
    if (rng_next + 4 > rng_buffered)
        rng_top_up();
    const uint16_t *r = rng_buffer + rng_next;
    rng_next += 4;
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
static constexpr int spare_cell = map_w * map_h;  // where a square that is not drawn marks
static uint32_t corner_map[map_w * map_h + 1];

static inline uint32_t *map_row(int y)
{
    return corner_map + (y + map_top) * map_w + map_left;
}

static inline uint32_t corner_mark(int slot, int age)
{
    return uint32_t(slot) << 8 | uint32_t(age);  // only squares mark, so age >= 1 and 0 stays "no square"
}

struct area {
    int x0, y0, x1, y1;  // the corners that may be marked; none if x1 < x0 or y1 < y0
};

// ---- The pass --------------------------------------------------------------

static constexpr int block = 1024;

// What the step of one block leaves for its drawing and relaunching.
struct block_work {
    int32_t x[block], y[block];  // where the square goes
    int32_t age[block];          // its palette index, 0 for none
    int32_t relaunch[block + 8];  // the slots to launch again, in order; 8 spare
    int listed;
    // The bounds of all corners so far in this pass, lane by lane: those with
    // no square too, which costs a little painting and saves a mask per bound.
    alignas(32) int32_t lo_x[8], lo_y[8], hi_x[8], hi_y[8];
    unsigned stray;  // nonzero: a square to draw whose corner is off the map
};

// For each set of lanes (bit k for lane k), the lanes in order, packed to the
// front: the relaunch list of a group of eight is one lookup.
static constexpr std::array<uint64_t, 256> packed_lanes = [] {
    std::array<uint64_t, 256> t{};
    for (unsigned bits = 0; bits < 256; ++bits)
        for (int lane = 0, at = 0; lane < 8; ++lane)
            if (bits >> lane & 1)
                t[bits] |= uint64_t(lane) << (8 * at++);
    return t;
}();

static inline bool on_map(int x, int y)
{
    return unsigned(x) <= unsigned(area_w) && unsigned(y) <= unsigned(area_h);
}

// Draw position, ageing, bounce, move and pull for one particle, and with
// mark its corner marked in the map. All sums in double, rounded to float
// where they are stored; edge tests on the sums.
template <bool bounce, bool mark>
static inline __attribute__((always_inline)) void step_one(particle &p, int first, double pull_div, block_work &w,
                                                           int j)
{
    const float x = p.x, y = p.y, koko = p.koko;
    const int age = p.age;
    const int draw_x = int(x), draw_y = int(y);
    w.x[j] = draw_x;
    w.y[j] = draw_y;
    w.age[j] = age;
    const bool marked = age >= 1 && on_map(draw_x, draw_y);
    if (mark && marked)
        map_row(draw_y)[draw_x] = corner_mark(first + j, age);
    w.stray |= age >= 1 && !marked;
    w.lo_x[0] = std::min(w.lo_x[0], draw_x), w.hi_x[0] = std::max(w.hi_x[0], draw_x);
    w.lo_y[0] = std::min(w.lo_y[0], draw_y), w.hi_y[0] = std::max(w.hi_y[0], draw_y);
    const int new_age = int(age + double(koko));
    double vx = p.vx, vy = p.vy;
    if (bounce) {
        vx = (x + vx < 0 || x + vx >= area_w) ? -vx : vx;
        vy = (y + vy < 0 || y + vy >= area_h) ? -vy : vy;
    }
    const double nx = x + vx, ny = y + vy;
    p.x = float(nx);
    p.y = float(ny);
    p.vx = float(vx);
    p.vy = float(vy + koko / pull_div);  // pull grows with koko
    p.age = new_age;
    w.relaunch[w.listed] = first + j;
    w.listed += (new_age > 254) | (nx >= area_w) | (ny >= area_h) | (nx < 0) | (ny < 0);
}

// Vectors for doing the same to eight particles at once.
typedef float f16 __attribute__((vector_size(64)));
typedef int i16 __attribute__((vector_size(64)));
typedef float f8 __attribute__((vector_size(32)));
typedef int i8 __attribute__((vector_size(32)));
typedef double d8 __attribute__((vector_size(64)));
typedef long long l8 __attribute__((vector_size(64)));
typedef uint32_t u16 __attribute__((vector_size(64)));
typedef uint32_t u8 __attribute__((vector_size(32)));
static_assert(sizeof(particle) == 6 * sizeof(float));

// step_one for whole groups of eight, and the painting and relaunching on
// vectors, built for three instruction sets; the widest the processor can
// run is used.
#ifndef __clang__  // clang builds (the fuzzer) run the baseline alone
#pragma GCC push_options
#pragma GCC target("arch=x86-64-v4")
#define STEP_AVX512 1  // the target pragma does not set __AVX512F__ and friends in C++
#define STEP_AVX2 1
namespace avx512 {
#include "effect_step.inc"
}
#undef STEP_AVX512
#pragma GCC pop_options
#pragma GCC push_options
#pragma GCC target("arch=x86-64-v3")
namespace avx2 {
#include "effect_step.inc"
}
#undef STEP_AVX2
#pragma GCC pop_options
#endif
namespace baseline {
#include "effect_step.inc"
}

struct pass_kernels {
    void (*step_block)(particle *, int, int, double, bool, bool, block_work &);
    void (*take_row)(uint32_t *, uint32_t *, int, int);
    void (*paint_row)(Uint32 *, const uint32_t *, const uint32_t *, const uint32_t *, int, int);
    void (*launch_eight)(particle *, const int *, int);
    void (*make_draws)(uint16_t *, int);
};

static simd_level widest_level()
{
#ifndef __clang__
    __builtin_cpu_init();
    if (__builtin_cpu_supports("x86-64-v4"))
        return simd_level::avx512;
    if (__builtin_cpu_supports("x86-64-v3"))
        return simd_level::avx2;
#endif
    return simd_level::baseline;
}

static simd_level level_in_use = widest_level();

simd_level use_simd_level(simd_level wanted)
{
    level_in_use = std::min(wanted, widest_level());
    return level_in_use;
}

static pass_kernels kernels_for(simd_level level)
{
    switch (level) {
#ifndef __clang__
    case simd_level::avx512:
        return {avx512::step_block, avx512::take_row, avx512::paint_row, avx512::launch_eight, avx512::make_draws};
    case simd_level::avx2:
        return {avx2::step_block, avx2::take_row, avx2::paint_row, avx2::launch_eight, avx2::make_draws};
#endif
    default:
        return {baseline::step_block, baseline::take_row, baseline::paint_row, baseline::launch_eight,
                baseline::make_draws};
    }
}

// Paints the marked squares and leaves the map clear for the next pass. Each
// map row is taken once, as the highest mark over each three columns; a
// screen row is then the highest over the last three rows taken. The two rows
// above the marks and those below them hold no marks, so taking them gives 0.
static void paint_marks(SDL_Surface *screen, const area &marked, const pass_kernels &k)
{
    if (marked.x1 < marked.x0 || marked.y1 < marked.y0)
        return;
    static uint32_t across[3][screen_w];
    const int to_x = std::min(marked.x1 + dot_size, screen_w), to_y = std::min(marked.y1 + dot_size, screen_h);
    for (int y = marked.y0 - 2; y < to_y; ++y) {
        k.take_row(across[(y + 3) % 3], map_row(y), marked.x0, to_x);
        if (y < marked.y0)
            continue;
        Uint32 *out = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + y * screen->pitch);
        k.paint_row(out, across[y % 3], across[(y + 2) % 3], across[(y + 1) % 3], marked.x0, to_x);
    }
}

// Draws the squares of one stepped block straight onto the screen. A fresh
// launch has age 0 and no square.
static void draw_squares(SDL_Surface *screen, const block_work &w, int count)
{
    for (int j = 0; j < count; ++j)
        if (w.age[j] >= 1)
            put_square(screen, w.x[j], w.y[j], palette[w.age[j]]);
}

// With the squares marked in the map, a square whose corner is off the map
// is drawn at once; none ever is.
static void draw_strays(SDL_Surface *screen, const block_work &w, int count)
{
    if (w.stray)
        for (int j = 0; j < count; ++j)
            if (w.age[j] >= 1 && !on_map(w.x[j], w.y[j]))
                put_square(screen, w.x[j], w.y[j], palette[w.age[j]]);
}

static void rng_top_up()
{
    const int kept = rng_buffered - rng_next;
    memmove(rng_buffer, rng_buffer + rng_next, kept * sizeof rng_buffer[0]);
    kernels_for(level_in_use).make_draws(rng_buffer + kept, rng_buffered - kept);
    rng_next = 0;
}

// Launches the listed particles again, in slot order, eight at a time.
static void launch_again(particle *p, const int *list, int listed, const pass_kernels &k)
{
    for (int i = 0; i < listed; i += 8) {
        if (rng_next + 32 > rng_buffered)
            rng_top_up();
        k.launch_eight(p, list + i, std::min(8, listed - i));
    }
}

void particle_pass(SDL_Surface *screen, particle *particles, bool bounce)
{
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) < 0)
        return;
    const pass_kernels k = kernels_for(level_in_use);
    const double pull_div = painovoima;
    const bool use_map = n >= map_threshold;
    static block_work w;
    std::fill_n(w.lo_x, 8, screen_w), std::fill_n(w.lo_y, 8, screen_h);
    std::fill_n(w.hi_x, 8, -1), std::fill_n(w.hi_y, 8, -1);
    for (int first = 0; first < n; first += block) {
        particle *p = particles + first;
        const int count = std::min(block, n - first);
        // Drawn where it stood at the start of the pass.
        k.step_block(p, first, count, pull_div, bounce, use_map, w);
        if (use_map)
            draw_strays(screen, w, count);
        else
            draw_squares(screen, w, count);
        launch_again(particles, w.relaunch, w.listed, k);
    }
    if (use_map) {
        // Off the map nothing is marked.
        area marked = {std::max(*std::min_element(w.lo_x, w.lo_x + 8), 0),
                       std::max(*std::min_element(w.lo_y, w.lo_y + 8), 0),
                       std::min(*std::max_element(w.hi_x, w.hi_x + 8), area_w),
                       std::min(*std::max_element(w.hi_y, w.hi_y + 8), area_h)};
        paint_marks(screen, marked, k);
    }
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
}
