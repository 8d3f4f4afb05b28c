// The OpenGL ES 2.0 drawing back-end: shader uniforms for state, a streamed vertex buffer, pixel writes
// through a texture.
#include "backends/gles2/gles2_draw2d.h"

#include "backends/gles2/gles2_context.h"

#include <GLES2/gl2.h>

#include <cmath>
#include <cstddef>

namespace {

// A quad's corners 0..3 as two triangles, split along the diagonal from corner 1 to corner 3, with the
// last corner of each last, as the fixed-function pipeline splits a quad: interpolated texture
// coordinates then round alike in both back-ends.
constexpr int kQuadTriangleCorners[6] = {0, 1, 3, 1, 2, 3};
constexpr int kQuadCorners = 4;

} // namespace

std::string TGLES2Draw2DDriver::ToString() const {
    return "OpenGL ES 2.0";
}

TGLGraphicsDriver* TGLES2Draw2DDriver::Graphics() {
    return GLES2GraphicsDriver();
}

bool TGLES2Draw2DDriver::TextureSizeAccepted(int width, int height) {
    GLint max_size = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
    return width > 0 && height > 0 && width <= max_size && height <= max_size;
}

void TGLES2Draw2DDriver::ApplyBlend(int mode) {
    bool alpha_test = false;
    switch (mode) {
    case BLEND_MASK:
        glDisable(GL_BLEND);
        alpha_test = true;
        break;
    case BLEND_ALPHA:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    case BLEND_LIGHT:
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case BLEND_SHADE:
        glEnable(GL_BLEND);
        glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    default: // BLEND_SOLID and unknown modes
        glDisable(GL_BLEND);
        break;
    }
    alpha_test_ = alpha_test;
    SetGLES2Switches(program_, textured_, alpha_test_);
}

void TGLES2Draw2DDriver::ApplyTexturing(bool on) {
    textured_ = on;
    SetGLES2Switches(program_, textured_, alpha_test_);
}

void TGLES2Draw2DDriver::PrepareContext(int w, int h) {
    // Programs and buffers belong to the shared object space: made once, used by every context.
    if (!program_.program) program_ = CompileGLES2Program();
    if (!vertex_buffer_) glGenBuffers(1, &vertex_buffer_);
    SetGLES2Projection(program_, w, h);
    target_height_ = static_cast<float>(h);
    glUseProgram(program_.program);
    glBindBuffer(GL_ARRAY_BUFFER, vertex_buffer_);
    glEnableVertexAttribArray(GLES2_ATTRIB_POSITION);
    glEnableVertexAttribArray(GLES2_ATTRIB_TEXCOORD);
    glEnableVertexAttribArray(GLES2_ATTRIB_COLOR);
    glActiveTexture(GL_TEXTURE0);
}

void TGLES2Draw2DDriver::DrawArrays(uint32_t mode, const Vertex* vertices, int count) {
    const GLsizei stride = sizeof(Vertex);
    // A new store each time, so the driver need not wait for the previous draw to read the old one.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count) * stride, vertices, GL_STREAM_DRAW);
    glVertexAttribPointer(GLES2_ATTRIB_POSITION, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, x)));
    glVertexAttribPointer(GLES2_ATTRIB_TEXCOORD, 2, GL_FLOAT, GL_FALSE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, u)));
    glVertexAttribPointer(GLES2_ATTRIB_COLOR, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                          reinterpret_cast<const void*>(offsetof(Vertex, rgba)));
    glDrawArrays(mode, 0, count);
}

void TGLES2Draw2DDriver::DrawPoints(const Vertex* vertices, int count) {
    // A one-pixel point of the 1.x pipeline lights the pixel its window position falls in; an ES point
    // is a square about its position and lights whichever pixel centre that square holds, another
    // pixel at fractional positions. So each point goes to the centre of its pixel first. Window rows
    // count up from the bottom of the picture.
    points_.assign(vertices, vertices + count);
    for (Vertex& v : points_) {
        v.x = std::floor(v.x) + 0.5f;
        v.y = target_height_ - (std::floor(target_height_ - v.y) + 0.5f);
    }
    DrawArrays(GL_POINTS, points_.data(), count);
}

void TGLES2Draw2DDriver::SendVertices(TPrimitive kind, const Vertex* vertices, int count, bool) {
    switch (kind) {
    case TPrimitive::points: DrawPoints(vertices, count); return;
    case TPrimitive::lines: DrawArrays(GL_LINES, vertices, count); return;
    case TPrimitive::fan: DrawArrays(GL_TRIANGLE_FAN, vertices, count); return;
    case TPrimitive::quads: break;
    }
    triangles_.clear();
    for (int quad = 0; quad + kQuadCorners <= count; quad += kQuadCorners) {
        for (int corner : kQuadTriangleCorners) triangles_.push_back(vertices[quad + corner]);
    }
    DrawArrays(GL_TRIANGLES, triangles_.data(), static_cast<int>(triangles_.size()));
}

void TGLES2Draw2DDriver::WritePixels(const TPixmapPtr& rgba, int x, int y) {
    // A texture of the pixmap's own size (ES 2.0 takes any size unmipmapped and clamped), drawn
    // texel for texel: nearest sampling at pixel centres picks each texel once.
    // Image flags 0: clamped, nearest, no mipmaps.
    GLuint texture = NewTexture(0);
    UploadTextureLevel(0, *rgba);
    ++counts_.texture_binds;
    const auto x0 = static_cast<float>(x), y0 = static_cast<float>(y);
    const auto x1 = static_cast<float>(x + rgba->width), y1 = static_cast<float>(y + rgba->height);
    const Vertex corners[4] = {{x0, y0, 0, 0, {255, 255, 255, 255}},
                               {x1, y0, 1, 0, {255, 255, 255, 255}},
                               {x1, y1, 1, 1, {255, 255, 255, 255}},
                               {x0, y1, 0, 1, {255, 255, 255, 255}}};
    const bool was_textured = textured_;
    ApplyTexturing(true);
    SendVertices(TPrimitive::quads, corners, kQuadCorners, true);
    ApplyTexturing(was_textured);
    glDeleteTextures(1, &texture);
    // The cached binding no longer names what is bound.
    ForgetBoundTexture();
}

TGLES2Draw2DDriver* GLES2Draw2DDriver() {
    static TGLES2Draw2DDriver driver;
    return &driver;
}
