// The frame loop's steps around the particles: the picture and the redraw.
#include "display.h"
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

// Runs frames on a simulated clock: each is read and drawn in work(k)
// seconds, then flipped when flip_time says, give or take the sleep's
// oversleeping of up to `overslept` seconds. Given the screen's refresh
// period, the flip waits for the next refresh (the first at `phase`), as
// one with vertical sync does. Says when each frame reached the screen.
template <class Work>
static std::vector<double> shown_frames(frame_clock &clock, int count, Work work, double refresh = 0,
                                        double phase = 0, double overslept = 0)
{
    std::vector<double> shown;
    double t = 0;
    for (int k = 0; k < count; ++k) {
        t = flip_time(clock, t + work(k)) + overslept * ((k * 7919) % 1000) / 1000;
        if (refresh > 0)
            t = phase + std::ceil((t - phase) / refresh - 1e-9) * refresh;
        shown.push_back(t);
    }
    return shown;
}

TEST(Pace, EachFrameIsShownOnItsDeadlineHoweverLongItsDrawingTook)
{
    for (double rate : {60.0, 75.0, 144.0}) {
        const double step = refreshes_per_step(rate) / rate;
        for (double drawing : {0.001, 0.9 * step}) {
            frame_clock clock = clock_for(rate, false, 0);
            auto shown = shown_frames(clock, 300, [&](int k) { return k % 2 ? drawing : 0.001; });
            for (int k = 0; k < 300; ++k)
                ASSERT_NEAR(shown[k], (k + 1) * step, 1e-9) << rate << " Hz, frame " << k << ", drawing " << drawing;
        }
    }
}

TEST(Pace, NoBurstAfterALateFrameAndNoFasterThanTheDrawing)
{
    const double step = 1 / 75.0;
    // Frame 100 takes 50 ms: the frames after it keep the pace.
    frame_clock clock = clock_for(75, false, 0);
    auto late = shown_frames(clock, 300, [](int k) { return k == 100 ? 0.05 : 0.002; });
    EXPECT_GE(late[100] - late[99], 0.05);
    for (int k = 101; k < 300; ++k)
        ASSERT_NEAR(late[k] - late[k - 1], step, 1e-9) << "frame " << k;

    // Frames slower than the step come as fast as they are drawn.
    clock = clock_for(75, false, 0);
    auto slow = shown_frames(clock, 100, [](int) { return 0.02; });
    EXPECT_NEAR(slow.back() - slow.front(), 99 * 0.02, 1e-9);
}

TEST(Pace, AboveAHundredHertzEachStepIsHeldForTheSameWholeRefreshes)
{
    const struct {
        double rate;
        int refreshes;
    } screens[] = {{50, 1}, {60, 1}, {75, 1}, {100, 1}, {101, 2}, {120, 2}, {144, 2}, {165, 2}, {240, 3}, {360, 4}};
    for (auto screen : screens) {
        EXPECT_EQ(refreshes_per_step(screen.rate), screen.refreshes) << screen.rate << " Hz";
        EXPECT_LE(screen.rate / screen.refreshes, most_steps_a_second);
        if (screen.refreshes > 1) {  // one refresh fewer would be too fast
            EXPECT_GT(screen.rate / (screen.refreshes - 1), most_steps_a_second) << screen.rate << " Hz";
        }
        EXPECT_NEAR(clock_for(screen.rate, false, 0).step, screen.refreshes / screen.rate, 1e-12);
    }
    EXPECT_NEAR(1 / clock_for(144, false, 0).step, 72, 1e-9);
    EXPECT_NEAR(1 / clock_for(165, false, 0).step, 82.5, 1e-9);
    EXPECT_NEAR(1 / clock_for(240, false, 0).step, 80, 1e-9);
    // No rate reported, or one past belief: 60 a second.
    for (double unknown : {0.0, -1.0, double(NAN), double(INFINITY), 1e9})
        EXPECT_NEAR(clock_for(unknown, false, 0).step, 1 / usual_refresh_rate, 1e-12) << unknown;
}

TEST(Pace, AFlipThatWaitsForTheRefreshIsNotWaitedForTwice)
{
    // The screen refreshes at the rate reported, or 100 ppm off it (a mode's
    // clock is reported to the kHz), its refreshes just after the deadlines,
    // and the sleep oversleeps by up to a millisecond: each step is still
    // held for the same refreshes.
    for (double rate : {60.0, 144.0})
        for (double drift : {1.0, 1.0001, 0.9999}) {
            const double refresh = drift / rate;
            const int refreshes = refreshes_per_step(rate);
            frame_clock clock = clock_for(rate, true, 0);
            auto shown = shown_frames(clock, 600, [](int) { return 0.004; }, refresh, 0.0003, 0.001);
            int steady = 0;
            for (int k = 1; k < 600; ++k)
                steady += std::lround((shown[k] - shown[k - 1]) / refresh) == refreshes;
            EXPECT_GE(steady, 590) << rate << " Hz, refresh every " << refresh * 1000 << " ms";
            const double steps_a_second = 599 / (shown.back() - shown.front());
            EXPECT_NEAR(steps_a_second, 1 / (refreshes * refresh), 0.01 / (refreshes * refresh));
        }
}

TEST(Pace, ANewRateIsFollowedFromTheNextFrame)
{
    frame_clock clock = clock_for(75, false, 0);
    auto before = shown_frames(clock, 10, [](int) { return 0.002; });
    change_rate(clock, 144, false);
    double t = before.back();
    t = flip_time(clock, t + 0.002);  // drawn while the old deadline stood
    EXPECT_NEAR(t, before.back() + 1 / 75.0, 1e-9);
    for (int k = 0; k < 10; ++k) {
        const double next = flip_time(clock, t + 0.002);
        ASSERT_NEAR(next - t, 2 / 144.0, 1e-9) << k;
        t = next;
    }
}
