// Whatever lies in "./tausta.bmp", the program starts, runs and ends cleanly.
#include "process.h"
#include "picture.h"
#include "shell.h"
#include "support.h"

#include <cstring>

using namespace std::chrono_literals;

static void put16(std::string &s, unsigned v)
{
    s += char(v & 255), s += char(v >> 8 & 255);
}

static void put32(std::string &s, uint32_t v)
{
    put16(s, v & 0xFFFF), put16(s, v >> 16);
}

// A BMP with a 40-byte header; the fields are whatever the test says.
static std::string bmp(int32_t width, int32_t height, unsigned bits, uint32_t compression, uint32_t colours,
                       const std::string &palette, const std::string &pixels)
{
    std::string s = "BM";
    uint32_t offset = 14 + 40 + uint32_t(palette.size());
    put32(s, offset + uint32_t(pixels.size()));
    put32(s, 0);
    put32(s, offset);
    put32(s, 40);
    put32(s, uint32_t(width));
    put32(s, uint32_t(height));
    put16(s, 1);
    put16(s, bits);
    put32(s, compression);
    put32(s, uint32_t(pixels.size()));
    put32(s, 2835);
    put32(s, 2835);
    put32(s, colours);
    put32(s, 0);
    return s + palette + pixels;
}

static std::string grey_palette(int count)
{
    std::string p;
    for (int i = 0; i < count; ++i)
        p += std::string{char(i), char(i), char(i), 0};
    return p;
}

struct hostile {
    const char *name;
    std::string bytes;
};

static std::vector<hostile> hostile_pictures()
{
    const std::string good = bmp(1024, 255, 24, 0, 0, "", std::string(1024 * 3 * 255, '\x40'));
    std::string rle_past_end;  // runs far longer than the rows, then a jump past the bottom
    for (int i = 0; i < 40; ++i)
        rle_past_end += std::string{char(255), char(7)};
    rle_past_end += std::string{0, 2, char(200), char(200), char(255), char(9), 0, 1};
    return {
        {"empty", ""},
        {"only the magic", "BM"},
        {"truncated header", good.substr(0, 30)},
        {"truncated pixels", good.substr(0, 54 + 1000)},
        {"absurd size", bmp(1 << 30, 1 << 30, 24, 0, 0, "", std::string(3000, '\x10'))},
        {"size past the int range", bmp(INT32_MIN, INT32_MIN, 24, 0, 0, "", std::string(3000, '\x10'))},
        {"negative width", bmp(-1024, 255, 24, 0, 0, "", std::string(3000, '\x10'))},
        {"bit depth 6145", bmp(4, 3, 6145, 0, 0, "", std::string(36, '\x64'))},
        {"bit depth 7", bmp(4, 3, 7, 0, 0, "", std::string(36, '\x64'))},
        {"bit depth 0", bmp(4, 3, 0, 0, 0, "", std::string(36, '\x64'))},
        {"palette count past the end", bmp(16, 16, 8, 0, 100000, grey_palette(4), std::string(256, '\x03'))},
        {"palette index past the palette", bmp(16, 16, 8, 0, 2, grey_palette(2), std::string(256, '\xF0'))},
        {"rle past the picture", bmp(16, 4, 8, 1, 16, grey_palette(16), rle_past_end)},
        {"rle4 past the picture", bmp(8, 2, 4, 2, 16, grey_palette(16), rle_past_end)},
        {"unknown compression", bmp(16, 16, 24, 77, 0, "", std::string(16 * 16 * 3, '\x20'))},
        {"bitfields without masks", bmp(16, 16, 16, 3, 0, "", std::string(16 * 16 * 2, '\x20'))},
        {"top-down, taller than the int range allows, truncated",  // found by the fuzzer
         std::string("BMF\0\0\0\0\0\0\0" "6\0\0\x80(\0\0\0\x02\x01\0\0\xfe" "B\xff\xff\x01\0\x18\x07\0\0\0\0", 34)},
        // Each claims a picture of hundreds of megabytes in a few bytes.
        {"huge plain picture, pixels missing", bmp(16000, 16000, 32, 0, 0, "", std::string(64, '\x10'))},
        {"huge top-down picture, pixels missing", bmp(16000, -16000, 24, 0, 0, "", std::string(64, '\x10'))},
        {"huge RLE picture that ends at once", bmp(16000, 16000, 8, 1, 2, grey_palette(2), std::string{0, 1})},
        {"side past any real picture", bmp(70000, 1, 1, 0, 0, "", std::string(8752, '\x10'))},
        {"palette far past its bit depth", bmp(16, 16, 1, 0, 0x7FFFFFFF, grey_palette(2), std::string(64, '\x10'))},
        {"pixel offset past the end", [&] {
             std::string s = good.substr(0, 54 + 3000);
             s[10] = char(0xFF), s[11] = char(0xFF), s[12] = char(0xFF), s[13] = 0x7F;
             return s;
         }()},
    };
}

