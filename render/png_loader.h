// The PNG pixmap loader over libpng.
#pragma once

#include "render/pixmap_loader.h"

// Decodes grey, RGB, RGBA and grey+alpha images of any bit depth, palette images and transparency
// chunks: 16-bit samples keep their high byte, palettes and low bit depths are expanded to 8 bits,
// and a transparency chunk becomes an alpha channel. Grey gives format 1, RGB format 4, anything
// with alpha format 6. Damaged or truncated data gives null.
class TPixmapLoaderPNG : public TPixmapLoader {
public:
    TPixmapPtr LoadPixmap(TStream& stream) override;
};

// The engine's one PNG loader, registered at the head of the chain on the first call.
TPixmapLoaderPNG* RegisterPixmapLoaderPNG();
