// The page's own controls as keys: held while held, every press seen by a
// frame, a tap by one frame alone, and the keyboard's keys kept beside them.
#include "on_screen_keys.h"
#include "shell.h"

#include <gtest/gtest.h>

static const Uint8 no_keys[key_states] = {};

TEST(OnScreenKeys, HeldWhileHeldAndEveryPressSeenOnce)
{
    release_on_screen_keys();
    press_on_screen_key(SDLK_q);
    for (int frame = 0; frame < 3; ++frame)
        EXPECT_TRUE(keys_this_frame(no_keys)[SDLK_q]) << "frame " << frame;
    release_on_screen_key(SDLK_q);
    EXPECT_FALSE(keys_this_frame(no_keys)[SDLK_q]);

    // Pressed and let go between two frames: the next frame still reads it, once.
    press_on_screen_key(SDLK_a);
    release_on_screen_key(SDLK_a);
    EXPECT_TRUE(keys_this_frame(no_keys)[SDLK_a]);
    EXPECT_FALSE(keys_this_frame(no_keys)[SDLK_a]);

    tap_on_screen_key(SDLK_b);
    const Uint8 *first = keys_this_frame(no_keys);
    EXPECT_TRUE(first[SDLK_b]);
    EXPECT_FALSE(first[SDLK_a] || first[SDLK_q]);
    EXPECT_FALSE(keys_this_frame(no_keys)[SDLK_b]) << "a tap is read by one frame alone";
}

TEST(OnScreenKeys, TheKeyboardBesideThemAndNothingOutOfRange)
{
    release_on_screen_keys();
    Uint8 keyboard[key_states] = {};
    keyboard[SDLK_e] = 1;
    press_on_screen_key(SDLK_ESCAPE);
    const Uint8 *keys = keys_this_frame(keyboard);
    EXPECT_TRUE(keys[SDLK_e]);
    EXPECT_TRUE(keys[SDLK_ESCAPE]);
    EXPECT_FALSE(keys[SDLK_r]);

    for (int key : {-1, key_states, 1 << 30}) {
        press_on_screen_key(key);
        tap_on_screen_key(key);
        release_on_screen_key(key);
    }
    tap_on_screen_key(SDLK_b);
    press_on_screen_key(SDLK_w);
    release_on_screen_keys();
    keys = keys_this_frame(no_keys);
    for (int key = 0; key < key_states; ++key)
        EXPECT_FALSE(keys[key]) << "key " << key << " left held";
}
