// Figures of a run's frame times: the frames a second, the spread of the
// intervals between flips, the frames shown late; and the same for a bare
// loop that only sleeps to the same deadlines, the floor the machine's timer
// sets. Shared by the frame_times tool and the end-to-end tests.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

struct frame_figures {
    int frames;
    double per_second;
    double p1, p50, p99;  // percentiles of the intervals, seconds
    int late;             // intervals over 1.5 steps
};

inline double monotonic_seconds()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The flip times in a file of the frame shim's, from `from` to `to` seconds.
inline std::vector<double> read_flip_times(const std::string &path, double from = 0, double to = INFINITY)
{
    std::vector<double> times;
    std::ifstream in(path);
    for (double t; in >> t;)
        if (t >= from && t <= to)
            times.push_back(t);
    return times;
}

inline frame_figures figures_of(const std::vector<double> &times, double step)
{
    frame_figures f = {int(times.size()), 0, 0, 0, 0, 0};
    if (times.size() < 2)
        return f;
    std::vector<double> gaps;
    for (size_t k = 1; k < times.size(); ++k)
        gaps.push_back(times[k] - times[k - 1]);
    f.per_second = double(gaps.size()) / (times.back() - times.front());
    f.late = int(std::count_if(gaps.begin(), gaps.end(), [&](double g) { return g > 1.5 * step; }));
    std::sort(gaps.begin(), gaps.end());
    auto at = [&](double share) { return gaps[size_t(share * double(gaps.size() - 1) + 0.5)]; };
    f.p1 = at(0.01), f.p50 = at(0.5), f.p99 = at(0.99);
    return f;
}

// A loop that does nothing but sleep to deadlines one step apart, for
// `seconds`; the times it woke.
inline std::vector<double> bare_loop(double step, double seconds)
{
    std::vector<double> woke;
    const double start = monotonic_seconds();
    for (double deadline = start + step; deadline < start + seconds; deadline += step) {
        timespec t = {time_t(deadline), long((deadline - std::floor(deadline)) * 1e9)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
        woke.push_back(monotonic_seconds());
    }
    return woke;
}

inline void print_figures(const char *what, const frame_figures &f)
{
    printf("%-10s %6d frames  %7.2f a second  intervals %6.2f / %6.2f / %6.2f ms (1st/50th/99th)  "
           "spread %5.2f ms  late %d (%.2f %%)\n",
           what, f.frames, f.per_second, f.p1 * 1e3, f.p50 * 1e3, f.p99 * 1e3, (f.p99 - f.p1) * 1e3, f.late,
           f.frames > 1 ? 100.0 * f.late / (f.frames - 1) : 0.0);
}
