// The shared part of the OpenGL drawing back-ends: contexts wrapped in drawing states, cached state,
// CPU transforms, batching, textures, clears, scissors and read-back.
#include "backends/gl_common/gl_batch_driver.h"

#include "backends/gl_common/gl_frame_sheet.h"
#include "backends/gl_common/gl_image_frame.h"
#include "backends/gl_common/gl_window.h"
#include "render/image.h"

#include <GLES2/gl2.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Bound on the queued vertices, so one long frame does not grow the queue without limit.
constexpr size_t MAX_BATCH_VERTICES = 4 * 8192;
constexpr float DEGREES_TO_RADIANS = 0.01745329252f;
constexpr int RGBA_BYTES = 4;

int ClampByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

// Rows of `pixels` packed without padding, as ES 2.0 uploads and reads them (it has no row length).
TPixmapPtr Packed(const TPixmap& pixels) {
    TPixmapPtr packed = CreatePixmap(pixels.width, pixels.height, PF_RGBA8888, 1);
    if (!packed) return nullptr;
    for (int row = 0; row < pixels.height; ++row)
        std::memcpy(packed->PixelPtr(0, row), pixels.PixelPtr(0, row),
                    static_cast<size_t>(pixels.width) * RGBA_BYTES);
    return packed;
}

// Whether v is exactly a pixel centre (a whole number plus a half).
bool AtPixelCentre(float v) {
    return v - std::floor(v) == 0.5f;
}

// The row of pixels a line of width 1 lights when it runs rightwards along a row from pixel centre a
// to pixel centre b: from a's pixel up to, not including, b's, as the rectangle (x0, y0)-(x1, y1)
// whose filling lights exactly those pixels; the software rasteriser fills it several times faster
// than it steps the line. Other directions stay lines: there the rasteriser's own rounding decides
// the end pixels (a line leftwards or down a column may leave out or add one at either end).
bool RowLineRect(float ax, float ay, float bx, float by, float& x0, float& y0, float& x1, float& y1) {
    if (ay != by || bx <= ax || !AtPixelCentre(ax) || !AtPixelCentre(ay) || !AtPixelCentre(bx)) return false;
    // Pixel corners: a pixel starts half a pixel before its centre.
    x0 = ax - 0.5f;
    x1 = bx - 0.5f;
    y0 = ay - 0.5f;
    y1 = ay + 0.5f;
    return true;
}

} // namespace

std::vector<TGraphicsMode> TGLBatchDriver::GraphicsModes() {
    return Graphics()->GraphicsModes();
}

TGraphicsPtr TGLBatchDriver::AttachGraphics(intptr_t window, int flags) {
    TGraphicsPtr gl = Graphics()->AttachGraphics(window, flags);
    if (!gl) return nullptr;
    return TDraw2DGraphics::Create(gl, this);
}

TGraphicsPtr TGLBatchDriver::CreateGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsPtr gl = Graphics()->CreateGraphics(width, height, depth, hertz, flags);
    if (!gl) return nullptr;
    return TDraw2DGraphics::Create(gl, this);
}

void TGLBatchDriver::SetGraphics(TGraphics* graphics) {
    // What was queued belongs to the context that is current now.
    Flush();
    auto* state = graphics ? dynamic_cast<TDraw2DGraphics*>(graphics) : nullptr;
    if (state == nullptr || !state->_graphics) {
        TDraw2DGraphics::ClearCurrent();
        Graphics()->SetGraphics(nullptr);
        return;
    }
    Graphics()->SetGraphics(state->_graphics.get());
    ResetGLContext(*state);
    state->MakeCurrent();
}

void TGLBatchDriver::Flip(int sync) {
    Flush();
    Graphics()->Flip(sync);
}

TImageFramePtr TGLBatchDriver::CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags) {
    Flush();
    Graphics()->SwapSharedContext();
    TImageFramePtr frame = TGLImageFrame::CreateFromPixmap(*this, pixmap, flags);
    Graphics()->SwapSharedContext();
    // The upload bound its new texture.
    if (frame) ++counts_.texture_binds;
    // The upload bound the new texture directly; in a single-context setup that was this context.
    bound_texture_ = -1;
    return frame;
}

