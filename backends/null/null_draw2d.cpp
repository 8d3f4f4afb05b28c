// The display-less drawing back-end: drawing states over in-memory pictures, state setters with the GL
// back-end's clamping, and each drawing operation handed to the software rasteriser.
#include "backends/null/null_draw2d.h"

#include "backends/null/null_graphics.h"
#include "backends/null/null_image_frame.h"
#include "backends/null/null_primitives.h"
#include "backends/null/null_textured_quad.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

using null2d::TPixelRect;
using null2d::TPoint;

namespace {

uint8_t ClampByte(int value) {
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// The rectangle of w x h pixels at (x, y), its far edges held inside int.
TPixelRect RectAt(int x, int y, int w, int h) {
    auto far = [](int start, int size) {
        return static_cast<int>(std::min<int64_t>(int64_t{start} + size, std::numeric_limits<int>::max()));
    };
    return {x, y, far(x, w), far(y, h)};
}

} // namespace

std::vector<TGraphicsMode> TNullDraw2DDriver::GraphicsModes() {
    return NullGraphicsDriver()->GraphicsModes();
}

TGraphicsPtr TNullDraw2DDriver::AttachGraphics(intptr_t window, int flags) {
    TGraphicsPtr g = NullGraphicsDriver()->AttachGraphics(window, flags);
    if (!g) return nullptr;
    return TDraw2DGraphics::Create(g, this);
}

TGraphicsPtr TNullDraw2DDriver::CreateGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsPtr g = NullGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
    if (!g) return nullptr;
    return TDraw2DGraphics::Create(g, this);
}

void TNullDraw2DDriver::SetGraphics(TGraphics* graphics) {
    auto* state = dynamic_cast<TDraw2DGraphics*>(graphics);
    if (!state || !state->_graphics) {
        TDraw2DGraphics::ClearCurrent();
        NullGraphicsDriver()->SetGraphics(nullptr);
        Retarget(nullptr, 0);
        return;
    }
    NullGraphicsDriver()->SetGraphics(state->_graphics.get());
    TNullGraphics* current = NullGraphicsDriver()->Current();
    int w = 0, h = 0, depth = 0, hertz = 0, flags = 0;
    if (current) current->GetSettings(w, h, depth, hertz, flags);
    Retarget(current ? current->Picture().get() : nullptr, flags);
    state->MakeCurrent();
}

void TNullDraw2DDriver::Retarget(TPixmap* picture, int flags) {
    target_.picture = picture;
    const TPixelRect whole = picture ? TPixelRect{0, 0, picture->width, picture->height} : TPixelRect{};
    target_.clip = whole;
    scissor_ = whole;
    scissor_on_ = false;
    alpha_buffer_ = (flags & GRAPHICS_ALPHABUFFER) != 0;
}

void TNullDraw2DDriver::Flip(int sync) {
    NullGraphicsDriver()->Flip(sync);
}

std::string TNullDraw2DDriver::ToString() const {
    return "Null";
}

TImageFramePtr TNullDraw2DDriver::CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags) {
    return TNullImageFrame::CreateFromPixmap(pixmap, flags);
}

void TNullDraw2DDriver::SetBlend(int mode) {
    paint_.blend = mode;
}

void TNullDraw2DDriver::SetAlpha(float alpha) {
    if (alpha > 1.0f) alpha = 1.0f;
    if (!(alpha >= 0.0f)) alpha = 0.0f; // also NaN
    paint_.rgba[3] = static_cast<uint8_t>(static_cast<int>(alpha * 255.0f));
}

void TNullDraw2DDriver::SetColor(int red, int green, int blue) {
    paint_.rgba[0] = ClampByte(red);
    paint_.rgba[1] = ClampByte(green);
    paint_.rgba[2] = ClampByte(blue);
}

void TNullDraw2DDriver::SetClsColor(int red, int green, int blue) {
    cls_rgba_[0] = ClampByte(red);
    cls_rgba_[1] = ClampByte(green);
    cls_rgba_[2] = ClampByte(blue);
}

void TNullDraw2DDriver::SetViewport(int x, int y, int w, int h) {
    if (!target_.picture) return;
    const TPixelRect whole{0, 0, target_.picture->width, target_.picture->height};
    if (x == 0 && y == 0 && w == whole.x1 && h == whole.y1) {
        scissor_on_ = false;
    } else {
        scissor_on_ = true;
        // A negative size is refused and the previous rectangle stays, as GL keeps its scissor box.
        if (w >= 0 && h >= 0) scissor_ = RectAt(x, y, w, h);
    }
    target_.clip = scissor_on_ ? null2d::Intersect(whole, scissor_) : whole;
}

void TNullDraw2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    transform_ = {ix, iy, jx, jy};
}

void TNullDraw2DDriver::SetLineWidth(float width) {
    // GL refuses widths that are not positive and keeps the last one.
    if (width > 0.0f) line_width_ = width;
}

