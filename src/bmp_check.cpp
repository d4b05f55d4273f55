// A look at a BMP file's header before any loader reads it, on the desktop
// and on the page alike.
#include "bmp_check.h"

#include "bytes.h"

#include <cstdlib>

// SDL 1.2 keeps a surface's row length in 16 bits: a row of 16384 pixels of
// 32 bits no longer fits, and no real background is that large.
static constexpr int64_t max_side = 16383;
// A run of RLE data paints at most 255 pixels with two bytes.
static constexpr int64_t rle_pixels_per_byte = 128;

struct bmp_header {
    int64_t file_size, pixel_offset, header_size;
    int64_t width, height;  // height < 0: rows stored top-down
    unsigned bits;
    uint32_t compression, colours;
};

// What the file says of itself, from its first bytes; false if they are not there.
static bool read_header(const uint8_t *b, int got, int64_t file_size, bmp_header &h)
{
    if (got < 26 || b[0] != 'B' || b[1] != 'M')
        return false;
    h.file_size = file_size;
    h.pixel_offset = le32(b + 10);
    h.header_size = le32(b + 14);
    if (h.header_size == 12) {  // OS/2: 16-bit sides, no compression, a full palette
        h.width = le16(b + 18), h.height = le16(b + 20), h.bits = le16(b + 24);
        h.compression = 0, h.colours = 0;
        return true;
    }
    if (got < 50)
        return false;
    h.width = int32_t(le32(b + 18)), h.height = int32_t(le32(b + 22)), h.bits = le16(b + 28);
    h.compression = le32(b + 30), h.colours = le32(b + 46);
    return true;
}

// Whether the pixels the header promises could really be in the file.
static bool holds_what_it_claims(const bmp_header &h)
{
    if (h.header_size != 12 && h.header_size < 40)
        return false;
    if (h.pixel_offset < 14 + h.header_size || h.pixel_offset > h.file_size)
        return false;
    const int64_t rows = std::llabs(h.height);
    if (h.width < 1 || h.width > max_side || rows < 1 || rows > max_side)
        return false;
    if (h.bits <= 8 && h.colours > (1u << h.bits))
        return false;
    const int64_t data = h.file_size - h.pixel_offset;
    switch (h.compression) {
    case 0:  // plain rows, each padded to four bytes
    case 3:  // the same, with colour masks
    case 6: {
        if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
            return false;
        const int64_t row_bytes = (h.width * h.bits + 31) / 32 * 4;
        return row_bytes * rows <= data;
    }
    case 1:  // RLE8
    case 2:  // RLE4
        return h.bits == (h.compression == 1 ? 8u : 4u) && h.width * rows <= rle_pixels_per_byte * data;
    default:
        return false;
    }
}

bool bmp_plausible(const uint8_t *first, int got, int64_t file_size)
{
    bmp_header h;
    return read_header(first, got, file_size, h) && holds_what_it_claims(h);
}
