// The stereo drawer: every sprite and text of the game is drawn through draw3d, as an anaglyph pair
// of additive eye-tinted copies when 3D is on, or once and flat when it is off.
#pragma once

#include "render/image.h"

#include <array>
#include <string>

// One 3D mode: its menu text and the tints of its two eyes (r, g, b, 0..255).
struct mode_3d_entry {
    const char* name;
    int left[3];
    int right[3];
};

// The 3D modes by mode_3d: 0 is off (its tints are never applied), 1..4 the four eye-colour pairs.
inline constexpr std::array<mode_3d_entry, 5> modes_3d = {{
    {"Off", {0, 0, 0}, {0, 0, 0}},
    {"M\\G", {140, 4, 40}, {4, 100, 20}},
    {"R\\G", {4, 100, 20}, {140, 4, 10}},
    {"R\\C", {4, 80, 60}, {140, 4, 10}},
    {"R\\B", {4, 20, 140}, {140, 4, 20}},
}};
inline constexpr int mode_3d_last = static_cast<int>(modes_3d.size()) - 1;

class ovdraw_tag {
public:
    int leye_r = 0, leye_g = 0, leye_b = 0; // tint of the copy drawn at x - eye offset
    int reye_r = 0, reye_g = 0, reye_b = 0; // tint of the copy drawn at x + eye offset
    float txt_xs = 0.0f, txt_ys = 0.0f;     // scale last set by sip; centres t3d text

    // Sets the two eye tints; no drawing state changes.
    void slc(int lr, int lg, int lb, int rr, int rg, int rb);
    // Blend mode, alpha, rotation in degrees and scale for the next i3d or t3d.
    void sip(int blend, float alpha, float rotation, float scale_x, float scale_y);
    // One image frame; the eye offset in screen pixels sets its depth. In 3D each pass adds both copies.
    void i3d(const TImagePtr& image, float x, float y, int frame, float eye, float rot_offset, int passes);
    // A string in the current image font; with centre set the scaled string is centred on (x, y).
    void t3d(const std::string& text, float x, float y, float eye, int centre, int passes);
};

extern ovdraw_tag draw3d;
