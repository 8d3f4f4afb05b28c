// The desktop icon: the player's green saucer over a patch of the game's night sky and moon.
#include "tools/assetgen/art.h"
#include "tools/assetgen/rng.h"

#include <cmath>

namespace {

// The saucer sprite's own size in its pixels, and how much of the icon's width it spans.
constexpr float kSaucerWidth = 40.0f;
constexpr float kSaucerHeight = 27.0f;
constexpr float kSaucerSpan = 0.84f;

// Stars: a fixed count at places drawn from a fixed seed, so every size shows the same sky.
constexpr int kStars = 14;
constexpr uint64_t kStarSeed = 0x1C0A5EEDull;

} // namespace

Canvas make_icon(int size) {
    Canvas c(size, size);
    const float s = static_cast<float>(size);
    // The tile: a rounded square a little inside the icon's edge, as icon themes leave a margin.
    const float half = s * 0.46f, corner = s * 0.2f;
    const Vec centre{s * 0.5f, s * 0.5f};
    auto tile = [&](Vec p) { return sd_box(p, centre, half, half, corner); };
    fill_shape(c, 0, 0, size - 1, size - 1, tile, [&](Vec p, float) {
        return ramp({rgb(14, 10, 46), rgb(40, 24, 96), rgb(88, 44, 128)}, p.y / s);
    });

    // The moon's ground: a wide arc across the bottom, lit along its rim.
    auto ground = [&](Vec p) { return std::max(sd_circle(p, {s * 0.5f, s * 2.05f}, s * 1.3f), tile(p)); };
    fill_shape(c, 0, 0, size - 1, size - 1, ground, [&](Vec p, float d) {
        const Col rock = mix(rgb(96, 100, 150), rgb(40, 42, 84), clamp01((p.y - s * 0.74f) / (s * 0.2f)));
        return d > -s * 0.02f ? mix(rock, rgb(190, 196, 240), 0.6f) : rock;
    });

    Rng rng(kStarSeed);
    for (int i = 0; i < kStars; ++i) {
        const Vec at{s * rng.range(0.12f, 0.88f), s * rng.range(0.1f, 0.62f)};
        const float r = s * rng.range(0.006f, 0.014f);
        fill_shape(
            c, 0, 0, size - 1, size - 1, [&](Vec p) { return std::max(sd_circle(p, at, r), tile(p)); },
            [](Vec, float) { return rgb(230, 230, 255); }, rng.range(0.5f, 1.0f));
    }

    // The saucer, centred a little above the middle, its rim lights in the first frame.
    Placement at;
    at.scale = s * kSaucerSpan / kSaucerWidth;
    at.offset = {s * 0.5f - at.scale * kSaucerWidth * 0.5f, s * 0.46f - at.scale * kSaucerHeight * 0.5f};
    draw_player(c, 0, 0, at);
    return c;
}
