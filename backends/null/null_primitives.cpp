// Untextured polygons, lines and points in one colour under the current blend mode.
#include "backends/null/null_primitives.h"

#include "backends/null/null_pixel_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace null2d {

namespace {

// Below this many pixels a span blends pixel by pixel; above, through per-channel tables.
constexpr int TABLE_SPAN_MIN = 64;

// A constant fragment blended onto every possible destination byte, channel by channel.
template <int Mode> void BuildBlendTables(const uint8_t* rgba, uint8_t (*tables)[256]) {
    for (int d = 0; d < 256; ++d) {
        uint8_t dst[4] = {static_cast<uint8_t>(d), static_cast<uint8_t>(d), static_cast<uint8_t>(d),
                          static_cast<uint8_t>(d)};
        BlendPixel<Mode>(dst, rgba);
        for (int c = 0; c < 4; ++c) tables[c][d] = dst[c];
    }
}

} // namespace

void BlendSpan(const TTarget& target, int blend, const uint8_t* rgba, int y, int x0, int x1) {
    if (x0 >= x1) return;
    uint8_t* dst = target.Pixel(x0, y);
    const int count = x1 - x0;
    if (blend == BLEND_MASK && rgba[3] < MASK_ALPHA_MIN) return;
    if (blend == BLEND_MASK || blend == BLEND_SOLID || blend < BLEND_MASK || blend > BLEND_SHADE) {
        uint32_t value;
        std::memcpy(&value, rgba, 4);
        for (int i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &value, 4);
        return;
    }
    WithBlendMode(blend, [&](auto mode) {
        constexpr int Mode = decltype(mode)::value;
        if (count < TABLE_SPAN_MIN) {
            for (int i = 0; i < count; ++i) BlendPixel<Mode>(dst + 4 * i, rgba);
            return;
        }
        // Each destination byte depends only on itself and the constant fragment.
        uint8_t tables[4][256];
        BuildBlendTables<Mode>(rgba, tables);
        for (int i = 0; i < count; ++i, dst += 4) {
            for (int c = 0; c < 4; ++c) dst[c] = tables[c][dst[c]];
        }
    });
}

void FillConvex(const TTarget& target, const TPaint& paint, const TPoint* vertices, int count) {
    if (!target.picture) return;
    ScanConvex(vertices, count, target.clip,
               [&](int y, int x0, int x1) { BlendSpan(target, paint.blend, paint.rgba, y, x0, x1); });
}

void FillFan(const TTarget& target, const TPaint& paint, const std::vector<TPoint>& vertices) {
    for (size_t i = 1; i + 1 < vertices.size(); ++i) {
        const TPoint triangle[3] = {vertices[0], vertices[i], vertices[i + 1]};
        FillConvex(target, paint, triangle, 3);
    }
}

namespace {

// One line along its major axis. Coordinates are subpixels with the major axis first: the line runs
// from (ma, na) to (mb, nb), |mb - ma| >= |nb - na|. For the pixels along the major axis in the
// caller's range [first, last] (which decides the end pixels), calls run(major0, major1, minor0,
// minor1) for each run of them that covers the same minor pixels [minor0, minor1]: those whose centre
// lies in the band `half` subpixels either side of the line, its upper bound included when
// minor_high_owned.
template <typename RunFn>
void WalkLine(int64_t ma, int64_t na, int64_t mb, int64_t nb, int64_t half, bool minor_high_owned,
              int64_t first, int64_t last, RunFn&& run) {
    // The slope as slope_n / d with d > 0, measured from the start.
    int64_t d = mb - ma, slope_n = nb - na;
    if (d < 0) {
        d = -d;
        slope_n = -slope_n;
    }
    int64_t run_start = first, run_k0 = 0, run_k1 = -1;
    for (int64_t major = first; major <= last; ++major) {
        const int64_t centre = major * SUBPIXEL_ONE + SUBPIXEL_HALF;
        // The line's minor coordinate at this centre is na + n / d.
        const int64_t n = (centre - ma) * slope_n;
        // Minor centres c = 256 k + 128 with na + n/d - half < c <= na + n/d + half (or < and >= when
        // the low side owns the ties), solved for k.
        const int64_t low_num = n - (SUBPIXEL_HALF - na + half) * d;
        const int64_t high_num = n - (SUBPIXEL_HALF - na - half) * d;
        int64_t k0, k1;
        if (minor_high_owned) {
            k0 = FloorDiv(low_num, SUBPIXEL_ONE * d) + 1;
            k1 = FloorDiv(high_num, SUBPIXEL_ONE * d);
        } else {
            k0 = CeilDiv(low_num, SUBPIXEL_ONE * d);
            k1 = CeilDiv(high_num, SUBPIXEL_ONE * d) - 1;
        }
        if (major > first && (k0 != run_k0 || k1 != run_k1)) {
            if (run_k0 <= run_k1) run(run_start, major - 1, run_k0, run_k1);
            run_start = major;
        }
        run_k0 = k0;
        run_k1 = k1;
        // A line along an axis covers the same minor pixels all the way.
        if (slope_n == 0) major = last;
    }
    if (first <= last && run_k0 <= run_k1) run(run_start, last, run_k0, run_k1);
}

} // namespace

