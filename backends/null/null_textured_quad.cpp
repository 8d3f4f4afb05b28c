// Textured quads: whole-texel blits for unscaled, unrotated frames on the pixel grid, and per-pixel
// sampling of the affine mapping for everything else.
#include "backends/null/null_textured_quad.h"

#include "backends/null/null_pixel_ops.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace null2d {

namespace {

// Bilinear weights and coordinates carry 8 fraction bits, as the reference's sampler does.
constexpr int FILTER_FRACTION_BITS = 8;
constexpr int FILTER_ONE = 1 << FILTER_FRACTION_BITS;
constexpr int FILTER_MASK = FILTER_ONE - 1;
constexpr int FILTER_ROUND = FILTER_ONE / 2;

// Beyond this a float no longer holds every integer pixel position with room to spare.
constexpr float GRID_LIMIT = 4194304.0f;

bool IsWhole(float value) {
    return std::fabs(value) < GRID_LIMIT && value == std::floor(value);
}

int Lerp(int a, int b, int weight) {
    return a + (((b - a) * weight + FILTER_ROUND) >> FILTER_FRACTION_BITS);
}

void Modulated(const uint8_t* texel, const TPaint& paint, uint8_t* out) {
    for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(Modulate(texel[c], paint.rgba[c]));
}

// Blends texels [col0, col1) of a texture row onto the picture from pixel x.
template <int Mode>
void BlitTexels(const TTarget& target, const TPaint& paint, const uint8_t* texels, int col0, int col1, int x,
                int y) {
    uint8_t* dst = target.Pixel(x, y);
    const uint8_t* src = texels + 4 * col0;
    const int count = col1 - col0;
    if (paint.IsOpaqueWhite()) {
        if constexpr (Mode == BLEND_SOLID) {
            std::memcpy(dst, src, static_cast<size_t>(count) * 4);
        } else {
            for (int i = 0; i < count; ++i) BlendPixel<Mode>(dst + 4 * i, src + 4 * i);
        }
        return;
    }
    uint8_t fragment[4];
    for (int i = 0; i < count; ++i) {
        Modulated(src + 4 * i, paint, fragment);
        BlendPixel<Mode>(dst + 4 * i, fragment);
    }
}

// The frame at one texel per pixel, unrotated: texel (col0 + i, row0 + j) lands on pixel
// (placed.x0 + i, placed.y0 + j) for the pixels `placed` covers.
template <int Mode>
void DrawOneToOne(const TTarget& target, const TPaint& paint, const TNullImageFrame& frame,
                  const TPixelRect& placed, int col0, int row0) {
    const TPixelRect visible = Intersect(placed, target.clip);
    if (visible.Empty()) return;
    const TPixmap& level = *frame.levels[0];
    // Texels of alpha 0 leave no trace in these modes: only the runs that hold ink are visited, and
    // under the alpha test at full alpha only those that pass it.
    const bool inside_frame = !frame.ink.row_start.empty() && col0 >= 0 && row0 >= 0 &&
                              col0 + (placed.x1 - placed.x0) <= frame.used_width &&
                              row0 + (placed.y1 - placed.y0) <= frame.used_height;
    const bool skip_clear = inside_frame && ClearFragmentsLeaveNoTrace(Mode);
    const TNullImageFrame::TRunTable& runs =
        (Mode == BLEND_MASK && paint.rgba[3] == 255) ? frame.opaque : frame.ink;
    const int first = col0 + (visible.x0 - placed.x0);
    const int last = col0 + (visible.x1 - placed.x0);
    for (int y = visible.y0; y < visible.y1; ++y) {
        const int row = row0 + (y - placed.y0);
        const uint8_t* texels = level.PixelPtr(0, row);
        if (!skip_clear) {
            BlitTexels<Mode>(target, paint, texels, first, last, visible.x0, y);
            continue;
        }
        for (int r = runs.row_start[row]; r < runs.row_start[row + 1]; ++r) {
            const int c0 = std::max(runs.runs[r].x0, first);
            const int c1 = std::min(runs.runs[r].x1, last);
            if (c0 < c1) BlitTexels<Mode>(target, paint, texels, c0, c1, placed.x0 + (c0 - col0), y);
        }
    }
}

// The pixels an unrotated quad of width x height at corner covers, by the rasteriser's rules: centres
// on the left and bottom edges are in, on the right and top edges out.
TPixelRect CoveredRect(const TPoint& corner, float width, float height) {
    const int64_t left = SnapToSubpixel(corner.x), top = SnapToSubpixel(corner.y);
    const int64_t right = SnapToSubpixel(corner.x + width), bottom = SnapToSubpixel(corner.y + height);
    return {static_cast<int>(CeilDiv(left - SUBPIXEL_HALF, SUBPIXEL_ONE)),
            static_cast<int>(FloorDiv(top - SUBPIXEL_HALF, SUBPIXEL_ONE) + 1),
            static_cast<int>(CeilDiv(right - SUBPIXEL_HALF, SUBPIXEL_ONE)),
            static_cast<int>(FloorDiv(bottom - SUBPIXEL_HALF, SUBPIXEL_ONE) + 1)};
}

struct TLevelView {
    const uint8_t* pixels;
    int pitch, width, height;

