// Lettering art: the title, the game's banner logo and the maker's logo for the intro.
#include "tools/assetgen/art.h"
#include "tools/assetgen/layout.h"
#include "tools/assetgen/lettering.h"
#include "tools/assetgen/rng.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// Lettering centred horizontally in a canvas of width w, with its top at y.
Lettering centred(const std::string& text, float w, float y, float unit, float stretch, float stroke,
                  float italic, float gap) {
    const Lettering probe(text, 0.0f, y, unit, stretch, stroke, italic, gap);
    return Lettering(text, (w - probe.width()) * 0.5f, y, unit, stretch, stroke, italic, gap);
}

// Chrome with a horizon: sky-blue highlights above the middle, a hard dark line, warm metal below.
Col chrome(float t) {
    if (t < 0.52f) return ramp({rgb(255, 255, 255), rgb(190, 225, 255), rgb(70, 120, 230)}, t / 0.52f);
    return ramp({rgb(60, 20, 90), rgb(230, 90, 120), rgb(255, 190, 90), rgb(255, 245, 190)},
                (t - 0.52f) / 0.48f);
}

// Paints lettering with a dark outline, an outer glow and a chrome fill lit along its upper edges.
void paint_lettering(Canvas& c, const Lettering& text, float outline, Col glow, float glow_radius,
                     float glow_strength) {
    auto sdf = [&](Vec p) { return text.sdf(p); };
    glow_shape(
        c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sdf(p) - outline; }, glow, glow_radius, glow_strength);
    fill_shape(
        c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sdf(p) - outline; },
        [&](Vec, float) { return rgb(16, 10, 40); });
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, sdf, [&](Vec p, float d) {
        Col col = chrome(text.rel_y(p));
        // Bevel: the rim facing up catches light, the one facing down is darker.
        const float up = sdf(Vec{p.x, p.y - 1.5f});
        if (d > -1.3f && up > d)
            col = mix(col, rgb(255, 255, 255), 0.45f);
        else if (d > -1.3f)
            col = col * 0.7f;
        return col;
    });
}

} // namespace

void draw_title(Canvas& c) {
    const Lettering text =
        centred("BRAKKOVANE 3D", static_cast<float>(c.w), 3.5f, 3.05f, 1.22f, 1.55f, 0.18f, 1.25f);
    paint_lettering(c, text, 1.6f, rgb(255, 60, 200), 1.4f, 0.55f);
}

namespace {

// The banner's sky, sun, grid and mountains.
void banner_backdrop(Canvas& c, float horizon) {
    const float cx = c.w * 0.5f;
    auto plate = [&](Vec p) {
        return sd_polygon(p, {{10.0f, 1.0f},
                              {float(c.w) - 10.0f, 1.0f},
                              {float(c.w) - 1.0f, 10.0f},
                              {float(c.w) - 1.0f, float(c.h) - 10.0f},
                              {float(c.w) - 10.0f, float(c.h) - 1.0f},
                              {10.0f, float(c.h) - 1.0f},
                              {1.0f, float(c.h) - 10.0f},
                              {1.0f, 10.0f}});
    };
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, plate, [&](Vec p, float d) {
        if (d > -2.0f) return mix(rgb(120, 240, 255), rgb(255, 80, 210), p.x / float(c.w));
        if (d > -3.0f) return rgb(16, 10, 40);
        if (p.y < horizon) {
            // Sky: deep violet to hot pink at the horizon.
            return ramp({rgb(18, 8, 52), rgb(60, 14, 90), rgb(190, 40, 120)}, p.y / horizon);
        }
        // Ground with a perspective grid converging on the horizon's middle, sampled 4 x 4 per pixel so
        // that the far lines fade out instead of breaking into dots.
        const float depth = (p.y - horizon) / (float(c.h) - horizon);
        Col col = mix(rgb(30, 8, 50), rgb(16, 8, 34), depth);
        float hits = 0.0f;
        for (int sy = 0; sy < 4; ++sy)
            for (int sx = 0; sx < 4; ++sx) {
                const float x = p.x - 0.5f + (sx + 0.5f) / 4.0f, y = p.y - 0.5f + (sy + 0.5f) / 4.0f;
                const float below = std::max(y - horizon, 0.05f);
                // Rows: equally spaced on the ground, so 1 / distance below the horizon in screen space.
                const float z = 40.0f / below;
                const bool row = std::fmod(z, 1.0f) < 0.12f * std::min(1.0f, 6.0f / z);
                // Columns: rays from the vanishing point, equally spaced on the ground.
                const float u = (x - cx) / below * 0.9f;
                const bool column = std::fabs(u - std::round(u)) < 0.06f * (1.0f + 4.0f / below);
                hits += (row || column) ? 1.0f : 0.0f;
            }
        return mix(col, rgb(255, 60, 220), (hits / 16.0f) * (0.35f + 0.65f * depth));
    });
    // Striped sun sinking behind the horizon.
    const Vec sun{cx, horizon + 2.0f};
    fill_shape(
        c, 0, 0, c.w - 1, static_cast<int>(horizon),
        [&](Vec p) {
            const float d = sd_circle(p, sun, 30.0f);
            const float band = (horizon - p.y) / 30.0f; // 0 at the horizon, 1 at the top
            const float stripe = std::fmod(p.y, 5.0f);
            const bool gap = band < 0.55f && stripe < 1.8f - 2.0f * band;
            return gap ? std::max(d, 0.6f) : d;
        },
        [&](Vec p, float) {
            return ramp({rgb(255, 250, 150), rgb(255, 170, 60), rgb(255, 70, 130)},
                        (p.y - (sun.y - 30.0f)) / 30.0f);
        });
    // Mountains in silhouette on both sides of the sun.
    fill_shape(
        c, 3, 3, c.w - 4, static_cast<int>(horizon) + 1,
        [&](Vec p) {
            const float x = p.x;
            const float ridge =
                horizon - 6.0f -
                14.0f * std::fabs(std::sin(x * 0.045f)) * (0.4f + 0.6f * std::fabs(x - cx) / cx) -
                5.0f * std::fabs(std::sin(x * 0.13f + 1.0f));
            const float keep_sun_clear = std::fabs(x - cx) < 40.0f ? 6.0f : 0.0f;
            return (ridge + keep_sun_clear) - p.y;
        },
        [&](Vec p, float d) {
            Col col = mix(rgb(70, 24, 110), rgb(30, 10, 60), clamp01((p.y - horizon + 20.0f) / 20.0f));
            if (d > -1.0f) col = rgb(255, 120, 210);
            return col;
        });
}

