// The page's picture: the file packed with the page, checked as on the
// desktop and decoded by the browser.
#pragma once

#include <SDL.h>

// The picture as a memory surface of 0x00RRGGBB words, or null, as on the
// desktop, when the file is missing, its header asks for more than the file
// holds, or the browser cannot decode it.
SDL_Surface *load_page_picture(const char *path);
