// The frames' pace. Each step of the fountain is shown for a whole number of
// the screen's refreshes: one up to 100 Hz, more above, so that a fast screen
// shows the same fountain as a 60 Hz one instead of a faster one. A frame is
// drawn, held until its deadline and only then flipped, so each frame reaches
// the screen on time however long its drawing took.
#pragma once

#include <SDL.h>

// The rate, in steps a second, above which a step is held for more refreshes.
constexpr double most_steps_a_second = 100;
// The rate assumed where the display reports none.
constexpr double usual_refresh_rate = 60;

// The fewest whole refreshes a step is shown for to keep at most 100 steps a
// second; 1 for a rate of 100 Hz or less, or none known.
int refreshes_per_step(double refresh_rate);

// When frames are shown, in seconds.
struct frame_clock {
    double step;      // how long each step is shown: a whole number of refreshes
    double early;     // how long before its deadline a frame goes to a flip that
                      // itself waits for the next refresh: half a refresh, else 0
    double deadline;  // when the frame being drawn is to be on the screen
};

// A clock for a screen refreshing at refresh_rate (0: unknown), its first
// deadline one step after `now`.
frame_clock clock_for(double refresh_rate, bool flip_waits, double now);

// Follows a new refresh rate from the frame after the one being drawn.
void change_rate(frame_clock &clock, double refresh_rate, bool flip_waits);

// When to flip a frame whose drawing ended at `now`: its deadline (less
// `early`), or at once if it is late. The next deadline is one step after
// this frame is shown, so a late frame is followed by no burst of quick ones.
double flip_time(frame_clock &clock, double now);

// The refresh rate of the monitor under the window, from XRandR; 0 where
// the display reports none (Xvfb) or is not X11.
double window_refresh_rate();

// Whether SDL_Flip itself waits for the screen's refresh: SDL 1.2 on SDL 2
// asked for vertical sync with SDL12COMPAT_SYNC_TO_VBLANK.
bool flip_waits_for_refresh();

// Paces the frames to the display's refresh (60 a second where it reports no
// rate); on SDL's dummy driver, with no screen, the frames go unpaced.
void start_pacing();

// Holds the frame just drawn until its deadline, then shows it. At most once
// a second, looks whether the window's monitor or its mode has changed rate.
void show_on_time(SDL_Surface *screen);