std::vector<TImageFramePtr> TGLBatchDriver::CreateImageFrames(const std::vector<TPixmapPtr>& pixmaps,
                                                              int flags) {
    Flush();
    Graphics()->SwapSharedContext();
    std::vector<TImageFramePtr> frames = CreateSheetFrames(*this, pixmaps, flags);
    Graphics()->SwapSharedContext();
    if (frames.empty()) return TDraw2DDriver::CreateImageFrames(pixmaps, flags);
    // As for a frame alone: each upload bound its new texture, the shared one and each frame's own.
    bound_texture_ = -1;
    counts_.texture_binds += 1 + frames.size();
    return frames;
}

uint32_t TGLBatchDriver::NewTexture(int flags) {
    const bool filtered = (flags & IMAGE_FILTERED) != 0;
    const bool mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (filtered) {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    } else {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
    }
    return name;
}

void TGLBatchDriver::UploadTextureLevel(int level, const TPixmap& pixels) {
    // Unsized RGBA: the one internal format ES 2.0 takes for these pixels; desktop GL stores it as
    // 8 bits a channel all the same.
    const bool packed = pixels.pitch == pixels.width * RGBA_BYTES;
    TPixmapPtr copy = packed ? nullptr : Packed(pixels);
    const TPixmap& upload = copy ? *copy : pixels;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA, upload.width, upload.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 upload.pixels);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

void TGLBatchDriver::ReleaseTexture(uint32_t name) {
    Flush();
    Graphics()->SwapSharedContext();
    GLuint gl_name = name;
    glDeleteTextures(1, &gl_name);
    Graphics()->SwapSharedContext();
    // The drawing context may still hold the deleted texture bound, and the name may come back for a
    // new texture: bind again next time whatever the cache says.
    bound_texture_ = -1;
}

void TGLBatchDriver::SetBlend(int mode) {
    if (mode == blend_mode_) return;
    Flush();
    blend_mode_ = mode;
    ++blend_state_changes_;
    ApplyBlend(mode);
}

bool TGLBatchDriver::ClearTexelsLeaveNoTrace() const {
    const bool blend_ok =
        blend_mode_ == BLEND_MASK || blend_mode_ == BLEND_ALPHA || blend_mode_ == BLEND_LIGHT;
    return blend_ok && ix_ == 1.0f && iy_ == 0.0f && jx_ == 0.0f && jy_ == 1.0f;
}

void TGLBatchDriver::SetAlpha(float alpha) {
    if (alpha > 1.0f) alpha = 1.0f;
    if (!(alpha >= 0.0f)) alpha = 0.0f; // also NaN
    color_[3] = static_cast<uint8_t>(static_cast<int>(alpha * 255.0f));
}

void TGLBatchDriver::SetColor(int red, int green, int blue) {
    // Colour goes with each vertex, so a colour change does not break a batch.
    color_[0] = static_cast<uint8_t>(ClampByte(red));
    color_[1] = static_cast<uint8_t>(ClampByte(green));
    color_[2] = static_cast<uint8_t>(ClampByte(blue));
}

void TGLBatchDriver::SetClsColor(int red, int green, int blue) {
    glClearColor(ClampByte(red) / 255.0f, ClampByte(green) / 255.0f, ClampByte(blue) / 255.0f, 1.0f);
}

void TGLBatchDriver::SetViewport(int x, int y, int w, int h) {
    Flush();
    const int height = GraphicsHeight();
    if (x == 0 && y == 0 && w == GraphicsWidth() && h == height) {
        glDisable(GL_SCISSOR_TEST);
    } else {
        glEnable(GL_SCISSOR_TEST);
        // GL counts rows from the bottom of the picture.
        glScissor(x, height - y - h, w, h);
    }
}

void TGLBatchDriver::SetTransform(float ix, float iy, float jx, float jy) {
    ix_ = ix;
    iy_ = iy;
    jx_ = jx;
    jy_ = jy;
}

void TGLBatchDriver::SetLineWidth(float width) {
    Flush();
    line_width_ = width;
    glLineWidth(width);
}

void TGLBatchDriver::Cls() {
    Flush();
    glClear(GL_COLOR_BUFFER_BIT);
}

void TGLBatchDriver::Place(Vertex& v, float x, float y, float tx, float ty) const {
    v.x = x * ix_ + y * iy_ + tx;
    v.y = x * jx_ + y * jy_ + ty;
}

