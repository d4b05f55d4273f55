// The desktop's display: SDL's fallbacks where there is no window to show,
// the renderer under SDL 1.2 on SDL 2, and the event queue.
#include "display.h"
#include "pacing.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

// Drivers that show no window: SDL 2's offscreen and dummy, and classic SDL's
// pictures in text.
static bool windowless(const char *driver)
{
    for (const char *name : {"offscreen", "dummy", "caca", "aalib"})
        if (strcmp(driver, name) == 0)
            return true;
    return false;
}

void quiet_text_fallback()
{
    // Left to choose, classic SDL falls back to libcaca, which takes the
    // terminal over, or ends the process where it knows no terminal; its null
    // output keeps the fallback quiet until it is reported.
    if (!getenv("SDL_VIDEODRIVER"))
        setenv("CACA_DRIVER", "null", 0);
}

void show_frames_cheaply()
{
    // SDL 1.2 on SDL 2 copies each frame into a texture and draws it with
    // SDL 2's renderer, OpenGL by default: where the X server has no graphics
    // hardware (a virtual machine, a remote desktop) the processor draws that
    // too, most of a core even at 1000 particles. The software renderer on the
    // window's own surface copies the frame as classic SDL does, a fifth of
    // that. Classic SDL reads neither. It cannot wait for the refresh, though:
    // a person who asks for that gets SDL 2's own choice.
    if (flip_waits_for_refresh())
        return;
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
}

const char *no_display_reason()
{
    char name[32];
    if (!SDL_VideoDriverName(name, sizeof name) || !windowless(name))
        return nullptr;
    const char *asked = getenv("SDL_VIDEODRIVER");
    if (asked && strstr(asked, name))
        return nullptr;
    static char reason[128];
    snprintf(reason, sizeof reason, "no display to show the window on (SDL fell back to its %s video driver)", name);
    return reason;
}

void keep_only_quit_events()
{
    for (int type = SDL_NOEVENT + 1; type < SDL_NUMEVENTS; ++type)
        if (type != SDL_QUIT)
            SDL_EventState(Uint8(type), SDL_IGNORE);
}
