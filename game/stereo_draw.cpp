// The stereo drawer.
#include "game/stereo_draw.h"

#include "game/globals.h"
#include "render/draw2d.h"
#include "render/image_font.h"

ovdraw_tag draw3d;

void ovdraw_tag::slc(int lr, int lg, int lb, int rr, int rg, int rb) {
    leye_r = lr, leye_g = lg, leye_b = lb;
    reye_r = rr, reye_g = rg, reye_b = rb;
}

void ovdraw_tag::sip(int blend, float alpha, float rotation, float scale_x, float scale_y) {
    SetBlend(blend);
    SetAlpha(alpha);
    SetRotationScale(rotation, scale_x, scale_y);
    txt_xs = scale_x;
    txt_ys = scale_y;
}

void ovdraw_tag::i3d(const TImagePtr& image, float x, float y, int frame, float eye, float rot_offset,
                     int passes) {
    // The rotation is kept as a whole number of degrees around the per-eye offsets.
    const int r = static_cast<int>(GetRotation());
    if (mode_3d != 0) {
        for (int pass = 0; pass < passes; ++pass) {
            SetBlend(BLEND_LIGHT);
            SetColor(leye_r, leye_g, leye_b);
            if (rot_offset != 0.0f) SetRotation(static_cast<float>(r) + rot_offset);
            DrawImage(image, x - eye, y, frame);
            SetColor(reye_r, reye_g, reye_b);
            if (rot_offset != 0.0f) SetRotation(static_cast<float>(r) - rot_offset);
            DrawImage(image, x + eye, y, frame);
        }
    } else {
        DrawImage(image, x, y, frame);
    }
    if (rot_offset != 0.0f) SetRotation(static_cast<float>(r));
}

void ovdraw_tag::t3d(const std::string& text, float x, float y, float eye, int centre, int passes) {
    if (centre != 0) {
        x -= static_cast<float>(TextWidth(text)) * txt_xs / 2.0f;
        y -= static_cast<float>(TextHeight()) * txt_ys / 2.0f;
    }
    if (mode_3d != 0) {
        for (int pass = 0; pass < passes; ++pass) {
            SetBlend(BLEND_LIGHT);
            SetColor(leye_r, leye_g, leye_b);
            DrawText(text, x - eye, y);
            SetColor(reye_r, reye_g, reye_b);
            DrawText(text, x + eye, y);
        }
    } else {
        DrawText(text, x, y);
    }
}
