// Float RGBA canvas and the shape painting helpers that every picture of the generator is drawn with.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

struct Col {
    float r = 0, g = 0, b = 0;
};

inline Col rgb(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f};
}
inline Col operator*(Col c, float k) {
    return {c.r * k, c.g * k, c.b * k};
}
inline Col operator+(Col a, Col b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Col mix(Col a, Col b, float t) {
    return a * (1.0f - t) + b * t;
}

inline float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}
inline float smoothstep(float e0, float e1, float v) {
    const float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

// Colour ramp through evenly spaced stops, t in [0, 1].
Col ramp(const std::vector<Col>& stops, float t);

// Premultiplied pixel: rgb is already scaled by the coverage a.
struct Px {
    float r = 0, g = 0, b = 0, a = 0;
};

class Canvas {
public:
    Canvas(int width, int height)
        : w(width)
        , h(height)
        , px(static_cast<size_t>(width) * height) {}

    int w, h;
    std::vector<Px> px;

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    Px& at(int x, int y) { return px[static_cast<size_t>(y) * w + x]; }
    const Px& at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }

    // Paints colour c with coverage a over the pixel.
    void over(int x, int y, Col c, float a);
    // Adds light without changing coverage much: glows and highlights.
    void add(int x, int y, Col c, float k);
    // Composites another canvas over this one with its top-left corner at (dx, dy).
    void blit(const Canvas& src, int dx, int dy);
    // Copies the rectangle (sx, sy, w, h) of src to (dx, dy), replacing what was there.
    void copy_rect(const Canvas& src, int sx, int sy, int width, int height, int dx, int dy);
};

// Signed distances in pixels, negative inside. Points are pixel-centre coordinates (x + 0.5, y + 0.5).
struct Vec {
    float x = 0, y = 0;
};
inline Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec operator*(Vec a, float k) {
    return {a.x * k, a.y * k};
}
inline float dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y;
}
inline float length(Vec a) {
    return std::sqrt(dot(a, a));
}

float sd_circle(Vec p, Vec c, float r);
// Approximate ellipse distance, good enough for one pixel of anti-aliasing.
float sd_ellipse(Vec p, Vec c, float rx, float ry);
// Axis-aligned box given by its centre and half sizes, with optionally rounded corners.
float sd_box(Vec p, Vec c, float hx, float hy, float round = 0.0f);
// Segment a-b of half thickness r: square ends when square is true, round ends otherwise.
float sd_segment(Vec p, Vec a, Vec b, float r, bool square = false);
// Closed polygon (even-odd filled).
float sd_polygon(Vec p, const std::vector<Vec>& pts);

// Coverage of a shape at one pixel from its signed distance: a one-pixel ramp across the edge.
inline float coverage(float d) {
    return clamp01(0.5f - d);
}

// Paints a shape: sdf(p) gives the distance, shade(p, d) the colour at the point; bounds limit the work.
template <class Sdf, class Shade>
void fill_shape(Canvas& c, int x0, int y0, int x1, int y1, Sdf sdf, Shade shade, float opacity = 1.0f) {
    for (int y = y0 < 0 ? 0 : y0; y <= y1 && y < c.h; ++y)
        for (int x = x0 < 0 ? 0 : x0; x <= x1 && x < c.w; ++x) {
            const Vec p{x + 0.5f, y + 0.5f};
            const float d = sdf(p);
            const float a = coverage(d);
            if (a > 0.0f) c.over(x, y, shade(p, d), a * opacity);
        }
}

// Adds a glow around a shape that falls off over radius pixels outside it.
template <class Sdf>
void glow_shape(Canvas& c, int x0, int y0, int x1, int y1, Sdf sdf, Col col, float radius, float strength) {
    for (int y = y0 < 0 ? 0 : y0; y <= y1 && y < c.h; ++y)
        for (int x = x0 < 0 ? 0 : x0; x <= x1 && x < c.w; ++x) {
            const float d = sdf(Vec{x + 0.5f, y + 0.5f});
            const float t = d <= 0.0f ? 1.0f : std::exp(-d / radius);
            if (t > 0.002f) c.add(x, y, col, t * strength);
        }
}

// Value noise over a lattice with cell size `cell`, wrapping at period_x cells (0: no wrap).
float value_noise(float x, float y, float cell, uint32_t seed, int period_x = 0);
// Sum of octaves of value noise, result roughly in [0, 1].
float fbm(float x, float y, float cell, int octaves, uint32_t seed, int period_x = 0);

// Conversion to 8-bit pictures that the game masks with black: pixels that are mostly covered never come
// out as pure black (dark colours are lifted to a visible near-black), faint fringes do and vanish.
std::vector<uint8_t> to_masked_rgb(const Canvas& c);
// Straight-alpha RGBA, for the one picture that carries its own transparency.
std::vector<uint8_t> to_rgba(const Canvas& c);
