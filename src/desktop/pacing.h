// The desktop's pacing: the screen's refresh rate, and frames shown on their
// deadlines (the rule is pace.h's).
#pragma once

#include <SDL.h>

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
