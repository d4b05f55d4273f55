// Surfaces of 0x00RRGGBB words in the page's own memory. Emscripten's SDL
// keeps every surface of its own as a canvas, with RGBA pixels; the pass and
// the page's drawing need only the pixels, in the desktop's word layout.
#pragma once

#include <SDL.h>

// A w x h surface, cleared to black; null if there is no memory for it.
SDL_Surface *memory_surface(int w, int h);
void free_memory_surface(SDL_Surface *surface);
