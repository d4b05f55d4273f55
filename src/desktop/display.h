// The desktop's display: what SDL is told before it starts, and what the
// frame loop asks of it beyond the shared steps.
#pragma once

#include <SDL.h>

// Called before SDL starts: a fallback to drawing in the terminal stays off it.
void quiet_text_fallback();

// Called before SDL starts: SDL 1.2 on SDL 2 shows frames without OpenGL,
// unless the person has asked for a renderer or for flips that wait for the
// refresh (SDL12COMPAT_SYNC_TO_VBLANK).
void show_frames_cheaply();

// Why SDL, though started, has nowhere to show the window: with no display,
// SDL 2 falls back to a video driver that shows nothing, classic SDL to
// pictures in text. Null when there is a display, or when that driver was
// asked for (the tests' dummy).
const char *no_display_reason();

// Keeps SDL's small event queue for close requests alone. Key and mouse state
// are still tracked for ignored events, so the controls read them as before,
// but a burst of mouse motion can no longer crowd a close request out.
void keep_only_quit_events();
