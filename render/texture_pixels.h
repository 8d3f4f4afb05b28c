// The texture layout every drawing back-end gives an image frame: padded to powers of two, with the
// frame's last column and row copied beside it so filtered sampling at its edges stays inside it.
#pragma once

#include "render/pixmap.h"

// Smallest power of two >= size (1 for sizes below 1).
int TextureSizePow2(int size);

// The level-0 pixels a back-end uploads for a pixmap of at most tex_width x tex_height: the
// pixmap at (0, 0) as RGBA, one copy of its last column and row beside it, the rest transparent black.
TPixmapPtr TexturePixels(const TPixmapPtr& pixmap, int tex_width, int tex_height);