// Draws a sprite made by one of the sprite makers at (x, y), top-left corner; glowing sprites (bolts and
// sparks) are added as light, the way the game draws them.
template <class Draw> void stamp(Canvas& c, int w, int h, int x, int y, Draw draw, bool light = false) {
    Canvas sprite(w, h);
    draw(sprite);
    if (!light) {
        c.blit(sprite, x, y);
        return;
    }
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const Px& p = sprite.at(i, j);
            c.add(x + i, y + j, Col{p.r, p.g, p.b}, 1.0f);
        }
}

} // namespace

void draw_game_logo(Canvas& c) {
    const float horizon = 56.0f;
    banner_backdrop(c, horizon);
    // A small battle: player 1 fires down at a charging tank, player 2 dodges a tank shot.
    for (int k = 0; k < 7; ++k) {
        const int y = 34 + 5 * k;
        stamp(
            c, 8, 6, 84 - k * 2, y, [](Canvas& s) { draw_lazer(s, 0); }, true);
    }
    for (int k = 0; k < 4; ++k)
        stamp(
            c, 8, 6, 224, 16 + 6 * k, [](Canvas& s) { draw_lazer(s, 2); }, true);
    stamp(c, 40, 27, 66, 8, [](Canvas& s) { draw_player(s, 0, 0); });
    stamp(c, 40, 27, 238, 4, [](Canvas& s) { draw_player(s, 2, 1); });
    // The tank as the game assembles it: body, then three wheels 12 to 17 pixels below its centre.
    const int tx = 200, ty = 42;
    stamp(c, 55, 25, tx, ty, [](Canvas& s) { draw_tank(s, 4); });
    for (int w = 0; w < 3; ++w)
        stamp(c, 20, 18, tx - 2 + 20 * w, ty + 16 + (w % 2), [](Canvas& s) { draw_wheel(s); });
    // Burst where the green bolt meets the ground.
    const Vec burst{74.0f, 70.0f};
    glow_shape(
        c, 3, 3, c.w - 4, c.h - 4, [&](Vec p) { return sd_circle(p, burst, 2.0f); }, rgb(120, 255, 140), 4.0f,
        0.9f);
    Rng rng(77u);
    for (int k = 0; k < 10; ++k) {
        const float a = rng.range(-kPi, 0.0f), r = rng.range(6.0f, 13.0f);
        const Vec at = burst + Vec{std::cos(a) * r, std::sin(a) * r * 0.8f};
        stamp(
            c, 7, 7, static_cast<int>(at.x) - 3, static_cast<int>(at.y) - 3,
            [](Canvas& s) { draw_particle(s, 3); }, true);
    }
}

