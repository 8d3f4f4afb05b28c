// The texture layout every drawing back-end gives an image frame: padded to powers of two, with the
// frame's last column and row copied beside it so filtered sampling at its edges stays inside it; and
// the framed paste that puts several pictures into one texture without their edges bleeding.
#pragma once

#include "render/pixmap.h"

// Smallest power of two >= size (1 for sizes below 1).
int TextureSizePow2(int size);

// The level-0 pixels a back-end uploads for a pixmap of at most tex_width x tex_height: the
// pixmap at (0, 0) as RGBA, one copy of its last column and row beside it, the rest transparent black.
TPixmapPtr TexturePixels(const TPixmapPtr& pixmap, int tex_width, int tex_height);

// Pastes `picture` into `sheet` at (x, y) inside a one-pixel frame of copies of its own edge pixels
// (corners included), so that sampling just past any edge of the picture finds the picture's own
// pixels, as clamping to the edge of a texture of its own would. The frame lies at x - 1 .. x + w
// and y - 1 .. y + h and must fit in the sheet.
void PasteFramed(TPixmap& sheet, TPixmap& picture, int x, int y);
