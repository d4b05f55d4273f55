// The vector kernels of the particle pass, written once on Highway's portable
// vectors and built by it for each instruction set it targets: as many
// particles at a time as the target has float lanes (4 on SSE4 and NEON, 8 on
// AVX2, 16 on AVX-512), their sums in double lanes, half a vector at a time.
// Built without Highway (LAAVA_HIGHWAY unset), only the one-lane kernels.

#if LAAVA_HIGHWAY
// Elsewhere than on x86 the kernels are built for what every processor of the
// architecture has (NEON on arm64) and for nothing else: Highway's NEON
// target as chosen at run time wants the AES extension, which a Raspberry Pi
// lacks. Without run-time dispatch it asks for nothing the baseline has not.
#if !defined(__x86_64__) && !defined(__i386__)
#define HWY_COMPILE_ONLY_STATIC 1
#define TOOLCHAIN_MISS_SYS_AUXV_H 1
#endif
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "pass_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>
#define ONE_LANE (HWY_TARGET == HWY_SCALAR)
#define TARGET_NAMESPACE HWY_NAMESPACE
#else
#define ONE_LANE 1
#define TARGET_NAMESPACE one_lane
#define HWY_BEFORE_NAMESPACE()
#define HWY_AFTER_NAMESPACE()
#define HWY_ONCE 1
#endif

#include "launch.h"
#include "pass.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>

