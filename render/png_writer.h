// Writing pixmaps as PNG files: screenshots and pictures saved by tools and tests.
#pragma once

#include "render/pixmap.h"

#include <string>

// Writes the pixmap as an 8-bit RGBA PNG (RGB when its format has no alpha). Returns false, writing
// nothing useful, when the file cannot be created or written.
bool SavePixmapPNG(const TPixmapPtr& pixmap, const std::string& path);
