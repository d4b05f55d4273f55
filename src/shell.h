// The frame loop's steps, on the desktop and on the page: event check,
// controls and redraw.
#pragma once

#include "effect.h"

// How long a key state array is: SDL 1.2's SDLK_LAST. (Emscripten's SDL
// numbers the keys that type no character past 2^30; the controls read none
// of those.)
constexpr int key_states = 323;

// Takes at most one pending event; true if it was a close request.
bool take_event();

// The controls, applied from a key state array (indexed by SDL key symbol)
// and the mouse's button mask and position.
void apply_controls(const Uint8 *keys, Uint8 buttons, int mouse_x, int mouse_y, bool &quit, bool &bounce,
                    particle *particles);

// The controls, from SDL's current keyboard and mouse state.
void read_controls(bool &quit, bool &bounce, particle *particles);

// Clears the sky, lays the picture in the band and runs the particle pass.
void draw_frame(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce);

// draw_frame, then shows the frame (on the desktop, on its deadline).
void redraw(SDL_Surface *screen, SDL_Surface *background, particle *particles, bool bounce);