    const uint8_t* Texel(int x, int y) const { return pixels + y * pitch + x * 4; }
};

TLevelView View(const TNullImageFrame& frame, int level) {
    const TPixmap& p = *frame.levels[static_cast<size_t>(level)];
    return {p.pixels, p.pitch, p.width, p.height};
}

// (s, t) in texels of the level, measured from its top-left corner; clamp to edge.
void SampleNearest(const TLevelView& level, double s, double t, uint8_t* out) {
    const int x = static_cast<int>(std::clamp(std::floor(s), 0.0, static_cast<double>(level.width - 1)));
    const int y = static_cast<int>(std::clamp(std::floor(t), 0.0, static_cast<double>(level.height - 1)));
    std::memcpy(out, level.Texel(x, y), 4);
}

void SampleBilinear(const TLevelView& level, double s, double t, uint8_t* out) {
    // Texel centres sit at half-texel positions; the position is taken to 1/256 texel.
    const double limit = 1e9;
    const auto fs = static_cast<int64_t>(std::nearbyint(std::clamp((s - 0.5) * FILTER_ONE, -limit, limit)));
    const auto ft = static_cast<int64_t>(std::nearbyint(std::clamp((t - 0.5) * FILTER_ONE, -limit, limit)));
    const int64_t xi = fs >> FILTER_FRACTION_BITS, yi = ft >> FILTER_FRACTION_BITS;
    const int wx = static_cast<int>(fs & FILTER_MASK), wy = static_cast<int>(ft & FILTER_MASK);
    const int x0 = static_cast<int>(std::clamp<int64_t>(xi, 0, level.width - 1));
    const int x1 = static_cast<int>(std::clamp<int64_t>(xi + 1, 0, level.width - 1));
    const int y0 = static_cast<int>(std::clamp<int64_t>(yi, 0, level.height - 1));
    const int y1 = static_cast<int>(std::clamp<int64_t>(yi + 1, 0, level.height - 1));
    const uint8_t* a = level.Texel(x0, y0);
    const uint8_t* b = level.Texel(x1, y0);
    const uint8_t* c = level.Texel(x0, y1);
    const uint8_t* d = level.Texel(x1, y1);
    for (int k = 0; k < 4; ++k)
        out[k] = static_cast<uint8_t>(Lerp(Lerp(a[k], b[k], wx), Lerp(c[k], d[k], wx), wy));
}

// Texture coordinates at pixel centres computed as the reference computes them: vertices through its
// projection and viewport in float, the quad split into the triangles (0, 1, 3) and (1, 2, 3), each
// with its own float plane evaluated at the pixel by fused multiply-adds. Nearest sampling uses them
// because a centre on or next to a texel edge takes whichever texel this rounding lands in; matched
// against the reference on such ties of unscaled frames at half-pixel positions it agrees on about
// 87% of columns and 93% of rows, where exact arithmetic agrees on 67% and 24%. (Scaled or rotated it
// does worse than exact arithmetic, so it is used for unscaled, unrotated quads only.)
class TReferenceTexcoords {
public:
    TReferenceTexcoords(const TPoint* corners, const float* us, const float* vs, int picture_w,
                        int picture_h) {
        const float scale_x = 2.0f / static_cast<float>(picture_w);
        const float scale_y = 2.0f / (0.0f - static_cast<float>(picture_h));
        const float half_w = 0.5f * static_cast<float>(picture_w),
                    half_h = 0.5f * static_cast<float>(picture_h);
        for (int i = 0; i < 4; ++i) {
            const float clip_x = scale_x * corners[i].x + -1.0f;
            const float clip_y = scale_y * corners[i].y + 1.0f;
            wx_[i] = std::fma(clip_x, half_w, half_w);
            wy_[i] = std::fma(clip_y, -half_h, half_h);
        }
        const int triangles[2][3] = {{0, 1, 3}, {1, 2, 3}};
        for (int k = 0; k < 2; ++k) {
            u_[k] = Plane(triangles[k], us);
            v_[k] = Plane(triangles[k], vs);
        }
    }

