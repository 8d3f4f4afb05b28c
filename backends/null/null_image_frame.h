// TNullImageFrame: one image frame as a software texture, laid out as the GL back-end lays out its
// textures (power-of-two size, one copied edge column and row), with the runs of visible texels.
#pragma once

#include "render/image.h"

#include <cstdint>
#include <memory>
#include <vector>

// The frames of an image are made one by one (the default CreateImageFrames): a software copy changes
// nothing by being shared, so each keeps its own.
class TNullImageFrame : public TImageFrame {
public:
    // Texels [x0, x1) of one row of the frame.
    struct TRun {
        int x0, x1;
    };
    // The runs of one row kind, row by row: row y's runs are runs[row_start[y]] .. runs[row_start[y + 1]].
    struct TRunTable {
        std::vector<int> row_start;
        std::vector<TRun> runs;
    };

    int width = 0, height = 0;           // the frame's size in pixels, before any shrinking to fit
    int tex_width = 0, tex_height = 0;   // level 0, powers of two
    int used_width = 0, used_height = 0; // texels of level 0 the frame occupies (its size when it fits)
    // Texture coordinates of the frame inside its texture; u0 = v0 = 0.
    float u1 = 1.0f, v1 = 1.0f;
    bool filtered = false;  // bilinear, else nearest
    bool mipmapped = false; // levels beyond 0, used when the frame is drawn smaller
    // Level 0 and, when mipmapped, each halved level down to 1 x 1; format 6.
    std::vector<TPixmapPtr> levels;
    // Over the used texels of level 0: texels with alpha above 0, and texels the alpha test passes at
    // full drawing alpha (alpha >= 128). Empty tables when the frame was shrunk to fit.
    TRunTable ink;
    TRunTable opaque;

    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
    void DrawPart(float sx, float sy, float sw, float sh, float x0, float y0, float x1, float y1, float tx,
                  float ty) override;

    // Null for a missing or empty pixmap, or one too large for memory.
    static std::shared_ptr<TNullImageFrame> CreateFromPixmap(const TPixmapPtr& pixmap, int flags);
};

// The largest texture side, as on the reference GL implementation.
constexpr int NULL_MAX_TEXTURE_SIZE = 16384;

// Runs of texels of level whose alpha is at least min_alpha, over its first width x height texels.
TNullImageFrame::TRunTable FindAlphaRuns(const TPixmap& level, int width, int height, int min_alpha);
