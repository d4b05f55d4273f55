// The page's own controls, as keys beside the keyboard's.
#include "on_screen_keys.h"
#include "shell.h"

static Uint8 held[key_states];    // while a control is held
static Uint8 tapped[key_states];  // pressed since the last frame

static bool in_range(int key)
{
    return key >= 0 && key < key_states;
}

void press_on_screen_key(int key)
{
    if (in_range(key))
        held[key] = tapped[key] = 1;
}

void release_on_screen_key(int key)
{
    if (in_range(key))
        held[key] = 0;
}

void tap_on_screen_key(int key)
{
    if (in_range(key))
        tapped[key] = 1;
}

void release_on_screen_keys()
{
    for (int key = 0; key < key_states; ++key)
        held[key] = tapped[key] = 0;
}

const Uint8 *keys_this_frame(const Uint8 *keyboard)
{
    static Uint8 keys[key_states];
    for (int key = 0; key < key_states; ++key) {
        keys[key] = keyboard[key] | held[key] | tapped[key];
        tapped[key] = 0;
    }
    return keys;
}
