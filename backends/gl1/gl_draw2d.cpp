// The OpenGL 1.x drawing back-end: cached blend and texture state, CPU transforms, batched primitives.
#define GL_GLEXT_PROTOTYPES 1
#include "backends/gl1/gl_draw2d.h"

#include "backends/gl1/gl_frame_sheet.h"
#include "backends/gl1/gl_graphics.h"
#include "backends/gl1/gl_image_frame.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

namespace {

// Bound on the queued vertices, so one long frame does not grow the queue without limit.
constexpr size_t MAX_BATCH_VERTICES = 4 * 8192;

int ClampByte(int value) {
    return value < 0 ? 0 : (value > 255 ? 255 : value);
}

} // namespace

std::vector<TGraphicsMode> TGLDraw2DDriver::GraphicsModes() {
    return GLGraphicsDriver()->GraphicsModes();
}

TGraphicsPtr TGLDraw2DDriver::AttachGraphics(intptr_t window, int flags) {
    TGraphicsPtr gl = GLGraphicsDriver()->AttachGraphics(window, flags);
    if (!gl) return nullptr;
    return TDraw2DGraphics::Create(gl, this);
}

TGraphicsPtr TGLDraw2DDriver::CreateGraphics(int width, int height, int depth, int hertz, int flags) {
    TGraphicsPtr gl = GLGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
    if (!gl) return nullptr;
    return TDraw2DGraphics::Create(gl, this);
}

void TGLDraw2DDriver::SetGraphics(TGraphics* graphics) {
    // What was queued belongs to the context that is current now.
    Flush();
    if (!graphics) {
        TDraw2DGraphics::ClearCurrent();
        GLGraphicsDriver()->SetGraphics(nullptr);
        return;
    }
    auto* state = dynamic_cast<TDraw2DGraphics*>(graphics);
    if (state == nullptr || !state->_graphics) {
        TDraw2DGraphics::ClearCurrent();
        GLGraphicsDriver()->SetGraphics(nullptr);
        return;
    }
    GLGraphicsDriver()->SetGraphics(state->_graphics.get());
    ResetGLContext(*state);
    state->MakeCurrent();
}

void TGLDraw2DDriver::Flip(int sync) {
    Flush();
    GLGraphicsDriver()->Flip(sync);
}

std::string TGLDraw2DDriver::ToString() const {
    return "OpenGL";
}

TImageFramePtr TGLDraw2DDriver::CreateFrameFromPixmap(const TPixmapPtr& pixmap, int flags) {
    Flush();
    GLGraphicsDriver()->SwapSharedContext();
    TImageFramePtr frame = TGLImageFrame::CreateFromPixmap(pixmap, flags);
    GLGraphicsDriver()->SwapSharedContext();
    // The upload bound its new texture.
    if (frame) ++counts_.texture_binds;
    // The upload bound the new texture directly; in a single-context setup that was this context.
    bound_texture_ = -1;
    return frame;
}

std::vector<TImageFramePtr> TGLDraw2DDriver::CreateImageFrames(const std::vector<TPixmapPtr>& pixmaps,
                                                               int flags) {
    Flush();
    GLGraphicsDriver()->SwapSharedContext();
    std::vector<TImageFramePtr> frames = CreateSheetFrames(pixmaps, flags);
    GLGraphicsDriver()->SwapSharedContext();
    if (frames.empty()) return TDraw2DDriver::CreateImageFrames(pixmaps, flags);
    // As for a frame alone: each upload bound its new texture, the shared one and each frame's own.
    bound_texture_ = -1;
    counts_.texture_binds += 1 + frames.size();
    return frames;
}

void TGLDraw2DDriver::ReleaseTexture(uint32_t name) {
    Flush();
    GLGraphicsDriver()->SwapSharedContext();
    GLuint gl_name = name;
    glDeleteTextures(1, &gl_name);
    GLGraphicsDriver()->SwapSharedContext();
    // The drawing context may still hold the deleted texture bound, and the name may come back for a
    // new texture: bind again next time whatever the cache says.
    bound_texture_ = -1;
}

void TGLDraw2DDriver::SetBlend(int mode) {
    if (mode == blend_mode_) return;
    Flush();
    blend_mode_ = mode;
    ++blend_state_changes_;
    switch (mode) {
    case BLEND_MASK:
        glDisable(GL_BLEND);
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GEQUAL, 0.5f);
        break;
    case BLEND_SOLID:
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_ALPHA:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_LIGHT:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glDisable(GL_ALPHA_TEST);
        break;
    case BLEND_SHADE:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        glDisable(GL_ALPHA_TEST);
        break;
    default:
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        break;
    }
}

