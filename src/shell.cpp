#include "shell.h"
#include "pace.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Drivers that show no window: SDL 2's offscreen and dummy, and classic SDL's
// pictures in text.
static bool windowless(const char *driver)
{
    for (const char *name : {"offscreen", "dummy", "caca", "aalib"})
        if (strcmp(driver, name) == 0)
            return true;
    return false;
}

void quiet_text_fallback()
{
    // Left to choose, classic SDL falls back to libcaca, which takes the
    // terminal over, or ends the process where it knows no terminal; its null
    // output keeps the fallback quiet until it is reported.
    if (!getenv("SDL_VIDEODRIVER"))
        setenv("CACA_DRIVER", "null", 0);
}

void show_frames_cheaply()
{
    // SDL 1.2 on SDL 2 copies each frame into a texture and draws it with
    // SDL 2's renderer, OpenGL by default: where the X server has no graphics
    // hardware (a virtual machine, a remote desktop) the processor draws that
    // too, most of a core even at 1000 particles. The software renderer on the
    // window's own surface copies the frame as classic SDL does, a fifth of
    // that. Classic SDL reads neither. It cannot wait for the refresh, though:
    // a person who asks for that gets SDL 2's own choice.
    if (flip_waits_for_refresh())
        return;
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
}

const char *no_display_reason()
{
    char name[32];
    if (!SDL_VideoDriverName(name, sizeof name) || !windowless(name))
        return nullptr;
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked && strstr(asked, name))
        return nullptr;
    static char reason[128];
    snprintf(reason, sizeof reason, "no display to show the window on (SDL fell back to its %s video driver)", name);
    return reason;
}

void keep_only_quit_events()
{
    for (int type = SDL_NOEVENT + 1; type < SDL_NUMEVENTS; ++type)
        if (type != SDL_QUIT)
            SDL_EventState(Uint8(type), SDL_IGNORE);
}

bool take_event()
{
    SDL_Event event;
    // Polling also refreshes the key and mouse state the controls read.
    return SDL_PollEvent(&event) && event.type == SDL_QUIT;
}

void apply_controls(const Uint8 *keys, Uint8 buttons, int mouse_x, int mouse_y, bool &quit, bool &bounce,
                    particle *particles)
{
    if (keys[SDLK_ESCAPE])
        quit = true;
    // The fan has no bound of its own; it only stops short of int overflow.
    if (keys[SDLK_q] && kulma <= INT_MAX - 5)
        kulma += 5;
    if (keys[SDLK_w] && kulma >= INT_MIN + 5)
        kulma -= 5;
    if (keys[SDLK_e] && painovoima <= 49)
        ++painovoima;
    if (keys[SDLK_r] && painovoima != 1)
        --painovoima;
    if (keys[SDLK_b])
        bounce = !bounce;  // flips on every pass the key is held
    if (keys[SDLK_a] && n <= max_particles - particle_batch) {
        for (int i = n; i < n + particle_batch; ++i)
            alusta(particles[i]);
        n += particle_batch;
    }
    if (keys[SDLK_s] && n > min_particles)
        n -= particle_batch;

    if (buttons & SDL_BUTTON(1)) {
        // Taken as unsigned, a position left of or above the window is out of range too.
        if (unsigned(mouse_x) <= unsigned(area_w - 1))
            ax = mouse_x;
        if (unsigned(mouse_y) <= unsigned(area_h - 1))
            ay = mouse_y;
    }
}

void read_controls(bool &quit, bool &bounce, particle *particles)
{
    int mouse_x, mouse_y;
    Uint8 buttons = SDL_GetMouseState(&mouse_x, &mouse_y);
    apply_controls(SDL_GetKeyState(nullptr), buttons, mouse_x, mouse_y, quit, bounce, particles);
}

void draw_frame(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce)
{
    SDL_Rect clear_rect = {0, 0, screen_w, 513};
    SDL_Rect band_rect = {0, 513, screen_w, 255};
    SDL_FillRect(screen, &clear_rect, 0);
    if (background)
        SDL_BlitSurface(background, nullptr, screen, &band_rect);
    particle_pass(screen, particles, bounce);
}

void redraw(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce)
{
    draw_frame(screen, background, particles, bounce);
    show_on_time(screen);
}
