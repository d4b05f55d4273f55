// Frame times against a bare loop's, on a screen refreshing RATE times a
// second (0 where it reports none):
//   frame_times FLIPS RATE [BARE]     the figures of a run whose flip times the
//                                     frame shim wrote to FLIPS (LAAVA_FLIP_TIMES),
//                                     beside those of BARE, or of a bare loop run now
//                                     for as long
//   frame_times --bare RATE SECONDS   runs a bare loop sleeping to the same
//                                     deadlines, its times on standard output
#include "frame_times.h"
#include "pace.h"

#include <cstdlib>
#include <cstring>

static int usage(const char *program)
{
    fprintf(stderr, "usage: %s FLIP_TIMES REFRESH_RATE [BARE_LOOP_TIMES]\n       %s --bare REFRESH_RATE SECONDS\n",
            program, program);
    return 2;
}

int main(int argc, char *argv[])
{
    if (argc == 4 && strcmp(argv[1], "--bare") == 0) {
        for (double t : bare_loop(clock_for(atof(argv[2]), false, 0).step, atof(argv[3])))
            printf("%.9f\n", t);
        return 0;
    }
    if (argc != 3 && argc != 4)
        return usage(argv[0]);
    const std::vector<double> flips = read_flip_times(argv[1]);
    if (flips.size() < 2) {
        fprintf(stderr, "%s: fewer than two flips in %s\n", argv[0], argv[1]);
        return 1;
    }
    const double step = clock_for(atof(argv[2]), false, 0).step;
    const std::vector<double> bare = argc == 4 ? read_flip_times(argv[3]) : bare_loop(step, flips.back() - flips.front());
    printf("steps of %.3f ms, %.1f a second\n", step * 1e3, 1 / step);
    print_figures("program", figures_of(flips, step));
    print_figures("bare loop", figures_of(bare, step));
    return 0;
}
