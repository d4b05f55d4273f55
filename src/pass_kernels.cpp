// The vector kernels of the particle pass, its step and its painting, written
// once on Highway's portable vectors and built by it for each instruction set
// it targets: as many particles at a time as the target has float lanes (4 on
// SSE4 and NEON, 8 on AVX2, 16 on AVX-512). On a target of one lane, the
// squares are marked in the square map instead of the corner map.

#include "highway_targets.h"
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pass_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "bytes.h"
#include "lanes-inl.h"
#include "pass.h"

#include <array>

#define ONE_LANE (HWY_TARGET == HWY_SCALAR)

HWY_BEFORE_NAMESPACE();
namespace laava {
namespace HWY_NAMESPACE {

#if ONE_LANE
// One lane: the particles one at a time.

// step_one with the position summed in float, as the vector kernels do: the
// float sum of two floats is their double sum rounded, and it tests against
// an edge as the double sum does unless it lands on the edge itself, where
// step_one decides. The squares are marked in the square map, which is
// painted whole, so no bounds are kept, and their places are kept only to
// draw them one by one.
template <bool bounce, bool mark>
static void step_block_body(particle *p, int first, int count, double pull_div, block_work &w)
{
    int listed = 0;
    for (int j = 0; j < count; ++j) {
        // The pool streams from memory: ask for the next block's records early.
        if (j % 8 == 0)
            for (size_t line = 0; line < 8 * sizeof(particle); line += 64)
                __builtin_prefetch(reinterpret_cast<const char *>(p + j + block) + line, 1, 0);
        particle &q = p[j];
        const float x = q.x, y = q.y, koko = q.koko;
        float vx = q.vx, vy = q.vy;
        const int age = q.age;
        const int draw_x = int(x), draw_y = int(y);
        if (!mark) {
            w.x[j] = draw_x;
            w.y[j] = draw_y;
            w.age[j] = age;
        } else if (age >= 1) {
            if (__builtin_expect(on_area(draw_x, draw_y), 1))
                mark_square(draw_x, draw_y, age);
            else
                mark_clipped_square(draw_x, draw_y, age);
        }
        bool on_edge = x + vx == area_w || y + vy == area_h;
        if (bounce) {
            vx = (x + vx < 0 || x + vx >= area_w) ? -vx : vx;
            vy = (y + vy < 0 || y + vy >= area_h) ? -vy : vy;
            on_edge |= x + vx == area_w || y + vy == area_h;
        }
        if (__builtin_expect(on_edge, 0)) {
            step_one<bounce, false>(q, first, pull_div, w, j, listed);
            continue;
        }
        const float nx = x + vx, ny = y + vy;
        const int new_age = int(age + double(koko));
        q.x = nx;
        q.y = ny;
        q.vx = vx;
        q.vy = float(vy + koko / pull_div);  // pull grows with koko, in double
        q.age = new_age;
        w.relaunch[listed] = first + j;
        listed += (new_age > 254) | (nx >= area_w) | (ny >= area_h) | (nx < 0) | (ny < 0);
    }
    w.listed = listed;
}

#else
// The position's sums are made in float: the float sum of two floats is
// their sum in double rounded, so the float sum tests against an edge as the
// double sum does, except where it lands on the edge itself.
HWY_INLINE hn::Mask<DF> outside(VF pos, float edge)
{
    const DF df;
    return hn::Or(hn::Ge(pos, hn::Set(df, edge)), hn::Lt(pos, hn::Zero(df)));
}

HWY_INLINE hn::Mask<DF> on_edge(VF pos, float edge)
{
    return hn::Eq(pos, hn::Set(DF(), edge));
}

// For each set of eight lanes (bit k for lane k), the lanes in order, packed
// to the front, a byte each.
alignas(8) static constexpr std::array<std::array<uint8_t, 8>, 256> packed_lanes = [] {
    std::array<std::array<uint8_t, 8>, 256> t{};
    for (unsigned bits = 0; bits < 256; ++bits)
        for (unsigned lane = 0, at = 0; lane < 8; ++lane)
            if (bits >> lane & 1)
                t[bits][at++] = uint8_t(lane);
    return t;
}();

// Appends the slots of the lanes in the mask to the list, in order; the list
// has room for a whole vector past its end. AVX-512 packs them in a register
// (2-5 % faster at 999,000 than the table); elsewhere eight lanes at a time
// (four on 128-bit targets) from the table, as the lanes' slots follow each
// other. (Highway's Compress there would copy its kilobyte of a table onto
// the stack on every call with GCC.)
HWY_INLINE void list_lanes(MI which, VI slots, int32_t *list, int &listed)
{
    const DI di;
#if HWY_TARGET == HWY_AVX3
    hn::StoreU(hn::Compress(slots, which), di, list + listed);
    listed += int(hn::CountTrue(di, which));
#else
    constexpr size_t lanes = hn::MaxLanes(DI()), at_once = lanes < 8 ? lanes : 8;
    const hn::CappedTag<int32_t, at_once> d8;
    const hn::Rebind<uint8_t, decltype(d8)> d8_bytes;
    alignas(8) uint8_t mask_bits[8] = {};
    hn::StoreMaskBits(di, which, mask_bits);
    const uint32_t bits = le32(mask_bits);
    const int32_t first = hn::GetLane(slots);
    for (size_t k = 0; k < lanes; k += at_once) {
        const unsigned set = bits >> k & ((1u << at_once) - 1);
        const auto at = hn::PromoteTo(d8, hn::LoadU(d8_bytes, packed_lanes[set].data()));
        hn::StoreU(hn::Add(at, hn::Set(d8, first + int32_t(k))), d8, list + listed);
        listed += __builtin_popcount(set);
    }
#endif
}

// What the step carries from group to group over a block.
struct lanes_state {
    VI slot;  // each lane's slot
    // The group before's marks and their cells (the spare one for a lane
    // with no square), still to be made.
    alignas(64) int32_t cells[max_lanes];
    alignas(64) int32_t marks[max_lanes];