void TGLBatchDriver::PlacePoint(float x, float y, float tx, float ty, float& px, float& py) const {
    Vertex v{};
    Place(v, x, y, tx, ty);
    px = v.x;
    py = v.y;
}

void TGLBatchDriver::Submit(TPrimitive kind, const Vertex* vertices, int count) {
    if (!batching_) {
        ++counts_.draw_calls;
        SendVertices(kind, vertices, count, true);
        return;
    }
    if (kind != batch_kind_ || batch_.size() + count > MAX_BATCH_VERTICES) Flush();
    batch_kind_ = kind;
    batch_.insert(batch_.end(), vertices, vertices + count);
}

void TGLBatchDriver::Flush() {
    if (batch_.empty()) return;
    SendVertices(batch_kind_, batch_.data(), static_cast<int>(batch_.size()), false);
    ++counts_.draw_calls;
    batch_.clear();
}

void TGLBatchDriver::SetBatching(bool on) {
    Flush();
    batching_ = on;
}

void TGLBatchDriver::EnableTexturing(bool on) {
    if (texturing_ == static_cast<int>(on)) return;
    Flush();
    texturing_ = on ? 1 : 0;
    ApplyTexturing(on);
}

void TGLBatchDriver::BindTexture(uint32_t name) {
    if (bound_texture_ == static_cast<int64_t>(name)) return;
    Flush();
    bound_texture_ = name;
    ++counts_.texture_binds;
    glBindTexture(GL_TEXTURE_2D, name);
}

void TGLBatchDriver::Plot(float x, float y) {
    EnableTexturing(false);
    // A point on a whole pixel lights that pixel alone, as its unit square does: batched, it joins the
    // rectangles of the lines it usually ends.
    if (batching_ && x == std::floor(x) && y == std::floor(y)) {
        SubmitRect(x, y, x + 1.0f, y + 1.0f);
        return;
    }
    Vertex v{x + 0.5f, y + 0.5f, 0.0f, 0.0f, {color_[0], color_[1], color_[2], color_[3]}};
    Submit(TPrimitive::points, &v, 1);
}

void TGLBatchDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(false);
    Vertex v[2] = {};
    Place(v[0], x0, y0, tx + 0.5f, ty + 0.5f);
    Place(v[1], x1, y1, tx + 0.5f, ty + 0.5f);
    // Unbatched, a line stays a line: that is the reference the batched pixels are compared with.
    float rx0 = 0.0f, ry0 = 0.0f, rx1 = 0.0f, ry1 = 0.0f;
    if (batching_ && line_width_ == 1.0f && RowLineRect(v[0].x, v[0].y, v[1].x, v[1].y, rx0, ry0, rx1, ry1)) {
        SubmitRect(rx0, ry0, rx1, ry1);
        return;
    }
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(TPrimitive::lines, v, 2);
}

void TGLBatchDriver::SubmitRect(float x0, float y0, float x1, float y1) {
    Vertex v[4] = {};
    v[0].x = x0, v[0].y = y0;
    v[1].x = x1, v[1].y = y0;
    v[2].x = x1, v[2].y = y1;
    v[3].x = x0, v[3].y = y1;
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(TPrimitive::quads, v, 4);
}

void TGLBatchDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(false);
    Vertex v[4] = {};
    Place(v[0], x0, y0, tx, ty);
    Place(v[1], x1, y0, tx, ty);
    Place(v[2], x1, y1, tx, ty);
    Place(v[3], x0, y1, tx, ty);
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(TPrimitive::quads, v, 4);
}

void TGLBatchDriver::SendFan(const std::vector<Vertex>& outline) {
    EnableTexturing(false);
    Flush();
    ++counts_.draw_calls;
    SendVertices(TPrimitive::fan, outline.data(), static_cast<int>(outline.size()), true);
}

void TGLBatchDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    const float xr = (x1 - x0) * 0.5f;
    const float yr = (y1 - y0) * 0.5f;
    const float cx = x0 + xr;
    const float cy = y0 + yr;
    const int segments = OvalSegmentCount(xr, yr);
    std::vector<Vertex> outline(static_cast<size_t>(segments));
    for (int i = 0; i < segments; ++i) {
        // Degrees first, in double, as the outline has always been computed.
        const double radians = i * 360.0 / segments * static_cast<double>(DEGREES_TO_RADIANS);
        Vertex& v = outline[static_cast<size_t>(i)];
        v = Vertex{};
        Place(v, cx + static_cast<float>(std::cos(radians)) * xr,
              cy - static_cast<float>(std::sin(radians)) * yr, tx, ty);
        std::memcpy(v.rgba, color_, 4);
    }
    SendFan(outline);
}

void TGLBatchDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                              float ty) {
    if (xy.size() < 6 || (xy.size() & 1) != 0) return;
    std::vector<Vertex> outline(xy.size() / 2);
    for (size_t i = 0; i < xy.size(); i += 2) {
        Vertex& v = outline[i / 2];
        v = Vertex{};
        Place(v, xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
        std::memcpy(v.rgba, color_, 4);
    }
    SendFan(outline);
}

void TGLBatchDriver::DrawPixmap(const TPixmapPtr& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return;
    const int previous_blend = blend_mode_;
    SetBlend(BLEND_SOLID);
    EnableTexturing(false);
    Flush();
    TPixmapPtr rgba = pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    if (rgba) {
        ++counts_.draw_calls;
        WritePixels(rgba, x, y);
    }
    SetBlend(previous_blend);
}

TPixmapPtr TGLBatchDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    TPixmapPtr grabbed = CreatePixmap(w, h, PF_RGBA8888, 1);
    if (!grabbed) return nullptr;
    Flush();
    // Pixels outside the picture are not read; they stay transparent black.
    grabbed->ClearPixels(0);
    const int pw = GraphicsWidth(), ph = GraphicsHeight();
    const int rx0 = std::max(x, 0), ry0 = std::max(y, 0);
    const int rx1 = std::min(x + w, pw), ry1 = std::min(y + h, ph);
    if (rx0 < rx1 && ry0 < ry1) {
        const int rw = rx1 - rx0, rh = ry1 - ry0;
        TPixmapPtr read = CreatePixmap(rw, rh, PF_RGBA8888, 1);
        if (!read) return nullptr;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        // GL counts rows from the bottom: the read arrives bottom row first.
        glReadPixels(rx0, ph - ry1, rw, rh, GL_RGBA, GL_UNSIGNED_BYTE, read->pixels);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        for (int row = 0; row < rh; ++row)
            std::memcpy(grabbed->PixelPtr(rx0 - x, ry0 - y + row), read->PixelPtr(0, rh - 1 - row),
                        static_cast<size_t>(rw) * RGBA_BYTES);
    }
    if ((GraphicsFlags() & GRAPHICS_ALPHABUFFER) == 0) {
        // Without an alpha buffer the picture is opaque, whatever alpha the visual happens to store.
        for (int row = 0; row < h; ++row) {
            uint8_t* p = grabbed->PixelPtr(0, row);
            for (int col = 0; col < w; ++col) p[col * RGBA_BYTES + 3] = 255;
        }
    }
    return grabbed;
}

void TGLBatchDriver::DrawTexturedQuad(uint32_t name, float u0, float v0, float u1, float v1, float x0,
                                      float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(true);
    BindTexture(name);
    Vertex v[4] = {};
    Place(v[0], x0, y0, tx, ty);
    Place(v[1], x1, y0, tx, ty);
    Place(v[2], x1, y1, tx, ty);
    Place(v[3], x0, y1, tx, ty);
    v[0].u = u0, v[0].v = v0;
    v[1].u = u1, v[1].v = v0;
    v[2].u = u1, v[2].v = v1;
    v[3].u = u0, v[3].v = v1;
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(TPrimitive::quads, v, 4);
}

void TGLBatchDriver::ForgetCachedState() {
    blend_mode_ = -1;
    bound_texture_ = -1;
    texturing_ = -1;
}

void TGLBatchDriver::ResetGLContext(TDraw2DGraphics& graphics) {
    Flush();
    int w = 0, h = 0, depth = 0, hertz = 0, flags = 0;
    graphics.GetSettings(w, h, depth, hertz, flags);
    ForgetCachedState();
    PrepareContext(w, h);
    EnableTexturing(false);
    glViewport(0, 0, w, h);
}

TGLBatchDriver* CurrentGLBatchDriver() {
    return dynamic_cast<TGLBatchDriver*>(CurrentDraw2DDriver());
}
