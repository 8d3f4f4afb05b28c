// Scan conversion for the display-less back-end: which pixel centres a polygon covers, by the rules of
// the GL rasteriser whose pictures this back-end reproduces.
#pragma once

#include <cstdint>

namespace null2d {

// A half-open pixel rectangle [x0, x1) x [y0, y1).
struct TPixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

TPixelRect Intersect(const TPixelRect& a, const TPixelRect& b);

struct TPoint {
    float x = 0.0f, y = 0.0f;
};

// Vertex positions are snapped to 1/256 pixel before the edges are set up.
constexpr int SUBPIXEL_BITS = 8;
constexpr int64_t SUBPIXEL_ONE = int64_t{1} << SUBPIXEL_BITS;
constexpr int64_t SUBPIXEL_HALF = SUBPIXEL_ONE / 2;
// Coordinates beyond 2^21 pixels are clamped there, so that products of two subpixel differences
// stay below 2^61.
constexpr float COORDINATE_LIMIT = 2097152.0f;

// A coordinate in subpixels, rounded to nearest; clamped to COORDINATE_LIMIT.
int64_t SnapToSubpixel(float value);
// Integer division rounding down and up, for either sign.
int64_t FloorDiv(int64_t a, int64_t b);
int64_t CeilDiv(int64_t a, int64_t b);
// Polygons handed to ScanConvex: quads and triangles.
constexpr int MAX_CONVEX_VERTICES = 4;

// One edge as a function of the pixel centre in subpixel units, E = a * x + b * y + c; the centre is
// covered when E >= 0 for every edge. c carries the tie rule, GL's with rows counted from the bottom
// of the picture: a centre exactly on an edge belongs to the polygon only when the edge is a left
// edge, or a bottom edge (horizontal, inside above it).
struct TEdge {
    int64_t a = 0, b = 0, c = 0;
};

struct TConvexSetup {
    TEdge edges[MAX_CONVEX_VERTICES];
    int count = 0;          // 0: nothing to draw (no area, or not finite)
    int row0 = 0, row1 = 0; // rows whose centres may be covered, half-open, inside the clip
    TPixelRect clip;
};

// Sets up a convex polygon of 3 or 4 vertices in either winding.
TConvexSetup SetupConvex(const TPoint* vertices, int count, const TPixelRect& clip);

// The covered pixels [x0, x1) of one row; false when none.
bool RowSpan(const TConvexSetup& setup, int y, int& x0, int& x1);

// Calls span(y, x0, x1) for each row of the polygon with covered pixels [x0, x1), top row first.
template <typename SpanFn>
void ScanConvex(const TPoint* vertices, int count, const TPixelRect& clip, SpanFn&& span) {
    const TConvexSetup setup = SetupConvex(vertices, count, clip);
    if (setup.count == 0) return;
    for (int y = setup.row0; y < setup.row1; ++y) {
        int x0 = 0, x1 = 0;
        if (RowSpan(setup, y, x0, x1)) span(y, x0, x1);
    }
}

} // namespace null2d
