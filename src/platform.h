// What the desktop and the page each do their own way, behind one seam of the
// frame loop's steps: src/desktop/platform.cpp on SDL 1.2 and X11,
// src/web/platform.cpp in the browser.
#pragma once

#include <SDL.h>

// The keys held now, indexed by SDL key symbol.
const Uint8 *held_keys();

// Clears the sky, rows 0 .. 512, to black and lays the picture, if there is
// one, in the band from row 513; where it does not reach, the band keeps
// what was drawn there.
void draw_background(SDL_Surface *screen, SDL_Surface *background);

// Shows the frame just drawn: on the desktop, held until its deadline.
void show_frame(SDL_Surface *screen);
