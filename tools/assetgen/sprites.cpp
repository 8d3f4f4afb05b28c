// The small sprites: the players' saucers, the enemy tank and its wheel, laser bolts, particles, pointer.
#include "tools/assetgen/art.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// The dark outline colour of every sprite: near-black, because pure black is the transparent colour.
const Col kInk = rgb(14, 16, 30);

// Fills the whole canvas region of a shape with a flat colour.
template <class Sdf> void fill_flat(Canvas& c, Sdf sdf, Col col, float opacity = 1.0f) {
    fill_shape(
        c, 0, 0, c.w - 1, c.h - 1, sdf, [&](Vec, float) { return col; }, opacity);
}

// Brushed metal lit from above: t is 0 at the top of the part and 1 at its bottom.
Col metal(Col light, Col base, Col dark, float t) {
    t = clamp01(t);
    if (t < 0.35f) return mix(light, base, t / 0.35f);
    return mix(base, dark, (t - 0.35f) / 0.65f);
}

struct HullColours {
    Col light, base, dark, accent;
};

HullColours player_colours(int player) {
    if (player == 0) return {rgb(200, 255, 190), rgb(60, 200, 80), rgb(14, 70, 34), rgb(120, 255, 140)};
    return {rgb(255, 200, 190), rgb(215, 50, 45), rgb(80, 14, 20), rgb(255, 130, 110)};
}

} // namespace

void draw_player(Canvas& c, int frame, int player, Placement at) {
    const HullColours hc = player_colours(player);
    // Shapes and shades below are in sprite pixels; the placement maps them onto the canvas.
    const float inv = 1.0f / at.scale;
    auto local = [&](Vec p) { return (p - at.offset) * inv; };
    auto paint = [&](auto sdf, auto shade, float opacity = 1.0f) {
        fill_shape(
            c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sdf(local(p)) * at.scale; },
            [&](Vec p, float d) { return shade(local(p), d * inv); }, opacity);
    };
    auto paint_flat = [&](auto sdf, Col col, float opacity = 1.0f) {
        paint(
            sdf, [&](Vec, float) { return col; }, opacity);
    };
    const float cx = 20.0f;

    auto dome = [&](Vec p) { return std::max(sd_ellipse(p, {cx, 12.6f}, 8.0f, 8.2f), p.y - 12.6f); };
    auto upper = [&](Vec p) { return sd_ellipse(p, {cx, 13.2f}, 13.5f, 4.2f); };
    auto disc = [&](Vec p) { return sd_ellipse(p, {cx, 15.6f}, 19.4f, 5.0f); };
    auto lower = [&](Vec p) { return sd_ellipse(p, {cx, 18.2f}, 12.0f, 4.6f); };
    auto engine = [&](Vec p) { return sd_ellipse(p, {cx, 21.6f}, 6.0f, 2.2f); };
    auto body = [&](Vec p) { return std::min({dome(p), upper(p), disc(p), lower(p), engine(p)}); };

    // Outline one pixel wider than the craft.
    paint_flat([&](Vec p) { return body(p) - 1.0f; }, kInk);

    // Engine glow under the hull.
    paint(engine, [&](Vec p, float) {
        const float r = length(Vec{(p.x - cx) / 6.0f, (p.y - 21.6f) / 2.2f});
        return mix(rgb(240, 255, 255), rgb(60, 170, 255), clamp01(r));
    });
    // Lower hull, in shade.
    paint(lower, [&](Vec p, float) { return metal(hc.base * 0.8f, hc.dark, kInk, (p.y - 15.0f) / 8.0f); });
    // Main disc with a bright rim band along its widest line.
    paint(disc, [&](Vec p, float d) {
        const float t = (p.y - 10.6f) / 10.0f;
        Col col = metal(hc.light, hc.base, hc.dark, t);
        // A darker groove where the lights sit.
        const float groove = std::exp(-std::pow((p.y - 16.2f) / 1.1f, 2.0f));
        col = mix(col, hc.dark * 0.7f, groove * 0.55f);
        // Edge light from the upper left.
        if (d > -1.2f && p.y < 15.0f) col = mix(col, hc.light, 0.5f);
        return col;
    });
    // Upper hull.
    paint(upper, [&](Vec p, float d) {
        const float t = (p.y - 9.0f) / 8.4f;
        Col col = metal(hc.light, hc.base, hc.dark, t * 0.9f);
        if (d > -1.0f && p.y > 13.5f) col = mix(col, hc.dark, 0.6f);
        return col;
    });
    // Glass dome with the pilot's shadow and a highlight.
    paint(dome, [&](Vec p, float d) {
        const float t = clamp01((p.y - 4.4f) / 8.2f);
        Col col = mix(rgb(170, 240, 255), rgb(30, 90, 170), t);
        const float pilot = std::min(sd_circle(p, {cx, 9.0f}, 2.3f), sd_ellipse(p, {cx, 12.6f}, 3.6f, 2.4f));
        if (pilot < 0.0f) col = mix(col, rgb(20, 40, 90), 0.7f * coverage(pilot + 0.5f));
        if (d > -0.9f) col = mix(col, rgb(220, 250, 255), 0.45f);
        return col;
    });
    paint_flat([&](Vec p) { return sd_ellipse(p, {cx - 3.0f, 7.6f}, 2.0f, 1.2f); }, rgb(255, 255, 255), 0.9f);
    // Seam between dome and hull.
    paint_flat([&](Vec p) { return sd_box(p, {cx, 12.8f}, 8.0f, 0.45f); }, hc.dark, 0.8f);

    // Rim lights: ten lamps around the rim; one lamp in five is lit and the lit one moves on by one lamp
    // per frame, so over the five frames the light runs around the saucer.
    for (int j = 0; j < 10; ++j) {
        const float theta = kPi * static_cast<float>(j) / 5.0f + kPi / 10.0f;
        const float s = std::sin(theta);
        if (s < 0.1f) continue; // behind the hull
        const Vec lamp_at{cx + 17.2f * std::cos(theta), 16.2f + 2.6f * s};
        const bool lit = ((j + frame) % 5) == 0;
        const float facing = 0.55f + 0.45f * s;
        const Col lamp = lit ? rgb(255, 250, 210) : mix(rgb(255, 190, 60), hc.dark, 0.45f);
        paint_flat([&](Vec p) { return sd_circle(p, lamp_at, lit ? 1.3f : 1.0f); },
                   lamp * (lit ? 1.0f : facing));
        if (lit)
            glow_shape(
                c, 0, 0, c.w - 1, c.h - 1,
                [&](Vec p) { return sd_circle(local(p), lamp_at, 0.8f) * at.scale; }, rgb(255, 230, 140),
                1.6f * at.scale, 0.55f);
    }
}

