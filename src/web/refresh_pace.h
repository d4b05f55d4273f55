// The page's pace: the browser calls the frame function once for each
// refresh of the screen (requestAnimationFrame). Up to 100 Hz each refresh
// shows a step; above, each step is held the same whole number of refreshes,
// by the pace module's rule, the rate estimated from the calls' times.
#pragma once

struct refresh_pace {
    static constexpr int kept = 32;  // the intervals the rate is taken from
    double last = -1;                // when the previous refresh came, ms
    double intervals[kept] = {};
    int seen = 0;                    // intervals noted so far
    int since_step = 0;              // refreshes since the last step
};

// Notes a refresh at `now` (milliseconds); true if it is to show a new step.
bool step_due(refresh_pace &pace, double now);

// The screen's refresh rate as the page sees it, per second; 0 until known.
double refresh_rate(const refresh_pace &pace);
