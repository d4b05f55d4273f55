// Any bytes as the picture: loaded as the program loads "./tausta.bmp", put
// into the band as the frame loop does, and one frame run over it.
#include "effect.h"
#include "picture.h"
#include "shell.h"

#include <cstdlib>
#include <vector>

static SDL_Surface *screen;
static std::vector<particle> pool(pool_size);

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        abort();
    screen = SDL_SetVideoMode(screen_w, screen_h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen)
        abort();
    for (int i = 0; i < n; ++i)
        alusta(pool[i]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SDL_RWops *rw = SDL_RWFromConstMem(data, int(size));
    SDL_Surface *picture = in_display_format(load_picture(rw));
    redraw(screen, picture, pool.data(), false);
    SDL_FreeSurface(picture);
    return 0;
}