bool TGLDraw2DDriver::ClearTexelsLeaveNoTrace() const {
    const bool blend_ok =
        blend_mode_ == BLEND_MASK || blend_mode_ == BLEND_ALPHA || blend_mode_ == BLEND_LIGHT;
    return blend_ok && ix_ == 1.0f && iy_ == 0.0f && jx_ == 0.0f && jy_ == 1.0f;
}

void TGLDraw2DDriver::SetAlpha(float alpha) {
    if (alpha > 1.0f) alpha = 1.0f;
    if (!(alpha >= 0.0f)) alpha = 0.0f; // also NaN
    color_[3] = static_cast<uint8_t>(static_cast<int>(alpha * 255.0f));
}

void TGLDraw2DDriver::SetColor(int red, int green, int blue) {
    // Colour goes with each vertex, so a colour change does not break a batch.
    color_[0] = static_cast<uint8_t>(ClampByte(red));
    color_[1] = static_cast<uint8_t>(ClampByte(green));
    color_[2] = static_cast<uint8_t>(ClampByte(blue));
}

void TGLDraw2DDriver::SetClsColor(int red, int green, int blue) {
    glClearColor(ClampByte(red) / 255.0f, ClampByte(green) / 255.0f, ClampByte(blue) / 255.0f, 1.0f);
}

void TGLDraw2DDriver::SetViewport(int x, int y, int w, int h) {
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

void TGLDraw2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
    ix_ = ix;
    iy_ = iy;
    jx_ = jx;
    jy_ = jy;
}

void TGLDraw2DDriver::SetLineWidth(float width) {
    Flush();
    glLineWidth(width);
}

void TGLDraw2DDriver::Cls() {
    Flush();
    glClear(GL_COLOR_BUFFER_BIT);
}

void TGLDraw2DDriver::Place(Vertex& v, float x, float y, float tx, float ty) const {
    v.x = x * ix_ + y * iy_ + tx;
    v.y = x * jx_ + y * jy_ + ty;
}

void TGLDraw2DDriver::PlacePoint(float x, float y, float tx, float ty, float& px, float& py) const {
    Vertex v{};
    Place(v, x, y, tx, ty);
    px = v.x;
    py = v.y;
}

void TGLDraw2DDriver::Submit(uint32_t mode, const Vertex* vertices, int count) {
    if (!batching_) {
        ++counts_.draw_calls;
        glBegin(mode);
        for (int i = 0; i < count; ++i) {
            glColor4ubv(vertices[i].rgba);
            glTexCoord2f(vertices[i].u, vertices[i].v);
            glVertex2f(vertices[i].x, vertices[i].y);
        }
        glEnd();
        return;
    }
    if (mode != batch_mode_ || batch_.size() + count > MAX_BATCH_VERTICES) Flush();
    batch_mode_ = mode;
    batch_.insert(batch_.end(), vertices, vertices + count);
}

void TGLDraw2DDriver::Flush() {
    if (batch_.empty()) return;
    const GLsizei stride = sizeof(Vertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, &batch_[0].x);
    glTexCoordPointer(2, GL_FLOAT, stride, &batch_[0].u);
    glColorPointer(4, GL_UNSIGNED_BYTE, stride, batch_[0].rgba);
    glDrawArrays(batch_mode_, 0, static_cast<GLsizei>(batch_.size()));
    ++counts_.draw_calls;
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    batch_.clear();
}

void TGLDraw2DDriver::SetBatching(bool on) {
    Flush();
    batching_ = on;
}

void TGLDraw2DDriver::EnableTexturing(bool on) {
    if (texturing_ == static_cast<int>(on)) return;
    Flush();
    texturing_ = on ? 1 : 0;
    if (on) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void TGLDraw2DDriver::BindTexture(uint32_t name) {
    if (bound_texture_ == static_cast<int64_t>(name)) return;
    Flush();
    bound_texture_ = name;
    ++counts_.texture_binds;
    glBindTexture(GL_TEXTURE_2D, name);
}

void TGLDraw2DDriver::Plot(float x, float y) {
    EnableTexturing(false);
    Vertex v{x + 0.5f, y + 0.5f, 0.0f, 0.0f, {color_[0], color_[1], color_[2], color_[3]}};
    Submit(GL_POINTS, &v, 1);
}

void TGLDraw2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(false);
    Vertex v[2] = {};
    Place(v[0], x0, y0, tx + 0.5f, ty + 0.5f);
    Place(v[1], x1, y1, tx + 0.5f, ty + 0.5f);
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(GL_LINES, v, 2);
}

