// frame_times FLIPS RATE: the figures of a run whose flip times the frame
// shim wrote to FLIPS (LAAVA_FLIP_TIMES), on a screen refreshing RATE times a
// second (0 if it reports none), beside those of a bare loop sleeping to the
// same deadlines for as long.
#include "frame_times.h"
#include "pace.h"

#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s FLIP_TIMES REFRESH_RATE\n", argv[0]);
        return 2;
    }
    const std::vector<double> flips = read_flip_times(argv[1]);
    if (flips.size() < 2) {
        fprintf(stderr, "%s: fewer than two flips in %s\n", argv[0], argv[1]);
        return 1;
    }
    const double step = clock_for(atof(argv[2]), false, 0).step;
    printf("steps of %.3f ms, %.1f a second\n", step * 1e3, 1 / step);
    print_figures("program", figures_of(flips, step));
    print_figures("bare loop", figures_of(bare_loop(step, flips.back() - flips.front()), step));
    return 0;
}
