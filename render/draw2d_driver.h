// The drawing back-end contract: a graphics driver that can also draw, called by the drawing state
// with primitives already placed (transforms are applied on the CPU, see draw2d.cpp).
#pragma once

#include "render/draw2d.h"
#include "render/graphics_driver.h"
#include "render/pixmap.h"

#include <memory>
#include <vector>

// The drawing back-end: a graphics driver that can also draw. The defaults do nothing, so the base
// class stands in, drawing nothing, while no drawing state is current (the display-less back-end that
// really draws is backends/null).
class TDraw2DDriver : public TGraphicsDriver {
public:
    std::vector<TGraphicsMode> GraphicsModes() override;
    TGraphicsPtr AttachGraphics(intptr_t window, int flags) override;
    TGraphicsPtr CreateGraphics(int width, int height, int depth, int hertz, int flags) override;
    void SetGraphics(TGraphics* graphics) override;
    void Flip(int sync) override;

    // Makes a drawable frame (a texture for the GL back-end) from a pixmap; null when it cannot.
    virtual TImageFramePtr CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags);
    // Makes the drawable frames of all the frames of one image at once, one per pixmap and in their
    // order (null where one cannot be made). A back-end may put them all into one texture, so that
    // drawing one frame after another of the same image changes no texture; each frame must still
    // draw exactly the pixels its frame made alone would. The default makes each frame alone.
    virtual std::vector<TImageFramePtr> CreateImageFrames(const std::vector<TPixmapPtr>& pixmaps, int flags);
    virtual void SetBlend(int mode);
    virtual void SetAlpha(float alpha);
    virtual void SetColor(int red, int green, int blue);
    virtual void SetClsColor(int red, int green, int blue);
    virtual void SetViewport(int x, int y, int w, int h);
    virtual void SetTransform(float ix, float iy, float jx, float jy);
    virtual void SetLineWidth(float width);
    virtual void Cls();
    // An already translated point.
    virtual void Plot(float x, float y);
    // Local end points (transformed by the current 2 x 2 transform), then translated by (tx, ty).
    virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty);
    virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty);
    // Local bounding box of the oval.
    virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty);
    // xy holds x, y pairs; (handle_x, handle_y) is added to each before the transform.
    virtual void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx, float ty);
    // Writes the pixmap with its top-left pixel at (x, y) of the picture.
    virtual void DrawPixmap(const TPixmapPtr& pixmap, int x, int y);
    // Reads a w x h rectangle of the picture, top row first, as a format-6 pixmap.
    virtual TPixmapPtr GrabPixmap(int x, int y, int w, int h);
    // Draw calls and texture binds sent so far; zeros for a back-end that does not count them.
    virtual TDrawCounts DrawCounts() const;
};

// The current drawing back-end (the do-nothing base when no state is current).
TDraw2DDriver* CurrentDraw2DDriver();