void DrawLineSegment(const TTarget& target, const TPaint& paint, TPoint a, TPoint b, float width) {
    if (!target.picture) return;
    if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
    const int64_t xa = SnapToSubpixel(a.x), ya = SnapToSubpixel(a.y), xb = SnapToSubpixel(b.x),
                  yb = SnapToSubpixel(b.y);
    if (xa == xb && ya == yb) return;
    const auto half = static_cast<int64_t>(std::nearbyint(static_cast<double>(width) * SUBPIXEL_HALF));
    const TPixelRect& clip = target.clip;
    const int64_t first_col = clip.x0, last_col = clip.x1 - 1;
    const int64_t first_row = clip.y0, last_row = clip.y1 - 1;
    // Pixel centres c along the major axis between the ends, as the reference draws them: across,
    // from the start's pixel up to but not including the end's (start <= c < end, in either
    // direction); down the picture both ends are left out, up the picture the start is kept.
    auto span_of = [](int64_t lo_centre_min, int64_t hi_centre_max) {
        // Pixels whose centre 256 k + 128 lies in [lo, hi].
        return std::pair<int64_t, int64_t>{CeilDiv(lo_centre_min - SUBPIXEL_HALF, SUBPIXEL_ONE),
                                           FloorDiv(hi_centre_max - SUBPIXEL_HALF, SUBPIXEL_ONE)};
    };
    if (std::llabs(xb - xa) >= std::llabs(yb - ya)) {
        auto [first, last] = xb > xa ? span_of(xa, xb - 1) : span_of(xb + 1, xa);
        first = std::max(first, first_col);
        last = std::min(last, last_col);
        WalkLine(xa, ya, xb, yb, half, true, first, last,
                 [&](int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
                     for (int64_t y = std::max(y0, first_row); y <= std::min(y1, last_row); ++y)
                         BlendSpan(target, paint.blend, paint.rgba, static_cast<int>(y), static_cast<int>(x0),
                                   static_cast<int>(x1) + 1);
                 });
    } else {
        auto [first, last] = yb > ya ? span_of(ya + 1, yb - 1) : span_of(yb + 1, ya);
        first = std::max(first, first_row);
        last = std::min(last, last_row);
        WalkLine(ya, xa, yb, xb, half, false, first, last,
                 [&](int64_t y0, int64_t y1, int64_t x0, int64_t x1) {
                     const int64_t lo = std::max(x0, first_col), hi = std::min(x1, last_col);
                     for (int64_t y = y0; y <= y1 && lo <= hi; ++y)
                         BlendSpan(target, paint.blend, paint.rgba, static_cast<int>(y), static_cast<int>(lo),
                                   static_cast<int>(hi) + 1);
                 });
    }
}

void DrawPoint(const TTarget& target, const TPaint& paint, TPoint p) {
    if (!target.picture || !std::isfinite(p.x) || !std::isfinite(p.y)) return;
    // The pixel holding the point; on a pixel boundary the one right of it and above it, as the
    // reference (counting rows from the bottom) takes.
    const double x = std::floor(static_cast<double>(p.x));
    const double y = std::ceil(static_cast<double>(p.y)) - 1.0;
    const TPixelRect& clip = target.clip;
    if (x < clip.x0 || x >= clip.x1 || y < clip.y0 || y >= clip.y1) return;
    const int px = static_cast<int>(x), py = static_cast<int>(y);
    BlendSpan(target, paint.blend, paint.rgba, py, px, px + 1);
}

} // namespace null2d
