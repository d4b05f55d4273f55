// The machinery of the fast particle pass, shared by the pass itself
// (pass.cpp) and its vector kernels (pass_kernels.cpp): blocks, the corner
// map and the relaunch list.
#pragma once

#include "effect.h"
#include "simd.h"

#include <algorithm>
#include <cstdint>

// ---- The corner map --------------------------------------------------------

// With many particles most squares land on others, so instead of painting
// nine pixels for each, a pass marks each square's corner in a map with its
// slot and age, and then paints every pixel once with the colour of the
// highest slot whose square covers it: the square drawn last.
constexpr int map_left = 8, map_top = 2;  // margins for the look back and for squares hanging off the screen
constexpr int map_w = screen_w + 2 * map_left, map_h = screen_h + 2 * map_top;
static_assert(map_left >= dot_size - 1 && map_top >= dot_size - 1);
extern uint32_t corner_map[map_w * map_h + 1];  // and a spare cell, where lanes with no mark write

inline uint32_t *map_row(int y)
{
    return corner_map + (y + map_top) * map_w + map_left;
}

// The spare cell, counted from map_row(0) as the marks' cells are.
constexpr int spare_cell = map_w * map_h - (map_top * map_w + map_left);

inline uint32_t corner_mark(int slot, int age)
{
    return uint32_t(slot) << 8 | uint32_t(age);  // only squares mark, so age >= 1 and 0 stays "no square"
}

// Whether the square at (x, y) lies wholly on the screen: the corner of
// every square the program draws does, but a record need not.
inline bool on_area(int x, int y)
{
    return unsigned(x) <= unsigned(area_w) && unsigned(y) <= unsigned(area_h);
}

// Whether any pixel of the square at (x, y) is on the screen: its corner is
// then in the map, margins included.
inline bool on_screen(int x, int y)
{
    return unsigned(x) + (dot_size - 1) < unsigned(screen_w + dot_size - 1) &&
           unsigned(y) + (dot_size - 1) < unsigned(screen_h + dot_size - 1);
}

// ---- The square map ----------------------------------------------------------

// One particle at a time, the corners' marks wait on the caches: the corner
// map is 3.2 MB. There a square's age is written instead into its nine
// pixels of a map of bytes (768 KB, which the caches keep), in slot order, so
// that the square drawn last wins as in the corner map, and the map is then
// painted in the ages' colours. 0 stays "no square".
extern uint8_t square_map[screen_h][screen_w];

// ---- Blocks ----------------------------------------------------------------

constexpr int block = 1024;

// What the step of one block leaves for its drawing and relaunching.
struct block_work {
    // Where each square goes and its palette index (0 for none), for drawing
    // the squares one by one; the vector levels keep x and y for the bounds.
    int32_t x[block], y[block];
    int32_t age[block];
    int32_t relaunch[block + max_lanes];  // the slots to launch again, in order; room for a vector past the end
    int listed;
    // The bounds of all corners so far in this pass, lane by lane: those with
    // no square too, which costs a little painting and saves a mask per bound.
    alignas(64) int32_t lo_x[max_lanes], lo_y[max_lanes], hi_x[max_lanes], hi_y[max_lanes];
};

// Draw position, ageing, bounce, move and pull for one particle, and with
// mark its corner marked in the map; its slot listed if it is to be launched
// again. All sums in double, rounded to float where they are stored; edge
// tests on the sums. The corners' bounds are taken afterwards (add_corners),
// so that the loop keeps its counts in registers.
template <bool bounce, bool mark>
inline void step_one(particle &p, int first, double pull_div, block_work &w, int j, int &listed)
{
    const float x = p.x, y = p.y, koko = p.koko;
    const int age = p.age;
    const int draw_x = int(x), draw_y = int(y);
    w.x[j] = draw_x;
    w.y[j] = draw_y;
    w.age[j] = age;
    if (mark && age >= 1 && on_screen(draw_x, draw_y))
        map_row(draw_y)[draw_x] = corner_mark(first + j, age);
    const int new_age = int(age + double(koko));
    double vx = p.vx, vy = p.vy;
    if (bounce) {
        vx = (x + vx < 0 || x + vx >= area_w) ? -vx : vx;
        vy = (y + vy < 0 || y + vy >= area_h) ? -vy : vy;
    }
    const double nx = x + vx, ny = y + vy;
    p.x = float(nx);
    p.y = float(ny);
    p.vx = float(vx);
    p.vy = float(vy + koko / pull_div);  // pull grows with koko
    p.age = new_age;
    w.relaunch[listed] = first + j;
    listed += (new_age > 254) | (nx >= area_w) | (ny >= area_h) | (nx < 0) | (ny < 0);
}

// Adds the corners from .. to - 1 of the block to lane 0's bounds.
inline void add_corners(block_work &w, int from, int to)
{
    int lo_x = w.lo_x[0], lo_y = w.lo_y[0], hi_x = w.hi_x[0], hi_y = w.hi_y[0];
    for (int j = from; j < to; ++j) {
        lo_x = std::min(lo_x, w.x[j]), hi_x = std::max(hi_x, w.x[j]);
        lo_y = std::min(lo_y, w.y[j]), hi_y = std::max(hi_y, w.y[j]);
    }
    w.lo_x[0] = lo_x, w.lo_y[0] = lo_y, w.hi_x[0] = hi_x, w.hi_y[0] = hi_y;
}

// Writes the age of the square at (x, y), which is on the area, into the
// square map.
inline void mark_square(int x, int y, int age)
{
    uint8_t *at = &square_map[y][x];
    for (int row = 0; row < dot_size; ++row, at += screen_w)
        at[0] = at[1] = at[2] = uint8_t(age);
}

// The same for a square that may hang off the screen: its pixels on it.
inline void mark_clipped_square(int x, int y, int age)
{
    for (int row = std::max(y, 0); row < std::min(y + dot_size, screen_h); ++row)
        for (int col = std::max(x, 0); col < std::min(x + dot_size, screen_w); ++col)
            square_map[row][col] = uint8_t(age);
}

// ---- Kernels ---------------------------------------------------------------

// The pass's vector parts, built once for each level.
struct pass_kernels {
    // From how many particles on the squares are marked rather than drawn one by one.
    int map_from;
    // Whether the squares are marked in the square map rather than the corner map.
    bool marks_squares;
    // Steps particles first .. first + count - 1 (at p), marking their squares or corners if mark.
    void (*step_block)(particle *p, int first, int count, double pull_div, bool bounce, bool mark, block_work &w);
    // The highest of the three marks at and left of each cell of a map row;
    // the cells read are left clear. Null where the squares are marked.
    void (*take_row)(uint32_t *across, uint32_t *row, int from, int to);
    // One screen row from the last three rows taken. Null where the squares are marked.
    void (*paint_row)(Uint32 *out, const uint32_t *a0, const uint32_t *a1, const uint32_t *a2, int from, int to);
};

pass_kernels kernels_at(simd_level level);
