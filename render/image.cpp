// Images and their frames: creation, loading, masking, handles, grabbing and the placement of a drawn frame.
#include "render/image.h"

#include "platform/stream.h"
#include "render/draw2d_driver.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

int g_mask_r = 0, g_mask_g = 0, g_mask_b = 0;
int g_auto_center = 0;
int g_default_flags = IMAGE_MASKED | IMAGE_FILTERED;

int ResolveFlags(int flags) {
    return flags == -1 ? g_default_flags : flags;
}

TImagePtr Finish(TImagePtr image) {
    if (image && g_auto_center) CenterImageHandle(image);
    return image;
}

} // namespace

void TImage::CheckIndex(int index) const {
    assert(index >= 0 && index < static_cast<int>(pixmaps.size()) && "image frame index out of range");
    (void)index;
}

TImageFramePtr TImage::Frame(int index) {
    CheckIndex(index);
    const int seq = GraphicsSeq();
    if (seqs[index] != seq) MakeFrames(seq);
    return frames[index];
}

void TImage::MakeFrames(int seq) {
    std::vector<TPixmapPtr> all;
    all.reserve(pixmaps.size());
    for (int i = 0; i < static_cast<int>(pixmaps.size()); ++i) all.push_back(Lock(i, 1, 0));
    std::vector<TImageFramePtr> made = CurrentDraw2DDriver()->CreateImageFrames(all, flags);
    made.resize(pixmaps.size());
    for (size_t i = 0; i < made.size(); ++i) {
        frames[i] = std::move(made[i]);
        seqs[i] = frames[i] ? seq : 0;
    }
}

void TImage::DropFrames() {
    for (size_t i = 0; i < frames.size(); ++i) {
        frames[i].reset();
        seqs[i] = 0;
    }
}

TPixmapPtr TImage::Lock(int index, int /*read*/, int write) {
    CheckIndex(index);
    if (write != 0) DropFrames();
    if (!pixmaps[index]) {
        // Cleared rather than left undefined, so an ungrabbed frame draws and collides the same every run.
        pixmaps[index] = CreatePixmap(width, height, PF_RGBA8888);
        if (pixmaps[index]) pixmaps[index]->ClearPixels(0);
    }
    return pixmaps[index];
}

void TImage::SetPixmap(int index, const TPixmapPtr& pixmap) {
    CheckIndex(index);
    TPixmapPtr stored = pixmap;
    if ((flags & IMAGE_MASKED) != 0 && stored && !PixmapFormatHasAlpha(stored->format)) {
        stored = MaskPixmap(stored, mask_r, mask_g, mask_b);
    }
    pixmaps[index] = stored;
    DropFrames();
}

TImagePtr TImage::Create(int width, int height, int frame_count, int flags, int mask_r, int mask_g,
                         int mask_b) {
    auto image = std::make_shared<TImage>();
    image->width = width;
    image->height = height;
    image->flags = flags;
    image->mask_r = mask_r;
    image->mask_g = mask_g;
    image->mask_b = mask_b;
    const size_t n = frame_count > 0 ? static_cast<size_t>(frame_count) : 0;
    image->pixmaps.resize(n);
    image->frames.resize(n);
    image->seqs.assign(n, 0);
    return image;
}

TImagePtr TImage::Load(const TPixmapPtr& pixmap, int flags, int mask_r, int mask_g, int mask_b) {
    if (!pixmap) return nullptr;
    TImagePtr image = Create(pixmap->width, pixmap->height, 1, flags, mask_r, mask_g, mask_b);
    image->SetPixmap(0, pixmap);
    return image;
}

TImagePtr TImage::Load(const std::string& url, int flags, int mask_r, int mask_g, int mask_b) {
    return Load(LoadPixmap(url), flags, mask_r, mask_g, mask_b);
}

TImagePtr TImage::LoadAnim(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first, int count,
                           int flags, int mask_r, int mask_g, int mask_b) {
    if (!pixmap || cell_width <= 0 || cell_height <= 0 || first < 0 || count <= 0) return nullptr;
    const int across = pixmap->width / cell_width;
    const int down = pixmap->height / cell_height;
    if (static_cast<long long>(first) + count > static_cast<long long>(across) * down) return nullptr;
    TImagePtr image = Create(cell_width, cell_height, count, flags, mask_r, mask_g, mask_b);
    for (int i = first; i < first + count; ++i) {
        TPixmapPtr cell =
            pixmap->Window(cell_width * (i % across), cell_height * (i / across), cell_width, cell_height);
        image->SetPixmap(i - first, cell ? cell->Copy() : nullptr);
    }
    return image;
}

TImagePtr LoadImage(const std::string& url, int flags) {
    return Finish(TImage::Load(url, ResolveFlags(flags), g_mask_r, g_mask_g, g_mask_b));
}

TImagePtr LoadImage(const TPixmapPtr& pixmap, int flags) {
    return Finish(TImage::Load(pixmap, ResolveFlags(flags), g_mask_r, g_mask_g, g_mask_b));
}

TImagePtr LoadImage(const std::shared_ptr<TStream>& stream, int flags) {
    if (!stream) return nullptr;
    return Finish(TImage::Load(LoadPixmap(stream), ResolveFlags(flags), g_mask_r, g_mask_g, g_mask_b));
}

TImagePtr LoadImageCells(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first, int count,
                         int flags) {
    return Finish(TImage::LoadAnim(pixmap, cell_width, cell_height, first, count, ResolveFlags(flags),
                                   g_mask_r, g_mask_g, g_mask_b));
}

TImagePtr LoadImageCells(const std::string& url, int cell_width, int cell_height, int first, int count,
                         int flags) {
    return LoadImageCells(LoadPixmap(url), cell_width, cell_height, first, count, flags);
}

