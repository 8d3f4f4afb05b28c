// TGLImageFrame: one image frame as an OpenGL texture, sized up to powers of two with a copied edge.
#pragma once

#include "render/image.h"

#include <cstdint>
#include <memory>
#include <vector>

class TGLImageFrame : public TImageFrame {
public:
    // A rectangle of the frame, in its pixels, that holds every texel with alpha above 0.
    struct InkSpan {
        int x0, y0, x1, y1;
    };

    // Texture coordinates of the frame inside its texture; u0 = v0 = 0.
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    int width = 0, height = 0; // the frame's size in pixels, before any shrinking to fit the texture
    uint32_t name = 0;         // GL texture name
    int seq = 0;               // graphics sequence number at creation; 0 once released
    // Where a large frame has ink, band by band of rows; empty when the frame is drawn whole anyway.
    // Blend modes that leave transparent texels without trace draw only these, which saves the
    // software rasteriser most of the work for overlays, star fields and skylines.
    std::vector<InkSpan> ink;
    bool filtered = false; // linear filtering, else nearest

    TGLImageFrame() = default;
    TGLImageFrame(const TGLImageFrame&) = delete;
    TGLImageFrame& operator=(const TGLImageFrame&) = delete;
    ~TGLImageFrame() override;

    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1, float tx,
                  float ty) override;

    // Uploads the pixmap into a new texture of the GL context that is current (the caller makes the
    // shared one current). Raises "Unable to calculate tex size" when not even 1 x 1 is accepted.
    static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const TPixmapPtr& pixmap, int flags);
};

// The bands of 32 rows with runs of 32-column cells that hold a texel of alpha above 0, each cell
// widened by one texel so that filtered sampling at its edge is covered. Empty when those runs would
// cover most of the pixmap, so that drawing it whole costs no more.
std::vector<TGLImageFrame::InkSpan> FindInkSpans(const TPixmap& rgba);
