// The particle pass: blocks of particles stepped on vectors, squares marked
// in the corner map and painted once, relaunches listed and made in groups.
#include "pass.h"
#include "launch.h"

#include <cstring>

// ---- Drawing ---------------------------------------------------------------

// The 3 x 3 square of a particle, clipped to the surface like a fill would be.
static void put_square(SDL_Surface *screen, int x, int y, Uint32 colour)
{
    int x0 = x < 0 ? 0 : x, x1 = x + dot_size > screen->w ? screen->w : x + dot_size;
    int y0 = y < 0 ? 0 : y, y1 = y + dot_size > screen->h ? screen->h : y + dot_size;
    for (int row = y0; row < y1; ++row) {
        Uint32 *line = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + row * screen->pitch);
        for (int col = x0; col < x1; ++col)
            line[col] = colour;
    }
}

struct area {
    int x0, y0, x1, y1;  // the corners on the area that may be marked; none if x1 < x0 or y1 < y0
};

// Paints the marked squares and leaves the map clear for the next pass. Each
// map row is taken once, as the highest mark over each three columns; a
// screen row is then the highest over the last three rows taken. Taking
// starts two rows and two columns before the area's corners: only squares
// hanging off the screen have their corners there.
static void paint_marks(SDL_Surface *screen, const area &marked, const pass_kernels &k)
{
    if (marked.x1 < marked.x0 || marked.y1 < marked.y0)
        return;
    static uint32_t across[3][screen_w];
    const int to_x = std::min(marked.x1 + dot_size, screen_w), to_y = std::min(marked.y1 + dot_size, screen_h);
    for (int y = marked.y0 - 2; y < to_y; ++y) {
        k.take_row(across[(y + 3) % 3], map_row(y), marked.x0, to_x);
        if (y < marked.y0)
            continue;
        Uint32 *out = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + y * screen->pitch);
        k.paint_row(out, across[y % 3], across[(y + 2) % 3], across[(y + 1) % 3], marked.x0, to_x);
    }
}

// Paints the squares marked in the square map and leaves it clear. The whole
// map, eight pixels at a time: the step keeps no bounds for it, and runs of
// uncovered pixels are passed over quickly.
static void paint_squares(SDL_Surface *screen)
{
    constexpr int at_once = sizeof(uint64_t);
    static_assert(screen_w % at_once == 0);
    for (int y = 0; y < screen_h; ++y) {
        Uint32 *out = reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(screen->pixels) + y * screen->pitch);
        uint8_t *ages = square_map[y];
        for (int x = 0; x < screen_w; x += at_once) {
            uint64_t any;
            memcpy(&any, ages + x, sizeof any);
            if (!any)
                continue;
            for (int i = x; i < x + at_once; ++i)
                if (ages[i])
                    out[i] = palette[ages[i]];
            memset(ages + x, 0, at_once);
        }
    }
}

// Draws the squares of one stepped block straight onto the screen. A fresh
// launch has age 0 and no square.
static void draw_squares(SDL_Surface *screen, const block_work &w, int count)
{
    for (int j = 0; j < count; ++j)
        if (w.age[j] >= 1)
            put_square(screen, w.x[j], w.y[j], palette[w.age[j]]);
}

// ---- The pass --------------------------------------------------------------

void particle_pass(SDL_Surface *screen, particle *particles, bool bounce)
{
    if (SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) < 0)
        return;
    const pass_kernels k = kernels_at(simd_level_in_use());
    const double pull_div = painovoima;
    const bool use_map = n >= k.map_from;
    static block_work w;
    std::fill_n(w.lo_x, max_lanes, screen_w), std::fill_n(w.lo_y, max_lanes, screen_h);
    std::fill_n(w.hi_x, max_lanes, -1), std::fill_n(w.hi_y, max_lanes, -1);
    for (int first = 0; first < n; first += block) {
        const int count = std::min(block, n - first);
        // Drawn where it stood at the start of the pass.
        k.step_block(particles + first, first, count, pull_div, bounce, use_map, w);
        if (!use_map)
            draw_squares(screen, w, count);
        launch_listed(particles, w.relaunch, w.listed);
    }
    if (use_map && k.marks_squares) {
        paint_squares(screen);
    } else if (use_map) {
        // Squares hanging off the screen are painted from the margins.
        area marked = {std::max(*std::min_element(w.lo_x, w.lo_x + max_lanes), 0),
                       std::max(*std::min_element(w.lo_y, w.lo_y + max_lanes), 0),
                       std::min(*std::max_element(w.hi_x, w.hi_x + max_lanes), area_w),
                       std::min(*std::max_element(w.hi_y, w.hi_y + max_lanes), area_h)};
        paint_marks(screen, marked, k);
    }
    if (SDL_MUSTLOCK(screen))
        SDL_UnlockSurface(screen);
}