void draw_tank(Canvas& c, int frame) {
    const float cx = 27.5f;
    const float charge = static_cast<float>(frame) / 4.0f;
    // Warm bronze armour: it stands out against the cold blue moonscape behind it.
    const Col light = rgb(255, 230, 170), base = rgb(196, 124, 56), dark = rgb(70, 34, 22);

    auto skirt = [&](Vec p) {
        return sd_polygon(
            p, {{1.5f, 16.0f}, {6.0f, 11.5f}, {49.0f, 11.5f}, {53.5f, 16.0f}, {51.0f, 22.5f}, {4.0f, 22.5f}});
    };
    auto deck = [&](Vec p) {
        return sd_polygon(p, {{8.0f, 11.8f}, {13.0f, 8.2f}, {42.0f, 8.2f}, {47.0f, 11.8f}});
    };
    auto turret = [&](Vec p) { return std::max(sd_ellipse(p, {cx, 10.0f}, 10.5f, 6.2f), p.y - 10.0f); };
    auto barrel = [&](Vec p) { return sd_box(p, {cx, 4.5f}, 2.2f, 4.3f); };
    auto muzzle = [&](Vec p) { return sd_box(p, {cx, 1.5f}, 3.3f, 1.3f, 0.4f); };
    auto body = [&](Vec p) { return std::min({skirt(p), deck(p), turret(p), barrel(p), muzzle(p)}); };

    fill_flat(
        c, [&](Vec p) { return body(p) - 1.0f; }, kInk);

    // Skirt: armour plates with rivets and a row of charge indicator lamps.
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, skirt, [&](Vec p, float d) {
        Col col = metal(light, base, dark, (p.y - 11.0f) / 12.0f);
        if (d > -1.0f && p.y < 13.0f) col = mix(col, light, 0.6f);
        // Plate seams every 9 pixels.
        const float seam = std::fabs(std::fmod(p.x - 1.0f, 9.0f) - 4.5f);
        if (seam > 4.0f && p.y > 12.5f) col = col * 0.6f;
        return col;
    });
    for (int i = 0; i < 5; ++i) {
        const Vec at{11.0f + 8.25f * static_cast<float>(i), 17.2f};
        // The lamps fill up from the left as the cannon charges: none at frame 0, all at frame 4.
        const bool lit = i < frame + (frame == 4 ? 1 : 0);
        fill_flat(
            c, [&](Vec p) { return sd_box(p, at, 1.6f, 1.0f, 0.3f); }, kInk);
        fill_flat(
            c, [&](Vec p) { return sd_box(p, at, 1.1f, 0.55f); }, lit ? rgb(255, 120, 230) : rgb(80, 30, 60));
        if (lit)
            glow_shape(
                c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sd_box(p, at, 1.0f, 0.5f); },
                rgb(255, 80, 200), 1.2f, 0.35f);
    }
    // Deck.
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, deck, [&](Vec p, float d) {
        Col col = metal(light, base, dark, (p.y - 8.0f) / 6.0f + 0.1f);
        if (d > -0.9f) col = mix(col, light, 0.35f);
        return col;
    });
    // Turret dome.
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, turret, [&](Vec p, float d) {
        const float shade = clamp01((p.x - cx + 10.0f) / 20.0f);
        Col col = metal(light, base, dark, 0.15f + 0.75f * shade);
        if (d > -1.0f) col = mix(col, dark, 0.4f);
        return col;
    });
    fill_flat(
        c,
        [&](Vec p) {
            return sd_ellipse(p, {cx - 4.0f, 6.6f}, 2.8f, 1.2f);
        },
        rgb(255, 245, 220), 0.8f);
    // Barrel: a dark tube whose core glows brighter as the charge builds.
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, barrel, [&](Vec p, float) {
        const float across = std::fabs(p.x - cx) / 2.2f;
        Col tube = mix(rgb(230, 200, 170), rgb(70, 40, 40), across);
        const Col hot = mix(rgb(255, 90, 210), rgb(255, 235, 250), charge * (1.0f - across));
        return mix(tube, hot, charge * charge * (1.0f - across * 0.8f));
    });
    // Three coils along the barrel, lit from the bottom up.
    for (int i = 0; i < 3; ++i) {
        const float level = clamp01(charge * 3.0f - static_cast<float>(i));
        const Vec at{cx, 7.2f - 2.2f * static_cast<float>(i)};
        const Col coil = mix(rgb(80, 36, 60), rgb(255, 110, 235), level);
        fill_flat(
            c, [&](Vec p) { return sd_box(p, at, 3.0f, 0.55f); }, coil);
        if (level > 0.5f)
            glow_shape(
                c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sd_box(p, at, 2.5f, 0.4f); },
                rgb(255, 90, 220), 1.3f, 0.3f * level);
    }
    // Muzzle cap, glowing white-hot when fully charged.
    fill_shape(c, 0, 0, c.w - 1, c.h - 1, muzzle, [&](Vec p, float) {
        const Col cold = metal(light, base, dark, p.y / 3.0f);
        return mix(cold, rgb(255, 200, 250), frame == 4 ? 0.85f : 0.0f);
    });
    if (frame == 4)
        glow_shape(
            c, 0, 0, c.w - 1, c.h - 1,
            [&](Vec p) {
                return sd_circle(p, {cx, 1.5f}, 1.5f);
            },
            rgb(255, 120, 240), 2.5f, 0.6f);
}

