// The frame loop's steps around the particles: the picture and the redraw.
#include "pace.h"
#include "picture.h"
#include "shell.h"
#include "support.h"

#include <cmath>
#include <cstring>

// A 1024 x 255 picture of the given depth, filled with a pattern of many colours.
static SDL_Surface *patterned_picture(int bits)
{
    SDL_Surface *s = bits == 8 ? SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, 8, 0, 0, 0, 0)
                   : bits == 16 ? SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, 16, 0xF800, 0x07E0, 0x001F, 0)
                   : SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, bits, 0xFF0000, 0xFF00, 0xFF, 0);
    if (bits == 8) {
        SDL_Color colours[256];
        for (int i = 0; i < 256; ++i)
            colours[i] = {Uint8(i * 7), Uint8(255 - i), Uint8(i * 13), 0};
        SDL_SetColors(s, colours, 0, 256);
    }
    for (int y = 0; y < 255; y += 5)
        for (int x = 0; x < 1024; x += 8) {
            SDL_Rect r = {Sint16(x), Sint16(y), 8, 5};
            SDL_FillRect(s, &r, SDL_MapRGB(s->format, Uint8(x * 3 + y), Uint8(y * 5), Uint8(x ^ y)));
        }
    return s;
}

static std::vector<Uint32> band_after_blit(SDL_Surface *screen, SDL_Surface *picture)
{
    SDL_FillRect(screen, nullptr, 0x00ABCDEF);
    SDL_Rect band_rect = {0, 513, screen_w, 255};
    SDL_BlitSurface(picture, nullptr, screen, &band_rect);
    std::vector<Uint32> band;
    for (int y = 513; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            band.push_back(pixel_at(screen, x, y));
    return band;
}

TEST(Picture, DisplayFormatCopyBlitsTheSamePixels)
{
    SDL_Surface *screen = test_screen();
    ASSERT_NE(screen, nullptr);
    for (int bits : {8, 16, 24, 32}) {
        SDL_Surface *loaded = patterned_picture(bits);
        ASSERT_NE(loaded, nullptr);
        std::vector<Uint32> expected = band_after_blit(screen, loaded);
        SDL_Surface *converted = in_display_format(loaded);  // frees the loaded one
        ASSERT_NE(converted, nullptr);
        EXPECT_EQ(converted->format->BitsPerPixel, 32);
        EXPECT_TRUE(band_after_blit(screen, converted) == expected) << bits << " bits";
        SDL_FreeSurface(converted);
    }
    EXPECT_EQ(in_display_format(nullptr), nullptr);
}

TEST(Picture, SmallPictureLeavesTheRestOfTheBand)
{
    SDL_Surface *screen = test_screen();
    ASSERT_NE(screen, nullptr);
    SDL_Surface *small = in_display_format(SDL_CreateRGBSurface(SDL_SWSURFACE, 100, 50, 24, 0xFF0000, 0xFF00, 0xFF, 0));
    ASSERT_NE(small, nullptr);
    SDL_FillRect(small, nullptr, SDL_MapRGB(small->format, 1, 2, 3));
    std::vector<Uint32> band = band_after_blit(screen, small);
    EXPECT_EQ(band[0] & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(band[49 * 1024 + 99] & 0xFFFFFF, 0x010203u);
    EXPECT_EQ(band[50 * 1024], 0x00ABCDEFu);
    EXPECT_EQ(band[100], 0x00ABCDEFu);
    SDL_FreeSurface(small);
}

TEST(Redraw, ClearsTheSkyAndLaysThePictureInTheBand)
{
    saved_settings keep;
    SDL_Surface *screen = test_screen();
    ASSERT_NE(screen, nullptr);
    SDL_Surface *picture = in_display_format(patterned_picture(24));
    std::vector<Uint32> band = band_after_blit(screen, picture);
    std::vector<particle> pool(pool_size);
    n = 1000;
    for (int i = 0; i < n; ++i)
        pool[i] = make_particle(float(i % 1000), 100, 0, 0, 0, 5);  // fresh: nothing drawn
    SDL_FillRect(screen, nullptr, 0x00123456);
    redraw(screen, picture, pool.data(), false);
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; x += 7)
            ASSERT_EQ(pixel_at(screen, x, y), y < 513 ? 0u : band[size_t(y - 513) * 1024 + x]) << x << "," << y;
    SDL_FreeSurface(picture);
}

TEST(Events, OnlyCloseRequestsAreQueued)
{
    ASSERT_NE(test_screen(), nullptr);
    keep_only_quit_events();
    for (int type = SDL_NOEVENT + 1; type < SDL_NUMEVENTS; ++type)
        EXPECT_EQ(SDL_EventState(Uint8(type), SDL_QUERY), type == SDL_QUIT ? SDL_ENABLE : SDL_IGNORE) << type;

    SDL_Event quit_event = {};
    quit_event.type = SDL_QUIT;
    SDL_PushEvent(&quit_event);
    EXPECT_TRUE(take_event());
    EXPECT_FALSE(take_event());
}

// ---- The pace ---------------------------------------------------------------

// Runs frames whose work takes work(k) seconds, each flip returning at once
// or, given a refresh period, at the next refresh as a flip with vertical
// sync does; says when each frame ended its wait.
template <class Work>
static std::vector<double> paced_frames(frame_clock clock, int count, Work work, double refresh = 0)
{
    std::vector<double> ends;
    double t = clock.deadline;
    for (int k = 0; k < count; ++k) {
        t += work(k);
        if (refresh > 0)
            t = std::ceil(t / refresh - 1e-9) * refresh;
        t = wait_until(clock, t);
        ends.push_back(t);
    }
    return ends;
}

TEST(Pace, OneFramePerPeriodAndNoBurstAfterALateOne)
{
    const double period = 1 / 75.0;
    auto quick = paced_frames({period, 0}, 300, [](int) { return 0.002; });
    EXPECT_NEAR(quick.back() - quick.front(), 299 * period, 1e-9);

    // Frame 100 takes 50 ms: the frames after it keep the period.
    auto late = paced_frames({period, 0}, 300, [](int k) { return k == 100 ? 0.05 : 0.002; });
    EXPECT_GE(late[100] - late[99], 0.05);
    for (int k = 101; k < 300; ++k)
        ASSERT_NEAR(late[k] - late[k - 1], period, 1e-9) << "frame " << k;

    // Frames slower than the period come as fast as they can, no faster.
    auto slow = paced_frames({period, 0}, 100, [](int) { return 0.02; });
    EXPECT_NEAR(slow.back() - slow.front(), 99 * 0.02, 1e-9);
}

TEST(Pace, AFlipThatWaitsForTheRefreshIsNotWaitedForTwice)
{
    // The screen refreshes at the rate reported, or a little off it.
    const double period = 1 / 60.0;
    for (double refresh : {period, period * 1.001, period * 0.999}) {
        auto ends = paced_frames({period, 0}, 600, [](int) { return 0.004; }, refresh);
        const double rate = 599 / (ends.back() - ends.front());
        EXPECT_GT(rate, 0.99 / refresh) << "refresh every " << refresh * 1000 << " ms";
        EXPECT_LT(rate, 1.001 / refresh);
    }
}
