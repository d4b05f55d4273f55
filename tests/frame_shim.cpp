// Preloaded into the real program by the process tests. It can fix the clock
// that seeds the generator (LAAVA_FAKE_TIME), save chosen frames as raw
// 1024 x 768 x 32 pixels (LAAVA_DUMP_FRAMES="3,40", LAAVA_DUMP_PREFIX) and,
// after the last of them, ask the program to quit with SIGTERM; and it can
// make the video mode or the particle pool fail (LAAVA_FAIL_VIDEO_MODE,
// LAAVA_FAIL_POOL); and it can keep in a file (LAAVA_COUNT_FLIPS) the number
// of flips so far and, for each key of the first 128, of the frames that
// read it held: a test waits on frames, not on the clock; and it can write
// the time each flip was asked for (LAAVA_FLIP_TIMES), a line of seconds on
// the monotonic clock each.
#include <SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>
#include <vector>

static std::vector<int> frames_to_dump()
{
    std::vector<int> frames;
    if (const char *list = getenv("LAAVA_DUMP_FRAMES"))
        for (char *end; *list; list = *end ? end + 1 : end)
            frames.push_back(int(strtol(list, &end, 10)));
    return frames;
}

static void dump(SDL_Surface *s, int frame)
{
    const char *prefix = getenv("LAAVA_DUMP_PREFIX");
    std::string path = std::string(prefix ? prefix : "frame") + "-" + std::to_string(frame) + ".raw";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y)
        fwrite(static_cast<Uint8 *>(s->pixels) + y * s->pitch, 4, s->w, f);
    SDL_UnlockSurface(s);
    fclose(f);
}

static int flips = 0;
static unsigned held_frames[128];

// The counts as text: the flips, then the frames each key was read held.
static void write_counts()
{
    static int fd = [] {
        const char *path = getenv("LAAVA_COUNT_FLIPS");
        return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644) : -1;
    }();
    if (fd < 0)
        return;
    char text[12 * (1 + 128) + 1];
    int length = snprintf(text, sizeof text, "%11d\n", flips);
    for (unsigned count : held_frames)
        length += snprintf(text + length, sizeof text - size_t(length), "%11u ", count);
    if (pwrite(fd, text, size_t(length), 0) != length)
        return;
}

// The program reads the keys once a frame.
extern "C" Uint8 *SDL_GetKeyState(int *numkeys)
{
    static auto real_get = reinterpret_cast<Uint8 *(*)(int *)>(dlsym(RTLD_NEXT, "SDL_GetKeyState"));
    int keys = 0;
    Uint8 *state = real_get(&keys);
    for (int key = 0; key < 128 && key < keys; ++key)
        held_frames[key] += state[key] != 0;
    write_counts();
    if (numkeys)
        *numkeys = keys;
    return state;
}

static void note_flip_time()
{
    static int fd = [] {
        const char *path = getenv("LAAVA_FLIP_TIMES");
        return path ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644) : -1;
    }();
    if (fd < 0)
        return;
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    char line[32];
    int length = snprintf(line, sizeof line, "%lld.%09ld\n", (long long)t.tv_sec, t.tv_nsec);
    if (write(fd, line, size_t(length)) != length)
        return;
}

extern "C" int SDL_Flip(SDL_Surface *screen)
{
    note_flip_time();
    static auto real_flip = reinterpret_cast<int (*)(SDL_Surface *)>(dlsym(RTLD_NEXT, "SDL_Flip"));
    static std::vector<int> wanted = frames_to_dump();
    ++flips;
    write_counts();
    for (size_t i = 0; i < wanted.size(); ++i)
        if (wanted[i] == flips) {
            dump(screen, flips);
            if (i + 1 == wanted.size())
                kill(getpid(), SIGTERM);
        }
    return real_flip(screen);
}

extern "C" time_t time(time_t *out)
{
    static auto real_time = reinterpret_cast<time_t (*)(time_t *)>(dlsym(RTLD_NEXT, "time"));
    const char *fake = getenv("LAAVA_FAKE_TIME");
    if (!fake)
        return real_time(out);
    time_t t = time_t(atoll(fake));
    if (out)
        *out = t;
    return t;
}

// LAAVA_FAIL_VIDEO_MODE: the display refuses the mode, with a reason of our own.
extern "C" SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags)
{
    static auto real_set = reinterpret_cast<SDL_Surface *(*)(int, int, int, Uint32)>(
        dlsym(RTLD_NEXT, "SDL_SetVideoMode"));
    if (getenv("LAAVA_FAIL_VIDEO_MODE")) {
        SDL_SetError("ei tilaa testissä");
        return nullptr;
    }
    return real_set(width, height, bpp, flags);
}

// LAAVA_FAIL_POOL: an allocation as large as the particle pool fails.
void *operator new[](size_t size, const std::nothrow_t &tag) noexcept
{
    static auto real_new = reinterpret_cast<void *(*)(size_t, const std::nothrow_t &)>(
        dlsym(RTLD_NEXT, "_ZnamRKSt9nothrow_t"));
    if (getenv("LAAVA_FAIL_POOL") && size >= 1000000 * 24)
        return nullptr;
    return real_new(size, tag);
}
