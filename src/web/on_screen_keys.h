// The page's own controls, held as keys: on every frame while a finger or the
// mouse holds one, and each press read held by at least one frame, however
// short, so that a tap is never lost between two frames.
#pragma once

#include <SDL.h>

// Out-of-range keys are ignored: they come from the page's script.
void press_on_screen_key(int key);    // held from now, and read by the next frame
void release_on_screen_key(int key);  // let go (a press not yet read still counts once)
void tap_on_screen_key(int key);      // read held by the next frame alone
void release_on_screen_keys();        // every key let go, taps not yet read dropped

// The keys held for this frame: the keyboard's (indexed by SDL key symbol)
// and the page's. The taps are read once.
const Uint8 *keys_this_frame(const Uint8 *keyboard);
