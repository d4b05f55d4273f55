// A look at a BMP file's header before any loader reads it.
#pragma once

#include <cstdint>

// The bytes a header takes at most.
constexpr int bmp_header_bytes = 54;

// Whether the picture a BMP file's first bytes (`got` of them, up to
// bmp_header_bytes) describe could be in a file of that size: false when the
// header asks for more pixels than the bytes carry, a palette past its bit
// depth, or sides past any real picture. A loader that is handed such a file
// could allocate gigabytes before it finds the pixels missing.
bool bmp_plausible(const uint8_t *first, int got, int64_t file_size);
