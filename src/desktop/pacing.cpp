// The desktop's pacing: the refresh rate from XRandR, and each frame held
// until its deadline, then flipped.
#include "pacing.h"
#include "pace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>

#if LAAVA_XRANDR
#include <SDL_syswm.h>
#include <X11/extensions/Xrandr.h>
#endif

static bool pacing = false, flip_waits = false;
static frame_clock frames;
static double next_rate_look;

static double seconds_now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Returns at once for a time already past.
static void sleep_until(double when)
{
    timespec t;
    t.tv_sec = time_t(when);
    t.tv_nsec = long((when - double(t.tv_sec)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

#if LAAVA_XRANDR
static double mode_rate(const XRRModeInfo &m)
{
    double lines = m.vTotal;
    if (m.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (m.modeFlags & RR_Interlace)
        lines /= 2;
    return m.hTotal && lines > 0 ? double(m.dotClock) / (m.hTotal * lines) : 0;
}

// The rate of the CRTC that shows the point (x, y) of the root window, or
// of the first one lit if none does.
static double crtc_rate(Display *dpy, Window root, int x, int y)
{
    XRRScreenResources *res = XRRGetScreenResourcesCurrent(dpy, root);
    if (!res)
        return 0;
    double rate = 0;
    bool under = false;
    for (int i = 0; i < res->ncrtc && !under; ++i) {
        XRRCrtcInfo *crtc = XRRGetCrtcInfo(dpy, res, res->crtcs[i]);
        if (!crtc)
            continue;
        under = x >= crtc->x && y >= crtc->y && x < crtc->x + int(crtc->width) && y < crtc->y + int(crtc->height);
        if (crtc->mode != 0 && (under || rate == 0))
            for (int m = 0; m < res->nmode; ++m)
                if (res->modes[m].id == crtc->mode)
                    rate = mode_rate(res->modes[m]);
        XRRFreeCrtcInfo(crtc);
    }
    XRRFreeScreenResources(res);
    return rate;
}

double window_refresh_rate()
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return 0;
    Display *dpy = info.info.x11.display;
    if (info.info.x11.lock_func)
        info.info.x11.lock_func();
    double rate = 0;
    int event_base, error_base, major = 0, minor = 0;
    XWindowAttributes window;
    // The monitors' own modes came with RandR 1.3.
    if (XRRQueryExtension(dpy, &event_base, &error_base) && XRRQueryVersion(dpy, &major, &minor) &&
        (major > 1 || minor >= 3) && XGetWindowAttributes(dpy, info.info.x11.window, &window)) {
        int x, y;
        Window child;
        XTranslateCoordinates(dpy, info.info.x11.window, window.root, window.width / 2, window.height / 2, &x, &y, &child);
        rate = crtc_rate(dpy, window.root, x, y);
    }
    if (info.info.x11.unlock_func)
        info.info.x11.unlock_func();
    return rate;
}
#else
double window_refresh_rate()
{
    return 0;
}
#endif

bool flip_waits_for_refresh()
{
    // Classic SDL is 1.2.15; SDL 1.2 on SDL 2 counts from 1.2.50.
    const char *sync = getenv("SDL12COMPAT_SYNC_TO_VBLANK");
    const bool asked = sync && *sync && strcmp(sync, "0") != 0 && strcasecmp(sync, "false") != 0;
    return asked && SDL_Linked_Version()->patch >= 50;
}

void start_pacing()
{
    char driver[32];
    pacing = !SDL_VideoDriverName(driver, sizeof driver) || strcmp(driver, "dummy") != 0;
    flip_waits = flip_waits_for_refresh();
    const double now = seconds_now();
    frames = clock_for(window_refresh_rate(), flip_waits, now);
    next_rate_look = now + 1;
}

// A moved window or a new mode: a few requests to the X server, once a second.
static void follow_rate(double now)
{
    if (now < next_rate_look)
        return;
    next_rate_look = now + 1;
    change_rate(frames, window_refresh_rate(), flip_waits);
}

void show_on_time(SDL_Surface *screen)
{
    if (!pacing) {
        SDL_Flip(screen);
        return;
    }
    const double when = flip_time(frames, seconds_now());
    sleep_until(when);
    SDL_Flip(screen);
    follow_rate(when);
}
