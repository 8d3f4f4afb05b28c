// TImage: sprites with equally sized frames, each a pixmap on the CPU and, made lazily for all frames
// at once, a drawable frame of the back-end (for GL, the frames' part of one texture).
#pragma once

#include "render/draw2d.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

#include <memory>
#include <string>
#include <vector>

class TStream;
class TImage;
using TImagePtr = std::shared_ptr<TImage>;

// Image flags.
enum : int {
    IMAGE_MASKED = 1,    // pixmaps without alpha get the mask colour made transparent
    IMAGE_FILTERED = 2,  // linear texture filtering (else nearest)
    IMAGE_MIPMAPPED = 4, // a full mipmap chain
    IMAGE_DYNAMIC = 8,   // content replaced often; no effect on the GL back-end
};

class TImage {
public:
    int width = 0, height = 0; // frame size in pixels
    int flags = 0;
    int mask_r = 0, mask_g = 0, mask_b = 0;
    // The point of the frame placed at the drawing position; (0, 0) is the top-left corner.
    float handle_x = 0.0f, handle_y = 0.0f;
    std::vector<TPixmapPtr> pixmaps;    // per frame; null until loaded, locked or grabbed
    std::vector<TImageFramePtr> frames; // per frame; the drawable frame, or null
    std::vector<int> seqs;              // per frame; graphics sequence number of `frames`, 0 = none

    // The frame's drawable frame under the current graphics. The first use after each new context, or
    // after any frame's pixels changed, makes the drawable frames of all frames at once, so that the
    // back-end can keep them in one texture.
    TImageFramePtr Frame(int index);
    // The frame's pixmap, made (transparent black, format 6) when there is none. Locking for writing
    // drops the drawable frames so the next draw uploads the new content.
    TPixmapPtr Lock(int index, int read, int write);
    // Replaces the frame's pixmap (and drops the drawable frames); a masked image masks pixmaps that
    // have no alpha channel.
    void SetPixmap(int index, const TPixmapPtr& pixmap);

    static TImagePtr Create(int width, int height, int frame_count, int flags, int mask_r, int mask_g,
                            int mask_b);
    // Null when nothing can be loaded.
    static TImagePtr Load(const TPixmapPtr& pixmap, int flags, int mask_r, int mask_g, int mask_b);
    static TImagePtr Load(const std::string& url, int flags, int mask_r, int mask_g, int mask_b);
    // `count` cells of cell_width x cell_height, row-major from cell `first`; null when the sheet holds
    // fewer cells.
    static TImagePtr LoadAnim(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first, int count,
                              int flags, int mask_r, int mask_g, int mask_b);

private:
    void CheckIndex(int index) const;
    void MakeFrames(int seq);
    void DropFrames();
};

// Flags -1 means the default image flags.
TImagePtr LoadImage(const std::string& url, int flags = -1);
TImagePtr LoadImage(const TPixmapPtr& pixmap, int flags = -1);
TImagePtr LoadImage(const std::shared_ptr<TStream>& stream, int flags = -1);
TImagePtr LoadImageCells(const std::string& url, int cell_width, int cell_height, int first, int count,
                         int flags = -1);
TImagePtr LoadImageCells(const TPixmapPtr& pixmap, int cell_width, int cell_height, int first, int count,
                         int flags = -1);
// An empty image for grabbing into; the dynamic flag is always added.
TImagePtr CreateImage(int width, int height, int frame_count = 1, int flags = -1);
// Copies the picture rectangle at (x, y) of the image's size into the frame (masked if the image is).
void GrabImage(const TImagePtr& image, int x, int y, int frame = 0);
// The smallest rectangle (frame pixels) holding every pixel of the frame that is not fully opaque;
// empty (w = h = 0) when there is none. Outside it the frame, drawn unscaled and untinted in mask or
// solid mode, covers the picture whatever lies under it. False when the frame has no pixels yet.
bool ImageClearBounds(const TImagePtr& image, int frame, int& x, int& y, int& w, int& h);
// Draws the frame with its handle at (x, y) + origin, under the current transform, colour and blend.
void DrawImage(const TImagePtr& image, float x, float y, int frame = 0);
// Like DrawImage, stretched to w x h local pixels.
void DrawImageStretched(const TImagePtr& image, float x, float y, float w, float h, int frame = 0);
// Fills the viewport with untransformed copies of the frame on a grid through (x, y) + origin - handle.
void TileImage(const TImagePtr& image, float x = 0.0f, float y = 0.0f, int frame = 0);
void CenterImageHandle(const TImagePtr& image);
void SetImageHandle(const TImagePtr& image, float x, float y);
int ImageWidth(const TImagePtr& image);
int ImageHeight(const TImagePtr& image);
TPixmapPtr LockImage(const TImagePtr& image, int frame = 0, int read = 1, int write = 1);
void UnlockImage(const TImagePtr& image, int frame = 0);
// 1: images made from now on get their handle at their centre.
void SetAutoCenterHandle(int on);
// Ignored when flags is -1.
void SetDefaultImageFlags(int flags);
int GetDefaultImageFlags();
void SetImageMaskColor(int red, int green, int blue);
void GetImageMaskColor(int& red, int& green, int& blue);
