// Shared helpers for the tests: a real display surface and settings that
// every test starts from and leaves as it found them.
#pragma once

#include "effect.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#ifdef __EMSCRIPTEN__
#include "memory_surface.h"

// The page's 1024 x 768 frame in memory, as the page draws it (Emscripten's
// SDL has no screen under node).
inline SDL_Surface *test_screen()
{
    static SDL_Surface *screen = memory_surface(screen_w, screen_h);
    return screen;
}
#else
// The 1024 x 768 x 32 display surface of SDL's dummy driver, opened once.
inline SDL_Surface *test_screen()
{
    static SDL_Surface *screen = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        if (SDL_Init(SDL_INIT_VIDEO) < 0)
            return static_cast<SDL_Surface *>(nullptr);
        return SDL_SetVideoMode(screen_w, screen_h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    }();
    return screen;
}
#endif

inline Uint32 pixel_at(SDL_Surface *s, int x, int y)
{
    return reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch)[x];
}

inline void fill_screen(SDL_Surface *s, Uint32 value)
{
    SDL_FillRect(s, nullptr, value);
}

struct saved_settings {
    int n_, painovoima_, kulma_, ax_, ay_, minvoima_, maxvoima_, minkoko_, maxkoko_;
    saved_settings()
        : n_(n), painovoima_(painovoima), kulma_(kulma), ax_(ax), ay_(ay), minvoima_(minvoima),
          maxvoima_(maxvoima), minkoko_(minkoko), maxkoko_(maxkoko)
    {
    }
    ~saved_settings()
    {
        n = n_, painovoima = painovoima_, kulma = kulma_, ax = ax_, ay = ay_;
        minvoima = minvoima_, maxvoima = maxvoima_, minkoko = minkoko_, maxkoko = maxkoko_;
    }
};

// Every test may change the settings; they are put back afterwards.
class EffectTest : public ::testing::Test {
  protected:
    saved_settings saved;
    std::vector<particle> pool = std::vector<particle>(pool_size);
};

inline particle make_particle(float x, float y, float vx, float vy, int age, float koko)
{
    particle p;
    p.x = x, p.y = y, p.vx = vx, p.vy = vy, p.age = age, p.koko = koko;
    return p;
}
