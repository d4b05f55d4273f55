// The real program, run as a user would, on the dummy video driver.
#include "process.h"
#include "simd.h"
#include "support.h"

#include <set>

using namespace std::chrono_literals;

static std::map<std::string, std::string> dummy_env(std::map<std::string, std::string> more = {})
{
    more["SDL_VIDEODRIVER"] = "dummy";
    more["LD_PRELOAD"] = LAAVA_SHIM;
    return more;
}

static bool is_fire_colour(uint32_t pixel)
{
    static const std::set<uint32_t> fire(palette.begin(), palette.end());
    return fire.count(pixel & 0xFFFFFF) != 0;
}

TEST(Program, EndsQuietlyWithZeroOnSigterm)
{
    fs::path dir = fresh_folder("sigterm");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    run_result r = run_program(dir, {{"SDL_VIDEODRIVER", "dummy"}}, 1500ms);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    fs::remove_all(dir);
}

TEST(Program, ReportsWhenSdlCannotStart)
{
    // A driver that does not exist; and, with SDL left to choose, no display
    // at all or one where no X server listens (over ssh without X forwarding,
    // say), where SDL would settle on a driver that shows no window. (Wayland
    // looks for its socket in XDG_RUNTIME_DIR, and complains without one.)
    fs::path dir = fresh_folder("nosdl");
    const std::map<std::string, std::string> cases[] = {
        {{"SDL_VIDEODRIVER", "no-such-driver"}},
        {{"SDL_VIDEODRIVER", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"XDG_RUNTIME_DIR", dir}},
        {{"SDL_VIDEODRIVER", ""}, {"DISPLAY", ":65001"}, {"WAYLAND_DISPLAY", ""}, {"XDG_RUNTIME_DIR", dir}},
    };
    for (const auto &env : cases) {
        run_result r = run_program(dir, env, -1ms, 10000ms);
        const std::string what = env.count("DISPLAY") ? "DISPLAY=" + env.at("DISPLAY") : "no such driver";
        EXPECT_TRUE(r.exited) << what;
        EXPECT_EQ(r.status, 0) << what;
        EXPECT_EQ(r.out, "") << what;
        const std::string prefix = "SDL ei alustunut: ";
        ASSERT_GT(r.err.size(), prefix.size() + 1) << what << ": " << r.err;
        EXPECT_EQ(r.err.substr(0, prefix.size()), prefix) << what;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
    fs::remove_all(dir);
}

TEST(Program, ReportsAModeItCannotSetOrAPoolItCannotHave)
{
    fs::path dir = fresh_folder("failures");
    run_result r = run_program(dir, dummy_env({{"LAAVA_FAIL_VIDEO_MODE", "1"}}));
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Näyttötila ei auennut: ei tilaa testissä\n");

    const std::string no_pool = "Hiukkasille ei riittänyt muistia\n";
#ifdef LAAVA_SANITIZE  // the sanitizer's own operator new comes before the shim's, and warns first
    r = run_program(dir, dummy_env({{"ASAN_OPTIONS", "allocator_may_return_null=1:max_allocation_size_mb=16"}}));
    ASSERT_GE(r.err.size(), no_pool.size());
    EXPECT_EQ(r.err.substr(r.err.size() - no_pool.size()), no_pool);
#else
    r = run_program(dir, dummy_env({{"LAAVA_FAIL_POOL", "1"}}));
    EXPECT_EQ(r.err, no_pool);
#endif
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    fs::remove_all(dir);
}

TEST(Program, ShowsThePictureInTheBandAndFireAboveIt)
{
    fs::path dir = fresh_folder("picture");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    run_result r = run_program(dir, dummy_env({{"LAAVA_DUMP_FRAMES", "60"}, {"LAAVA_DUMP_PREFIX", "f"}}));
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<uint32_t> frame = read_frame(dir / "f-60.raw");
    ASSERT_EQ(frame.size(), 1024u * 768);

    SDL_Surface *picture = SDL_LoadBMP(LAAVA_TAUSTA);
    ASSERT_NE(picture, nullptr);
    SDL_Surface *expected = SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    SDL_BlitSurface(picture, nullptr, expected, nullptr);
    int picture_pixels = 0, fire_above = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint32_t p = frame[size_t(y) * 1024 + x] & 0xFFFFFF;
            if (y < 513) {
                ASSERT_TRUE(p == 0 || is_fire_colour(p)) << x << "," << y;
                fire_above += p != 0;
            } else if (p == (pixel_at(expected, x, y - 513) & 0xFFFFFF)) {
                ++picture_pixels;
            } else {
                ASSERT_TRUE(is_fire_colour(p)) << x << "," << y;
            }
        }
    EXPECT_GT(picture_pixels, 1024 * 255 * 9 / 10);
    EXPECT_GT(fire_above, 1000) << "the fountain rises above the emitter";
    SDL_FreeSurface(expected);
    SDL_FreeSurface(picture);
    fs::remove_all(dir);
}

