// The frame loop's steps, the same on the desktop and on the page; what
// differs between them is behind platform.h.
#include "shell.h"
#include "platform.h"

#include <climits>

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
    apply_controls(held_keys(), buttons, mouse_x, mouse_y, quit, bounce, particles);
}

void draw_frame(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce)
{
    draw_background(screen, background);
    particle_pass(screen, particles, bounce);
}

void redraw(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce)
{
    draw_frame(screen, background, particles, bounce);
    show_frame(screen);
}