void TNullDraw2DDriver::Cls() {
    if (!target_.picture) return;
    for (int y = target_.clip.y0; y < target_.clip.y1; ++y)
        null2d::BlendSpan(target_, BLEND_SOLID, cls_rgba_, y, target_.clip.x0, target_.clip.x1);
}

void TNullDraw2DDriver::Plot(float x, float y) {
    if (!target_.picture) return;
    null2d::DrawPoint(target_, paint_, {x + 0.5f, y + 0.5f});
}

void TNullDraw2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    if (!target_.picture) return;
    const TPoint a = transform_.Place(x0, y0, tx + 0.5f, ty + 0.5f);
    const TPoint b = transform_.Place(x1, y1, tx + 0.5f, ty + 0.5f);
    null2d::DrawLineSegment(target_, paint_, a, b, line_width_);
}

void TNullDraw2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    if (!target_.picture) return;
    const TPoint quad[4] = {transform_.Place(x0, y0, tx, ty), transform_.Place(x1, y0, tx, ty),
                            transform_.Place(x1, y1, tx, ty), transform_.Place(x0, y1, tx, ty)};
    null2d::FillConvex(target_, paint_, quad, 4);
}

void TNullDraw2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    if (!target_.picture) return;
    const float xr = (x1 - x0) * 0.5f;
    const float yr = (y1 - y0) * 0.5f;
    const float cx = x0 + xr;
    const float cy = y0 + yr;
    const int segments = OvalSegmentCount(xr, yr);
    std::vector<TPoint>& polygon = polygon_;
    polygon.clear();
    for (int i = 0; i < segments; ++i) {
        // Angles as the GL back-end computes them, so the vertices are the same floats.
        const double radians = i * 360.0 / segments * 0.01745329252;
        polygon.push_back(transform_.Place(cx + static_cast<float>(std::cos(radians)) * xr,
                                           cy - static_cast<float>(std::sin(radians)) * yr, tx, ty));
    }
    null2d::FillFan(target_, paint_, polygon);
}

void TNullDraw2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                                 float ty) {
    if (!target_.picture || xy.size() < 6 || (xy.size() & 1) != 0) return;
    std::vector<TPoint>& polygon = polygon_;
    polygon.clear();
    for (size_t i = 0; i < xy.size(); i += 2)
        polygon.push_back(transform_.Place(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty));
    null2d::FillFan(target_, paint_, polygon);
}

void TNullDraw2DDriver::DrawPixmap(const TPixmapPtr& pixmap, int x, int y) {
    if (!target_.picture || !pixmap || pixmap->width <= 0 || pixmap->height <= 0) return;
    const TPixelRect placed = RectAt(x, y, pixmap->width, pixmap->height);
    const TPixelRect visible = null2d::Intersect(placed, target_.clip);
    if (visible.Empty()) return;
    for (int row = visible.y0; row < visible.y1; ++row) {
        ConvertPixels(pixmap->PixelPtr(visible.x0 - x, row - y), pixmap->format,
                      target_.Pixel(visible.x0, row), PF_RGBA8888, visible.x1 - visible.x0);
    }
}

TPixmapPtr TNullDraw2DDriver::GrabPixmap(int x, int y, int w, int h) {
    if (!target_.picture || w <= 0 || h <= 0) return nullptr;
    TPixmapPtr grabbed = CreatePixmap(w, h, PF_RGBA8888);
    if (!grabbed) return nullptr;
    // Pixels outside the picture are not read; they stay transparent black.
    grabbed->ClearPixels(0);
    const TPixelRect whole{0, 0, target_.picture->width, target_.picture->height};
    const TPixelRect visible = null2d::Intersect(RectAt(x, y, w, h), whole);
    for (int row = visible.y0; row < visible.y1 && !visible.Empty(); ++row) {
        std::memcpy(grabbed->PixelPtr(visible.x0 - x, row - y), target_.Pixel(visible.x0, row),
                    static_cast<size_t>(visible.x1 - visible.x0) * 4);
    }
    if (!alpha_buffer_) {
        // Without an alpha buffer the picture is opaque: every pixel read, inside or not, has alpha 255.
        for (int row = 0; row < h; ++row) {
            uint8_t* p = grabbed->PixelPtr(0, row);
            for (int col = 0; col < w; ++col) p[col * 4 + 3] = 255;
        }
    }
    return grabbed;
}

void TNullDraw2DDriver::DrawTexturedQuad(const TNullImageFrame& frame, float u0, float v0, float u1, float v1,
                                         float x0, float y0, float x1, float y1, float tx, float ty) {
    null2d::DrawTexturedQuad(target_, paint_, transform_, frame, u0, v0, u1, v1, x0, y0, x1, y1, tx, ty);
}

TNullDraw2DDriver* NullDraw2DDriver() {
    static TNullDraw2DDriver driver;
    return &driver;
}
