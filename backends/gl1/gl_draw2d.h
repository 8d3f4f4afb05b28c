// TGLDraw2DDriver: the drawing back-end over OpenGL 1.x in a compatibility context.
#pragma once

#include "render/draw2d_driver.h"

#include <cstdint>
#include <string>
#include <vector>

// Draws in the y-down pixel projection that ResetGLContext sets. Blend mode, bound texture and the
// texturing switch are cached so repeated draws send no state; transforms are applied on the CPU.
//
// Quads, lines and points that follow each other under the same GL state are collected and sent in
// one vertex-array draw, colour per vertex, in the order they were issued, so the pixels are those of
// one draw per primitive. Any change of GL state, a read-back, a pixel write, a texture upload or
// release and every flip send the collected primitives first.
class TGLDraw2DDriver : public TDraw2DDriver {
public:
    // Graphics-driver operations: the OpenGL graphics driver's contexts, each wrapped in a drawing state.
    std::vector<TGraphicsMode> GraphicsModes() override;
    TGraphicsPtr AttachGraphics(intptr_t window, int flags) override;
    TGraphicsPtr CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
    void SetGraphics(TGraphics* graphics) override;
    void Flip(int sync) override;
    std::string ToString() const;

    TImageFramePtr CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags) override;
    // All frames of an image in one texture where that draws the same pixels (gl_frame_sheet.h),
    // else a texture per frame.
    std::vector<TImageFramePtr> CreateImageFrames(const std::vector<TPixmapPtr>& pixmaps, int flags) override;
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
    void DrawPixmap(const TPixmapPtr& pixmap, int x, int y) override;
    TPixmapPtr GrabPixmap(int x, int y, int w, int h) override;
    // Every glDrawArrays, glBegin/glEnd block and glDrawPixels, and every glBindTexture (of drawing
    // and of texture uploads).
    TDrawCounts DrawCounts() const override { return counts_; }

    // Forgets the cached GL state and sets the pixel projection for the context's size.
    void ResetGLContext(TDraw2DGraphics& graphics);

    // One textured quad of texture `name`: the local rectangle (x0, y0)-(x1, y1) transformed and
    // translated by (tx, ty), texture coordinates (u0, v0)-(u1, v1), tinted by colour and alpha.
    void DrawTexturedQuad(uint32_t name, float u0, float v0, float u1, float v1, float x0, float y0, float x1,
                          float y1, float tx, float ty);
    // Deletes a texture made by CreateFrameFromPixmap.
    void ReleaseTexture(uint32_t name);
    // Sends the collected primitives now.
    void Flush();
    // With batching off every primitive is its own begin/end block (the reference the pixel tests
    // compare batched drawing with).
    void SetBatching(bool on);
    bool Batching() const { return batching_; }
    // True when texels of alpha 0 leave the picture as it was under the current blend mode (mask,
    // alpha and light) and there is no rotation or scale, so that a draw may leave such areas out:
    // unscaled, the pieces of a frame sample exactly the texels the whole frame would.
    bool ClearTexelsLeaveNoTrace() const;
    // Whether the current transform keeps quads upright (no rotation; scales and mirrors only).
    bool Upright() const { return iy_ == 0.0f && jx_ == 0.0f; }
    // The local point (x, y) through the current transform, translated by (tx, ty): the position a
    // vertex of a primitive there is sent with.
    void PlacePoint(float x, float y, float tx, float ty, float& px, float& py) const;
    // How many times blend state was actually sent to GL: repeated SetBlend calls send it once.
    int BlendStateChanges() const { return blend_state_changes_; }

private:
    struct Vertex {
        float x, y, u, v;
        uint8_t rgba[4];
    };

    void EnableTexturing(bool on);
    void BindTexture(uint32_t name);
    void ForgetCachedState();
    // Queues (or, with batching off, draws at once) `count` vertices of GL primitive `mode`; a change
    // of primitive sends what was queued first.
    void Submit(uint32_t mode, const Vertex* vertices, int count);
    // Local point through the current transform, then translated.
    void Place(Vertex& v, float x, float y, float tx, float ty) const;

    float ix_ = 1.0f, iy_ = 0.0f, jx_ = 0.0f, jy_ = 1.0f;
    uint8_t color_[4] = {255, 255, 255, 255};
    // -1: unknown (after a context reset), so the next request always sends.
    int blend_mode_ = -1;
    int64_t bound_texture_ = -1;
    int texturing_ = -1;
    int blend_state_changes_ = 0;
    TDrawCounts counts_;

    bool batching_ = true;
    uint32_t batch_mode_ = 0;
    std::vector<Vertex> batch_;
};

// The single OpenGL drawing back-end.
TGLDraw2DDriver* GLDraw2DDriver();
