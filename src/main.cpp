// Laavasuihku: a fountain of glowing particles over a picture. The desktop
// program's start-up and frame loop.
#include "display.h"
#include "effect.h"
#include "pacing.h"
#include "picture.h"
#include "shell.h"
#include "simd.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

int main(int argc, char *argv[])
{
    (void)argc, (void)argv;

    // A narrower vector level than the processor's widest, to compare them.
    const char *level = getenv("LAAVA_SIMD");
    if (!use_simd_level_named(level))
        fprintf(stderr, "LAAVA_SIMD: no level named %s; using %s\n", level, simd_level_name(simd_level_in_use()));
    quiet_text_fallback();
    show_frames_cheaply();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "SDL ei alustunut: %s\n", SDL_GetError());
        return 0;
    }
    if (const char *reason = no_display_reason()) {
        fprintf(stderr, "SDL ei alustunut: %s\n", reason);
        SDL_Quit();
        return 0;
    }
    SDL_WM_SetCaption("Laavasuihku!", nullptr);
    SDL_Surface *background = load_picture(SDL_RWFromFile("./tausta.bmp", "rb"));  // may be missing: the band stays unpainted
    SDL_Surface *screen = SDL_SetVideoMode(screen_w, screen_h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen) {
        fprintf(stderr, "Näyttötila ei auennut: %s\n", SDL_GetError());
        SDL_FreeSurface(background);
        SDL_Quit();
        return 0;
    }
    SDL_Flip(screen);
    start_pacing();
    background = in_display_format(background);
    keep_only_quit_events();

    particle *particles = new (std::nothrow) particle[pool_size];
    if (!particles) {
        fprintf(stderr, "Hiukkasille ei riittänyt muistia\n");
        SDL_FreeSurface(background);
        SDL_Quit();
        return 0;
    }
    bool quit = false, bounce = false;
    for (int i = 0; i < n; ++i)
        alusta(particles[i]);
    seed_rnd(uint32_t(time(nullptr)));  // after the first launches, which repeat on every run

    while (!quit) {
        if (take_event())
            quit = true;
        read_controls(quit, bounce, particles);
        redraw(screen, background, particles, bounce);
    }

    delete[] particles;
    SDL_FreeSurface(background);
    SDL_Quit();
    return 0;
}
