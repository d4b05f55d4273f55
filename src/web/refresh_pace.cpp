#include "refresh_pace.h"
#include "pace.h"

#include <algorithm>

double refresh_rate(const refresh_pace &pace)
{
    const int count = std::min(pace.seen, refresh_pace::kept);
    if (count < 8)
        return 0;
    // The median: a refresh the page missed (a slow frame, a busy tab) makes
    // one long interval, not a slower screen.
    double sorted[refresh_pace::kept];
    std::copy(pace.intervals, pace.intervals + count, sorted);
    std::nth_element(sorted, sorted + count / 2, sorted + count);
    return sorted[count / 2] > 0 ? 1000 / sorted[count / 2] : 0;
}

bool step_due(refresh_pace &pace, double now)
{
    if (pace.last >= 0)
        pace.intervals[pace.seen++ % refresh_pace::kept] = now - pace.last;
    pace.last = now;
    if (++pace.since_step < refreshes_per_step(refresh_rate(pace)))
        return false;
    pace.since_step = 0;
    return true;
}
