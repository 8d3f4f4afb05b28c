// The OpenGL 1.x drawing back-end: fixed-function state, vertex arrays and pixel writes.
#define GL_GLEXT_PROTOTYPES 1
#include "backends/gl1/gl_draw2d.h"

#include "backends/gl1/gl_context_compat.h"

#include <GL/gl.h>

namespace {

GLenum PrimitiveMode(TGLBatchDriver::TPrimitive kind) {
    switch (kind) {
    case TGLBatchDriver::TPrimitive::points: return GL_POINTS;
    case TGLBatchDriver::TPrimitive::lines: return GL_LINES;
    case TGLBatchDriver::TPrimitive::quads: return GL_QUADS;
    case TGLBatchDriver::TPrimitive::fan: break;
    }
    return GL_POLYGON;
}

} // namespace

std::string TGLDraw2DDriver::ToString() const {
    return "OpenGL";
}

TGLGraphicsDriver* TGLDraw2DDriver::Graphics() {
    return GLGraphicsDriver();
}

bool TGLDraw2DDriver::TextureSizeAccepted(int width, int height) {
    // The proxy reports width 0 for a size it does not take.
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint accepted_width = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted_width);
    return accepted_width != 0;
}

void TGLDraw2DDriver::ApplyBlend(int mode) {
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

void TGLDraw2DDriver::ApplyTexturing(bool on) {
    if (on) {
        glEnable(GL_TEXTURE_2D);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
}

void TGLDraw2DDriver::SendVertices(TPrimitive kind, const Vertex* vertices, int count, bool immediate) {
    const GLenum mode = PrimitiveMode(kind);
    if (immediate) {
        // Outlines and unbatched primitives: one begin/end block.
        glBegin(mode);
        for (int i = 0; i < count; ++i) {
            glColor4ubv(vertices[i].rgba);
            glTexCoord2f(vertices[i].u, vertices[i].v);
            glVertex2f(vertices[i].x, vertices[i].y);
        }
        glEnd();
        return;
    }
    const GLsizei stride = sizeof(Vertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, &vertices[0].x);
    glTexCoordPointer(2, GL_FLOAT, stride, &vertices[0].u);
    glColorPointer(4, GL_UNSIGNED_BYTE, stride, vertices[0].rgba);
    glDrawArrays(mode, 0, count);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void TGLDraw2DDriver::WritePixels(const TPixmapPtr& rgba, int x, int y) {
    // Pixel rectangles are textured like any fragment in GL 1.x; the caller switched texturing off.
    TPixmapPtr flipped = YFlipPixmap(rgba);
    if (!flipped) return;
    glWindowPos2i(x, GraphicsHeight() - y - flipped->height);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, flipped->pitch / 4);
    glDrawPixels(flipped->width, flipped->height, GL_RGBA, GL_UNSIGNED_BYTE, flipped->pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void TGLDraw2DDriver::PrepareContext(int w, int h) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // One unit per pixel, y growing downward.
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

TGLDraw2DDriver* GLDraw2DDriver() {
    static TGLDraw2DDriver driver;
    return &driver;
}
