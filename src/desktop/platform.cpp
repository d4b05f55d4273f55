// The desktop's side of the seam: SDL 1.2's own keys, fill and blit, and
// frames flipped on their deadlines.
#include "platform.h"
#include "effect.h"
#include "pacing.h"

const Uint8 *held_keys()
{
    return SDL_GetKeyState(nullptr);
}

void draw_background(SDL_Surface *screen, SDL_Surface *background)
{
    SDL_Rect clear_rect = {0, 0, screen_w, 513};
    SDL_Rect band_rect = {0, 513, screen_w, 255};
    SDL_FillRect(screen, &clear_rect, 0);
    if (background)
        SDL_BlitSurface(background, nullptr, screen, &band_rect);
}

void show_frame(SDL_Surface *screen)
{
    show_on_time(screen);
}
