// The background picture: read with a look at its header first, and put in
// the display's own pixel format.
#pragma once

#include <SDL.h>

// The BMP picture in rw (closed afterwards), or null, as for a missing file,
// when its header asks for more than the file can hold: more pixels than its
// bytes carry, a palette past its bit depth, or sides past any real picture.
// SDL's loader never sees such a file; one that claims a huge picture could
// otherwise have it allocate gigabytes before it finds the pixels missing.
SDL_Surface *load_picture(SDL_RWops *rw);

// The picture in the display's own pixel format, so that the blit of every
// frame is a plain copy; the pixels it puts on the screen are the same. The
// loaded surface is freed. A surface that no blit can handle counts as no
// picture (null); one that cannot be converted is returned as it is.
SDL_Surface *in_display_format(SDL_Surface *picture);
