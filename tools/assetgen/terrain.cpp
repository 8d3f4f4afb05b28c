// The scrolling backgrounds: rocky surface tiles, the far moonscape and the star field with its planet.
#include "tools/assetgen/art.h"
#include "tools/assetgen/layout.h"
#include "tools/assetgen/rng.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// Horizontal distance on a ring of the given period, so that features near one edge continue at the other.
float wrap_dx(float dx, float period) {
    while (dx > period * 0.5f) dx -= period;
    while (dx < -period * 0.5f) dx += period;
    return dx;
}

// --- Surface tiles ---------------------------------------------------------------------------------

constexpr int kTileW = 150, kTileH = 70;

// Zero near both side edges of a tile: details weighted by it differ between the two tiles, while the
// edges, which must meet any other tile, stay common to both.
float edge_window(float x) {
    return smoothstep(6.0f, 28.0f, x) * smoothstep(float(kTileW) - 6.0f, float(kTileW) - 28.0f, x);
}

float ground_top(float x, int frame) {
    // Shared gentle undulation (period 150 px) plus tile-specific humps away from the edges.
    float top = 7.0f + 4.0f * (fbm(x, 0.0f, 25.0f, 3, 101u, kTileW / 25) - 0.5f) * 2.0f;
    const float hump =
        frame == 0 ? std::sin((x - 20.0f) / 110.0f * kPi) : std::sin((x - 30.0f) / 45.0f * kPi);
    top -= 3.0f * edge_window(x) * hump * hump;
    return top;
}

struct Rock {
    float x, y, rx, ry;
};

} // namespace

void draw_surface_tile(Canvas& c, int frame) {
    const Col crust = rgb(236, 220, 200), upper = rgb(176, 150, 140), middle = rgb(118, 96, 104),
              deep = rgb(62, 48, 66);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const float fx = x + 0.5f, fy = y + 0.5f;
            const float top = ground_top(fx, frame);
            const float d = top - fy; // > 0 above the ground
            const float a = clamp01(0.5f - d);
            if (a <= 0.0f) continue;
            const float depth = (fy - top) / (kTileH - top);
            // Strata: wavy bands that follow the ground line.
            const float n = fbm(fx, fy, 15.0f, 4, 202u, kTileW / 15);
            const float band = std::sin((fy - top * 0.6f) * 0.55f + n * 5.0f);
            Col col = depth < 0.35f ? mix(upper, middle, depth / 0.35f)
                                    : mix(middle, deep, (depth - 0.35f) / 0.65f);
            col = col * (0.86f + 0.14f * band + 0.25f * (n - 0.5f));
            // Fine grit.
            col = col * (0.92f + 0.16f * hash_unit(x, y, 303u + static_cast<uint32_t>(frame) * 0u));
            // Lit crust along the ground line.
            const float under = fy - top;
            if (under < 2.5f) col = mix(crust, col, clamp01(under / 2.5f));
            c.over(x, y, col, a);
        }

    // Boulders half buried in the ground: some shared ones wrap across the tile edges, the others
    // belong to one tile and keep away from its edges.
    std::vector<Rock> rocks;
    rocks.reserve(16);
    Rng shared(5150u);
    for (int i = 0; i < 5; ++i)
        rocks.push_back(
            {shared.range(0.0f, 150.0f), shared.range(22.0f, 64.0f), shared.range(3.0f, 6.5f), 0.0f});
    Rng own(7000u + static_cast<uint64_t>(frame) * 31u);
    for (int i = 0; i < 7; ++i)
        rocks.push_back({own.range(32.0f, 118.0f), own.range(14.0f, 62.0f), own.range(2.5f, 8.0f), 0.0f});
    for (Rock& r : rocks) {
        r.ry = r.rx * 0.7f;
        for (int y = static_cast<int>(r.y - r.ry - 2); y <= static_cast<int>(r.y + r.ry + 2); ++y)
            for (int x = static_cast<int>(r.x - r.rx - 2); x <= static_cast<int>(r.x + r.rx + 2); ++x) {
                const int tx = ((x % kTileW) + kTileW) % kTileW;
                if (y < 0 || y >= kTileH) continue;
                const Vec p{tx + 0.5f, y + 0.5f};
                const float dx = wrap_dx(p.x - r.x, float(kTileW));
                const Vec q{r.x + dx, p.y};
                const float dist = sd_ellipse(q, {r.x, r.y}, r.rx, r.ry);
                const float a = coverage(dist);
                if (a <= 0.0f || c.at(tx, y).a < 0.5f) continue;
                // Light from the upper left; dark rim at the bottom right.
                const float lx = dx / r.rx, ly = (p.y - r.y) / r.ry;
                const float lit = clamp01(0.55f - 0.45f * lx - 0.6f * ly);
                Col col = mix(rgb(58, 46, 60), rgb(232, 214, 200), lit);
                if (dist > -1.2f && lx + ly > 0.2f) col = rgb(40, 32, 46);
                c.over(tx, y, col, a);
            }
    }
}