void draw_wheel(Canvas& c) {
    const Vec hub{10.0f, 9.0f};
    // Rubber tyre with tread blocks; the blocks, the spokes and one marked spoke make rotation visible.
    fill_flat(
        c, [&](Vec p) { return sd_circle(p, hub, 8.9f); }, kInk);
    fill_shape(
        c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sd_circle(p, hub, 8.0f); },
        [&](Vec p, float) { return mix(rgb(74, 74, 92), rgb(30, 30, 44), clamp01((p.y - 1.0f) / 16.0f)); });
    for (int i = 0; i < 10; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / 10.0f;
        const Vec dir{std::cos(a), std::sin(a)};
        const Vec at = hub + dir * 7.3f;
        fill_flat(
            c, [&](Vec p) { return sd_segment(p, at - dir * 0.5f, at + dir * 0.5f, 0.7f, true); },
            rgb(20, 20, 32));
    }
    // Steel rim and dark inner plate.
    fill_shape(
        c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return sd_circle(p, hub, 5.8f); },
        [&](Vec p, float) {
            return mix(rgb(170, 180, 220), rgb(70, 76, 120), clamp01((p.x + p.y - 8.0f) / 20.0f));
        });
    fill_flat(
        c, [&](Vec p) { return sd_circle(p, hub, 4.7f); }, rgb(30, 32, 58));
    for (int i = 0; i < 5; ++i) {
        const float a = 2.0f * kPi * static_cast<float>(i) / 5.0f - kPi / 2.0f;
        const Vec end = hub + Vec{std::cos(a), std::sin(a)} * 4.9f;
        fill_flat(
            c, [&](Vec p) { return sd_segment(p, hub, end, 0.8f); },
            i == 0 ? rgb(255, 190, 70) : rgb(130, 140, 190));
    }
    fill_flat(
        c, [&](Vec p) { return sd_circle(p, hub, 2.0f); }, rgb(200, 208, 240));
    fill_flat(
        c, [&](Vec p) { return sd_circle(p, hub, 0.9f); }, rgb(70, 74, 120));
}

