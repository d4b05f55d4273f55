// How fast the particle pass and the whole frame run, beside the plain pass
// and a bare sweep over a pool-sized array, on the dummy video driver.
#include "effect.h"
#include "plain_pass.h"
#include "simd.h"
#include "picture.h"
#include "shell.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

static SDL_Surface *screen;
static SDL_Surface *picture;     // 24 bits, as loaded from a BMP
static SDL_Surface *background;  // the same in the display format, as the program blits it
static std::vector<particle> pool(pool_size);

static void fill_pool(int count)
{
    n = count;
    seed_rnd(1);
    for (int i = 0; i < count; ++i)
        alusta(pool[i]);
}

static void clear_sky()
{
    SDL_Rect clear_rect = {0, 0, screen_w, 513};
    SDL_FillRect(screen, &clear_rect, 0);
}

template <bool plain>
static void BM_Pass(benchmark::State &state)
{
    fill_pool(int(state.range(0)));
    for (int i = 0; i < 100; ++i) {  // into the steady state
        clear_sky();
        particle_pass(screen, pool.data(), false);
    }
    for (auto _ : state) {
        state.PauseTiming();
        clear_sky();
        state.ResumeTiming();
        if (plain)
            plain_pass(screen, pool.data(), false, rand_draw);
        else
            particle_pass(screen, pool.data(), false);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

static void BM_ParticlePass(benchmark::State &state)
{
    BM_Pass<false>(state);
}

static void BM_PlainPass(benchmark::State &state)
{
    BM_Pass<true>(state);
}

template <bool plain>
static void BM_FrameOf(benchmark::State &state)
{
    fill_pool(int(state.range(0)));
    bool quit = false, bounce = false;
    Uint8 no_keys[SDLK_LAST] = {};
    for (int i = 0; i < 100; ++i)
        redraw(screen, background, pool.data(), bounce);
    for (auto _ : state) {
        take_event();
        apply_controls(no_keys, 0, 0, 0, quit, bounce, pool.data());
        if (plain) {
            SDL_Rect band_rect = {0, 513, screen_w, 255};
            clear_sky();
            SDL_BlitSurface(picture, nullptr, screen, &band_rect);
            plain_pass(screen, pool.data(), bounce, rand_draw);
            SDL_Flip(screen);
        } else {
            redraw(screen, background, pool.data(), bounce);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

static void BM_Frame(benchmark::State &state)
{
    BM_FrameOf<false>(state);
}

static void BM_PlainFrame(benchmark::State &state)
{
    BM_FrameOf<true>(state);
}

// Showing a frame: nothing on the dummy driver; under X (SDL_VIDEODRIVER=x11)
// the cost of getting 3 MB of pixels to the X server.
static void BM_Flip(benchmark::State &state)
{
    for (auto _ : state)
        SDL_Flip(screen);
}

// One read-modify-write sweep over 24 MB: what touching the pool costs at least.
static void BM_PoolSweep(benchmark::State &state)
{
    std::vector<float> data(pool_size * sizeof(particle) / sizeof(float), 1.0f);
    for (auto _ : state) {
        for (float &v : data)
            v += 1.0f;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * pool_size);
    state.SetBytesProcessed(state.iterations() * int64_t(data.size() * sizeof(float)));
}

BENCHMARK(BM_ParticlePass)->Arg(1000)->Arg(20000)->Arg(100000)->Arg(999000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainPass)->Arg(1000)->Arg(20000)->Arg(100000)->Arg(999000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Frame)->Arg(1000)->Arg(999000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PlainFrame)->Arg(1000)->Arg(999000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PoolSweep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Flip)->Unit(benchmark::kMicrosecond);

// A benchmark run at one vector level, the level in use put back afterwards.
static void at_level(simd_level level, void (*bench)(benchmark::State &), benchmark::State &state)
{
    const simd_level before = use_simd_level(simd_level::avx512);
    use_simd_level(level);
    bench(state);
    use_simd_level(before);
}

// The pass and the frame once for each level this processor has, named after it.
static void register_levels()
{
    const simd_level widest = use_simd_level(simd_level::avx512);
    for (simd_level level : {simd_level::baseline, simd_level::sse, simd_level::avx2, simd_level::avx512}) {
        if (use_simd_level(level) != level)
            continue;
        const std::string name = simd_level_name(level);
        benchmark::RegisterBenchmark(("BM_ParticlePass_" + name).c_str(),
                                     [level](benchmark::State &s) { at_level(level, BM_ParticlePass, s); })
            ->Arg(1000)->Arg(20000)->Arg(100000)->Arg(999000)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("BM_Frame_" + name).c_str(),
                                     [level](benchmark::State &s) { at_level(level, BM_Frame, s); })
            ->Arg(999000)->Unit(benchmark::kMicrosecond);
    }
    use_simd_level(widest);
}

int main(int argc, char **argv)
{
    setenv("SDL_VIDEODRIVER", "dummy", 0);  // headless unless another driver is asked for
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return 1;
    screen = SDL_SetVideoMode(screen_w, screen_h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    // A 24-bit picture like the default one.
    picture = SDL_CreateRGBSurface(SDL_SWSURFACE, screen_w, 255, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    if (!screen || !picture)
        return 1;
    SDL_FillRect(picture, nullptr, 0x402010);
    background = in_display_format(SDL_ConvertSurface(picture, picture->format, SDL_SWSURFACE));
    register_levels();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    SDL_Quit();
    return 0;
}