Canvas make_maker_logo() {
    Canvas c(layout::kMakerLogoW, layout::kMakerLogoH);
    // Emblem: a planet with a tilted orbit and a small moon on it.
    const Vec planet{210.0f, 72.0f};
    const float radius = 40.0f, tilt = -0.32f;
    auto orbit = [&](Vec p, float grow) {
        const Vec d = p - planet;
        const float u = d.x * std::cos(tilt) + d.y * std::sin(tilt);
        const float v = -d.x * std::sin(tilt) + d.y * std::cos(tilt);
        return std::make_pair(std::fabs(sd_ellipse(Vec{u, v}, {0.0f, 0.0f}, 78.0f, 20.0f)) - grow, v);
    };
    auto orbit_colour = [&](Vec p, float) {
        return mix(rgb(120, 240, 255), rgb(255, 90, 220), clamp01((p.x - planet.x + 80.0f) / 160.0f));
    };
    auto back_orbit = [&](Vec p) { return orbit(p, 1.6f).first; };
    glow_shape(c, 100, 0, 320, 140, back_orbit, rgb(80, 160, 255), 3.0f, 0.35f);
    fill_shape(c, 100, 0, 320, 140, back_orbit, orbit_colour);
    glow_shape(
        c, 150, 10, 270, 135, [&](Vec p) { return sd_circle(p, planet, radius); }, rgb(60, 140, 255), 6.0f,
        0.5f);
    fill_shape(
        c, 150, 20, 270, 125, [&](Vec p) { return sd_circle(p, planet, radius); },
        [&](Vec p, float d) {
            const Vec n = (p - planet) * (1.0f / radius);
            const float z = std::sqrt(std::max(0.0f, 1.0f - dot(n, n)));
            const float light = clamp01(-0.55f * n.x - 0.55f * n.y + 0.6f * z);
            // Continents from noise, oceans in between.
            const float land = fbm(p.x + 0.5f * z * 30.0f, p.y, 16.0f, 4, 515u);
            Col base = land > 0.55f ? mix(rgb(60, 200, 150), rgb(200, 240, 170), (land - 0.55f) * 3.0f)
                                    : mix(rgb(20, 60, 160), rgb(40, 130, 230), land / 0.55f);
            Col col = mix(rgb(10, 14, 40), base, 0.15f + 0.85f * light);
            // Atmosphere at the limb.
            if (d > -3.0f)
                col = mix(col, rgb(140, 220, 255), 0.6f * clamp01((d + 3.0f) / 3.0f) * (0.3f + light));
            return col;
        });
    // Front half of the orbit crosses in front of the planet.
    fill_shape(
        c, 100, 0, 320, 140,
        [&](Vec p) {
            const auto o = orbit(p, 1.6f);
            return std::max(o.first, -o.second);
        },
        orbit_colour);
    const Vec moon{planet.x + 62.0f, planet.y + 38.0f};
    glow_shape(
        c, 240, 80, 300, 135, [&](Vec p) { return sd_circle(p, moon, 4.0f); }, rgb(255, 200, 255), 3.0f,
        0.6f);
    fill_shape(
        c, 240, 80, 300, 135, [&](Vec p) { return sd_circle(p, moon, 5.0f); },
        [&](Vec p, float) {
            return mix(rgb(255, 255, 255), rgb(200, 110, 230),
                       clamp01((p.x - moon.x + p.y - moon.y + 5.0f) / 10.0f));
        });
    // Sparkles.
    const Vec sparks[3] = {{112.0f, 30.0f}, {318.0f, 20.0f}, {292.0f, 118.0f}};
    for (const Vec& s : sparks)
        glow_shape(
            c, static_cast<int>(s.x) - 9, static_cast<int>(s.y) - 9, static_cast<int>(s.x) + 9,
            static_cast<int>(s.y) + 9,
            [&](Vec p) {
                const Vec d = p - s;
                return std::min(std::fabs(d.x) * 3.0f + std::fabs(d.y) * 0.45f,
                                std::fabs(d.y) * 3.0f + std::fabs(d.x) * 0.45f) -
                       1.0f;
            },
            rgb(220, 240, 255), 1.2f, 0.9f);

    // The name.
    const Lettering name = centred("OVRILO", static_cast<float>(c.w), 140.0f, 8.2f, 1.22f, 1.5f, 0.0f, 1.35f);
    paint_lettering(c, name, 2.6f, rgb(60, 170, 255), 4.0f, 0.55f);
    // A rule under the name with a bright centre.
    fill_shape(
        c, 40, 212, 380, 222,
        [&](Vec p) {
            return sd_box(p, {210.0f, 217.0f}, 150.0f, 1.0f);
        },
        [&](Vec p, float) {
            const float t = std::fabs(p.x - 210.0f) / 150.0f;
            return mix(rgb(255, 255, 255), rgb(40, 80, 200), t);
        });
    glow_shape(
        c, 180, 205, 240, 229,
        [&](Vec p) {
            return sd_circle(p, {210.0f, 217.0f}, 2.0f);
        },
        rgb(140, 220, 255), 3.0f, 0.8f);
    return c;
}
