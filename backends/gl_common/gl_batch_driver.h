// TGLBatchDriver: what the OpenGL drawing back-ends share: cached state, CPU transforms, batched
// primitives, textures and read-back, over the calls both kinds of context have.
#pragma once

#include "render/draw2d_driver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TGLGraphicsDriver;

// Draws in a y-down pixel projection (one unit per pixel, origin top-left). Blend mode, bound texture
// and the texturing switch are cached so repeated draws send no state; transforms are applied on the
// CPU.
//
// Quads, lines and points that follow each other under the same GL state are collected and sent in
// one draw, colour per vertex, in the order they were issued, so the pixels are those of one draw per
// primitive. Any change of GL state, a read-back, a pixel write, a texture upload or release and every
// flip send the collected primitives first. Ovals and polygons are one draw each. Batched, a line of
// width 1 running rightwards along a row between pixel centres, and a point on a whole pixel, go as
// the rectangle of the pixels they light: such a line and its last pixel share one draw of quads.
class TGLBatchDriver : public TDraw2DDriver {
public:
    // The primitive kinds a back-end sends: quads are 4 vertices each, corners in drawing order; a fan
    // is one convex (or, for polygons, any simple) outline.
    enum class TPrimitive { points, lines, quads, fan };

    struct Vertex {
        float x, y, u, v;
        uint8_t rgba[4];
    };

    // Graphics-driver operations: the back-end's OpenGL contexts, each wrapped in a drawing state.
    std::vector<TGraphicsMode> GraphicsModes() override;
    TGraphicsPtr AttachGraphics(intptr_t window, int flags) override;
    TGraphicsPtr CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
    void SetGraphics(TGraphics* graphics) override;
    void Flip(int sync) override;

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
    // Every draw sent to GL (batches, unbatched primitives, ovals, polygons, pixel writes) and every
    // texture bind (of drawing and of texture uploads).
    TDrawCounts DrawCounts() const override { return counts_; }

    // Forgets the cached GL state and sets the pixel projection for the context's size.
    void ResetGLContext(TDraw2DGraphics& graphics);

    // One textured quad of texture `name`: the local rectangle (x0, y0)-(x1, y1) transformed and
    // translated by (tx, ty), texture coordinates (u0, v0)-(u1, v1), tinted by colour and alpha.
    void DrawTexturedQuad(uint32_t name, float u0, float v0, float u1, float v1, float x0, float y0, float x1,
                          float y1, float tx, float ty);
    // Deletes a texture made by this driver.
    void ReleaseTexture(uint32_t name);
    // Sends the collected primitives now.
    void Flush();
    // With batching off every primitive is its own draw (the reference the pixel tests compare
    // batched drawing with).
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

    // Textures, called with the shared context current (see CreateFrameFromPixmap). A new texture with
    // the wrap and filters the image flags ask for, left bound; level uploads into the bound texture.
    uint32_t NewTexture(int flags);
    void UploadTextureLevel(int level, const TPixmap& pixels);
    // Whether the implementation takes an RGBA texture of this size.
    virtual bool TextureSizeAccepted(int width, int height) = 0;

    // The graphics driver whose contexts this back-end draws into.
    virtual TGLGraphicsDriver* Graphics() = 0;

protected:
    // Sends `count` vertices of one kind as one draw; `immediate` for a primitive sent alone with
    // batching off (a back-end may draw that its own way).
    virtual void SendVertices(TPrimitive kind, const Vertex* vertices, int count, bool immediate) = 0;
    // Sets GL's blend state for mode (one of BLEND_*, or anything else for none).
    virtual void ApplyBlend(int mode) = 0;
    virtual void ApplyTexturing(bool on) = 0;
    // Sets up the pixel projection and whatever else a fresh context needs, for a w x h picture.
    virtual void PrepareContext(int w, int h) = 0;
    // Writes the top-row-first RGBA pixmap with its top-left at picture pixel (x, y), unblended, untinted.
    virtual void WritePixels(const TPixmapPtr& rgba, int x, int y) = 0;
    // Forgets the cached state (after a context reset or a present that changed it).
    void ForgetCachedState();
    void ForgetBoundTexture() { bound_texture_ = -1; }
    TDrawCounts counts_;

private:
    void EnableTexturing(bool on);
    void BindTexture(uint32_t name);
    // Queues (or, with batching off, draws at once) `count` vertices of one kind; a change of kind
    // sends what was queued first.
    void Submit(TPrimitive kind, const Vertex* vertices, int count);
    // An untextured rectangle of picture pixels (x0, y0)-(x1, y1) in the current colour, queued.
    void SubmitRect(float x0, float y0, float x1, float y1);
    // An oval's or polygon's outline as one draw.
    void SendFan(const std::vector<Vertex>& outline);
    // Local point through the current transform, then translated.
    void Place(Vertex& v, float x, float y, float tx, float ty) const;

    float ix_ = 1.0f, iy_ = 0.0f, jx_ = 0.0f, jy_ = 1.0f;
    uint8_t color_[4] = {255, 255, 255, 255};
    // -1: unknown (after a context reset), so the next request always sends.
    int blend_mode_ = -1;
    int64_t bound_texture_ = -1;
    int texturing_ = -1;
    int blend_state_changes_ = 0;
    float line_width_ = 1.0f;

    bool batching_ = true;
    TPrimitive batch_kind_ = TPrimitive::points;
    std::vector<Vertex> batch_;
};

// The OpenGL drawing back-end that is current (whose drawing state is current), or null.
TGLBatchDriver* CurrentGLBatchDriver();
