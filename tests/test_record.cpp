// A run steered the same way every time, against the same run recorded on
// amd64: after each frame, a digest of the pool and one of the screen. Any
// architecture, compiler or vector level whose particles or pixels part from
// it by one bit fails, and says at which frame.
#include "shell.h"
#include "simd.h"
#include "support.h"

#include <cinttypes>
#include <cstring>
#include <fstream>
#include <string>

// The person at the controls, over a 600-frame round: the fan widened and
// narrowed past straight up, the pull weakened and strengthened to its
// bounds, bouncing switched on and off, particles added and dropped, and the
// emitter dragged about, now and then past the window's edges.
static void steer(int frame, Uint8 *keys, Uint8 &buttons, int &mouse_x, int &mouse_y)
{
    memset(keys, 0, key_states);
    const int t = frame % 600;
    keys[SDLK_q] = t >= 20 && t < 32;
    keys[SDLK_w] = t >= 200 && t < 230;
    keys[SDLK_e] = t >= 100 && t < 140;
    keys[SDLK_r] = t >= 300 && t < 360;
    keys[SDLK_b] = t == 400 || t == 520;
    keys[SDLK_a] = t == 150 || t == 151;
    keys[SDLK_s] = t == 450 || t == 451;
    buttons = (t >= 50 && t < 90) || (t >= 370 && t < 395) ? SDL_BUTTON(1) : 0;
    mouse_x = (frame * 37) % 1100 - 40;
    mouse_y = (frame * 53) % 600 - 30;
}

static void paint_recorded_picture(SDL_Surface *s)
{
    for (int y = 0; y < 255; ++y)
        for (int x = 0; x < 1024; ++x) {
            Uint32 *p = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch) + x;
            *p = Uint32(Uint8(x / 4)) << 16 | Uint32(Uint8(y * 3)) << 8 | Uint8(x * 7 + y);  // colours, not bytes
        }
}

#ifdef __EMSCRIPTEN__
// The page's pictures are decoded by the browser into such a surface.
static SDL_Surface *recorded_picture()
{
    SDL_Surface *s = memory_surface(1024, 255);
    paint_recorded_picture(s);
    return s;
}

static void free_recorded_picture(SDL_Surface *picture)
{
    free_memory_surface(picture);
}
#else
#include "picture.h"

// The picture, through a BMP file's bytes and the loader.
static SDL_Surface *recorded_picture()
{
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    paint_recorded_picture(s);
    std::vector<Uint8> bytes(4 << 20);
    SDL_RWops *out = SDL_RWFromMem(bytes.data(), int(bytes.size()));
    SDL_SaveBMP_RW(s, out, 1);
    SDL_FreeSurface(s);
    return in_display_format(load_picture(SDL_RWFromMem(bytes.data(), int(bytes.size()))));
}

static void free_recorded_picture(SDL_Surface *picture)
{
    SDL_FreeSurface(picture);
}
#endif

// Four interleaved FNV-style lanes over words, folded to 32 bits: the
// words' values, so the byte order of the machine does not count.
struct digest {
    uint64_t lane[4] = {0xcbf29ce484222325, 0x84222325cbf29ce4, 0x9ce484222325cbf2, 0x2325cbf29ce48422};
    void add4(uint64_t a, uint64_t b, uint64_t c, uint64_t d)
    {
        const uint64_t prime = 0x100000001b3;
        lane[0] = (lane[0] ^ a) * prime, lane[1] = (lane[1] ^ b) * prime;
        lane[2] = (lane[2] ^ c) * prime, lane[3] = (lane[3] ^ d) * prime;
    }
    uint32_t value() const
    {
        uint64_t h = lane[0];
        for (int i = 1; i < 4; ++i)
            h = (h ^ (lane[i] >> 29) ^ lane[i]) * 0x100000001b3;
        return uint32_t(h >> 32);
    }
};

