// Untextured primitives of the display-less back-end: filled polygons, lines and points.
#pragma once

#include "backends/null/null_target.h"

#include <vector>

namespace null2d {

// A convex polygon of 3 or 4 vertices (a quad or a triangle) in the paint's colour.
void FillConvex(const TTarget& target, const TPaint& paint, const TPoint* vertices, int count);
// A polygon as the triangle fan (v0, vi, vi+1), each triangle blended on its own as GL draws one.
void FillFan(const TTarget& target, const TPaint& paint, const std::vector<TPoint>& vertices);
// A line from a to b (already offset to pixel centres) covering the pixels whose centres lie within
// width / 2 of it across its major axis, by the reference's rules for the end pixels.
void DrawLineSegment(const TTarget& target, const TPaint& paint, TPoint a, TPoint b, float width);
// The one pixel of a point at p (already at its pixel centre's offset).
void DrawPoint(const TTarget& target, const TPaint& paint, TPoint p);

// Writes the fragment rgba over pixels [x0, x1) of row y under the paint's blend mode.
void BlendSpan(const TTarget& target, int blend, const uint8_t* rgba, int y, int x0, int x1);

} // namespace null2d
