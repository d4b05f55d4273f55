// Laavasuihku in a web page: the same fountain, its start-up here and its
// frame loop a function the browser calls once for each refresh.
#include "effect.h"
#include "memory_surface.h"
#include "on_screen_keys.h"
#include "page_picture.h"
#include "refresh_pace.h"
#include "shell.h"
#include "simd.h"

#include <emscripten.h>

#include <cstdio>
#include <ctime>
#include <new>

static SDL_Surface *screen, *background;
static particle *particles;
static bool quit = false, bounce = false;
static refresh_pace pace;
static int frames_shown = 0;

// What the page shows of the run (window.laavasuihku), and its last word.
EM_JS(void, tell_page, (int frames, int live, bool bouncing, int fan, int pull, const char *level), {
    if (Module.onFrame)
        Module.onFrame(frames, live, bouncing, fan, pull, UTF8ToString(level));
});
EM_JS(void, page_stopped, (), {
    if (Module.onStopped)
        Module.onStopped();
});

// Emscripten's SDL changes the held keys and buttons only as their events are
// taken off the queue: all of them, every frame. (The page has no window to
// close.)
static void take_events()
{
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
}

// The page's controls, called from its script as fingers and buttons press
// and let go of them.
extern "C" {
EMSCRIPTEN_KEEPALIVE void laava_press(int key) { press_on_screen_key(key); }
EMSCRIPTEN_KEEPALIVE void laava_release(int key) { release_on_screen_key(key); }
EMSCRIPTEN_KEEPALIVE void laava_tap(int key) { tap_on_screen_key(key); }
EMSCRIPTEN_KEEPALIVE void laava_release_all() { release_on_screen_keys(); }
}

static void one_refresh()
{
    if (!step_due(pace, emscripten_get_now()))
        return;
    take_events();
    read_controls(quit, bounce, particles);
    redraw(screen, background, particles, bounce);
    tell_page(++frames_shown, n, bounce, kulma, painovoima, simd_level_name(simd_level_in_use()));
    if (quit) {
        // A page cannot close its tab: the last frame stays.
        emscripten_cancel_main_loop();
        page_stopped();
    }
}

int main()
{
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        fprintf(stderr, "SDL ei alustunut: %s\n", SDL_GetError());
        return 0;
    }
    SDL_WM_SetCaption("Laavasuihku!", nullptr);
    background = load_page_picture("./tausta.bmp");  // may be missing: the band stays unpainted
    // Sizes the canvas; the frames are drawn in memory and put on it as they are shown.
    if (!SDL_SetVideoMode(screen_w, screen_h, 32, SDL_SWSURFACE) || !(screen = memory_surface(screen_w, screen_h))) {
        fprintf(stderr, "Näyttötila ei auennut: %s\n", SDL_GetError());
        return 0;
    }
    particles = new (std::nothrow) particle[pool_size];
    if (!particles) {
        fprintf(stderr, "Hiukkasille ei riittänyt muistia\n");
        return 0;
    }
    for (int i = 0; i < n; ++i)
        alusta(particles[i]);
    seed_rnd(uint32_t(time(nullptr)));  // after the first launches, which repeat on every run
    emscripten_set_main_loop(one_refresh, 0, 0);
    return 0;
}
