// Writes 8-bit RGB or RGBA PNG files with fixed settings, so that equal pixels give equal bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// channels is 3 (RGB, colour type 2) or 4 (RGBA, colour type 6); rows top first, no padding.
// Returns false when the file cannot be written.
bool write_png(const std::string& path, int width, int height, int channels,
               const std::vector<uint8_t>& pixels);
