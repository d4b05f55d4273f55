// The page's pace: which refreshes show a new step, for screens of each rate.
#include "refresh_pace.h"

#include <gtest/gtest.h>

// The steps shown over `refreshes` refreshes of a screen at `hz`, after a second to learn its rate.
static int steps_shown(double hz, int refreshes, int missed_every = 0)
{
    refresh_pace pace;
    double now = 1000;
    auto next = [&](int i) {
        now += 1000 / hz * (missed_every && i % missed_every == 0 ? 2 : 1);
        return step_due(pace, now);
    };
    for (int i = 1; i <= int(hz); ++i)
        next(i);
    int steps = 0;
    for (int i = 1; i <= refreshes; ++i)
        steps += next(i);
    return steps;
}

TEST(RefreshPace, OneStepARefreshUpToAHundredHertzTheSameWholeRefreshesAbove)
{
    EXPECT_EQ(steps_shown(60, 600), 600);
    EXPECT_EQ(steps_shown(100, 600), 600);
    EXPECT_EQ(steps_shown(120, 600), 300);
    EXPECT_EQ(steps_shown(144, 600), 300);
    EXPECT_EQ(steps_shown(240, 600), 200);
    EXPECT_EQ(steps_shown(360, 600), 150);
}

TEST(RefreshPace, ARefreshMissedNowAndThenIsNotASlowerScreen)
{
    EXPECT_EQ(steps_shown(144, 600, 10), 300);
    EXPECT_EQ(steps_shown(60, 600, 10), 600);
}

TEST(RefreshPace, TheFirstRefreshesShowStepsBeforeTheRateIsKnown)
{
    refresh_pace pace;
    EXPECT_TRUE(step_due(pace, 0));
    EXPECT_TRUE(step_due(pace, 7));
    EXPECT_EQ(refresh_rate(pace), 0);
}