void TGLDraw2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(false);
    Vertex v[4] = {};
    Place(v[0], x0, y0, tx, ty);
    Place(v[1], x1, y0, tx, ty);
    Place(v[2], x1, y1, tx, ty);
    Place(v[3], x0, y1, tx, ty);
    for (Vertex& p : v) std::memcpy(p.rgba, color_, 4);
    Submit(GL_QUADS, v, 4);
}

void TGLDraw2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
    EnableTexturing(false);
    Flush();
    const float xr = (x1 - x0) * 0.5f;
    const float yr = (y1 - y0) * 0.5f;
    const float cx = x0 + xr;
    const float cy = y0 + yr;
    const int segments = OvalSegmentCount(xr, yr);
    ++counts_.draw_calls;
    glColor4ubv(color_);
    glBegin(GL_POLYGON);
    for (int i = 0; i < segments; ++i) {
        const double radians = i * 360.0 / segments * 0.01745329252;
        Vertex v{};
        Place(v, cx + static_cast<float>(std::cos(radians)) * xr,
              cy - static_cast<float>(std::sin(radians)) * yr, tx, ty);
        glVertex2f(v.x, v.y);
    }
    glEnd();
}

void TGLDraw2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                               float ty) {
    if (xy.size() < 6 || (xy.size() & 1) != 0) return;
    EnableTexturing(false);
    Flush();
    ++counts_.draw_calls;
    glColor4ubv(color_);
    glBegin(GL_POLYGON);
    for (size_t i = 0; i < xy.size(); i += 2) {
        Vertex v{};
        Place(v, xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
        glVertex2f(v.x, v.y);
    }
    glEnd();
}

void TGLDraw2DDriver::DrawPixmap(const TPixmapPtr& pixmap, int x, int y) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return;
    const int previous_blend = blend_mode_;
    SetBlend(BLEND_SOLID);
    // Pixel rectangles are textured like any fragment in GL 1.x.
    EnableTexturing(false);
    Flush();
    TPixmapPtr rgba = pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    TPixmapPtr flipped = YFlipPixmap(rgba);
    if (flipped) {
        glWindowPos2i(x, GraphicsHeight() - y - flipped->height);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, flipped->pitch / 4);
        ++counts_.draw_calls;
        glDrawPixels(flipped->width, flipped->height, GL_RGBA, GL_UNSIGNED_BYTE, flipped->pixels);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }
    SetBlend(previous_blend);
}

TPixmapPtr TGLDraw2DDriver::GrabPixmap(int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) return nullptr;
    TPixmapPtr grabbed = CreatePixmap(w, h, PF_RGBA8888);
    if (!grabbed) return nullptr;
    const int previous_blend = blend_mode_;
    SetBlend(BLEND_SOLID);
    Flush();
    // Pixels outside the picture are not read; they stay transparent black.
    grabbed->ClearPixels(0);
    glPixelStorei(GL_PACK_ROW_LENGTH, grabbed->pitch / 4);
    glReadPixels(x, GraphicsHeight() - h - y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, grabbed->pixels);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    SetBlend(previous_blend);
    TPixmapPtr top_first = YFlipPixmap(grabbed);
    if (top_first && (GraphicsFlags() & GRAPHICS_ALPHABUFFER) == 0) {
        // Without an alpha buffer the picture is opaque, whatever alpha the visual happens to store.
        for (int row = 0; row < h; ++row) {
            uint8_t* p = top_first->PixelPtr(0, row);
            for (int col = 0; col < w; ++col) p[col * 4 + 3] = 255;
        }
    }
    return top_first;
}

void TGLDraw2DDriver::DrawTexturedQuad(uint32_t name, float u0, float v0, float u1, float v1, float x0,
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
    Submit(GL_QUADS, v, 4);
}

void TGLDraw2DDriver::ForgetCachedState() {
    blend_mode_ = -1;
    bound_texture_ = -1;
    texturing_ = -1;
}

void TGLDraw2DDriver::ResetGLContext(TDraw2DGraphics& graphics) {
    Flush();
    int w = 0, h = 0, depth = 0, hertz = 0, flags = 0;
    graphics.GetSettings(w, h, depth, hertz, flags);
    ForgetCachedState();
    EnableTexturing(false);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // One unit per pixel, y growing downward.
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glViewport(0, 0, w, h);
}

TGLDraw2DDriver* GLDraw2DDriver() {
    static TGLDraw2DDriver driver;
    return &driver;
}