// --- Moonscape -------------------------------------------------------------------------------------

namespace {

constexpr int kMoonPeriod = 600;

// Sharp-crested noise for mountain ridges, periodic over the sheet's width.
float ridge_noise(float x, float cell, uint32_t seed) {
    float sum = 0.0f, amp = 1.0f, norm = 0.0f;
    int period = static_cast<int>(kMoonPeriod / cell);
    for (int o = 0; o < 4; ++o) {
        const float n = value_noise(x, 0.0f, cell, seed + static_cast<uint32_t>(o) * 13u, period);
        sum += amp * (1.0f - std::fabs(2.0f * n - 1.0f));
        norm += amp;
        amp *= 0.5f;
        cell *= 0.5f;
        period *= 2;
    }
    return sum / norm;
}

struct Crater {
    float x, y, r;
};

} // namespace

Canvas make_moonscape_sheet() {
    Canvas c(layout::kMoonSheetW, layout::kMoonSheetH);
    const int h = 298; // frame height; the rows below stay black
    const float period = float(kMoonPeriod);
    // Three ranges, far to near: higher and paler far away, lower and darker close by.
    struct Range {
        float base, height, cell;
        uint32_t seed;
        Col light, shade, haze;
    };
    const Range ranges[3] = {
        {70.0f, 56.0f, 120.0f, 11u, rgb(214, 218, 246), rgb(96, 100, 150), rgb(150, 156, 204)},
        {108.0f, 42.0f, 75.0f, 23u, rgb(190, 186, 222), rgb(64, 62, 100), rgb(120, 120, 170)},
        {140.0f, 22.0f, 50.0f, 37u, rgb(170, 160, 184), rgb(48, 44, 70), rgb(104, 100, 136)},
    };
    auto profile = [&](const Range& r, float x) {
        return r.base - r.height * ridge_noise(x, r.cell, r.seed);
    };

    for (int ri = 0; ri < 3; ++ri) {
        const Range& r = ranges[ri];
        // Rock relief of the faces: a 2D ridged field whose slopes give the shading (light from the left).
        auto relief = [&](float x, float y) {
            float sum = 0.0f, amp = 1.0f, cell = 36.0f;
            int per = static_cast<int>(period / cell);
            for (int o = 0; o < 4; ++o) {
                const float n = value_noise(x, y * 1.4f, cell, r.seed * 5u + static_cast<uint32_t>(o), per);
                sum += amp * (1.0f - std::fabs(2.0f * n - 1.0f));
                amp *= 0.5f;
                cell *= 0.5f;
                per *= 2;
            }
            return sum;
        };
        for (int x = 0; x < c.w; ++x) {
            const float fx = x + 0.5f;
            const float top = profile(r, fx);
            const float slope = (profile(r, fx + 2.0f) - profile(r, fx - 2.0f)) / 4.0f;
            for (int y = 0; y < h; ++y) {
                const float fy = y + 0.5f;
                const float a = clamp01(fy - top + 0.5f);
                if (a <= 0.0f) continue;
                const float below = fy - top;
                const float gx = relief(fx + 1.0f, fy) - relief(fx - 1.0f, fy);
                const float gy = relief(fx, fy + 1.0f) - relief(fx, fy - 1.0f);
                // Near the crest the silhouette's own slope dominates; lower down the rock relief does.
                const float near_crest = std::exp(-below / 14.0f);
                float lit =
                    0.5f + near_crest * slope * 1.2f - (1.0f - 0.5f * near_crest) * (gx * 2.2f + gy * 1.2f);
                lit = clamp01(lit);
                Col col = mix(r.shade, r.light, lit);
                // Haze settles in the valleys at the foot of each range.
                const float haze = smoothstep(20.0f, 70.0f, below);
                col = mix(col, r.haze, haze * 0.55f);
                if (below < 1.5f) col = mix(col, r.light, 0.6f); // crest rim light
                c.over(x, y, col, a);
            }
        }
    }

    // The plain in front: dusty ground with craters seen at a low angle.
    const float plain_top = 150.0f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const float fx = x + 0.5f, fy = y + 0.5f;
            const float edge = plain_top + 6.0f * fbm(fx, 0.0f, 60.0f, 3, 55u, kMoonPeriod / 60);
            const float a = clamp01(fy - edge + 0.5f);
            if (a <= 0.0f) continue;
            const float n = fbm(fx, fy * 2.5f, 40.0f, 4, 66u, kMoonPeriod / 40);
            const float fine = fbm(fx, fy * 2.0f, 7.5f, 2, 67u, kMoonPeriod * 2 / 15);
            const float depth = clamp01((fy - edge) / 140.0f);
            Col col = mix(rgb(176, 168, 190), rgb(70, 64, 88), depth);
            col = col * (0.72f + 0.5f * n + 0.22f * (fine - 0.5f));
            if (fy - edge < 1.5f) col = mix(col, rgb(220, 214, 236), 0.6f);
            c.over(x, y, col, a);
        }

    std::vector<Crater> craters;
    Rng rng(424242u);
    for (int i = 0; i < 34; ++i) {
        const float y = rng.range(162.0f, 290.0f);
        // Nearer craters (lower) look bigger.
        const float r = rng.range(6.0f, 15.0f) * (0.5f + (y - 162.0f) / 128.0f * 1.4f);
        craters.push_back({rng.range(0.0f, period), y, r});
    }
    for (const Crater& cr : craters) {
        const float rx = cr.r, ry = cr.r * 0.34f;
        for (int y = static_cast<int>(cr.y - ry - 3); y <= static_cast<int>(cr.y + ry + 3); ++y)
            for (int xi = static_cast<int>(cr.x - rx - 3); xi <= static_cast<int>(cr.x + rx + 3); ++xi) {
                const int x = ((xi % kMoonPeriod) + kMoonPeriod) % kMoonPeriod;
                if (y < 0 || y >= h || c.at(x, y).a < 0.5f) continue;
                const float dx = wrap_dx(x + 0.5f - cr.x, period);
                const Vec q{cr.x + dx, y + 0.5f};
                const float rim = sd_ellipse(q, {cr.x, cr.y}, rx * 1.18f, ry * 1.25f);
                const float bowl = sd_ellipse(q, {cr.x, cr.y}, rx, ry);
                const float v = (y + 0.5f - cr.y) / ry; // -1 far wall, +1 near wall
                if (bowl < 0.5f) {
                    // The far inner wall faces us and the light; the near one is in shadow.
                    const float lit = clamp01(0.5f - 0.75f * v - 0.25f * dx / rx);
                    c.over(x, y, mix(rgb(40, 36, 58), rgb(206, 200, 224), lit * lit), coverage(bowl));
                } else if (rim < 0.5f) {
                    // Raised rim: bright on the near lip.
                    const float t = clamp01(0.5f + 0.5f * v);
                    c.over(x, y, mix(rgb(120, 114, 140), rgb(236, 232, 246), t), coverage(rim) * 0.85f);
                }
            }
    }
    return c;
}