static uint64_t bits(float f)
{
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

static uint32_t pool_digest(const particle *particles, int count)
{
    digest d;
    for (int i = 0; i < count; ++i) {
        const particle &p = particles[i];
        d.add4(bits(p.x) << 32 | bits(p.y), bits(p.vx) << 32 | bits(p.vy), uint64_t(uint32_t(p.age)) << 32 | bits(p.koko),
               uint64_t(i));
    }
    return d.value();
}

// The colours only: SDL 2 underneath may fill the unused top byte.
static uint32_t screen_digest(SDL_Surface *screen)
{
    digest d;
    for (int y = 0; y < screen_h; ++y)
        for (int x = 0; x < screen_w; x += 8) {
            auto two = [&](int at) {
                return uint64_t(pixel_at(screen, at, y) & 0xFFFFFF) << 32 | (pixel_at(screen, at + 1, y) & 0xFFFFFF);
            };
            d.add4(two(x), two(x + 2), two(x + 4), two(x + 6));
        }
    return d.value();
}

// Runs the steered frames, handing each frame's line to `seen`: the pool's
// digest (all the slots ever live), the screen's. Stops when `seen` says.
template <class Seen>
static void recorded_run(int particles, int frames, Seen seen)
{
    saved_settings saved;
    SDL_Surface *screen = test_screen();
    SDL_Surface *picture = recorded_picture();
    EXPECT_NE(picture, nullptr);
    std::vector<particle> pool(pool_size);
    n = particles;
    seed_rnd(20261209);
    for (int i = 0; i < n; ++i)
        alusta(pool[size_t(i)]);
    bool quit = false, bounce = false;
    Uint8 keys[key_states];
    for (int frame = 0; frame < frames; ++frame) {
        Uint8 buttons;
        int mouse_x, mouse_y;
        steer(frame, keys, buttons, mouse_x, mouse_y);
        apply_controls(keys, buttons, mouse_x, mouse_y, quit, bounce, pool.data());
        draw_frame(screen, picture, pool.data(), bounce);
        char line[32];
        snprintf(line, sizeof line, "%08" PRIx32 " %08" PRIx32, pool_digest(pool.data(), particles + 2000),
                 screen_digest(screen));
        if (!seen(frame, std::string(line)))
            break;
    }
    free_recorded_picture(picture);
}

// Compares the first `compared` of the frames recorded in
// tests/recorded/NAME.txt; with LAAVA_RECORD set, writes all of them instead
// (on amd64, once, when the fountain is meant to change).
static void expect_recorded(const std::string &name, int particles, int frames, int compared)
{
    ASSERT_NE(test_screen(), nullptr);
    const SDL_PixelFormat *f = test_screen()->format;
    ASSERT_TRUE(f->BitsPerPixel == 32 && f->Rmask == 0xFF0000 && f->Gmask == 0xFF00 && f->Bmask == 0xFF)
        << "the screen's pixels are not 0x00RRGGBB words: masks " << std::hex << f->Rmask << " " << f->Gmask << " "
        << f->Bmask;
    const std::string path = std::string(LAAVA_RECORDED) + "/" + name + ".txt";
    if (getenv("LAAVA_RECORD")) {
        std::ofstream out(path);
        recorded_run(particles, frames, [&](int, const std::string &line) { return bool(out << line << '\n'); });
        return;
    }
    std::ifstream in(path);
    std::vector<std::string> recorded;
    for (std::string line; std::getline(in, line);)
        recorded.push_back(line);
    ASSERT_EQ(recorded.size(), size_t(frames)) << path;
    recorded_run(particles, compared, [&](int frame, const std::string &line) {
        const std::string &want = recorded[size_t(frame)];
        if (line == want)
            return true;
        ADD_FAILURE() << "on " << simd_level_name(simd_level_in_use()) << ", frame " << frame << " parts from the run"
                      << " recorded in " << path << ": its " << (line.substr(0, 8) != want.substr(0, 8) ? "particles" : "screen")
                      << " differ (" << line << " against " << want << ")";
        return false;
    });
}

// On every level this processor has: each must give the same run.
class RecordedRun : public ::testing::TestWithParam<simd_level> {
  protected:
    void SetUp() override
    {
        if (use_simd_level(GetParam()) != GetParam())
            GTEST_SKIP() << "this processor has no " << simd_level_name(GetParam());
#ifdef LAAVA_SANITIZE  // slowed down: the widest level alone
        if (GetParam() != widest_level())
            GTEST_SKIP() << "the sanitizers run the widest level alone";
#endif
#ifdef LAAVA_EMULATED  // FastPass holds every level to the plain pass; here the two ends
        if (GetParam() != simd_level::baseline && GetParam() != widest_level())
            GTEST_SKIP() << "under qemu the baseline and the widest level alone";
#endif
    }
    void TearDown() override { use_simd_level(widest_level()); }
};

TEST_P(RecordedRun, TwentyThousandParticles)
{
    expect_recorded("20000", 20000, 3000, 3000);
}

// One round of the steering script: 999,000 particles take a while, the
// more so under the sanitizers. Under qemu, whose x87 and AVX2 take
// minutes for a hundred frames of them, the round's first 60 frames.
#ifdef LAAVA_EMULATED
constexpr int most_compared = 60;
#else
constexpr int most_compared = 600;
#endif

TEST_P(RecordedRun, MostParticles)
{
    expect_recorded("999000", max_particles - 2000, 600, most_compared);
}

INSTANTIATE_TEST_SUITE_P(Levels, RecordedRun,
                         ::testing::Values(simd_level::baseline, simd_level::sse, simd_level::avx2,
                                           simd_level::avx512),
                         [](const auto &info) { return std::string(simd_level_name(info.param)); });