    // Whether pixel (x, y) belongs to the second triangle (1, 2, 3).
    bool InSecondTriangle(int x, int y) const {
        const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
        auto side = [&](int a, int b) {
            return (wx_[b] - wx_[a]) * (cy - wy_[a]) - (wy_[b] - wy_[a]) * (cx - wx_[a]);
        };
        const float s1 = side(1, 2), s2 = side(2, 3), s3 = side(3, 1);
        return (s1 >= 0 && s2 >= 0 && s3 >= 0) || (s1 <= 0 && s2 <= 0 && s3 <= 0);
    }

    // Normalised u in column x and v in row y of an unrotated quad, in triangle k; in such a quad u
    // does not change down a column nor v along a row.
    float U(int k, int x) const { return std::fma(u_[k].dadx, static_cast<float>(x), u_[k].a0); }
    float V(int k, int y) const { return std::fma(v_[k].dady, static_cast<float>(y), v_[k].a0); }

private:
    struct TPlane {
        float a0, dadx, dady; // a0 at pixel (0, 0), whose centre is at (0.5, 0.5)
    };

    TPlane Plane(const int* tri, const float* values) const {
        const int i0 = tri[0], i1 = tri[1], i2 = tri[2];
        const float dx01 = wx_[i0] - wx_[i1], dy01 = wy_[i0] - wy_[i1];
        const float dx20 = wx_[i2] - wx_[i0], dy20 = wy_[i2] - wy_[i0];
        const float da01 = values[i0] - values[i1], da20 = values[i2] - values[i0];
        const float one_over_area = 1.0f / (dx01 * dy20 - dx20 * dy01);
        TPlane p{};
        p.dadx = (da01 * dy20 - dy01 * da20) * one_over_area;
        p.dady = (da20 * dx01 - dx20 * da01) * one_over_area;
        p.a0 = values[i0] - std::fma(p.dadx, wx_[i0] - 0.5f, p.dady * (wy_[i0] - 0.5f));
        return p;
    }

