// OpenGL image frames: texture sizing, edge fill, filtering, mipmaps, release, and drawing one quad
// from the frame's own texture or its image's shared one.
#include "backends/gl_common/gl_image_frame.h"

#include "backends/gl_common/gl_batch_driver.h"
#include "backends/gl_common/gl_frame_sheet.h"
#include "render/graphics.h"
#include "render/texture_pixels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <utility>

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

} // namespace

std::vector<TGLImageFrame::InkSpan> FindInkSpans(const TPixmap& rgba) {
    constexpr int cell = 32;
    // Below this many pixels the bookkeeping costs more than the fill it saves.
    constexpr int min_pixels = 128 * 128;
    std::vector<TGLImageFrame::InkSpan> spans;
    const int w = rgba.width, h = rgba.height;
    if (w * h < min_pixels || rgba.format != PF_RGBA8888) return spans;
    const int cols = (w + cell - 1) / cell, rows = (h + cell - 1) / cell;
    std::vector<uint8_t> inked(static_cast<size_t>(cols * rows), 0);
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = rgba.PixelPtr(0, y);
        for (int x = 0; x < w; ++x) {
            if (p[4 * x + 3] == 0) continue;
            // A texel marks its own cell and, through the one-texel margin, any neighbour it touches.
            for (int cy = std::max(0, y - 1) / cell; cy <= std::min(h - 1, y + 1) / cell; ++cy)
                for (int cx = std::max(0, x - 1) / cell; cx <= std::min(w - 1, x + 1) / cell; ++cx)
                    inked[static_cast<size_t>(cy * cols + cx)] = 1;
        }
    }
    long long covered = 0;
    for (int cy = 0; cy < rows; ++cy) {
        for (int cx = 0; cx < cols;) {
            if (!inked[static_cast<size_t>(cy * cols + cx)]) {
                ++cx;
                continue;
            }
            int end = cx;
            while (end < cols && inked[static_cast<size_t>(cy * cols + end)]) ++end;
            const TGLImageFrame::InkSpan span{cx * cell, cy * cell, std::min(w, end * cell),
                                              std::min(h, (cy + 1) * cell)};
            covered += static_cast<long long>(span.x1 - span.x0) * (span.y1 - span.y0);
            spans.push_back(span);
            cx = end;
        }
    }
    if (covered * 10 > static_cast<long long>(w) * h * 8) spans.clear();
    // A frame without any ink keeps one empty span, so it draws nothing.
    if (covered == 0) spans.push_back({0, 0, 0, 0});
    return spans;
}

