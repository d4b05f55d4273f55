// The real pass against the plain one: from the same pool and seed, every
// frame's pixels and every particle's bytes must come out identical.
#include "plain_pass.h"
#include "simd.h"
#include "shell.h"
#include "support.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>

static uint64_t hash_words(const void *data, size_t bytes)
{
    const uint8_t *p = static_cast<const uint8_t *>(data);
    uint64_t h = 0x9E3779B97F4A7C15ULL;
    size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
        uint64_t w;
        memcpy(&w, p + i, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 29;
    }
    for (; i < bytes; ++i)
        h = (h ^ p[i]) * 0x100000001B3ULL;
    return h;
}

static uint64_t hash_screen(SDL_Surface *s)
{
    uint64_t h = 0;
    for (int y = 0; y < s->h; ++y)
        h = h * 31 + hash_words(static_cast<Uint8 *>(s->pixels) + y * s->pitch, size_t(s->w) * 4);
    return h;
}

// A scene: the settings and the bounce flag for each frame, changed as a user would.
struct scene {
    const char *name;
    int frames;
    std::function<void(int frame, bool &bounce, particle *pool)> steer;
};

// Runs a scene with one pass or the other; the hash of the pool and the
// screen after every frame, and the final pool.
static std::vector<uint64_t> run_scene(const scene &s, bool plain, std::vector<particle> &pool)
{
    saved_settings keep;
    SDL_Surface *screen = test_screen();
    seed_rnd(20261208);
    for (int i = 0; i < n; ++i)
        alusta(pool[i]);
    std::vector<uint64_t> hashes;
    bool bounce = false;
    for (int frame = 0; frame < s.frames; ++frame) {
        s.steer(frame, bounce, pool.data());
        if (frame % 7 != 6)  // now and then the squares pile up as they do without a picture
            for (int y = 0; y < screen_h; ++y) {
                SDL_Rect row = {0, Sint16(y), screen_w, 1};
                SDL_FillRect(screen, &row, 0x01000000u * Uint32(y & 0x7F) + Uint32(y));
            }
        if (plain)
            plain_pass(screen, pool.data(), bounce);
        else
            particle_pass(screen, pool.data(), bounce);
        hashes.push_back(hash_words(pool.data(), size_t(n) * sizeof(particle)) ^ hash_screen(screen) * 3);
    }
    return hashes;
}

// Every vector level this processor has must match, not just the widest.
static void expect_same_as_plain(const scene &s)
{
    ASSERT_NE(test_screen(), nullptr);
    std::vector<particle> plain_pool(pool_size);
    std::vector<uint64_t> plain = run_scene(s, true, plain_pool);
    const simd_level widest = use_simd_level(simd_level::avx512);
    for (simd_level level : {simd_level::baseline, simd_level::sse, simd_level::avx2, simd_level::avx512}) {
        if (use_simd_level(level) != level)
            continue;
        std::vector<particle> fast_pool(pool_size);
        std::vector<uint64_t> fast = run_scene(s, false, fast_pool);
        ASSERT_EQ(fast.size(), plain.size());
        for (size_t f = 0; f < fast.size(); ++f)
            ASSERT_EQ(fast[f], plain[f]) << s.name << ", level " << simd_level_name(level) << ": first difference after frame " << f;
        EXPECT_EQ(memcmp(fast_pool.data(), plain_pool.data(), pool_size * sizeof(particle)), 0);
    }
    use_simd_level(widest);
}

static void hold_key(SDLKey key, bool &bounce, particle *pool)
{
    Uint8 keys[key_states] = {};
    keys[key] = 1;
    bool quit = false;
    apply_controls(keys, 0, 0, 0, quit, bounce, pool);
}

TEST(FastPass, DefaultFountain)
{
    expect_same_as_plain({"defaults", 400, [](int, bool &, particle *) {}});
}

TEST(FastPass, BounceOnAndOff)
{
    expect_same_as_plain({"bounce", 400, [](int f, bool &bounce, particle *) {
                              bounce = f % 150 < 100;
                              kulma = f < 200 ? 45 : 360;
                          }});
}

TEST(FastPass, FanWidths)
{
    const int widths[] = {0, 45, 360, 1, -45, 182, INT_MAX - 2, INT_MIN + 3, 2000000, -700};
    expect_same_as_plain({"fans", 400, [&](int f, bool &bounce, particle *) {
                              kulma = widths[(f / 40) % 10];
                              bounce = f % 80 >= 40;
                          }});
}

TEST(FastPass, PullAtItsEnds)
{
    expect_same_as_plain({"pull", 300, [](int f, bool &bounce, particle *) {
                              painovoima = (f / 50) % 2 ? 50 : 1;
                              bounce = f >= 200;
                          }});
}