    float wx_[4], wy_[4];
    TPlane u_[2], v_[2];
};

// An unrotated, unscaled quad off the pixel grid with nearest sampling: each pixel takes one texel,
// chosen as the reference chooses it. Along x the texel depends only on the column and along y only
// on the row, within each of the quad's two triangles, so both are tabled once.
template <int Mode>
void DrawUnscaledOffGrid(const TTarget& target, const TPaint& paint, const TNullImageFrame& frame,
                         const TPixelRect& placed, const TReferenceTexcoords& texcoords) {
    const TPixelRect visible = Intersect(placed, target.clip);
    if (visible.Empty()) return;
    const TPixmap& level = *frame.levels[0];
    const int w = visible.x1 - visible.x0, h = visible.y1 - visible.y0;
    // Kept between draws: a frame draws hundreds of sprites, and none should allocate.
    static std::vector<int> cols, rows;
    cols.resize(static_cast<size_t>(2 * w));
    rows.resize(static_cast<size_t>(2 * h));
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < w; ++i)
            cols[static_cast<size_t>(k * w + i)] =
                std::clamp(static_cast<int>(std::floor(texcoords.U(k, visible.x0 + i) * frame.tex_width)), 0,
                           frame.tex_width - 1);
        for (int j = 0; j < h; ++j)
            rows[static_cast<size_t>(k * h + j)] =
                std::clamp(static_cast<int>(std::floor(texcoords.V(k, visible.y0 + j) * frame.tex_height)), 0,
                           frame.tex_height - 1);
    }
    uint8_t fragment[4];
    for (int y = visible.y0; y < visible.y1; ++y) {
        uint8_t* dst = target.Pixel(visible.x0, y);
        for (int x = visible.x0; x < visible.x1; ++x, dst += 4) {
            const int k = texcoords.InSecondTriangle(x, y) ? 1 : 0;
            const uint8_t* texel = level.PixelPtr(cols[static_cast<size_t>(k * w + x - visible.x0)],
                                                  rows[static_cast<size_t>(k * h + y - visible.y0)]);
            if (ClearFragmentsLeaveNoTrace(Mode) && texel[3] == 0) continue;
            Modulated(texel, paint, fragment);
            BlendPixel<Mode>(dst, fragment);
        }
    }
}

// How one quad samples its frame; constant over the quad, whose mapping is affine.
struct TSampling {
    bool filtered = false;
    int level = 0;        // the (first) level sampled
    int next_level = -1;  // the second level of a blend between levels, or -1
    int level_weight = 0; // weight of next_level, 0..256
};

TSampling ChooseSampling(const TNullImageFrame& frame, double dsdx, double dtdx, double dsdy, double dtdy) {
    TSampling sampling;
    sampling.filtered = frame.filtered;
    if (!frame.mipmapped) return sampling;
    const double rho = std::max(std::hypot(dsdx, dtdx), std::hypot(dsdy, dtdy));
    const double lambda = std::log2(rho);
    // Drawn at its size or larger: the magnification filter on level 0.
    if (!(lambda > 0.0)) return sampling;
    const int last = static_cast<int>(frame.levels.size()) - 1;
    if (frame.filtered) {
        const double whole = std::floor(lambda);
        sampling.level = static_cast<int>(std::min<double>(whole, last));
        if (sampling.level < last) {
            sampling.next_level = sampling.level + 1;
            sampling.level_weight = static_cast<int>(std::nearbyint((lambda - whole) * FILTER_ONE));
        }
    } else {
        // The nearest level: level d covers lambda in (d - 0.5, d + 0.5].
        sampling.level = static_cast<int>(std::min<double>(std::ceil(lambda + 0.5) - 1.0, last));
    }
    return sampling;
}

void Sample(const TNullImageFrame& frame, const TSampling& sampling, double s, double t, uint8_t* out) {
    const TLevelView level = View(frame, sampling.level);
    // s, t are in texels of level 0; a level of half the width has half as many texels per unit.
    const double ks = static_cast<double>(level.width) / frame.tex_width;
    const double kt = static_cast<double>(level.height) / frame.tex_height;
    if (!sampling.filtered) {
        SampleNearest(level, s * ks, t * kt, out);
        return;
    }
    SampleBilinear(level, s * ks, t * kt, out);
    if (sampling.next_level < 0) return;
    const TLevelView next = View(frame, sampling.next_level);
    uint8_t second[4];
    SampleBilinear(next, s * next.width / frame.tex_width, t * next.height / frame.tex_height, second);
    for (int k = 0; k < 4; ++k) out[k] = static_cast<uint8_t>(Lerp(out[k], second[k], sampling.level_weight));
}

} // namespace

