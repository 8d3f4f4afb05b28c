// What the display-less back-end's primitives draw into (the current picture and its clip) and with
// (colour, alpha and blend mode; the 2 x 2 transform).
#pragma once

#include "backends/null/null_raster.h"
#include "render/pixmap.h"

#include <cstdint>

namespace null2d {

struct TTarget {
    TPixmap* picture = nullptr; // format 6; null when no context is current
    TPixelRect clip;            // the picture, narrowed by the viewport

    uint8_t* Pixel(int x, int y) const { return picture->pixels + y * picture->pitch + x * 4; }
};

struct TPaint {
    uint8_t rgba[4] = {255, 255, 255, 255}; // drawing colour and alpha bytes
    int blend = 1;                          // BLEND_MASK

    bool IsOpaqueWhite() const {
        return rgba[0] == 255 && rgba[1] == 255 && rgba[2] == 255 && rgba[3] == 255;
    }
};

// Local (x, y) goes to (x * ix + y * iy + tx, x * jx + y * jy + ty), in float as the GL back-end
// places its vertices.
struct TTransform {
    float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;

    bool IsIdentity() const { return ix == 1.0f && iy == 0.0f && jx == 0.0f && jy == 1.0f; }
    TPoint Place(float x, float y, float tx, float ty) const {
        return {x * ix + y * iy + tx, x * jx + y * jy + ty};
    }
};

} // namespace null2d
