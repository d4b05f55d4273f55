#include "page_picture.h"
#include "bmp_check.h"
#include "memory_surface.h"

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>

static bool plausible_file(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (!f)
        return false;
    uint8_t first[bmp_header_bytes] = {};
    const int got = int(fread(first, 1, sizeof first, f));
    const bool sized = fseek(f, 0, SEEK_END) == 0;
    const long size = sized ? ftell(f) : -1;
    fclose(f);
    return size >= 0 && bmp_plausible(first, got, size);
}

SDL_Surface *load_page_picture(const char *path)
{
    if (!plausible_file(path))
        return nullptr;
    int w = 0, h = 0;
    // The browser decoded the file as the page loaded (Emscripten's preload), to RGBA bytes.
    uint8_t *rgba = reinterpret_cast<uint8_t *>(emscripten_get_preloaded_image_data(path, &w, &h));
    SDL_Surface *picture = rgba && w > 0 && h > 0 ? memory_surface(w, h) : nullptr;
    if (picture)
        for (int i = 0; i < w * h; ++i)
            static_cast<uint32_t *>(picture->pixels)[i] =
                uint32_t(rgba[4 * i]) << 16 | uint32_t(rgba[4 * i + 1]) << 8 | rgba[4 * i + 2];
    free(rgba);
    return picture;
}