void DrawTexturedQuad(const TTarget& target, const TPaint& paint, const TTransform& transform,
                      const TNullImageFrame& frame, float u0, float v0, float u1, float v1, float x0,
                      float y0, float x1, float y1, float tx, float ty) {
    if (!target.picture || frame.levels.empty()) return;
    const auto tw = static_cast<float>(frame.tex_width), th = static_cast<float>(frame.tex_height);
    const TPoint corners[4] = {transform.Place(x0, y0, tx, ty), transform.Place(x1, y0, tx, ty),
                               transform.Place(x1, y1, tx, ty), transform.Place(x0, y1, tx, ty)};

    // Unrotated at one texel per pixel: on the pixel grid a copy of texel rows; off it, with nearest
    // sampling, one texel per pixel chosen as the reference chooses between two on a tie.
    const float col0 = u0 * tw, row0 = v0 * th, cols = (u1 - u0) * tw, rows = (v1 - v0) * th;
    if (transform.IsIdentity() && corners[1].x - corners[0].x == cols &&
        corners[3].y - corners[0].y == rows && cols > 0.0f && rows > 0.0f && IsWhole(col0) && IsWhole(row0) &&
        IsWhole(cols) && IsWhole(rows) && std::fabs(corners[0].x) < GRID_LIMIT &&
        std::fabs(corners[0].y) < GRID_LIMIT) {
        const TPixelRect placed = CoveredRect(corners[0], cols, rows);
        const bool on_grid = IsWhole(corners[0].x) && IsWhole(corners[0].y);
        if (on_grid && col0 + cols <= tw && row0 + rows <= th) {
            WithBlendMode(paint.blend, [&](auto mode) {
                DrawOneToOne<decltype(mode)::value>(target, paint, frame, placed, static_cast<int>(col0),
                                                    static_cast<int>(row0));
            });
            return;
        }
        if (!on_grid && !frame.filtered) {
            const float us[4] = {u0, u1, u1, u0}, vs[4] = {v0, v0, v1, v1};
            const TReferenceTexcoords texcoords(corners, us, vs, target.picture->width,
                                                target.picture->height);
            WithBlendMode(paint.blend, [&](auto mode) {
                DrawUnscaledOffGrid<decltype(mode)::value>(target, paint, frame, placed, texcoords);
            });
            return;
        }
    }

    // Screen to texels of level 0: undo the transform, then scale the local rectangle onto the
    // texture rectangle.
    const double det =
        static_cast<double>(transform.ix) * transform.jy - static_cast<double>(transform.iy) * transform.jx;
    if (det == 0.0 || x1 == x0 || y1 == y0) return;
    const double ks = static_cast<double>(u1 - u0) * tw / (static_cast<double>(x1) - x0);
    const double kt = static_cast<double>(v1 - v0) * th / (static_cast<double>(y1) - y0);
    const double dsdx = ks * transform.jy / det, dsdy = -ks * transform.iy / det;
    const double dtdx = -kt * transform.jx / det, dtdy = kt * transform.ix / det;
    const double s_origin = static_cast<double>(u0) * tw, t_origin = static_cast<double>(v0) * th;
    const TSampling sampling = ChooseSampling(frame, dsdx, dtdx, dsdy, dtdy);

    WithBlendMode(paint.blend, [&](auto mode) {
        constexpr int Mode = decltype(mode)::value;
        ScanConvex(corners, 4, target.clip, [&](int y, int xa, int xb) {
            const double cy = y + 0.5 - corners[0].y;
            double s = s_origin + dsdx * (xa + 0.5 - corners[0].x) + dsdy * cy;
            double t = t_origin + dtdx * (xa + 0.5 - corners[0].x) + dtdy * cy;
            uint8_t* dst = target.Pixel(xa, y);
            uint8_t texel[4], fragment[4];
            for (int x = xa; x < xb; ++x, s += dsdx, t += dtdx, dst += 4) {
                Sample(frame, sampling, s, t, texel);
                Modulated(texel, paint, fragment);
                BlendPixel<Mode>(dst, fragment);
            }
        });
    });
}

} // namespace null2d