TEST(Program, RunsWithoutThePictureAndLeavesSquaresInTheBand)
{
    fs::path dir = fresh_folder("nopicture");
    run_result r = run_program(
        dir, dummy_env({{"LAAVA_FAKE_TIME", "1000000000"}, {"LAAVA_DUMP_FRAMES", "150"}, {"LAAVA_DUMP_PREFIX", "f"}}));
    ASSERT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::vector<uint32_t> frame = read_frame(dir / "f-150.raw");
    ASSERT_EQ(frame.size(), 1024u * 768);
    int lit_band = 0;
    for (int y = 513; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint32_t p = frame[size_t(y) * 1024 + x] & 0xFFFFFF;
            ASSERT_TRUE(p == 0 || is_fire_colour(p));
            lit_band += p != 0;
        }
    // Squares drawn in the band are never painted over, so they stay.
    EXPECT_GE(lit_band, 5 * 9);
    fs::remove_all(dir);
}

TEST(Program, FirstLaunchesRepeatAndLaterOnesFollowTheClock)
{
    fs::path dir = fresh_folder("launches");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    auto frames_at = [&](const char *clock, const char *name) {
        run_program(dir, dummy_env({{"LAAVA_FAKE_TIME", clock},
                                    {"LAAVA_DUMP_FRAMES", "3,40"},
                                    {"LAAVA_DUMP_PREFIX", name}}));
        return std::make_pair(read_frame(dir / (std::string(name) + "-3.raw")),
                              read_frame(dir / (std::string(name) + "-40.raw")));
    };
    auto a = frames_at("1000000000", "a"), b = frames_at("1000000001", "b"), c = frames_at("1000000000", "c");
    ASSERT_FALSE(a.first.empty() || b.first.empty() || c.first.empty());
    ASSERT_FALSE(a.second.empty() || b.second.empty() || c.second.empty());
    // Flip 3 shows the first 1000 launches after one move; they come before the seed.
    int lit = 0;
    for (int y = 0; y < 513; ++y)
        for (int x = 0; x < 1024; ++x)
            lit += a.first[size_t(y) * 1024 + x] != 0;
    EXPECT_GT(lit, 200);
    EXPECT_TRUE(a.first == b.first) << "the first launches are the same on every run";
    EXPECT_FALSE(a.second == b.second) << "later launches follow the seed";
    EXPECT_TRUE(a.second == c.second) << "the same second gives the same fountain";
    fs::remove_all(dir);
}

