// The frames of one image in one OpenGL texture (of either GL back-end): their cells, and the test that tells
// when a draw from that texture shows exactly the pixels a texture of the frame's own would.
#pragma once

#include "render/draw2d.h"
#include "render/image_frame.h"
#include "render/pixmap.h"

#include <memory>
#include <vector>

class TGLBatchDriver;

// The image's frames in cells of one new texture of the current context, each cell the frame framed
// by copies of its edge pixels (so nothing of a neighbour is ever sampled at its edges), and each frame
// also in a texture of its own for the draws SamplesAlikeInAnyTexture refuses. Empty when the image
// keeps only a texture per frame:
// - fewer than two frames, or frames of differing or empty sizes;
// - large frames (128 x 128 pixels or more): little to save, and the uploads would double;
// - mipmapped: the shared texture's smaller levels would mix neighbouring frames;
// - filtered: linear filtering weighs texels by the coordinate's fraction, which for draws on the
//   pixel grid sits exactly on a rounding boundary, so a coordinate computed in another texture may
//   weigh a neighbour differently;
// - a texture with a side over 4,096 texels, or larger than the implementation takes.
std::vector<TImageFramePtr> CreateSheetFrames(TGLBatchDriver& driver, const std::vector<TPixmapPtr>& pixmaps,
                                              int flags);

// Whether nearest sampling picks the same texels of the frame whatever texture holds it, for the local
// rectangle (x0, y0)-(x1, y1) placed at (tx, ty) under the driver's transform and showing the frame's
// texels (s0, t0)-(s1, t1) of a frame in a shared texture whose larger side is texture_side. The
// texel under a pixel centre is the floor of an interpolated float coordinate, whose rounding depends
// on the frame's place in its texture; so the draw must be upright (no rotation) and every pixel
// centre must lie clear of the frame's inner texel edges by more than that rounding. Draws that fail
// take the frame's own texture, as they did before frames shared one.
bool SamplesAlikeInAnyTexture(const TGLBatchDriver& driver, float x0, float y0, float x1, float y1, float tx,
                              float ty, float s0, float t0, float s1, float t1, int frame_width,
                              int frame_height, int texture_side);