TEST(FastPass, EmitterInTheCorners)
{
    const int corners[][2] = {{0, 0}, {1020, 0}, {0, 764}, {1020, 764}, {510, 380}};
    expect_same_as_plain({"corners", 400, [&](int f, bool &bounce, particle *) {
                              ax = corners[(f / 40) % 5][0];
                              ay = corners[(f / 40) % 5][1];
                              kulma = f < 200 ? 360 : 90;
                              bounce = f % 120 < 60;
                          }});
}

// Frames at a million particles: under qemu, whose x87 and AVX2 are slow,
// enough to cross bounce and the wide fan, each level by the plain pass.
#ifdef LAAVA_EMULATED
constexpr int frames_at_the_top = 20;
#else
constexpr int frames_at_the_top = 100;
#endif

TEST(FastPass, ParticleCountFromThousandToMillion)
{
    // Grows through the range as key a does, runs a while at the top, then drops.
    const int top = 20, drop = top + frames_at_the_top;
    expect_same_as_plain({"count", drop + 20, [=](int f, bool &bounce, particle *pool) {
                              if (f < top)
                                  for (int i = 0; i < 50; ++i)
                                      hold_key(SDLK_a, bounce, pool);
                              else if (f == top)
                                  while (n < max_particles)
                                      hold_key(SDLK_a, bounce, pool);
                              else if (f >= drop)
                                  hold_key(SDLK_s, bounce, pool);
                              bounce = f >= top + frames_at_the_top * 2 / 5 && f < top + frames_at_the_top * 7 / 10;
                              kulma = f < top + frames_at_the_top / 5 ? 45 : 360;
                          }});
}

// Counts that leave a few particles over after the groups of eight, with and
// without the corner map: those go one at a time.
TEST(FastPass, CountsOutsideTheThousands)
{
    const int counts[] = {20005, 1003, 33339, 20000 + 7, 999};
    expect_same_as_plain({"odd counts", 250, [&](int f, bool &bounce, particle *pool) {
                              if (f % 50)
                                  return;
                              const int wanted = counts[f / 50];
                              for (int i = n; i < wanted; ++i)
                                  alusta(pool[i]);
                              n = wanted;
                              bounce = f >= 100;
                          }});
}

// Sums that land on an edge when rounded to float but stay below it in
// double: not relaunched, and with bounce on not reversed.
TEST(FastPass, SumsThatRoundOntoTheEdge)
{
    const float left_of_x_edge = std::nextafter(float(area_w), 0.0f), above_y_edge = std::nextafter(float(area_h), 0.0f);
    expect_same_as_plain({"edge sums", 40, [&](int f, bool &bounce, particle *pool) {
                              bounce = f % 2;
                              for (int slot : {3, 21, 40, 517})
                                  pool[slot] = make_particle(left_of_x_edge, 300, 0.00005f, 0, 10, 5);
                              for (int slot : {9, 30, 700})
                                  pool[slot] = make_particle(400, above_y_edge, 0, 0.00005f, 10, 5);
                          }});
}

// Records the program never makes: squares whose corner is off the area,
// partly on the screen or wholly off it, among squares on the area with
// lower and higher slots that overlap them. With enough particles for the
// map at every level, the square drawn last must still win each pixel.
TEST(FastPass, SquaresHangingOffTheScreen)
{
    const int corners[][2] = {{-1, 300}, {-2, 310}, {1022, 320}, {1023, 330}, {400, -1},
                              {410, -2}, {420, 766}, {430, 767}, {-2, -2}, {1023, 767}};
    expect_same_as_plain({"off the screen", 12, [&](int f, bool &bounce, particle *pool) {
                              if (f == 0) {
                                  for (int i = n; i < 40000; ++i)
                                      alusta(pool[i]);
                                  n = 40000;
                              }
                              bounce = f % 2;
                              int slot = 1000 + f;
                              for (const auto &c : corners) {
                                  // still, so that the pass after keeps them off the area
                                  const float x = float(c[0]), y = float(c[1]);
                                  const float inside_x = std::clamp(x, 0.0f, float(area_w) - 1), inside_y = std::clamp(y, 0.0f, float(area_h) - 1);
                                  pool[slot] = make_particle(inside_x, inside_y, 0, 0, 20, 5);
                                  pool[slot + 1] = make_particle(x, y, 0, 0, 40, 5);
                                  pool[slot + 2] = make_particle(inside_x, inside_y, 0, 0, 60, 5);
                                  pool[slot + 5000] = make_particle(x - 1, y + 1, 0, 0, 80, 5);
                                  slot += 3;
                              }
                              pool[150000] = make_particle(-5000, 300, 0, 0, 30, 5);
                              pool[150001] = make_particle(300, 1e9f, 0, 0, 30, 5);
                          }});
}