// Frame 40 of a run with a fixed seed, saved as `label`-40.raw in dir; what
// the program wrote on standard error goes to *err.
static std::vector<uint32_t> frame_40(const fs::path &dir, const std::string &label,
                                      std::map<std::string, std::string> env, std::vector<std::string> emulator,
                                      std::string *err)
{
    env.insert({{"SDL_VIDEODRIVER", "dummy"},
                {"LAAVA_FAKE_TIME", "1000000000"},
                {"LAAVA_DUMP_FRAMES", "40"},
                {"LAAVA_DUMP_PREFIX", label}});
    if (emulator.empty())
        env["LD_PRELOAD"] = LAAVA_SHIM;
    else  // the shim preloaded into the program, not into the emulator
        emulator.insert(emulator.end(), {"-E", "LD_PRELOAD=" LAAVA_SHIM});
    running_program program = start_program(dir, env, emulator);
    run_result r = wait_program(program, -1ms, 120000ms);
    EXPECT_TRUE(r.exited && r.status == 0) << label << ": " << r.err;
    *err = r.err;
    return read_frame(dir / (label + "-40.raw"));
}

// Every level asked for by name shows the same fountain; a name of none is
// said to be none, and the fountain goes on at the widest level.
TEST(Program, EveryLevelAskedForByNameShowsTheSameFountain)
{
    fs::path dir = fresh_folder("levels");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    std::string err;
    const std::vector<uint32_t> widest = frame_40(dir, "widest", {}, {}, &err);
    ASSERT_EQ(widest.size(), 1024u * 768);
    for (simd_level level : {simd_level::baseline, simd_level::sse, simd_level::avx2, simd_level::avx512}) {
        const std::string name = simd_level_name(level);
        EXPECT_TRUE(frame_40(dir, name, {{"LAAVA_SIMD", name}}, {}, &err) == widest) << name;
        EXPECT_EQ(err, "") << name;
    }
    EXPECT_TRUE(frame_40(dir, "baseline", {{"LAAVA_SIMD", "baseline"}}, {}, &err) == widest);
    EXPECT_TRUE(frame_40(dir, "none", {{"LAAVA_SIMD", "avx9000"}}, {}, &err) == widest);
    EXPECT_EQ(err, std::string("LAAVA_SIMD: no level named avx9000; using ") + simd_level_name(widest_level()) + "\n");
    fs::remove_all(dir);
}

#if defined(__x86_64__) && !defined(LAAVA_SANITIZE)  // the sanitizers' shadow memory does not fit under qemu
// On processors older than the vector levels, emulated by qemu, which stops
// the program at any instruction the processor lacks: a Core 2 (no SSE4.2,
// AES or rdtscp) and a Westmere (SSE4.2 and AES, no AVX). The program runs
// there, and shows the same fountain as natively, frame for frame.
TEST(Program, OlderProcessorsShowTheSameFountain)
{
    fs::path dir = fresh_folder("older");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    std::string err;
    const std::vector<uint32_t> native = frame_40(dir, "native", {}, {}, &err);
    ASSERT_EQ(native.size(), 1024u * 768);
    for (const char *cpu : {"core2duo", "Westmere"})
        EXPECT_TRUE(frame_40(dir, cpu, {}, {"qemu-x86_64", "-cpu", cpu}, &err) == native) << "on " << cpu;
    fs::remove_all(dir);
}
#endif

#ifndef LAAVA_SANITIZE  // valgrind and the sanitizers do not mix
TEST(Program, CleanUnderValgrind)
{
    fs::path dir = fresh_folder("valgrind");
    fs::copy_file(LAAVA_TAUSTA, dir / "tausta.bmp");
    running_program program =
        start_program(dir, {{"SDL_VIDEODRIVER", "dummy"}},
                      {"valgrind", "--error-exitcode=99", "--leak-check=full", "--errors-for-leak-kinds=definite",
                       "--suppressions=" LAAVA_VALGRIND_SUPP});
    run_result r = wait_program(program, 8000ms, 120000ms);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0) << r.err;
    // Definite leaks count as errors, so both show here.
    EXPECT_NE(r.err.find("ERROR SUMMARY: 0 errors"), std::string::npos) << r.err;
    fs::remove_all(dir);
}
#endif
