// The frames' pace: one frame per refresh of the screen the window is on.
// SDL 1.2's flip on X11 copies the frame and returns at once, so the loop
// waits for the refresh itself, against a deadline that moves on by one
// refresh a frame.
#pragma once

#include <SDL.h>

// The frames' deadlines, in seconds, one period apart.
struct frame_clock {
    double period, deadline;
};

// Until when to wait after a frame that ended at `now`: its deadline, or now
// if it came late. The next deadline is one period on from then, so that a
// late frame is not followed by a burst of quick ones, and a flip that waits
// for the refresh itself is not waited for twice.
inline double wait_until(frame_clock &clock, double now)
{
    const double until = now > clock.deadline ? now : clock.deadline;
    clock.deadline = until + clock.period;
    return until;
}

// The refresh rate of the monitor under the window, from XRandR; 0 where
// the display reports none (Xvfb) or is not X11.
double window_refresh_rate();

// Paces the frames to the display's refresh (60 a second where it reports no
// rate); on SDL's dummy driver, with no screen, the frames go unpaced.
void start_pacing();

// Returns at the refresh after the frame just shown, sleeping till then.
void wait_for_refresh();
