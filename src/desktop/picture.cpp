// The desktop's picture loader: SDL's, after a look at the header.
#include "picture.h"

#include "bmp_check.h"

SDL_Surface *load_picture(SDL_RWops *rw)
{
    if (!rw)
        return nullptr;
    Uint8 first[bmp_header_bytes] = {};
    const int end = SDL_RWseek(rw, 0, RW_SEEK_END);
    const bool at_start = end >= 0 && SDL_RWseek(rw, 0, RW_SEEK_SET) == 0;
    const int got = at_start ? SDL_RWread(rw, first, 1, sizeof first) : 0;
    if (!at_start || SDL_RWseek(rw, 0, RW_SEEK_SET) != 0 || !bmp_plausible(first, got, end)) {
        SDL_RWclose(rw);
        return nullptr;
    }
    return SDL_LoadBMP_RW(rw, 1);
}

// SDL_LoadBMP takes some broken files (a bit depth of 6145, say) and makes
// surfaces that crash the blit; those count as no picture at all.
static bool blittable(const SDL_Surface *s)
{
    const SDL_PixelFormat *f = s->format;
    if (!f || !s->pixels || s->w <= 0 || s->h <= 0)
        return false;
    int bits = f->BitsPerPixel;
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (f->BytesPerPixel != (bits + 7) / 8 || s->pitch < s->w * f->BytesPerPixel)
        return false;
    return bits != 8 || (f->palette && f->palette->colors);
}

SDL_Surface *in_display_format(SDL_Surface *picture)
{
    if (!picture)
        return nullptr;
    if (!blittable(picture)) {
        SDL_FreeSurface(picture);
        return nullptr;
    }
    SDL_Surface *converted = SDL_DisplayFormat(picture);
    if (!converted)
        return picture;
    SDL_FreeSurface(picture);
    return converted;
}
