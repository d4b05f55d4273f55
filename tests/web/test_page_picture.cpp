// The page's picture: a file that is missing, or whose header asks for more
// than the file holds, is no picture, as on the desktop, before the browser
// is asked to decode it.
#include "page_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

// A 24-bit BMP header claiming sides of w x h, followed by `pixel_bytes` bytes.
static std::string write_bmp(int w, int h, int pixel_bytes)
{
    unsigned char b[54] = {'B', 'M'};
    auto put32 = [&](int at, unsigned v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = (unsigned char)(v >> (8 * i));
    };
    put32(2, 54 + unsigned(pixel_bytes)), put32(10, 54), put32(14, 40), put32(18, unsigned(w)), put32(22, unsigned(h));
    b[26] = 1, b[28] = 24;
    const std::string path = "/tmp/laavasuihku-page-picture-" + std::to_string(getpid()) + ".bmp";
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(b, 1, sizeof b, f);
    for (int i = 0; i < pixel_bytes; ++i)
        fputc(0x40, f);
    fclose(f);
    return path;
}

TEST(PagePicture, AMissingOrOverclaimingFileIsNoPicture)
{
    EXPECT_EQ(load_page_picture("/tmp/no-such-laavasuihku-picture.bmp"), nullptr);
    const std::string huge = write_bmp(16000, 16000, 3000);
    EXPECT_EQ(load_page_picture(huge.c_str()), nullptr);
    remove(huge.c_str());
}
