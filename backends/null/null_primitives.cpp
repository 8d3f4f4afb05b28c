// Untextured polygons, lines and points in one colour under the current blend mode.
#include "backends/null/null_primitives.h"

#include "backends/null/null_pixel_ops.h"

#include <cmath>

namespace null2d {

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
        for (int i = 0; i < count; ++i) BlendPixel<decltype(mode)::value>(dst + 4 * i, rgba);
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

void DrawLineSegment(const TTarget& target, const TPaint& paint, TPoint a, TPoint b, float width) {
    const float dx = b.x - a.x, dy = b.y - a.y;
    if (dx == 0.0f && dy == 0.0f) return;
    const float half = 0.5f * width;
    // A band `width` pixels across the line's minor axis, from centre to centre of the end pixels.
    TPoint quad[4];
    if (std::fabs(dx) >= std::fabs(dy)) {
        quad[0] = {a.x, a.y - half};
        quad[1] = {b.x, b.y - half};
        quad[2] = {b.x, b.y + half};
        quad[3] = {a.x, a.y + half};
    } else {
        quad[0] = {a.x - half, a.y};
        quad[1] = {b.x - half, b.y};
        quad[2] = {b.x + half, b.y};
        quad[3] = {a.x + half, a.y};
    }
    FillConvex(target, paint, quad, 4);
}

void DrawPoint(const TTarget& target, const TPaint& paint, TPoint p) {
    const TPoint square[4] = {{p.x - 0.5f, p.y - 0.5f},
                              {p.x + 0.5f, p.y - 0.5f},
                              {p.x + 0.5f, p.y + 0.5f},
                              {p.x - 0.5f, p.y + 0.5f}};
    FillConvex(target, paint, square, 4);
}

} // namespace null2d
