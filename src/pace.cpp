#include "pace.h"

#include <cerrno>
#include <cstring>
#include <ctime>

#if LAAVA_XRANDR
#include <SDL_syswm.h>
#include <X11/extensions/Xrandr.h>
#endif

static bool pacing = false;
static frame_clock frames;

static double seconds_now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

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

void start_pacing()
{
    char driver[32];
    pacing = !SDL_VideoDriverName(driver, sizeof driver) || strcmp(driver, "dummy") != 0;
    const double rate = window_refresh_rate();
    frames = {1 / (rate > 0 ? rate : 60), seconds_now()};
}

void wait_for_refresh()
{
    if (!pacing)
        return;
    const double now = seconds_now(), until = wait_until(frames, now);
    if (until > now)
        sleep_until(until);
}
