// The frames' pace. Each step of the fountain is shown for a whole number of
// the screen's refreshes: one up to 100 Hz, more above, so that a fast screen
// shows the same fountain as a 60 Hz one instead of a faster one. On the
// desktop a frame is drawn, held until its deadline and only then flipped, so
// each frame reaches the screen on time however long its drawing took.
#pragma once

// The rate, in steps a second, above which a step is held for more refreshes.
constexpr double most_steps_a_second = 100;
// The rate assumed where the display reports none.
constexpr double usual_refresh_rate = 60;

// The fewest whole refreshes a step is shown for to keep at most 100 steps a
// second; 1 for a rate of 100 Hz or less, or none known.
int refreshes_per_step(double refresh_rate);

// When frames are shown, in seconds.
struct frame_clock {
    double step;      // how long each step is shown: a whole number of refreshes
    double early;     // how long before its deadline a frame goes to a flip that
                      // itself waits for the next refresh: half a refresh, else 0
    double deadline;  // when the frame being drawn is to be on the screen
};

// A clock for a screen refreshing at refresh_rate (0: unknown), its first
// deadline one step after `now`.
frame_clock clock_for(double refresh_rate, bool flip_waits, double now);

// Follows a new refresh rate from the frame after the one being drawn.
void change_rate(frame_clock &clock, double refresh_rate, bool flip_waits);

// When to flip a frame whose drawing ended at `now`: its deadline (less
// `early`), or at once if it is late. The next deadline is one step after
// this frame is shown, so a late frame is followed by no burst of quick ones.
double flip_time(frame_clock &clock, double now);