// --- Star field ------------------------------------------------------------------------------------

Canvas make_star_field() {
    Canvas c(layout::kSpaceW, layout::kSpaceH);
    Rng rng(1337u);
    const Col tints[4] = {rgb(255, 255, 255), rgb(190, 215, 255), rgb(255, 240, 200), rgb(255, 200, 190)};
    for (int i = 0; i < 260; ++i) {
        const int x = rng.below(c.w), y = rng.below(c.h);
        const float b = std::pow(rng.unit(), 2.2f);
        const Col col = tints[rng.below(4)];
        c.add(x, y, col, 0.25f + 0.75f * b);
        if (b > 0.55f) {
            // Medium stars bleed into their neighbours; the brightest get a four-point sparkle.
            const float s = (b - 0.5f) * 0.9f;
            c.add(x - 1, y, col, s);
            c.add(x + 1, y, col, s);
            c.add(x, y - 1, col, s);
            c.add(x, y + 1, col, s);
            if (b > 0.93f)
                for (int k = 2; k <= 4; ++k) {
                    const float t = s * (1.0f - static_cast<float>(k) / 5.0f);
                    c.add(x - k, y, col, t);
                    c.add(x + k, y, col, t);
                    c.add(x, y - k, col, t);
                    c.add(x, y + k, col, t);
                }
        }
    }

    // A small ringed planet, lit from the left.
    const Vec centre{218.0f, 62.0f};
    const float radius = 15.0f;
    const float tilt = -0.28f;
    auto ring_sdf = [&](Vec p, float scale) {
        const Vec d = p - centre;
        const float u = d.x * std::cos(tilt) + d.y * std::sin(tilt);
        const float v = -d.x * std::sin(tilt) + d.y * std::cos(tilt);
        return sd_ellipse(Vec{u, v}, {0.0f, 0.0f}, 27.0f * scale, 6.0f * scale);
    };
    auto ring_band = [&](Vec p) { return std::max(ring_sdf(p, 1.0f), -ring_sdf(p, 0.78f)); };
    // The back half of the ring is hidden by the planet, so the ring goes first and the front half again.
    fill_shape(c, 180, 35, 258, 90, ring_band, [&](Vec p, float) {
        const Vec d = p - centre;
        return mix(rgb(240, 220, 190), rgb(120, 90, 110), clamp01((d.x + 27.0f) / 54.0f));
    });
    fill_shape(
        c, 200, 44, 236, 80, [&](Vec p) { return sd_circle(p, centre, radius); },
        [&](Vec p, float d) {
            const Vec n = (p - centre) * (1.0f / radius);
            const float z = std::sqrt(std::max(0.0f, 1.0f - dot(n, n)));
            const float light = clamp01(-0.65f * n.x - 0.35f * n.y + 0.55f * z);
            const float bands = std::sin((n.y + 0.25f * n.x) * 11.0f) * 0.5f + 0.5f;
            Col base = mix(rgb(230, 140, 110), rgb(250, 210, 160), bands);
            Col col = mix(rgb(40, 20, 50), base, light);
            if (d > -1.0f) col = mix(col, rgb(255, 230, 200), 0.25f * light);
            return col;
        });
    fill_shape(
        c, 180, 35, 258, 90,
        [&](Vec p) {
            const float band = ring_band(p);
            // Front half: the part of the ring below the planet's centre line.
            const Vec d = p - centre;
            const float v = -d.x * std::sin(tilt) + d.y * std::cos(tilt);
            return std::max(band, -v);
        },
        [&](Vec p, float) {
            const Vec d = p - centre;
            return mix(rgb(250, 232, 200), rgb(130, 96, 116), clamp01((d.x + 27.0f) / 54.0f));
        });

    // Opaque wherever something shows: the game draws this tile with an alpha test, so soft alpha would
    // be lost; the brightness lives in the colour instead.
    for (Px& p : c.px) {
        if (std::max({p.r, p.g, p.b}) >= 6.0f / 255.0f) {
            p.r = std::min(p.r, 1.0f);
            p.g = std::min(p.g, 1.0f);
            p.b = std::min(p.b, 1.0f);
            p.a = 1.0f;
        } else {
            p = Px{};
        }
    }
    return c;
}