std::shared_ptr<TGLTexture> UploadGLTexture(TGLBatchDriver& driver, const TPixmapPtr& level0, int flags) {
    WatchForExit();
    const bool mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
    const uint32_t name = driver.NewTexture(flags);
    driver.UploadTextureLevel(0, *level0);
    if (mipmapped) {
        // Each level halves both sides (a side of 1 stays 1) down to 1 x 1.
        TPixmapPtr level = level0;
        int index = 0;
        while (level->width > 1 || level->height > 1) {
            level = ResizePixmap(level, std::max(1, level->width / 2), std::max(1, level->height / 2));
            if (!level) break;
            driver.UploadTextureLevel(++index, *level);
        }
    }
    return std::make_shared<TGLTexture>(driver, name, GraphicsSeq());
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(TGLBatchDriver& driver,
                                                               const TPixmapPtr& pixmap, int flags) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;

    int tex_width = TextureSizePow2(pixmap->width);
    int tex_height = TextureSizePow2(pixmap->height);
    // Powers of two on both sides: the sizes every ES 2.0 implementation takes with any wrap and with
    // mipmaps.
    while (!driver.TextureSizeAccepted(tex_width, tex_height)) {
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

    auto frame = std::make_shared<TGLImageFrame>(driver);
    frame->texture = UploadGLTexture(driver, level, flags);
    frame->name = frame->texture->name;
    frame->seq = frame->texture->seq;
    // Mipmapped frames sample far beyond a texel when shrunk, and a frame squeezed into a smaller
    // texture no longer matches its pixels: both are drawn whole.
    if ((flags & IMAGE_MIPMAPPED) == 0 && w == pixmap->width && h == pixmap->height) {
        if (TPixmapPtr frame_pixels = level->Window(0, 0, w, h)) frame->ink = FindInkSpans(*frame_pixels);
    }
    frame->u0 = 0.0f;
    frame->v0 = 0.0f;
    frame->u1 = static_cast<float>(w) / static_cast<float>(tex_width);
    frame->v1 = static_cast<float>(h) / static_cast<float>(tex_height);
    frame->width = pixmap->width;
    frame->height = pixmap->height;
    frame->filtered = (flags & IMAGE_FILTERED) != 0;
    return frame;
}

TGLTexture::~TGLTexture() {
    if (g_exiting) return;
    driver_.ReleaseTexture(name);
}

void TGLImageFrame::SetAlone(std::shared_ptr<TGLImageFrame> alone, int texture_side) {
    alone_ = std::move(alone);
    texture_side_ = texture_side;
}

namespace {

// Whether an unscaled frame placed at this coordinate samples with nearest filtering exactly on its
// texel edges, at every pixel centre. There the rasteriser's rounding picks the texel, and pieces of
// the frame may round differently from the whole; coordinates within its sub-pixel precision of a
// half count too.
bool OnTexelEdges(float corner) {
    const float frac = corner - std::floor(corner);
    return std::fabs(frac - 0.5f) < 1.0f / 64.0f;
}

} // namespace

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    TGLBatchDriver* driver = &driver_;
    if (Shared() &&
        !SamplesAlikeInAnyTexture(*driver, x0, y0, x1, y1, tx, ty, 0.0f, 0.0f, static_cast<float>(width),
                                  static_cast<float>(height), width, height, texture_side_)) {
        alone_->Draw(x0, y0, x1, y1, tx, ty);
        return;
    }
    const bool ambiguous = !filtered && (OnTexelEdges(tx + x0) || OnTexelEdges(ty + y0));
    if (ink.empty() || ambiguous || !driver->ClearTexelsLeaveNoTrace()) {
        driver->DrawTexturedQuad(name, u0, v0, u1, v1, x0, y0, x1, y1, tx, ty);
        return;
    }
    const auto fw = static_cast<float>(width), fh = static_cast<float>(height);
    for (const InkSpan& span : ink) {
        if (span.x1 <= span.x0) continue;
        const auto sx0 = static_cast<float>(span.x0), sy0 = static_cast<float>(span.y0);
        const auto sx1 = static_cast<float>(span.x1), sy1 = static_cast<float>(span.y1);
        DrawFromTexture(sx0, sy0, sx1 - sx0, sy1 - sy0, x0 + (x1 - x0) * sx0 / fw, y0 + (y1 - y0) * sy0 / fh,
                        x0 + (x1 - x0) * sx1 / fw, y0 + (y1 - y0) * sy1 / fh, tx, ty);
    }
}

void TGLImageFrame::DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1,
                             float tx, float ty) {
    if (Shared() && !SamplesAlikeInAnyTexture(driver_, x0, y0, x1, y1, tx, ty, sx, sy, sx + sw, sy + sh,
                                              width, height, texture_side_)) {
        alone_->DrawPart(sx, sy, sw, sh, x0, y0, x1, y1, tx, ty);
        return;
    }
    DrawFromTexture(sx, sy, sw, sh, x0, y0, x1, y1, tx, ty);
}

void TGLImageFrame::DrawFromTexture(float sx, float sy, float sw, float sh, float x0, float y0, float x1,
                                    float y1, float tx, float ty) {
    // Pixel coordinates of the frame scale to (u0, v0)-(u1, v1) at its edges, also when the texture
    // had to be smaller than the frame.
    const float su = (u1 - u0) / static_cast<float>(width);
    const float sv = (v1 - v0) / static_cast<float>(height);
    driver_.DrawTexturedQuad(name, u0 + sx * su, v0 + sy * sv, u0 + (sx + sw) * su, v0 + (sy + sh) * sv, x0,
                             y0, x1, y1, tx, ty);
}
