// TNullDraw2DDriver: the drawing back-end without a display, drawing in software into the pictures of
// the display-less graphics driver.
#pragma once

#include "backends/null/null_target.h"
#include "render/draw2d_driver.h"

#include <vector>

class TNullImageFrame;

// Wraps each display-less context in a drawing state as the GL back-end wraps its GL contexts, and
// draws what the GL back-end draws, by the same rasterisation rules and byte arithmetic: blits of
// unscaled frames on the pixel grid, Cls and pixmap writes and reads are byte for byte those of the
// GL back-end under the reference rasteriser; everything else follows its rules closely.
class TNullDraw2DDriver : public TDraw2DDriver {
public:
    // Graphics-driver operations: the display-less driver's contexts, each wrapped in a drawing state.
    std::vector<TGraphicsMode> GraphicsModes() override;
    TGraphicsPtr AttachGraphics(intptr_t window, int flags) override;
    TGraphicsPtr CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
    void SetGraphics(TGraphics* graphics) override;
    void Flip(int sync) override;
    std::string ToString() const;

    TImageFramePtr CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags) override;
    void SetBlend(int mode) override;
    void SetAlpha(float alpha) override;
    void SetColor(int red, int green, int blue) override;
    void SetClsColor(int red, int green, int blue) override;
    void SetViewport(int x, int y, int w, int h) override;
    void SetTransform(float ix, float iy, float jx, float jy) override;
    void SetLineWidth(float width) override;
    void Cls() override;
    void Plot(float x, float y) override;
    void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx, float ty) override;
    // Writes the pixels as they are (no blending, no tint), clipped to the picture and the viewport.
    void DrawPixmap(const TPixmapPtr& pixmap, int x, int y) override;
    // Pixels outside the picture read as black; alpha reads 255 unless the context has an alpha buffer.
    TPixmapPtr GrabPixmap(int x, int y, int w, int h) override;

    // One textured quad of a frame: the local rectangle (x0, y0)-(x1, y1) transformed and translated
    // by (tx, ty), texture coordinates (u0, v0)-(u1, v1), tinted by colour and alpha.
    void DrawTexturedQuad(const TNullImageFrame& frame, float u0, float v0, float u1, float v1, float x0,
                          float y0, float x1, float y1, float tx, float ty);

    // The picture of the current context, or null.
    TPixmap* Picture() const { return target_.picture; }

private:
    // Follows the current context's picture and size; the viewport and scissor start whole.
    void Retarget(TPixmap* picture, int flags);

    null2d::TTarget target_;
    null2d::TPaint paint_;
    null2d::TTransform transform_;
    uint8_t cls_rgba_[4] = {0, 0, 0, 255};
    float line_width_ = 1.0f;
    bool alpha_buffer_ = false;
    // The scissor rectangle as last set: it stays in force when a later viewport is refused.
    null2d::TPixelRect scissor_;
    bool scissor_on_ = false;
    // The corners of the last oval or polygon, kept so that drawing them allocates nothing.
    std::vector<null2d::TPoint> polygon_;
};

// The single display-less drawing back-end.
TNullDraw2DDriver* NullDraw2DDriver();
