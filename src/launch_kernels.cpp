// The vector kernels of launching: the generator's draws, sixteen lanes at a
// time, and alusta for a vector of particles at once, written once on
// Highway's portable vectors and built by it for each instruction set it
// targets. They work on what they are handed: the generator's state, the
// draws, the trig tables; the settings they read are the effect's.
#include "highway_targets.h"
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "launch_kernels.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

#include "lanes-inl.h"
#include "launch.h"

#include <algorithm>
#include <cstring>

HWY_BEFORE_NAMESPACE();
namespace laava {
namespace HWY_NAMESPACE {

// The state rounds of lanes ahead.
static constexpr lcg_jump lcg_round = lcg_steps(rng_lanes);

// The states of the first round of draws, from the generator's.
static void first_round(uint64_t state, uint64_t (&lane)[rng_lanes])
{
    for (int j = 0; j < rng_lanes; ++j)
        lane[j] = state = state * lcg_mul + lcg_inc;
}

// The left draws wanted of the last round into out, and the state that made
// the last of them.
static void last_round(const uint64_t (&lane)[rng_lanes], uint16_t *out, int left, uint64_t &state)
{
    for (int j = 0; j < left; ++j)
        out[j] = uint16_t(lane[j] >> 49);
    state = lane[left - 1];
}

#if HWY_TARGET == HWY_SCALAR
// count draws from the generator into out, rng_lanes at a time.
static void make_draws(uint64_t &state, uint16_t *out, int count)
{
    if (count <= 0)
        return;
    uint64_t lane[rng_lanes];
    first_round(state, lane);
    int i = 0;
    for (; i + rng_lanes < count; i += rng_lanes)
        for (int j = 0; j < rng_lanes; ++j) {
            out[i + j] = uint16_t(lane[j] >> 49);
            lane[j] = lane[j] * lcg_round.mul + lcg_round.inc;
        }
    last_round(lane, out + i, count - i, state);
}

static launch_kernels kernels()
{
    return {make_draws, nullptr, 1};  // launched one at a time, as alusta does
}
#else
using DQ2 = hn::Rebind<uint64_t, DD>;  // 64-bit lanes, as many as a half
using VQ2 = hn::Vec<DQ2>;

constexpr bool big_endian = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__;

// 64-bit lanes as 32-bit ones whose even lanes, which MulEven takes, hold
// each one's low half: on a big-endian machine the even lane is the high half.
HWY_INLINE hn::Vec<hn::Repartition<uint32_t, DQ>> low_halves_even(hn::Vec<DQ> v)
{
    if (big_endian)
        v = hn::ShiftLeft<32>(v);
    return hn::BitCast(hn::Repartition<uint32_t, DQ>(), v);
}

// a * m mod 2^64, from 32-bit products: Highway has no 64-bit multiply on
// every target.
HWY_INLINE hn::Vec<DQ> times(hn::Vec<DQ> a, uint64_t m)
{
    const DQ dq;
    const auto lo = low_halves_even(a), hi = low_halves_even(hn::ShiftRight<32>(a));
    const auto m_lo = low_halves_even(hn::Set(dq, m & 0xFFFFFFFFu)), m_hi = low_halves_even(hn::Set(dq, m >> 32));
    return hn::MulEven(lo, m_lo) + hn::ShiftLeft<32>(hn::MulEven(hi, m_lo) + hn::MulEven(lo, m_hi));
}

// count draws from the generator into out, rng_lanes at a time.
static void make_draws(uint64_t &state, uint16_t *out, int count)
{
    const DQ dq;
    const hn::Rebind<uint16_t, DQ> d16;
    constexpr size_t lanes = hn::MaxLanes(DQ()), vectors = rng_lanes / lanes;
    static_assert(rng_lanes % lanes == 0);
    if (count <= 0)
        return;
    alignas(64) uint64_t first[rng_lanes];
    first_round(state, first);
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
    last_round(first, out + i, count - i, state);
}

// The draws of Lanes(DD) launches from r, four each: as 64-bit lanes, a
// launch's four draws in each.
HWY_INLINE VQ2 draws_of(const uint16_t *r)
{
    return hn::BitCast(DQ2(), hn::LoadU(hn::Repartition<uint16_t, DQ2>(), r));
}

// Draw k of each lane, as a double: exact, since it has 15 bits. The draws
// lie in the 64-bit lane in memory order: the first is the high one on a
// big-endian machine.
template <int k>
HWY_INLINE VD draw(VQ2 four)
{
    const DQ2 dq2;
    constexpr int at = big_endian ? 3 - k : k;
    const VQ2 bits = hn::And(hn::ShiftRight<16 * at>(four), hn::Set(dq2, 0xFFFFu));
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
HWY_INLINE void cos_sin(const trig_tables &trig, VI theta, VD &c0, VD &c1, VD &s0, VD &s1)
{
    const DI di;
    const DD dd;
    const hn::Rebind<int64_t, DD> d64;
    const VI at = theta - hn::Set(di, trig_lo);
    if (hn::AllTrue(DU(), hn::Lt(hn::BitCast(DU(), at), hn::Set(DU(), uint32_t(trig_hi - trig_lo + 1))))) {
        const auto at0 = hn::PromoteTo(d64, hn::LowerHalf(DIH(), at)), at1 = hn::PromoteTo(d64, hn::UpperHalf(DIH(), at));
        c0 = hn::GatherIndex(dd, trig.cos, at0), c1 = hn::GatherIndex(dd, trig.cos, at1);
        s0 = hn::GatherIndex(dd, trig.sin, at0), s1 = hn::GatherIndex(dd, trig.sin, at1);
        return;
    }
    alignas(64) int32_t degrees[max_lanes];
    alignas(64) double c[max_lanes], s[max_lanes];
    hn::Store(theta, di, degrees);
    for (size_t i = 0; i < hn::Lanes(di); ++i) {
        const trig_pair t = trig_deg(trig, degrees[i]);
        c[i] = t.c, s[i] = t.s;
    }
    const size_t half = hn::Lanes(dd);
    c0 = hn::Load(dd, c), c1 = hn::Load(dd, c + half), s0 = hn::Load(dd, s), s1 = hn::Load(dd, s + half);
}

// alusta for up to Lanes(DF) particles at once, from the next draws: the same
// four draws per particle in the same order and the same sums, so the
// records come out as that many calls of alusta would leave them.
static void launch_group(particle *particles, const int32_t *slots, int count, const uint16_t *r,
                         const trig_tables &trig)
{
    const DF df;
    const DI di;
    const DD dd;
    // All lanes' draws are loaded: a group short of a vector has its draws
    // padded, and its lanes past count make records that are not kept.
    alignas(64) uint16_t padded[4 * max_lanes];
    if (count < int(hn::Lanes(df))) {
        std::fill(std::copy(r, r + 4 * count, padded), padded + 4 * max_lanes, uint16_t(0));
        r = padded;
    }
    const VQ2 r0 = draws_of(r), r1 = draws_of(r + 4 * hn::Lanes(dd));
    const int half = kulma / 2;
    const VD ax_d = hn::Set(dd, double(ax)), up = hn::Set(dd, 90.0);
    fields f;
    f.x = to_floats(ax_d + scaled(-15, 15, draw<0>(r0)), ax_d + scaled(-15, 15, draw<0>(r1)));
    f.y = hn::Set(df, float(ay));
    const VI theta = to_ints(scaled(-half, half, draw<1>(r0)) + up, scaled(-half, half, draw<1>(r1)) + up);
    VD c0, c1, s0, s1;
    cos_sin(trig, hn::IfThenElse(hn::FirstN(di, size_t(count)), theta, hn::Set(di, 90)), c0, c1, s0, s1);
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

static launch_kernels kernels()
{
    return {make_draws, launch_group, int(hn::Lanes(DF()))};
}
#endif

}  // namespace HWY_NAMESPACE
}  // namespace laava
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "highway_dispatch.h"

launch_kernels launch_kernels_at(simd_level level)
{
    return LAAVA_KERNELS_AT(level, kernels);
}
#endif
