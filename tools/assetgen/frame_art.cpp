// The playfield frame: the border pieces and the full-screen overlay with its decorated side panels.
#include "tools/assetgen/art.h"
#include "tools/assetgen/layout.h"
#include "tools/assetgen/rng.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// Colour of the border rail across its width: d counts pixels from the outer side (0) to the inner (9);
// s is the position along the rail within its 10-pixel piece, which repeats without a seam.
Col rail(int d, float s) {
    static const Col profile[10] = {
        rgb(24, 28, 60),    rgb(140, 160, 230), rgb(80, 94, 170), rgb(44, 52, 110),   rgb(70, 200, 255),
        rgb(215, 250, 255), rgb(70, 200, 255),  rgb(44, 52, 110), rgb(120, 140, 210), rgb(20, 24, 52)};
    Col col = profile[std::clamp(d, 0, 9)];
    if (d >= 4 && d <= 6) {
        // The light tube pulses gently along the rail, brightest in the middle of each piece.
        const float pulse = 0.72f + 0.28f * std::cos(2.0f * kPi * (s - 4.5f) / 10.0f);
        col = col * pulse;
    }
    if ((d == 2 || d == 7) && std::fabs(s - 4.5f) < 0.6f) col = rgb(180, 196, 240); // small stud
    return col;
}

} // namespace

Canvas make_border_sheet() {
    Canvas c(layout::kBorderSheetW, layout::kBorderSheetH);
    for (int frame = 0; frame < 8; ++frame) {
        const FrameRect r = layout::border(frame);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                Col col;
                switch (frame) {
                case 0: col = rail(x, static_cast<float>(y)); break;     // left edge: outside to the left
                case 4: col = rail(9 - x, static_cast<float>(y)); break; // right edge
                case 2: col = rail(y, static_cast<float>(x)); break;     // top edge
                case 6: col = rail(9 - y, static_cast<float>(x)); break; // bottom edge
                default: {
                    // Corners: the rails meet in a mitre, with a bright light where the tubes cross.
                    const int ox = (frame == 1 || frame == 5) ? x : 9 - x;
                    const int oy = (frame == 1 || frame == 3) ? y : 9 - y;
                    col = rail(std::min(ox, oy), 0.0f);
                    if (ox >= 4 && ox <= 6 && oy >= 4 && oy <= 6) col = rgb(235, 255, 255);
                    if ((ox == 2 && oy == 2)) col = rgb(200, 214, 250);
                    break;
                }
                }
                c.over(r.x + x, r.y + y, col, 1.0f);
            }
    }
    return c;
}

