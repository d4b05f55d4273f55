// The page's side of the seam: Emscripten's SDL and the page's own controls
// for the keys, and the frames drawn in the page's own memory and put on the
// canvas as RGBA.
#include "platform.h"
#include "on_screen_keys.h"

#include <emscripten.h>

#include <cstdint>
#include <cstring>

const Uint8 *held_keys()
{
    // SDL 1.2's SDL_GetKeyState, which Emscripten's headers do not declare: the same array.
    return keys_this_frame(SDL_GetKeyboardState(nullptr));
}

void draw_background(SDL_Surface *screen, SDL_Surface *background)
{
    Uint8 *pixels = static_cast<Uint8 *>(screen->pixels);
    for (int y = 0; y < 513; ++y)
        memset(pixels + y * screen->pitch, 0, size_t(screen->w) * 4);
    if (!background)
        return;
    const int w = background->w < screen->w ? background->w : screen->w;
    const int h = background->h < screen->h - 513 ? background->h : screen->h - 513;
    for (int y = 0; y < h; ++y)
        memcpy(pixels + (513 + y) * screen->pitch, static_cast<Uint8 *>(background->pixels) + y * background->pitch,
               size_t(w) * 4);
}

// The canvas takes bytes R, G, B, A; the frame holds 0x00RRGGBB words.
static void to_canvas_bytes(const SDL_Surface *frame, uint32_t *out)
{
    const Uint8 *pixels = static_cast<const Uint8 *>(frame->pixels);
    for (int y = 0; y < frame->h; ++y) {
        const uint32_t *row = reinterpret_cast<const uint32_t *>(pixels + y * frame->pitch);
        for (int x = 0; x < frame->w; ++x) {
            const uint32_t c = row[x];
            *out++ = 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
        }
    }
}

// The memory does not grow (see the link options), so the view stays valid.
EM_JS(void, put_on_canvas, (const void *rgba, int w, int h), {
    if (!Module.laavaImage) {
        Module.laavaImage = new ImageData(new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4), w, h);
        Module.laavaContext = Module.canvas.getContext('2d');
    }
    Module.laavaContext.putImageData(Module.laavaImage, 0, 0);
});

void show_frame(SDL_Surface *screen)
{
    static uint32_t *rgba = new uint32_t[size_t(screen->w) * size_t(screen->h)];
    to_canvas_bytes(screen, rgba);
    put_on_canvas(rgba, screen->w, screen->h);
}
