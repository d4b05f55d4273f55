#include "memory_surface.h"

#include <cstdlib>

static SDL_PixelFormat words = [] {
    SDL_PixelFormat f = {};
    f.BitsPerPixel = 32, f.BytesPerPixel = 4;
    f.Rmask = 0xFF0000, f.Gmask = 0xFF00, f.Bmask = 0xFF;
    f.Rshift = 16, f.Gshift = 8;
    return f;
}();

SDL_Surface *memory_surface(int w, int h)
{
    SDL_Surface *s = static_cast<SDL_Surface *>(calloc(1, sizeof(SDL_Surface)));
    void *pixels = calloc(size_t(w) * size_t(h), 4);
    if (!s || !pixels) {
        free(s), free(pixels);
        return nullptr;
    }
    s->format = &words;
    s->w = w, s->h = h, s->pitch = w * 4;
    s->pixels = pixels;
    s->clip_rect = {0, 0, w, h};
    return s;
}

void free_memory_surface(SDL_Surface *surface)
{
    if (surface)
        free(surface->pixels);
    free(surface);
}

// Emscripten's SDL locks its canvases (every surface must be locked, its
// headers say); the page's own surfaces are plain memory, always there to
// draw on. The page locks no surface of SDL's.
extern "C" int SDL_LockSurface(SDL_Surface *)
{
    return 0;
}

extern "C" void SDL_UnlockSurface(SDL_Surface *)
{
}