TImagePtr CreateImage(int width, int height, int frame_count, int flags) {
    const int resolved = ResolveFlags(flags) | IMAGE_DYNAMIC;
    return Finish(TImage::Create(width, height, frame_count, resolved, g_mask_r, g_mask_g, g_mask_b));
}

void GrabImage(const TImagePtr& image, int x, int y, int frame) {
    if (!image) return;
    TPixmapPtr grabbed = GrabPixmap(x, y, image->width, image->height);
    if (!grabbed) return;
    if ((image->flags & IMAGE_MASKED) != 0) {
        grabbed = MaskPixmap(grabbed, image->mask_r, image->mask_g, image->mask_b);
    }
    image->SetPixmap(frame, grabbed);
}

bool ImageClearBounds(const TImagePtr& image, int frame, int& x, int& y, int& w, int& h) {
    if (!image || frame < 0 || frame >= static_cast<int>(image->pixmaps.size())) return false;
    const TPixmapPtr& pixels = image->pixmaps[static_cast<size_t>(frame)];
    if (!pixels) return false;
    x = y = w = h = 0;
    if (!PixmapFormatHasAlpha(pixels->format)) return true;
    const TPixmapPtr rgba = pixels->format == PF_RGBA8888 ? pixels : pixels->Convert(PF_RGBA8888);
    if (!rgba) return false;
    int x0 = rgba->width, y0 = rgba->height, x1 = -1, y1 = -1;
    for (int row = 0; row < rgba->height; ++row) {
        const uint8_t* p = rgba->PixelPtr(0, row);
        for (int col = 0; col < rgba->width; ++col) {
            if (p[4 * col + 3] == 255) continue;
            x0 = std::min(x0, col);
            x1 = std::max(x1, col);
            y0 = std::min(y0, row);
            y1 = row;
        }
    }
    if (x1 >= 0) {
        x = x0;
        y = y0;
        w = x1 - x0 + 1;
        h = y1 - y0 + 1;
    }
    return true;
}

void DrawImage(const TImagePtr& image, float x, float y, int frame) {
    if (!image) return;
    const float x0 = -image->handle_x;
    const float y0 = -image->handle_y;
    TImageFramePtr f = image->Frame(frame);
    if (!f) return;
    float ox = 0.0f, oy = 0.0f;
    GetOrigin(ox, oy);
    f->Draw(x0, y0, x0 + image->width, y0 + image->height, x + ox, y + oy);
}

void DrawImageStretched(const TImagePtr& image, float x, float y, float w, float h, int frame) {
    if (!image) return;
    const float x0 = -image->handle_x;
    const float y0 = -image->handle_y;
    TImageFramePtr f = image->Frame(frame);
    if (!f) return;
    float ox = 0.0f, oy = 0.0f;
    GetOrigin(ox, oy);
    f->Draw(x0, y0, x0 + w, y0 + h, x + ox, y + oy);
}

void TileImage(const TImagePtr& image, float x, float y, int frame) {
    if (!image || image->width <= 0 || image->height <= 0) return;
    TImageFramePtr f = image->Frame(frame);
    if (!f) return;
    float ox = 0.0f, oy = 0.0f;
    GetOrigin(ox, oy);
    int vx = 0, vy = 0, vw = 0, vh = 0;
    GetViewport(vx, vy, vw, vh);
    const float w = static_cast<float>(image->width);
    const float h = static_cast<float>(image->height);
    // The grid line at or left of (above) the viewport edge.
    const float grid_x = x + ox - image->handle_x;
    const float grid_y = y + oy - image->handle_y;
    const float start_x = grid_x - std::ceil((grid_x - static_cast<float>(vx)) / w) * w;
    const float start_y = grid_y - std::ceil((grid_y - static_cast<float>(vy)) / h) * h;
    float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
    GetTransform(ix, iy, jx, jy);
    TDraw2DDriver* driver = CurrentDraw2DDriver();
    driver->SetTransform(1.0f, 0.0f, 0.0f, 1.0f);
    for (float ty = start_y; ty < static_cast<float>(vy + vh); ty += h) {
        for (float tx = start_x; tx < static_cast<float>(vx + vw); tx += w) f->Draw(0.0f, 0.0f, w, h, tx, ty);
    }
    driver->SetTransform(ix, iy, jx, jy);
}

void CenterImageHandle(const TImagePtr& image) {
    if (!image) return;
    image->handle_x = image->width * 0.5f;
    image->handle_y = image->height * 0.5f;
}

void SetImageHandle(const TImagePtr& image, float x, float y) {
    if (!image) return;
    image->handle_x = x;
    image->handle_y = y;
}

int ImageWidth(const TImagePtr& image) {
    return image ? image->width : 0;
}
int ImageHeight(const TImagePtr& image) {
    return image ? image->height : 0;
}

TPixmapPtr LockImage(const TImagePtr& image, int frame, int read, int write) {
    return image ? image->Lock(frame, read, write) : nullptr;
}

void UnlockImage(const TImagePtr&, int) {}

void SetAutoCenterHandle(int on) {
    g_auto_center = on;
}

void SetDefaultImageFlags(int flags) {
    if (flags != -1) g_default_flags = flags;
}

int GetDefaultImageFlags() {
    return g_default_flags;
}

void SetImageMaskColor(int red, int green, int blue) {
    g_mask_r = red;
    g_mask_g = green;
    g_mask_b = blue;
}

void GetImageMaskColor(int& red, int& green, int& blue) {
    red = g_mask_r;
    green = g_mask_g;
    blue = g_mask_b;
}
