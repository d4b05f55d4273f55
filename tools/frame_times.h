// Figures of a run's frame times: the frames a second, the spread of the
// intervals between flips, the frames shown late; and the same for a bare
// loop that only sleeps to the same deadlines, the floor the machine's timer
// sets. Shared by the frame_times tool and the end-to-end tests.
#pragma once

#include "pace.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct frame_figures {
    int frames;
    double per_second;
    double p1, p50, p99;  // percentiles of the intervals, seconds
    int late;             // intervals over 1.5 steps
};

inline double clock_seconds(clockid_t clock)
{
    timespec t;
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

inline double monotonic_seconds()
{
    return clock_seconds(CLOCK_MONOTONIC);
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

// A loop that sleeps to deadlines one step apart, for `seconds`, keeping
// them as the program does: one woken late starts its deadlines anew a step
// on. Each time it wakes it works `work` seconds of processor time, as the
// program draws a frame: the scheduler wakes a process that works late more
// often than one that only sleeps. The times it woke.
inline std::vector<double> bare_loop(double step, double seconds, double work = 0)
{
    std::vector<double> woke;
    const double start = monotonic_seconds();
    frame_clock clock = {step, 0, start + step};
    for (double when; (when = flip_time(clock, monotonic_seconds())) < start + seconds;) {
        timespec t = {time_t(when), long((when - std::floor(when)) * 1e9)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
        woke.push_back(monotonic_seconds());
        const double done = clock_seconds(CLOCK_THREAD_CPUTIME_ID) + work;
        while (clock_seconds(CLOCK_THREAD_CPUTIME_ID) < done) {
        }
    }
    return woke;
}

// The bare loop in a process of its own, which the scheduler treats as it
// treats the program's: a loop in the measuring process, waking it, is
// favoured over a process that has slept.
inline std::vector<double> bare_loop_apart(double step, double seconds, double work)
{
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        const std::vector<double> woke = bare_loop(step, seconds, work);
        const char *bytes = reinterpret_cast<const char *>(woke.data());
        for (size_t left = woke.size() * sizeof(double); left > 0;) {
            const ssize_t written = write(fds[1], bytes, left);
            if (written <= 0)
                break;
            bytes += written, left -= size_t(written);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t got; child > 0 && (got = read(fds[0], buffer, sizeof buffer)) != 0;)
        if (got > 0)
            bytes.append(buffer, size_t(got));
        else if (errno != EINTR)
            break;
    close(fds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    std::vector<double> woke(bytes.size() / sizeof(double));
    memcpy(woke.data(), bytes.data(), woke.size() * sizeof(double));
    return woke;
}

inline void print_figures(const char *what, const frame_figures &f)
{
    printf("%-10s %6d frames  %7.2f a second  intervals %6.2f / %6.2f / %6.2f ms (1st/50th/99th)  "
           "spread %5.2f ms  late %d (%.2f %%)\n",
           what, f.frames, f.per_second, f.p1 * 1e3, f.p50 * 1e3, f.p99 * 1e3, (f.p99 - f.p1) * 1e3, f.late,
           f.frames > 1 ? 100.0 * f.late / (f.frames - 1) : 0.0);
}
