// Software image frames: texture layout, mip chain, alpha runs, and drawing through the null back-end.
#include "backends/null/null_image_frame.h"

#include "backends/null/null_draw2d.h"
#include "backends/null/null_pixel_ops.h"
#include "render/texture_pixels.h"

#include <algorithm>

TNullImageFrame::TRunTable FindAlphaRuns(const TPixmap& level, int width, int height, int min_alpha) {
    TNullImageFrame::TRunTable table;
    table.row_start.reserve(static_cast<size_t>(height) + 1);
    for (int y = 0; y < height; ++y) {
        table.row_start.push_back(static_cast<int>(table.runs.size()));
        const uint8_t* row = level.PixelPtr(0, y);
        int x = 0;
        while (x < width) {
            while (x < width && row[4 * x + 3] < min_alpha) ++x;
            if (x == width) break;
            const int start = x;
            while (x < width && row[4 * x + 3] >= min_alpha) ++x;
            table.runs.push_back({start, x});
        }
    }
    table.row_start.push_back(static_cast<int>(table.runs.size()));
    return table;
}

std::shared_ptr<TNullImageFrame> TNullImageFrame::CreateFromPixmap(const TPixmapPtr& pixmap, int flags) {
    if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0) return nullptr;
    const int tex_width = std::min(TextureSizePow2(pixmap->width), NULL_MAX_TEXTURE_SIZE);
    const int tex_height = std::min(TextureSizePow2(pixmap->height), NULL_MAX_TEXTURE_SIZE);
    const int w = std::min(pixmap->width, tex_width);
    const int h = std::min(pixmap->height, tex_height);
    TPixmapPtr source = pixmap;
    if (w < pixmap->width || h < pixmap->height) source = ResizePixmap(pixmap, w, h);
    TPixmapPtr level = source ? TexturePixels(source, tex_width, tex_height) : nullptr;
    if (!level) return nullptr;

    auto frame = std::make_shared<TNullImageFrame>();
    frame->width = pixmap->width;
    frame->height = pixmap->height;
    frame->tex_width = tex_width;
    frame->tex_height = tex_height;
    frame->used_width = w;
    frame->used_height = h;
    frame->u1 = static_cast<float>(w) / static_cast<float>(tex_width);
    frame->v1 = static_cast<float>(h) / static_cast<float>(tex_height);
    frame->filtered = (flags & IMAGE_FILTERED) != 0;
    frame->mipmapped = (flags & IMAGE_MIPMAPPED) != 0;
    frame->levels.push_back(level);
    if (frame->mipmapped) {
        // Each level halves both sides (a side of 1 stays 1) down to 1 x 1, resampled as the GL
        // back-end resamples the levels it uploads.
        while (level->width > 1 || level->height > 1) {
            level = ResizePixmap(level, std::max(1, level->width / 2), std::max(1, level->height / 2));
            if (!level) return nullptr;
            frame->levels.push_back(level);
        }
    }
    if (w == pixmap->width && h == pixmap->height) {
        frame->ink = FindAlphaRuns(*frame->levels[0], w, h, 1);
        frame->opaque = FindAlphaRuns(*frame->levels[0], w, h, null2d::MASK_ALPHA_MIN);
    }
    return frame;
}

void TNullImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
    NullDraw2DDriver()->DrawTexturedQuad(*this, 0.0f, 0.0f, u1, v1, x0, y0, x1, y1, tx, ty);
}

void TNullImageFrame::DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1,
                               float tx, float ty) {
    // Pixel coordinates of the frame scale to (u1, v1) at its far edges, as in the GL back-end.
    const float su = u1 / static_cast<float>(width);
    const float sv = v1 / static_cast<float>(height);
    NullDraw2DDriver()->DrawTexturedQuad(*this, sx * su, sy * sv, (sx + sw) * su, (sy + sh) * sv, x0, y0, x1,
                                         y1, tx, ty);
}
