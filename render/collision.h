// Pixel-exact collisions between placed image frames: 32 collision layers of quads and the scan-line
// test that compares two quads' mask pixels row by row.
#pragma once

#include "render/image.h"
#include "render/pixmap.h"

#include <array>
#include <memory>
#include <vector>

// The caller's tag of a quad in a collision layer, handed back when something hits that quad.
using TCollisionId = std::shared_ptr<void>;

constexpr int COLLISION_LAYER_COUNT = 32;
// ImagesCollide keeps its first frame in this layer between its two calls.
constexpr unsigned COLLISION_SCRATCH_LAYER = 1u << 31;

// One placed frame in screen pixels.
struct TQuad {
    TQuad* link = nullptr; // next quad in its layer or in the free list
    TCollisionId id;
    TPixmapPtr mask; // null: every pixel of the quad is solid
    int frame = 0;
    float minx = 0.0f, miny = 0.0f, maxx = 0.0f, maxy = 0.0f;
    // Four vertices of x, y, u, v: the frame's top-left, top-right, bottom-right and bottom-left corners.
    std::array<float, 16> xyuv{};

    void SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
};

// Whether the two quads have a solid pixel in common (bounding boxes first, then the scan-line test).
bool QuadsOverlap(const TQuad& a, const TQuad& b);

// 1 when the two frames, placed as DrawImage would place them under the current origin, rotation and
// scale, share a solid pixel; else 0. Keeps the first frame in the scratch layer (31), which it empties
// on every call.
int ImagesCollide(const TImagePtr& image1, int x1, int y1, int frame1, const TImagePtr& image2, int x2,
                  int y2, int frame2);
// Like ImagesCollide with each image under its own rotation (degrees) and scale; the current rotation
// and scale are restored afterwards.
int ImagesCollideTransformed(const TImagePtr& image1, int x1, int y1, int frame1, float rotation1,
                             float scale_x1, float scale_y1, const TImagePtr& image2, int x2, int y2,
                             int frame2, float rotation2, float scale_x2, float scale_y2);

// Empties the layers whose bits are set (0 empties all 32); their quads go back to the free list.
void ClearCollisionLayers(unsigned layer_mask);
// Tests the placed frame against every quad of the layers in collide_mask and returns the ids of the
// quads it hits (layer by layer from bit 0, each layer newest first); then stores the placed frame,
// tagged with id, at the head of every layer in write_mask. A null image hits nothing and is not stored.
std::vector<TCollisionId> CollideImageLayers(const TImagePtr& image, float x, float y, int frame,
                                             unsigned collide_mask, unsigned write_mask,
                                             const TCollisionId& id);
// The same for a solid rectangle of w x h local pixels at (x, y): no handle, no mask, but the current
// origin, rotation and scale.
std::vector<TCollisionId> CollideRectLayers(float x, float y, float w, float h, unsigned collide_mask,
                                            unsigned write_mask, const TCollisionId& id);

// Number of quads in one layer (0..31); for tests and diagnostics.
int CollisionLayerSize(int layer);
// Number of quads waiting in the free list.
int CollisionFreeQuadCount();
