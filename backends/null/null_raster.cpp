// Polygon edge set-up and row spans in 1/256-pixel fixed point with the left-and-bottom tie rule.
#include "backends/null/null_raster.h"

#include <algorithm>
#include <cmath>

namespace null2d {

int64_t SnapToSubpixel(float value) {
    const float clamped = std::clamp(value, -COORDINATE_LIMIT, COORDINATE_LIMIT);
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(clamped) * SUBPIXEL_ONE));
}

int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) {
    return -FloorDiv(-a, b);
}

TPixelRect Intersect(const TPixelRect& a, const TPixelRect& b) {
    return {std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

TConvexSetup SetupConvex(const TPoint* vertices, int count, const TPixelRect& clip) {
    TConvexSetup setup;
    if (count < 3 || count > MAX_CONVEX_VERTICES || clip.Empty()) return setup;
    int64_t xs[MAX_CONVEX_VERTICES], ys[MAX_CONVEX_VERTICES];
    for (int i = 0; i < count; ++i) {
        if (!std::isfinite(vertices[i].x) || !std::isfinite(vertices[i].y)) return setup;
        xs[i] = SnapToSubpixel(vertices[i].x);
        ys[i] = SnapToSubpixel(vertices[i].y);
    }
    int64_t area2 = 0;
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        area2 += xs[i] * ys[j] - xs[j] * ys[i];
    }
    if (area2 == 0) return setup;
    // With y downward a positive shoelace sum means the inside lies to the right of each edge's
    // direction turned clockwise; the sign makes E positive inside for either winding.
    const int64_t orient = area2 > 0 ? 1 : -1;
    int64_t ymin = ys[0], ymax = ys[0];
    for (int i = 0; i < count; ++i) {
        const int j = (i + 1) % count;
        const int64_t dx = xs[j] - xs[i], dy = ys[j] - ys[i];
        TEdge& e = setup.edges[i];
        e.a = -dy * orient;
        e.b = dx * orient;
        e.c = (dy * xs[i] - dx * ys[i]) * orient;
        const bool owns_ties = e.a > 0 || (e.a == 0 && e.b < 0);
        if (!owns_ties) e.c -= 1;
        ymin = std::min(ymin, ys[i]);
        ymax = std::max(ymax, ys[i]);
    }
    setup.count = count;
    setup.clip = clip;
    // Rows whose centre lies within the vertical extent.
    const int64_t first = CeilDiv(ymin - SUBPIXEL_HALF, SUBPIXEL_ONE);
    const int64_t last = FloorDiv(ymax - SUBPIXEL_HALF, SUBPIXEL_ONE);
    setup.row0 = static_cast<int>(std::max<int64_t>(first, clip.y0));
    setup.row1 = static_cast<int>(std::min<int64_t>(last + 1, clip.y1));
    if (setup.row0 >= setup.row1) setup.count = 0;
    return setup;
}

bool RowSpan(const TConvexSetup& setup, int y, int& x0, int& x1) {
    int64_t lo = setup.clip.x0, hi = setup.clip.x1 - 1;
    const int64_t centre_y = int64_t{y} * SUBPIXEL_ONE + SUBPIXEL_HALF;
    for (int i = 0; i < setup.count; ++i) {
        const TEdge& e = setup.edges[i];
        // E at column X: a * (256 X + 128) + b * centre_y + c = 256 a X + rest.
        const int64_t rest = e.a * SUBPIXEL_HALF + e.b * centre_y + e.c;
        if (e.a > 0) {
            lo = std::max(lo, CeilDiv(-rest, e.a * SUBPIXEL_ONE));
        } else if (e.a < 0) {
            hi = std::min(hi, FloorDiv(rest, -e.a * SUBPIXEL_ONE));
        } else if (rest < 0) {
            return false;
        }
        if (lo > hi) return false;
    }
    x0 = static_cast<int>(lo);
    x1 = static_cast<int>(hi + 1);
    return true;
}

} // namespace null2d