namespace {

constexpr int kWindowX0 = 168, kWindowX1 = 471, kWindowY0 = 20, kWindowY1 = 460;

// One side panel, drawn for the left side with x growing towards the playfield; mirrored for the right.
void side_panel(Canvas& c, bool mirror) {
    auto put = [&](int x, int y, Col col, float a) { c.over(mirror ? 639 - x : x, y, col, a); };
    auto add = [&](int x, int y, Col col, float k) { c.add(mirror ? 639 - x : x, y, col, k); };
    const int w = 168;
    // Base: dark blue metal with a faint brushed grain.
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < w; ++x) {
            const float grain = fbm(x * 0.25f + 0.5f, y * 3.0f + 0.5f, 8.0f, 3, mirror ? 31u : 37u);
            Col col = mix(rgb(20, 22, 46), rgb(30, 34, 70), static_cast<float>(y) / 480.0f);
            col = col * (0.85f + 0.3f * grain);
            put(x, y, col, 1.0f);
        }
    // Armour plates with bevelled edges and corner rivets.
    struct Plate {
        int x, y, w, h;
    };
    const Plate plates[] = {
        {10, 12, 140, 96}, {10, 116, 66, 150}, {84, 116, 66, 150}, {10, 274, 140, 104}, {10, 386, 140, 82}};
    for (const Plate& p : plates) {
        for (int y = p.y; y < p.y + p.h; ++y)
            for (int x = p.x; x < p.x + p.w; ++x) {
                const float t = static_cast<float>(y - p.y) / static_cast<float>(p.h);
                Col col = mix(rgb(50, 56, 104), rgb(32, 36, 76), t);
                const int left = x - p.x, top = y - p.y, right = p.x + p.w - 1 - x,
                          bottom = p.y + p.h - 1 - y;
                if (left < 2 || top < 2) col = rgb(96, 106, 170);
                if (right < 2 || bottom < 2) col = rgb(14, 16, 36);
                if ((left == 0 && bottom < 2) || (top == 0 && right < 2)) col = rgb(50, 56, 104);
                put(x, y, col, 1.0f);
            }
        const int rx[2] = {p.x + 6, p.x + p.w - 7}, ry[2] = {p.y + 6, p.y + p.h - 7};
        for (int i = 0; i < 2; ++i)
            for (int j = 0; j < 2; ++j)
                for (int y = ry[j] - 2; y <= ry[j] + 2; ++y)
                    for (int x = rx[i] - 2; x <= rx[i] + 2; ++x) {
                        const float d = length(Vec{x + 0.5f - (rx[i] + 0.5f), y + 0.5f - (ry[j] + 0.5f)});
                        if (d > 2.3f) continue;
                        const float lit = clamp01(0.6f - 0.3f * (x - rx[i]) - 0.3f * (y - ry[j]));
                        put(x, y, mix(rgb(24, 26, 54), rgb(190, 200, 240), lit), coverage(d - 2.0f));
                    }
    }
    // Ventilation slots on the top plate.
    for (int k = 0; k < 6; ++k) {
        const int y = 30 + 11 * k;
        for (int x = 26; x < 134; ++x) {
            put(x, y, rgb(10, 10, 24), 1.0f);
            put(x, y + 1, rgb(10, 10, 24), 1.0f);
            put(x, y + 2, rgb(84, 92, 150), 1.0f);
        }
    }
    // Gauges on the two tall plates: a column of lamps each, filling up like a power meter.
    for (int col = 0; col < 2; ++col) {
        const int cx = col == 0 ? 43 : 117;
        for (int k = 0; k < 10; ++k) {
            const int y = 252 - 13 * k;
            const bool lit = k < (col == 0 ? 7 : 5);
            const Col lamp = k >= 8 ? rgb(255, 80, 120) : (k >= 5 ? rgb(255, 210, 70) : rgb(80, 255, 140));
            for (int yy = y - 4; yy <= y + 4; ++yy)
                for (int xx = cx - 18; xx <= cx + 18; ++xx) {
                    const float d =
                        sd_box(Vec{xx + 0.5f, yy + 0.5f}, {cx + 0.5f, y + 0.5f}, 17.0f, 3.5f, 1.5f);
                    if (d < 0.5f) put(xx, yy, rgb(10, 12, 26), coverage(d));
                    const float inner = d + 1.5f;
                    if (inner < 0.5f) put(xx, yy, lit ? lamp : lamp * 0.22f, coverage(inner));
                    if (lit && inner < 0.5f && yy < y - 1) add(xx, yy, rgb(255, 255, 255), 0.25f);
                }
        }
    }
    // A round scope on the lower middle plate: rings and a sweep.
    {
        const Vec ctr{80.0f, 326.0f};
        for (int y = 276; y < 378; ++y)
            for (int x = 12; x < 150; ++x) {
                const Vec p{x + 0.5f, y + 0.5f};
                const float r = length(p - ctr);
                if (r > 44.0f) continue;
                const float edge = coverage(r - 43.0f);
                Col col = rgb(8, 26, 30);
                const float ring =
                    std::min({std::fabs(r - 14.0f), std::fabs(r - 28.0f), std::fabs(r - 40.0f)});
                if (ring < 0.8f) col = rgb(40, 150, 140);
                if (std::fabs(p.x - ctr.x) < 0.6f || std::fabs(p.y - ctr.y) < 0.6f) col = rgb(30, 110, 105);
                const float ang = std::atan2(p.y - ctr.y, p.x - ctr.x);
                // Fading sweep behind the beam at -40 degrees.
                float behind = -0.7f - ang;
                if (behind < 0.0f) behind += 2.0f * kPi;
                if (behind < 1.4f) col = col + rgb(60, 255, 200) * (0.5f * (1.0f - behind / 1.4f));
                if (r > 41.0f) col = rgb(120, 130, 190);
                put(x, y, col, edge);
            }
        const Vec blips[3] = {{96.0f, 304.0f}, {62.0f, 340.0f}, {101.0f, 345.0f}};
        for (const Vec& b : blips)
            for (int y = static_cast<int>(b.y) - 3; y <= static_cast<int>(b.y) + 3; ++y)
                for (int x = static_cast<int>(b.x) - 3; x <= static_cast<int>(b.x) + 3; ++x) {
                    const float d = length(Vec{x + 0.5f, y + 0.5f} - b);
                    if (d < 2.8f) add(x, y, rgb(160, 255, 220), 1.0f - d / 2.8f);
                }
    }
    // Hazard stripes on the bottom plate.
    for (int y = 404; y < 450; ++y)
        for (int x = 22; x < 138; ++x) {
            const bool yellow = ((x + y) / 9) % 2 == 0;
            Col col = yellow ? rgb(230, 180, 40) : rgb(26, 24, 30);
            if (y < 406 || x < 24) col = col * 1.25f;
            if (y > 447 || x > 135) col = col * 0.5f;
            put(x, y, col, 1.0f);
        }
    // A light tube running down beside the playfield, with a glow.
    for (int y = 0; y < 480; ++y)
        for (int x = 150; x < 168; ++x) {
            const float d = std::fabs(x + 0.5f - 156.5f);
            if (d < 1.2f)
                put(x, y, rgb(200, 245, 255), 1.0f);
            else
                add(x, y, rgb(40, 150, 255), 0.55f * std::exp(-(d - 1.2f) / 2.0f));
        }
}

} // namespace

Canvas make_overlay() {
    Canvas c(layout::kOverlayW, layout::kOverlayH);
    side_panel(c, false);
    side_panel(c, true);
    // Top and bottom bands above and below the playfield: plain and dark, the scores are printed there.
    for (int y = 0; y < 480; ++y) {
        if (y >= kWindowY0 && y <= kWindowY1) continue;
        for (int x = 168; x < 472; ++x) {
            Col col = rgb(12, 14, 30);
            if (y == 1 || y == 478) col = rgb(60, 70, 130);
            c.over(x, y, col, 1.0f);
        }
    }
    // The window onto the playfield stays black, which the game draws as transparent.
    for (int y = kWindowY0; y <= kWindowY1; ++y)
        for (int x = kWindowX0; x <= kWindowX1; ++x) c.at(x, y) = Px{};
    return c;
}