HWY_BEFORE_NAMESPACE();
namespace laava {
namespace TARGET_NAMESPACE {

// The state rounds of lanes ahead.
static constexpr lcg_jump lcg_round = lcg_steps(rng_lanes);

// The states of the first round of draws, from the generator's.
static void first_round(uint64_t (&lane)[rng_lanes])
{
    uint64_t state = rng_state;
    for (int j = 0; j < rng_lanes; ++j)
        lane[j] = state = state * lcg_mul + lcg_inc;
}

// The draws of the last round into out, of which left are wanted, and the
// state that made the last of those kept.
static void last_round(const uint64_t (&lane)[rng_lanes], uint16_t *out, int left)
{
    for (int j = 0; j < rng_lanes; ++j)
        out[j] = uint16_t(lane[j] >> 49);
    rng_state = lane[left - 1];
}

#if ONE_LANE
// One lane: the particles one at a time.

// count draws from the generator into out, rng_lanes at a time.
static void make_draws(uint16_t *out, int count)
{
    if (count <= 0)
        return;
    uint64_t lane[rng_lanes];
    first_round(lane);
    int i = 0;
    for (; i + rng_lanes < count; i += rng_lanes)
        for (int j = 0; j < rng_lanes; ++j) {
            out[i + j] = uint16_t(lane[j] >> 49);
            lane[j] = lane[j] * lcg_round.mul + lcg_round.inc;
        }
    last_round(lane, out + i, count - i);
}

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

static void launch_listed(particle *particles, const int32_t *slots, int count)
{
    for (int i = 0; i < count; ++i)
        launch_from(particles[slots[i]], take_draws(4));
}

#else
namespace hn = hwy::HWY_NAMESPACE;

// A vector of floats, a record's field for as many particles, and the same
// particles' sums as two vectors of doubles, a half each.
using DF = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<DF>;
using DU = hn::RebindToUnsigned<DF>;
using DQ = hn::Repartition<uint64_t, DF>;
using DH = hn::Half<DF>;
using DIH = hn::Half<DI>;
using DD = hn::Rebind<double, DH>;
using VF = hn::Vec<DF>;
using VI = hn::Vec<DI>;
using VD = hn::Vec<DD>;
using MI = hn::Mask<DI>;
static_assert(sizeof(particle) == 6 * sizeof(float));

// ---- Records and fields ----

// Four records are six 16-byte chunks. Each 128-bit block of a vector holds
// a chunk of four records in turn, so that a vector's lanes follow the records.
template <class D>
HWY_INLINE hn::Vec<D> load_blocks(D d, const float *chunk)
{
    if constexpr (hn::MaxLanes(D()) <= 4) {
        return hn::LoadU(d, chunk);
    } else {
        const hn::Half<D> half;
        return hn::Combine(d, load_blocks(half, chunk + 24 * (hn::MaxLanes(D()) / 8)), load_blocks(half, chunk));
    }
}

template <class D>
HWY_INLINE void store_blocks(D d, hn::Vec<D> v, float *chunk)
{
    if constexpr (hn::MaxLanes(D()) <= 4) {
        hn::StoreU(v, d, chunk);
    } else {
        const hn::Half<D> half;
        store_blocks(half, hn::LowerHalf(half, v), chunk);
        store_blocks(half, hn::UpperHalf(half, v), chunk + 24 * (hn::MaxLanes(D()) / 8));
    }
}

// In each block, from pairs [a0 b0 a1 b1] and [a2 b2 a3 b3], [a0 a1 a2 a3] and [b0 b1 b2 b3].
HWY_INLINE void unpair(VF p01, VF p23, VF &a, VF &b)
{
    const DF df;
    const VF u = hn::InterleaveLower(p01, p23), w = hn::InterleaveUpper(df, p01, p23);  // a0 a2 b0 b2, a1 a3 b1 b3
    a = hn::InterleaveLower(u, w);
    b = hn::InterleaveUpper(df, u, w);
}

struct fields {
    VF x, y, vx, vy, koko;
    VI age;
};

// The fields of Lanes(DF) records, in record order.
HWY_INLINE fields load_records(const particle *p)
{
    const DF df;
    const DQ dq;
    const float *f = reinterpret_cast<const float *>(p);
    const auto c0 = hn::BitCast(dq, load_blocks(df, f)), c1 = hn::BitCast(dq, load_blocks(df, f + 4)),
               c2 = hn::BitCast(dq, load_blocks(df, f + 8)), c3 = hn::BitCast(dq, load_blocks(df, f + 12)),
               c4 = hn::BitCast(dq, load_blocks(df, f + 16)), c5 = hn::BitCast(dq, load_blocks(df, f + 20));
    // Chunks: [x0 y0 vx0 vy0] [a0 k0 x1 y1] [vx1 vy1 a1 k1], the same for records 2 and 3.
    const VF xy01 = hn::BitCast(df, hn::OddEven(c1, c0)), xy23 = hn::BitCast(df, hn::OddEven(c4, c3));
    const VF v01 = hn::BitCast(df, hn::CombineShiftRightBytes<8>(dq, c2, c0));
    const VF v23 = hn::BitCast(df, hn::CombineShiftRightBytes<8>(dq, c5, c3));
    const VF ak01 = hn::BitCast(df, hn::OddEven(c2, c1)), ak23 = hn::BitCast(df, hn::OddEven(c5, c4));
    fields r;
    VF age;
    unpair(xy01, xy23, r.x, r.y);
    unpair(v01, v23, r.vx, r.vy);
    unpair(ak01, ak23, age, r.koko);
    r.age = hn::BitCast(DI(), age);
    return r;
}

HWY_INLINE void store_records(const fields &r, particle *p)
{
    const DF df;
    const DQ dq;
    const VF age = hn::BitCast(df, r.age);
    const auto xy01 = hn::BitCast(dq, hn::InterleaveLower(r.x, r.y)), xy23 = hn::BitCast(dq, hn::InterleaveUpper(df, r.x, r.y));
    const auto v01 = hn::BitCast(dq, hn::InterleaveLower(r.vx, r.vy)), v23 = hn::BitCast(dq, hn::InterleaveUpper(df, r.vx, r.vy));
    const auto ak01 = hn::BitCast(dq, hn::InterleaveLower(age, r.koko)), ak23 = hn::BitCast(dq, hn::InterleaveUpper(df, age, r.koko));
    float *f = reinterpret_cast<float *>(p);
    store_blocks(df, hn::BitCast(df, hn::InterleaveLower(xy01, v01)), f);
    store_blocks(df, hn::BitCast(df, hn::OddEven(xy01, ak01)), f + 4);
    store_blocks(df, hn::BitCast(df, hn::InterleaveUpper(dq, v01, ak01)), f + 8);
    store_blocks(df, hn::BitCast(df, hn::InterleaveLower(xy23, v23)), f + 12);
    store_blocks(df, hn::BitCast(df, hn::OddEven(xy23, ak23)), f + 16);
    store_blocks(df, hn::BitCast(df, hn::InterleaveUpper(dq, v23, ak23)), f + 20);
}

// ---- Halves in double ----

HWY_INLINE VD lower(VF v)
{
    return hn::PromoteTo(DD(), hn::LowerHalf(DH(), v));
}

HWY_INLINE VD upper(VF v)
{
    return hn::PromoteTo(DD(), hn::UpperHalf(DH(), v));
}

HWY_INLINE VD lower(VI v)
{
    return hn::PromoteTo(DD(), hn::LowerHalf(DIH(), v));
}

HWY_INLINE VD upper(VI v)
{
    return hn::PromoteTo(DD(), hn::UpperHalf(DIH(), v));
}

// int(v) in each lane. On x86 the processor's own conversions, as the C++
// casts compile to: Highway's add a fix-up or a clamp for values past the
// int range, where the casts are undefined, and x86 gives INT_MIN.
#if HWY_ARCH_X86 && HWY_TARGET != HWY_EMU128
#define X86_CONVERSIONS HWY_MAX_BYTES
#else
#define X86_CONVERSIONS 0
#endif

HWY_INLINE VI truncated(VF v)
{
#if X86_CONVERSIONS == 64
    return VI{_mm512_cvttps_epi32(v.raw)};
#elif X86_CONVERSIONS == 32
    return VI{_mm256_cvttps_epi32(v.raw)};
#elif X86_CONVERSIONS == 16
    return VI{_mm_cvttps_epi32(v.raw)};
#else
    return hn::ConvertTo(DI(), v);
#endif
}

HWY_INLINE hn::Vec<DIH> truncated(VD v)
{
#if X86_CONVERSIONS == 64
    return hn::Vec<DIH>{_mm512_cvttpd_epi32(v.raw)};
#elif X86_CONVERSIONS == 32
    return hn::Vec<DIH>{_mm256_cvttpd_epi32(v.raw)};
#elif X86_CONVERSIONS == 16
    return hn::Vec<DIH>{_mm_cvttpd_epi32(v.raw)};
#else
    return hn::DemoteTo(DIH(), v);
#endif
}
#undef X86_CONVERSIONS

HWY_INLINE VF to_floats(VD lo, VD hi)
{
    return hn::Combine(DF(), hn::DemoteTo(DH(), hi), hn::DemoteTo(DH(), lo));
}

HWY_INLINE VI to_ints(VD lo, VD hi)  // truncated
{
    return hn::Combine(DI(), truncated(hi), truncated(lo));
}

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
static constexpr std::array<uint64_t, 256> packed_lanes = [] {
    std::array<uint64_t, 256> t{};
    for (unsigned bits = 0; bits < 256; ++bits)
        for (unsigned lane = 0, at = 0; lane < 8; ++lane)
            if (bits >> lane & 1)
                t[bits] |= uint64_t(lane) << (8 * at++);
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
    uint32_t bits;
    memcpy(&bits, mask_bits, sizeof bits);
    const int32_t first = hn::GetLane(slots);
    for (size_t k = 0; k < lanes; k += at_once) {
        const unsigned set = bits >> k & ((1u << at_once) - 1);
        const uint64_t packed = packed_lanes[set];
        const auto at = hn::PromoteTo(d8, hn::LoadU(d8_bytes, reinterpret_cast<const uint8_t *>(&packed)));
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

// ---- Launching ----

using DQ2 = hn::Rebind<uint64_t, DD>;  // 64-bit lanes, as many as a half
using VQ2 = hn::Vec<DQ2>;

// a * m mod 2^64, from 32-bit products: Highway has no 64-bit multiply on
// every target.
HWY_INLINE hn::Vec<DQ> times(hn::Vec<DQ> a, uint64_t m)
{
    const DQ dq;
    const hn::Repartition<uint32_t, DQ> d32;
    const auto lo = hn::BitCast(d32, a), hi = hn::BitCast(d32, hn::ShiftRight<32>(a));
    const auto m_lo = hn::BitCast(d32, hn::Set(dq, m & 0xFFFFFFFFu)), m_hi = hn::BitCast(d32, hn::Set(dq, m >> 32));
    return hn::MulEven(lo, m_lo) + hn::ShiftLeft<32>(hn::MulEven(hi, m_lo) + hn::MulEven(lo, m_hi));
}

// count draws from the generator into out, rng_lanes at a time.
static void make_draws(uint16_t *out, int count)
{
    const DQ dq;
    const hn::Rebind<uint16_t, DQ> d16;
    constexpr size_t lanes = hn::MaxLanes(DQ()), vectors = rng_lanes / lanes;
    static_assert(rng_lanes % lanes == 0);
    if (count <= 0)
        return;
    alignas(64) uint64_t first[rng_lanes];
    first_round(first);
    hn::Vec<DQ> lane[vectors];
    for (size_t v = 0; v < vectors; ++v)
        lane[v] = hn::Load(dq, first + v * lanes);
    int i = 0;
    for (; i + rng_lanes < count; i += rng_lanes)
        for (size_t v = 0; v < vectors; ++v) {
            hn::StoreU(hn::TruncateTo(d16, hn::ShiftRight<49>(lane[v])), d16, out + i + v * lanes);
            lane[v] = times(lane[v], lcg_round.mul) + hn::Set(dq, lcg_round.inc);
        }
    for (size_t v = 0; v < vectors; ++v)
        hn::Store(lane[v], dq, first + v * lanes);
    last_round(first, out + i, count - i);
}

// The draws of Lanes(DD) launches from r, four each: as 64-bit lanes, a
// launch's four draws in each.
HWY_INLINE VQ2 draws_of(const uint16_t *r)
{
    return hn::BitCast(DQ2(), hn::LoadU(hn::Repartition<uint16_t, DQ2>(), r));
}

// Draw k of each lane, as a double: exact, since it has 15 bits.
template <int k>
HWY_INLINE VD draw(VQ2 four)
{
    const DQ2 dq2;
    const VQ2 bits = hn::And(hn::ShiftRight<16 * k>(four), hn::Set(dq2, 0xFFFFu));
    // The double 2^52 with the draw in the low bits of its mantissa is 2^52 + draw.
    constexpr uint64_t two_52 = 0x4330000000000000u;
    return hn::BitCast(DD(), hn::Or(bits, hn::Set(dq2, two_52))) - hn::Set(DD(), 4503599627370496.0);
}

// scaled for half a vector of draws. The span is scaled by 2^-15 first:
// exact, and the same product after rounding as scaling the rounded product.
HWY_INLINE VD scaled(int a, int b, VD draws)
{
    const DD dd;
    return hn::Set(dd, double(a)) + hn::Set(dd, double(int64_t(b) - a + 1) * draw_scale) * draws;
}

// cos and sin of the angles theta (whole degrees), as trig_deg gives them:
// gathered from the table when every lane's angle is in it.
HWY_INLINE void cos_sin(VI theta, VD &c0, VD &c1, VD &s0, VD &s1)
{
    const DI di;
    const DD dd;
    const hn::Rebind<int64_t, DD> d64;
    const VI at = theta - hn::Set(di, trig_lo);
    if (hn::AllTrue(DU(), hn::Lt(hn::BitCast(DU(), at), hn::Set(DU(), uint32_t(trig_hi - trig_lo + 1))))) {
        const auto at0 = hn::PromoteTo(d64, hn::LowerHalf(DIH(), at)), at1 = hn::PromoteTo(d64, hn::UpperHalf(DIH(), at));
        c0 = hn::GatherIndex(dd, trig_table.cos, at0), c1 = hn::GatherIndex(dd, trig_table.cos, at1);
        s0 = hn::GatherIndex(dd, trig_table.sin, at0), s1 = hn::GatherIndex(dd, trig_table.sin, at1);
        return;
    }
    alignas(64) int32_t degrees[max_lanes];
    alignas(64) double c[max_lanes], s[max_lanes];
    hn::Store(theta, di, degrees);
    for (size_t i = 0; i < hn::Lanes(di); ++i) {
        const trig_pair t = trig_deg(degrees[i]);
        c[i] = t.c, s[i] = t.s;
    }
    const size_t half = hn::Lanes(dd);
    c0 = hn::Load(dd, c), c1 = hn::Load(dd, c + half), s0 = hn::Load(dd, s), s1 = hn::Load(dd, s + half);
}

// alusta for up to Lanes(DF) particles at once, from the next draws: the same
// four draws per particle in the same order and the same sums, so the
// records come out as that many calls of alusta would leave them.
static void launch_group(particle *particles, const int32_t *slots, int count)
{
    const DF df;
    const DI di;
    const DD dd;
    // All lanes' draws are loaded; those past count are not the launches'
    // and make records that are not kept.
    const uint16_t *r = take_draws(4 * count);
    const VQ2 r0 = draws_of(r), r1 = draws_of(r + 4 * hn::Lanes(dd));
    const int half = kulma / 2;
    const VD ax_d = hn::Set(dd, double(ax)), up = hn::Set(dd, 90.0);
    fields f;
    f.x = to_floats(ax_d + scaled(-15, 15, draw<0>(r0)), ax_d + scaled(-15, 15, draw<0>(r1)));
    f.y = hn::Set(df, float(ay));
    const VI theta = to_ints(scaled(-half, half, draw<1>(r0)) + up, scaled(-half, half, draw<1>(r1)) + up);
    VD c0, c1, s0, s1;
    cos_sin(hn::IfThenElse(hn::FirstN(di, size_t(count)), theta, hn::Set(di, 90)), c0, c1, s0, s1);
    const VD v0 = scaled(minvoima, maxvoima, draw<2>(r0)), v1 = scaled(minvoima, maxvoima, draw<2>(r1));
    f.vx = to_floats(v0 * c0, v1 * c1);
    f.vy = to_floats(hn::Neg(v0) * s0, hn::Neg(v1) * s1);
    f.age = hn::Zero(di);
    f.koko = to_floats(scaled(minkoko, maxkoko, draw<3>(r0)), scaled(minkoko, maxkoko, draw<3>(r1)));
    // The records made whole in vectors, then copied to their slots eight
    // bytes at a time: a wider load would straddle two of the vector stores
    // and wait for both to reach the cache.
    alignas(64) particle made[max_lanes];
    store_records(f, made);
    for (int i = 0; i < count; ++i)
        for (size_t at = 0; at < sizeof(particle); at += 8)
            memcpy(reinterpret_cast<char *>(&particles[slots[i]]) + at, reinterpret_cast<const char *>(&made[i]) + at, 8);
}

static void launch_listed(particle *particles, const int32_t *slots, int count)
{
    const int lanes = int(hn::Lanes(DF()));
    for (int i = 0; i < count; i += lanes)
        launch_group(particles, slots + i, std::min(lanes, count - i));
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
    return {map_from, marks_squares, step_block, nullptr, nullptr, launch_listed, make_draws};
#else
    return {map_from, marks_squares, step_block, take_row, paint_row, launch_listed, make_draws};
#endif
}

}  // namespace TARGET_NAMESPACE
}  // namespace laava
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace laava {
#if LAAVA_HIGHWAY

// The levels: Highway's static target (what the compiler may assume: SSE2
// alone on x86-64, so Highway's scalar code there, NEON on arm64), and on
// x86-64 its SSE4, AVX2 and AVX-512 targets where the processor has them.
static pass_kernels kernels_at(simd_level level)
{
    switch (level) {
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX3)
    case simd_level::avx512:
        return N_AVX3::kernels();
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_AVX2)
    case simd_level::avx2:
        return N_AVX2::kernels();
#endif
#if HWY_ARCH_X86 && (HWY_TARGETS & HWY_SSE4)
    case simd_level::sse:
        return N_SSE4::kernels();
#endif
    default:
        return HWY_STATIC_DISPATCH(kernels)();
    }
}

static simd_level widest_level()
{
    simd_level widest = simd_level::baseline;
#if HWY_ARCH_X86
    const int64_t has = hwy::SupportedTargets();
    if (HWY_TARGETS & has & HWY_SSE4)
        widest = simd_level::sse;
    if (HWY_TARGETS & has & HWY_AVX2)
        widest = simd_level::avx2;
    if (HWY_TARGETS & has & HWY_AVX3)
        widest = simd_level::avx512;
#endif
    return widest;
}

static std::string baseline_name()
{
    std::string name = hwy::TargetName(HWY_STATIC_TARGET);
    for (char &c : name)
        c = char(tolower(c));
    return name;
}
#else
static pass_kernels kernels_at(simd_level)
{
    return one_lane::kernels();
}

static simd_level widest_level()
{
    return simd_level::baseline;
}

static std::string baseline_name()
{
    return "scalar";
}
#endif
}  // namespace laava

pass_kernels kernels_at(simd_level level)
{
    return laava::kernels_at(level);
}

simd_level widest_level()
{
    static const simd_level widest = laava::widest_level();
    return widest;
}

const char *simd_level_name(simd_level level)
{
    static const std::string baseline = laava::baseline_name();
    switch (level) {
    case simd_level::sse:
        return "sse";
    case simd_level::avx2:
        return "avx2";
    case simd_level::avx512:
        return "avx512";
    default:
        return baseline.c_str();
    }
}
#endif
