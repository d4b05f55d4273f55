// The pace's rule, the same on the desktop and on the page: how many
// refreshes a step is held, and when each frame is due.
#include "pace.h"

#include <algorithm>
#include <cmath>

int refreshes_per_step(double refresh_rate)
{
    if (!(refresh_rate > most_steps_a_second && refresh_rate <= 1000))
        return 1;
    return int(std::ceil(refresh_rate / most_steps_a_second));
}

void change_rate(frame_clock &clock, double refresh_rate, bool flip_waits)
{
    if (!(refresh_rate > 0 && refresh_rate <= 1000))
        refresh_rate = usual_refresh_rate;
    const double refresh = 1 / refresh_rate;
    clock.step = refreshes_per_step(refresh_rate) * refresh;
    // Handed over half a refresh early, a frame meets the refresh nearest its
    // deadline, whichever way the clocks have drifted apart.
    clock.early = flip_waits ? refresh / 2 : 0;
}

frame_clock clock_for(double refresh_rate, bool flip_waits, double now)
{
    frame_clock clock = {0, 0, 0};
    change_rate(clock, refresh_rate, flip_waits);
    clock.deadline = now + clock.step;
    return clock;
}

double flip_time(frame_clock &clock, double now)
{
    const double shown = std::max(clock.deadline, now + clock.early);
    clock.deadline = shown + clock.step;
    return shown - clock.early;
}
