// Which vector level this processor can run, asked of the processor itself.
// Highway's own detection lives in libhwy.so, whose start-up code runs
// rdtscp unasked and so kills the program, before main, on a processor
// without it; the kernels are header code and need nothing else of it.
#include "simd.h"

#include "highway_targets.h"
#include <hwy/base.h>
#include <hwy/detect_targets.h>
#include <hwy/targets.h>  // TargetName, inline in the header

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>

// Highway's checks, on in its debug builds (the sanitizer build is one),
// report a failure through hwy::Abort, which lives in libhwy.so too: the
// program has its own.
void hwy::Abort(const char *file, int line, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    fprintf(stderr, "Highway: %s:%d: ", file, line);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    abort();
}

#if defined(__i386__) && !defined(__SSE2_MATH__)
// 32-bit x86 does its float and double arithmetic on the x87 unit, which
// keeps 64-bit mantissas in its registers: a double sum is rounded twice,
// first there and again when stored, and now and then lands a bit away from
// the once-rounded sum that SSE2, amd64 and arm64 give. Told to round every
// result to a double's 53 bits, it gives the same sums, and so the same
// particles, on every level and architecture. Set before any static
// constructor computes (the launch angles' table), on the one thread that
// runs the fountain.
__attribute__((constructor(101))) static void round_as_doubles()
{
    unsigned short control;
    asm volatile("fnstcw %0" : "=m"(control));
    control = (unsigned short)((control & ~0x300u) | 0x200u);  // precision control: 53 bits
    asm volatile("fldcw %0" : : "m"(control));
}
#endif

#if HWY_ARCH_X86
#include <cpuid.h>

namespace {

struct cpuid_regs {
    unsigned a = 0, b = 0, c = 0, d = 0;
};

cpuid_regs cpuid(unsigned leaf)
{
    cpuid_regs r;
    if (!__get_cpuid_count(leaf, 0, &r.a, &r.b, &r.c, &r.d))
        r = {};
    return r;
}

bool bits_set(unsigned reg, std::initializer_list<int> bits)
{
    for (int bit : bits)
        if (!(reg >> bit & 1))
            return false;
    return true;
}

// The register state the system saves for a thread (XCR0): an instruction
// set whose registers it does not save cannot be used.
unsigned long long saved_state()
{
    unsigned lo, hi;
    asm volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(lo), "=d"(hi) : "c"(0));  // xgetbv, which needs no -mxsave
    return (unsigned long long)hi << 32 | lo;
}

// Each level needs every extension its kernels are built with (Highway's
// target of that name): SSE4 with SSSE3, PCLMUL and AES; AVX2 with BMI,
// BMI2, FMA, F16C and LZCNT; AVX-512 with its F, VL, DQ, BW and CD.
simd_level detect()
{
    const cpuid_regs one = cpuid(1), seven = cpuid(7), ext = cpuid(0x80000001u);
    // SSE3, PCLMUL, SSSE3, SSE4.1, SSE4.2, AES; SSE, SSE2
    if (!bits_set(one.c, {0, 1, 9, 19, 20, 25}) || !bits_set(one.d, {25, 26}))
        return simd_level::baseline;
    // FMA, OSXSAVE (XGETBV may be asked), AVX, F16C; LZCNT; BMI, AVX2, BMI2; XMM and YMM saved
    const bool avx2 = bits_set(one.c, {12, 27, 28, 29}) && bits_set(ext.c, {5}) && bits_set(seven.b, {3, 5, 8});
    if (!avx2 || (saved_state() & 0x6) != 0x6)
        return simd_level::sse;
    // AVX-512 F, DQ, CD, BW, VL; opmask and ZMM saved
    if (!bits_set(seven.b, {16, 17, 28, 30, 31}) || (saved_state() & 0xe6) != 0xe6)
        return simd_level::avx2;
    return simd_level::avx512;
}

}  // namespace
#else
static simd_level detect()
{
    return simd_level::baseline;  // elsewhere the kernels are built for the baseline alone
}
#endif

bool simd_level_built(simd_level level)
{
    switch (level) {
    case simd_level::sse:
        return HWY_TARGETS & HWY_SSE4;
    case simd_level::avx2:
        return HWY_TARGETS & HWY_AVX2;
    case simd_level::avx512:
        return HWY_TARGETS & HWY_AVX3;
    default:
        return true;
    }
}

simd_level widest_level()
{
    static const simd_level widest = [] {
        simd_level level = detect();
        while (!simd_level_built(level))
            level = simd_level(int(level) - 1);
        return level;
    }();
    return widest;
}

static simd_level &level_in_use()
{
    static simd_level level = widest_level();
    return level;
}

simd_level simd_level_in_use()
{
    return level_in_use();
}

simd_level use_simd_level(simd_level wanted)
{
    return level_in_use() = wanted < widest_level() ? wanted : widest_level();
}

const char *simd_level_name(simd_level level)
{
    static const std::string baseline = [] {
        std::string name = hwy::TargetName(HWY_STATIC_TARGET);
        for (char &c : name)
            c = char(tolower(c));
        return name;
    }();
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

bool use_simd_level_named(const char *name)
{
    if (!name || !*name)
        return true;
    if (strcmp(name, "baseline") == 0)
        name = simd_level_name(simd_level::baseline);
    for (simd_level level : {simd_level::baseline, simd_level::sse, simd_level::avx2, simd_level::avx512})
        if (strcmp(name, simd_level_name(level)) == 0) {
            use_simd_level(level);
            return true;
        }
    return false;
}
