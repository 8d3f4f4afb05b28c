// Canvas compositing, distance functions, noise and 8-bit conversion for the asset generator.
#include "tools/assetgen/canvas.h"

#include "tools/assetgen/rng.h"

#include <algorithm>

Col ramp(const std::vector<Col>& stops, float t) {
    if (stops.size() == 1) return stops[0];
    const float f = clamp01(t) * static_cast<float>(stops.size() - 1);
    const size_t i = std::min(static_cast<size_t>(f), stops.size() - 2);
    return mix(stops[i], stops[i + 1], f - static_cast<float>(i));
}

void Canvas::over(int x, int y, Col c, float a) {
    if (!inside(x, y) || a <= 0.0f) return;
    a = clamp01(a);
    Px& p = at(x, y);
    const float k = 1.0f - a;
    p.r = c.r * a + p.r * k;
    p.g = c.g * a + p.g * k;
    p.b = c.b * a + p.b * k;
    p.a = a + p.a * k;
}

void Canvas::add(int x, int y, Col c, float k) {
    if (!inside(x, y) || k <= 0.0f) return;
    Px& p = at(x, y);
    p.r += c.r * k;
    p.g += c.g * k;
    p.b += c.b * k;
    p.a = std::min(1.0f, p.a + k * std::max({c.r, c.g, c.b}));
}

void Canvas::blit(const Canvas& src, int dx, int dy) {
    for (int y = 0; y < src.h; ++y)
        for (int x = 0; x < src.w; ++x) {
            if (!inside(x + dx, y + dy)) continue;
            const Px& s = src.at(x, y);
            Px& d = at(x + dx, y + dy);
            const float k = 1.0f - s.a;
            d.r = s.r + d.r * k;
            d.g = s.g + d.g * k;
            d.b = s.b + d.b * k;
            d.a = s.a + d.a * k;
        }
}

void Canvas::copy_rect(const Canvas& src, int sx, int sy, int width, int height, int dx, int dy) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (src.inside(sx + x, sy + y) && inside(dx + x, dy + y))
                at(dx + x, dy + y) = src.at(sx + x, sy + y);
}

float sd_circle(Vec p, Vec c, float r) {
    return length(p - c) - r;
}

float sd_ellipse(Vec p, Vec c, float rx, float ry) {
    const Vec q{(p.x - c.x) / rx, (p.y - c.y) / ry};
    const float k = length(q);
    if (k < 1e-6f) return -std::min(rx, ry);
    // First-order correction: divide the implicit value by the length of its gradient.
    const Vec g{q.x / rx, q.y / ry};
    return (k - 1.0f) * k / std::max(length(g), 1e-6f);
}

float sd_box(Vec p, Vec c, float hx, float hy, float round) {
    const float qx = std::fabs(p.x - c.x) - (hx - round);
    const float qy = std::fabs(p.y - c.y) - (hy - round);
    const Vec outside{std::max(qx, 0.0f), std::max(qy, 0.0f)};
    return length(outside) + std::min(std::max(qx, qy), 0.0f) - round;
}

float sd_segment(Vec p, Vec a, Vec b, float r, bool square) {
    const Vec ba = b - a;
    const float len = length(ba);
    if (len < 1e-6f) return square ? sd_box(p, a, r, r) : sd_circle(p, a, r);
    const Vec dir = ba * (1.0f / len);
    const Vec pa = p - a;
    // Coordinates along and across the segment.
    const float u = dot(pa, dir);
    const float v = -pa.x * dir.y + pa.y * dir.x;
    if (square) {
        const float qx = std::fabs(u - len * 0.5f) - (len * 0.5f + r);
        const float qy = std::fabs(v) - r;
        return length(Vec{std::max(qx, 0.0f), std::max(qy, 0.0f)}) + std::min(std::max(qx, qy), 0.0f);
    }
    const float t = std::clamp(u, 0.0f, len);
    return length(pa - dir * t) - r;
}

float sd_polygon(Vec p, const std::vector<Vec>& pts) {
    float best = 1e30f;
    bool in = false;
    for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
        const Vec e = pts[j] - pts[i];
        const Vec w = p - pts[i];
        const float t = std::clamp(dot(w, e) / std::max(dot(e, e), 1e-12f), 0.0f, 1.0f);
        best = std::min(best, length(w - e * t));
        if ((pts[i].y > p.y) != (pts[j].y > p.y) &&
            p.x < (pts[j].x - pts[i].x) * (p.y - pts[i].y) / (pts[j].y - pts[i].y) + pts[i].x)
            in = !in;
    }
    return in ? -best : best;
}

namespace {

float lattice(int ix, int iy, uint32_t seed, int period_x) {
    if (period_x > 0) ix = ((ix % period_x) + period_x) % period_x;
    return hash_unit(ix, iy, seed);
}

} // namespace

float value_noise(float x, float y, float cell, uint32_t seed, int period_x) {
    const float fx = x / cell, fy = y / cell;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    float tx = fx - static_cast<float>(ix), ty = fy - static_cast<float>(iy);
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float a = lattice(ix, iy, seed, period_x), b = lattice(ix + 1, iy, seed, period_x);
    const float c = lattice(ix, iy + 1, seed, period_x), d = lattice(ix + 1, iy + 1, seed, period_x);
    return (a + (b - a) * tx) * (1.0f - ty) + (c + (d - c) * tx) * ty;
}

float fbm(float x, float y, float cell, int octaves, uint32_t seed, int period_x) {
    float sum = 0.0f, amp = 0.5f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise(x, y, cell, seed + static_cast<uint32_t>(o) * 7919u, period_x);
        norm += amp;
        amp *= 0.5f;
        cell *= 0.5f;
        period_x *= 2;
    }
    return sum / norm;
}

namespace {

uint8_t to_byte(float v) {
    return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0f));
}

} // namespace

std::vector<uint8_t> to_masked_rgb(const Canvas& c) {
    std::vector<uint8_t> out(static_cast<size_t>(c.w) * c.h * 3);
    for (size_t i = 0; i < c.px.size(); ++i) {
        const Px& p = c.px[i];
        uint8_t r = to_byte(p.r), g = to_byte(p.g), b = to_byte(p.b);
        if (p.a >= 0.5f) {
            // Covered: must stay visible, so never let it become the mask colour.
            if (std::max({r, g, b}) < 12) {
                r = std::max<uint8_t>(r, 8);
                g = std::max<uint8_t>(g, 8);
                b = std::max<uint8_t>(b, 12);
            }
        } else if (std::max({r, g, b}) < 10) {
            // A faint fringe: drop it rather than leave a dark speck around the sprite.
            r = g = b = 0;
        }
        out[i * 3] = r;
        out[i * 3 + 1] = g;
        out[i * 3 + 2] = b;
    }
    return out;
}

std::vector<uint8_t> to_rgba(const Canvas& c) {
    std::vector<uint8_t> out(static_cast<size_t>(c.w) * c.h * 4);
    for (size_t i = 0; i < c.px.size(); ++i) {
        const Px& p = c.px[i];
        const float a = clamp01(p.a);
        const float inv = a > 1e-6f ? 1.0f / a : 0.0f;
        out[i * 4] = to_byte(p.r * inv);
        out[i * 4 + 1] = to_byte(p.g * inv);
        out[i * 4 + 2] = to_byte(p.b * inv);
        out[i * 4 + 3] = to_byte(a);
        if (out[i * 4 + 3] == 0) out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = 0;
    }
    return out;
}
