// The vector level the program picks against evidence of its own: what
// libgcc reads of the processor, and whether one instruction of each
// extension really runs (in a child, so that a SIGILL ends only the child).
// The kernel's flag list is not asked: virtual machines leave out flags the
// processor has (LZCNT's abm on some AMD EPYC guests).
#include "simd.h"

#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Runs an instruction in a child; true if the child ended well (the probe
// itself may end it with 1 for a wrong result).
static bool runs_in_child(int (*probe)())
{
    fflush(nullptr);
    pid_t child = fork();
    if (child == 0)
        _exit(probe());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#define PROBE(instruction) [] { asm volatile(instruction ::: "memory"); return 0; }

struct extension {
    const char *name;
    bool (*libgcc_has)();  // libgcc's own reading of CPUID and of the saved register state
    int (*probe)();        // one instruction of it; 0 if it ran right
};

#define EXTENSION(name, libgcc, instruction) \
    {name, [] { return __builtin_cpu_supports(libgcc) != 0; }, PROBE(instruction)}

static int lzcnt_probe()
{
    // Where LZCNT is missing the same bytes are BSR, which runs and answers 7.
    unsigned value = 0xf0, zeros;
    asm volatile("lzcnt %1, %0" : "=r"(zeros) : "r"(value));
    return zeros == 24 ? 0 : 1;
}

// Each level's extensions, as simd.cpp asks for them: the ones its kernels are built with.
static const std::vector<std::vector<extension>> level_extensions = {
    {},  // baseline
    {
        EXTENSION("sse3", "sse3", "haddps %%xmm0, %%xmm0"),
        EXTENSION("ssse3", "ssse3", "pshufb %%xmm0, %%xmm0"),
        EXTENSION("sse4.1", "sse4.1", "pminud %%xmm0, %%xmm0"),
        EXTENSION("sse4.2", "sse4.2", "pcmpgtq %%xmm0, %%xmm0"),
        EXTENSION("pclmul", "pclmul", "pclmulqdq $0, %%xmm0, %%xmm0"),
        EXTENSION("aes", "aes", "aesenc %%xmm0, %%xmm0"),
    },
    {
        EXTENSION("avx", "avx", "vxorps %%ymm0, %%ymm0, %%ymm0"),
        EXTENSION("avx2", "avx2", "vpaddd %%ymm0, %%ymm0, %%ymm0"),
        EXTENSION("bmi", "bmi", "andn %%eax, %%eax, %%eax"),
        EXTENSION("bmi2", "bmi2", "shlx %%eax, %%eax, %%eax"),
        EXTENSION("fma", "fma", "vfmadd231ps %%ymm0, %%ymm0, %%ymm0"),
        EXTENSION("f16c", "f16c", "vcvtph2ps %%xmm0, %%ymm0"),
        {"lzcnt", [] { return __builtin_cpu_supports("lzcnt") != 0; }, lzcnt_probe},
    },
    {
        EXTENSION("avx512f", "avx512f", "vpaddd %%zmm0, %%zmm0, %%zmm0"),
        EXTENSION("avx512vl", "avx512vl", "vpaddd %%ymm0, %%ymm0, %%ymm0%{%%k1%}"),
        EXTENSION("avx512dq", "avx512dq", "vpmullq %%zmm0, %%zmm0, %%zmm0"),
        EXTENSION("avx512bw", "avx512bw", "vpaddb %%zmm0, %%zmm0, %%zmm0"),
        EXTENSION("avx512cd", "avx512cd", "vplzcntd %%zmm0, %%zmm0"),
    },
};

// The widest level whose every extension libgcc finds and runs, and what was
// found of each. An extension named in `pretend_missing` counts as absent.
static simd_level level_of_evidence(std::string &evidence, const std::string &pretend_missing = "")
{
    __builtin_cpu_init();
    simd_level level = simd_level::baseline;
    bool all_so_far = true;
    for (size_t l = 1; l < level_extensions.size(); ++l) {
        for (const extension &e : level_extensions[l]) {
            const bool read = e.libgcc_has(), ran = runs_in_child(e.probe);
            evidence += std::string(evidence.empty() ? "" : ", ") + e.name + (read ? "" : " (libgcc: no)") +
                        (ran ? "" : " (does not run)");
            all_so_far &= read && ran && pretend_missing != e.name;
        }
        if (all_so_far)
            level = simd_level(l);
    }
    return level;
}

// Empty if the chosen level is the widest the evidence allows, else why not.
static std::string level_mismatch(simd_level chosen, const std::string &pretend_missing = "")
{
    std::string evidence;
    simd_level expected = level_of_evidence(evidence, pretend_missing);
    while (!simd_level_built(expected))
        expected = simd_level(int(expected) - 1);
    if (chosen == expected)
        return "";
    return std::string("picked ") + simd_level_name(chosen) + (chosen > expected ? ", too wide" : ", too narrow") +
           ": the processor's evidence gives " + simd_level_name(expected) + " (" + evidence + ")";
}

TEST(Levels, WidestIsTheWidestTheProcessorRuns)
{
    EXPECT_EQ(level_mismatch(widest_level()), "");
}

// The oracle itself: a level too wide or too narrow is caught, and an
// instruction the processor cannot run is found out.
TEST(Levels, ALevelTooWideOrTooNarrowIsCaught)
{
    EXPECT_FALSE(runs_in_child(PROBE("ud2"))) << "an undefined instruction went unnoticed";
    const simd_level widest = widest_level();
    if (widest == simd_level::baseline) {
        if (simd_level_built(simd_level::sse)) {
            EXPECT_NE(level_mismatch(simd_level::sse), "");
        }
        return;
    }
    const char *one_of_its_extensions = level_extensions[size_t(widest)].front().name;
    EXPECT_NE(level_mismatch(widest, one_of_its_extensions), "") << "as if the processor lacked " << one_of_its_extensions;
    const std::string too_narrow = level_mismatch(simd_level(int(widest) - 1));
    EXPECT_NE(too_narrow, "");
    printf("%s\n", too_narrow.c_str());
}
#endif
