// Stroke glyphs of the display lettering and their distance field.
#include "tools/assetgen/lettering.h"

#include <algorithm>
#include <map>

namespace {

using Polyline = std::vector<Vec>;

// Centre lines of each glyph on the grid x 0..4, y 0..6 (y downwards). Corners are cut at 45 degrees,
// which gives the lettering its machined look.
const std::map<char, std::vector<Polyline>>& glyphs() {
    static const std::map<char, std::vector<Polyline>> table = {
        {'A', {{{0, 6}, {0, 1.5f}, {1.5f, 0}, {2.5f, 0}, {4, 1.5f}, {4, 6}}, {{0, 3.5f}, {4, 3.5f}}}},
        {'B',
         {{{0, 0}, {0, 6}, {3, 6}, {4, 5}, {4, 4}, {3, 3}, {0, 3}},
          {{0, 0}, {2.8f, 0}, {3.8f, 1}, {3.8f, 2}, {2.8f, 3}}}},
        {'D', {{{0, 0}, {0, 6}, {2.8f, 6}, {4, 4.8f}, {4, 1.2f}, {2.8f, 0}, {0, 0}}}},
        {'E', {{{4, 0}, {0, 0}, {0, 6}, {4, 6}}, {{0, 3}, {3, 3}}}},
        {'I', {{{2, 0}, {2, 6}}, {{0.8f, 0}, {3.2f, 0}}, {{0.8f, 6}, {3.2f, 6}}}},
        {'K', {{{0, 0}, {0, 6}}, {{0, 3}, {1.6f, 3}, {4, 0.3f}}, {{1.6f, 3}, {4, 6}}}},
        {'L', {{{0, 0}, {0, 6}, {4, 6}}}},
        {'N', {{{0, 6}, {0, 0}, {4, 6}, {4, 0}}}},
        {'O',
         {{{1.2f, 0},
           {2.8f, 0},
           {4, 1.2f},
           {4, 4.8f},
           {2.8f, 6},
           {1.2f, 6},
           {0, 4.8f},
           {0, 1.2f},
           {1.2f, 0}}}},
        {'R', {{{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}}, {{2.2f, 3}, {4, 6}}}},
        {'V', {{{0, 0}, {0, 3}, {2, 6}, {4, 3}, {4, 0}}}},
        {'3',
         {{{0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {1.2f, 3}}, {{3, 3}, {4, 4}, {4, 5}, {3, 6}, {0, 6}}}},
    };
    return table;
}

constexpr float kGlyphWidth = 4.0f;
constexpr float kSpaceWidth = 3.0f;

} // namespace

Lettering::Lettering(const std::string& text, float x, float y, float unit, float stretch, float stroke,
                     float italic, float gap)
    : half_stroke_(stroke * unit * 0.5f)
    , top_(y)
    , height_((6.0f + stroke) * unit)
    , italic_(italic) {
    const float ox = x + half_stroke_, oy = y + half_stroke_;
    float pen = 0.0f;
    for (char ch : text) {
        if (ch == ' ') {
            pen += kSpaceWidth + gap;
            continue;
        }
        const auto it = glyphs().find(ch);
        if (it == glyphs().end()) continue;
        for (const Polyline& line : it->second) {
            const bool closed = line.front().x == line.back().x && line.front().y == line.back().y;
            std::vector<Vec> pts;
            for (const Vec& v : line) pts.push_back({ox + (pen + v.x) * unit * stretch, oy + v.y * unit});
            const size_t n = pts.size();
            for (size_t i = 0; i + 1 < n; ++i) {
                const float ea = (i == 0 && !closed) ? half_stroke_ : 0.0f;
                const float eb = (i + 2 == n && !closed) ? half_stroke_ : 0.0f;
                segments_.push_back({pts[i], pts[i + 1], ea, eb});
            }
            auto dir = [](Vec a, Vec b) { return (b - a) * (1.0f / length(b - a)); };
            auto join = [&](Vec at, Vec d1, Vec d2) {
                // Strokes that carry straight on need no filling (and their strips would not meet).
                if (std::fabs(d1.x * d2.y - d1.y * d2.x) > 0.05f) joints_.push_back({at, d1, d2});
            };
            for (size_t i = 1; i + 1 < n; ++i) join(pts[i], dir(pts[i - 1], pts[i]), dir(pts[i], pts[i + 1]));
            if (closed && n > 2) join(pts[0], dir(pts[n - 2], pts[0]), dir(pts[0], pts[1]));
        }
        pen += kGlyphWidth + gap;
    }
    width_ = (pen - gap) * unit * stretch + 2.0f * half_stroke_;
    mid_y_ = y + height_ * 0.5f;
}

float Lettering::sdf(Vec p) const {
    // Shear about the middle line so that italic text keeps its horizontal position.
    const Vec q{p.x + italic_ * (p.y - mid_y_), p.y};
    float d = 1e30f;
    for (const Segment& s : segments_) {
        const Vec ab = s.b - s.a;
        const float len = length(ab);
        const Vec dir = ab * (1.0f / len);
        const Vec pa = q - s.a;
        const float u = dot(pa, dir);
        const float v = -pa.x * dir.y + pa.y * dir.x;
        // Box from -ext_a to len + ext_b along the stroke.
        const float centre = (len + s.ext_b - s.ext_a) * 0.5f;
        const float qx = std::fabs(u - centre) - (len + s.ext_a + s.ext_b) * 0.5f;
        const float qy = std::fabs(v) - half_stroke_;
        d = std::min(d,
                     length(Vec{std::max(qx, 0.0f), std::max(qy, 0.0f)}) + std::min(std::max(qx, qy), 0.0f));
    }
    for (const Joint& j : joints_) {
        const Vec pa = q - j.at;
        const float v1 = std::fabs(-pa.x * j.dir1.y + pa.y * j.dir1.x) - half_stroke_;
        const float v2 = std::fabs(-pa.x * j.dir2.y + pa.y * j.dir2.x) - half_stroke_;
        // The clip keeps sharp bends from growing long spikes; a right angle (mitre at 1.41) is untouched.
        d = std::min(d, std::max({v1, v2, length(pa) - 1.5f * half_stroke_}));
    }
    return d;
}
