// TGLImageFrame: one image frame as its part of an OpenGL texture (of either GL back-end): a texture of its
// own, sized up to powers of two with a copied edge, or its cell in the one texture of all the frames of its
// image.
#pragma once

#include "render/image.h"

#include <cstdint>
#include <memory>
#include <vector>

class TGLBatchDriver;

// A GL texture name and the graphics sequence number it was made under. Deleted, by the drawing
// back-end that made it, when the last frame that draws from it goes.
class TGLTexture {
public:
    TGLTexture(TGLBatchDriver& driver, uint32_t name, int seq)
        : name(name)
        , seq(seq)
        , driver_(driver) {}
    TGLTexture(const TGLTexture&) = delete;
    TGLTexture& operator=(const TGLTexture&) = delete;
    ~TGLTexture();

    const uint32_t name;
    const int seq;

private:
    TGLBatchDriver& driver_;
};

class TGLImageFrame : public TImageFrame {
public:
    // A rectangle of the frame, in its pixels, that holds every texel with alpha above 0.
    struct InkSpan {
        int x0, y0, x1, y1;
    };

    // Texture coordinates of the frame inside its texture: (0, 0) at the top-left corner for a texture
    // of its own, the corner of its cell in a texture shared with the image's other frames.
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    int width = 0, height = 0; // the frame's size in pixels, before any shrinking to fit the texture
    std::shared_ptr<TGLTexture> texture;
    uint32_t name = 0; // the texture's GL name
    int seq = 0;       // the texture's graphics sequence number
    // Where a large frame has ink, band by band of rows; empty when the frame is drawn whole anyway.
    // Blend modes that leave transparent texels without trace draw only these, which saves the
    // software rasteriser most of the work for overlays, star fields and skylines.
    std::vector<InkSpan> ink;
    bool filtered = false; // linear filtering, else nearest

    explicit TGLImageFrame(TGLBatchDriver& driver)
        : driver_(driver) {}
    TGLImageFrame(const TGLImageFrame&) = delete;
    TGLImageFrame& operator=(const TGLImageFrame&) = delete;

    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1, float tx,
                  float ty) override;

    // For a frame in a shared texture (whose larger side is texture_side): the same frame in a
    // texture of its own, which the draws take whose texel choice could depend on where the frame
    // lies in its texture.
    void SetAlone(std::shared_ptr<TGLImageFrame> alone, int texture_side);
    bool Shared() const { return alone_ != nullptr; }

    // Uploads the pixmap into a new texture of the GL context that is current (the caller makes the
    // shared one current). Raises "Unable to calculate tex size" when not even 1 x 1 is accepted.
    static std::shared_ptr<TGLImageFrame> CreateFromPixmap(TGLBatchDriver& driver, const TPixmapPtr& pixmap,
                                                           int flags);

private:
    // Draws the frame's pixel rectangle (sx, sy)-(sx + sw, sy + sh) from this frame's texture.
    void DrawFromTexture(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1,
                         float tx, float ty);

    TGLBatchDriver& driver_;
    int texture_side_ = 0;
    std::shared_ptr<TGLImageFrame> alone_;
};

// A new texture of the current context holding `level0` (format 6, powers of two), with the wrap,
// filter and mipmap chain the image flags ask for; left bound.
std::shared_ptr<TGLTexture> UploadGLTexture(TGLBatchDriver& driver, const TPixmapPtr& level0, int flags);

// The bands of 32 rows with runs of 32-column cells that hold a texel of alpha above 0, each cell
// widened by one texel so that filtered sampling at its edge is covered. Empty when those runs would
// cover most of the pixmap, so that drawing it whole costs no more.
std::vector<TGLImageFrame::InkSpan> FindInkSpans(const TPixmap& rgba);
