#include "effect.h"

#include <array>

int n = 1000;
int painovoima = 15;
int kulma = 45;
int ax = 588, ay = 521;
int minvoima = 10, maxvoima = 15;
int minkoko = 5, maxkoko = 50;

// ---- Fire palette ----------------------------------------------------------

static constexpr Uint32 fire_colour(int i)
{
    Uint32 r, g, b;
    if (i <= 84) {
        r = 255, g = 255, b = (255 * (84 - i) + 42) / 84;  // white to yellow, rounded half up
    } else if (i <= 169) {
        r = 255, g = 255 - 3 * (i - 84), b = 0;            // yellow to red
    } else if (i <= 254) {
        r = 255 - 3 * (i - 169), g = 0, b = 0;             // red to black
    } else {
        r = g = b = 0;
    }
    return r << 16 | g << 8 | b;
}

static constexpr std::array<Uint32, 256> make_palette()
{
    std::array<Uint32, 256> p{};
    for (int i = 0; i < 256; ++i)
        p[i] = fire_colour(i);
    return p;
}

constexpr std::array<Uint32, 256> palette = make_palette();
static_assert(palette[0] == 0xFFFFFF && palette[15] == 0xFFFFD1 && palette[84] == 0xFFFF00);
static_assert(palette[169] == 0xFF0000 && palette[253] == 0x030000 && palette[254] == 0);