// Runs a few frames (the frame shim saves frame 6 and then asks to quit);
// gives the program's peak resident memory.
static long expect_runs_and_ends_cleanly(const fs::path &dir, const std::string &what)
{
    run_result r = run_program(dir, {{"SDL_VIDEODRIVER", "dummy"},
                                     {"LD_PRELOAD", LAAVA_SHIM},
                                     {"LAAVA_DUMP_FRAMES", "6"},
                                     {"LAAVA_DUMP_PREFIX", "f"}},
                               -1ms, 30000ms);
    EXPECT_TRUE(r.exited) << what << ": crashed or hung";
    EXPECT_EQ(r.status, 0) << what;
    EXPECT_EQ(r.out, "") << what;
    EXPECT_TRUE(fs::exists(dir / "f-6.raw")) << what << ": no frames ran";
    return r.peak_kib;
}

// The files the fuzzer keeps as seeds, each a real picture.
static std::vector<fs::path> real_pictures()
{
    std::vector<fs::path> files;
    for (const char *name : {"mono1", "pal4", "pal8", "rgb16", "rgb24", "rgb32", "bitfields16", "topdown24", "rle4",
                             "rle8"})
        files.push_back(fs::path(LAAVA_CORPUS) / (std::string(name) + ".bmp"));
    return files;
}

TEST(HostilePictures, EachOneStartsRunsAndEndsWithinTheNormalPeakMemory)
{
    fs::path dir = fresh_folder("hostile");
    const long normal_peak = expect_runs_and_ends_cleanly(dir, "no picture");
    fs::remove_all(dir);
    // None holds more than a few hundred bytes of pixels; a run's peak varies by a few megabytes.
    const long slack_kib = 8 * 1024;
    for (const hostile &h : hostile_pictures()) {
        dir = fresh_folder("hostile");
        std::ofstream(dir / "tausta.bmp", std::ios::binary) << h.bytes;
        const long peak = expect_runs_and_ends_cleanly(dir, h.name);
        EXPECT_LE(peak, normal_peak + slack_kib) << h.name << ": peak " << peak << " KiB, " << normal_peak
                                                 << " KiB with no picture";
        fs::remove_all(dir);
    }
}

TEST(HostilePictures, ADirectoryOrALoopingLink)
{
    fs::path dir = fresh_folder("hostile-dir");
    fs::create_directory(dir / "tausta.bmp");
    expect_runs_and_ends_cleanly(dir, "a directory");
    fs::remove_all(dir);

    dir = fresh_folder("hostile-link");
    fs::create_symlink("tausta.bmp", dir / "tausta.bmp");
    expect_runs_and_ends_cleanly(dir, "a link to itself");
    fs::remove_all(dir);
}

TEST(HostilePictures, SurfacesNoBlitCanHandleCountAsNoPicture)
{
    ASSERT_NE(test_screen(), nullptr);
    for (const hostile &h : hostile_pictures()) {
        SDL_RWops *rw = SDL_RWFromConstMem(h.bytes.data(), int(h.bytes.size()));
        SDL_Surface *picture = in_display_format(load_picture(rw));
        SDL_Rect band_rect = {0, 513, screen_w, 255};
        EXPECT_TRUE(!picture || SDL_BlitSurface(picture, nullptr, test_screen(), &band_rect) == 0) << h.name;
        SDL_FreeSurface(picture);
    }
    // The 6145-bit picture, which classic SDL loads, is not let through.
    std::string bits6145 = bmp(4, 3, 6145, 0, 0, "", std::string(36, '\x64'));
    EXPECT_EQ(in_display_format(SDL_LoadBMP_RW(SDL_RWFromConstMem(bits6145.data(), int(bits6145.size())), 1)), nullptr);
}

TEST(HostilePictures, RealPicturesOfEveryKindStillLoad)
{
    ASSERT_NE(test_screen(), nullptr);
    auto loads = [](SDL_RWops *rw) {
        SDL_Surface *picture = in_display_format(load_picture(rw));
        SDL_FreeSurface(picture);
        return picture != nullptr;
    };
    for (const fs::path &file : real_pictures()) {
        SDL_Surface *by_sdl = in_display_format(SDL_LoadBMP(file.c_str()));
        if (!by_sdl) {  // run-length coded kinds, which not every SDL reads
            ASSERT_EQ(file.stem().string().rfind("rle", 0), 0u) << "SDL does not read " << file;
            continue;
        }
        SDL_FreeSurface(by_sdl);
        EXPECT_TRUE(loads(SDL_RWFromFile(file.c_str(), "rb"))) << file;
    }
    // Large and odd-sized: wider than the band, rows not a multiple of four bytes.
    SDL_Surface *big = SDL_CreateRGBSurface(SDL_SWSURFACE, 4097, 1503, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(big, nullptr);
    fs::path dir = fresh_folder("big-picture");
    ASSERT_EQ(SDL_SaveBMP(big, (dir / "big.bmp").c_str()), 0);
    SDL_FreeSurface(big);
    EXPECT_TRUE(loads(SDL_RWFromFile((dir / "big.bmp").c_str(), "rb")));
    fs::remove_all(dir);
}