void draw_lazer(Canvas& c, int kind) {
    static const Col colours[3] = {rgb(60, 255, 90), rgb(255, 60, 40), rgb(255, 90, 220)};
    const Col col = colours[kind];
    const Vec mid{4.0f, 3.0f};
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const Vec p{x + 0.5f, y + 0.5f};
            // Elliptical bolt: white-hot core, saturated body, quick falloff to the edge.
            const float r = length(Vec{(p.x - mid.x) / 4.0f, (p.y - mid.y) / 3.0f});
            if (r >= 1.0f) continue;
            const float core = std::exp(-r * r * 9.0f);
            const float body = 1.0f - smoothstep(0.45f, 1.0f, r);
            c.over(x, y, mix(col * body, rgb(255, 255, 255), core), std::max(body, core));
        }
}

void draw_particle(Canvas& c, int kind) {
    static const Col colours[5] = {rgb(255, 225, 60), rgb(255, 60, 40), rgb(70, 140, 255), rgb(60, 255, 90),
                                   rgb(255, 70, 235)};
    const Col col = colours[kind];
    const Vec mid{3.5f, 3.5f};
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const float r = length(Vec{x + 0.5f, y + 0.5f} - mid) / 3.5f;
            if (r >= 1.0f) continue;
            // A soft dot: bright centre, colour falling off smoothly (they are drawn additively).
            const float body = (1.0f - r * r) * (1.0f - r * r);
            const float core = std::exp(-r * r * 10.0f);
            c.over(x, y, mix(col * body, mix(col, rgb(255, 255, 255), 0.7f), core), 1.0f);
        }
}

Canvas make_pointer() {
    Canvas c(18, 18);
    // The arrow's tip is the picture's top-left pixel, which is where the pointer points.
    const std::vector<Vec> arrow = {{0.0f, 0.0f},   {0.0f, 15.5f}, {4.2f, 11.8f}, {7.4f, 17.6f},
                                    {10.6f, 16.0f}, {7.6f, 10.4f}, {13.0f, 10.4f}};
    auto outline = [&](Vec p) { return sd_polygon(p, arrow) - 0.3f; };
    fill_flat(c, outline, kInk);
    fill_shape(
        c, 0, 0, c.w - 1, c.h - 1, [&](Vec p) { return outline(p) + 1.4f; },
        [&](Vec p, float d) {
            Col col = mix(rgb(255, 255, 240), rgb(255, 190, 40), clamp01((p.x + p.y) / 22.0f));
            if (d > -1.0f) col = mix(col, rgb(255, 255, 255), 0.3f);
            return col;
        });
    c.over(0, 0, rgb(255, 255, 240), 1.0f);
    return c;
}
