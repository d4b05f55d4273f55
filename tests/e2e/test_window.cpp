// The real program in a real X window, seen and steered as a person would:
// keys through XTest, the mouse through xdotool, the screen read back pixel
// by pixel.
#include "effect.h"
#include "frame_times.h"
#include "pace.h"
#include "../process.h"

#include <gtest/gtest.h>
// After GoogleTest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

using namespace std::chrono_literals;

// ---- The X server -----------------------------------------------------------

// An X server on a display number it picks itself, so that runs side by side
// never meet: Xvfb, which reports no refresh rate, unless a suite starts
// another.
class XServerTest : public ::testing::Test {
  protected:
    static inline pid_t server = -1;
    static inline std::string display_name;
    static inline Display *dpy = nullptr;

    static void SetUpTestSuite()
    {
        start_server({"Xvfb", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"});
    }

    static void start_server(std::vector<std::string> command)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        command.insert(command.begin() + 1, {"-displayfd", std::to_string(fds[1])});
        server = fork();
        if (server == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            close(fds[0]);
            int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, 1), dup2(null_fd, 2);
            std::vector<char *> argv;
            for (std::string &word : command)
                argv.push_back(word.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd pfd = {fds[0], POLLIN, 0};
        char ch;
        while (poll(&pfd, 1, 10000) > 0 && read(fds[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        close(fds[0]);
        if (number.empty())
            return;
        display_name = ":" + number;
        setenv("DISPLAY", display_name.c_str(), 1);
        dpy = XOpenDisplay(display_name.c_str());
        // A window that goes away while it is looked at is not the test's
        // failure; Xlib's own handler would end the test program.
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    }

    static void TearDownTestSuite()
    {
        if (dpy)
            XCloseDisplay(dpy);
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
        dpy = nullptr, server = -1;
    }

    void SetUp() override
    {
        ASSERT_NE(dpy, nullptr) << "the X server did not start: the end-to-end tests need the xvfb package, "
                                   "and as root xserver-xorg-video-dummy";
    }
};

// ---- Pictures and screenshots ----------------------------------------------

struct frame {
    std::vector<uint32_t> px;  // 0xRRGGBB, 1024 x 768
    uint32_t at(int x, int y) const { return px[size_t(y) * 1024 + x]; }
};

static bool is_fire(uint32_t c)
{
    static const std::set<uint32_t> fire(palette.begin(), palette.end());
    return fire.count(c) != 0;
}

static bool lit(uint32_t c)
{
    return c != 0 && is_fire(c);
}

// A picture no fire colour can match: red below 255 and blue above 0 everywhere.
static uint32_t picture_colour(int x, int y)
{
    return uint32_t(16 + (x & 63)) << 16 | uint32_t((y * 3) & 255) << 8 | uint32_t(1 + (x / 4) % 200);
}

static void write_picture(const fs::path &path)
{
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 1024, 255, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    for (int y = 0; y < 255; ++y)
        for (int x = 0; x < 1024; ++x) {
            Uint8 *p = static_cast<Uint8 *>(s->pixels) + y * s->pitch + x * 3;
            uint32_t c = picture_colour(x, y);
            p[0] = Uint8(c), p[1] = Uint8(c >> 8), p[2] = Uint8(c >> 16);
        }
    SDL_SaveBMP(s, path.c_str());
    SDL_FreeSurface(s);
}

static Window find_named(Display *dpy, Window w, const char *title)
{
    char *name = nullptr;
    if (XFetchName(dpy, w, &name) && name) {
        bool match = strcmp(name, title) == 0;
        XFree(name);
        if (match)
            return w;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(dpy, w, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = find_named(dpy, children[i], title);
        if (children)
            XFree(children);
    }
    return found;
}

static frame grab(Display *dpy, Window w)
{
    frame f;
    f.px.resize(1024 * 768);  // black, if there is nothing to read
    XImage *image = XGetImage(dpy, w, 0, 0, 1024, 768, AllPlanes, ZPixmap);
    if (!image) {
        ADD_FAILURE() << "the window could not be read";
        return f;
    }
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
            f.px[size_t(y) * 1024 + x] = uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF;
    XDestroyImage(image);
    return f;
}

// Keeps a screenshot as a PNG in the build folder, for people to look at.
static void save_png(const frame &f, const std::string &name)
{
    fs::path ppm = fs::path(LAAVA_SHOT_DIR) / (name + ".ppm");
    FILE *out = fopen(ppm.c_str(), "wb");
    if (!out)
        return;
    fprintf(out, "P6\n1024 768\n255\n");
    for (uint32_t c : f.px) {
        unsigned char rgb[3] = {Uint8(c >> 16), Uint8(c >> 8), Uint8(c)};
        fwrite(rgb, 1, 3, out);
    }
    fclose(out);
    std::string cmd = "convert '" + ppm.string() + "' '" + (fs::path(LAAVA_SHOT_DIR) / (name + ".png")).string() + "'";
    if (system(cmd.c_str()) == 0)
        fs::remove(ppm);
}

static void xdotool(const std::string &args)
{
    std::string cmd = "xdotool " + args;
    ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
}

// Presses or lets go a key, as xdotool does, but on the open connection: a
// key let go the moment a frame has read it held must be up before the next
// frame, sooner than a new xdotool process can start on a busy machine.
static void press_key(Display *dpy, const char *key, bool down)
{
    KeyCode code = XKeysymToKeycode(dpy, XStringToKeysym(key));
    ASSERT_NE(code, 0) << "no key " << key;
    XTestFakeKeyEvent(dpy, code, down, CurrentTime);
    XSync(dpy, False);
}

// What the lit pixels of the sky (rows 0 .. 512) look like.
struct sky_stats {
    int count = 0;
    double mean_x = 0, spread_x = 0;
    int top = 768;  // the row below which 98 % of the lit pixels lie
};

static sky_stats sky(const frame &f)
{
    sky_stats s;
    std::vector<int> rows;
    double sum = 0, sum2 = 0;
    for (int y = 0; y < 513; ++y)
        for (int x = 0; x < 1024; ++x)
            if (lit(f.at(x, y))) {
                ++s.count;
                sum += x, sum2 += double(x) * x;
                rows.push_back(y);
            }
    if (s.count) {
        s.mean_x = sum / s.count;
        s.spread_x = std::sqrt(std::max(0.0, sum2 / s.count - s.mean_x * s.mean_x));
        std::sort(rows.begin(), rows.end());
        s.top = rows[rows.size() / 50];
    }
    return s;
}

// ---- The program in the window ----------------------------------------------

class WindowTest : public XServerTest {
  protected:
    fs::path dir;
    running_program program;
    Window window = 0;

    void start(bool with_picture = true, std::map<std::string, std::string> env = {})
    {
        dir = fresh_folder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        if (with_picture)
            write_picture(dir / "tausta.bmp");
        // The frame shim counts the flips and the frames that read each key
        // held, and notes when each flip came.
        env.insert({{"SDL_VIDEODRIVER", "x11"},
                    {"DISPLAY", display_name},
                    {"LD_PRELOAD", LAAVA_SHIM},
                    {"LAAVA_COUNT_FLIPS", dir / "flips"},
                    {"LAAVA_FLIP_TIMES", dir / "flip-times"}});
        program = start_program(dir, env);
        window = 0;
        // SDL on SDL 2 makes and drops a window or two while it starts, one of
        // them shown at 1024 x 768 for a moment: wait for the one that stays.
        Window seen = 0;
        int times_seen = 0;
        for (int i = 0; i < 200 && !window; ++i) {
            std::this_thread::sleep_for(50ms);
            Window now = find_named(dpy, DefaultRootWindow(dpy), "Laavasuihku!");
            XWindowAttributes a;
            if (now && !(XGetWindowAttributes(dpy, now, &a) && a.map_state == IsViewable && a.width == 1024 &&
                         a.height == 768))
                now = 0;
            times_seen = now && now == seen ? times_seen + 1 : 0;
            seen = now;
            if (times_seen == 6)  // the same window for 300 ms
                window = now;
        }
        ASSERT_NE(window, 0u) << "no window titled Laavasuihku! appeared";
        xdotool(at(1000, 10));  // the pointer over the window, so the keys reach it
        wait_frames(particle_life);
    }

    // The pointer at (x, y) in the window, wherever the window stands on the screen.
    std::string at(int x, int y) const
    {
        char words[96];
        snprintf(words, sizeof words, "mousemove --window %lu %d %d", static_cast<unsigned long>(window), x, y);
        return words;
    }

    // What the frame shim counted: the frames shown, and for each key the
    // frames that read it held.
    struct counts {
        int flips = 0;
        int held[128] = {};
    };

    counts counted() const
    {
        std::ifstream in(dir / "flips");
        counts c;
        in >> c.flips;
        for (int &h : c.held)
            in >> h;
        return c;
    }

    int flips() const { return counted().flips; }

    // Waits until the program has shown that many more frames.
    void wait_frames(int frames)
    {
        const int until = flips() + frames;
        for (int i = 0; i < 60000 && flips() < until; ++i)
            std::this_thread::sleep_for(1ms);
        ASSERT_GE(flips(), until) << "the program stopped showing frames";
    }

    // The window a few frames on: the frame drawn now is on the screen.
    frame shot()
    {
        wait_frames(3);
        return grab(dpy, window);
    }

    // A particle lives at most 51 frames (its age grows by koko, at least 5, to past 254).
    static constexpr int particle_life = 52;

    // After a change, once every particle launched before it has burned out.
    frame settled_shot()
    {
        wait_frames(particle_life);
        return shot();
    }

    // Holds a key down until that many frames have read it held, as a person
    // does, and lets it go; returns how many frames read it held in all (the
    // key may still be down for the frame after).
    int hold_key_frames(const char *key, int frames)
    {
        const int before = counted().held[int(key[0])];
        press_key(dpy, key, true);
        for (int i = 0; i < 60000 && counted().held[int(key[0])] < before + frames; ++i)
            std::this_thread::sleep_for(1ms);
        press_key(dpy, key, false);
        wait_frames(2);
        return counted().held[int(key[0])] - before;
    }

    // A tap: a key held for one frame, unless letting it go takes longer than a frame.
    int tap_key(const char *key) { return hold_key_frames(key, 1); }

    // The processor time the program has used, from the scheduler's count.
    double cpu_seconds() const
    {
        std::ifstream schedstat("/proc/" + std::to_string(program.pid) + "/schedstat");
        double nanoseconds = 0;
        schedstat >> nanoseconds;
        return nanoseconds * 1e-9;
    }

    // The program's frame times and its share of a core over four seconds,
    // beside those of a bare loop sleeping to the same deadlines meanwhile, in
    // a process of its own and working as long a frame as the program did
    // just before: the machine treats the two alike.
    struct pace {
        frame_figures program, bare;
        double core_share;
    };

    pace measure_pace(double step)
    {
        const int f0 = flips();
        const double c0 = cpu_seconds();
        std::this_thread::sleep_for(500ms);
        const double work = std::min((cpu_seconds() - c0) / std::max(1, flips() - f0), step / 2);
        const double t0 = monotonic_seconds(), c1 = cpu_seconds();
        std::vector<double> bare = bare_loop_apart(step, 4, work);
        const double t1 = monotonic_seconds();
        const double core_share = (cpu_seconds() - c1) / (t1 - t0);
        return {figures_of(read_flip_times(dir / "flip-times", t0, t1), step), figures_of(bare, step), core_share};
    }

    // Where the program's frames fall short, beside the bare loop's in the
    // same window: what the bare loop lost too was the machine's doing. (A
    // busy machine makes frames neither quicker nor the program busier.)
    static std::vector<std::string> shortfalls(const pace &p, double step, bool most)
    {
        std::vector<std::string> found;
        auto short_if = [&](bool failed, std::string what) {
            if (failed)
                found.push_back(what);
        };
        char figures[160];
        snprintf(figures, sizeof figures, " (%.2f frames a second, the bare loop %.2f; spreads %.2f and %.2f ms)",
                 p.program.per_second, p.bare.per_second, (p.program.p99 - p.program.p1) * 1e3,
                 (p.bare.p99 - p.bare.p1) * 1e3);
#ifdef LAAVA_SANITIZE  // the sanitizers slow the pass; 999,000 particles may not fit in a step
        if (most)
            return found;
#endif
        // With 999,000 particles a slower machine draws some frames past their
        // deadline (on one whose memory takes 6 ms for the pass, SDL 2
        // underneath kept 54 to 59 frames of 75); a rate halved, by a wait
        // made twice, say, is still caught.
        const double machine_lost = std::max(0.0, 1 / step - p.bare.per_second);
        short_if(p.program.per_second <= (most ? 0.6 : 0.9) / step - machine_lost,
                 std::string("frames lost") + figures);
        if (!most) {
            // Frames flipped when their drawing ends spread over many milliseconds.
            short_if(p.program.p99 - p.program.p1 >= p.bare.p99 - p.bare.p1 + 0.4 * step,
                     std::string("intervals spread wider than the bare loop's") + figures);
        }
        return found;
    }

    // The bare loop lost frames or woke far off its deadlines: the machine
    // itself was too busy in that window to judge the program by.
    static bool starved(const frame_figures &bare, double step)
    {
        return bare.per_second < 0.97 / step || bare.p99 - bare.p1 > 0.25 * step;
    }

    // The program started shows one step per refresh of the screen at rate,
    // or per two above a hundred a second, with the fewest particles and the
    // most: on time, none early, the intervals hardly wider spread than a
    // bare loop's. Where the program falls short while the bare loop beside it
    // was starved too, it is measured again; starved every time, the test
    // says so and is skipped.
    void expect_paced_to(double rate)
    {
        const double step = clock_for(rate, false, 0).step;
        for (bool most : {false, true}) {
            if (most)
                hold_key_frames("a", 1000);
            wait_frames(30);
            const char *what = most ? "999,000 particles" : "1000 particles";
            for (int attempt = 1;; ++attempt) {
                pace p = measure_pace(step);
                printf("%.1f Hz, %s, %.0f %% of a core:\n", rate, what, 100 * p.core_share);
                print_figures("program", p.program);
                print_figures("bare loop", p.bare);
                EXPECT_LT(p.program.per_second, 1.03 / step) << what << ": frames faster than the step";
                if (!most) {
                    EXPECT_LT(p.core_share, 0.5) << "the processor rests between frames";
                }
                const std::vector<std::string> found = shortfalls(p, step, most);
                if (found.empty())
                    break;
                if (!starved(p.bare, step)) {
                    for (const std::string &f : found)
                        ADD_FAILURE() << what << ": " << f;
                    break;
                }
                for (const std::string &f : found)
                    printf("starved machine, not counted against the program: %s\n", f.c_str());
                if (attempt == 3)
                    GTEST_SKIP() << "the machine was starved in all three windows: even a bare loop lost its frames";
            }
        }
    }

    bool maps_library(const char *name) const
    {
        std::ifstream maps("/proc/" + std::to_string(program.pid) + "/maps");
        std::string line;
        while (std::getline(maps, line))
            if (line.find(name) != std::string::npos)
                return true;
        return false;
    }

    bool uses_sdl2() const { return maps_library("libSDL2"); }

    long peak_memory_kib() const
    {
        std::ifstream status("/proc/" + std::to_string(program.pid) + "/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return atol(line.c_str() + 6);
        return 0;
    }

    run_result quit_with_escape()
    {
        press_key(dpy, "Escape", true);
        run_result r = wait_program(program, -1ms, 10000ms);
        press_key(dpy, "Escape", false);
        return r;
    }

    void TearDown() override
    {
        if (program.pid > 0) {
            kill(program.pid, SIGKILL);
            wait_program(program, -1ms, 5000ms);
        }
        if (!dir.empty())
            fs::remove_all(dir);
    }
};

TEST_F(WindowTest, ShowsTheFountainOverThePicture)
{
    start();
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(dpy, window, &attributes));
    EXPECT_EQ(attributes.width, 1024);
    EXPECT_EQ(attributes.height, 768);

    frame f = shot();
    ASSERT_FALSE(f.px.empty());
    save_png(f, "e2e-default");
    int picture = 0;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint32_t c = f.at(x, y);
            if (y < 513)
                ASSERT_TRUE(c == 0 || is_fire(c)) << "sky at " << x << "," << y << ": " << std::hex << c;
            else if (c == picture_colour(x, y - 513))
                ++picture;
            else
                ASSERT_TRUE(is_fire(c)) << "band at " << x << "," << y << ": " << std::hex << c;
        }
    EXPECT_GT(picture, 1024 * 255 * 9 / 10);
    sky_stats s = sky(f);
    EXPECT_GT(s.count, 300);
    EXPECT_NEAR(s.mean_x, 588, 60) << "the fountain stands above the emitter";
    EXPECT_LT(s.top, 400) << "and rises well above it";
    run_result r = quit_with_escape();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(WindowTest, LeftDragMovesTheEmitterOtherButtonsDoNot)
{
    start();
    xdotool(at(200, 300) + " mousedown 1");
    for (auto [x, y] : {std::pair(230, 320), std::pair(250, 330)}) {
        wait_frames(3);
        xdotool(at(x, y));
    }
    frame held = settled_shot();
    xdotool("mouseup 1");
    save_png(held, "e2e-dragged");
    sky_stats s = sky(held);
    EXPECT_NEAR(s.mean_x, 250, 60);
    EXPECT_GT(s.top, 330 - 400);
    int near_old = 0;
    for (int y = 0; y < 513; ++y)
        for (int x = 540; x < 640; ++x)
            near_old += lit(held.at(x, y));
    EXPECT_LT(near_old, s.count / 20) << "nothing rises from the old emitter";

    for (int button : {2, 3}) {
        xdotool(at(800, 200) + " mousedown " + std::to_string(button));
        wait_frames(3);
        xdotool(at(820, 220));
        wait_frames(3);
        xdotool("mouseup " + std::to_string(button));
        EXPECT_NEAR(sky(settled_shot()).mean_x, 250, 60) << "button " << button;
    }
    quit_with_escape();
}

TEST_F(WindowTest, QWidensTheFan)
{
    start();
    double normal = sky(settled_shot()).spread_x;
    hold_key_frames("q", 30);  // from 45 degrees to 195
    frame wide = settled_shot();
    save_png(wide, "e2e-wide-fan");
    EXPECT_GT(sky(wide).spread_x, 1.5 * normal);
    quit_with_escape();
}

TEST_F(WindowTest, WNarrowsTheFan)
{
    // From 45 degrees, w narrows the fan by 5 a frame: nine frames make it a
    // thin column.
    start();
    double normal = sky(settled_shot()).spread_x;
    const int held = hold_key_frames("w", 9);
    ASSERT_LE(std::abs(45 - 5 * held), 10) << "w was read held for " << held << " frames";
    frame narrow = settled_shot();
    save_png(narrow, "e2e-narrow-fan");
    EXPECT_LT(sky(narrow).spread_x, 0.5 * normal);
    quit_with_escape();
}

TEST_F(WindowTest, EAndRWeakenAndStrengthenThePull)
{
    start();
    int normal = sky(settled_shot()).top;
    hold_key_frames("e", 40);  // from 15 to the weakest, 50
    int weak = sky(settled_shot()).top;
    EXPECT_LT(weak, normal - 80) << "a weak pull lets the fountain climb higher";
    hold_key_frames("r", 60);  // to the strongest, 1
    int strong = sky(settled_shot()).top;
    EXPECT_GT(strong, normal + 200) << "a strong pull keeps it low";
    quit_with_escape();
}

TEST_F(WindowTest, AAndSAddAndDropParticles)
{
    start();
    int normal = sky(settled_shot()).count;
    long before = peak_memory_kib();
    hold_key_frames("a", 1000);  // to the most there can be
    frame many = shot();
    save_png(many, "e2e-many");
    EXPECT_GT(sky(many).count, 5 * normal);

    // The memory the program needs for the pool and the corner map, and in all.
    long peak = peak_memory_kib();
    printf("peak resident memory: %ld KiB with 1000 particles, %ld KiB with many\n", before, peak);
    EXPECT_GT(peak - before, 5000) << "the pool is in use";
#ifndef LAAVA_SANITIZE  // the sanitizers' shadow memory, and freed memory in quarantine, would count too
    EXPECT_LT(peak - before, 40 * 1024);
    if (!uses_sdl2()) {  // SDL 1.2 on SDL 2 needs some 100 MB of its own
        EXPECT_LT(peak, 64 * 1024);
    }
#endif

    // Dropping back to a thousand takes as many frames as adding did.
    hold_key_frames("s", 1000);
    EXPECT_LT(sky(settled_shot()).count, 2 * normal + 500);
    quit_with_escape();
}

TEST_F(WindowTest, BTogglesBouncingOffTheEdges)
{
    start();
    // From the top-left corner a plain fountain leaves the screen at once;
    // a bouncing one comes back down.
    xdotool(at(30, 5) + " mousedown 1");
    wait_frames(3);
    xdotool("mouseup 1");
    ASSERT_LT(sky(settled_shot()).count, 500);
    // b flips bouncing on every frame that reads it held: a tap of one frame
    // flips it once. Should letting go take longer than a frame, the count
    // of frames still tells.
    bool bouncing = false;
    for (int tap = 0; tap < 5 && !bouncing; ++tap)
        bouncing ^= tap_key("b") % 2 == 1;
    ASSERT_TRUE(bouncing) << "b was never read held for an odd number of frames";
    frame seen = settled_shot();
    save_png(seen, "e2e-bounce");
    EXPECT_GT(sky(seen).count, 3000) << "b does not set the particles bouncing";
    for (int tap = 0; tap < 5 && bouncing; ++tap)
        bouncing ^= tap_key("b") % 2 == 1;
    ASSERT_FALSE(bouncing);
    EXPECT_LT(sky(settled_shot()).count, 500) << "b does not switch bouncing off";
    quit_with_escape();
}

TEST_F(WindowTest, OneFramePerRefreshSixtyWhereTheScreenReportsNoRate)
{
    start();
    expect_paced_to(60);
    quit_with_escape();
}

// Xorg with its dummy video driver: a real X server whose RandR reports its
// mode's refresh rate, 74.9 Hz, or 144 Hz once the test sets that mode.
class XorgWindowTest : public WindowTest {
  protected:
    static constexpr double refresh_rate = 138.75e6 / (1728 * 1072);
    static constexpr double high_refresh_rate = 266.75e6 / (1728 * 1072);

    static void set_mode(const char *name)
    {
        std::string cmd = std::string("xrandr --output DUMMY0 --mode ") + name;
        ASSERT_EQ(system(cmd.c_str()), 0) << cmd;
    }

    void TearDown() override
    {
        set_mode("1280x1024_75");
        WindowTest::TearDown();
    }

    static void SetUpTestSuite()
    {
        fs::path dir = fresh_folder("xorg");
        start_server({"Xorg", "-config", LAAVA_XORG_CONF, "-logfile", dir / "Xorg.log", "-noreset", "-nolisten",
                      "tcp", "-novtswitch", "-sharevts"});
    }
};

TEST_F(XorgWindowTest, OneFramePerRefreshAtTheScreensRate)
{
    start();
    expect_paced_to(refresh_rate);
    quit_with_escape();
}

// A screen switched to 144 Hz under the running program: within a second it
// shows each step for two refreshes, 72 steps a second.
TEST_F(XorgWindowTest, AHighRefreshModeIsFollowedAndEachStepHeldTwoRefreshes)
{
    start();
    set_mode("1280x1024_144");
    std::this_thread::sleep_for(1500ms);
    expect_paced_to(high_refresh_rate);
    quit_with_escape();
}

// SDL 2 underneath shows the frames without OpenGL, which, with no graphics
// hardware, the processor would draw too; a renderer the person asks for is
// theirs, and so is SDL 2's own choice when they ask for flips on the
// refresh, which the software renderer cannot give.
TEST_F(WindowTest, FramesAreShownWithoutOpenGlUnlessARendererIsAskedFor)
{
    start();
    EXPECT_FALSE(maps_library("libGL")) << "OpenGL was loaded";
    const bool sdl2 = uses_sdl2();
    quit_with_escape();
    if (!sdl2)
        return;  // classic SDL has no renderer to ask for
    start(true, {{"SDL_RENDER_DRIVER", "opengl"}});
    EXPECT_TRUE(maps_library("libGL")) << "the renderer asked for was not used";
    quit_with_escape();
    start(true, {{"SDL12COMPAT_SYNC_TO_VBLANK", "1"}});
    EXPECT_TRUE(maps_library("libGL")) << "flips on the refresh were asked for, yet the software renderer was forced";
    quit_with_escape();
}

TEST_F(WindowTest, EscapeEndsQuietlyWithZero)
{
    start();
    run_result r = quit_with_escape();
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

// The message a window manager sends when the user closes the window.
static void request_close(Display *dpy, Window w)
{
    XEvent ev = {};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, w, False, NoEventMask, &ev);
    XFlush(dpy);
}

TEST_F(WindowTest, CloseRequestEndsWithZero)
{
    start();
    request_close(dpy, window);
    run_result r = wait_program(program, -1ms, 10000ms);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(WindowTest, CloseRequestIsHeardWhileTheMouseRacesOverTheWindow)
{
    start();
    hold_key_frames("a", 60);  // a busy fountain, so events pile up between frames
    std::string moves = "xdotool";
    for (int i = 0; i < 400; ++i)
        moves.append(" ").append(at(50 + (i * 37) % 900, 50 + (i * 53) % 650));
    pid_t mover = fork();
    if (mover == 0) {
        for (int round = 0; round < 50; ++round)
            if (system(moves.c_str()) != 0)
                break;
        _exit(0);
    }
    wait_frames(90);
    request_close(dpy, window);
    run_result r = wait_program(program, -1ms, 8000ms);
    kill(mover, SIGKILL);
    waitpid(mover, nullptr, 0);
    EXPECT_TRUE(r.exited) << "the close request was lost";
    EXPECT_EQ(r.status, 0);
}

TEST_F(WindowTest, WithoutThePictureTheBandKeepsOnlyFire)
{
    start(false);
    frame f = settled_shot();
    int lit_band = 0;
    for (int y = 513; y < 768; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint32_t c = f.at(x, y);
            ASSERT_TRUE(c == 0 || is_fire(c)) << x << "," << y << ": " << std::hex << c;
            lit_band += c != 0;
        }
    EXPECT_GT(lit_band, 0) << "squares drawn in the band stay there";
    run_result r = quit_with_escape();
    EXPECT_EQ(r.status, 0);
}

TEST_F(XServerTest, SaysSoWhenSdlCannotStart)
{
    fs::path dir = fresh_folder("nodisplay");
    run_result r = run_program(dir, {{"SDL_VIDEODRIVER", "x11"}, {"DISPLAY", ":65000"}}, -1ms, 10000ms);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("SDL ei alustunut: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    fs::remove_all(dir);
}
