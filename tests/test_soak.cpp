// A long run of the frame loop's work driven by random keys and mouse, with
// the invariants checked after every pass.
#include "picture.h"
#include "shell.h"
#include "support.h"

#include <climits>
#include <cstring>
#include <random>

// A 1024 x 768 x 32 surface inside a larger buffer; the bytes around it and
// past each row's end must never change.
struct guarded_surface {
    static constexpr int guard_rows = 16, pitch = screen_w * 4 + 256;
    static constexpr uint8_t canary = 0xA5;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(size_t(pitch) * (screen_h + 2 * guard_rows), canary);
    SDL_Surface *surface = SDL_CreateRGBSurfaceFrom(buffer.data() + guard_rows * pitch, screen_w, screen_h, 32,
                                                    pitch, 0xFF0000, 0xFF00, 0xFF, 0);
    ~guarded_surface() { SDL_FreeSurface(surface); }

    bool intact() const
    {
        auto untouched = [](const uint8_t *p, size_t len) {
            return len == 0 || (p[0] == canary && memcmp(p, p + 1, len - 1) == 0);
        };
        const size_t guard = size_t(guard_rows) * pitch;
        if (!untouched(buffer.data(), guard) || !untouched(buffer.data() + buffer.size() - guard, guard))
            return false;
        for (int y = 0; y < screen_h; ++y)
            if (!untouched(buffer.data() + guard + size_t(y) * pitch + screen_w * 4, pitch - screen_w * 4))
                return false;
        return true;
    }
};

class Soak : public EffectTest {
  protected:
    guarded_surface screen;
    SDL_Surface *picture = nullptr;
    bool quit = false, bounce = false;
    long passes = 0;

    void SetUp() override
    {
        ASSERT_NE(test_screen(), nullptr);
        ASSERT_NE(screen.surface, nullptr);
        picture = in_display_format(SDL_CreateRGBSurface(SDL_SWSURFACE, screen_w, 255, 24, 0xFF0000, 0xFF00, 0xFF, 0));
        seed_rnd(5);
        for (int i = 0; i < n; ++i)
            alusta(pool[i]);
    }
    void TearDown() override { SDL_FreeSurface(picture); }

    // The frame loop's work for one pass, and every check after it.
    void pass(const Uint8 *keys, Uint8 buttons, int mouse_x, int mouse_y)
    {
        quit = false;
        apply_controls(keys, buttons, mouse_x, mouse_y, quit, bounce, pool.data());
        ASSERT_EQ(quit, keys[SDLK_ESCAPE] != 0);
        draw_frame(screen.surface, picture, pool.data(), bounce);
        ++passes;

        ASSERT_EQ(n % 1000, 0) << "pass " << passes;
        ASSERT_TRUE(n >= 1000 && n <= 999000) << n;
        ASSERT_TRUE(painovoima >= 1 && painovoima <= 50) << painovoima;
        ASSERT_TRUE(ax >= 0 && ax <= 1020 && ay >= 0 && ay <= 764) << ax << "," << ay;
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(pool[i].age >= 0 && pool[i].age <= 254) << "slot " << i << " age " << pool[i].age;
        ASSERT_TRUE(screen.intact()) << "a write outside the surface in pass " << passes;
    }
};

TEST_F(Soak, TwentyThousandPassesOfRandomSteering)
{
    std::mt19937 random(20261208);
    auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const SDLKey controls[] = {SDLK_ESCAPE, SDLK_q, SDLK_w, SDLK_e, SDLK_r, SDLK_b, SDLK_a, SDLK_s};
    Uint8 keys[SDLK_LAST] = {};

    auto streak = [&](int length, bool allow_a) {
        memset(keys, 0, sizeof keys);
        for (SDLKey k : controls)
            keys[k] = chance(0.3);
        keys[SDLK_a] &= allow_a && n < 60000;  // the million comes in its own stretch
        Uint8 buttons = Uint8(between(0, 31));
        int mouse_x = chance(0.7) ? between(0, 1023) : between(-100000, 100000);
        int mouse_y = chance(0.7) ? between(0, 767) : chance(0.5) ? INT_MIN + between(0, 9) : INT_MAX - between(0, 9);
        for (int i = 0; i < length && !HasFatalFailure(); ++i)
            pass(keys, buttons, mouse_x + between(-3, 3), mouse_y);
    };

    while (passes < 18700 && !HasFatalFailure()) {
        if (chance(0.02)) {
            // q or w held long at the ends of the int range.
            bool widen = chance(0.5);
            kulma = widen ? INT_MAX - between(0, 2000) : INT_MIN + between(0, 2000);
            memset(keys, 0, sizeof keys);
            keys[widen ? SDLK_q : SDLK_w] = 1;
            for (int i = 0; i < 600 && !HasFatalFailure(); ++i)
                pass(keys, SDL_BUTTON(1), between(-10, 1030), between(-10, 780));
            ASSERT_GE(kulma, widen ? INT_MAX - 4 : INT_MIN);
            ASSERT_LE(kulma, widen ? INT_MAX : INT_MIN + 4);
            kulma = 45;
        } else {
            streak(between(1, 300), true);
        }
    }

    // A stretch at the most particles there can be, still steered at random.
    memset(keys, 0, sizeof keys);
    keys[SDLK_a] = 1;
    while (n < max_particles && !HasFatalFailure())
        pass(keys, 0, 0, 0);
    ASSERT_EQ(n, max_particles);
    while (passes < 20000 && !HasFatalFailure()) {
        streak(between(1, 30), false);
        if (n < max_particles) {  // s was held: back to the top
            memset(keys, 0, sizeof keys);
            keys[SDLK_a] = 1;
            while (n < max_particles && !HasFatalFailure())
                pass(keys, 0, 0, 0);
        }
    }
    EXPECT_GE(passes, 20000);
}

TEST_F(Soak, SquaresOffTheMapAreDrawnClippedNotOutside)
{
    // No pass ever leaves a drawn particle off the screen; if one were, its
    // square is clipped to the surface, with or without the corner map.
    for (int count : {1000, 30000}) {
        n = count;
        for (int i = 0; i < n; ++i)
            pool[i] = make_particle(float(i % 1021), float(i % 765), 0, 0, 100, 5);
        pool[0] = make_particle(-2, 5, 0, 0, 100, 5);
        pool[1] = make_particle(1023, 766, 0, 0, 100, 5);
        pool[2] = make_particle(-40000, -40000, 0, 0, 100, 5);
        SDL_FillRect(screen.surface, nullptr, 0);
        particle_pass(screen.surface, pool.data(), false);
        EXPECT_TRUE(screen.intact()) << count;
        EXPECT_EQ(pixel_at(screen.surface, 0, 5), palette[100]) << count;
        EXPECT_EQ(pixel_at(screen.surface, 1023, 767), palette[100]) << count;
    }
}
