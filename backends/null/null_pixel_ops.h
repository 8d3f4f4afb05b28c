// Fragment arithmetic of the display-less back-end: texel-times-colour, the alpha test and the five
// blend modes, byte for byte as the GL rasteriser the pictures are compared with computes them.
#pragma once

#include "render/draw2d.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace null2d {

// Texel (or filtered texel) times the drawing colour, both bytes: a * b / 255 rounded to nearest (the
// product never falls exactly halfway).
inline int Modulate(int a, int b) {
    return (a * b + 127) / 255;
}

// The blend stage's byte product: a * b / 255 by the usual shift approximation, which is off by one
// for a few pairs and is what the reference computes.
inline int BlendMul(int a, int b) {
    int t = a * b;
    t += t >> 8;
    return (t + 128) >> 8;
}

// The mask blend's alpha test, alpha >= 0.5, on the fragment's alpha byte.
constexpr int MASK_ALPHA_MIN = 128;

// One fragment (r, g, b, a bytes) onto one picture pixel under blend mode Mode. The picture's alpha
// byte is blended like the colour bytes, as an alpha buffer would be.
template <int Mode> inline void BlendPixel(uint8_t* dst, const uint8_t* src) {
    if constexpr (Mode == BLEND_MASK) {
        if (src[3] >= MASK_ALPHA_MIN) std::memcpy(dst, src, 4);
    } else if constexpr (Mode == BLEND_ALPHA) {
        const int a = src[3];
        for (int c = 0; c < 4; ++c)
            dst[c] = static_cast<uint8_t>(std::min(255, BlendMul(src[c], a) + BlendMul(dst[c], 255 - a)));
    } else if constexpr (Mode == BLEND_LIGHT) {
        const int a = src[3];
        for (int c = 0; c < 4; ++c)
            dst[c] = static_cast<uint8_t>(std::min(255, BlendMul(src[c], a) + dst[c]));
    } else if constexpr (Mode == BLEND_SHADE) {
        for (int c = 0; c < 4; ++c) dst[c] = static_cast<uint8_t>(BlendMul(src[c], dst[c]));
    } else {
        std::memcpy(dst, src, 4);
    }
}

// True when a fragment of alpha 0 leaves the picture as it was under blend mode `mode`.
inline bool ClearFragmentsLeaveNoTrace(int mode) {
    return mode == BLEND_MASK || mode == BLEND_ALPHA || mode == BLEND_LIGHT;
}

// Calls fn with the blend mode as a compile-time constant (any unknown mode blends like solid).
template <typename Fn> inline void WithBlendMode(int mode, Fn&& fn) {
    switch (mode) {
    case BLEND_MASK: fn(std::integral_constant<int, BLEND_MASK>{}); break;
    case BLEND_ALPHA: fn(std::integral_constant<int, BLEND_ALPHA>{}); break;
    case BLEND_LIGHT: fn(std::integral_constant<int, BLEND_LIGHT>{}); break;
    case BLEND_SHADE: fn(std::integral_constant<int, BLEND_SHADE>{}); break;
    default: fn(std::integral_constant<int, BLEND_SOLID>{}); break;
    }
}

} // namespace null2d
