// OpenGL image frames: texture sizing, edge fill, filtering, mipmaps, release, and drawing one quad.
#include "render/gl_image_frame.h"

#include "render/gl_draw2d.h"
#include "render/graphics.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

// Set when the program is ending. Images held in globals die after the GL layer's own state, so from
// then on their textures are left to the driver, which frees them with the process.
bool g_exiting = false;

void WatchForExit() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    std::atexit([] { g_exiting = true; });
}

// Whether the implementation takes an RGBA texture of this size (the proxy reports width 0 if not).
bool TextureSizeAccepted(int width, int height) {
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint accepted_width = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &accepted_width);
    return accepted_width != 0;
}

void UploadLevel(int level, const TPixmap& pixels) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels.pitch / 4);
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, pixels.width, pixels.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

} // namespace

int TextureSizePow2(int size) {
    int pow2 = 1;
    while (pow2 < size && pow2 < (1 << 30)) pow2 <<= 1;
    return pow2;
}

TPixmapPtr TexturePixels(const TPixmapPtr& pixmap, int tex_width, int tex_height) {
    const int w = pixmap->width;
    const int h = pixmap->height;
    if (w == tex_width && h == tex_height) {
        return pixmap->format == PF_RGBA8888 ? pixmap : pixmap->Convert(PF_RGBA8888);
    }
    TPixmapPtr pixels = CreatePixmap(tex_width, tex_height, PF_RGBA8888);
    if (!pixels) return nullptr;
    // The area beyond the copied edge is never sampled by a filtered draw of the frame; keep it
    // defined anyway so every upload is the same.
    pixels->ClearPixels(0);
    pixels->Paste(*pixmap, 0, 0);
    // One repeated column and row, so linear filtering at the frame's right and bottom edges samples
    // the frame's own pixels.
    if (w < tex_width) pixels->Paste(*pixmap->Window(w - 1, 0, 1, h), w, 0);
    if (h < tex_height) {
        pixels->Paste(*pixmap->Window(0, h - 1, w, 1), 0, h);
        if (w < tex_width) pixels->Paste(*pixmap->Window(w - 1, h - 1, 1, 1), w, h);
    }
    return pixels;
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(const TPixmapPtr& pixmap, int flags) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
    WatchForExit();

    int tex_width = TextureSizePow2(pixmap->width);
    int tex_height = TextureSizePow2(pixmap->height);
    while (!TextureSizeAccepted(tex_width, tex_height)) {
        if (tex_width == 1 && tex_height == 1) throw std::runtime_error("Unable to calculate tex size");
        if (tex_width > 1) tex_width /= 2;
        if (tex_height > 1) tex_height /= 2;
    }

    TPixmapPtr source = pixmap;
    const int w = std::min(pixmap->width, tex_width);
    const int h = std::min(pixmap->height, tex_height);
    if (w < pixmap->width || h < pixmap->height) source = ResizePixmap(pixmap, w, h);
    TPixmapPtr level = source ? TexturePixels(source, tex_width, tex_height) : nullptr;
    if (!level) return nullptr;

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
    UploadLevel(0, *level);
    if (mipmapped) {
        // Each level halves both sides (a side of 1 stays 1) down to 1 x 1.
        int index = 0;
        while (level->width > 1 || level->height > 1) {
            level = ResizePixmap(level, std::max(1, level->width / 2), std::max(1, level->height / 2));
            if (!level) break;
            UploadLevel(++index, *level);
        }
    }

    auto frame = std::make_shared<TGLImageFrame>();
    frame->name = name;
    frame->u0 = 0.0f;
    frame->v0 = 0.0f;
    frame->u1 = static_cast<float>(w) / static_cast<float>(tex_width);
    frame->v1 = static_cast<float>(h) / static_cast<float>(tex_height);
    frame->width = pixmap->width;
    frame->height = pixmap->height;
    frame->seq = GraphicsSeq();
    return frame;
}

TGLImageFrame::~TGLImageFrame() {
    if (seq == 0 || g_exiting) return;
    GLDraw2DDriver()->ReleaseTexture(name);
    seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    GLDraw2DDriver()->DrawTexturedQuad(name, u0, v0, u1, v1, x0, y0, x1, y1, tx, ty);
}

void TGLImageFrame::DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1,
                             float tx, float ty) {
    // Pixel coordinates of the frame scale to (u1, v1) at its far edges, also when the texture had to
    // be smaller than the frame.
    const float su = u1 / static_cast<float>(width);
    const float sv = v1 / static_cast<float>(height);
    GLDraw2DDriver()->DrawTexturedQuad(name, sx * su, sy * sv, (sx + sw) * su, (sy + sh) * sv, x0, y0, x1, y1,
                                       tx, ty);
}
