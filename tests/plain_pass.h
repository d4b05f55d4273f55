// The particle pass written out plainly, step by step, with one fill call per
// square and cos and sin at every launch: the yardstick the real pass must
// match to the bit, and the baseline its speed is measured against.
#pragma once

#include "effect.h"

#include <cmath>
#include <cstdlib>

// The draw behind a plain launch: the program's own rnd, or the C library's rand().
using draw_fn = double (*)(int a, int b);

inline double rand_draw(int a, int b)
{
    return a + double(int64_t(b) - a + 1) * (rand() & 0x7fff) * 3.0517578125e-05;
}

inline void plain_alusta(particle &p, draw_fn draw)
{
    p.x = float(ax + draw(-15, 15));
    p.y = float(ay);
    int theta = int(draw(-(kulma / 2), kulma / 2) + 90.0);
    double s = draw(minvoima, maxvoima);
    // A double: where the x87 unit computes (32-bit x86), a bare constant is
    // taken with a long double's precision.
    const double deg_to_rad = 0.0174532925199433;
    double phi = theta * deg_to_rad;
    p.vx = float(s * std::cos(phi));
    p.vy = float(-s * std::sin(phi));
    p.age = 0;
    p.koko = float(draw(minkoko, maxkoko));
}

inline void plain_pass(SDL_Surface *screen, particle *particles, bool bounce, draw_fn draw = rnd)
{
    for (int i = 0; i < n; ++i) {
        particle &p = particles[i];
        // Set whole for each square: SDL's fill clips it in place, which a
        // square hanging off the screen would leave shortened for the rest.
        SDL_Rect dot_rect = {Sint16(int(p.x)), Sint16(int(p.y)), 3, 3};
        if (p.age >= 1)
            SDL_FillRect(screen, &dot_rect, palette[p.age]);
        p.age = int(p.age + double(p.koko));
        if (bounce) {
            if (p.x + double(p.vx) < 0 || p.x + double(p.vx) >= 1021)
                p.vx = -p.vx;
            if (p.y + double(p.vy) < 0 || p.y + double(p.vy) >= 765)
                p.vy = -p.vy;
        }
        double x = p.x + double(p.vx), y = p.y + double(p.vy);
        p.x = float(x);
        p.y = float(y);
        p.vy = float(p.vy + double(p.koko) / painovoima);
        if (p.age > 254 || x >= 1021 || y >= 765 || x < 0 || y < 0)
            plain_alusta(p, draw);
    }
}
