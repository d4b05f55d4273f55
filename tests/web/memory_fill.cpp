// SDL's fill, for the tests' surfaces in memory: Emscripten's SDL fills only
// its own canvases. Clipped to the surface, the rectangle clipped in place,
// as SDL 1.2 does.
#include <SDL.h>

#include <algorithm>

extern "C" int SDL_FillRect(SDL_Surface *dst, const SDL_Rect *rect, Uint32 colour)
{
    SDL_Rect r = rect ? *rect : SDL_Rect{0, 0, dst->w, dst->h};
    const int x0 = std::max(r.x, 0), y0 = std::max(r.y, 0);
    const int x1 = std::min(r.x + r.w, dst->w), y1 = std::min(r.y + r.h, dst->h);
    for (int y = y0; y < y1; ++y) {
        Uint32 *row = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(dst->pixels) + y * dst->pitch);
        std::fill(row + x0, row + std::max(x0, x1), colour);
    }
    if (rect)
        *const_cast<SDL_Rect *>(rect) = {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
    return 0;
}