    // In lane order, so the higher slot wins a shared cell.
    HWY_INLINE void mark_before(size_t lanes)
    {
        uint32_t *const row0 = map_row(0);
        for (size_t i = 0; i < lanes; ++i)
            row0[cells[i]] = uint32_t(marks[i]);
    }
};

// step_one for Lanes(DF) particles.
template <bool bounce, bool mark>
HWY_INLINE void step_group(particle *p, int first, double pull_div, block_work &w, int j, lanes_state &s, int &listed)
{
    const DF df;
    const DI di;
    const size_t lanes = hn::Lanes(df);
    // The pool streams from memory: ask for the next block's records early.
    for (size_t line = 0; line < lanes * sizeof(particle); line += 64)
        __builtin_prefetch(reinterpret_cast<const char *>(p + block) + line, 1, 0);
    fields r = load_records(p);

    const VI draw_x = truncated(r.x), draw_y = truncated(r.y);
    hn::StoreU(draw_x, di, w.x + j);
    hn::StoreU(draw_y, di, w.y + j);
    if (!mark) {
        hn::StoreU(r.age, di, w.age + j);
    } else {
        // Squares hanging off the screen mark their corners in the margins.
        const VI margin = hn::Set(di, dot_size - 1);
        const MI off_screen = hn::Or(hn::Lt(hn::Or(draw_x + margin, draw_y + margin), hn::Zero(di)),
                                     hn::Or(hn::Gt(draw_x, hn::Set(di, screen_w - 1)), hn::Gt(draw_y, hn::Set(di, screen_h - 1))));
        const MI marked = hn::AndNot(off_screen, hn::Gt(r.age, hn::Zero(di)));
        // Marked here rather than in a loop of their own, and each group's
        // marks made during the next group's step, so that the stores that
        // miss the cache overlap the arithmetic. (Prefetching the cells as
        // well cost more than it saved.)
        const VI cell = hn::ShiftLeft<10>(draw_y) + hn::ShiftLeft<4>(draw_y) + draw_x;  // map_w is 1040
        static_assert(map_w == 1040);
        s.mark_before(lanes);
        hn::Store(hn::IfThenElse(marked, cell, hn::Set(di, spare_cell)), di, s.cells);
        hn::Store(hn::Or(hn::ShiftLeft<8>(s.slot), r.age), di, s.marks);
    }

    const VI slots = s.slot;
    s.slot = s.slot + hn::Set(di, int32_t(lanes));

    VF vx = r.vx, vy = r.vy;
    auto exact_only = hn::Or(on_edge(r.x + vx, area_w), on_edge(r.y + vy, area_h));
    if (bounce) {
        vx = hn::IfThenElse(outside(r.x + vx, area_w), hn::Neg(vx), vx);
        vy = hn::IfThenElse(outside(r.y + vy, area_h), hn::Neg(vy), vy);
        exact_only = hn::Or(exact_only, hn::Or(on_edge(r.x + vx, area_w), on_edge(r.y + vy, area_h)));
    }
    if (HWY_UNLIKELY(!hn::AllFalse(df, exact_only))) {
        // Rare: only the double sums tell, so these particles one at a time,
        // their marks made as the others'.
        for (size_t i = 0; i < lanes; ++i)
            step_one<bounce, false>(p[i], first, pull_div, w, j + int(i), listed);
        return;
    }
    const VF nx = r.x + vx, ny = r.y + vy;
    const VD k0 = lower(r.koko), k1 = upper(r.koko);
    const VI new_age = to_ints(lower(r.age) + k0, upper(r.age) + k1);
    const MI again = hn::Or(hn::RebindMask(di, hn::Or(outside(nx, area_w), outside(ny, area_h))),
                            hn::Gt(new_age, hn::Set(di, 254)));
    list_lanes(again, slots, w.relaunch, listed);

    r.x = nx;
    r.y = ny;
    r.vx = vx;
    const VD pull = hn::Set(DD(), pull_div);
    r.vy = to_floats(lower(vy) + k0 / pull, upper(vy) + k1 / pull);  // pull grows with koko, in double
    r.age = new_age;
    store_records(r, p);
}

// The bounds of the corners, from the positions the step left: a loop of
// its own, since the step has no registers to spare for them.
static void add_to_bounds(block_work &w, int count)
{
    const DI di;
    const int lanes = int(hn::Lanes(di));
    VI lo_x = hn::LoadU(di, w.lo_x), lo_y = hn::LoadU(di, w.lo_y);
    VI hi_x = hn::LoadU(di, w.hi_x), hi_y = hn::LoadU(di, w.hi_y);
    for (int j = 0; j < count; j += lanes) {
        const VI x = hn::LoadU(di, w.x + j), y = hn::LoadU(di, w.y + j);
        lo_x = hn::Min(lo_x, x), hi_x = hn::Max(hi_x, x);
        lo_y = hn::Min(lo_y, y), hi_y = hn::Max(hi_y, y);
    }
    hn::StoreU(lo_x, di, w.lo_x), hn::StoreU(lo_y, di, w.lo_y);
    hn::StoreU(hi_x, di, w.hi_x), hn::StoreU(hi_y, di, w.hi_y);
}

template <bool bounce, bool mark>
static void step_block_body(particle *p, int first, int count, double pull_div, block_work &w)
{
    const DI di;
    const int lanes = int(hn::Lanes(di));
    lanes_state s = {hn::Iota(di, first), {}, {}};
    std::fill_n(s.cells, max_lanes, spare_cell);
    int listed = 0, j = 0;
    for (; j + lanes <= count; j += lanes)
        step_group<bounce, mark>(p + j, first, pull_div, w, j, s, listed);
    if (mark)
        s.mark_before(size_t(lanes));  // before the particles left over mark theirs
    const int grouped = j;
    for (; j < count; ++j)
        step_one<bounce, mark>(p[j], first, pull_div, w, j, listed);
    w.listed = listed;
    add_to_bounds(w, grouped);
    add_corners(w, grouped, count);
}

// ---- Painting ----

static void take_row(uint32_t *across, uint32_t *row, int from, int to)
{
    const DU du;
    const int lanes = int(hn::Lanes(du));
    int x = from;
    for (; x + lanes <= to; x += lanes) {
        const auto here = hn::LoadU(du, row + x), left = hn::LoadU(du, row + x - 1), two = hn::LoadU(du, row + x - 2);
        hn::StoreU(hn::Max(here, hn::Max(left, two)), du, across + x);
    }
    for (; x < to; ++x)
        across[x] = std::max({row[x], row[x - 1], row[x - 2]});
    std::fill(row + from - (dot_size - 1), row + to, 0u);
}

// Each pixel takes the colour of the highest mark among the nine corners
// whose squares cover it; pixels with none keep theirs.
static void paint_row(Uint32 *out, const uint32_t *a0, const uint32_t *a1, const uint32_t *a2, int from, int to)
{
    const DU du;
    const DI di;
    const int lanes = int(hn::Lanes(du));
    int x = from;
    for (; x + lanes <= to; x += lanes) {
        const auto v = hn::Max(hn::LoadU(du, a0 + x), hn::Max(hn::LoadU(du, a1 + x), hn::LoadU(du, a2 + x)));
        const auto covered = hn::Ne(v, hn::Zero(du));
        if (hn::AllFalse(du, covered))
            continue;
        const VI ages = hn::BitCast(di, hn::And(v, hn::Set(du, 255u)));
        const auto colours = hn::GatherIndex(du, palette.data(), ages);
        // A masked store is slow on some processors; the pixel row is ours alone.
        hn::StoreU(hn::IfThenElse(covered, colours, hn::LoadU(du, out + x)), du, out + x);
    }
    for (; x < to; ++x)
        if (uint32_t v = std::max({a0[x], a1[x], a2[x]}))
            out[x] = palette[v & 255];
}

#endif

// The step with bounce and mark made constants, each of the four built on its own.
static void step_block(particle *p, int first, int count, double pull_div, bool bounce, bool mark, block_work &w)
{
    if (bounce)
        mark ? step_block_body<true, true>(p, first, count, pull_div, w)
             : step_block_body<true, false>(p, first, count, pull_div, w);
    else
        mark ? step_block_body<false, true>(p, first, count, pull_div, w)
             : step_block_body<false, false>(p, first, count, pull_div, w);
}

// Painting from the map costs the same whatever the count, so it pays only
// with many particles: one lane at a time, at 20,000 it costs as much as
// drawing the squares one by one, at 100,000 two thirds.
#if ONE_LANE
static constexpr int map_from = 30000;
static constexpr bool marks_squares = true;
#else
static constexpr int map_from = 20000;
static constexpr bool marks_squares = false;
#endif

static pass_kernels kernels()
{
#if ONE_LANE
    return {map_from, marks_squares, step_block, nullptr, nullptr};
#else
    return {map_from, marks_squares, step_block, take_row, paint_row};
#endif
}

}  // namespace HWY_NAMESPACE
}  // namespace laava
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "highway_dispatch.h"

// The maps the kernels mark and the pass paints from.
uint32_t corner_map[map_w * map_h + 1];
uint8_t square_map[screen_h][screen_w];

pass_kernels kernels_at(simd_level level)
{
    return LAAVA_KERNELS_AT(level, kernels);
}
#endif
