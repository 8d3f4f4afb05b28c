// Textured quads of the display-less back-end: an image frame (or a part of it) placed under the 2 x 2
// transform, sampled nearest, bilinear or from its mip chain, tinted and blended.
#pragma once

#include "backends/null/null_image_frame.h"
#include "backends/null/null_target.h"

namespace null2d {

// The local rectangle (x0, y0)-(x1, y1) transformed and translated by (tx, ty), showing the texture
// coordinates (u0, v0)-(u1, v1) of the frame, each texel multiplied by the paint's colour and alpha.
void DrawTexturedQuad(const TTarget& target, const TPaint& paint, const TTransform& transform,
                      const TNullImageFrame& frame, float u0, float v0, float u1, float v1, float x0,
                      float y0, float x1, float y1, float tx, float ty);

} // namespace null2d
