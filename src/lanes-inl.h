// Records to lanes and back, shared by the pass's kernels and the launch's,
// built inside each target's namespace: as many particles at a time as the
// target has float lanes, their sums in double lanes, half a vector at a time.
// (Highway's convention for a header of per-target code: included once for
// each target, toggled by HWY_TARGET_TOGGLE.)
#if defined(LAAVA_LANES_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef LAAVA_LANES_INL_H_
#undef LAAVA_LANES_INL_H_
#else
#define LAAVA_LANES_INL_H_
#endif

#include "effect.h"

#include <hwy/highway.h>

#if HWY_TARGET != HWY_SCALAR
HWY_BEFORE_NAMESPACE();
namespace laava {
namespace HWY_NAMESPACE {

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

}  // namespace HWY_NAMESPACE
}  // namespace laava
HWY_AFTER_NAMESPACE();
#endif
#endif
