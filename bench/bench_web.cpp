// The particle pass's time in the page's build, under node: a plain loop
// over the frames, as Google Benchmark does not build for WebAssembly here.
// Usage: node laavasuihku_web_bench.js [FRAMES]
#include "effect.h"
#include "memory_surface.h"
#include "platform.h"
#include "simd.h"

#include <emscripten.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char *argv[])
{
    const int frames = argc > 1 ? atoi(argv[1]) : 200;
    SDL_Surface *screen = memory_surface(screen_w, screen_h);
    std::vector<particle> pool(pool_size);
    printf("level %s\n", simd_level_name(simd_level_in_use()));
    for (int count : {1000, 20000, 100000, 999000}) {
        n = count;
        seed_rnd(1);
        for (int i = 0; i < count; ++i)
            alusta(pool[size_t(i)]);
        double spent = 0;
        for (int frame = -100; frame < frames; ++frame) {  // the first hundred into the steady state
            draw_background(screen, nullptr);
            const double start = emscripten_get_now();
            particle_pass(screen, pool.data(), false);
            if (frame >= 0)
                spent += emscripten_get_now() - start;
        }
        printf("%7d particles: %8.3f ms a pass\n", count, spent / frames);
    }
    return 0;
}
